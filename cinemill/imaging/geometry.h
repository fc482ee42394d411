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

// A deletion interval n runs from 2 to the frame count.
bool DeletionIntervalValid(int n, int frame_count);
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

}  // namespace cinemill
