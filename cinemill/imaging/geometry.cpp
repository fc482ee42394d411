// Frame geometry and order operations: rotate, flip, reverse, reduce, crop.
#include "cinemill/doc/disposal.h"
#include "cinemill/imaging/geometry.h"

#include <algorithm>
#include <utility>

namespace cinemill {

// ---- rotate and flip -----------------------------------------------------------

RotateResult RotateFrame(Animation& a, Frame& f, RotateOp op, bool check_screen) {
    if (!f.bitmap) return RotateResult::Failed;
    FrameBitmap& src = *f.bitmap;
    const int w = src.width, h = src.height;
    if (op == RotateOp::FlipV) {
        std::vector<uint8_t> tmp(static_cast<size_t>(src.stride));
        for (int y = 0; y < h / 2; ++y) {
            uint8_t* top = src.Row(y);
            uint8_t* bottom = src.Row(h - 1 - y);
            std::copy_n(top, src.stride, tmp.data());
            std::copy_n(bottom, src.stride, top);
            std::copy_n(tmp.data(), src.stride, bottom);
        }
        return RotateResult::Done;
    }
    const bool quarter = op == RotateOp::Cw90 || op == RotateOp::Ccw90;
    const int nw = quarter ? h : w, nh = quarter ? w : h;
    auto dst = FrameBitmap::Create(nw, nh);
    if (!dst) return RotateResult::Failed;
    for (int y = 0; y < nh; ++y) {
        uint8_t* out = dst->Row(y);
        for (int x = 0; x < nw; ++x) {
            int sx = 0, sy = 0;
            switch (op) {
                case RotateOp::Cw90: sx = y; sy = h - 1 - x; break;
                case RotateOp::Turn180: sx = w - 1 - x; sy = h - 1 - y; break;
                case RotateOp::Ccw90: sx = w - 1 - y; sy = x; break;
                case RotateOp::FlipH: sx = w - 1 - x; sy = y; break;
                case RotateOp::FlipV: break;
            }
            out[x] = src.At(sx, sy);
        }
    }
    SetBitmap(f, std::move(*dst));
    if (check_screen && nw != w) {
        const int64_t right = int64_t{f.left} + nw, bottom = int64_t{f.top} + nh;
        if (right > int64_t{a.width} || bottom > int64_t{a.height}) {
            a.width = static_cast<uint32_t>(std::max<int64_t>(a.width, std::min<int64_t>(right, 65535)));
            a.height = static_cast<uint32_t>(std::max<int64_t>(a.height, std::min<int64_t>(bottom, 65535)));
            a.cachedSize = -1;
            return RotateResult::ScreenGrew;
        }
    }
    return RotateResult::Done;
}

RotateResult RotateAllFrames(Animation& a, RotateOp op) {
    RotateResult result = RotateResult::Done;
    for (Frame* f : a.Frames()) {
        const RotateResult r = RotateFrame(a, *f, op);
        if (r == RotateResult::Failed) return RotateResult::Failed;
        if (r == RotateResult::ScreenGrew) result = RotateResult::ScreenGrew;
    }
    return result;
}

// ---- order ------------------------------------------------------------------------------

bool ReverseOrder(Animation& a) {
    if (a.FrameCount() < 2) return false;
    ReverseBlocks(a);
    return true;
}

bool DeletionIntervalValid(int n, int frame_count) { return n >= 2 && n <= frame_count; }

std::vector<std::unique_ptr<Frame>> DeleteEveryNth(Animation& a, int n) {
    std::vector<std::unique_ptr<Frame>> removed;
    const int count = a.FrameCount();
    if (!DeletionIntervalValid(n, count)) return removed;
    // Positions in the order before deletion; each deletion shifts the later
    // frames down by one.
    int deleted = 0;
    for (int pos = n - 1; pos < count; pos += n) {
        auto f = RemoveFrame(a, pos - deleted);
        if (f) removed.push_back(std::move(f));
        ++deleted;
    }
    a.cachedSize = -1;
    return removed;
}

// ---- crop ------------------------------------------------------------------------------------

bool CropFrameToRect(Frame& f, int left, int top, int width, int height) {
    if (!f.bitmap || width <= 0 || height <= 0 || left < 0 || top < 0 ||
        int64_t{left} + width > f.bitmap->width || int64_t{top} + height > f.bitmap->height)
        return false;
    auto nb = FrameBitmap::Create(width, height);
    if (!nb) return false;
    for (int y = 0; y < height; ++y) std::copy_n(f.bitmap->Row(top + y) + left, width, nb->Row(y));
    SetBitmap(f, std::move(*nb));
    f.left += left;
    f.top += top;
    return true;
}

Rect BoundingRect(const Animation& a) { return FrameExtents(a); }

Rect AutoCropRect(const Animation& a) {
    Rect r = BoundingRect(a);
    r.left = std::clamp<int32_t>(r.left, 0, static_cast<int32_t>(a.width));
    r.top = std::clamp<int32_t>(r.top, 0, static_cast<int32_t>(a.height));
    r.right = std::clamp<int32_t>(r.right, 0, static_cast<int32_t>(a.width));
    r.bottom = std::clamp<int32_t>(r.bottom, 0, static_cast<int32_t>(a.height));
    return r;
}

bool CropRectValid(const Animation& a, const Rect& r) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           r.right <= static_cast<int64_t>(a.width) && r.bottom <= static_cast<int64_t>(a.height);
}

bool CropAnimation(Animation& a, const Rect& r) {
    if (!CropRectValid(a, r)) return false;
    if (r.left == 0 && r.top == 0 && r.right == static_cast<int32_t>(a.width) &&
        r.bottom == static_cast<int32_t>(a.height))
        return true;
    // Build every new bitmap first so that running out of memory changes nothing.
    struct Plan {
        Frame* f;
        std::optional<FrameBitmap> bmp;
        int left, top;
        bool outside;
    };
    std::vector<Plan> plans;
    for (Frame* f : a.Frames()) {
        const int64_t x0 = std::max<int64_t>(f->left, r.left), y0 = std::max<int64_t>(f->top, r.top);
        const int64_t x1 = std::min<int64_t>(int64_t{f->left} + f->width, r.right);
        const int64_t y1 = std::min<int64_t>(int64_t{f->top} + f->height, r.bottom);
        Plan p{f, std::nullopt, 0, 0, false};
        if (x1 <= x0 || y1 <= y0 || !f->bitmap) {
            p.outside = true;
            p.bmp = FrameBitmap::Create(1, 1);
        } else {
            p.bmp = FrameBitmap::Create(static_cast<int>(x1 - x0), static_cast<int>(y1 - y0));
            if (p.bmp)
                for (int y = 0; y < p.bmp->height; ++y)
                    std::copy_n(f->bitmap->Row(static_cast<int>(y0 - f->top) + y) + (x0 - f->left),
                                p.bmp->width, p.bmp->Row(y));
            p.left = static_cast<int>(x0 - r.left);
            p.top = static_cast<int>(y0 - r.top);
        }
        if (!p.bmp) return false;
        plans.push_back(std::move(p));
    }
    for (Plan& p : plans) {
        SetBitmap(*p.f, std::move(*p.bmp));
        p.f->left = p.left;
        p.f->top = p.top;
        if (p.outside) {
            // Draws nothing and leaves nothing to dispose of.
            p.f->transparentIndex = 0;
            SetTransparent(*p.f, true);
            SetDisposal(*p.f, kDisposeKeep);
        }
    }
    a.width = static_cast<uint32_t>(r.right - r.left);
    a.height = static_cast<uint32_t>(r.bottom - r.top);
    a.cachedSize = -1;
    RecountColorUsage(a, true);
    return true;
}

}  // namespace cinemill
