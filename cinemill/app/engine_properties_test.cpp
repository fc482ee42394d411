#include <gtest/gtest.h>

#include <functional>

#include "cinemill/app/engine.h"
#include "cinemill/app/property_pages.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using testing_support::GifBytes;
using testing_support::MakeDocument;

using namespace refresh;

// A 20 x 10 screen with n 8 x 4 frames of distinct pixels, delays 10, 20, ...
std::unique_ptr<Animation> MakeDoc(int n) {
    return MakeDocument(n, {.width = 20, .height = 10, .frameWidth = 8, .frameHeight = 4, .delayStep = 10});
}

struct EnginePropertiesTest : ::testing::Test {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    MemoryClipboard clipboard;
    Engine engine{prefs, host, clipboard};

    void SetUp() override { engine.SetDocument(MakeDoc(3), "/tmp/x.gif", false); }
    const Animation& Doc() { return *engine.Doc(); }
    std::vector<uint8_t> Bytes() {
        engine.WaitTasks();
        return GifBytes(Doc());
    }
    UndoKind Kind() const { return engine.State().history.CurrentKind(); }
    int Steps() const { return engine.State().history.Count(); }
    // Runs the change, checks that it is one step of `kind` and that Undo
    // and Redo give back the bytes from before and after it.
    CommandResult OneStep(UndoKind kind, const std::function<CommandResult()>& change) {
        const auto before = Bytes();
        const int steps = Steps();
        const CommandResult r = change();
        EXPECT_EQ(r.result, Result::Done);
        EXPECT_TRUE(engine.State().modified);
        EXPECT_EQ(Steps(), steps + 1);
        EXPECT_EQ(Kind(), kind);
        const auto after = Bytes();
        EXPECT_NE(before, after);
        EXPECT_TRUE(engine.Execute(CommandId::Undo).Ok());
        EXPECT_EQ(Bytes(), before);
        EXPECT_TRUE(engine.Execute(CommandId::Redo).Ok());
        EXPECT_EQ(Bytes(), after);
        return r;
    }
};

TEST_F(EnginePropertiesTest, FramePageIsOneFramePropertiesStep) {
    FramePageFields p = LoadFramePage(*Doc().FrameAt(1));
    p.name = "renamed";
    p.delay = "55";
    p.offsetX = "3";
    p.interlaced = true;
    p.disposal = 2;
    const CommandResult r = OneStep(UndoKind::FrameProperties, [&] { return engine.ApplyFramePage(1, p); });
    EXPECT_EQ(r.refresh & (kOneFrame | kSelector | kTotalTime | kFrameToolbar),
              kOneFrame | kSelector | kTotalTime | kFrameToolbar);
    EXPECT_EQ(r.refresh >> 16, 1u);
    const Frame& f = *Doc().FrameAt(1);
    EXPECT_EQ(f.name, "renamed");
    EXPECT_EQ(f.delay, 55u);
    EXPECT_EQ(f.left, 3);
    EXPECT_TRUE(f.Interlaced());
    EXPECT_EQ(f.Disposal(), 2);
    EXPECT_EQ(UndoKindName(UndoKind::FrameProperties), "Frame Properties");
}

TEST_F(EnginePropertiesTest, FramePageWithOnlyTransparencyIsAnEditTransparencyStep) {
    FramePageFields p = LoadFramePage(*Doc().FrameAt(0));
    p.transparent.choice = ChoiceOf({4});
    p.transparent.PickerClosed(true, true);
    OneStep(UndoKind::EditTransparency, [&] { return engine.ApplyFramePage(0, p); });
    EXPECT_TRUE(Doc().FrameAt(0)->Transparent());
    EXPECT_EQ(Doc().FrameAt(0)->transparentIndex, 4);
}

TEST_F(EnginePropertiesTest, FramePageMergeAndDelayTogetherAreOneStep) {
    FramePageFields p = LoadFramePage(*Doc().FrameAt(0));
    p.transparent.choice = ChoiceOf({3, 5, 9});
    p.transparent.PickerClosed(true, true);
    p.delay = "7";
    OneStep(UndoKind::FrameProperties, [&] { return engine.ApplyFramePage(0, p); });
    const Frame& f = *Doc().FrameAt(0);
    EXPECT_EQ(f.transparentIndex, 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_NE(f.bitmap->At(x, y), 5);
            EXPECT_NE(f.bitmap->At(x, y), 9);
        }
    EXPECT_EQ(f.delay, 7u);
}

TEST_F(EnginePropertiesTest, FramePageRemovingTheLocalPaletteKeepsTheDocument) {
    // A frame with a local palette of the same colours in another order.
    engine.Execute(CommandId::New);
    auto doc = MakeDoc(2);
    Palette local = *doc->globalPalette;
    std::swap(local.entries[1], local.entries[6]);
    SetLocalPalette(*doc->FrameAt(1), local);
    prefs.Set(PreferenceBlock::kPaletteMerging, 0x880004);  // map to the global palette, no question
    engine.SetDocument(std::move(doc), "", false);
    FramePageFields p = LoadFramePage(*Doc().FrameAt(1));
    ASSERT_TRUE(p.localPaletteEnabled);
    p.localPaletteChecked = false;
    OneStep(UndoKind::FrameProperties, [&] { return engine.ApplyFramePage(1, p); });
    EXPECT_FALSE(Doc().FrameAt(1)->localPalette);
    EXPECT_EQ(host.mergeQuestions, 0);
}

TEST_F(EnginePropertiesTest, PagesThatChangeNothingLeaveNoStep) {
    const auto before = Bytes();
    FramePageFields fp = LoadFramePage(*Doc().FrameAt(0));
    EXPECT_EQ(engine.ApplyFramePage(0, fp).refresh, 0u);
    GlobalFramePageFields gp = LoadGlobalFramePage(Doc());
    EXPECT_EQ(engine.ApplyGlobalFramePage(gp).refresh, 0u);
    AnimationPageFields ap = LoadAnimationPage(Doc(), "");
    EXPECT_EQ(engine.ApplyAnimationPage(ap).refresh, 0u);
    EXPECT_EQ(Steps(), 0);
    EXPECT_FALSE(engine.State().modified);
    EXPECT_EQ(Bytes(), before);
    // A frame that is not there, and no document at all.
    EXPECT_EQ(engine.ApplyFramePage(7, fp).result, Result::Failed);
    engine.Execute(CommandId::New);
    EXPECT_EQ(engine.ApplyGlobalFramePage(gp).result, Result::Failed);
    EXPECT_EQ(engine.ApplyAnimationPage(ap).result, Result::Failed);
}

TEST_F(EnginePropertiesTest, GlobalPageBlankDelayKeepsDelaysAndTypedOneSetsAll) {
    GlobalFramePageFields p = LoadGlobalFramePage(Doc());
    EXPECT_EQ(p.delay, "");
    p.offsetX = "2";
    const CommandResult r =
        OneStep(UndoKind::GlobalFrameProperties, [&] { return engine.ApplyGlobalFramePage(p); });
    EXPECT_EQ(r.refresh & (kDocument | kTotalTime), kDocument | kTotalTime);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Doc().FrameAt(i)->delay, 10u * (i + 1));
        EXPECT_EQ(Doc().FrameAt(i)->left, 2);
        EXPECT_EQ(Doc().FrameAt(i)->top, 0);
    }
    p = LoadGlobalFramePage(Doc());
    p.delay = "5";
    OneStep(UndoKind::GlobalFrameProperties, [&] { return engine.ApplyGlobalFramePage(p); });
    for (const Frame* f : Doc().Frames()) EXPECT_EQ(f->delay, 5u);
    EXPECT_EQ(UndoKindName(UndoKind::GlobalFrameProperties), "Global Frame Properties");
}

TEST_F(EnginePropertiesTest, GlobalPageWithOnlyTransparencyIsAnEditAllTransparencyStep) {
    GlobalFramePageFields p = LoadGlobalFramePage(Doc());
    p.transparent.choice = ChoiceOf({2});
    p.transparent.PickerClosed(true, true);
    OneStep(UndoKind::EditAllTransparency, [&] { return engine.ApplyGlobalFramePage(p); });
    for (const Frame* f : Doc().Frames()) EXPECT_TRUE(f->Transparent());
}

TEST_F(EnginePropertiesTest, AnimationPageIsOneStepOfItsHeaderValues) {
    AnimationPageFields p = LoadAnimationPage(Doc(), engine.State().path);
    EXPECT_EQ(p.fileName, "/tmp/x.gif");
    EXPECT_EQ(p.frameCount, 3);
    p.iterations = "4";
    p.width = "30";
    p.height = "12";
    p.sizeEdited = true;
    p.backgroundIndex = 6;
    const CommandResult r =
        OneStep(UndoKind::GlobalFrameProperties, [&] { return engine.ApplyAnimationPage(p); });
    EXPECT_EQ(r.refresh & (kDocument | kFrames | kAnimationFields), kDocument | kFrames | kAnimationFields);
    EXPECT_EQ(Doc().playCount, 4u);
    EXPECT_EQ(Doc().width, 30u);
    EXPECT_EQ(Doc().height, 12u);
    EXPECT_EQ(Doc().backgroundIndex, 6);
    // The Undo of the header leaves the frames as they are.
    ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
    EXPECT_EQ(Doc().playCount, 0u);
    EXPECT_EQ(Doc().width, 20u);
    EXPECT_EQ(Doc().FrameCount(), 3);
}

TEST_F(EnginePropertiesTest, SheetFlagsBecomeRefreshFlags) {
    EXPECT_EQ(Engine::RefreshForSheetFlags(0, 0), 0u);
    EXPECT_EQ(Engine::RefreshForSheetFlags(sheet_flags::kSelectedFrame, 2),
              (2u << 16) | kOneFrame | kFrameToolbar | kTotalTime | kSelector | kSize);
    EXPECT_EQ(Engine::RefreshForSheetFlags(sheet_flags::kAllFrames, 2), kDocument | kTotalTime | kSize);
    EXPECT_EQ(Engine::RefreshForSheetFlags(sheet_flags::kScreen | sheet_flags::kAnimationFields, -1),
              kDocument | kFrames | kAnimationFields | kSize);
    EXPECT_EQ(Engine::RefreshForSheetFlags(sheet_flags::kGlobalPalette, -1), kDocument | kSize | kPaletteState);
}

// ---- comments ----------------------------------------------------------------------------------

TEST_F(EnginePropertiesTest, CommentsAddEditRemoveAreEachOneStep) {
    EXPECT_TRUE(engine.CommentEntries().empty());
    int entry = -2;
    OneStep(UndoKind::EditComments, [&] { return engine.InsertComment(-1, "first\r\nline two", &entry); });
    EXPECT_EQ(entry, 0);
    // Nothing selected: after the last comment block.
    OneStep(UndoKind::EditComments, [&] { return engine.InsertComment(-1, "last", &entry); });
    EXPECT_EQ(entry, 1);
    // The second entry selected: right after the first comment.
    OneStep(UndoKind::EditComments, [&] { return engine.InsertComment(1, "middle", &entry); });
    EXPECT_EQ(entry, 1);
    EXPECT_EQ(engine.CommentEntries(), (std::vector<std::string>{"first ...", "middle", "last"}));
    EXPECT_EQ(engine.CommentTextAt(0), "first\r\nline two");
    // The first comment block sits first in the block list.
    EXPECT_EQ(Doc().blocks[0]->kind, BlockKind::Comment);

    OneStep(UndoKind::EditComments, [&] { return engine.EditComment(2, "changed"); });
    EXPECT_EQ(engine.CommentTextAt(2), "changed");
    OneStep(UndoKind::EditComments, [&] { return engine.RemoveComment(0); });
    EXPECT_EQ(engine.CommentEntries(), (std::vector<std::string>{"middle", "changed"}));
    EXPECT_EQ(Doc().FrameCount(), 3);

    // Undo all the way back gives the document without comments.
    const int steps = Steps();
    for (int i = 0; i < steps; ++i) ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
    EXPECT_TRUE(engine.CommentEntries().empty());
    EXPECT_EQ(UndoKindName(UndoKind::EditComments), "Edit GIF Comments");
}

TEST_F(EnginePropertiesTest, CommentsLongerThan254AreRefused) {
    const auto before = Bytes();
    EXPECT_TRUE(engine.InsertComment(-1, std::string(254, 'a')).Ok());
    EXPECT_EQ(engine.CommentTextAt(0).size(), 254u);
    const auto with = Bytes();
    EXPECT_EQ(engine.InsertComment(-1, std::string(255, 'b')).result, Result::Failed);
    EXPECT_EQ(engine.EditComment(0, std::string(300, 'c')).result, Result::Failed);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0],
              "Comment Too Long: The comment string must be shorter than 255 characters. Use multiple "
              "comment blocks if necessary.");
    EXPECT_EQ(Bytes(), with);
    EXPECT_EQ(Steps(), 1);
    // The same text, and entries that are not there, change nothing.
    EXPECT_EQ(engine.EditComment(0, std::string(254, 'a')).refresh, 0u);
    EXPECT_EQ(engine.EditComment(3, "x").result, Result::Failed);
    EXPECT_EQ(engine.RemoveComment(-1).result, Result::Failed);
    EXPECT_EQ(Steps(), 1);
    ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
    EXPECT_EQ(Bytes(), before);
}

TEST_F(EnginePropertiesTest, SignatureChangeMarksTheDocumentModified) {
    EXPECT_FALSE(engine.State().modified);
    EXPECT_EQ(engine.SignatureChanged().refresh, kModified);
    EXPECT_TRUE(engine.State().modified);
    EXPECT_EQ(Steps(), 0);
}

}  // namespace
}  // namespace cinemill
