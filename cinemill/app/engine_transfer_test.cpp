#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/ani.h"
#include "cinemill/formats/avi.h"
#include "cinemill/formats/open_file.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/test_support.h"
#include "cinemill/imaging/palette_edit.h"

namespace cinemill {
namespace {

using testing_support::GifBytes;
using testing_support::MakeDocument;

namespace fs = std::filesystem;
using namespace refresh;

std::string Corpus(const std::string& rel) { return std::string(CM_CORPUS_DIR) + "/" + rel; }

std::unique_ptr<Animation> MakeDoc(int n, int w = 6, int h = 4) {
    return MakeDocument(n, {.width = w, .height = h, .delayStep = 10});
}

std::vector<uint8_t> Pixels(const Frame& f) {
    std::vector<uint8_t> out;
    for (int y = 0; y < f.bitmap->height; ++y)
        out.insert(out.end(), f.bitmap->Row(y), f.bitmap->Row(y) + f.bitmap->width);
    return out;
}

struct TransferTest : ::testing::Test {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    MemoryClipboard clipboard;
    Engine engine{prefs, host, clipboard};
    std::string dir;

    TransferTest() {
        dir = (fs::temp_directory_path() / ("cm_transfer_" + std::to_string(::getpid()))).string();
        fs::create_directories(dir);
    }
    ~TransferTest() override {
        engine.StopTasks();
        fs::remove_all(dir);
    }
    std::string Out(const std::string& name) const { return dir + "/" + name; }
    void Load(int frames, int w = 6, int h = 4) { engine.SetDocument(MakeDoc(frames, w, h), "", false); }
    std::vector<uint8_t> Bytes() {
        engine.WaitTasks();
        return GifBytes(*engine.Doc());
    }
    // An animated cursor of two 16 x 16 frames (the corpus cursors are
    // deeper than the importer reads).
    std::string MakeCursor() {
        auto a = MakeDoc(2, 16, 16);
        ScriptedUiHost h;
        const auto bytes = BuildAni(*a, h);
        const std::string path = Out("made.ani");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

// One file of each importer the open command chooses by extension.
const char* const kImportFiles[] = {
    "ffmpeg-generated-avi/muybridge-pal8.avi",
    "bmpsuite/g/pal8.bmp",
    "pillow/Tests/images/hopper.jpg",
    "ag-psd/test/read/layers/src.psd",
};

TEST_F(TransferTest, ImportFromReplacesTheDocumentAfterTheSaveQuestion) {
    const std::pair<CommandId, const char*> cases[] = {
        {CommandId::ImportAvi, kImportFiles[0]},  {CommandId::ImportBmp, kImportFiles[1]},
        {CommandId::ImportJpeg, kImportFiles[2]}, {CommandId::ImportPsd, kImportFiles[3]},
        {CommandId::ImportCursor, ""},
    };
    const std::string cursor = MakeCursor();
    for (const auto& [id, rel] : cases) {
        SCOPED_TRACE(rel);
        const std::string path = *rel ? Corpus(rel) : cursor;
        if (!fs::exists(path)) GTEST_SKIP() << path;
        // What the reader alone gives.
        ScriptedUiHost direct;
        SilentProgress progress;
        PreferenceBlock p2;
        const ImportOutcome ref = ReadImageFile(path, direct, progress, p2);
        ASSERT_NE(ref.animation, nullptr);

        Load(3);
        engine.Select(0);
        engine.Execute(CommandId::Delete);
        ASSERT_TRUE(engine.State().modified);
        const auto before = Bytes();

        // Cancel at the save question keeps the document as it was.
        host.openAnswers.push_back({path});
        host.openAnswers.push_back({path});
        host.choices.push_back(Answer::Cancel);
        EXPECT_EQ(engine.Execute(id).result, Result::Stopped);
        EXPECT_EQ(Bytes(), before);

        // No to the question: the file becomes the untitled, modified document.
        host.choices.push_back(Answer::No);
        const CommandResult r = engine.Execute(id);
        ASSERT_EQ(r.result, Result::Done) << (host.errors.empty() ? "" : host.errors.back());
        EXPECT_TRUE(r.refresh & kNewDocument);
        EXPECT_EQ(engine.State().FrameCount(), ref.animation->FrameCount());
        EXPECT_EQ(engine.Doc()->width, ref.animation->width);
        EXPECT_TRUE(engine.State().modified);
        EXPECT_TRUE(engine.State().path.empty());
        EXPECT_FALSE(engine.State().history.CanUndo());
        host.openAnswers.clear();
    }
    // The file dialog's Cancel does nothing at all.
    Load(2);
    const auto before = Bytes();
    EXPECT_EQ(engine.Execute(CommandId::ImportAvi).result, Result::Stopped);
    EXPECT_EQ(Bytes(), before);
    EXPECT_TRUE(host.questions.size() >= 5);
}

TEST_F(TransferTest, InsertBringsEachFormatInAtTheSelectionAndUndoRemovesItExactly) {
    std::vector<std::string> paths;
    for (const char* rel : kImportFiles) paths.push_back(Corpus(rel));
    paths.push_back(MakeCursor());
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        if (!fs::exists(path)) GTEST_SKIP() << path;
        Load(3, 64, 48);
        engine.Select(1);
        const auto before = Bytes();
        const CommandResult r = engine.Insert({path});
        ASSERT_EQ(r.result, Result::Done) << (host.errors.empty() ? "" : host.errors.back());
        const int added = engine.State().FrameCount() - 3;
        EXPECT_GT(added, 0);
        // The new frames stand before the selected one.
        EXPECT_EQ(engine.Doc()->FrameAt(1 + added)->name, "f1");
        EXPECT_NE(Bytes(), before);
        ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
        EXPECT_EQ(engine.State().FrameCount(), 3);
        EXPECT_EQ(Bytes(), before);
    }
}

TEST_F(TransferTest, FilmstripExportAndImportGiveTheFramesBack) {
    Load(5, 6, 4);
    const auto docBytes = Bytes();
    const std::string strip = Out("strip.gif");
    // The options are asked before the save dialog; two frames per row.
    host.filmstripExportAnswers.push_back(FilmstripExportOptions{false, 2});
    host.saveAnswers.push_back(strip);
    ASSERT_EQ(engine.Execute(CommandId::ExportFilmstrip).result, Result::Done);
    EXPECT_EQ(host.filmstripExportQuestions, 1);
    ASSERT_EQ(host.saveStarts.size(), 1u);
    EXPECT_EQ(host.saveStarts[0], "");
    EXPECT_EQ(Bytes(), docBytes);
    EXPECT_FALSE(engine.State().modified);

    {
        ScriptedUiHost h2;
        SilentProgress progress;
        PreferenceBlock p2;
        auto read = OpenGifFile(strip, h2, progress, p2);
        ASSERT_NE(read.animation, nullptr);
        EXPECT_EQ(read.animation->FrameCount(), 1);
        EXPECT_EQ(read.animation->width, 12u);
        EXPECT_EQ(read.animation->height, 12u);
    }

    // Back in with a 2 x 3 grid: the first five cells are the frames.
    std::vector<std::vector<uint8_t>> original;
    for (const Frame* f : engine.Doc()->Frames()) original.push_back(Pixels(*f));
    host.filmstripImportAnswers.push_back(FilmstripImportOptions{2, 3, false});
    const CommandResult r = engine.ImportFilmstrip(strip);
    ASSERT_EQ(r.result, Result::Done) << (host.errors.empty() ? "" : host.errors.back());
    ASSERT_EQ(engine.State().FrameCount(), 6);
    EXPECT_EQ(engine.Doc()->width, 6u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Pixels(*engine.Doc()->FrameAt(i)), original[size_t(i)]) << i;
    // Untitled and modified: Save never writes the cells over the filmstrip.
    EXPECT_TRUE(engine.State().path.empty());
    EXPECT_TRUE(engine.State().modified);
}

TEST_F(TransferTest, FilmstripExportCancelledOrRefusedWritesNothing) {
    Load(3);
    const std::string strip = Out("none.gif");
    // Cancel in the options: no save dialog.
    host.filmstripExportAnswers.push_back(std::nullopt);
    EXPECT_EQ(engine.ExportFilmstrip().result, Result::Stopped);
    EXPECT_TRUE(host.saveStarts.empty());
    // Cancel in the save dialog after the strip was written.
    EXPECT_EQ(engine.ExportFilmstrip().result, Result::Stopped);
    EXPECT_EQ(host.saveStarts.size(), 1u);
    // Frames of different transparency are refused before any question.
    engine.Select(1);
    engine.SetTransparency(3);
    host.saveAnswers.push_back(strip);
    EXPECT_EQ(engine.ExportFilmstrip().result, Result::Failed);
    EXPECT_FALSE(fs::exists(strip));
    ASSERT_FALSE(host.errors.empty());
    EXPECT_NE(host.errors.back().find("transparency"), std::string::npos);
    EXPECT_EQ(host.filmstripExportQuestions, 2);
}

TEST_F(TransferTest, FilmstripImportRefusalsLeaveNoDocument) {
    Load(3);
    const std::string multi = Out("multi.gif");
    ASSERT_TRUE(engine.Save(true, multi).Ok());
    // Three frames are no filmstrip.
    EXPECT_EQ(engine.ImportFilmstrip(multi).result, Result::Failed);
    EXPECT_EQ(engine.Doc(), nullptr);
    ASSERT_FALSE(host.errors.empty());
    EXPECT_NE(host.errors.back().find("filmstrip"), std::string::npos);
    // A grid that does not divide the width, and a cancelled grid question.
    engine.SetDocument(MakeDoc(1, 10, 4), "", false);
    const std::string one = Out("one.gif");
    ASSERT_TRUE(engine.Save(true, one).Ok());
    host.filmstripImportAnswers.push_back(FilmstripImportOptions{3, 1, false});
    EXPECT_EQ(engine.ImportFilmstrip(one).result, Result::Failed);
    EXPECT_EQ(host.errors.back(), "Horizontal doesn't divide right.");
    EXPECT_EQ(engine.Doc(), nullptr);
    host.filmstripImportAnswers.push_back(std::nullopt);
    EXPECT_EQ(engine.ImportFilmstrip(one).result, Result::Failed);
    EXPECT_EQ(engine.Doc(), nullptr);
}

TEST_F(TransferTest, AviExportWritesAFileThatReadsBackWithTheFramesAndDelays) {
    Load(3, 8, 6);
    engine.SetDocument(MakeDoc(3, 8, 6), Out("anim.gif"), false);
    const auto docBytes = Bytes();
    for (auto kind : {AviCompressionChoice::Kind::None, AviCompressionChoice::Kind::Rle8}) {
        const std::string path = Out(kind == AviCompressionChoice::Kind::None ? "raw.avi" : "rle.avi");
        host.saveAnswers.push_back(path);
        host.aviCompressionAnswers.push_back(AviCompressionChoice{kind, {}});
        ASSERT_EQ(engine.Execute(CommandId::ExportAvi).result, Result::Done)
            << (host.errors.empty() ? "" : host.errors.back());
        EXPECT_EQ(host.saveStarts.back(), Out("anim.avi"));
        ScriptedUiHost h2;
        SilentProgress progress;
        const ReadOutcome back = ImportAvi(path, h2, progress, prefs);
        ASSERT_NE(back.animation, nullptr);
        // Delays 10, 20, 30: samples of 1/10 s at 0, 1 and 3, and the last
        // frame once more at 5 so that the stream lasts the whole 60.
        ASSERT_EQ(back.animation->FrameCount(), 4);
        uint32_t total = 0;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(Pixels(*back.animation->FrameAt(i)), Pixels(*engine.Doc()->FrameAt(std::min(i, 2))));
            total += back.animation->FrameAt(i)->delay;
        }
        EXPECT_EQ(back.animation->FrameAt(0)->delay, 10u);
        EXPECT_EQ(back.animation->FrameAt(1)->delay, 20u);
        EXPECT_EQ(total, 60u);
    }
    EXPECT_EQ(Bytes(), docBytes);
    EXPECT_FALSE(engine.State().modified);
    // Cancel in the compression question fails and leaves no file.
    host.saveAnswers.push_back(Out("cancel.avi"));
    host.aviCompressionAnswers.push_back(std::nullopt);
    EXPECT_EQ(engine.ExportAvi().result, Result::Failed);
    EXPECT_FALSE(fs::exists(Out("cancel.avi")));
    // A local palette is refused with the message; nothing is written.
    Frame& f = *const_cast<Animation*>(engine.Doc())->FrameAt(1);
    engine.StopTasks();
    SetLocalPalette(f, *engine.Doc()->globalPalette);
    EXPECT_EQ(engine.ExportAvi(Out("local.avi")).result, Result::Failed);
    EXPECT_FALSE(fs::exists(Out("local.avi")));
    EXPECT_NE(host.errors.back().find("local palettes"), std::string::npos);
}

TEST_F(TransferTest, CursorExportAsksTheHotSpotAndTheFileReadsBack) {
    Load(2, 16, 16);
    const auto docBytes = Bytes();
    host.hotspotAnswers.push_back({3, 5});
    host.saveAnswers.push_back(Out("c.ani"));
    ASSERT_EQ(engine.Execute(CommandId::ExportCursor).result, Result::Done);
    // The question starts at the centre of an unset hot spot.
    EXPECT_EQ(host.hotspotQuestions, 1);
    EXPECT_EQ(engine.Doc()->hotspot.x, 3);
    EXPECT_EQ(engine.Doc()->hotspot.y, 5);
    EXPECT_EQ(Bytes(), docBytes);
    EXPECT_FALSE(engine.State().modified);
    ScriptedUiHost h2;
    SilentProgress progress;
    auto back = ImportFile(Out("c.ani"), ImportFormat::Ani, h2, progress, prefs).animation;
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->FrameCount(), 2);
    EXPECT_EQ(back->hotspot.x, 3);
    EXPECT_EQ(back->hotspot.y, 5);
    EXPECT_EQ(Pixels(*back->FrameAt(1)), Pixels(*engine.Doc()->FrameAt(1)));
    // The save dialog's Cancel asks nothing more.
    EXPECT_EQ(engine.ExportCursor().result, Result::Stopped);
    EXPECT_EQ(host.hotspotQuestions, 1);
}

TEST_F(TransferTest, ExportsNeedFrames) {
    EXPECT_EQ(engine.ExportAvi().result, Result::Failed);
    EXPECT_EQ(engine.ExportCursor().result, Result::Failed);
    EXPECT_EQ(engine.ExportFilmstrip().result, Result::Failed);
    Load(0);
    EXPECT_EQ(engine.Execute(CommandId::ExportFilmstrip).result, Result::Failed);
    EXPECT_TRUE(host.saveStarts.empty());
}

// ---- palette commands ----

TEST_F(TransferTest, EditPaletteIsOneUndoStepForTheGlobalAndALocalPalette) {
    Load(3);
    const auto before = Bytes();
    auto state = OpenGlobalPaletteEditor(*engine.Doc(), -1);
    ASSERT_TRUE(state);
    SelectEntry(*state, 2);
    EXPECT_EQ(TypeChannel(*state, 0, 300), 255);
    auto entries = PaletteEditorResult(*state);
    ASSERT_TRUE(entries);
    const CommandResult r = engine.EditPalette(-1, *entries);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(engine.Doc()->globalPalette->entries[2].r, 255);
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Edit Palette\tCtrl-Z");
    const auto after = Bytes();
    EXPECT_NE(after, before);
    ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
    EXPECT_EQ(Bytes(), before);
    ASSERT_TRUE(engine.Execute(CommandId::Redo).Ok());
    EXPECT_EQ(Bytes(), after);

    // A local palette: only that frame's colours change.
    engine.StopTasks();
    Frame& f = *const_cast<Animation*>(engine.Doc())->FrameAt(1);
    SetLocalPalette(f, *engine.Doc()->globalPalette);
    const auto withLocal = Bytes();
    std::vector<Rgb> colors(256, Rgb{1, 2, 3});
    ASSERT_TRUE(engine.EditPalette(1, colors).Ok());
    EXPECT_EQ(engine.Doc()->FrameAt(1)->localPalette->entries[0].g, 2);
    EXPECT_EQ(engine.Doc()->globalPalette->entries[0].g, 255);
    ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
    EXPECT_EQ(Bytes(), withLocal);
    // A frame without a local palette has nothing to edit.
    const int steps = engine.State().history.Count();
    EXPECT_EQ(engine.EditPalette(0, colors).result, Result::Failed);
    EXPECT_EQ(engine.State().history.Count(), steps);
}

TEST_F(TransferTest, RemovingTheSelectedLocalPaletteIsOneStepThatUndoGivesBack) {
    Load(3);
    engine.StopTasks();
    // Frame 1 gets a local palette holding the global colours in reverse
    // order, its pixels renumbered so the picture stays the same.
    Frame& f = *const_cast<Animation*>(engine.Doc())->FrameAt(1);
    Palette reversed = *engine.Doc()->globalPalette;
    std::reverse(reversed.entries.begin(), reversed.entries.end());
    const int n = static_cast<int>(reversed.entries.size());
    for (int y = 0; y < f.bitmap->height; ++y)
        for (int x = 0; x < f.bitmap->width; ++x) f.bitmap->Row(y)[x] = static_cast<uint8_t>(n - 1 - f.bitmap->At(x, y));
    SetLocalPalette(f, reversed);
    const auto withLocal = Bytes();
    const auto picture = Pixels(*engine.Doc()->FrameAt(1));

    engine.Select(1);
    const CommandResult r = engine.RemoveSelectedLocalPalette();
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.refresh & refresh::kFrameToolbar);
    const Frame& g = *engine.Doc()->FrameAt(1);
    EXPECT_FALSE(g.localPalette.has_value());
    // Mapped into the global palette: every pixel shows the colour it showed.
    const auto mapped = Pixels(g);
    ASSERT_EQ(mapped.size(), picture.size());
    const Palette& global = *engine.Doc()->globalPalette;
    for (size_t i = 0; i < mapped.size(); ++i) ASSERT_EQ(global.entries[mapped[i]], reversed.entries[picture[i]]);
    EXPECT_EQ(engine.State().history.CurrentKind(), UndoKind::RemoveLocalPalette);
    const auto removed = Bytes();
    ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
    EXPECT_EQ(Bytes(), withLocal);
    ASSERT_TRUE(engine.Execute(CommandId::Redo).Ok());
    EXPECT_EQ(Bytes(), removed);
    // Nothing to remove: no step.
    const int steps = engine.State().history.Count();
    EXPECT_EQ(engine.RemoveSelectedLocalPalette().result, Result::Failed);
    EXPECT_EQ(engine.State().history.Count(), steps);
}

TEST_F(TransferTest, TransparencyChoiceIsOneStepOnlyWhenTheFrameChanges) {
    Load(2);
    engine.Select(0);
    const auto before = Bytes();
    // Indexes 4 and 5 merged into 4, which becomes transparent.
    ASSERT_TRUE(engine.ApplyTransparencyChoice(ChoiceOf({4, 5})).Ok());
    const Frame& f = *engine.Doc()->FrameAt(0);
    EXPECT_TRUE(f.Transparent());
    EXPECT_EQ(f.transparentIndex, 4);
    for (uint8_t v : Pixels(f)) EXPECT_NE(v, 5);
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Edit Transparency\tCtrl-Z");
    const int steps = engine.State().history.Count();
    // The same single index again changes nothing and records nothing.
    EXPECT_TRUE(engine.ApplyTransparencyChoice(ChoiceOf({4})).Ok());
    EXPECT_EQ(engine.State().history.Count(), steps);
    ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
    EXPECT_EQ(Bytes(), before);
    // Without a selected frame: the error sound.
    engine.Select(-1);
    EXPECT_EQ(engine.ApplyTransparencyChoice(ChoiceOf({1})).result, Result::Failed);
    EXPECT_EQ(host.beeps, 1);
}

}  // namespace
}  // namespace cinemill
