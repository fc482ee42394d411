#pragma once

#include <cstdint>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill {

// Straight RGBA pixels, 4 bytes each, rows without padding.
struct RgbaImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    friend bool operator==(const RgbaImage&, const RgbaImage&) = default;
};

// A frame's own pixels: the palette colour of each index (black for an
// index beyond the palette), opaque; transparent pixels are 0,0,0,0.
RgbaImage FramePixelsRgba(const Animation& a, const Frame& f);

// Plays an animation as a browser does: a transparent canvas of the screen
// size, frames drawn without their transparent pixels and cut at the screen
// edges, then disposed of (2 clears the frame's rectangle, 3 restores the
// picture from before the frame).
class Compositor {
public:
    explicit Compositor(const Animation& a);
    // Draws the next frame and answers the picture shown after it.
    const RgbaImage& Draw(const Frame& f);

private:
    void Dispose();

    const Animation& anim_;
    RgbaImage canvas_;
    RgbaImage saved_;
    const Frame* last_ = nullptr;
};

// The picture after every frame, in order.
std::vector<RgbaImage> RenderAll(const Animation& a);

}  // namespace cinemill
