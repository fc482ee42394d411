#include "cinemill/app/resize_dialog.h"

#include <gtest/gtest.h>

#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

TEST(ResizeFieldsTest, WidthAndPercentArithmetic) {
    ResizeFields f = ResizeFieldsStart(200, 100);
    EXPECT_EQ(f.width, 200);
    EXPECT_EQ(f.widthPercent, 100);
    f = TypeWidth(f, 150);
    EXPECT_EQ(f.widthPercent, 75);
    EXPECT_EQ(f.height, 100);  // no aspect: height stays
    f = SetKeepAspect(f, true);
    EXPECT_EQ(f.height, 75);
    EXPECT_EQ(f.heightPercent, 75);
    f = TypeWidth(f, 3);  // (3 * 100 + 100) div 200 = 2
    EXPECT_EQ(f.height, 2);
    EXPECT_EQ(f.widthPercent, 2);  // (300 + 100) div 200
    f = TypeWidth(f, 1);  // height max(1, (100 + 100) div 200) = 1
    EXPECT_EQ(f.height, 1);
    f = TypeHeightPercent(f, 50);
    EXPECT_EQ(f.height, 50);
    EXPECT_EQ(f.width, 100);
    EXPECT_EQ(f.widthPercent, 50);
    f = TypeHeight(f, 33);  // width (33 * 200 + 50) div 100 = 66
    EXPECT_EQ(f.width, 66);
    EXPECT_EQ(f.heightPercent, 33);
    ResizeFields g = ResizeFieldsStart(3, 7);
    g = TypeWidthPercent(g, 10);  // (30 + 50) div 100 = 0 -> at least 1
    EXPECT_EQ(g.width, 1);
    EXPECT_EQ(g.height, 7);
}

TEST(ResizeWarning, BicubicWarnsForTransparentOrOffsetFramesNotRestoredToBackground) {
    auto a = MakeAnimation(8, 8);
    a->blocks.push_back(FillFrame(0, 0, 8, 8, 1, 1));
    EXPECT_FALSE(BicubicNeedsWarning(*a));  // opaque, full size
    a->blocks.push_back(FillFrame(2, 0, 4, 4, 1, 2));
    EXPECT_FALSE(BicubicNeedsWarning(*a));  // offset, but restored to background
    a->blocks.push_back(FillFrame(0, 0, 8, 8, 1, 3));
    SetTransparent(*a->FrameAt(2), true);
    EXPECT_TRUE(BicubicNeedsWarning(*a));   // transparent and restored to previous
    SetTransparent(*a->FrameAt(2), false);
    EXPECT_FALSE(BicubicNeedsWarning(*a));
    a->FrameAt(0)->top = 1;
    EXPECT_TRUE(BicubicNeedsWarning(*a));   // offset with disposal 1
}

}  // namespace
}  // namespace cinemill
