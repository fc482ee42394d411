#include "cinemill/doc/render.h"

#include <algorithm>

#include "cinemill/doc/disposal.h"

namespace cinemill {

RgbaImage FramePixelsRgba(const Animation& a, const Frame& f) {
    RgbaImage img;
    if (!f.bitmap) return img;
    const FrameBitmap& b = *f.bitmap;
    img.width = b.width;
    img.height = b.height;
    img.rgba.resize(static_cast<size_t>(b.width) * b.height * 4);
    const Palette* pal = PaletteInEffect(a, f);
    const int n = pal ? pal->size() : 0;
    uint8_t* out = img.rgba.data();
    for (int y = 0; y < b.height; ++y) {
        const uint8_t* row = b.Row(y);
        for (int x = 0; x < b.width; ++x, out += 4) {
            const uint8_t p = row[x];
            if (f.Transparent() && p == f.transparentIndex) continue;
            if (p < n) {
                out[0] = (*pal)[p].r;
                out[1] = (*pal)[p].g;
                out[2] = (*pal)[p].b;
            }
            out[3] = 255;
        }
    }
    return img;
}

Compositor::Compositor(const Animation& a, uint32_t background_rgba) : anim_(a), background_(background_rgba) {
    canvas_.width = static_cast<int>(a.width);
    canvas_.height = static_cast<int>(a.height);
    // Left as zero pages when the background is transparent: a huge screen
    // with small frames costs memory only where frames are drawn.
    canvas_.rgba.resize(static_cast<size_t>(a.width) * a.height * 4);
    if (background_ != 0) Fill(0, 0, canvas_.width, canvas_.height);
}

uint64_t Compositor::CanvasBytes(const Animation& a) {
    return uint64_t{a.width} * a.height * 4;
}

void Compositor::Fill(int x0, int y0, int x1, int y1) {
    const uint8_t px[4] = {static_cast<uint8_t>(background_), static_cast<uint8_t>(background_ >> 8),
                           static_cast<uint8_t>(background_ >> 16), static_cast<uint8_t>(background_ >> 24)};
    for (int y = y0; y < y1; ++y) {
        uint8_t* out = canvas_.rgba.data() + (static_cast<size_t>(y) * canvas_.width + x0) * 4;
        for (int x = x0; x < x1; ++x, out += 4) std::copy_n(px, 4, out);
    }
}

void Compositor::Clear() {
    Fill(0, 0, canvas_.width, canvas_.height);
    last_ = nullptr;
}

void DrawFrameOnto(const Animation& a, const Frame& f, RgbaImage& canvas) {
    if (!f.bitmap) return;
    const FrameBitmap& b = *f.bitmap;
    const Palette* pal = PaletteInEffect(a, f);
    const int n = pal ? pal->size() : 0;
    const int x0 = std::max(0, f.left), y0 = std::max(0, f.top);
    const int x1 = static_cast<int>(std::min<int64_t>(int64_t{f.left} + b.width, canvas.width));
    const int y1 = static_cast<int>(std::min<int64_t>(int64_t{f.top} + b.height, canvas.height));
    for (int y = y0; y < y1; ++y) {
        const uint8_t* row = b.Row(y - f.top);
        uint8_t* out = canvas.rgba.data() + (static_cast<size_t>(y) * canvas.width + x0) * 4;
        for (int x = x0; x < x1; ++x, out += 4) {
            const uint8_t p = row[x - f.left];
            if (f.Transparent() && p == f.transparentIndex) continue;
            const Rgb c = p < n ? (*pal)[p] : Rgb{};
            out[0] = c.r;
            out[1] = c.g;
            out[2] = c.b;
            out[3] = 255;
        }
    }
}

void Compositor::Dispose() {
    if (!last_) return;
    const int disposal = last_->Disposal();
    if (disposal == kDisposePrevious) {
        canvas_ = saved_;
    } else if (disposal == kDisposeBackground) {
        const int x0 = std::max(0, last_->left), y0 = std::max(0, last_->top);
        const int x1 = static_cast<int>(std::min<int64_t>(int64_t{last_->left} + last_->width, canvas_.width));
        const int y1 = static_cast<int>(std::min<int64_t>(int64_t{last_->top} + last_->height, canvas_.height));
        Fill(x0, y0, x1, y1);
    }
    last_ = nullptr;
}

const RgbaImage& Compositor::Draw(const Frame& f) {
    Dispose();
    if (f.Disposal() == kDisposePrevious) saved_ = canvas_;
    last_ = &f;
    DrawFrameOnto(anim_, f, canvas_);
    return canvas_;
}

std::vector<RgbaImage> RenderAll(const Animation& a) {
    Compositor c(a);
    std::vector<RgbaImage> out;
    for (const Frame* f : a.Frames()) out.push_back(c.Draw(*f));
    return out;
}

}  // namespace cinemill
