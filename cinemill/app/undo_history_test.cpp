#include "cinemill/app/undo_history.h"

#include <gtest/gtest.h>

#include "cinemill/app/command_id.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/test_support.h"
#include "cinemill/imaging/geometry.h"
#include "cinemill/imaging/resize.h"

namespace cinemill {
namespace {

using testing_support::GifBytes;
using testing_support::MakeDocument;

std::unique_ptr<Animation> MakeDoc(int n, int w = 6, int h = 4) { return MakeDocument(n, {.width = w, .height = h}); }

std::vector<uint8_t> Bytes(Animation& a) {
    VectorSink sink;
    SilentProgress p;
    EXPECT_EQ(WriteGif(sink, a, p), Result::Done);
    return sink.bytes;
}

struct HistoryTest : ::testing::Test {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    UndoHistory history{prefs, host};
};

TEST_F(HistoryTest, DeleteUndoRedoGivesTheSameBytesAndMovesTheFrameObject) {
    auto doc = MakeDoc(4);
    const auto before = Bytes(*doc);
    Frame* victim = doc->FrameAt(2);
    ASSERT_TRUE(history.RecordFrame(UndoKind::DeleteFrame, RemoveFrame(*doc, 2), 2));
    const auto after = Bytes(*doc);
    EXPECT_EQ(doc->FrameCount(), 3);
    EXPECT_EQ(history.UndoText(), "&Undo Delete Frame\tCtrl-Z");
    EXPECT_EQ(history.RedoText(), "Can't &Redo\tCtrl-Y");
    EXPECT_EQ(history.Step(*doc, false), 0x0Bu);
    EXPECT_EQ(doc->FrameAt(2), victim);  // moved back, not copied
    EXPECT_EQ(Bytes(*doc), before);
    EXPECT_EQ(history.UndoText(), "Can't &Undo\tCtrl-Z");
    EXPECT_EQ(history.RedoText(), "&Redo Delete Frame\tCtrl-Y");
    EXPECT_EQ(history.Step(*doc, true), 0x0Bu);
    EXPECT_EQ(Bytes(*doc), after);
    EXPECT_EQ(history.Step(*doc, true), 0u);  // nothing more to redo
}

// A document read from a file keeps each frame's compressed data; a change
// drops it and undo brings it back with the frame, so saving after undo
// writes the file's own bytes again. The undo cost counts the data.
TEST_F(HistoryTest, UndoBringsBackTheFilesCompressedData) {
    auto made = MakeDoc(2, 6, 4);
    const auto file = Bytes(*made);
    SilentProgress p;
    auto read = ReadGif(file, host, p, prefs);
    ASSERT_TRUE(read.animation);
    Animation& doc = *read.animation;
    ASSERT_TRUE(ValidKeptData(doc, *doc.FrameAt(1)));
    EXPECT_EQ(FrameBytes(*doc.FrameAt(1)),
              FrameBytes(*made->FrameAt(1)) + sizeof(KeptImageData) + doc.FrameAt(1)->keptData->subBlocks.size() -
                  made->FrameAt(1)->name.size() + doc.FrameAt(1)->name.size());
    ASSERT_TRUE(history.RecordDocumentCopy(UndoKind::Scale, doc));
    ASSERT_TRUE(ResizeAnimation(doc, 12, 8, ResizeMethod::Nearest, host, p, prefs) == Result::Done);
    EXPECT_FALSE(ValidKeptData(doc, *doc.FrameAt(1)));
    EXPECT_EQ(history.Step(doc, false), 0x05u);
    ASSERT_TRUE(ValidKeptData(doc, *doc.FrameAt(1)));
    EXPECT_EQ(Bytes(doc), file);
    // A rotation is undone by turning back: the pixels are the file's
    // again, and so are the bytes written from them.
    history.RecordRotation(UndoKind::RotateFrame, doc, (1 << 16) | Id(CommandId::Rotate180));
    ASSERT_NE(RotateFrame(doc, *doc.FrameAt(1), RotateOp::Turn180), RotateResult::Failed);
    EXPECT_NE(Bytes(doc), file);
    history.Step(doc, false);
    auto again = ReadGif(Bytes(doc), host, p, prefs);
    ASSERT_TRUE(again.animation);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(again.animation->FrameAt(i)->bitmap->pixels, doc.FrameAt(i)->bitmap->pixels);
}

TEST_F(HistoryTest, FrameMoveUndoesAndRedoesInBothDirections) {
    for (auto [from, to] : {std::pair{0, 3}, std::pair{3, 0}, std::pair{1, 4}}) {
        auto doc = MakeDoc(4);
        const auto before = Bytes(*doc);
        const int moved = MoveFrame(*doc, from, to);
        ASSERT_NE(moved, from);
        const auto after = Bytes(*doc);
        history.Record(UndoKind::FrameMove, (to << 16) | from);
        EXPECT_EQ(history.Step(*doc, false), 0x11u);
        EXPECT_EQ(Bytes(*doc), before) << from << "->" << to;
        history.Step(*doc, true);
        EXPECT_EQ(Bytes(*doc), after) << from << "->" << to;
    }
}

TEST_F(HistoryTest, RotationUndoRestoresPixelsAndScreen) {
    auto doc = MakeDoc(2, 6, 4);
    const auto before = Bytes(*doc);
    history.RecordRotation(UndoKind::RotateFrame, *doc, (1 << 16) | Id(CommandId::Rotate90Cw));
    ASSERT_EQ(RotateFrame(*doc, *doc->FrameAt(1), RotateOp::Cw90), RotateResult::ScreenGrew);
    const auto after = Bytes(*doc);
    EXPECT_EQ(doc->width, 6u);
    EXPECT_EQ(doc->height, 6u);
    const uint32_t flags = history.Step(*doc, false);
    EXPECT_EQ(flags & 0x05u, 0x05u);  // the screen went back: frames changed
    EXPECT_EQ(doc->height, 4u);
    EXPECT_EQ(Bytes(*doc), before);
    history.Step(*doc, true);
    EXPECT_EQ(Bytes(*doc), after);
}

TEST_F(HistoryTest, LevelsLimitAndRedoBranch) {
    prefs.Set(PreferenceBlock::kUndoLevels, 2);
    auto doc = MakeDoc(5);
    for (int i = 0; i < 3; ++i) history.RecordFrame(UndoKind::DeleteFrame, RemoveFrame(*doc, 0), 0);
    EXPECT_EQ(history.Count(), 2);
    EXPECT_NE(history.Step(*doc, false), 0u);
    EXPECT_NE(history.Step(*doc, false), 0u);
    EXPECT_EQ(history.Step(*doc, false), 0u);  // the oldest was dropped
    EXPECT_EQ(doc->FrameCount(), 4);
    history.Step(*doc, true);
    history.Record(UndoKind::Reorder, 0);
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.Count(), 2);
}

TEST_F(HistoryTest, LevelsZeroRecordsNothing) {
    prefs.Set(PreferenceBlock::kUndoLevels, 0);
    auto doc = MakeDoc(2);
    EXPECT_FALSE(history.Record(UndoKind::Reorder, 0));
    EXPECT_FALSE(history.RecordDocumentCopy(UndoKind::Scale, *doc));
    EXPECT_EQ(history.Begin(UndoKind::InsertFrames, doc.get(), 0), nullptr);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());
}

TEST_F(HistoryTest, LowMemoryDropsOldestAndWarnsOnce) {
    auto doc = MakeDoc(3);
    history.Record(UndoKind::Reorder, 0);
    history.Record(UndoKind::Reorder, 0);
    history.FailNextCopies(1);
    EXPECT_TRUE(history.RecordDocumentCopy(UndoKind::Scale, *doc));
    EXPECT_EQ(history.Count(), 2);  // one old record made room
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0],
              "Undo Warning: There is insufficient memory for full Undo capabilities. Only the most "
              "recent actions will be undoable in this session.");
    history.FailNextCopies(10);
    EXPECT_FALSE(history.RecordFrameCopy(UndoKind::CropMoveFrame, *doc->FrameAt(0), 0));
    EXPECT_EQ(history.Count(), 0);
    EXPECT_EQ(host.messages.size(), 1u);  // once per run
}

TEST_F(HistoryTest, LightInsertBracketPutsBackTheSameFrameObjects) {
    auto doc = MakeDoc(3);
    const auto before = Bytes(*doc);
    auto pending = history.Begin(UndoKind::InsertFrames, doc.get(), 1);
    ASSERT_NE(pending, nullptr);
    auto extra = MakeDoc(2);
    Frame* f0 = extra->FrameAt(0);
    for (auto& b : extra->blocks) doc->blocks.insert(doc->blocks.begin() + 1 + (&b - &extra->blocks[0]), std::move(b));
    const auto after = Bytes(*doc);
    history.Commit(std::move(pending), *doc);
    EXPECT_EQ(history.Current()->snapshot, nullptr);  // light
    EXPECT_EQ(history.Current()->value, (2 << 16) | 1);
    EXPECT_EQ(history.Step(*doc, false), 0x0Bu);
    EXPECT_EQ(Bytes(*doc), before);
    history.Step(*doc, true);
    EXPECT_EQ(doc->FrameAt(1), f0);
    EXPECT_EQ(Bytes(*doc), after);
}

TEST_F(HistoryTest, TransparencyExchangeRestoresTheOldIndex) {
    auto doc = MakeDoc(1);
    Frame& f = *doc->FrameAt(0);
    SetTransparent(f, true);
    SetTransparentIndex(f, 3);
    const auto before = Bytes(*doc);
    history.RecordTransparency(f, 0, 1);
    SetTransparentIndex(f, 7);
    const auto after = Bytes(*doc);
    EXPECT_EQ(history.Step(*doc, false), 0x60u);
    EXPECT_EQ(Bytes(*doc), before);
    history.Step(*doc, true);
    EXPECT_EQ(Bytes(*doc), after);
}

TEST_F(HistoryTest, SnapshotKindsExchangeAndNopDoesNothing) {
    auto doc = MakeDoc(3);
    const auto before = Bytes(*doc);
    ASSERT_TRUE(history.RecordDocumentCopy(UndoKind::Scale, *doc));
    ASSERT_TRUE(ResizeAnimation(*doc, 12, 8, ResizeMethod::Nearest, host, *std::make_unique<SilentProgress>(), prefs) == Result::Done);
    const auto after = Bytes(*doc);
    EXPECT_EQ(history.Step(*doc, false), 0x05u);
    EXPECT_EQ(Bytes(*doc), before);
    history.Step(*doc, true);
    EXPECT_EQ(Bytes(*doc), after);
    history.Record(UndoKind::Reorder, 0);
    history.MarkAsNop(history.Current());
    EXPECT_EQ(history.UndoText(), "&Undo NOP\tCtrl-Z");
    EXPECT_EQ(history.Step(*doc, false), 0x80u);
    EXPECT_EQ(Bytes(*doc), after);
    EXPECT_GT(history.HeldBytes(), 0u);
    history.Clear();
    EXPECT_EQ(history.Step(*doc, false), 0u);
}

}  // namespace
}  // namespace cinemill
