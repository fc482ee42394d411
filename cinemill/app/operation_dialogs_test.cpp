#include "cinemill/app/operation_dialogs.h"

#include <gtest/gtest.h>

namespace cinemill {
namespace {

std::unique_ptr<Animation> Doc(std::initializer_list<std::pair<int, int>> sizes) {
    auto a = NewAnimation();
    a->width = 40;
    a->height = 30;
    for (auto [w, h] : sizes) {
        auto f = std::make_unique<Frame>();
        SetBitmap(*f, std::move(*FrameBitmap::Create(w, h)));
        a->blocks.push_back(std::move(f));
    }
    return a;
}

TEST(RemoveFramesToggle, TickedRerunsOnlyWhenTheCopyHoldsAOnePixelFrame) {
    EXPECT_TRUE(RemoveFramesToggleNeedsRun(true, nullptr, 3));
    EXPECT_TRUE(RemoveFramesToggleNeedsRun(false, nullptr, 3));
    const auto plain = Doc({{40, 30}, {5, 4}, {2, 1}});
    EXPECT_FALSE(RemoveFramesToggleNeedsRun(true, plain.get(), 3));
    const auto dot = Doc({{40, 30}, {1, 1}, {2, 2}});
    EXPECT_TRUE(RemoveFramesToggleNeedsRun(true, dot.get(), 3));
}

TEST(RemoveFramesToggle, UntickedRerunsOnlyWhenTheCopyLostFrames) {
    const auto two = Doc({{40, 30}, {5, 4}});
    EXPECT_TRUE(RemoveFramesToggleNeedsRun(false, two.get(), 3));
    EXPECT_FALSE(RemoveFramesToggleNeedsRun(false, two.get(), 2));
}

TEST(CropGripHitTest, CornersWithinSixPixelsEdgesWithinTwoAndInsideMoves) {
    const Rect crop{20, 20, 120, 80};
    const Rect frame{10, 10, 130, 90};
    EXPECT_EQ(HitCropGrip(crop, frame, 20, 20, true), CropGrip::TopLeft);
    EXPECT_EQ(HitCropGrip(crop, frame, 26, 14, false), CropGrip::None);  // outside the grown area
    EXPECT_EQ(HitCropGrip(crop, frame, 26, 18, false), CropGrip::TopLeft);
    EXPECT_EQ(HitCropGrip(crop, frame, 115, 82, true), CropGrip::BottomRight);
    EXPECT_EQ(HitCropGrip(crop, frame, 114, 22, true), CropGrip::TopRight);
    EXPECT_EQ(HitCropGrip(crop, frame, 18, 75, true), CropGrip::BottomLeft);
    EXPECT_EQ(HitCropGrip(crop, frame, 70, 22, true), CropGrip::Top);
    EXPECT_EQ(HitCropGrip(crop, frame, 70, 78, true), CropGrip::Bottom);
    EXPECT_EQ(HitCropGrip(crop, frame, 22, 50, true), CropGrip::Left);
    EXPECT_EQ(HitCropGrip(crop, frame, 121, 50, true), CropGrip::Right);
    // Three pixels off an edge is no edge: inside the frame it moves.
    EXPECT_EQ(HitCropGrip(crop, frame, 70, 23, true), CropGrip::Move);
    EXPECT_EQ(HitCropGrip(crop, frame, 70, 23, false), CropGrip::None);
    EXPECT_EQ(HitCropGrip(crop, frame, 12, 12, true), CropGrip::Move);
    EXPECT_EQ(HitCropGrip(crop, frame, 5, 5, true), CropGrip::None);
}

TEST(CropGripDrag, EdgesCornersAndMovesKeepTheLimits) {
    MoveCropState s;
    s.screenW = 100;
    s.screenH = 50;
    s.frameW = 40;
    s.frameH = 30;
    s.crop = {0, 0, 40, 30};
    s.x = 10;
    s.y = 5;
    MoveCropState r = DragCropGrip(s, CropGrip::Left, 15, 99);
    EXPECT_EQ(r.crop, (Rect{15, 0, 40, 30}));
    r = DragCropGrip(s, CropGrip::BottomRight, -5, -10);
    EXPECT_EQ(r.crop, (Rect{0, 0, 35, 20}));
    // An edge never passes its partner: one pixel stays.
    r = DragCropGrip(s, CropGrip::Top, 0, 500);
    EXPECT_EQ(r.crop.top, 29);
    EXPECT_EQ(r.crop.bottom, 30);
    // A move keeps the frame on the screen and cuts the crop at the edges.
    r = DragCropGrip(s, CropGrip::Move, 80, 0);
    EXPECT_EQ(r.x, 90);
    EXPECT_EQ(r.crop.right, 10);
    r = DragCropGrip(s, CropGrip::Move, -1000, -1000);
    EXPECT_EQ(r.x, -39);
    EXPECT_EQ(r.y, -29);
    EXPECT_EQ(r.crop.left, 39);
    EXPECT_EQ(DragCropGrip(s, CropGrip::None, 5, 5), s);
}

TEST(CropAnimationStartTest, TheScreenIsTheFrame) {
    const auto a = Doc({{10, 10}});
    const MoveCropState s = CropAnimationStart(*a);
    EXPECT_EQ(s.frameW, 40);
    EXPECT_EQ(s.frameH, 30);
    EXPECT_EQ(s.crop, (Rect{0, 0, 40, 30}));
    EXPECT_EQ(s.x, 0);
    EXPECT_TRUE(ResetEnabled(DragCropGrip(s, CropGrip::Left, 3, 0), s));
    EXPECT_FALSE(ResetEnabled(s, s));
}

}  // namespace
}  // namespace cinemill
