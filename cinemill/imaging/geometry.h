#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill {

// ---- rotate and flip -----------------------------------------------------------

enum class RotateOp { Cw90, Turn180, Ccw90, FlipH, FlipV };
enum class RotateResult : int { Failed = 0, Done = 1, ScreenGrew = 2 };

// Turns or flips one frame in place; the offset stays. A 90-degree turn of a
// frame that is not square grows the screen when the frame no longer fits
// (with `check_screen`). Failed leaves the frame unchanged.
RotateResult RotateFrame(Animation& a, Frame& f, RotateOp op, bool check_screen = true);
// The same on every frame in order; stops at the first frame that fails
// (frames already turned stay turned). ScreenGrew when any frame grew it.
RotateResult RotateAllFrames(Animation& a, RotateOp op);

// ---- order ---------------------------------------------------------------------------

// Reverses all blocks after the head; false with fewer than 2 frames.
bool ReverseOrder(Animation& a);

// The "Reduce Frame Count" rules: n from 2 to the frame count.
bool DeletionIntervalValid(int n, int frame_count);
// "Number of frames after reduction:": count - count div n, or "?".
std::string FramesAfterReductionText(int n, int frame_count);
// Deletes the frames at positions n-1, 2n-1, ... (of the order before
// deletion) and answers them, in order, for the undo history. Nothing
// happens for an invalid n.
std::vector<std::unique_ptr<Frame>> DeleteEveryNth(Animation& a, int n);

// ---- crop ------------------------------------------------------------------------------

// Keeps the w x h part of the frame's pixels at (left, top) of the frame,
// moving the offset by (left, top). False (frame unchanged) when the
// rectangle is empty or not inside the frame, or memory runs out.
bool CropFrameToRect(Frame& f, int left, int top, int width, int height);

// The union of all frame rectangles (left and top start from 1000, right and
// bottom from 0).
Rect BoundingRect(const Animation& a);
// "Auto" of Crop Animation: that union clamped to the screen.
Rect AutoCropRect(const Animation& a);
// A crop rectangle must hold a pixel and lie on the screen.
bool CropRectValid(const Animation& a, const Rect& r);
// Cuts every frame to its intersection with `r` and moves it by (-left,
// -top); the screen becomes r's size. A frame wholly outside `r` becomes a
// transparent 1 x 1 frame at (0, 0) that draws nothing, so that the timing
// stays. False (document unchanged) for an invalid rectangle or no memory;
// a rectangle equal to the screen changes nothing and answers true.
bool CropAnimation(Animation& a, const Rect& r);

// ---- the Move/Crop dialog's rules ------------------------------------------------------

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
