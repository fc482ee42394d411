#pragma once

#include <string>

#include "cinemill/doc/animation.h"

namespace cinemill {

// ---- Reduce Frame Count -----------------------------------------------------------------

// "Number of frames after reduction:": count - count div n, or "?" for an
// interval the command refuses (see DeletionIntervalValid).
std::string FramesAfterReductionText(int n, int frame_count);

// ---- Move/Crop Frame --------------------------------------------------------------------

// Crop rectangle in frame coordinates (right and bottom exclusive) and the
// frame position on a W x H screen.
struct MoveCropState {
    int screenW = 0, screenH = 0;
    int frameW = 0, frameH = 0;
    Rect crop;
    int x = 0, y = 0;
    friend bool operator==(const MoveCropState&, const MoveCropState&) = default;
};
// The whole frame at its offset.
MoveCropState MoveCropStart(const Animation& a, const Frame& f);
// Applies the limits: 1 - w <= x <= W - 1, 1 - h <= y <= H - 1, then
// 0 <= left <= right - 1, left + x >= 0, right <= w, right + x <= W (and
// the same for top, bottom, y and H).
MoveCropState ApplyMoveCropLimits(MoveCropState s);

enum class AlignCommand { Left, Right, Top, Bottom, CenterH, CenterV, Center };
// The alignment commands (limits applied afterwards).
MoveCropState Align(MoveCropState s, AlignCommand c);

enum class MoveCropResult : int { Unchanged = 0, Moved = 1, Cropped = 2, Failed = 3 };
// OK of Move/Crop: crops the frame to the part of the crop rectangle that
// lies on the screen at the chosen position and sets the offset to the
// position plus the rectangle's corner.
MoveCropResult ApplyMoveCrop(Animation& a, Frame& f, const MoveCropState& s);

}  // namespace cinemill
