#include "cinemill/imaging/resize.h"

#include <gtest/gtest.h>

#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

TEST(ResizeGeometry, BicubicWeightsFoldInwardAtTheEdges) {
    EXPECT_DOUBLE_EQ(BicubicKernel(0), 1);
    EXPECT_DOUBLE_EQ(BicubicKernel(1), 0);
    EXPECT_DOUBLE_EQ(BicubicKernel(1.5), -0.125);
    EXPECT_DOUBLE_EQ(BicubicKernel(-0.5), 0.625);
    EXPECT_DOUBLE_EQ(BicubicKernel(2), 0);
    for (int src : {1, 2, 3, 7}) {
        for (int dst : {1, 2, 5, 13}) {
            const auto taps = BicubicWeights(src, dst);
            ASSERT_EQ(taps.size(), size_t(dst));
            for (const BicubicTap& t : taps) {
                int sum = 0;
                for (int j = 0; j < 5; ++j) {
                    const int pos = t.source + j - 2;
                    if (t.mask & (1 << j)) {
                        EXPECT_GE(pos, 0);
                        EXPECT_LT(pos, src);
                        sum += t.weight[size_t(j)];
                    } else {
                        EXPECT_EQ(t.weight[size_t(j)], 0);
                    }
                }
                // Truncation loses at most a few units of 4096.
                EXPECT_NEAR(sum, 4096, 5) << src << " -> " << dst;
            }
        }
    }
    // Fifths: a fraction of 0.5 stays 0.5, weights K(2.5)=0, K(1.5), K(.5), K(.5), K(1.5).
    const auto t = BicubicWeights(20, 10);  // ratio 2, fraction 0
    EXPECT_EQ(t[3].source, 6);
    EXPECT_EQ(t[3].weight[2], 4096);
}

TEST(ResizeNearestTest, IndexesAndPalettesStayAndGeometryScales) {
    auto a = MakeAnimation(10, 10);
    a->blocks.push_back(MakeFrame(0, 0, 2, 2, {1, 2, 3, 4}));
    a->blocks.push_back(MakeFrame(5, 3, 1, 4, {5, 6, 7, 8}));
    auto local = *a->globalPalette;
    local[1] = Rgb{1, 2, 3};
    SetLocalPalette(*a->FrameAt(1), local);
    SilentUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    ASSERT_EQ(ResizeAnimation(*a, 20, 5, ResizeMethod::Nearest, host, progress, prefs), Result::Done);
    EXPECT_EQ(a->width, 20u);
    EXPECT_EQ(a->height, 5u);
    const Frame& f = *a->FrameAt(0);
    EXPECT_EQ(f.width, 4);
    EXPECT_EQ(f.height, 1);
    // Centre sampling: the one row samples source row 1.
    EXPECT_EQ(f.bitmap->At(0, 0), 3);
    EXPECT_EQ(f.bitmap->At(1, 0), 3);
    EXPECT_EQ(f.bitmap->At(2, 0), 4);
    EXPECT_EQ(f.bitmap->At(3, 0), 4);
    const Frame& g = *a->FrameAt(1);
    EXPECT_EQ(g.left, 10);
    EXPECT_EQ(g.top, 2);  // (3 * 5 + 5) div 10
    EXPECT_EQ(g.width, 2);
    EXPECT_EQ(g.height, 2);
    EXPECT_EQ(*g.localPalette, local);
    // 50% of a 1-pixel-wide frame stays 1 pixel wide.
    auto b = MakeAnimation(10, 10);
    b->blocks.push_back(MakeFrame(0, 0, 1, 3, {1, 2, 3}));
    ASSERT_EQ(ResizeAnimation(*b, 5, 5, ResizeMethod::Nearest, host, progress, prefs), Result::Done);
    EXPECT_EQ(b->FrameAt(0)->width, 1);
    EXPECT_EQ(b->FrameAt(0)->height, 2);
    // A stop leaves the document as it was.
    auto c = MakeAnimation(10, 10);
    c->blocks.push_back(MakeFrame(0, 0, 1, 3, {1, 2, 3}));
    c->blocks.push_back(MakeFrame(0, 0, 1, 3, {1, 2, 3}));
    CountdownProgress stop(1);
    EXPECT_EQ(ResizeAnimation(*c, 5, 5, ResizeMethod::Nearest, host, stop, prefs), Result::Stopped);
    EXPECT_EQ(c->width, 10u);
    EXPECT_EQ(c->FrameAt(0)->height, 3);
}

TEST(ResizeBicubicTest, SmallFramesAndTransparencyFollowTheNearestSource) {
    auto a = MakeAnimation(3, 3, 4);
    auto f = MakeFrame(0, 0, 3, 3, {0, 1, 2, 3, 0, 1, 2, 3, 0});
    SetTransparent(*f, true);
    f->transparentIndex = 0;
    a->blocks.push_back(std::move(f));
    a->blocks.push_back(MakeFrame(1, 1, 1, 1, {2}));
    SilentUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    for (auto [w, h] : {std::pair{7, 5}, std::pair{2, 2}, std::pair{1, 1}}) {
        auto b = CopyAnimation(*a);
        ASSERT_EQ(ResizeAnimation(*b, w, h, ResizeMethod::Bicubic, host, progress, prefs), Result::Done);
        EXPECT_EQ(b->width, uint32_t(w));
        ASSERT_EQ(b->FrameCount(), 2);
        for (const Frame* g : b->Frames()) {
            ASSERT_TRUE(g->bitmap);
            EXPECT_EQ(g->bitmap->width, g->width);
        }
    }
}

}  // namespace
}  // namespace cinemill
