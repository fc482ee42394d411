// Runs cinemill-cli edit as a user would: steps through the editor engine,
// the --trace lines, the answer queue, and bad steps that never touch a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cinemill/cli/cli_test_support.h"
#include "cinemill/gif/gif_builder.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

namespace fs = std::filesystem;
using testing_cli::Cli;

const std::string kSample = std::string(CM_TESTDATA_DIR) + "/sample.gif";
const char* const kPrefNoSignature =
    "Pref=hex:0a,00,00,00,00,00,00,00,24,00,00,00,00,00,00,00,00,00,00,00,6a,04,00,00,08,00,00,00,00,00,00,00,07,00,00,00,01,00,00,00,01,02,88,00,00,00,00,00,64,00,00,00";

class CliEditTest : public testing_cli::DirTest {
protected:
    void SetUp() override {
        DirTest::SetUp();
        in_ = (dir_ / "in.gif").string();
        fs::copy_file(kSample, in_);
        original_ = testing::FileBytes(in_);
        // Signature comments off, so that saved files hold only the edits.
        // The settings file as the editor keeps it: the default slots with
        // program flag 0x8 (slot 6, bytes 24 to 27).
        prefs_ = (dir_ / "prefs.ini").string();
        std::ofstream(prefs_) << "; program flags: no signature comment\n"
                              << "[Software\\Pellworth\\Cinemill\\2.0]\n" << kPrefNoSignature << "\n"
                              << "NPref=dword:0000000d\n";
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::unique_ptr<Animation> Load(const std::string& path) {
        auto r = testing::ReadBytes(testing::FileBytes(path));
        EXPECT_EQ(r.outcome.result, Result::Done) << path;
        return std::move(r.outcome.animation);
    }
    std::string Edit(const std::string& rest) { return "edit " + in_ + " --prefs " + prefs_ + " " + rest; }

    std::string in_, prefs_;
    std::vector<uint8_t> original_;
};

TEST_F(CliEditTest, StepsChangeTheDocumentAndOnlyTheOutputIsWritten) {
    const auto out = Path("out.gif");
    const auto r = Cli(Edit("-o " + out + " select 1 delete delay 50 loop 3 reverse"));
    ASSERT_EQ(r.status, 0) << r.err;
    auto a = Load(out);
    ASSERT_EQ(a->FrameCount(), 2);
    EXPECT_EQ(a->playCount, 3u);
    // The delete left frame 2 selected at index 1; it got delay 50 and the
    // reversal put it first.
    auto original = Load(in_);
    EXPECT_EQ(a->FrameAt(0)->delay, 50u);
    EXPECT_EQ(a->FrameAt(0)->bitmap->pixels, original->FrameAt(2)->bitmap->pixels);
    EXPECT_EQ(a->FrameAt(1)->bitmap->pixels, original->FrameAt(0)->bitmap->pixels);
    EXPECT_EQ(testing::FileBytes(in_), original_);
}

TEST_F(CliEditTest, UndoGivesBackTheSameBytesAndRedoRepeats) {
    const auto plain = Path("plain.gif"), undone = Path("undone.gif"), once = Path("once.gif"),
               redone = Path("redone.gif");
    ASSERT_EQ(Cli(Edit("-o " + plain)).status, 0);
    for (const std::string steps : {"select 2 delete", "reverse", "rotate-all flipv", "select 0 rotate 90cw",
                                    "select 1 transparency 1", "move 2 0", "crop 0 0 40 30",
                                    "resize 24 16 bicubic", "optimize", "reduce 4 dither",
                                    "select 1 cut", "select 0 copy paste"}) {
        SCOPED_TRACE(steps);
        ASSERT_EQ(Cli(Edit("-o " + undone + " " + steps + " undo")).status, 0);
        ASSERT_EQ(Cli(Edit("-o " + once + " " + steps)).status, 0);
        ASSERT_EQ(Cli(Edit("-o " + redone + " " + steps + " undo redo")).status, 0);
        EXPECT_EQ(testing::FileBytes(undone), testing::FileBytes(plain));
        EXPECT_EQ(testing::FileBytes(redone), testing::FileBytes(once));
        EXPECT_NE(testing::FileBytes(once), testing::FileBytes(plain));
    }
}

TEST_F(CliEditTest, TraceShowsRefreshFlagsAndUndoRedoTexts) {
    const auto r = Cli(Edit("--trace select 0 delete undo"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("[select 0] refresh: selection\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[delete] refresh: document frame-list size selection total-time modified\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("[delete] undo: Undo Delete Frame\n"), std::string::npos);
    EXPECT_NE(r.out.find("[delete] document: 2 frames, selected 0, modified\n"), std::string::npos);
    EXPECT_NE(r.out.find("[select 0] document: 3 frames, selected 0, not modified\n"), std::string::npos);
    EXPECT_NE(r.out.find("[delete] redo: Can't Redo\n"), std::string::npos);
    EXPECT_NE(r.out.find("[undo] undo: Can't Undo\n"), std::string::npos);
    EXPECT_NE(r.out.find("[undo] redo: Redo Delete Frame\n"), std::string::npos);
    EXPECT_EQ(testing::FileBytes(in_), original_);
}

TEST_F(CliEditTest, CopyPasteAndInsertThroughTheEngine) {
    const auto out = Path("out.gif");
    ASSERT_EQ(Cli(Edit("-o " + out + " select 2 copy select 0 paste insert " + kSample)).status, 0);
    auto a = Load(out);
    auto original = Load(in_);
    // Paste went before frame 0; the inserted file's frames before the pasted frame.
    ASSERT_EQ(a->FrameCount(), 7);
    EXPECT_EQ(a->FrameAt(0)->bitmap->pixels, original->FrameAt(0)->bitmap->pixels);
    EXPECT_EQ(a->FrameAt(3)->bitmap->pixels, original->FrameAt(2)->bitmap->pixels);
    EXPECT_EQ(a->FrameAt(4)->bitmap->pixels, original->FrameAt(0)->bitmap->pixels);
}

TEST_F(CliEditTest, SaveAsWritesTheNamedFileAndSaveWritesItAgain) {
    const auto named = Path("named.gif");
    ASSERT_EQ(Cli(Edit("save-as " + named + " select 0 delete save")).status, 0);
    EXPECT_EQ(Load(named)->FrameCount(), 2);
    EXPECT_EQ(testing::FileBytes(in_), original_);
}

TEST_F(CliEditTest, QuestionsAreAnsweredFromTheQueue) {
    // A frame that reaches beyond the screen: saving asks whether to clip.
    auto bytes = testing::GifBuilder(8, 8).Image(4, 4, 8, 8, std::vector<uint8_t>(64, 1)).b;
    const auto wide = Path("wide.gif");
    std::ofstream(wide, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
    const auto out = Path("out.gif");
    auto none = Cli("edit " + wide + " -o " + out);
    EXPECT_NE(none.status, 0);
    EXPECT_NE(none.err.find("no answer left for"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_NE(Cli("edit " + wide + " --answer no -o " + out).status, 0);
    EXPECT_FALSE(fs::exists(out));
    auto yes = Cli("edit " + wide + " --answer yes --trace -o " + out);
    ASSERT_EQ(yes.status, 0) << yes.err;
    auto a = Load(out);
    EXPECT_EQ(a->FrameAt(0)->width, 4);
    EXPECT_EQ(a->FrameAt(0)->height, 4);
}

TEST_F(CliEditTest, BadStepsNameTheStepExitTwoAndTouchNothing) {
    const auto out = Path("out.gif");
    for (const std::string steps :
         {"delay abc", "delay 70000", "disposal 5", "transparency 300", "interlace maybe", "loop -1",
          "rotate 45", "rotate-all sideways", "resize 0 10", "resize 10 10 smooth", "crop 0 0 x 8",
          "reduce 1", "reduce 16 blurry", "comment remove x", "move 1", "frobnicate", "select",
          "select 9", "move 7 0", "crop 0 0 100 100", "select 0 delete select 2"}) {
        SCOPED_TRACE(steps);
        const auto r = Cli(Edit("-o " + out + " " + steps));
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("edit: "), std::string::npos);
        const std::string first = steps.substr(0, steps.find(' '));
        EXPECT_NE(r.err.find(steps == "select 0 delete select 2" ? "'select 2'" : first), std::string::npos)
            << r.err;
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(testing::FileBytes(in_), original_);
    }
    EXPECT_EQ(Cli("edit").status, 2);
    EXPECT_EQ(Cli("edit " + in_ + " --answer perhaps").status, 2);
    EXPECT_EQ(Cli("edit " + Path("missing.gif") + " delete").status, 1);
}

// The comment blocks' texts of a GIF file.
std::vector<std::string> Comments(const Animation& a) {
    std::vector<std::string> out;
    for (const auto& b : a.blocks)
        if (b->kind == BlockKind::Comment) out.push_back(CommentText(static_cast<const ExtensionBlock&>(*b)));
    return out;
}

TEST_F(CliEditTest, PrefsComeFromTheSettingsFileWhichIsNeverWritten) {
    // Signature on, with the file's own text; undo levels from the block.
    const auto ini = Path("sig.ini");
    std::string pref = kPrefNoSignature;
    pref.replace(pref.find("08,00,00,00,00,00"), 2, "00");
    std::ofstream(ini) << "[Software\\Pellworth\\Cinemill\\2.0]\n" << pref << "\nNPref=dword:0000000d\n"
                       << "Sig=\"Made in a \\\"batch\\\"\"\n";
    const auto before = testing::FileBytes(ini);
    const auto out = Path("out.gif");
    const auto r = Cli("edit " + in_ + " --prefs " + ini + " -o " + out + " select 0 delay 30");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Comments(*Load(out)), std::vector<std::string>{"Made in a \"batch\""});
    EXPECT_EQ(testing::FileBytes(ini), before);
    // The fixture's file switches the signature off: no comment at all.
    const auto plain = Path("plain.gif");
    ASSERT_EQ(Cli(Edit("-o " + plain + " select 0 delay 30")).status, 0);
    EXPECT_TRUE(Comments(*Load(plain)).empty());
}

TEST_F(CliEditTest, ABadPrefsFileIsRefusedWithStatusTwo) {
    const auto out = Path("out.gif");
    auto run = [&](const std::string& file) { return Cli("edit " + in_ + " --prefs " + file + " -o " + out + " reverse"); };
    auto r = run(Path("missing.ini"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot read preferences file"), std::string::npos) << r.err;
    // The old one-slot-per-line form, and a section of another program.
    const auto old = Path("old.txt");
    std::ofstream(old) << "6=0x8\n";
    r = run(old);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no Pref or Sig value"), std::string::npos) << r.err;
    const auto other = Path("other.ini");
    std::ofstream(other) << "[Software\\Other]\n" << kPrefNoSignature << "\n";
    EXPECT_EQ(run(other).status, 2);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(testing::FileBytes(in_), original_);
}

TEST_F(CliEditTest, FailedStepsStopWithStatusOne) {
    const auto out = Path("out.gif");
    const auto r = Cli(Edit("-o " + out + " paste"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot paste any of the available formats."), std::string::npos);
    EXPECT_NE(r.err.find("step 'paste' failed"), std::string::npos);
    EXPECT_FALSE(fs::exists(out));
    const auto d = Cli(Edit("-o " + out + " delete"));
    EXPECT_EQ(d.status, 1);
    EXPECT_NE(d.err.find("no frame selected"), std::string::npos);
}

// ---- import and export steps ----

TEST_F(CliEditTest, ExportStepsWriteFilesAndLeaveTheInputAlone) {
    const auto cursor = Path("c.ani"), avi = Path("a.avi");
    const auto r = Cli(Edit("export-cursor " + cursor + " html"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(cursor));
    EXPECT_NE(r.out.find("<img src=\"in.gif\" width=48 height=32 border=0>"), std::string::npos) << r.out;
    // Local palettes cannot go into an AVI: a message, a failure, no file.
    const auto bad = Cli(Edit("export-avi " + avi));
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.err.find("local palettes"), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(avi));
    EXPECT_EQ(testing::FileBytes(in_), original_);
}

TEST_F(CliEditTest, ImportReplacesTheDocumentAndItsFramesExport) {
    const std::string bmp = std::string(CM_CORPUS_DIR) + "/bmpsuite/g/pal8.bmp";
    if (!fs::exists(bmp)) GTEST_SKIP();
    const auto out = Path("out.gif"), strip = Path("strip.gif"), avi = Path("a.avi");
    const auto r = Cli(Edit("-o " + out + " import " + bmp + " export-filmstrip " + strip + " export-avi " + avi));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Load(out)->FrameCount(), 1);
    EXPECT_EQ(Load(strip)->FrameCount(), 1);
    EXPECT_TRUE(fs::exists(avi));
    EXPECT_EQ(testing::FileBytes(in_), original_);
}

}  // namespace
}  // namespace cinemill
