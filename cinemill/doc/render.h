#pragma once

#include <cstdint>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill {

// Straight RGBA pixels, 4 bytes each, rows without padding; pages never
// drawn on cost no memory.
struct RgbaImage {
    int width = 0, height = 0;
    ZeroedBytes rgba;
    friend bool operator==(const RgbaImage&, const RgbaImage&) = default;
};

// A frame's own pixels: the palette colour of each index (black for an
// index beyond the palette), opaque; transparent pixels are 0,0,0,0.
RgbaImage FramePixelsRgba(const Animation& a, const Frame& f);

// Draws frame `f` of `a` onto `canvas` (of the screen size) without its
// transparent pixels, cut at the canvas edges.
void DrawFrameOnto(const Animation& a, const Frame& f, RgbaImage& canvas);

// Plays an animation as a browser does: a transparent canvas of the screen
// size, frames drawn without their transparent pixels and cut at the screen
// edges, then disposed of (2 clears the frame's rectangle, 3 restores the
// picture from before the frame).
class Compositor {
public:
    // `background` is the RGBA fill of an empty canvas and of disposal 2
    // (transparent for a browser-like picture, a solid colour in the preview).
    explicit Compositor(const Animation& a, uint32_t background_rgba = 0);
    // Bytes of one canvas for the animation's screen; a compositor holds up
    // to two (the picture and the one a restoring frame brings back).
    static uint64_t CanvasBytes(const Animation& a);
    // Draws the next frame and answers the picture shown after it.
    const RgbaImage& Draw(const Frame& f);
    // Fills the canvas with the background and forgets the last frame.
    void Clear();
    // Changes the background; the canvas keeps its picture until Clear.
    void SetBackground(uint32_t rgba) { background_ = rgba; }
    const RgbaImage& Picture() const { return canvas_; }

private:
    void Dispose();
    void Fill(int x0, int y0, int x1, int y1);

    const Animation& anim_;
    RgbaImage canvas_;
    RgbaImage saved_;
    const Frame* last_ = nullptr;
    uint32_t background_ = 0;  // red in the low byte, alpha in the high byte
};

// The picture after every frame, in order.
std::vector<RgbaImage> RenderAll(const Animation& a);

}  // namespace cinemill
