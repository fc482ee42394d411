#include "cinemill/app/frame_toolbar.h"

#include <gtest/gtest.h>

#include "cinemill/app/undo_history.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using testing_support::MakeDocument;

std::unique_ptr<Animation> MakeDoc(int n, int w = 5, int h = 3) {
    return MakeDocument(n, {.width = w, .height = h});
}

int CountPixels(const Frame& f, uint8_t index) {
    int n = 0;
    for (int y = 0; y < f.bitmap->height; ++y)
        for (int x = 0; x < f.bitmap->width; ++x) n += f.bitmap->At(x, y) == index;
    return n;
}

TEST(FieldInteger, ParsesLikeAnEditField) {
    EXPECT_EQ(ParseFieldInteger("42"), 42);
    EXPECT_EQ(ParseFieldInteger("  -7"), -7);
    EXPECT_EQ(ParseFieldInteger("+12abc"), 12);
    EXPECT_EQ(ParseFieldInteger(""), std::nullopt);
    EXPECT_EQ(ParseFieldInteger("-"), std::nullopt);
    EXPECT_EQ(ParseFieldInteger("abc"), std::nullopt);
    // A digit run far beyond 64 bits stays a huge positive number.
    const auto big = ParseFieldInteger("99999999999999999999999999999");
    ASSERT_TRUE(big);
    EXPECT_GT(*big, 65536);
}

TEST(FrameSelector, NoneThenNumberedNames) {
    EXPECT_EQ(FrameSelectorEntries(nullptr), std::vector<std::string>{"[None]"});
    auto doc = MakeDoc(2);
    doc->FrameAt(1)->name = "100% done";  // a name with format characters stays as it is
    EXPECT_EQ(FrameSelectorEntries(doc.get()),
              (std::vector<std::string>{"[None]", "#1: f0", "#2: 100% done"}));
    EXPECT_EQ(SelectorEntryForFrame(-1), 0);
    EXPECT_EQ(SelectorEntryForFrame(4), 5);
    EXPECT_EQ(FrameForSelectorEntry(0), -1);
    EXPECT_EQ(FrameForSelectorEntry(5), 4);
}

TEST(DelayEdit, SeventyThousandWarnsAndLeaves65535) {
    const EditOutcome o = DelayEdited("70000", 10);
    ASSERT_TRUE(o.message);
    EXPECT_EQ(LoadString(*o.message), "The delay must be in the range from 0 to 65535.");
    EXPECT_EQ(LoadString(*o.caption), "Invalid Delay Value");
    EXPECT_EQ(o.replaceText, "65535");
    EXPECT_EQ(o.store, 65535u);
    // The edit then holds 65535: no further warning, nothing new to store.
    const EditOutcome again = DelayEdited(*o.replaceText, 65535);
    EXPECT_FALSE(again.message);
    EXPECT_FALSE(again.store);
    ScriptedUiHost host;
    TellOutcome(host, o);
    TellOutcome(host, again);
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"Invalid Delay Value: The delay must be in the range from 0 to 65535."});
}

TEST(DelayEdit, InRangeStoresOnlyADifferentValueAndIgnoresNonNumbers) {
    EXPECT_EQ(DelayEdited("0", 10).store, 0u);
    EXPECT_EQ(DelayEdited("65535", 10).store, 65535u);
    EXPECT_FALSE(DelayEdited("10", 10).store);
    EXPECT_FALSE(DelayEdited("10", 10).message);
    const EditOutcome neg = DelayEdited("-1", 10);
    EXPECT_TRUE(neg.message);
    EXPECT_EQ(neg.store, 65535u);
    const EditOutcome blank = DelayEdited("", 10);
    EXPECT_FALSE(blank.message);
    EXPECT_FALSE(blank.store);
    EXPECT_FALSE(blank.replaceText);
}

TEST(PlayCountEdit, RangeIsZeroTo65536AndResetIsZero) {
    EXPECT_EQ(PlayCountEdited("65536", 0).store, 65536u);
    EXPECT_FALSE(PlayCountEdited("65536", 0).message);
    const EditOutcome o = PlayCountEdited("65537", 3);
    ASSERT_TRUE(o.message);
    EXPECT_EQ(LoadString(*o.message),
              "The number of iterations must be in the range from 0 to 65536. Recall that 0 means "
              "continuous loop.");
    EXPECT_EQ(LoadString(*o.caption), "Bad Iteration Value");
    EXPECT_EQ(o.replaceText, "0");
    EXPECT_EQ(o.store, 0u);
    EXPECT_FALSE(PlayCountEdited("65537", 0).store);  // already 0
}

TEST(DisposalButtons, SetTheirMethodAndReportChanges) {
    Frame f;
    EXPECT_EQ(DisposalForButton(CommandId::DisposalLeave), 1);
    EXPECT_EQ(DisposalForButton(CommandId::Interlace), -1);
    EXPECT_TRUE(ApplyDisposalButton(f, CommandId::DisposalPrevious));
    EXPECT_EQ(f.Disposal(), 3);
    EXPECT_FALSE(ApplyDisposalButton(f, CommandId::DisposalPrevious));
    EXPECT_TRUE(ApplyDisposalButton(f, CommandId::DisposalBackground));
    EXPECT_EQ(f.Disposal(), 2);
    EXPECT_FALSE(ApplyDisposalButton(f, CommandId::Save));
    EXPECT_EQ(f.Disposal(), 2);
    EXPECT_TRUE(ApplyInterlaceButton(f, true));
    EXPECT_TRUE(f.Interlaced());
    EXPECT_FALSE(ApplyInterlaceButton(f, true));
}

struct ToolbarUndoTest : ::testing::Test {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    UndoHistory history{prefs, host};
};

TEST_F(ToolbarUndoTest, ToggleOffRecordsCountZeroAndUndoSwitchesBackOn) {
    auto doc = MakeDoc(3);
    Frame& f = *doc->FrameAt(1);
    SetTransparentIndex(f, 4);
    SetTransparent(f, true);
    EXPECT_EQ(ToggleTransparency(*doc, 1, true, history), ToggleOutcome::OpenPicker);
    EXPECT_EQ(history.Count(), 0);
    EXPECT_EQ(ToggleTransparency(*doc, 1, false, history), ToggleOutcome::SwitchedOff);
    EXPECT_FALSE(f.Transparent());
    ASSERT_EQ(history.CurrentKind(), UndoKind::EditTransparency);
    EXPECT_EQ(history.Current()->value, 1 << 16);
    EXPECT_FALSE(history.Current()->frame);  // no copy for a switch
    history.Step(*doc, false);
    EXPECT_TRUE(f.Transparent());
    EXPECT_EQ(f.transparentIndex, 4);
    // Switching off a frame that is not transparent records nothing.
    history.Clear();
    SetTransparent(f, false);
    EXPECT_EQ(ToggleTransparency(*doc, 1, false, history), ToggleOutcome::None);
    EXPECT_EQ(history.Count(), 0);
    EXPECT_EQ(ToggleTransparency(*doc, 7, false, history), ToggleOutcome::None);
}

TEST_F(ToolbarUndoTest, PickThreeAddFiveAddNineMergesAndKeepsAFrameCopy) {
    auto doc = MakeDoc(1, 12, 3);
    Frame& f = *doc->FrameAt(0);
    f.bitmap->Row(0)[0] = 9;
    const auto pixelsBefore = f.bitmap->pixels;
    const int threes = CountPixels(f, 3), fives = CountPixels(f, 5), nines = CountPixels(f, 9);
    ASSERT_GT(fives, 0);

    TransparencyChoice c = ChoiceFromFrame(f);
    EXPECT_EQ(c.count, 0);
    TransparencyPicker picker(c);
    picker.Click(3);
    picker.SetMode(TransparencyPicker::Mode::Add);
    picker.Click(5);
    picker.Click(9);
    picker.Click(5);  // already chosen: not added twice
    ASSERT_TRUE(picker.Accept(c));
    EXPECT_EQ(c, (TransparencyChoice{3, {3, 5, 9}}));

    EXPECT_TRUE(PickTransparencyAccepted(*doc, 0, c, history));
    EXPECT_EQ(CountPixels(f, 5), 0);
    EXPECT_EQ(CountPixels(f, 9), 0);
    EXPECT_EQ(CountPixels(f, 3), threes + fives + nines);
    EXPECT_TRUE(f.Transparent());
    EXPECT_EQ(f.transparentIndex, 3);
    ASSERT_EQ(history.CurrentKind(), UndoKind::EditTransparency);
    ASSERT_TRUE(history.Current()->frame);  // the frame as it was
    EXPECT_EQ(history.Current()->frame->bitmap->pixels, pixelsBefore);
    EXPECT_EQ(history.Current()->value, 3);
    history.Step(*doc, false);
    EXPECT_EQ(f.bitmap->pixels, pixelsBefore);
    EXPECT_FALSE(f.Transparent());
}

TEST_F(ToolbarUndoTest, PickingTheTransparentIndexAgainChangesNothing) {
    auto doc = MakeDoc(1);
    Frame& f = *doc->FrameAt(0);
    SetTransparentIndex(f, 2);
    SetTransparent(f, true);
    TransparencyChoice c = ChoiceFromFrame(f);
    EXPECT_EQ(c, (TransparencyChoice{1, {2}}));
    TransparencyPicker picker(c);
    EXPECT_TRUE(picker.Marked(2));
    EXPECT_FALSE(picker.changed());  // opening marks without counting
    picker.Click(2);
    ASSERT_TRUE(picker.Accept(c));
    EXPECT_FALSE(PickTransparencyAccepted(*doc, 0, c, history));
    EXPECT_EQ(history.Count(), 0);  // no empty step that would cut off the redo branch
    EXPECT_EQ(f.transparentIndex, 2);
}

TEST(TransparencyPicker, ModesAndInvalidClicks) {
    TransparencyPicker p(TransparencyChoice{2, {7, 8}});
    EXPECT_EQ(p.chosen(), (std::vector<uint8_t>{7, 8}));
    EXPECT_EQ(p.mode(), TransparencyPicker::Mode::Pick);
    TransparencyChoice untouched{2, {7, 8}};
    EXPECT_FALSE(p.Accept(untouched));
    p.SetMode(TransparencyPicker::Mode::Remove);
    p.Click(7);
    p.Click(200);  // not chosen: nothing to remove
    EXPECT_EQ(p.chosen(), std::vector<uint8_t>{8});
    p.SetMode(TransparencyPicker::Mode::Add);
    p.Click(20, 16);  // beyond the palette
    EXPECT_EQ(p.chosen(), std::vector<uint8_t>{8});
    p.SetMode(TransparencyPicker::Mode::Pick);
    p.Click(-1);  // outside the image: Pick empties the list
    TransparencyChoice c;
    ASSERT_TRUE(p.Accept(c));
    EXPECT_EQ(c, ChoiceOff());
}

TEST(TransparencyChoice, ApplyRules) {
    Frame f;
    f.bitmap = FrameBitmap::Create(2, 1);
    f.bitmap->Row(0)[0] = 1;
    f.bitmap->Row(0)[1] = 2;
    EXPECT_FALSE(ApplyChoice(f, TransparencyChoice{-1, {1}}));
    EXPECT_FALSE(ApplyChoice(f, ChoiceOff()));  // already off
    EXPECT_TRUE(ApplyChoice(f, ChoiceOf({2})));
    EXPECT_TRUE(f.Transparent());
    EXPECT_EQ(f.transparentIndex, 2);
    EXPECT_EQ(f.bitmap->At(0, 0), 1);
    // Merging index 4 (absent) into the transparent 2 changes nothing.
    EXPECT_FALSE(ChoiceChangesFrame(f, ChoiceOf({2, 4})));
    EXPECT_TRUE(ApplyChoice(f, ChoiceOf({2, 1})));
    EXPECT_EQ(f.bitmap->At(0, 0), 2);
    // A count larger than the list and an empty list are not read beyond the list.
    EXPECT_FALSE(ApplyChoice(f, TransparencyChoice{5, {}}));
    EXPECT_TRUE(ApplyChoice(f, TransparencyChoice{9, {0}}));
    EXPECT_EQ(f.transparentIndex, 0);
    EXPECT_TRUE(ApplyChoice(f, ChoiceOff()));
    EXPECT_FALSE(f.Transparent());
    EXPECT_EQ(TransparencyUndoValue(3, 2), (3 << 16) | 2);
}

TEST_F(ToolbarUndoTest, RemovingTheLocalPaletteIsOneUndoStep) {
    auto doc = MakeDoc(2);
    Frame& f = *doc->FrameAt(1);
    Palette local = *doc->globalPalette;
    std::swap(local.entries[0], local.entries[5]);  // same colours, other order
    SetLocalPalette(f, local);
    const auto pixelsBefore = f.bitmap->pixels;
    // Stopped at once: the frame keeps its palette and the bracket is dropped.
    CountdownProgress stopNow(0);
    EXPECT_NE(RemoveLocalPaletteWithUndo(*doc, 1, history, host, stopNow, prefs), Result::Done);
    EXPECT_TRUE(doc->FrameAt(1)->localPalette);
    EXPECT_EQ(history.Count(), 0);
    SilentProgress progress;
    ASSERT_EQ(RemoveLocalPaletteWithUndo(*doc, 1, history, host, progress, prefs), Result::Done);
    EXPECT_FALSE(doc->FrameAt(1)->localPalette);
    ASSERT_EQ(history.CurrentKind(), UndoKind::RemoveLocalPalette);
    EXPECT_EQ(history.Count(), 1);
    history.Step(*doc, false);
    ASSERT_TRUE(doc->FrameAt(1)->localPalette);
    EXPECT_EQ(*doc->FrameAt(1)->localPalette, local);
    EXPECT_EQ(doc->FrameAt(1)->bitmap->pixels, pixelsBefore);
    // A frame without a local palette is refused and nothing is recorded.
    history.Clear();
    EXPECT_EQ(RemoveLocalPaletteWithUndo(*doc, 0, history, host, progress, prefs), Result::Failed);
    EXPECT_EQ(history.Count(), 0);
}

}  // namespace
}  // namespace cinemill
