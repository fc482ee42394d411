#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

class UiHost;

// Old palette index -> new palette index; -1 means "no new index".
using IndexMap = std::array<int16_t, 256>;

// Palette entries as the quantizer takes them: red, green, blue, flags.
using QuantizerEntries = std::array<std::array<uint8_t, 4>, 256>;

// Entry of `p` nearest to `c`: least squared RGB distance, lowest index on
// ties. 0 for an empty palette.
int NearestIndex(const Palette& p, Rgb c);
// Every old entry to its nearest new entry; entries past the old palette -1.
IndexMap NearestIndexMap(const Palette& old_palette, const Palette& new_palette);

// Usage-weighted median cut over a 64 x 64 x 64 cube of 6-bit colour cells.
class MedianCutQuantizer {
public:
    struct CutBox {
        uint16_t low[3] = {0, 0, 0};
        uint16_t high[3] = {0, 0, 0};
        uint64_t population = 0;  // 64-bit so that huge animations cannot wrap it
        uint32_t done = 0;
    };
    static constexpr int kCubeSide = 64;
    static size_t CellIndex(uint8_t r, uint8_t g, uint8_t b) {
        return (size_t{r} >> 2) * 4096 + (size_t{g} >> 2) * 64 + (size_t{b} >> 2);
    }

    // Writes up to `max_colors` colours over the first entries of `entries`
    // (most-used box first; the fourth byte is kept) and answers how many.
    // 0 when the cube cannot be allocated.
    int Quantize(QuantizerEntries& entries, const ColorUsage& counts, int max_colors,
                 ProgressReporter* progress);

    // The boxes of the last run, in output order (for inspection).
    const std::vector<CutBox>& Boxes() const { return boxes_; }

private:
    uint64_t SliceSum(const CutBox& b, int channel, int slice) const;
    void Shrink(CutBox& b) const;

    std::vector<uint64_t> cube_;
    std::vector<CutBox> boxes_;
};

// Dither bias per (y mod 4, x mod 4).
inline constexpr int kDitherOffsetMatrix[4][4] = {
    {6, 0, 5, -1},
    {2, 4, 1, 3},
    {5, -1, 6, 0},
    {1, 3, 2, 4},
};
// The 5-bit level of channel value v (0..255) with offset k.
int DitherLevel(int v, int k);

// 32 x 32 x 32 cells, each the nearest palette index to the cell centre
// (8i + 4); rebuilt only when the palette changes.
class InverseColorMap {
public:
    // The table for `p`; null when it cannot be allocated.
    const uint8_t* For(const Palette& p);
    static size_t Cell(int r5, int g5, int b5) {
        return (static_cast<size_t>(r5) << 10) | (static_cast<size_t>(g5) << 5) | static_cast<size_t>(b5);
    }
    int builds() const { return builds_; }

private:
    std::vector<uint8_t> table_;
    Palette palette_;
    bool valid_ = false;
    int builds_ = 0;
};

// The inverse colour map cache and the error rows of the error-diffusion
// dither. One per caller; reuse it across calls to keep the cache.
class ColorMapper {
public:
    // Dithers the frame's pixels, read through `current` (its palette in
    // effect), to `target`. With transparency on, pixels equal to the
    // transparent index become `slot` and the frame's transparent index is set
    // to `slot`; a slot of -1 stands for the target entry nearest to the old
    // transparent colour. False (after a message) when memory runs out; the
    // frame is then unchanged.
    bool DitherFrame(Frame& f, const Palette& current, const Palette& target, int slot,
                     UiHost& host);

    // Maps 24-bit blue-green-red pixels (rows padded to 4 bytes) onto
    // `target` into an 8-bit buffer of the given stride. Pixels whose mask
    // byte is 0 get `fill`. Without dithering the inverse map cell of each
    // pixel is taken.
    bool MapTrueColor(const Palette& target, uint8_t* dst, int dst_stride, const uint8_t* src,
                      const uint8_t* mask, int width, int height, bool dither, int fill,
                      UiHost& host);

    // Makes sure the inverse map holds `p` and the error rows fit `width`;
    // false (after a message) when memory runs out.
    bool Prepare(const Palette& p, int width, UiHost& host);

    InverseColorMap& inverse() { return inverse_; }

private:
    bool EnsureRows(int width);

    InverseColorMap inverse_;
    std::vector<int32_t> rows_;  // two rows of (W4 + 2) x 3 accumulators
    int rows_width_ = -1;
};

// Replaces each pixel by the low byte of its map entry (entries of -1 give
// 0, so that no pixel ever points past the palette). A transparent frame's
// transparent index follows the map; an index mapped to -1 switches
// transparency off.
void RemapFrame(Frame& f, const IndexMap& map);

// Applies RemapFrame to every frame without a local palette. A transparent
// frame whose transparent index shares its new index with another old index
// gets, for this frame only, the lowest new index below `new_count` that no
// old index maps to (when there is one). With `transparent_slot`, each
// transparent frame's transparent index maps to that slot instead.
// With `stop`, it returns false as soon as a stop is asked for, the frames
// before remapped and the rest not.
bool RemapGlobalFrames(Animation& a, IndexMap& map, int new_count,
                       std::optional<int> transparent_slot = std::nullopt, const ProgressReporter* stop = nullptr);

// Usage of one frame's pixels, optionally leaving out transparent pixels.
ColorUsage FrameUsage(const Frame& f, bool skip_transparent);

// Reduces the global palette and every local palette with more than
// `colors` entries (2..256). Done, Failed after a message, or Stopped as
// soon as `progress` asks for a stop (the animation then half reduced).
Result ReduceAnimation(Animation& a, int colors, bool dither, ProgressReporter& progress,
                       UiHost& host, ColorMapper& mapper);
Result ReduceAnimation(Animation& a, int colors, bool dither, ProgressReporter& progress,
                       UiHost& host);

}  // namespace cinemill
