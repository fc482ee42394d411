#pragma once
// Small builders shared by the imaging tests.
#include <initializer_list>
#include <memory>
#include <random>
#include <vector>

#include "cinemill/base/preferences.h"
#include "cinemill/doc/animation.h"
#include "cinemill/doc/render.h"
#include "cinemill/gif/gif_writer.h"

namespace cinemill::testing_support {

inline Palette MakePalette(std::initializer_list<Rgb> colors) {
    Palette p;
    p.entries.assign(colors.begin(), colors.end());
    return p;
}

// A frame of w x h pixels filled by `pixel(x, y)`.
template <typename Fn>
std::unique_ptr<Frame> MakeFrame(int w, int h, Fn pixel) {
    auto f = std::make_unique<Frame>();
    auto bmp = FrameBitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bmp->Row(y)[x] = static_cast<uint8_t>(pixel(x, y));
    SetBitmap(*f, std::move(*bmp));
    f->delay = 10;
    return f;
}

inline std::unique_ptr<Frame> SolidFrame(int w, int h, int index) {
    return MakeFrame(w, h, [index](int, int) { return index; });
}

// A true-colour frame; `color(x, y)` gives the pixel, `alpha(x, y)` the mask byte.
template <typename Fn, typename Alpha>
std::unique_ptr<Frame> MakeTrueColorFrame(int w, int h, Fn color, Alpha alpha, bool with_mask) {
    auto f = std::make_unique<Frame>();
    f->width = w;
    f->height = h;
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
    const size_t ms = (static_cast<size_t>(w) + 3) / 4 * 4;
    f->trueColor.assign(stride * static_cast<size_t>(h), 0);
    if (with_mask) f->transparencyPlane.assign(ms * static_cast<size_t>(h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = color(x, y);
            uint8_t* p = f->trueColor.data() + stride * static_cast<size_t>(y) + 3 * static_cast<size_t>(x);
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
            if (with_mask) f->transparencyPlane[ms * static_cast<size_t>(y) + static_cast<size_t>(x)] = alpha(x, y);
        }
    return f;
}

inline std::unique_ptr<Animation> MakeAnimation(uint32_t w, uint32_t h, std::optional<Palette> global) {
    auto a = NewAnimation();
    a->width = w;
    a->height = h;
    a->playCount = 0;
    SetGlobalPalette(*a, std::move(global));
    return a;
}

inline void Add(Animation& a, std::unique_ptr<Block> b) {
    a.blocks.push_back(std::move(b));
    RecountColorUsage(a, true);
}

// The GIF bytes the writer makes of a copy (the writer touches the header).
inline std::vector<uint8_t> GifBytes(const Animation& a) {
    auto c = CopyAnimation(a);
    VectorSink sink;
    SilentProgress p;
    WriteGif(sink, *c, p);
    return sink.bytes;
}

// Every pixel of every frame points into its palette in effect.
inline bool AllIndicesValid(const Animation& a) {
    for (const Frame* f : a.Frames()) {
        if (!f->bitmap) continue;
        const Palette* p = PaletteInEffect(a, *f);
        if (!p) return false;
        for (int y = 0; y < f->bitmap->height; ++y)
            for (int x = 0; x < f->bitmap->width; ++x)
                if (f->bitmap->At(x, y) >= p->size()) return false;
        if (f->Transparent() && f->transparentIndex >= p->size()) return false;
    }
    return true;
}

// Per frame, which pixels are transparent.
inline std::vector<std::vector<bool>> TransparentPixels(const Animation& a) {
    std::vector<std::vector<bool>> out;
    for (const Frame* f : a.Frames()) {
        std::vector<bool> t;
        if (f->bitmap)
            for (int y = 0; y < f->bitmap->height; ++y)
                for (int x = 0; x < f->bitmap->width; ++x)
                    t.push_back(f->Transparent() && f->bitmap->At(x, y) == f->transparentIndex);
        out.push_back(std::move(t));
    }
    return out;
}

}  // namespace cinemill::testing_support
