#include <gtest/gtest.h>

#include <string>

#include "cinemill/app/engine.h"
#include "cinemill/app/geometry_dialogs.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/render.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/color_reduce.h"
#include "cinemill/imaging/geometry.h"
#include "cinemill/imaging/optimize.h"

namespace cinemill {
namespace {

const std::string kWaves = std::string(CM_CORPUS_DIR) + "/libnsgif/test/data/waves.gif";
const std::string kWelcome = std::string(CM_CORPUS_DIR) + "/giflib/pic/welcome2.gif";

std::vector<uint8_t> GifBytes(const Animation& doc) {
    auto copy = CopyAnimation(doc);
    VectorSink sink;
    SilentProgress p;
    EXPECT_EQ(WriteGif(sink, *copy, p), Result::Done);
    return sink.bytes;
}

class EscPressed : public ProgressReporter {
public:
    bool StopRequested() const override { return true; }
};

// Reporters that ask to stop at their first check, as Esc in the progress
// dialog does.
class AbortingFactory : public ProgressFactory {
public:
    int made = 0;
    std::unique_ptr<ProgressReporter> Make(ProgressMode) override {
        ++made;
        return std::make_unique<EscPressed>();
    }
};

struct OperationsTest : ::testing::Test {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    MemoryClipboard clipboard;
    Engine engine{prefs, host, clipboard};

    void Open(const std::string& path) {
        ASSERT_TRUE(engine.Open({path}).Ok()) << path;
        engine.WaitTasks();
    }
    std::vector<uint8_t> Bytes() {
        engine.WaitTasks();
        return GifBytes(*engine.Doc());
    }
    void ExpectUndoRedo(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
        ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
        EXPECT_EQ(Bytes(), before);
        ASSERT_TRUE(engine.Execute(CommandId::Redo).Ok());
        EXPECT_EQ(Bytes(), after);
    }
};

TEST_F(OperationsTest, MoveCropFrameCropsMovesAndIsOneUndoStep) {
    Open(kWaves);
    engine.Select(2);
    const auto before = Bytes();
    const Frame& f = *engine.Doc()->FrameAt(2);
    MoveCropState s = MoveCropStart(*engine.Doc(), f);
    s.crop = {10, 5, 60, 40};
    s.x += 7;
    const CommandResult r = engine.MoveCropFrame(s);
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.refresh & refresh::kOneFrame);
    EXPECT_EQ(r.refresh >> 16, 2u);
    const Frame& g = *engine.Doc()->FrameAt(2);
    EXPECT_EQ(g.width, 50);
    EXPECT_EQ(g.height, 35);
    EXPECT_EQ(g.left, s.x + 10);
    EXPECT_EQ(g.top, s.y + 5);
    EXPECT_EQ(engine.State().history.CurrentKind(), UndoKind::CropMoveFrame);
    const auto after = Bytes();
    EXPECT_NE(before, after);
    ExpectUndoRedo(before, after);
}

TEST_F(OperationsTest, MoveCropFrameWithoutChangeRecordsNothing) {
    Open(kWaves);
    engine.Select(0);
    const auto before = Bytes();
    const MoveCropState s = MoveCropStart(*engine.Doc(), *engine.Doc()->FrameAt(0));
    const CommandResult r = engine.MoveCropFrame(s);
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.refresh, 0u);
    EXPECT_FALSE(engine.State().history.CanUndo());
    EXPECT_FALSE(engine.State().modified);
    EXPECT_EQ(Bytes(), before);
}

TEST_F(OperationsTest, MoveCropFrameWithoutSelectionBeeps) {
    Open(kWaves);
    const CommandResult r = engine.MoveCropFrame(MoveCropState{});
    EXPECT_EQ(r.result, Result::Failed);
    EXPECT_EQ(host.beeps, 1);
}

TEST_F(OperationsTest, ReduceFrameCountDeletesEveryNthAndUndoRestores) {
    Open(kWaves);
    ASSERT_EQ(engine.Doc()->FrameCount(), 10);
    std::vector<uint32_t> delays;
    for (const Frame* f : engine.Doc()->Frames()) delays.push_back(f->delay);
    engine.Select(9);
    const auto before = Bytes();
    const CommandResult r = engine.ReduceFrameCount(3);
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.refresh & refresh::kFrameList);
    ASSERT_EQ(engine.Doc()->FrameCount(), 7);
    // Positions 2, 5 and 8 went; the others keep their delays.
    const std::vector<int> kept = {0, 1, 3, 4, 6, 7, 9};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(engine.Doc()->FrameAt(i)->delay, delays[kept[i]]) << i;
    EXPECT_EQ(engine.State().selected, 6);
    EXPECT_EQ(engine.State().history.CurrentKind(), UndoKind::ReduceFrameCount);
    ExpectUndoRedo(before, Bytes());
}

TEST_F(OperationsTest, ReduceFrameCountRefusesIntervalsOutsideTheRange) {
    Open(kWaves);
    const auto before = Bytes();
    for (int n : {1, 0, -3, 11}) {
        EXPECT_EQ(engine.ReduceFrameCount(n).result, Result::Failed) << n;
    }
    ASSERT_EQ(host.messages.size(), 4u);
    EXPECT_EQ(host.messages[0],
              "Invalid Deletion Interval: The deletion interval must be in the range between 2 and the "
              "total number of frames.");
    EXPECT_EQ(Bytes(), before);
    EXPECT_FALSE(engine.State().history.CanUndo());
    EXPECT_TRUE(engine.ReduceFrameCount(10).Ok());
    EXPECT_EQ(engine.Doc()->FrameCount(), 9);
}

TEST_F(OperationsTest, AcceptReducedEqualsTheEngineReductionAndStoresSlot8) {
    Open(kWelcome);
    const auto before = Bytes();
    // The dialog's preview: a deep copy reduced with the same values.
    auto copy = CopyAnimation(*engine.Doc());
    SilentProgress p;
    ASSERT_EQ(ReduceAnimation(*copy, 16, true, p, host), Result::Done);
    ASSERT_TRUE(engine.AcceptReduced(std::move(copy), 16, true).Ok());
    const auto accepted = Bytes();
    EXPECT_NE(accepted, before);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kColorReduction), 0x10010u);
    EXPECT_EQ(engine.State().history.CurrentKind(), UndoKind::ReducePalette);
    ExpectUndoRedo(before, accepted);
    ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
    ASSERT_TRUE(engine.Reduce(16, true).Ok());
    EXPECT_EQ(Bytes(), accepted);
}

TEST_F(OperationsTest, AcceptOptimizedSwapsTheCopyOrChangesNothingAtEqualSize) {
    // A file the optimizer makes smaller (the corpus files tried here are
    // already written at their smallest, and their kept data stands).
    Open(std::string(CM_TESTDATA_DIR) + "/sample.gif");
    const auto before = Bytes();
    auto copy = CopyAnimation(*engine.Doc());
    SilentProgress p;
    ASSERT_EQ(Optimize(*copy, 0x46A, host, p, prefs), Result::Done);
    const CommandResult accepted_result = engine.AcceptOptimized(std::move(copy), 0x46A);
    ASSERT_EQ(accepted_result.result, Result::Done);
    const auto accepted = Bytes();
    EXPECT_EQ(prefs.Get(PreferenceBlock::kOptimizer), 0x46Au);
    EXPECT_EQ(engine.State().history.CurrentKind(), UndoKind::Optimize);
    ExpectUndoRedo(before, accepted);
    ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
    ASSERT_TRUE(engine.Optimize(0x46A).Ok());
    EXPECT_EQ(Bytes(), accepted);

    // An unchanged copy has the document's size: nothing happens.
    const auto now = Bytes();
    const UndoKind kind = engine.State().history.CurrentKind();
    const CommandResult same = engine.AcceptOptimized(CopyAnimation(*engine.Doc()), 0x02);
    EXPECT_EQ(same.result, Result::Stopped);
    EXPECT_EQ(Bytes(), now);
    EXPECT_EQ(engine.State().history.CurrentKind(), kind);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kOptimizer), 0x02u);
}

// Esc in the progress dialog: every long operation answers Stopped and the
// document writes the bytes it wrote before, with no undo step.
TEST(OperationsStopTest, EscStopsLongOperationsAndLeavesTheDocument) {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    MemoryClipboard clipboard;
    AbortingFactory factory;
    Engine engine{prefs, host, clipboard, &factory};
    {
        // Opening itself must not be stopped: read with a plain engine.
        PreferenceBlock p2;
        Engine reader{p2, host, clipboard};
        ASSERT_TRUE(reader.Open({kWelcome}).Ok());
        engine.SetDocument(CopyAnimation(*reader.Doc()), kWelcome, false);
    }
    engine.WaitTasks();
    const auto before = GifBytes(*engine.Doc());
    const struct {
        const char* name;
        std::function<CommandResult()> run;
    } ops[] = {
        {"reduce", [&] { return engine.Reduce(8, true); }},
        {"optimize", [&] { return engine.Optimize(0x46A); }},
        {"resize", [&] { return engine.Resize(145, 24, ResizeMethod::Nearest); }},
        {"bicubic", [&] { return engine.Resize(400, 70, ResizeMethod::Bicubic); }},
    };
    for (const auto& op : ops) {
        const int made = factory.made;
        EXPECT_EQ(op.run().result, Result::Stopped) << op.name;
        EXPECT_GT(factory.made, made) << op.name;
        engine.WaitTasks();
        EXPECT_EQ(GifBytes(*engine.Doc()), before) << op.name;
        // No step that would change anything: none, or one marked as doing nothing.
        const UndoKind k = engine.State().history.CurrentKind();
        EXPECT_TRUE(k == UndoKind::None || k == UndoKind::Nop) << op.name;
        EXPECT_FALSE(engine.State().modified) << op.name;
    }
}

}  // namespace
}  // namespace cinemill
