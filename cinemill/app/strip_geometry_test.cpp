#include "cinemill/app/strip_geometry.h"

#include <gtest/gtest.h>

namespace cinemill::strip {
namespace {

StripLayout LayoutFor(int orientation, uint32_t w, uint32_t h, int level, int frames, Client c,
                      const StripLayout& prev = {}) {
    return Layout(ComputeMetrics(orientation, w, h, ZoomForLevel(level)), frames, c, prev);
}

TEST(StripZoom, LevelsGiveTheirScaleAndPercentAndClamp) {
    EXPECT_EQ(ZoomForLevel(0), (Zoom{1, 1}));
    EXPECT_EQ(ZoomForLevel(3), (Zoom{4, 1}));
    EXPECT_EQ(ZoomForLevel(-2), (Zoom{1, 3}));
    EXPECT_EQ(ZoomForLevel(9), (Zoom{4, 1}));
    EXPECT_EQ(ZoomForLevel(-9), (Zoom{1, 5}));
    const int percents[] = {20, 25, 33, 50, 100, 200, 300, 400};
    for (int l = -4; l <= 3; ++l) EXPECT_EQ(ZoomPercent(ZoomForLevel(l)), percents[l + 4]) << l;
    EXPECT_EQ(ZoomForLevelUnbounded(7), (Zoom{8, 1}));
}

TEST(StripOrientation, FollowsShapeUntilChosenAndDefaultReturnsToShape) {
    EXPECT_EQ(OrientationForScreen(0, 200, 50), kVertical);
    EXPECT_EQ(OrientationForScreen(0, 50, 200), kHorizontal);
    EXPECT_EQ(OrientationForScreen(0, 80, 80), kHorizontal);  // not wider than high
    int o = OrientationForScreen(0, 200, 50);
    o = ApplyOrientationChoice(o, kChooseHorizontal, 200, 50);
    EXPECT_EQ(Direction(o), kHorizontal);
    EXPECT_EQ(OrientationForScreen(o, 200, 50), kChooseHorizontal);  // a choice survives a new document
    o = ApplyOrientationChoice(o, kChooseDefault, 200, 50);
    EXPECT_EQ(o, kVertical);
    EXPECT_EQ(ApplyOrientationChoice(kHorizontal, kChooseDefault, 200, 50), kHorizontal);  // automatic kept
}

TEST(StripOrientation, FlagsKeepOtherBits) {
    EXPECT_EQ(FlagsWithChoice(0x1008, kChooseHorizontal), 0x1028u);
    EXPECT_EQ(FlagsWithChoice(0x1028, kChooseVertical), 0x1018u);
    EXPECT_EQ(FlagsWithChoice(0x1018, kChooseDefault), 0x1008u);
    EXPECT_EQ(ChoiceFromFlags(0x20), kChooseHorizontal);
    EXPECT_EQ(ChoiceFromFlags(0x10), kChooseVertical);
    EXPECT_EQ(ChoiceFromFlags(0x1008), kChooseDefault);
}

TEST(StripMetrics, VerticalAndHorizontalCells) {
    const CellMetrics v = ComputeMetrics(kVertical, 200, 50, ZoomForLevel(0));
    EXPECT_EQ(v.stripBreadth, 11 + 200 + 16);
    EXPECT_EQ(v.cellLength, 58);
    EXPECT_EQ(v.bandExtent, 15);
    const CellMetrics h = ComputeMetrics(kChooseHorizontal, 200, 50, ZoomForLevel(1));
    EXPECT_EQ(h.direction, kHorizontal);
    EXPECT_EQ(h.stripBreadth, 11 + 100 + 16);
    EXPECT_EQ(h.cellLength, 408);
    // A third of 100 truncates to 33.
    EXPECT_EQ(ComputeMetrics(kVertical, 100, 100, ZoomForLevel(-2)).cellLength, 33 + 8);
}

TEST(StripLayout, CellsPerStripStripCountAndRanges) {
    // Vertical strips of 58-pixel cells in a 300 x 200 client: (200 - 10) / 58 = 3 per strip.
    const StripLayout l = LayoutFor(kVertical, 200, 50, 0, 10, {300, 200});
    EXPECT_EQ(l.cellsPerStrip, 3);
    EXPECT_EQ(l.stripCount, 4);
    EXPECT_EQ(l.across.range, 4 * 227);
    EXPECT_EQ(l.across.page, 300);
    EXPECT_EQ(l.along.range, 68);
    EXPECT_TRUE(l.along.Fits());
    EXPECT_EQ(&l.HorizontalBar(), &l.across);
    EXPECT_EQ(StripLength(l, 0), 3 * 58);
    EXPECT_EQ(StripLength(l, 3), 1 * 58);
    EXPECT_EQ(CellOrigin(l, 4), (Point{15 + 227, 5 + 58}));
    const StripLayout h = LayoutFor(kHorizontal, 50, 200, 0, 10, {300, 200});
    EXPECT_EQ(CellOrigin(h, 0), (Point{5, 15}));
    EXPECT_EQ(CellImageRect(h, 0), (Rect{9, 19, 50, 200}));
}

TEST(StripLayout, ScrollPositionsAreCorrectedAndForceAnErase) {
    StripLayout l = LayoutFor(kVertical, 200, 50, 0, 10, {300, 200});
    l.across.pos = 600;  // max is 908 - 300
    StripLayout again = LayoutFor(kVertical, 200, 50, 0, 10, {300, 200}, l);
    EXPECT_EQ(again.across.pos, 600);
    EXPECT_FALSE(again.erase);
    // Fewer frames: the position is pulled back to range - page.
    StripLayout fewer = LayoutFor(kVertical, 200, 50, 0, 6, {300, 200}, l);
    EXPECT_EQ(fewer.across.pos, 2 * 227 - 300);
    EXPECT_TRUE(fewer.erase);
    // A taller window: more cells per strip forces an erase; everything fits, position 0.
    StripLayout tall = LayoutFor(kVertical, 200, 50, 0, 10, {300, 900}, l);
    EXPECT_EQ(tall.cellsPerStrip, 15);
    EXPECT_EQ(tall.across.pos, 0);
    EXPECT_TRUE(tall.erase);
    EXPECT_TRUE(EmptyLayout().erase);
    EXPECT_EQ(HitTest(EmptyLayout(), 20, 20), -1);
}

TEST(StripHitTest, CellsBandMarginsAndPastTheFrames) {
    const StripLayout l = LayoutFor(kVertical, 200, 50, 0, 10, {300, 200});
    EXPECT_EQ(HitTest(l, 16, 6), 0);
    EXPECT_EQ(HitTest(l, 15, 6), -1);  // on the sprocket band: clears the selection
    EXPECT_EQ(HitTest(l, 100, 5), -1); // top margin
    EXPECT_EQ(HitTest(l, 100, 5 + 58 + 1), 1);
    EXPECT_EQ(HitTest(l, 100, 5 + 3 * 58 + 1), -1);  // below the last cell of the strip
    EXPECT_EQ(HitTest(l, 227 + 100, 6), 3);
    StripLayout s = l;
    s.across.pos = 3 * 227;
    EXPECT_EQ(HitTest(s, 100, 6), 9);
    EXPECT_EQ(HitTest(s, 100, 70), -1);  // the last strip holds one frame
    EXPECT_EQ(HitTest(l, -3, 6), -1);
}

TEST(StripHitTest, ShortWindowScrollsAlongOneCell) {
    // Cells of 208 pixels in a 100-pixel tall window: still one per strip.
    StripLayout l = LayoutFor(kVertical, 300, 200, 0, 3, {400, 100});
    EXPECT_EQ(l.cellsPerStrip, 1);
    EXPECT_EQ(l.along.range, 218);
    EXPECT_FALSE(l.along.Fits());
    EXPECT_EQ(HitTest(l, 100, 90), 0);
    l.along.pos = ScrollPosition(l.along, ScrollAction::Bottom, 100);
    EXPECT_EQ(l.along.pos, 118);
    EXPECT_EQ(HitTest(l, 100, 90), 0);   // lower part of the cell
    EXPECT_EQ(HitTest(l, 100, 99), -1);  // bottom margin
}

TEST(StripDrag, InsertionIndexInsideAndAtTheEdges) {
    const StripLayout l = LayoutFor(kVertical, 200, 50, 0, 10, {300, 200});
    const Client c{300, 200};
    EXPECT_EQ(InsertionAt(l, c, 100, 10, 10).index, 0);
    EXPECT_EQ(InsertionAt(l, c, 100, 40, 10).index, 1);   // past half a cell
    EXPECT_EQ(InsertionAt(l, c, 100, 199, 10).index, 3);  // at most cells per strip
    EXPECT_EQ(InsertionAt(l, c, 250, 30, 10).index, 4);
    // Before the client area while at the start: strip 0, no scrolling.
    Insertion before = InsertionAt(l, c, -20, 30, 10);
    EXPECT_EQ(before.index, 1);
    EXPECT_FALSE(before.autoScroll);
    // After the client area while it can still scroll: auto-scroll towards the end.
    Insertion after = InsertionAt(l, c, 400, 30, 10);
    EXPECT_EQ(after.index, -1);
    EXPECT_EQ(after.autoScroll, ScrollAction::LineDown);
    StripLayout end = l;
    end.across.pos = end.across.MaxPos();
    Insertion last = InsertionAt(end, c, 400, 199, 10);
    EXPECT_EQ(last.index, 10);  // the last strip, capped at the frame count
    EXPECT_FALSE(last.autoScroll);
    EXPECT_EQ(InsertionAt(end, c, -5, 30, 10).autoScroll, ScrollAction::LineUp);
}

TEST(StripDrag, MarkerSitsAtTheGap) {
    const StripLayout l = LayoutFor(kVertical, 200, 50, 0, 10, {300, 200});
    const Insertion ins = InsertionAt(l, {300, 200}, 100, 40, 10);
    EXPECT_EQ(MarkerRect(l, ins), (Rect{19, 5 + 58, 200, 2}));
    const StripLayout h = LayoutFor(kHorizontal, 50, 200, 0, 4, {400, 300});
    const Insertion hi = InsertionAt(h, {400, 300}, 10, 100, 4);
    EXPECT_EQ(hi.index, 0);
    EXPECT_EQ(MarkerRect(h, hi), (Rect{5, 19, 2, 200}));
}

TEST(StripDrag, DropMoveSkipsTheFramesOwnGaps) {
    EXPECT_FALSE(DropMove(3, 4));
    EXPECT_FALSE(DropMove(3, 3));
    EXPECT_FALSE(DropMove(3, -1));
    const auto forward = DropMove(1, 5);
    ASSERT_TRUE(forward);
    EXPECT_EQ(forward->to, 4);
    EXPECT_EQ(forward->UndoData(), (5u << 16) | 1u);
    const auto back = DropMove(6, 2);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->to, 2);
    EXPECT_TRUE(DragStarts({10, 10}, {13, 10}));
    EXPECT_FALSE(DragStarts({10, 10}, {12, 8}));
}

TEST(StripScroll, SelectedStripComesFirstClamped) {
    const StripLayout l = LayoutFor(kVertical, 200, 50, 0, 10, {300, 200});
    EXPECT_EQ(ScrollToSelected(l, 4), 227);
    EXPECT_EQ(ScrollToSelected(l, 9), l.across.MaxPos());
    EXPECT_EQ(ScrollToSelected(l, -1), 0);
}

TEST(StripScroll, LinePageEndsAndThumbClamp) {
    const ScrollBar bar{1000, 300, 100};
    EXPECT_EQ(ScrollPosition(bar, ScrollAction::LineDown, 300), 100 + 19);
    EXPECT_EQ(ScrollPosition(bar, ScrollAction::PageUp, 300), 0);
    EXPECT_EQ(ScrollPosition(bar, ScrollAction::PageDown, 300), 251);
    EXPECT_EQ(ScrollPosition(bar, ScrollAction::Bottom, 300), 700);
    EXPECT_EQ(ScrollPosition(bar, ScrollAction::ThumbTrack, 300, 5000), 700);
    EXPECT_EQ(ScrollPosition(bar, ScrollAction::EndScroll, 300), 100);
    EXPECT_EQ(ScrollPosition({200, 300, 0}, ScrollAction::LineDown, 300), 0);  // fits
}

TEST(StripScroll, KeysPostTheirScrollMessages) {
    EXPECT_EQ(KeyPressScroll(kVertical, Key::PageDown), (KeyScroll{Bar::Horizontal, ScrollAction::PageDown}));
    EXPECT_EQ(KeyPressScroll(kHorizontal, Key::PageDown), (KeyScroll{Bar::Vertical, ScrollAction::PageDown}));
    EXPECT_EQ(KeyPressScroll(kHorizontal, Key::Home), (KeyScroll{Bar::Vertical, ScrollAction::Top}));
    EXPECT_EQ(KeyPressScroll(kHorizontal, Key::End), (KeyScroll{Bar::Vertical, ScrollAction::Bottom}));
    EXPECT_EQ(KeyPressScroll(kHorizontal, Key::Left), (KeyScroll{Bar::Horizontal, ScrollAction::LineUp}));
    EXPECT_EQ(KeyPressScroll(kVertical, Key::Down), (KeyScroll{Bar::Vertical, ScrollAction::LineDown}));
    EXPECT_EQ(KeyReleaseScroll(Key::Home).bar, Bar::Horizontal);
    EXPECT_EQ(KeyReleaseScroll(Key::PageUp).bar, Bar::Vertical);
    EXPECT_EQ(KeyReleaseScroll(Key::Up).action, ScrollAction::EndScroll);
}

}  // namespace
}  // namespace cinemill::strip
