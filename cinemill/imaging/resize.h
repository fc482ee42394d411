#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

enum class ResizeMethod { Nearest, Bicubic };

// ---- scaling ----------------------------------------------------------------------

// (v * new_total + old_total div 2) div old_total.
int64_t ScaleCoordinate(int64_t v, int64_t new_total, int64_t old_total);

// One destination column (or row) of the bicubic filter: the source index s,
// weights for s-2 .. s+2 (scale 4096) and which of them are used.
struct BicubicTap {
    int source = 0;
    std::array<int32_t, 5> weight{};
    uint8_t mask = 0;  // bit 0 = s-2 ... bit 4 = s+2
};
// Keys' cubic kernel (a = -1).
double BicubicKernel(double t);
std::vector<BicubicTap> BicubicWeights(int src_len, int dst_len);

// Scales the animation to new_w x new_h. Nearest keeps indexes and palettes;
// Bicubic filters in true colour and then goes through palette merging (which
// may ask). Failed or Stopped leave the document as it was.
Result ResizeAnimation(Animation& a, int new_w, int new_h, ResizeMethod method, UiHost& host,
                       ProgressReporter& progress, PreferenceBlock& prefs);

}  // namespace cinemill
