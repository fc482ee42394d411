#pragma once

#include <cstdint>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill {

// Bits that `codes` LZW codes take when written from minimum code size
// `code_size` (2 to 8), the table cleared each time it fills: the codes
// start one bit wider than the code size and widen as the table grows.
int64_t LzwCodeBits(int64_t codes, int code_size);

// The order for the global palette that the optimizer's frame stage is
// expected to compress best (new index k holds old entry order[k]). A
// frame's codes start as narrow as its largest index allows, so the order
// gives low indices to what frames change to. It is the best, by an
// estimate of the frames' code bits, of: colours by how many frames change
// to them; frame by frame (the frame that gains most per new entry, or the
// frames as they come, placing their colours next); and level by level
// (the first 4, 8, ... entries filled with the colours of frames that fit).
// Frames with a local palette take no part. Empty without a global palette.
std::vector<int> GlobalPaletteOrder(const Animation& a);

}  // namespace cinemill
