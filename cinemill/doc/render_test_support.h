#pragma once
// Tiny screens for the tests of what frames show (the compositor's and the
// player's): one row of three pixels, frames given pixel by pixel.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill::render_testing {

// A 3 x 1 screen; colours: 0 red, 1 green, 2 blue.
inline std::unique_ptr<Animation> Screen() {
    auto a = NewAnimation();
    a->width = 3;
    a->height = 1;
    const uint8_t rgb[] = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    SetGlobalPalette(*a, Palette::FromTriples(rgb, 3));
    return a;
}

// Appends a one-row frame of the pixels `px` at x = `left`, with its
// disposal, transparent at index `transparent` when that is not -1.
inline Frame& Add(Animation& a, int left, std::vector<uint8_t> px, int disposal = 0, int transparent = -1) {
    auto f = std::make_unique<Frame>();
    auto bmp = FrameBitmap::Create(static_cast<int>(px.size()), 1);
    std::copy(px.begin(), px.end(), bmp->Row(0));
    SetBitmap(*f, std::move(*bmp));
    f->left = left;
    SetDisposal(*f, disposal);
    if (transparent >= 0) {
        SetTransparentIndex(*f, static_cast<uint8_t>(transparent));
        SetTransparent(*f, true);
    }
    a.blocks.push_back(std::move(f));
    return *AsFrame(a.blocks.back().get());
}

}  // namespace cinemill::render_testing
