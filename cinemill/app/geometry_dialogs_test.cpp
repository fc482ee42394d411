#include "cinemill/app/geometry_dialogs.h"

#include <gtest/gtest.h>

#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

TEST(ReduceFrameCount, FramesLeftOrAQuestionMarkForAnIntervalOutOfRange) {
    EXPECT_EQ(FramesAfterReductionText(3, 10), "7");
    EXPECT_EQ(FramesAfterReductionText(10, 10), "9");
    EXPECT_EQ(FramesAfterReductionText(2, 2), "1");
    EXPECT_EQ(FramesAfterReductionText(1, 10), "?");
    EXPECT_EQ(FramesAfterReductionText(0, 10), "?");
    EXPECT_EQ(FramesAfterReductionText(11, 10), "?");
}

TEST(MoveCrop, LimitsKeepTheRectangleOnTheFrameAndTheScreen) {
    MoveCropState s;
    s.screenW = 100;
    s.screenH = 50;
    s.frameW = 30;
    s.frameH = 20;
    s.crop = Rect{-5, 3, 40, 2};
    s.x = 90;
    s.y = -30;
    const MoveCropState l = ApplyMoveCropLimits(s);
    EXPECT_EQ(l.x, 90);
    EXPECT_EQ(l.y, -19);  // 1 - h
    EXPECT_EQ(l.crop.left, 0);
    EXPECT_EQ(l.crop.right, 10);  // right + x <= W
    EXPECT_EQ(l.crop.top, 19);    // top + y >= 0
    EXPECT_EQ(l.crop.bottom, 20);
    EXPECT_EQ(ApplyMoveCropLimits(l), l);
    // Alignment.
    MoveCropState c = l;
    c.crop = Rect{5, 2, 25, 12};
    c.x = 10;
    c.y = 10;
    EXPECT_EQ(Align(c, AlignCommand::Left).x, -5);
    EXPECT_EQ(Align(c, AlignCommand::Right).x, 75);
    EXPECT_EQ(Align(c, AlignCommand::Top).y, -2);
    EXPECT_EQ(Align(c, AlignCommand::Bottom).y, 38);
    EXPECT_EQ(Align(c, AlignCommand::CenterH).x, (5 + 100 - 25) / 2 - 5);
    EXPECT_EQ(Align(c, AlignCommand::CenterV).y, (2 + 50 - 12) / 2 - 2);
    const MoveCropState both = Align(c, AlignCommand::Center);
    EXPECT_EQ(both.x, 35);
    EXPECT_EQ(both.y, 18);
}

TEST(MoveCrop, OkMovesCropsOrChangesNothing) {
    auto a = MakeAnimation(20, 20);
    a->blocks.push_back(Numbered(2, 2, 6, 6));
    Frame& f = *a->FrameAt(0);
    MoveCropState s = MoveCropStart(*a, f);
    EXPECT_EQ(ApplyMoveCrop(*a, f, s), MoveCropResult::Unchanged);
    s.x = 5;
    EXPECT_EQ(ApplyMoveCrop(*a, f, s), MoveCropResult::Moved);
    EXPECT_EQ(f.left, 5);
    EXPECT_EQ(f.width, 6);
    const auto rows = Rows(f);
    s = MoveCropStart(*a, f);
    s.crop = Rect{1, 2, 4, 6};
    s.x = 0;
    EXPECT_EQ(ApplyMoveCrop(*a, f, s), MoveCropResult::Cropped);
    EXPECT_EQ(f.left, 1);
    EXPECT_EQ(f.top, 4);
    EXPECT_EQ(f.width, 3);
    EXPECT_EQ(f.height, 4);
    EXPECT_EQ(f.bitmap->At(0, 0), rows[2][1]);
}

}  // namespace
}  // namespace cinemill
