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

}  // namespace
}  // namespace cinemill
