#include "cinemill/imaging/palette_edit.h"

#include <gtest/gtest.h>

#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

TEST(PaletteEdit, GlobalEditChangesColoursOnlyOfFramesWithoutLocalPalettes) {
    auto a = MakeAnimation(2, 1, 4);
    a->blocks.push_back(MakeFrame(0, 0, 2, 1, {1, 2}));
    a->blocks.push_back(MakeFrame(0, 0, 2, 1, {1, 2}));
    SetLocalPalette(*a->FrameAt(1), *a->globalPalette);
    const auto pixels = a->FrameAt(0)->bitmap->pixels;
    auto s = OpenGlobalPaletteEditor(*a, -1);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->entryCount, 4);
    EXPECT_EQ(ColorsInUseText(s->usage, s->entryCount), "Colors in use: 2 of 4");
    // Nothing changed: OK closes as cancelled.
    EXPECT_FALSE(PaletteEditorResult(*s));
    SelectEntry(*s, 2);
    EXPECT_EQ(TypeChannel(*s, 0, 300), 255);
    EXPECT_EQ(TypeChannel(*s, 2, -4), 0);
    auto entries = PaletteEditorResult(*s);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 256u);
    ASSERT_TRUE(ApplyGlobalPaletteEdit(*a, *entries));
    EXPECT_EQ(a->globalPalette->size(), 4);
    EXPECT_EQ((*a->globalPalette)[2].r, 255);
    EXPECT_EQ((*a->globalPalette)[2].b, 0);
    EXPECT_EQ(a->FrameAt(0)->bitmap->pixels, pixels);
    const auto pics = RenderAll(*a);
    EXPECT_EQ(pics[0].rgba[4], 255);                                   // frame 0 pixel 1 is index 2
    EXPECT_NE(pics[1].rgba[4], 255);                                   // local palette untouched
}

TEST(PaletteEdit, LocalEditKeepsCountAndTransparency) {
    auto a = MakeAnimation(2, 1, 4);
    a->blocks.push_back(MakeFrame(0, 0, 2, 1, {0, 1}));
    Frame& f = *a->FrameAt(0);
    SetLocalPalette(f, Palette{{Rgb{1, 1, 1}, Rgb{2, 2, 2}, Rgb{3, 3, 3}}});
    SetTransparent(f, true);
    f.transparentIndex = 1;
    auto s = OpenLocalPaletteEditor(f);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->previewTransparentIndex, 1);
    EXPECT_EQ(ColorsInUseText(s->usage, s->entryCount), "Colors in use: 2 of 3");
    SelectEntry(*s, 1);
    ChooseColor(*s, Rgb{9, 8, 7});
    ASSERT_TRUE(ApplyLocalPaletteEdit(f, *PaletteEditorResult(*s)));
    EXPECT_EQ(f.localPalette->size(), 3);
    EXPECT_EQ((*f.localPalette)[1], (Rgb{9, 8, 7}));
    EXPECT_TRUE(f.Transparent());
    EXPECT_EQ(f.transparentIndex, 1);
    Frame bare;
    EXPECT_FALSE(OpenLocalPaletteEditor(bare));
    EXPECT_FALSE(ApplyLocalPaletteEdit(bare, *PaletteEditorResult(*s)));
}

TEST(PaletteEdit, SelectionPreviewFrameTipsAndBackgroundPicker) {
    auto a = MakeAnimation(2, 1, 4);
    a->blocks.push_back(MakeFrame(0, 0, 2, 1, {0, 1}));
    a->blocks.push_back(MakeFrame(0, 0, 2, 1, {0, 1}));
    SetLocalPalette(*a->FrameAt(0), *a->globalPalette);
    EXPECT_EQ(PreviewFrameForGlobal(*a, -1), 1);
    EXPECT_EQ(PreviewFrameForGlobal(*a, 1), 1);
    EXPECT_EQ(PreviewFrameForGlobal(*a, 0), 1);
    auto s = OpenGlobalPaletteEditor(*a, 0);
    SelectEntry(*s, 4);  // beyond the 4 entries
    EXPECT_EQ(s->selected, -1);
    TypeChannel(*s, 0, 10);
    EXPECT_FALSE(s->modified);
    EXPECT_EQ(PaletteEntryTip(0, Rgb{1, 2, 3}), "#1: R=1, G=2, B=3");
    a->backgroundIndex = 2;
    BackgroundPicker p = OpenBackgroundPicker(*a);
    EXPECT_EQ(p.selected, 2);
    PickBackgroundEntry(p, 3);
    PickBackgroundEntry(p, 9);
    EXPECT_EQ(BackgroundPickerResult(p, true), 3);
    EXPECT_EQ(BackgroundPickerResult(p, false), -1);
}

}  // namespace
}  // namespace cinemill
