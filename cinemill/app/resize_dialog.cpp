// The Resize dialog's field rules.
#include "cinemill/app/resize_dialog.h"
#include "cinemill/doc/disposal.h"

#include <algorithm>
#include <cstdint>

namespace cinemill {

namespace {
constexpr int kMaxSide = 10000;
int ClampSide(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, 1, kMaxSide)); }
int Percent(int64_t v, int64_t total) { return static_cast<int>((100 * v + total / 2) / std::max<int64_t>(total, 1)); }
int FromPercent(int64_t p, int64_t total) { return ClampSide((p * total + 50) / 100); }
}  // namespace

ResizeFields ResizeFieldsStart(int w, int h, bool keep_aspect) {
    ResizeFields f;
    f.oldW = std::max(w, 1);
    f.oldH = std::max(h, 1);
    f.width = f.oldW;
    f.height = f.oldH;
    f.keepAspect = keep_aspect;
    return f;
}

ResizeFields TypeWidth(ResizeFields f, int w) {
    f.width = ClampSide(w);
    f.widthPercent = Percent(f.width, f.oldW);
    if (f.keepAspect) {
        f.height = ClampSide((int64_t{f.width} * f.oldH + f.oldW / 2) / f.oldW);
        f.heightPercent = f.widthPercent;
    }
    return f;
}

ResizeFields TypeHeight(ResizeFields f, int h) {
    f.height = ClampSide(h);
    f.heightPercent = Percent(f.height, f.oldH);
    if (f.keepAspect) {
        f.width = ClampSide((int64_t{f.height} * f.oldW + f.oldH / 2) / f.oldH);
        f.widthPercent = f.heightPercent;
    }
    return f;
}

ResizeFields TypeWidthPercent(ResizeFields f, int p) {
    f.widthPercent = p;
    f.width = FromPercent(p, f.oldW);
    if (f.keepAspect) {
        f.heightPercent = p;
        f.height = FromPercent(p, f.oldH);
    }
    return f;
}

ResizeFields TypeHeightPercent(ResizeFields f, int p) {
    f.heightPercent = p;
    f.height = FromPercent(p, f.oldH);
    if (f.keepAspect) {
        f.widthPercent = p;
        f.width = FromPercent(p, f.oldW);
    }
    return f;
}

ResizeFields SetKeepAspect(ResizeFields f, bool on) {
    f.keepAspect = on;
    return on ? TypeWidth(f, f.width) : f;
}

bool BicubicNeedsWarning(const Animation& a) {
    for (const Frame* f : a.Frames())
        if ((f->Transparent() || f->left != 0 || f->top != 0) && f->Disposal() != kDisposeBackground) return true;
    return false;
}

}  // namespace cinemill
