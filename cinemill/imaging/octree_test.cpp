#include "cinemill/imaging/octree.h"

#include <gtest/gtest.h>

#include <random>

namespace cinemill {
namespace {

TEST(Octree, TwoColoursKeptAsTwoLeaves) {
    OctreeQuantizer q(2);
    q.AddColor(255, 0, 0, 5);
    q.AddColor(0, 0, 255, 7);
    EXPECT_EQ(q.LeafCount(), 2);
    const Palette p = q.BuildPalette(2, false);
    ASSERT_EQ(p.size(), 2);
    // Depth first by child index: blue (child 1) before red (child 4).
    EXPECT_EQ(p[0], (Rgb{0, 0, 255}));
    EXPECT_EQ(p[1], (Rgb{255, 0, 0}));
    EXPECT_EQ(q.Lookup(255, 0, 0), 1);
    EXPECT_EQ(q.Lookup(0, 0, 255), 0);
    EXPECT_EQ(q.Lookup(0, 255, 0), 0);  // a path that leaves the tree
}

TEST(Octree, LeavesSeparateTopSixBitsAndAverage) {
    OctreeQuantizer q(16);
    q.AddColor(200, 0, 0, 1);
    q.AddColor(202, 0, 0, 3);  // same top six bits as 200
    q.AddColor(204, 0, 0, 1);  // next 6-bit cell
    EXPECT_EQ(q.LeafCount(), 2);
    const Palette p = q.BuildPalette(16, false);
    ASSERT_EQ(p.size(), 2);
    EXPECT_EQ(p[0], (Rgb{201, 0, 0}));  // (200 + 3 * 202) / 4 = 201 (truncated)
    EXPECT_EQ(p[1], (Rgb{204, 0, 0}));
}

TEST(Octree, ReductionFoldsTheLeastTravelledDeepestNode) {
    // 0x00 and 0x04 differ in bit 2 (level 5); 0x80 differs at the root.
    // With K = 2 the third leaf forces a fold at level 5: the two heavy
    // colours share a level-5 parent, and the lone light colour's chain has
    // nothing to fold, so the light one (fewer pixels through it) is folded
    // first without effect, then the shared parent goes.
    OctreeQuantizer q(2);
    q.AddColor(0x80, 0, 0, 1);
    q.AddColor(0x00, 0, 0, 10);
    q.AddColor(0x04, 0, 0, 30);
    EXPECT_LE(q.LeafCount(), 2);
    const Palette p = q.BuildPalette(2, false);
    ASSERT_EQ(p.size(), 2);
    EXPECT_EQ(p[0], (Rgb{3, 0, 0}));  // (0 * 10 + 4 * 30) / 40
    EXPECT_EQ(p[1], (Rgb{0x80, 0, 0}));
}

TEST(Octree, NeverMoreLeavesThanAskedAndSlotIsBlack) {
    std::mt19937 rng(1);
    for (int k : {1, 2, 7, 64, 256}) {
        OctreeQuantizer q(k);
        for (int i = 0; i < 5000; ++i) {
            q.AddColor(static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), 1 + rng() % 3);
            ASSERT_LE(q.LeafCount(), k);
        }
        const Palette p = q.BuildPalette(std::max(1, k - 1), true);
        EXPECT_LE(p.size(), std::max(2, k));
        EXPECT_EQ(p[p.size() - 1], (Rgb{0, 0, 0}));
        for (int i = 0; i < 100; ++i)
            EXPECT_LT(q.Lookup(static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())),
                      p.size() - 1);
    }
}

TEST(Octree, EmptyTreeGivesOneBlackEntry) {
    OctreeQuantizer q(8);
    const Palette p = q.BuildPalette(8, false);
    ASSERT_EQ(p.size(), 1);
    EXPECT_EQ(q.Lookup(1, 2, 3), 0);
}

TEST(Octree, PixelsWithMaskAndWeightedPalette) {
    // 2 x 1 pixels, rows padded to 8 bytes; the second pixel is masked out.
    const uint8_t bgr[8] = {0, 0, 255, 255, 0, 0, 0, 0};
    const uint8_t mask[4] = {255, 0, 0, 0};
    OctreeQuantizer q(8);
    q.AddPixels(bgr, mask, 2, 1);
    EXPECT_EQ(q.LeafCount(), 1);
    Palette pal;
    pal.entries = {{0, 255, 0}, {1, 2, 3}};
    ColorUsage counts{};
    counts[0] = 4;  // entry 1 is unused and left out
    q.AddPalette(pal, counts);
    EXPECT_EQ(q.LeafCount(), 2);
}

// Large images go through the per-cell tables and deferred counts; the
// result must be exactly that of adding the same pixels one by one.
TEST(Octree, LargeImagesGiveTheSameTreeAsPixelByPixel) {
    constexpr int w = 301, h = 230;  // rows padded to 904 bytes
    const size_t stride = (w * 3 + 3) / 4 * 4, mstride = (w + 3) / 4 * 4;
    std::mt19937 rng(7);
    std::vector<std::vector<uint8_t>> frames, masks;
    for (int f = 0; f < 3; ++f) {
        std::vector<uint8_t> bgr(stride * h, 0), mask(mstride * h, 255);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = bgr.data() + stride * y + 3 * x;
                if (x < 100) {  // noise: new colours and folds all the way
                    p[0] = uint8_t(rng()), p[1] = uint8_t(rng()), p[2] = uint8_t(rng());
                } else if (x < 200) {  // gradients that move from frame to frame
                    p[0] = uint8_t(x + f * 40), p[1] = uint8_t(y), p[2] = uint8_t((x * y) >> 6);
                } else {  // flat bands
                    p[0] = uint8_t((y / 16) * 17), p[1] = uint8_t(f * 80), p[2] = 200;
                }
                if ((x + y + f) % 11 == 0) mask[mstride * y + x] = 0;
            }
        frames.push_back(std::move(bgr));
        masks.push_back(std::move(mask));
    }
    Palette extra;
    extra.entries = {{10, 20, 30}, {250, 0, 5}, {7, 7, 7}};
    ColorUsage counts{};
    counts[0] = 500, counts[1] = 100000, counts[2] = 3;
    for (int k : {2, 16, 64, 256}) {
        for (bool with_mask : {false, true}) {
            OctreeQuantizer fast(k), slow(k);
            for (int f = 0; f < 3; ++f) {
                const uint8_t* m = with_mask ? masks[size_t(f)].data() : nullptr;
                fast.AddPixels(frames[size_t(f)].data(), m, w, h);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        if (m && !m[mstride * y + x]) continue;
                        const uint8_t* p = frames[size_t(f)].data() + stride * y + 3 * x;
                        slow.AddColor(p[2], p[1], p[0], 1);
                    }
                ASSERT_EQ(fast.LeafCount(), slow.LeafCount()) << k << " frame " << f;
                if (f == 1) {  // palettes mixed in between
                    fast.AddPalette(extra, counts);
                    slow.AddPalette(extra, counts);
                }
            }
            const Palette pf = fast.BuildPalette(k - 1, true), ps = slow.BuildPalette(k - 1, true);
            ASSERT_EQ(pf.entries, ps.entries) << k;
            EXPECT_GT(pf.size(), std::min(k - 1, 2));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const uint8_t* p = frames[0].data() + stride * y + 3 * x;
                    ASSERT_EQ(fast.Lookup(p[2], p[1], p[0]), slow.Lookup(p[2], p[1], p[0])) << k;
                }
            for (int i = 0; i < 20000; ++i) {  // colours never added: paths that leave the tree
                const uint8_t r = uint8_t(rng()), g = uint8_t(rng()), b = uint8_t(rng());
                ASSERT_EQ(fast.Lookup(r, g, b), slow.Lookup(r, g, b));
            }
        }
    }
}

}  // namespace
}  // namespace cinemill
