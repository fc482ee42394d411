#include "cinemill/imaging/geometry.h"

#include <gtest/gtest.h>

#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

TEST(Rotate, PixelsMoveAsTheTableSays) {
    auto a = MakeAnimation(10, 10);
    a->blocks.push_back(Numbered(0, 0, 3, 2));
    const Frame& src = *a->FrameAt(0);
    const auto s = Rows(src);  // s[y][x]
    struct Case {
        RotateOp op;
        int w, h;
    };
    for (const Case c : {Case{RotateOp::Cw90, 2, 3}, Case{RotateOp::Turn180, 3, 2}, Case{RotateOp::Ccw90, 2, 3},
                         Case{RotateOp::FlipH, 3, 2}, Case{RotateOp::FlipV, 3, 2}}) {
        auto b = CopyAnimation(*a);
        Frame& f = *b->FrameAt(0);
        ASSERT_NE(RotateFrame(*b, f, c.op), RotateResult::Failed);
        ASSERT_EQ(f.width, c.w);
        ASSERT_EQ(f.height, c.h);
        ASSERT_EQ(f.bitmap->width, c.w);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                int sx = 0, sy = 0;
                switch (c.op) {
                    case RotateOp::Cw90: sx = y; sy = 2 - 1 - x; break;
                    case RotateOp::Turn180: sx = 3 - 1 - x; sy = 2 - 1 - y; break;
                    case RotateOp::Ccw90: sx = 3 - 1 - y; sy = x; break;
                    case RotateOp::FlipH: sx = 3 - 1 - x; sy = y; break;
                    case RotateOp::FlipV: sx = x; sy = 2 - 1 - y; break;
                }
                EXPECT_EQ(f.bitmap->At(x, y), s[static_cast<size_t>(sy)][static_cast<size_t>(sx)]);
            }
    }
}

TEST(Rotate, FourQuarterTurnsAndTwoFlipsGiveTheSameDocument) {
    auto a = MakeAnimation(40, 40);
    a->blocks.push_back(Numbered(3, 5, 7, 3));  // width not a multiple of 4
    a->blocks.push_back(Numbered(0, 0, 5, 5));
    SetTransparent(*a->FrameAt(1), true);
    a->FrameAt(1)->transparentIndex = 2;
    const auto before = RenderAll(*a);
    for (RotateOp op : {RotateOp::Cw90, RotateOp::Ccw90, RotateOp::Turn180}) {
        auto b = CopyAnimation(*a);
        const int turns = op == RotateOp::Turn180 ? 2 : 4;
        for (int i = 0; i < turns; ++i) ASSERT_NE(RotateAllFrames(*b, op), RotateResult::Failed);
        EXPECT_EQ(ComparePictures(*a, *b), "");
        EXPECT_EQ(Rows(*b->FrameAt(0)), Rows(*a->FrameAt(0)));
    }
    for (RotateOp op : {RotateOp::FlipH, RotateOp::FlipV}) {
        auto b = CopyAnimation(*a);
        RotateAllFrames(*b, op);
        EXPECT_NE(Rows(*b->FrameAt(0)), Rows(*a->FrameAt(0)));
        RotateAllFrames(*b, op);
        EXPECT_EQ(ComparePictures(*a, *b), "");
    }
    // CW then CCW undo each other on a non-square frame with an offset.
    auto c = CopyAnimation(*a);
    RotateFrame(*c, *c->FrameAt(0), RotateOp::Cw90);
    RotateFrame(*c, *c->FrameAt(0), RotateOp::Ccw90);
    EXPECT_EQ(Rows(*c->FrameAt(0)), Rows(*a->FrameAt(0)));
    EXPECT_EQ(c->FrameAt(0)->left, 3);
    EXPECT_EQ(c->FrameAt(0)->top, 5);
}

TEST(Rotate, QuarterTurnGrowsTheScreenOnlyWhenTheFrameNoLongerFits) {
    auto a = MakeAnimation(100, 100);
    a->blocks.push_back(Numbered(90, 0, 20, 10));
    EXPECT_EQ(RotateFrame(*a, *a->FrameAt(0), RotateOp::Cw90), RotateResult::Done);
    EXPECT_EQ(a->FrameAt(0)->width, 10);
    EXPECT_EQ(a->FrameAt(0)->height, 20);
    EXPECT_EQ(a->width, 100u);
    auto b = MakeAnimation(100, 100);
    b->blocks.push_back(Numbered(95, 0, 10, 20));
    EXPECT_EQ(RotateFrame(*b, *b->FrameAt(0), RotateOp::Ccw90), RotateResult::ScreenGrew);
    EXPECT_EQ(b->width, 115u);
    EXPECT_EQ(b->height, 100u);
    // 180 degrees never grows the screen, even for a frame sticking out.
    EXPECT_EQ(RotateFrame(*b, *b->FrameAt(0), RotateOp::Turn180), RotateResult::Done);
}

TEST(Order, ReverseMirrorsFramesAndExtensions) {
    auto a = MakeAnimation(4, 4);
    for (int i = 0; i < 3; ++i) a->blocks.push_back(FillFrame(0, 0, 1, 1, static_cast<uint8_t>(i)));
    a->blocks.push_back(NewComment("C"));
    for (int i = 3; i < 5; ++i) a->blocks.push_back(FillFrame(0, 0, 1, 1, static_cast<uint8_t>(i)));
    ASSERT_TRUE(ReverseOrder(*a));
    std::vector<int> seen;
    for (const auto& b : a->blocks) seen.push_back(AsFrame(b.get()) ? AsFrame(b.get())->bitmap->At(0, 0) : -1);
    EXPECT_EQ(seen, (std::vector<int>{4, 3, -1, 2, 1, 0}));
    auto one = MakeAnimation(2, 2);
    one->blocks.push_back(NewComment("x"));
    one->blocks.push_back(FillFrame(0, 0, 1, 1, 1));
    EXPECT_FALSE(ReverseOrder(*one));
    EXPECT_EQ(one->blocks[0]->kind, BlockKind::Comment);
}

TEST(Order, DeleteEveryNthFrame) {
    auto a = MakeAnimation(4, 4);
    for (int i = 0; i < 10; ++i) a->blocks.push_back(FillFrame(0, 0, 1, 1, static_cast<uint8_t>(i), 1, 10 + i));
    EXPECT_TRUE(DeletionIntervalValid(10, 10));
    EXPECT_FALSE(DeletionIntervalValid(11, 10));
    EXPECT_TRUE(DeleteEveryNth(*a, 1).empty());
    EXPECT_EQ(a->FrameCount(), 10);
    const auto removed = DeleteEveryNth(*a, 3);
    ASSERT_EQ(removed.size(), 3u);
    EXPECT_EQ(removed[0]->bitmap->At(0, 0), 2);
    EXPECT_EQ(removed[1]->bitmap->At(0, 0), 5);
    EXPECT_EQ(removed[2]->bitmap->At(0, 0), 8);
    ASSERT_EQ(a->FrameCount(), 7);
    std::vector<int> left;
    for (const Frame* f : a->Frames()) {
        left.push_back(f->bitmap->At(0, 0));
        EXPECT_EQ(f->delay, 10u + f->bitmap->At(0, 0));
    }
    EXPECT_EQ(left, (std::vector<int>{0, 1, 3, 4, 6, 7, 9}));
}

TEST(Crop, FrameToRectangleAndBounds) {
    auto a = MakeAnimation(20, 20);
    a->blocks.push_back(Numbered(2, 3, 6, 5));
    Frame& f = *a->FrameAt(0);
    const auto before = Rows(f);
    EXPECT_FALSE(CropFrameToRect(f, 4, 0, 3, 1));  // reaches past the right edge
    EXPECT_FALSE(CropFrameToRect(f, 0, 0, 0, 1));
    ASSERT_TRUE(CropFrameToRect(f, 1, 2, 3, 2));
    EXPECT_EQ(f.left, 3);
    EXPECT_EQ(f.top, 5);
    EXPECT_EQ(f.width, 3);
    EXPECT_EQ(f.height, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(f.bitmap->At(x, y), before[size_t(y + 2)][size_t(x + 1)]);
    a->blocks.push_back(Numbered(10, 1, 15, 2));
    EXPECT_EQ(BoundingRect(*a), (Rect{3, 1, 25, 7}));
    EXPECT_EQ(AutoCropRect(*a), (Rect{3, 1, 20, 7}));
}

TEST(Crop, AnimationCutsFramesAndKeepsThePicturesInsideTheRectangle) {
    auto a = MakeAnimation(12, 10);
    a->blocks.push_back(Numbered(0, 0, 12, 10));
    a->blocks.push_back(Numbered(1, 1, 4, 4));   // starts left of the rectangle
    a->blocks.push_back(Numbered(10, 8, 2, 2));  // wholly outside
    a->blocks.push_back(Numbered(5, 3, 3, 3));
    SetDisposal(*a->FrameAt(2), 2);
    const Rect r{3, 2, 9, 7};
    auto b = CopyAnimation(*a);
    ASSERT_TRUE(CropAnimation(*b, r));
    EXPECT_EQ(b->width, 6u);
    EXPECT_EQ(b->height, 5u);
    ASSERT_EQ(b->FrameCount(), 4);
    EXPECT_EQ(b->FrameAt(1)->left, 0);
    EXPECT_EQ(b->FrameAt(1)->width, 2);
    EXPECT_EQ(b->FrameAt(1)->bitmap->At(0, 0), a->FrameAt(1)->bitmap->At(2, 1));
    // Each cropped picture is the matching part of the original picture.
    const auto pa = RenderAll(*a), pb = RenderAll(*b);
    for (size_t i = 0; i < pa.size(); ++i)
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(pb[i].rgba[size_t((y * 6 + x) * 4 + c)],
                              pa[i].rgba[size_t(((y + 2) * 12 + x + 3) * 4 + c)])
                        << i << " " << x << "," << y;
    EXPECT_FALSE(CropAnimation(*b, Rect{0, 0, 7, 5}));  // beyond the screen
    EXPECT_FALSE(CropAnimation(*b, Rect{2, 2, 2, 4}));  // empty
}

}  // namespace
}  // namespace cinemill
