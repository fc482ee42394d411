#pragma once

#include <cstdint>

#include "cinemill/app/geometry_dialogs.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

// ---- Optimize: when a control change needs a new experiment -------------------------------

// "Remove unnecessary frames" toggled with an experiment copy at hand: ticked,
// a new run is needed only when the copy holds a 1 x 1 frame (a frame the
// option would remove); unticked, only when the copy has lost frames against
// the document. Without a copy a run is always needed.
bool RemoveFramesToggleNeedsRun(bool ticked, const Animation* copy, int document_frame_count);

// ---- Move/Crop and Crop Animation: dragging in the editor view --------------------------------

// What a press in the editor view grabbed: a corner (two edges), one edge,
// the frame itself (Move/Crop only) or nothing.
enum class CropGrip { None, Left, Top, Right, Bottom, TopLeft, TopRight, BottomLeft, BottomRight, Move };

// Hit test in view pixels. `crop` is the crop rectangle and `frame` the
// frame rectangle, both in view pixels (right and bottom exclusive). A
// corner grips within 6 pixels of it (the test area being the rectangle
// grown by 3 pixels), an edge within 2 pixels of the edge line, and a press
// inside the frame moves it when `can_move`.
CropGrip HitCropGrip(const Rect& crop, const Rect& frame, int px, int py, bool can_move);

// The state after dragging grip `g` by (dx, dy) document pixels from the
// state at the press; the limits are applied.
MoveCropState DragCropGrip(const MoveCropState& at_press, CropGrip g, int dx, int dy);

// The "Reset" button is enabled once the state differs from the opening one.
inline bool ResetEnabled(const MoveCropState& now, const MoveCropState& start) { return !(now == start); }

// Crop Animation works on the whole screen as its frame at (0, 0).
MoveCropState CropAnimationStart(const Animation& a);

}  // namespace cinemill
