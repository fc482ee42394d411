#include "cinemill/app/engine.h"

#include <gtest/gtest.h>

#include <functional>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/clipboard.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using testing_support::GifBytes;
using testing_support::MakeDocument;

using namespace refresh;

std::unique_ptr<Animation> MakeDoc(int n, int w = 6, int h = 4) { return MakeDocument(n, {.width = w, .height = h}); }

std::vector<std::string> FrameNames(const Animation& doc) {
    std::vector<std::string> out;
    for (const Frame* f : doc.Frames()) out.push_back(f->name);
    return out;
}

struct EngineTest : ::testing::Test {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    MemoryClipboard clipboard;
    Engine engine{prefs, host, clipboard};

    void Load(int frames, int w = 6, int h = 4) { engine.SetDocument(MakeDoc(frames, w, h), "", false); }
    std::vector<uint8_t> Bytes() {
        engine.WaitTasks();
        return GifBytes(*engine.Doc());
    }
    // Runs a command, then checks that Undo gives back the bytes from before
    // and Redo the bytes after it. Answers the command's result.
    CommandResult UndoRedoRoundTrip(const std::function<CommandResult()>& command) {
        const auto before = Bytes();
        const CommandResult r = command();
        EXPECT_EQ(r.result, Result::Done);
        const auto after = Bytes();
        EXPECT_NE(before, after);
        EXPECT_TRUE(engine.State().history.CanUndo());
        EXPECT_TRUE(engine.Execute(CommandId::Undo).Ok());
        EXPECT_EQ(Bytes(), before);
        EXPECT_TRUE(engine.State().history.CanRedo());
        EXPECT_TRUE(engine.Execute(CommandId::Redo).Ok());
        EXPECT_EQ(Bytes(), after);
        return r;
    }
};

TEST_F(EngineTest, DeleteRemovesTheSelectedFrameAndUndoRedoRepeatIt) {
    Load(4);
    engine.Select(2);
    const CommandResult r = UndoRedoRoundTrip([&] { return engine.Execute(CommandId::Delete); });
    EXPECT_EQ(r.refresh & 0xFF, kDocument | kFrameList | kSize);
    EXPECT_TRUE(r.refresh & kSelection);
    EXPECT_TRUE(r.refresh & kModified);
    EXPECT_EQ(FrameNames(*engine.Doc()), (std::vector<std::string>{"f0", "f1", "f3"}));
    EXPECT_TRUE(engine.State().modified);
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Delete Frame\tCtrl-Z");
}

TEST_F(EngineTest, DeletingTheLastFrameSelectsTheOneBefore) {
    Load(3);
    engine.Select(2);
    engine.Execute(CommandId::Delete);
    EXPECT_EQ(engine.State().selected, 1);
    engine.Select(0);
    engine.Execute(CommandId::Delete);
    engine.Execute(CommandId::Delete);
    EXPECT_EQ(engine.State().FrameCount(), 0);
    EXPECT_EQ(engine.State().selected, -1);
}

TEST_F(EngineTest, CutCopyDeleteWithoutSelectionOnlyBeep) {
    Load(2);
    const auto before = Bytes();
    EXPECT_EQ(engine.Execute(CommandId::Cut).result, Result::Failed);
    EXPECT_EQ(engine.Execute(CommandId::Copy).result, Result::Failed);
    EXPECT_EQ(engine.Execute(CommandId::Delete).result, Result::Failed);
    EXPECT_EQ(host.beeps, 3);
    EXPECT_FALSE(clipboard.dib);
    EXPECT_FALSE(engine.State().modified);
    EXPECT_EQ(Bytes(), before);
}

TEST_F(EngineTest, CopyPutsTheExactRecordAndDibAndPasteInsertsBeforeTheSelection) {
    Load(3);
    engine.Select(1);
    // The size task stores the size it counts into the document, which the
    // record holds: compared below, it must have ended.
    engine.WaitTasks();
    const CommandResult c = engine.Execute(CommandId::Copy);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.refresh, kClipboard);
    EXPECT_FALSE(engine.State().modified);
    EXPECT_EQ(*clipboard.record, BuildFrameClip(*engine.Doc(), *engine.Doc()->FrameAt(1)));
    EXPECT_EQ(*clipboard.dib, BuildPackedDib(*engine.Doc(), *engine.Doc()->FrameAt(1)));
    EXPECT_TRUE(engine.State().pasteAvailable);

    engine.Select(0);
    const CommandResult p = UndoRedoRoundTrip([&] { return engine.Execute(CommandId::Paste); });
    EXPECT_TRUE(p.refresh & kFrameList);
    EXPECT_TRUE(p.refresh & kFrames);
    EXPECT_EQ(FrameNames(*engine.Doc()), (std::vector<std::string>{"f1", "f0", "f1", "f2"}));
    EXPECT_EQ(engine.State().selected, 0);
    // Same palette and screen: the light record, keeping only the frame.
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Paste\tCtrl-Z");
    EXPECT_LT(engine.State().history.HeldBytes(), AnimationBytes(*engine.Doc()));
    // The pasted frame's pixels are the copied frame's.
    EXPECT_EQ(engine.Doc()->FrameAt(0)->bitmap->pixels, engine.Doc()->FrameAt(2)->bitmap->pixels);
}

TEST_F(EngineTest, PasteWithoutSelectionAppendsAndWithoutDocumentMakesOne) {
    Load(2);
    engine.Select(0);
    engine.Execute(CommandId::Copy);
    engine.Select(-1);
    ASSERT_TRUE(engine.Execute(CommandId::Paste).Ok());
    EXPECT_EQ(FrameNames(*engine.Doc()), (std::vector<std::string>{"f0", "f1", "f0"}));
    EXPECT_EQ(engine.State().selected, 2);

    host.choices.push_back(Answer::No);  // the save question of New
    ASSERT_TRUE(engine.New().Ok());
    EXPECT_FALSE(engine.State().HasDocument());
    const CommandResult r = engine.Execute(CommandId::Paste);
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.refresh & kNewDocument);
    EXPECT_EQ(engine.State().FrameCount(), 1);
    EXPECT_TRUE(engine.State().Untitled());
}

TEST_F(EngineTest, PasteWithAnEmptyClipboardSaysSoAndChangesNothing) {
    Load(2);
    const auto before = Bytes();
    EXPECT_EQ(engine.Execute(CommandId::Paste).result, Result::Failed);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Cannot paste any of the available formats.");
    EXPECT_EQ(Bytes(), before);
    EXPECT_FALSE(engine.State().history.CanUndo());
}

TEST_F(EngineTest, CutCopiesThenDeletes) {
    Load(3);
    engine.Select(2);
    const auto dib = BuildPackedDib(*engine.Doc(), *engine.Doc()->FrameAt(2));
    const CommandResult r = engine.Execute(CommandId::Cut);
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.refresh & kClipboard);
    EXPECT_TRUE(r.refresh & kFrameList);
    EXPECT_EQ(*clipboard.dib, dib);
    EXPECT_EQ(engine.State().selected, 1);
    EXPECT_EQ(FrameNames(*engine.Doc()), (std::vector<std::string>{"f0", "f1"}));
}

TEST_F(EngineTest, FrameMoveKeepsTheMovedFrameSelected) {
    Load(6);
    const CommandResult r = UndoRedoRoundTrip([&] { return engine.MoveFrame(5, 0); });
    EXPECT_EQ(r.refresh & 0xFF, kDocument | kSelector);
    EXPECT_EQ(FrameNames(*engine.Doc()), (std::vector<std::string>{"f5", "f0", "f1", "f2", "f3", "f4"}));
    EXPECT_EQ(engine.State().selected, 0);
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Frame Move\tCtrl-Z");
    // Dropping a frame onto its own place or the gap after it is no move.
    const auto before = Bytes();
    EXPECT_EQ(engine.MoveFrame(2, 3).refresh, 0u);
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(engine.MoveFrame(7, 0).result, Result::Failed);
}

TEST_F(EngineTest, ReverseOrderRecordsReorder) {
    Load(3);
    const CommandResult r = UndoRedoRoundTrip([&] { return engine.Execute(CommandId::ReverseOrder); });
    EXPECT_EQ(r.refresh & 0xFF, kDocument | kSelector);
    EXPECT_EQ(FrameNames(*engine.Doc()), (std::vector<std::string>{"f2", "f1", "f0"}));
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Reorder Animation\tCtrl-Z");
}

TEST_F(EngineTest, RotateOneFrameGrowsTheScreenAndUndoRestoresIt) {
    Load(2, 6, 4);
    engine.Select(1);
    const CommandResult r = UndoRedoRoundTrip([&] { return engine.Execute(CommandId::Rotate90Cw); });
    EXPECT_EQ(r.refresh & 0xFF, kDocument | kFrames | kSize);
    EXPECT_EQ(engine.Doc()->FrameAt(1)->width, 4);
    EXPECT_EQ(engine.Doc()->FrameAt(1)->height, 6);
    EXPECT_EQ(engine.Doc()->height, 6u);
    engine.Execute(CommandId::Undo);
    EXPECT_EQ(engine.Doc()->width, 6u);
    EXPECT_EQ(engine.Doc()->height, 4u);
}

TEST_F(EngineTest, FlipOfOneFrameRedrawsOnlyThatFrame) {
    Load(3);
    engine.Select(2);
    const CommandResult r = UndoRedoRoundTrip([&] { return engine.Execute(CommandId::FlipH); });
    EXPECT_EQ(r.refresh & kLowMask, kOneFrame | kSize | kModified);
    EXPECT_EQ(r.refresh >> 16, 2u);
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Rotate Frame\tCtrl-Z");
    EXPECT_EQ(engine.Execute(CommandId::FlipV).result, Result::Done);
    engine.Select(-1);
    EXPECT_EQ(engine.Execute(CommandId::FlipV).result, Result::Failed);
}

TEST_F(EngineTest, RotateAllTurnsEveryFrame) {
    Load(3);
    const CommandResult r = UndoRedoRoundTrip([&] { return engine.Execute(CommandId::RotateAllFlipV); });
    EXPECT_EQ(r.refresh & 0xFF, kDocument | kFrames | kSize);
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Rotate All Frames\tCtrl-Z");
    UndoRedoRoundTrip([&] { return engine.Execute(CommandId::RotateAll90Ccw); });
    // The turned 4 x 6 frames no longer fit the 6 x 4 screen: it grows.
    EXPECT_EQ(engine.Doc()->FrameAt(0)->width, 4);
    EXPECT_EQ(engine.Doc()->height, 6u);
}

TEST_F(EngineTest, DelayOutsideTheRangeWarnsAndTakes65535WithoutUndo) {
    Load(2);
    engine.Select(0);
    const CommandResult r = engine.SetDelay(70000);
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.refresh & kTotalTime);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Invalid Delay Value: The delay must be in the range from 0 to 65535.");
    EXPECT_EQ(engine.Doc()->FrameAt(0)->delay, 65535u);
    EXPECT_TRUE(engine.State().modified);
    EXPECT_FALSE(engine.State().history.CanUndo());
    // The same value again changes nothing.
    EXPECT_EQ(engine.SetDelay(65535).refresh, 0u);
    ASSERT_TRUE(engine.SetDelay(50).Ok());
    EXPECT_EQ(engine.Doc()->FrameAt(0)->delay, 50u);
}

TEST_F(EngineTest, DisposalInterlaceAndPlayCountAreNotRecorded) {
    Load(2);
    engine.Select(1);
    ASSERT_TRUE(engine.SetDisposal(2).Ok());
    EXPECT_EQ(engine.Doc()->FrameAt(1)->Disposal(), 2);
    EXPECT_EQ(engine.SetDisposal(4).result, Result::Failed);
    const CommandResult i = engine.SetInterlace(true);
    EXPECT_EQ(i.refresh & kLowMask, kOneFrame | kFrameToolbar | kSize);
    EXPECT_TRUE(engine.Doc()->FrameAt(1)->Interlaced());
    EXPECT_TRUE(engine.SetPlayCount(3).refresh & kAnimationFields);
    EXPECT_EQ(engine.Doc()->playCount, 3u);
    ASSERT_TRUE(engine.SetPlayCount(70000).Ok());
    EXPECT_EQ(engine.Doc()->playCount, 0u);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("Bad Iteration Value: The number of iterations must be in the range from 0 "
                                     "to 65536.",
                                     0),
              0u);
    EXPECT_FALSE(engine.State().history.CanUndo());
    EXPECT_TRUE(engine.State().modified);
}

TEST_F(EngineTest, TransparencyOnAndOffAreUndoable) {
    Load(2);
    engine.Select(1);
    const CommandResult r = UndoRedoRoundTrip([&] { return engine.SetTransparency(4); });
    EXPECT_EQ(r.refresh & 0xFF, kOneFrame | kFrameToolbar | kSize);
    EXPECT_TRUE(engine.Doc()->FrameAt(1)->Transparent());
    EXPECT_EQ(engine.Doc()->FrameAt(1)->transparentIndex, 4);
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Edit Transparency\tCtrl-Z");
    UndoRedoRoundTrip([&] { return engine.SetTransparency(std::nullopt); });
    EXPECT_FALSE(engine.Doc()->FrameAt(1)->Transparent());
    EXPECT_EQ(engine.SetTransparency(300).result, Result::Failed);
}

TEST_F(EngineTest, UnoptimizeOptimizeResizeCropReduceAreUndoable) {
    Load(4, 8, 8);
    const CommandResult res = UndoRedoRoundTrip([&] { return engine.Resize(16, 12, ResizeMethod::Nearest); });
    EXPECT_EQ(res.refresh & 0xFF, kDocument | kFrames | kSize);
    EXPECT_EQ(engine.Doc()->width, 16u);
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Scale Animation\tCtrl-Z");

    const CommandResult crop = UndoRedoRoundTrip([&] { return engine.Crop({2, 2, 10, 8}); });
    EXPECT_EQ(crop.refresh & 0xFF, kDocument | kFrames | kSize);
    EXPECT_EQ(engine.Doc()->width, 8u);
    EXPECT_EQ(engine.Doc()->height, 6u);
    EXPECT_EQ(engine.Crop({0, 0, 100, 100}).result, Result::Failed);

    UndoRedoRoundTrip([&] { return engine.Reduce(4, false); });
    EXPECT_LE(engine.Doc()->globalPalette->size(), 4);
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Reduce Palette\tCtrl-Z");

    // Frames that differ from each other in one pixel: the optimizer shrinks
    // them, and unoptimizing makes them whole again.
    auto still = MakeDoc(4, 8, 8);
    for (int i = 1; i < 4; ++i) {
        still->FrameAt(i)->bitmap = still->FrameAt(0)->bitmap;
        still->FrameAt(i)->bitmap->Row(i)[i] = 15;
    }
    engine.SetDocument(std::move(still), "", false);
    const CommandResult opt = UndoRedoRoundTrip([&] { return engine.Execute(CommandId::Optimize); });
    EXPECT_TRUE(opt.refresh & kDocument);
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Optimize Animation\tCtrl-Z");
    EXPECT_LT(engine.Doc()->FrameAt(1)->width, 8);

    UndoRedoRoundTrip([&] { return engine.Execute(CommandId::Unoptimize); });
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Unoptimize Animation\tCtrl-Z");
}

TEST_F(EngineTest, AddCommentGoesAfterTheLastCommentAndIsNotRecorded) {
    Load(1);
    ASSERT_TRUE(engine.AddComment("one").Ok());
    ASSERT_TRUE(engine.AddComment("two").Ok());
    const auto& blocks = engine.Doc()->blocks;
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(CommentText(*AsExtension(blocks[0].get())), "one");
    EXPECT_EQ(CommentText(*AsExtension(blocks[1].get())), "two");
    EXPECT_FALSE(engine.State().history.CanUndo());
    EXPECT_EQ(engine.AddComment(std::string(255, 'x')).result, Result::Failed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("Comment Too Long: ", 0), 0u);
    EXPECT_TRUE(engine.AddComment(std::string(254, 'x')).Ok());
}

TEST_F(EngineTest, UndoLevelsZeroRecordsNothingButCommandsWork) {
    prefs.Set(PreferenceBlock::kUndoLevels, 0);
    Load(3);
    engine.Select(0);
    ASSERT_TRUE(engine.Execute(CommandId::Delete).Ok());
    ASSERT_TRUE(engine.Execute(CommandId::ReverseOrder).Ok());
    ASSERT_TRUE(engine.Resize(3, 2, ResizeMethod::Nearest).Ok());
    EXPECT_EQ(engine.Doc()->width, 3u);
    EXPECT_FALSE(engine.State().history.CanUndo());
    EXPECT_EQ(engine.Execute(CommandId::Undo).result, Result::Failed);
    EXPECT_EQ(engine.State().history.UndoText(), "Can't &Undo\tCtrl-Z");
}

TEST_F(EngineTest, UndoOfAnInsertionRemovedFrameDropsTheSelection) {
    Load(2);
    engine.Select(0);
    engine.Execute(CommandId::Copy);
    engine.Select(-1);
    engine.Execute(CommandId::Paste);
    EXPECT_EQ(engine.State().selected, 2);
    const CommandResult u = engine.Execute(CommandId::Undo);
    EXPECT_EQ(engine.State().FrameCount(), 2);
    EXPECT_EQ(engine.State().selected, -1);
    EXPECT_TRUE(u.refresh & kSelection);
}

TEST_F(EngineTest, SizeTaskReportsTheWrittenSizeAndRestartsAfterEveryChange) {
    Load(5, 20, 20);
    engine.WaitTasks();
    EXPECT_EQ(engine.FileSize(), static_cast<int64_t>(EncodedSize(*CopyAnimation(*engine.Doc()), true,
                                                                  *std::make_unique<SilentProgress>(), prefs)));
    for (int i = 0; i < 20; ++i) {
        engine.Select(i % engine.State().FrameCount());
        engine.Execute(i % 2 ? CommandId::FlipH : CommandId::ReverseOrder);
        engine.SetDelay(i);
        if (i % 5 == 0) engine.Execute(CommandId::Undo);
    }
    engine.WaitTasks();
    const auto copy = CopyAnimation(*engine.Doc());
    SilentProgress p;
    EXPECT_EQ(engine.FileSize(), EncodedSize(*copy, true, p, prefs));
    // The size found is kept in the document, so what reads the size on the
    // window's thread (exports, the optimizer's OK) need not count again;
    // a change that alters the bytes drops it and the next task's size is
    // kept instead.
    EXPECT_EQ(engine.Doc()->cachedSize, engine.FileSize());
    const int32_t before = engine.Doc()->cachedSize;
    engine.Select(0);
    engine.Execute(CommandId::Delete);
    EXPECT_EQ(engine.Doc()->cachedSize, -1);
    engine.WaitTasks();
    const auto after = CopyAnimation(*engine.Doc());
    EXPECT_EQ(engine.Doc()->cachedSize, EncodedSize(*after, true, p, prefs));
    EXPECT_NE(engine.Doc()->cachedSize, before);
}

TEST_F(EngineTest, ViewCommandsSetZoomOrientationAndTransparencyDisplay) {
    Load(1);
    engine.Execute(CommandId::ZoomIn);
    engine.Execute(CommandId::ZoomIn);
    EXPECT_EQ(engine.State().zoom, 2);
    engine.Execute(CommandId::Zoom20);
    EXPECT_EQ(engine.State().zoom, -4);
    engine.Execute(CommandId::ZoomOut);
    EXPECT_EQ(engine.State().zoom, -4);
    engine.Execute(CommandId::ActualSize);
    EXPECT_EQ(engine.State().zoom, 0);
    engine.Execute(CommandId::TransparencyCustom);
    EXPECT_EQ(engine.State().transparencyDisplay, 2);
    engine.Execute(CommandId::Preview);
    EXPECT_TRUE(engine.State().previewOpen);
    engine.Select(0);
    engine.Execute(CommandId::FlipH);  // every change closes the preview
    EXPECT_FALSE(engine.State().previewOpen);
}

TEST(RefreshNames, NamesEveryBit) {
    EXPECT_EQ(refresh::Names(0), "none");
    EXPECT_EQ(refresh::Names(kDocument | kFrameList | kSize), "document frame-list size");
    EXPECT_EQ(refresh::Names((3u << 16) | kOneFrame | kModified), "frame 3 modified");
}

}  // namespace
}  // namespace cinemill
