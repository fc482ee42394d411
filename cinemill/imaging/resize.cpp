// Resizing the animation: nearest-neighbour and bicubic scaling.
#include "cinemill/base/tell.h"
#include "cinemill/imaging/resize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <new>
#include <utility>

#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/imaging/palette_merge.h"

namespace cinemill {

// ---- geometry -------------------------------------------------------------------------

int64_t ScaleCoordinate(int64_t v, int64_t new_total, int64_t old_total) {
    return (v * new_total + old_total / 2) / std::max<int64_t>(old_total, 1);
}

double BicubicKernel(double t) {
    t = std::fabs(t);
    if (t < 1) return t * t * t - 2 * t * t + 1;
    if (t < 2) return -t * t * t + 5 * t * t - 8 * t + 4;
    return 0;
}

std::vector<BicubicTap> BicubicWeights(int src_len, int dst_len) {
    std::vector<BicubicTap> taps(static_cast<size_t>(std::max(dst_len, 0)));
    const float ratio = static_cast<float>(src_len) / static_cast<float>(dst_len);
    for (int i = 0; i < dst_len; ++i) {
        BicubicTap& t = taps[static_cast<size_t>(i)];
        const float c = static_cast<float>(i) * ratio;
        int s = static_cast<int>(c);
        s = std::clamp(s, 0, src_len - 1);
        const float frac = static_cast<float>(static_cast<int>(0.5f + 5.0f * (c - static_cast<float>(s)))) / 5.0f;
        const double f = frac;
        const double k[5] = {BicubicKernel(2 + f), BicubicKernel(1 + f), BicubicKernel(f), BicubicKernel(1 - f),
                             BicubicKernel(2 - f)};
        for (int j = 0; j < 5; ++j) t.weight[static_cast<size_t>(j)] = static_cast<int32_t>(k[j] * 4096);
        t.source = s;
        t.mask = 0x1F;
        // Taps outside the source fold onto the nearest tap inside.
        if (s < 2) {
            t.weight[1] += t.weight[0];
            t.weight[0] = 0;
            t.mask &= ~0x01;
        }
        if (s < 1) {
            t.weight[2] += t.weight[1];
            t.weight[1] = 0;
            t.mask &= ~0x02;
        }
        if (s >= src_len - 2) {
            t.weight[3] += t.weight[4];
            t.weight[4] = 0;
            t.mask &= ~0x10;
        }
        if (s >= src_len - 1) {
            t.weight[2] += t.weight[3];
            t.weight[3] = 0;
            t.mask &= ~0x08;
        }
    }
    return taps;
}

namespace {

struct Scaled {
    int left = 0, top = 0, w = 1, h = 1;
};

Scaled ScaleFrameRect(const Frame& f, int W, int H, int nW, int nH) {
    Scaled s;
    s.w = static_cast<int>(std::max<int64_t>(1, ScaleCoordinate(f.width, nW, W)));
    s.h = static_cast<int>(std::max<int64_t>(1, ScaleCoordinate(f.height, nH, H)));
    s.left = static_cast<int>(ScaleCoordinate(f.left, nW, W));
    s.top = static_cast<int>(ScaleCoordinate(f.top, nH, H));
    return s;
}

// Nearest source sample: the source pixel whose extent holds the centre of
// the destination pixel.
std::optional<FrameBitmap> ScaleNearest(const FrameBitmap& src, int nw, int nh) {
    auto dst = FrameBitmap::Create(nw, nh);
    if (!dst || src.width <= 0 || src.height <= 0) return std::nullopt;
    std::vector<int> xs(static_cast<size_t>(nw));
    for (int x = 0; x < nw; ++x)
        xs[static_cast<size_t>(x)] =
            static_cast<int>(std::min<int64_t>((int64_t{2} * x + 1) * src.width / (int64_t{2} * nw), src.width - 1));
    for (int y = 0; y < nh; ++y) {
        const int sy = static_cast<int>(std::min<int64_t>((int64_t{2} * y + 1) * src.height / (int64_t{2} * nh),
                                                          src.height - 1));
        const uint8_t* in = src.Row(sy);
        uint8_t* out = dst->Row(y);
        for (int x = 0; x < nw; ++x) out[x] = in[xs[static_cast<size_t>(x)]];
    }
    return dst;
}

// One filtered channel value from fixed-point sums.
uint8_t Finish(int64_t sum) {
    if (sum < 0) return 0;
    return static_cast<uint8_t>(std::min<int64_t>((sum + 2048) >> 12, 255));
}

// The colours of a frame's indexes (black beyond its palette).
std::array<Rgb, 256> IndexColours(const Animation& a, const Frame& f) {
    std::array<Rgb, 256> colours{};
    if (const Palette* pal = PaletteInEffect(a, f))
        for (int i = 0; i < pal->size() && i < 256; ++i) colours[static_cast<size_t>(i)] = (*pal)[i];
    return colours;
}

// The picture between the two passes: nw columns of the source rows, and
// which of them are transparent.
struct HalfScaled {
    int nw = 0;
    std::vector<Rgb> colour;
    std::vector<uint8_t> clear;
};

// The horizontal pass over one row at tap `t`. A transparent centre stays
// transparent; transparent neighbours count as the centre. `transparent` is
// the transparent index, -1 for none.
void FilterRowAt(const uint8_t* row, const BicubicTap& t, const std::array<Rgb, 256>& colours, int transparent,
                 Rgb& out, uint8_t& clear) {
    const uint8_t centre = row[t.source];
    if (centre == transparent) {
        out = colours[centre];
        clear = 1;
        return;
    }
    int64_t r = 0, g = 0, b = 0;
    for (int j = 0; j < 5; ++j) {
        if (!(t.mask & (1 << j))) continue;
        uint8_t p = row[t.source + j - 2];
        if (p == transparent) p = centre;
        const Rgb c = colours[p];
        const int32_t wgt = t.weight[static_cast<size_t>(j)];
        r += int64_t{c.r} * wgt;
        g += int64_t{c.g} * wgt;
        b += int64_t{c.b} * wgt;
    }
    out = Rgb{Finish(r), Finish(g), Finish(b)};
}

void FilterRows(const FrameBitmap& src, const std::vector<BicubicTap>& hx, const std::array<Rgb, 256>& colours,
                int transparent, HalfScaled& mid) {
    const size_t nw = static_cast<size_t>(mid.nw);
    for (int y = 0; y < src.height; ++y) {
        const uint8_t* row = src.Row(y);
        for (size_t x = 0; x < nw; ++x) {
            const size_t o = static_cast<size_t>(y) * nw + x;
            FilterRowAt(row, hx[x], colours, transparent, mid.colour[o], mid.clear[o]);
        }
    }
}

// The vertical pass at column x, tap `t`; transparent neighbours count as the centre.
Rgb FilterColumnAt(const HalfScaled& mid, int x, const BicubicTap& t) {
    const size_t nw = static_cast<size_t>(mid.nw);
    const size_t centre = static_cast<size_t>(t.source) * nw + static_cast<size_t>(x);
    int64_t r = 0, g = 0, b = 0;
    for (int j = 0; j < 5; ++j) {
        if (!(t.mask & (1 << j))) continue;
        size_t o = static_cast<size_t>(t.source + j - 2) * nw + static_cast<size_t>(x);
        if (mid.clear[o]) o = centre;
        const int32_t wgt = t.weight[static_cast<size_t>(j)];
        r += int64_t{mid.colour[o].r} * wgt;
        g += int64_t{mid.colour[o].g} * wgt;
        b += int64_t{mid.colour[o].b} * wgt;
    }
    return Rgb{Finish(r), Finish(g), Finish(b)};
}

void FilterColumns(const HalfScaled& mid, const std::vector<BicubicTap>& vy, int nh, std::vector<uint8_t>& rgb,
                   std::vector<uint8_t>& alpha) {
    const int nw = mid.nw;
    const size_t stride3 = (static_cast<size_t>(nw) * 3 + 3) / 4 * 4;
    const size_t stride1 = static_cast<size_t>(FrameBitmap::StrideFor(nw));
    rgb.assign(stride3 * nh, 0);
    alpha.assign(stride1 * nh, 0);
    for (int y = 0; y < nh; ++y) {
        const BicubicTap& t = vy[static_cast<size_t>(y)];
        for (int x = 0; x < nw; ++x) {
            const size_t centre = static_cast<size_t>(t.source) * nw + x;
            const bool clear = mid.clear[centre] != 0;
            const Rgb c = clear ? mid.colour[centre] : FilterColumnAt(mid, x, t);
            uint8_t* px = rgb.data() + stride3 * y + 3 * static_cast<size_t>(x);
            px[0] = c.b;
            px[1] = c.g;
            px[2] = c.r;
            alpha[stride1 * y + x] = clear ? 0 : 255;
        }
    }
}

// The bicubic filter of one frame into 24-bit blue-green-red rows (padded to
// 4 bytes) and a transparency plane (0 transparent, 255 opaque; rows padded
// to 4 bytes): across the rows first, then down the columns. False when
// memory runs out.
bool BicubicFrame(const Animation& a, const Frame& f, int nw, int nh, std::vector<uint8_t>& rgb,
                  std::vector<uint8_t>& alpha) {
    const FrameBitmap& src = *f.bitmap;
    const int w = src.width, h = src.height;
    if (w <= 0 || h <= 0) return false;
    const uint64_t inter = uint64_t(nw) * h, out = uint64_t(nw) * nh;
    if (inter > (uint64_t{1} << 28) || out > (uint64_t{1} << 28)) return false;
    const std::array<Rgb, 256> colours = IndexColours(a, f);
    const int transparent = f.Transparent() ? f.transparentIndex : -1;
    const auto hx = BicubicWeights(w, nw);
    const auto vy = BicubicWeights(h, nh);
    try {
        HalfScaled mid{nw, std::vector<Rgb>(inter), std::vector<uint8_t>(inter, 0)};
        FilterRows(src, hx, colours, transparent, mid);
        FilterColumns(mid, vy, nh, rgb, alpha);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

Result ResizeNearest(Animation& a, int nW, int nH, ProgressReporter& progress) {
    const int W = static_cast<int>(a.width), H = static_cast<int>(a.height);
    std::vector<std::pair<Frame*, std::optional<FrameBitmap>>> plan;
    std::vector<Scaled> rects;
    for (Frame* f : a.Frames()) {
        const Scaled s = ScaleFrameRect(*f, W, H, nW, nH);
        std::optional<FrameBitmap> b;
        if (f->bitmap) {
            b = ScaleNearest(*f->bitmap, s.w, s.h);
            if (!b) return Result::Failed;
        }
        plan.emplace_back(f, std::move(b));
        rects.push_back(s);
        if (!progress.Step()) return Result::Stopped;
    }
    for (size_t i = 0; i < plan.size(); ++i) {
        Frame& f = *plan[i].first;
        if (plan[i].second) SetBitmap(f, std::move(*plan[i].second));
        f.width = rects[i].w;
        f.height = rects[i].h;
        f.left = rects[i].left;
        f.top = rects[i].top;
    }
    return Result::Done;
}

Result ResizeBicubic(Animation& a, int nW, int nH, UiHost& host, ProgressReporter& progress,
                     PreferenceBlock& prefs) {
    const int W = static_cast<int>(a.width), H = static_cast<int>(a.height);
    auto fresh = HeaderCopy(a);
    if (!fresh) {
        Tell(host, StringId::BicubicNoMemory);
        return Result::Failed;
    }
    fresh->width = static_cast<uint32_t>(nW);
    fresh->height = static_cast<uint32_t>(nH);
    for (const auto& b : a.blocks) {
        const Frame* f = AsFrame(b.get());
        if (!f) {
            fresh->blocks.push_back(CopyBlock(*b));
            continue;
        }
        const Scaled s = ScaleFrameRect(*f, W, H, nW, nH);
        auto nf = std::make_unique<Frame>();
        nf->left = s.left;
        nf->top = s.top;
        nf->width = s.w;
        nf->height = s.h;
        nf->name = f->name;
        nf->delay = f->delay;
        nf->controlFlags = f->controlFlags;
        nf->transparentIndex = f->transparentIndex;
        nf->descriptorFlags = static_cast<uint8_t>(f->descriptorFlags & kDescInterlaced);
        if (f->bitmap && !BicubicFrame(a, *f, s.w, s.h, nf->trueColor, nf->transparencyPlane)) {
            Tell(host, StringId::BicubicNoMemory);
            return Result::Failed;
        }
        if (!f->Transparent()) nf->transparencyPlane.clear();
        fresh->blocks.push_back(std::move(nf));
        if (!progress.Step()) return Result::Stopped;
    }
    const Result r = MergePalettes(nullptr, *fresh, 0, host, progress, prefs);
    if (r != Result::Done) return r;
    for (const Frame* f : std::as_const(*fresh).Frames())
        if (!f->bitmap) {
            Tell(host, StringId::BicubicNoMemory);
            return Result::Failed;
        }
    a.blocks = std::move(fresh->blocks);
    SetGlobalPalette(a, std::move(fresh->globalPalette));
    a.backgroundIndex = fresh->backgroundIndex;
    return Result::Done;
}

}  // namespace

Result ResizeAnimation(Animation& a, int new_w, int new_h, ResizeMethod method, UiHost& host,
                       ProgressReporter& progress, PreferenceBlock& prefs) {
    if (new_w < 1 || new_h < 1 || new_w > 65535 || new_h > 65535 || a.width == 0 || a.height == 0)
        return Result::Failed;
    if (uint32_t(new_w) == a.width && uint32_t(new_h) == a.height) return Result::Done;
    progress.SetText(StringId::ResizingAnimation);
    progress.SetRange(a.FrameCount());
    const Result r = method == ResizeMethod::Nearest ? ResizeNearest(a, new_w, new_h, progress)
                                                     : ResizeBicubic(a, new_w, new_h, host, progress, prefs);
    if (r == Result::Failed && method == ResizeMethod::Nearest)
        Tell(host, StringId::FrameImageNoMemory);
    if (r != Result::Done) return r;
    a.width = static_cast<uint32_t>(new_w);
    a.height = static_cast<uint32_t>(new_h);
    a.cachedSize = -1;
    RecountColorUsage(a, true);
    return Result::Done;
}

}  // namespace cinemill
