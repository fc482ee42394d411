#include "cinemill/app/operation_dialogs.h"

#include <cstdlib>

namespace cinemill {

bool RemoveFramesToggleNeedsRun(bool ticked, const Animation* copy, int document_frame_count) {
    if (!copy) return true;
    if (!ticked) return copy->FrameCount() != document_frame_count;
    for (const Frame* f : copy->Frames())
        if (f->width == 1 && f->height == 1) return true;
    return false;
}

namespace {
bool Near(int a, int b, int d) { return std::abs(a - b) <= d; }
bool Inside(const Rect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
}  // namespace

CropGrip HitCropGrip(const Rect& c, const Rect& frame, int px, int py, bool can_move) {
    const Rect grown{c.left - 3, c.top - 3, c.right + 3, c.bottom + 3};
    if (Inside(grown, px, py)) {
        // Corners first: they win over the edges they join.
        const bool l = Near(px, c.left, 6), r = Near(px, c.right, 6);
        const bool t = Near(py, c.top, 6), b = Near(py, c.bottom, 6);
        if (t && l) return CropGrip::TopLeft;
        if (t && r) return CropGrip::TopRight;
        if (b && l) return CropGrip::BottomLeft;
        if (b && r) return CropGrip::BottomRight;
        const bool alongH = px >= c.left && px <= c.right;
        const bool alongV = py >= c.top && py <= c.bottom;
        if (alongV && Near(px, c.left, 2)) return CropGrip::Left;
        if (alongV && Near(px, c.right, 2)) return CropGrip::Right;
        if (alongH && Near(py, c.top, 2)) return CropGrip::Top;
        if (alongH && Near(py, c.bottom, 2)) return CropGrip::Bottom;
    }
    if (can_move && Inside(frame, px, py)) return CropGrip::Move;
    return CropGrip::None;
}

MoveCropState DragCropGrip(const MoveCropState& s0, CropGrip g, int dx, int dy) {
    MoveCropState s = s0;
    Rect& r = s.crop;
    switch (g) {
        case CropGrip::None: return s0;
        case CropGrip::Move: s.x += dx; s.y += dy; break;
        case CropGrip::Left: r.left += dx; break;
        case CropGrip::Right: r.right += dx; break;
        case CropGrip::Top: r.top += dy; break;
        case CropGrip::Bottom: r.bottom += dy; break;
        case CropGrip::TopLeft: r.left += dx; r.top += dy; break;
        case CropGrip::TopRight: r.right += dx; r.top += dy; break;
        case CropGrip::BottomLeft: r.left += dx; r.bottom += dy; break;
        case CropGrip::BottomRight: r.right += dx; r.bottom += dy; break;
    }
    return ApplyMoveCropLimits(s);
}

MoveCropState CropAnimationStart(const Animation& a) {
    MoveCropState s;
    s.screenW = s.frameW = static_cast<int>(a.width);
    s.screenH = s.frameH = static_cast<int>(a.height);
    s.crop = Rect{0, 0, s.frameW, s.frameH};
    return s;
}

}  // namespace cinemill
