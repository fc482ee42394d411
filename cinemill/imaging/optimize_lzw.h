#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill {

// Counts the bytes of a frame's image data as the GIF writer's compressor
// produces them (codes from 2^m + 2 up to 4096, then a clear code and a
// fresh table; sub-blocks of 254 bytes each with its length byte), without
// the code-size byte and the terminator. It follows the writer's parse
// exactly (any table that finds every string the writer's table holds gives
// the same parse), so that a variant judged smaller here is smaller in the
// file.
//
// Several bitmaps of one size can be counted in one pass: each has its own
// string table, and their table look-ups, which otherwise wait on each
// other pixel by pixel, overlap.
// A count to be under part-way through a frame: `bits` at most once
// `pixels` pixels (in file order) are read; none when `bits` is negative.
struct LzwCheckpoint {
    size_t pixels = 0;
    int64_t bits = -1;
};

class LzwSizeCounter {
public:
    LzwSizeCounter();
    ~LzwSizeCounter();
    LzwSizeCounter(const LzwSizeCounter&) = delete;
    LzwSizeCounter& operator=(const LzwSizeCounter&) = delete;

    // Data bytes of `bmp` compressed with minimum code size m. Stops early
    // and answers a value above `limit` once the count exceeds it.
    int64_t Count(const FrameBitmap& bmp, bool interlaced, int m, int64_t limit = INT64_MAX);

    // The same while choosing each pixel whose `mask` byte is 0 ("free")
    // between its own value and `fill`: whichever continues the current
    // string and, looking one pixel ahead, lets the next pixel continue it
    // too; on a tie `fill` or the own value as `prefer_fill` says. Rewrites
    // `bmp` with the choice. `changed` tells whether any pixel changed.
    int64_t ChooseAndCount(FrameBitmap& bmp, const uint8_t* mask, size_t mask_stride, uint8_t fill,
                           bool interlaced, int m, bool& changed, bool prefer_fill = true);

    // Several candidates for one frame compressed side by side; the
    // smallest is wanted. A candidate keeps the source's pixels (kKeep),
    // turns every free pixel into the fill index (kFillAll), turns only the
    // runs of free pixels, taken in file order across row ends, that hold
    // more than one colour into it (kFillRuns), or chooses its free pixels as
    // ChooseAndCount does starting from `choice_start`, preferring the fill
    // index (kChooseFill) or its own value (kChooseOwn) on ties. Its pixels go to `out` (unused for kKeep;
    // shaped like the source here). At most kMaxStreams candidates run; any
    // more get INT64_MAX. After each sixteenth of the rows a
    // candidate whose count has fallen behind the leader's by more than
    // `margin` (a fraction; negative for never) is given up: its count is
    // INT64_MAX and its `out` is incomplete. The count so far is a good
    // guide to the final size, and following every candidate to the end
    // would cost most of the time. `changed` tells whether a finished
    // candidate differs from where it started.
    struct Candidate {
        enum Kind { kKeep, kFillAll, kFillRuns, kChooseFill, kChooseOwn };
        Kind kind = kKeep;
        FrameBitmap* out = nullptr;
        bool changed = false;
        int64_t count = 0;
    };
    void Race(const FrameBitmap& source, const FrameBitmap& choice_start, std::span<Candidate> candidates,
              const uint8_t* mask, size_t mask_stride, uint8_t fill, bool interlaced, int m, double margin);

    static constexpr size_t kMaxStreams = 5;

    // The leader's count at the last Race's first check (after a sixteenth
    // of the rows), when there was one.
    LzwCheckpoint FirstCheck() const { return first_check_; }

private:
    struct Stream;
    class RacePick;
    template <size_t K, typename Pick>
    void Parse(int width, int height, Pick* picks, bool interlaced, int m, int64_t limit, int64_t* out,
               double margin);

    std::vector<Stream> streams_;
    LzwCheckpoint first_check_;
};

// The writer's minimum code size for a frame: the palette's bits (at least
// 2), widened for pixels beyond the palette and for `extra`.
int WriterCodeSize(const FrameBitmap& bmp, int palette_size, uint8_t extra = 0);

// The bitwise OR of p[0, n): which bits any pixel uses.
uint8_t OrOfBytes(const uint8_t* p, size_t n);
// The same for the pixels of px[0, n) whose `fixed` byte is not 0, and for
// those whose byte is 0.
void OrOfFixedAndFree(const uint8_t* px, const uint8_t* fixed, size_t n, uint8_t& fixed_or, uint8_t& free_or);
// Each pixel of px[0, n) whose `fixed` byte is 0 and whose value does not
// fit m bits (below 8) becomes `fill`.
void FitFreePixels(uint8_t* px, const uint8_t* fixed, size_t n, int m, uint8_t fill);

}  // namespace cinemill
