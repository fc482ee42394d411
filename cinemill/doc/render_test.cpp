#include "cinemill/doc/render.h"

#include <gtest/gtest.h>

#include "cinemill/base/preferences.h"
#include "cinemill/doc/render_test_support.h"

namespace cinemill {
namespace {

using render_testing::Add;
using render_testing::Screen;

// The pictures as one letter per pixel: r, g, b, or . for transparent.
std::vector<std::string> Letters(const Animation& a) {
    std::vector<std::string> out;
    for (const auto& img : RenderAll(a)) {
        std::string s;
        for (size_t i = 0; i < img.rgba.size(); i += 4) {
            if (img.rgba[i + 3] == 0) s += '.';
            else if (img.rgba[i]) s += 'r';
            else if (img.rgba[i + 1]) s += 'g';
            else s += 'b';
        }
        out.push_back(s);
    }
    return out;
}

TEST(Render, DisposalAndTransparency) {
    auto a = Screen();
    Add(*a, 0, {0, 0, 0});
    Add(*a, 1, {1}, 2);            // drawn, then cleared to transparent
    Add(*a, 0, {2, 1, 2}, 3, 1);   // the middle pixel is transparent; restored afterwards
    Add(*a, 2, {1});
    EXPECT_EQ(Letters(*a), (std::vector<std::string>{"rrr", "rgr", "b.b", "r.g"}));
}

TEST(Render, FramesAreCutAtTheScreenEdges) {
    auto a = Screen();
    Add(*a, -1, {1, 2});
    Add(*a, 2, {0, 0, 0});
    EXPECT_EQ(Letters(*a), (std::vector<std::string>{"b..", "b.r"}));
    // Pixels beyond the palette show black.
    auto b = Screen();
    Add(*b, 0, {7});
    const auto img = RenderAll(*b)[0];
    EXPECT_EQ(std::vector<uint8_t>(img.rgba.begin(), img.rgba.begin() + 4),
              (std::vector<uint8_t>{0, 0, 0, 255}));
}

TEST(Render, FramePixelsAreUncomposited) {
    auto a = Screen();
    Frame& f = Add(*a, 2, {0, 1, 2}, 0, 2);
    const auto img = FramePixelsRgba(*a, f);
    EXPECT_EQ(img.width, 3);
    EXPECT_EQ(img.rgba, (std::vector<uint8_t>{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace cinemill
