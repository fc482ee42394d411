#include "cinemill/app/property_pages.h"

#include <gtest/gtest.h>

#include "cinemill/app/undo_history.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using testing_support::MakeDocument;

// A 20 x 10 screen with n 8 x 4 frames of delay 10, frame i at x = 2 i.
std::unique_ptr<Animation> MakeDoc(int n) {
    auto a = MakeDocument(n, {.width = 20, .height = 10, .frameWidth = 8, .frameHeight = 4, .delayStep = 0});
    for (int i = 0; i < n; ++i) a->FrameAt(i)->left = 2 * i;
    return a;
}

struct PagesTest : ::testing::Test {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    UndoHistory history{prefs, host};
    SilentProgress progress;
    std::unique_ptr<Animation> doc = MakeDoc(2);
    PageContext ctx{*doc, history, host, progress, prefs};
};

TEST(PropertySheet, PagesAndStartPageByCommand) {
    const auto frame = SheetFor(CommandId::FrameProperties);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->pages.size(), 3u);
    EXPECT_EQ(frame->start, PropertyPage::Frame);
    const auto anim = SheetFor(CommandId::AnimationProperties);
    ASSERT_TRUE(anim);
    EXPECT_EQ(anim->pages, (std::vector<PropertyPage>{PropertyPage::GlobalFrame, PropertyPage::Animation}));
    EXPECT_EQ(anim->start, PropertyPage::Animation);
    EXPECT_EQ(SheetFor(CommandId::GlobalProperties)->start, PropertyPage::GlobalFrame);
    EXPECT_FALSE(SheetFor(CommandId::Save));
    EXPECT_EQ(DisposalListEntries(), (std::vector<std::string>{"No disposal method", "Leave alone",
                                                               "Background color", "Restore previous"}));
}

TEST(PropertySheet, RefreshByChangeFlags) {
    SheetRefresh r = RefreshForChangeFlags(0);
    EXPECT_FALSE(r.modified);
    EXPECT_FALSE(r.paletteStateRestart);
    r = RefreshForChangeFlags(0x04);
    EXPECT_TRUE(r.redrawSelected && r.rewriteSelectorEntry && r.rewriteTotalTime && r.reloadFrameToolbar);
    EXPECT_FALSE(r.redrawAll || r.framesChanged || r.reloadAnimationFields);
    r = RefreshForChangeFlags(0x24);
    EXPECT_TRUE(r.redrawAll);
    EXPECT_FALSE(r.redrawSelected);
    EXPECT_TRUE(r.rewriteSelectorEntry);
    r = RefreshForChangeFlags(0x4C);
    EXPECT_TRUE(r.framesChanged);
    EXPECT_FALSE(r.redrawAll || r.redrawSelected);
    // A delay and a play count changed in one sheet: both fields are refreshed.
    r = RefreshForChangeFlags(0x14);
    EXPECT_TRUE(r.reloadAnimationFields && r.rewriteTotalTime && r.reloadFrameToolbar);
    r = RefreshForChangeFlags(0x10);
    EXPECT_TRUE(r.modified && r.paletteStateRestart && r.reloadAnimationFields);
    EXPECT_FALSE(r.rewriteTotalTime);
}

TEST_F(PagesTest, FramePageCheckOrderRangeAndCompleteClipping) {
    FramePageFields p = LoadFramePage(*doc->FrameAt(1));
    EXPECT_EQ(p.offsetX, "2");
    EXPECT_EQ(p.delay, "10");
    EXPECT_TRUE(CheckFramePage(p, 20, 10, host).ok);
    p.offsetX = "-70000";
    p.offsetY = "abc";  // not reached: the first failure stops
    PageCheck c = CheckFramePage(p, 20, 10, host);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.focus, PageField::OffsetX);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Bad Offset Value: Offset values must be in the range from -65535 to 65535.");
    // Beyond the screen: the question; No keeps the page, Yes goes on to Y.
    p.offsetX = "-21";
    host.answers = {false};
    c = CheckFramePage(p, 20, 10, host);
    EXPECT_EQ(c.focus, PageField::OffsetX);
    EXPECT_EQ(host.questions.back(),
              "This offset will clip the frame completely. Are you sure that you want to do this?");
    host.answers = {true};
    c = CheckFramePage(p, 20, 10, host);
    EXPECT_EQ(c.focus, PageField::OffsetY);
    p.offsetX = "20";  // exactly the width does not ask
    p.offsetY = "3";
    p.delay = "65536";
    const size_t asked = host.questions.size();
    c = CheckFramePage(p, 20, 10, host);
    EXPECT_EQ(c.focus, PageField::Delay);
    EXPECT_EQ(host.questions.size(), asked);
    EXPECT_EQ(host.messages.back(), "Invalid Delay Value: The delay must be in the range from 0 to 65535.");
}

TEST_F(PagesTest, FramePageApplyWritesFieldsAndKeepsWaitForInput) {
    Frame& f = *doc->FrameAt(0);
    SetWaitForInput(f, true);
    SetDisposal(f, 5);  // no list entry
    FramePageFields p = LoadFramePage(f);
    EXPECT_EQ(p.disposal, -1);
    EXPECT_EQ(ApplyFramePage(ctx, 0, p), 0);  // nothing edited
    EXPECT_EQ(f.Disposal(), 5);
    p.name = "renamed";
    p.offsetY = "-3";
    p.delay = "250";
    p.interlaced = true;
    EXPECT_EQ(ApplyFramePage(ctx, 0, p), sheet_flags::kSelectedFrame);
    EXPECT_EQ(f.name, "renamed");
    EXPECT_EQ(f.top, -3);
    EXPECT_EQ(f.delay, 250u);
    EXPECT_TRUE(f.Interlaced());
    EXPECT_TRUE(f.WaitForInput());
    EXPECT_EQ(f.Disposal(), 5);
    EXPECT_EQ(history.Count(), 0);  // field edits are not recorded
    p.disposal = 2;
    EXPECT_EQ(ApplyFramePage(ctx, 0, p), sheet_flags::kSelectedFrame);
    EXPECT_EQ(f.Disposal(), 2);
}

TEST_F(PagesTest, FramePagePickerMergeIsOneUndoStepWithAFrameCopy) {
    Frame& f = *doc->FrameAt(0);
    const auto before = f.bitmap->pixels;
    FramePageFields p = LoadFramePage(f);
    // The box is checked, the picker opens; Pick 3, Add 5, Add 9 (absent), OK.
    TransparencyPicker picker(p.transparent.choice);
    picker.Click(3);
    picker.SetMode(TransparencyPicker::Mode::Add);
    picker.Click(5);
    picker.Click(9);
    ASSERT_TRUE(picker.Accept(p.transparent.choice));
    p.transparent.PickerClosed(true, true);
    EXPECT_EQ(p.transparent.box, TriState::On);
    EXPECT_EQ(ApplyFramePage(ctx, 0, p), sheet_flags::kSelectedFrame);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_NE(f.bitmap->At(x, y), 5);
            if (before[static_cast<size_t>(y * f.bitmap->stride + x)] == 5) {
                EXPECT_EQ(f.bitmap->At(x, y), 3);
            }
        }
    EXPECT_TRUE(f.Transparent());
    EXPECT_EQ(f.transparentIndex, 3);
    ASSERT_EQ(history.CurrentKind(), UndoKind::EditTransparency);
    EXPECT_EQ(history.Current()->value, 3);
    ASSERT_TRUE(history.Current()->frame);
    history.Step(*doc, false);
    EXPECT_EQ(f.bitmap->pixels, before);
}

TEST_F(PagesTest, FramePageUncheckingTransparentSwitchesItOffAndCancelUnchecksAgain) {
    Frame& f = *doc->FrameAt(1);
    SetTransparentIndex(f, 6);
    SetTransparent(f, true);
    FramePageFields p = LoadFramePage(f);
    EXPECT_EQ(p.transparent.box, TriState::On);
    p.transparent.box = TriState::Off;
    EXPECT_EQ(ApplyFramePage(ctx, 1, p), sheet_flags::kSelectedFrame);
    EXPECT_FALSE(f.Transparent());
    ASSERT_EQ(history.CurrentKind(), UndoKind::EditTransparency);
    EXPECT_EQ(history.Current()->value, 1 << 16);
    history.Step(*doc, false);
    EXPECT_TRUE(f.Transparent());
    EXPECT_EQ(f.transparentIndex, 6);

    TransparencyField t;
    t.box = TriState::On;  // checked by the user
    t.PickerClosed(false, true);
    EXPECT_EQ(t.box, TriState::Off);
    EXPECT_FALSE(t.changed);
    t.box = TriState::On;
    t.PickerClosed(false, false);  // Edit... then Cancel leaves the box
    EXPECT_EQ(t.box, TriState::On);
    t.choice = ChoiceOff();
    t.PickerClosed(true, false);  // everything removed in the picker
    EXPECT_EQ(t.box, TriState::Off);
    EXPECT_TRUE(t.changed);
}

TEST_F(PagesTest, FramePageRemovesTheLocalPaletteFirst) {
    Frame& f = *doc->FrameAt(0);
    Palette local = *doc->globalPalette;
    std::swap(local.entries[0], local.entries[5]);  // same colours, other order: pixels are remapped
    SetLocalPalette(f, local);
    FramePageFields p = LoadFramePage(f);
    EXPECT_TRUE(p.localPaletteEnabled);
    EXPECT_TRUE(p.localPaletteChecked);
    p.localPaletteChecked = false;
    p.delay = "33";
    CountdownProgress stopNow(0);
    PageContext stopped{*doc, history, host, stopNow, prefs};
    EXPECT_EQ(ApplyFramePage(stopped, 0, p), 0);  // removal stopped: nothing more is written
    EXPECT_TRUE(doc->FrameAt(0)->localPalette);
    EXPECT_EQ(doc->FrameAt(0)->delay, 10u);
    EXPECT_EQ(ApplyFramePage(ctx, 0, p), sheet_flags::kSelectedFrame);
    EXPECT_FALSE(doc->FrameAt(0)->localPalette);
    EXPECT_EQ(doc->FrameAt(0)->delay, 33u);
}

TEST_F(PagesTest, GlobalPageBlankFieldsKeepDifferingValues) {
    doc->FrameAt(1)->delay = 20;
    GlobalFramePageFields p = LoadGlobalFramePage(*doc);
    EXPECT_EQ(p.delay, "");  // 10 and 20
    EXPECT_EQ(p.offsetX, "");  // 0 and 2
    EXPECT_EQ(p.offsetY, "0");
    EXPECT_EQ(p.width, "8");
    EXPECT_EQ(p.disposal, 0);
    EXPECT_FALSE(p.localPaletteEnabled);
    EXPECT_TRUE(CheckGlobalFramePage(p, 20, 10, host).ok);
    EXPECT_EQ(ApplyGlobalFramePage(ctx, p), 0);
    EXPECT_EQ(doc->FrameAt(0)->delay, 10u);
    EXPECT_EQ(doc->FrameAt(1)->delay, 20u);
    p.delay = "5";
    EXPECT_EQ(ApplyGlobalFramePage(ctx, p), sheet_flags::kAllFrames);
    EXPECT_EQ(doc->FrameAt(0)->delay, 5u);
    EXPECT_EQ(doc->FrameAt(1)->delay, 5u);
}

TEST_F(PagesTest, GlobalPageXOffsetAloneMovesHorizontally) {
    doc->FrameAt(1)->top = 4;
    GlobalFramePageFields p = LoadGlobalFramePage(*doc);
    EXPECT_EQ(p.offsetY, "");
    p.offsetX = "7";
    EXPECT_TRUE(CheckGlobalFramePage(p, 20, 10, host).ok);
    EXPECT_EQ(ApplyGlobalFramePage(ctx, p), sheet_flags::kAllFrames);
    EXPECT_EQ(doc->FrameAt(0)->left, 7);
    EXPECT_EQ(doc->FrameAt(1)->left, 7);
    EXPECT_EQ(doc->FrameAt(0)->top, 0);
    EXPECT_EQ(doc->FrameAt(1)->top, 4);
    p.offsetX = "-70000";
    EXPECT_EQ(CheckGlobalFramePage(p, 20, 10, host).focus, PageField::OffsetX);
    EXPECT_EQ(host.messages.back(), "Bad Offset Value: Offset values must be in the range from -65535 to 65535.");
}

TEST_F(PagesTest, GlobalPageThreeStateBoxes) {
    SetInterlaced(*doc->FrameAt(0), true);
    SetTransparentIndex(*doc->FrameAt(0), 1);
    SetTransparent(*doc->FrameAt(0), true);
    GlobalFramePageFields p = LoadGlobalFramePage(*doc);
    EXPECT_EQ(p.interlaced, TriState::Mixed);
    EXPECT_EQ(p.transparent.box, TriState::Mixed);
    EXPECT_EQ(p.transparent.choice, (TransparencyChoice{1, {1}}));  // from the first frame
    EXPECT_EQ(ApplyGlobalFramePage(ctx, p), 0);  // indeterminate boxes leave every frame
    EXPECT_TRUE(doc->FrameAt(0)->Interlaced());
    EXPECT_FALSE(doc->FrameAt(1)->Interlaced());
    EXPECT_EQ(history.Count(), 0);
    p.interlaced = TriState::Off;
    p.transparent.box = TriState::Off;
    EXPECT_EQ(ApplyGlobalFramePage(ctx, p), sheet_flags::kAllFrames);
    EXPECT_FALSE(doc->FrameAt(0)->Interlaced());
    EXPECT_FALSE(doc->FrameAt(0)->Transparent());
    ASSERT_EQ(history.CurrentKind(), UndoKind::EditAllTransparency);
    EXPECT_EQ(history.Count(), 1);
    // Undo gives the transparency back; the interlace edit stays (not recorded).
    history.Step(*doc, false);
    EXPECT_TRUE(doc->FrameAt(0)->Transparent());
    EXPECT_FALSE(doc->FrameAt(0)->Interlaced());
}

TEST_F(PagesTest, GlobalPagePickedIndexGoesToEveryFrame) {
    GlobalFramePageFields p = LoadGlobalFramePage(*doc);
    ASSERT_NE(GlobalPickerFrame(*doc), nullptr);
    p.transparent.choice = ChoiceOf({4});
    p.transparent.PickerClosed(true, true);
    EXPECT_EQ(ApplyGlobalFramePage(ctx, p), sheet_flags::kAllFrames);
    for (const Frame* f : doc->Frames()) {
        EXPECT_TRUE(f->Transparent());
        EXPECT_EQ(f->transparentIndex, 4);
    }
    EXPECT_EQ(history.Current()->value, 1);
}

TEST_F(PagesTest, GlobalPageLocalPaletteRemovalAndEmptyDocument) {
    SetLocalPalette(*doc->FrameAt(1), *doc->globalPalette);
    GlobalFramePageFields p = LoadGlobalFramePage(*doc);
    EXPECT_TRUE(p.localPaletteEnabled);
    EXPECT_EQ(p.localPalette, TriState::Mixed);
    EXPECT_EQ(ApplyGlobalFramePage(ctx, p), 0);
    EXPECT_TRUE(doc->FrameAt(1)->localPalette);
    p.localPalette = TriState::Off;
    EXPECT_EQ(ApplyGlobalFramePage(ctx, p), sheet_flags::kAllFrames);
    EXPECT_FALSE(doc->FrameAt(1)->localPalette);

    auto empty = NewAnimation();
    GlobalFramePageFields e = LoadGlobalFramePage(*empty);
    EXPECT_EQ(e.delay, "");
    EXPECT_EQ(GlobalPickerFrame(*empty), nullptr);
    PageContext ectx{*empty, history, host, progress, prefs};
    EXPECT_EQ(ApplyGlobalFramePage(ectx, e), 0);
}

TEST_F(PagesTest, AnimationPageSizeClippingAndIterations) {
    AnimationPageFields p = LoadAnimationPage(*doc, "/tmp/a.gif");
    EXPECT_EQ(p.fileName, "/tmp/a.gif");
    EXPECT_EQ(p.frameCount, 2);
    EXPECT_EQ(p.width, "20");
    EXPECT_TRUE(p.hasGlobalPalette);
    EXPECT_TRUE(CheckAnimationPage(p, *doc, host).ok);
    // The frames reach x = 10 (offset 2 + 8): a width of 9 clips.
    p.width = "9";
    p.sizeEdited = true;
    host.answers = {false};
    PageCheck c = CheckAnimationPage(p, *doc, host);
    EXPECT_EQ(c.focus, PageField::Width);
    EXPECT_EQ(host.questions.back(), "This width will clip some frames. Are you sure that you want to do this?");
    p.width = "65536";
    EXPECT_EQ(CheckAnimationPage(p, *doc, host).focus, PageField::Width);
    EXPECT_EQ(host.messages.back(), "Bad Width Value: The width must be in the range from 0 to 65535.");
    p.width = "10";
    p.height = "3";
    host.answers = {false};
    EXPECT_EQ(CheckAnimationPage(p, *doc, host).focus, PageField::Height);
    EXPECT_EQ(host.questions.back(), "This height will clip some frames. Are you sure that you want to do this?");
    p.height = "4";
    p.iterations = "65536";
    EXPECT_TRUE(CheckAnimationPage(p, *doc, host).ok);
    p.iterations = "65537";
    EXPECT_EQ(CheckAnimationPage(p, *doc, host).focus, PageField::Iterations);
    EXPECT_EQ(host.messages.back(),
              "Bad Iteration Value: The number of iterations must be in the range from 0 to 65536.");
}

TEST_F(PagesTest, AnimationPageApplyFlags) {
    AnimationPageFields p = LoadAnimationPage(*doc, "");
    EXPECT_EQ(ApplyAnimationPage(*doc, p), 0);
    p.sizeEdited = true;  // typed, even when the values stay
    EXPECT_EQ(ApplyAnimationPage(*doc, p), sheet_flags::kScreen);
    AutoSize(p, *doc);
    EXPECT_EQ(p.width, "10");
    EXPECT_EQ(p.height, "4");
    p.iterations = "3";
    p.backgroundIndex = 7;
    p.paletteEdited = true;
    EXPECT_EQ(ApplyAnimationPage(*doc, p),
              sheet_flags::kScreen | sheet_flags::kAnimationFields | sheet_flags::kGlobalPalette);
    EXPECT_EQ(doc->width, 10u);
    EXPECT_EQ(doc->height, 4u);
    EXPECT_EQ(doc->playCount, 3u);
    EXPECT_EQ(doc->backgroundIndex, 7);
    p = LoadAnimationPage(*doc, "");
    p.backgroundIndex = 8;
    EXPECT_EQ(ApplyAnimationPage(*doc, p), sheet_flags::kAnimationFields);
}

TEST_F(PagesTest, WhatAFramePageWouldChangeIsToldBeforeWriting) {
    const Frame& f = *doc->FrameAt(0);
    FramePageFields p = LoadFramePage(f);
    EXPECT_FALSE(FramePageChangesBesidesTransparency(f, p));
    EXPECT_FALSE(FramePageChangesTransparency(f, p));
    p.delay = " 10";  // the same value written differently
    EXPECT_FALSE(FramePageChangesBesidesTransparency(f, p));
    p.name = "other";
    EXPECT_TRUE(FramePageChangesBesidesTransparency(f, p));
    p = LoadFramePage(f);
    p.interlaced = true;
    EXPECT_TRUE(FramePageChangesBesidesTransparency(f, p));
    p = LoadFramePage(f);
    p.disposal = 2;
    EXPECT_TRUE(FramePageChangesBesidesTransparency(f, p));
    // A picked index counts for the transparency only; picking what is
    // already transparent changes nothing.
    p = LoadFramePage(f);
    p.transparent.choice = ChoiceOf({3});
    p.transparent.PickerClosed(true, true);
    EXPECT_FALSE(FramePageChangesBesidesTransparency(f, p));
    EXPECT_TRUE(FramePageChangesTransparency(f, p));
    ApplyFramePage(ctx, 0, p);
    p = LoadFramePage(*doc->FrameAt(0));
    p.transparent.choice = ChoiceOf({3});
    p.transparent.PickerClosed(true, false);
    EXPECT_FALSE(FramePageChangesTransparency(*doc->FrameAt(0), p));
    p.transparent.box = TriState::Off;  // unchecking switches it off
    EXPECT_TRUE(FramePageChangesTransparency(*doc->FrameAt(0), p));
    // Nothing of the frame itself was written by the questions.
    EXPECT_EQ(doc->FrameAt(0)->delay, 10u);
}

TEST_F(PagesTest, WhatAGlobalPageWouldChange) {
    GlobalFramePageFields p = LoadGlobalFramePage(*doc);
    EXPECT_FALSE(GlobalFramePageChangesBesidesTransparency(*doc, p));
    EXPECT_FALSE(GlobalFramePageChangesTransparency(*doc, p));
    p.offsetY = "3";
    EXPECT_TRUE(GlobalFramePageChangesBesidesTransparency(*doc, p));
    EXPECT_FALSE(GlobalFramePageChangesTransparency(*doc, p));
    p = LoadGlobalFramePage(*doc);
    SetTransparent(*doc->FrameAt(1), true);
    p.transparent.box = TriState::Off;  // one frame is transparent, the box says off
    EXPECT_TRUE(GlobalFramePageChangesTransparency(*doc, p));
    EXPECT_FALSE(GlobalFramePageChangesBesidesTransparency(*doc, p));
}

TEST_F(PagesTest, OnlyEditedFieldsLeaveTheFramePagesWritesAlone) {
    SetDelay(*doc->FrameAt(1), 20);  // delays differ: the field loads blank
    const GlobalFramePageFields loaded = LoadGlobalFramePage(*doc);
    EXPECT_EQ(loaded.delay, "");
    EXPECT_EQ(loaded.offsetY, "0");
    // The Frame page of the same sheet switches frame 0's transparency on
    // and moves it down; the Global Frame page was only looked at.
    FramePageFields fp = LoadFramePage(*doc->FrameAt(0));
    fp.offsetY = "4";
    fp.transparent.choice = ChoiceOf({2});
    fp.transparent.PickerClosed(true, true);
    ApplyFramePage(ctx, 0, fp);
    GlobalFramePageFields untouched = OnlyEditedFields(loaded, loaded);
    EXPECT_EQ(untouched.offsetY, "");
    EXPECT_EQ(untouched.transparent.box, TriState::Mixed);
    EXPECT_EQ(untouched.interlaced, TriState::Mixed);
    EXPECT_EQ(untouched.localPalette, TriState::Mixed);
    EXPECT_EQ(untouched.disposal, -1);
    EXPECT_FALSE(GlobalFramePageChangesBesidesTransparency(*doc, untouched));
    EXPECT_FALSE(GlobalFramePageChangesTransparency(*doc, untouched));
    EXPECT_EQ(ApplyGlobalFramePage(ctx, untouched), 0);
    EXPECT_EQ(doc->FrameAt(0)->top, 4);
    EXPECT_TRUE(doc->FrameAt(0)->Transparent());
    // What was typed on the Global Frame page is still written.
    GlobalFramePageFields edited = loaded;
    edited.delay = "7";
    edited = OnlyEditedFields(loaded, edited);
    EXPECT_EQ(ApplyGlobalFramePage(ctx, edited), sheet_flags::kAllFrames);
    EXPECT_EQ(doc->FrameAt(0)->delay, 7u);
    EXPECT_EQ(doc->FrameAt(1)->delay, 7u);
    EXPECT_EQ(doc->FrameAt(0)->top, 4);
}

}  // namespace
}  // namespace cinemill
