#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill {

// Counts the bytes of a frame's image data as the GIF writer's compressor
// produces them (codes from 2^m + 2 up to 4096, then a clear code and a
// fresh table; sub-blocks of 254 bytes each with its length byte), without
// the code-size byte and the terminator. It follows the writer's parse
// exactly (the writer's hashed string table finds every string it holds, so
// a direct 4096 x 256 table gives the same parse), so that a variant judged
// smaller here is smaller in the file.
class LzwSizeCounter {
public:
    LzwSizeCounter();

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

private:
    template <typename Pick>
    int64_t Parse(FrameBitmap& bmp, bool interlaced, int m, int64_t limit, Pick pick);
    // Code of the string prefix + c, or -1.
    int Find(int prefix, int c) const {
        return table_[(static_cast<size_t>(prefix) << shift_) + static_cast<size_t>(c)];
    }

    // String codes by prefix and pixel: 4096 rows of 2^m entries (pixels
    // are below 2^m), -1 for none. Small rows keep the table in cache.
    std::vector<int16_t> table_;
    int shift_ = 8;
    std::vector<int32_t> used_;   // entries to clear on a fresh table
};

// The writer's minimum code size for a frame: the palette's bits (at least
// 2), widened for pixels beyond the palette and for `extra`.
int WriterCodeSize(const FrameBitmap& bmp, int palette_size, uint8_t extra = 0);

}  // namespace cinemill
