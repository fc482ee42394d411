// What the Move/Crop Frame and Reduce Frame Count dialogs decide.
#include "cinemill/app/geometry_dialogs.h"

#include <algorithm>

#include "cinemill/imaging/geometry.h"

namespace cinemill {

// ---- Reduce Frame Count ---------------------------------------------------------------

std::string FramesAfterReductionText(int n, int frame_count) {
    if (!DeletionIntervalValid(n, frame_count)) return "?";
    return std::to_string(frame_count - frame_count / n);
}

// ---- Move/Crop Frame ------------------------------------------------------------------

MoveCropState MoveCropStart(const Animation& a, const Frame& f) {
    MoveCropState s;
    s.screenW = static_cast<int>(a.width);
    s.screenH = static_cast<int>(a.height);
    s.frameW = f.width;
    s.frameH = f.height;
    s.crop = Rect{0, 0, f.width, f.height};
    s.x = f.left;
    s.y = f.top;
    return s;
}

namespace {
// One axis: position p of a frame of length n on a screen of length N, crop
// interval [lo, hi).
void LimitAxis(int& p, int32_t& lo, int32_t& hi, int n, int N) {
    n = std::max(n, 1);
    N = std::max(N, 1);
    p = std::clamp(p, 1 - n, N - 1);
    const int min_lo = std::max(0, -p);
    const int max_hi = std::min(n, N - p);
    lo = std::clamp<int32_t>(lo, min_lo, max_hi - 1);
    hi = std::clamp<int32_t>(hi, lo + 1, max_hi);
}
}  // namespace

MoveCropState ApplyMoveCropLimits(MoveCropState s) {
    LimitAxis(s.x, s.crop.left, s.crop.right, s.frameW, s.screenW);
    LimitAxis(s.y, s.crop.top, s.crop.bottom, s.frameH, s.screenH);
    return s;
}

MoveCropState Align(MoveCropState s, AlignCommand c) {
    const auto& r = s.crop;
    const int W = s.screenW, H = s.screenH;
    const bool h = c == AlignCommand::CenterH || c == AlignCommand::Center;
    const bool v = c == AlignCommand::CenterV || c == AlignCommand::Center;
    switch (c) {
        case AlignCommand::Left: s.x = -r.left; break;
        case AlignCommand::Right: s.x = W - r.right; break;
        case AlignCommand::Top: s.y = -r.top; break;
        case AlignCommand::Bottom: s.y = H - r.bottom; break;
        default: break;
    }
    // Integer division truncates toward zero, as C++ does.
    if (h) s.x = (r.left + W - r.right) / 2 - r.left;
    if (v) s.y = (r.top + H - r.bottom) / 2 - r.top;
    return ApplyMoveCropLimits(s);
}

MoveCropResult ApplyMoveCrop(Animation& a, Frame& f, const MoveCropState& in) {
    MoveCropState s = in;
    s.screenW = static_cast<int>(a.width);
    s.screenH = static_cast<int>(a.height);
    s.frameW = f.width;
    s.frameH = f.height;
    s = ApplyMoveCropLimits(s);
    const Rect& r = s.crop;
    const bool whole = r.left == 0 && r.top == 0 && r.right == f.width && r.bottom == f.height;
    const int nx = s.x + r.left, ny = s.y + r.top;
    if (whole) {
        if (nx == f.left && ny == f.top) return MoveCropResult::Unchanged;
        f.left = nx;
        f.top = ny;
        a.cachedSize = -1;
        return MoveCropResult::Moved;
    }
    if (!CropFrameToRect(f, r.left, r.top, r.right - r.left, r.bottom - r.top)) return MoveCropResult::Failed;
    f.left = nx;
    f.top = ny;
    a.cachedSize = -1;
    RecountColorUsage(a, true);
    return MoveCropResult::Cropped;
}

}  // namespace cinemill
