#include "cinemill/app/file_flows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cinemill/app/engine.h"
#include "cinemill/app/settings_store.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/clipboard.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

namespace fs = std::filesystem;
using files::ShiftRecentFiles;

TEST(RecentFiles, NewPathGoesFirstAndTheSeventhEntryIsDropped) {
    std::vector<std::string> r;
    for (int i = 1; i <= 7; ++i) r = ShiftRecentFiles(r, "/f" + std::to_string(i));
    ASSERT_EQ(r.size(), 7u);
    EXPECT_EQ(r.front(), "/f7");
    EXPECT_EQ(r.back(), "/f1");
    r = ShiftRecentFiles(r, "/new");
    EXPECT_EQ(r, (std::vector<std::string>{"/new", "/f7", "/f6", "/f5", "/f4", "/f3", "/f2"}));
}

TEST(RecentFiles, AKnownPathMovesToTheTopWithoutDuplicateAndCaseMatters) {
    std::vector<std::string> r{"/a", "/b", "/c", "/d"};
    r = ShiftRecentFiles(r, "/c");
    EXPECT_EQ(r, (std::vector<std::string>{"/c", "/a", "/b", "/d"}));
    r = ShiftRecentFiles(r, "/c");
    EXPECT_EQ(r, (std::vector<std::string>{"/c", "/a", "/b", "/d"}));
    r = ShiftRecentFiles(r, "/A");
    EXPECT_EQ(r, (std::vector<std::string>{"/A", "/c", "/a", "/b", "/d"}));
    EXPECT_EQ(files::RecentMenuTexts(r)[1], "&2: /c");
}

TEST(FileTexts, TitleQuestionAndSuggestedName) {
    EXPECT_EQ(files::TitleFor("/home/u/anim.gif"), "anim.gif - Cinemill");
    EXPECT_EQ(files::TitleFor(""), "Untitled - Cinemill");
    EXPECT_EQ(files::SaveQuestion("/x/a.gif"), "Save changes to /x/a.gif?");
    EXPECT_EQ(files::SaveQuestion(""), "Save changes to untitled animation?");
    EXPECT_EQ(files::SuggestedSavePath("/v/clip.avi", "gif"), "/v/clip.gif");
    EXPECT_EQ(files::SuggestedSavePath("/v/clip.GIF", "gif"), "/v/clip.GIF");
    EXPECT_EQ(files::SuggestedSavePath("/v.d/clip", "gif"), "/v.d/clip.gif");
    EXPECT_EQ(files::SuggestedSavePath("", "gif"), "");
}

TEST(FileOrder, SortedIgnoringCaseAndAtMost300) {
    bool tooMany = true;
    EXPECT_EQ(files::OrderForOpening({"/d/b.gif", "/d/C.gif", "/d/a.gif"}, tooMany),
              (std::vector<std::string>{"/d/a.gif", "/d/b.gif", "/d/C.gif"}));
    EXPECT_FALSE(tooMany);
    std::vector<std::string> many;
    for (int i = 0; i < 301; ++i) many.push_back("/f" + std::to_string(1000 + i));
    EXPECT_EQ(files::OrderForOpening(many, tooMany).size(), 300u);
    EXPECT_TRUE(tooMany);
}

// ---- the flows on real files ---------------------------------------------------------

// n frames of 4 x 4 pixels, all `shade` + frame number (mod 16).
std::unique_ptr<Animation> MakeDoc(int n, uint8_t shade) {
    auto a = testing_support::MakeAnimation(4, 4);
    for (int i = 0; i < n; ++i) a->blocks.push_back(testing_support::FillFrame(0, 0, 4, 4, uint8_t((shade + i) % 16)));
    return a;
}

struct FlowTest : ::testing::Test {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    MemoryClipboard clipboard;
    Engine engine{prefs, host, clipboard};
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() / ("cm_flows_" + std::to_string(getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        prefs.SetBits(PreferenceBlock::kProgramFlags, PreferenceBlock::kFlagNoSignature, true);
    }
    void TearDown() override { fs::remove_all(dir); }
    // A GIF of n frames whose pixels are all `shade` + frame number.
    std::string Gif(const std::string& name, int n, uint8_t shade) {
        auto a = MakeDoc(n, shade);
        VectorSink sink;
        SilentProgress p;
        WriteGif(sink, *a, p);
        return Write(name, sink.bytes);
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string p = (dir / name).string();
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    std::vector<int> Shades() {
        std::vector<int> out;
        for (const Frame* f : engine.Doc()->Frames()) out.push_back(f->bitmap->pixels[0]);
        return out;
    }
};

TEST_F(FlowTest, OpeningOneGifNamesTheDocument) {
    const auto a = Gif("a.gif", 2, 3);
    const CommandResult r = engine.Open({a});
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.refresh & refresh::kNewDocument);
    EXPECT_EQ(engine.State().path, a);
    EXPECT_FALSE(engine.State().modified);
    EXPECT_EQ(engine.State().recent, std::vector<std::string>{a});
    EXPECT_EQ(engine.Title(), "a.gif - Cinemill");
    EXPECT_EQ(engine.State().selected, -1);
    EXPECT_EQ(Shades(), (std::vector<int>{3, 4}));
}

// ---- recent files kept in the settings key ---------------------------------------------

TEST_F(FlowTest, RecentFilesComeFromTheStoreAndNamingAPathShiftsTheStoredSlots) {
    MemorySettingsStore store;
    for (int n = 1; n <= 7; ++n) store.WriteString(settings_names::RecentFile(n), "/old" + std::to_string(n));
    engine.SetSettingsStore(&store);
    ASSERT_EQ(engine.State().recent.size(), 7u);
    EXPECT_EQ(engine.State().recent[0], "/old1");
    const auto a = Gif("a.gif", 1, 2);
    ASSERT_TRUE(engine.Open({a}).Ok());
    // The new path is slot 1, the seventh old entry is gone.
    EXPECT_EQ(store.ReadString("File1"), a);
    EXPECT_EQ(store.ReadString("File2"), "/old1");
    EXPECT_EQ(store.ReadString("File7"), "/old6");
    EXPECT_EQ(engine.State().recent, ReadRecentFiles(store));
    // Save As names another path; opening the first again moves it up
    // without a duplicate.
    const std::string b = (dir / "b.gif").string();
    ASSERT_TRUE(engine.Save(true, b).Ok());
    ASSERT_TRUE(engine.Open({a}).Ok());
    EXPECT_EQ(ReadRecentFiles(store),
              (std::vector<std::string>{a, b, "/old1", "/old2", "/old3", "/old4", "/old5"}));
    // A path differing only in letter case is another entry.
    std::string upper = a;
    upper.replace(upper.size() - 5, 1, "A");
    fs::copy_file(a, upper);
    ASSERT_TRUE(engine.Open({upper}).Ok());
    EXPECT_EQ(engine.State().recent[0], upper);
    EXPECT_EQ(engine.State().recent[1], a);
    EXPECT_EQ(engine.State().recent.size(), 7u);
}

TEST_F(FlowTest, RecentFilesSurviveTheEngineInAnIniFile) {
    const std::string ini = (dir / "settings.ini").string();
    const auto a = Gif("a.gif", 1, 2), b = Gif("b.gif", 1, 5);
    {
        IniSettingsStore store(ini);
        engine.SetSettingsStore(&store);
        EXPECT_TRUE(engine.State().recent.empty());
        ASSERT_TRUE(engine.Open({a}).Ok());
        ASSERT_TRUE(engine.Open({b}).Ok());
        engine.SetSettingsStore(nullptr);
    }
    IniSettingsStore again(ini);
    ScriptedUiHost host2;
    Engine second(prefs, host2, clipboard);
    second.SetSettingsStore(&again);
    EXPECT_EQ(second.State().recent, (std::vector<std::string>{b, a}));
    // The File menu's second entry opens the older file.
    const CommandResult r = second.Execute(static_cast<CommandId>(Id(CommandId::RecentFirst) + 1));
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(second.State().path, a);
    EXPECT_EQ(second.State().recent, (std::vector<std::string>{a, b}));
    EXPECT_EQ(ReadRecentFiles(again), (std::vector<std::string>{a, b}));
    // An entry beyond the list opens nothing.
    const CommandResult none = second.OpenRecent(3);
    EXPECT_TRUE(none.Ok());
    EXPECT_EQ(none.refresh, 0u);
    EXPECT_EQ(second.State().path, a);
}

TEST_F(FlowTest, ARecentListThatCannotBeStoredStillShiftsInMemory) {
    MemorySettingsStore store;
    store.WriteString("File1", "/kept");
    store.writable = false;
    engine.SetSettingsStore(&store);
    const auto a = Gif("a.gif", 1, 2);
    ASSERT_TRUE(engine.Open({a}).Ok());
    EXPECT_EQ(engine.State().recent, (std::vector<std::string>{a, "/kept"}));
    EXPECT_EQ(ReadRecentFiles(store), std::vector<std::string>{"/kept"});
}

TEST_F(FlowTest, OpeningSeveralFilesReadsThemInNameOrderUntitledAndModified) {
    const auto b = Gif("b.gif", 1, 7), a = Gif("A.gif", 1, 1), c = Gif("c.gif", 2, 10);
    ASSERT_TRUE(engine.Open({c, b, a}).Ok());
    EXPECT_EQ(Shades(), (std::vector<int>{1, 7, 10, 11}));
    EXPECT_TRUE(engine.State().Untitled());
    EXPECT_TRUE(engine.State().modified);
    EXPECT_EQ(engine.Title(), "Untitled - Cinemill");
}

TEST_F(FlowTest, ANonGifFileGivesAnUntitledModifiedDocument) {
    // A BMP built from a frame's packed DIB behind a file header.
    auto doc = MakeDoc(1, 5);
    auto dib = BuildPackedDib(*doc, *doc->FrameAt(0));
    const uint32_t colors = dib[32] | (dib[33] << 8);
    const uint32_t offset = 14 + 40 + 4 * (colors ? colors : 256);
    std::vector<uint8_t> bmp{'B', 'M'};
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put32(static_cast<uint32_t>(14 + dib.size()));
    put32(0);
    put32(offset);
    bmp.insert(bmp.end(), dib.begin(), dib.end());
    const auto path = Write("still.bmp", bmp);
    ASSERT_TRUE(engine.Open({path}).Ok()) << (host.errors.empty() ? "" : host.errors[0]);
    EXPECT_TRUE(engine.State().Untitled());
    EXPECT_TRUE(engine.State().modified);
    EXPECT_TRUE(engine.State().recent.empty());
    // Save As offers the file's name with the gif extension.
    host.saveAnswers.push_back(std::nullopt);
    EXPECT_EQ(engine.Save(false).result, Result::Stopped);
    ASSERT_EQ(host.saveStarts.size(), 0u + 1);
    EXPECT_EQ(host.saveStarts[0], "");
}

TEST_F(FlowTest, ANonGifWithAGifNameIsRefusedWithItsMessage) {
    const auto bad = Write("bad.gif", {'n', 'o', 't', ' ', 'a', ' ', 'g', 'i', 'f'});
    EXPECT_EQ(engine.Open({bad}).result, Result::Failed);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], bad + " is not a valid GIF File.");
    EXPECT_FALSE(engine.State().HasDocument());
    EXPECT_EQ(engine.Title(), "Untitled - Cinemill");
}

TEST_F(FlowTest, ReadingStopsAtTheFirstFileThatFails) {
    const auto a = Gif("a.gif", 1, 1), c = Gif("c.gif", 1, 3);
    const auto b = Write("b.gif", {'x'});
    EXPECT_TRUE(engine.Open({c, b, a}).Ok());
    EXPECT_EQ(Shades(), (std::vector<int>{1}));
    EXPECT_EQ(host.errors.size(), 1u);
}

TEST_F(FlowTest, ThreeHundredAndOneFilesReadOnlyTheFirstThreeHundred) {
    std::vector<std::string> paths;
    const auto one = Gif("one.gif", 1, 2);
    for (int i = 0; i < 301; ++i) {
        const auto p = (dir / ("f" + std::to_string(1000 + i) + ".gif")).string();
        fs::copy_file(one, p);
        paths.push_back(p);
    }
    ASSERT_TRUE(engine.Open(paths).Ok());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Too many files to read. Only read the first 300.");
    EXPECT_EQ(engine.State().FrameCount(), 300);
}

TEST_F(FlowTest, SaveAsWritesClearsHistoryAndNamesTheDocument) {
    ASSERT_TRUE(engine.Open({Gif("a.gif", 3, 1)}).Ok());
    engine.Select(0);
    ASSERT_TRUE(engine.Execute(CommandId::Delete).Ok());
    const std::string target = (dir / "saved.gif").string();
    host.saveAnswers.push_back(target);
    const CommandResult r = engine.Execute(CommandId::SaveAs);
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.refresh & refresh::kTitle);
    EXPECT_EQ(host.saveStarts[0], (dir / "a.gif").string());
    EXPECT_FALSE(engine.State().modified);
    EXPECT_EQ(engine.State().path, target);
    EXPECT_EQ(engine.State().recent.front(), target);
    EXPECT_EQ(engine.Title(), "saved.gif - Cinemill");
    // Undo after Save finds an empty history.
    EXPECT_FALSE(engine.State().history.CanUndo());
    EXPECT_EQ(engine.Execute(CommandId::Undo).result, Result::Failed);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(target, bytes));
    SilentProgress p;
    ScriptedUiHost quiet;
    EXPECT_EQ(ReadGif(bytes, quiet, p, prefs).animation->FrameCount(), 2);
}

TEST_F(FlowTest, AFailedSaveLeavesTheDocumentModifiedAndTheTargetAlone) {
    ASSERT_TRUE(engine.Open({Gif("a.gif", 2, 1)}).Ok());
    engine.Select(0);
    engine.Execute(CommandId::Delete);
    const std::string target = (dir / "no-such-dir" / "x.gif").string();
    EXPECT_EQ(engine.Save(true, target).result, Result::Failed);
    ASSERT_FALSE(host.errors.empty());
    EXPECT_EQ(host.errors.back(), "Unable to write to " + target + ".");
    EXPECT_TRUE(engine.State().modified);
    EXPECT_TRUE(engine.State().history.CanUndo());
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(FlowTest, SaveQuestionOnNew) {
    const auto a = Gif("a.gif", 2, 1);
    ASSERT_TRUE(engine.Open({a}).Ok());
    engine.Select(0);
    engine.Execute(CommandId::Delete);
    host.choices.push_back(Answer::Cancel);
    EXPECT_EQ(engine.New().result, Result::Stopped);
    EXPECT_TRUE(engine.State().HasDocument());
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0], "Save changes to " + a + "?");
    // Yes saves to the document's own file, then closes.
    host.choices.push_back(Answer::Yes);
    ASSERT_TRUE(engine.New().Ok());
    EXPECT_FALSE(engine.State().HasDocument());
    EXPECT_TRUE(engine.State().Untitled());
    ASSERT_TRUE(engine.Open({a}).Ok());
    EXPECT_EQ(engine.State().FrameCount(), 1);
    // An unmodified document closes without a question.
    ASSERT_TRUE(engine.New().Ok());
    EXPECT_EQ(host.questions.size(), 2u);
}

TEST_F(FlowTest, RevertReadsTheFileAgainAfterOk) {
    const auto a = Gif("a.gif", 3, 1);
    ASSERT_TRUE(engine.Open({a}).Ok());
    EXPECT_EQ(engine.Revert().result, Result::Failed);  // not modified
    engine.Select(1);
    engine.Execute(CommandId::Delete);
    host.answers.push_back(false);
    EXPECT_EQ(engine.Revert().result, Result::Stopped);
    EXPECT_EQ(engine.State().FrameCount(), 2);
    host.answers.push_back(true);
    ASSERT_TRUE(engine.Revert().Ok());
    EXPECT_EQ(engine.State().FrameCount(), 3);
    EXPECT_FALSE(engine.State().modified);
    EXPECT_FALSE(engine.State().history.CanUndo());
    EXPECT_TRUE(host.choices.empty());
    // Untitled: nothing to revert to.
    ASSERT_TRUE(engine.Open({a, Gif("b.gif", 1, 2)}).Ok());
    EXPECT_EQ(engine.Revert().result, Result::Failed);
}

TEST_F(FlowTest, InsertSharingPaletteAndScreenIsALightRecord) {
    ASSERT_TRUE(engine.Open({Gif("a.gif", 3, 1)}).Ok());
    engine.Select(1);
    ASSERT_TRUE(engine.Insert({Gif("b.gif", 2, 8)}).Ok());
    EXPECT_EQ(Shades(), (std::vector<int>{1, 8, 9, 2, 3}));
    EXPECT_EQ(engine.State().selected, 1);
    EXPECT_TRUE(engine.State().modified);
    EXPECT_EQ(engine.State().history.UndoText(), "&Undo Insert Frame(s)\tCtrl-Z");
    const Frame* inserted = engine.Doc()->FrameAt(1);
    EXPECT_LT(engine.State().history.HeldBytes(), AnimationBytes(*engine.Doc()) / 2);
    engine.Execute(CommandId::Undo);
    EXPECT_EQ(Shades(), (std::vector<int>{1, 2, 3}));
    engine.Execute(CommandId::Redo);
    EXPECT_EQ(Shades(), (std::vector<int>{1, 8, 9, 2, 3}));
    EXPECT_EQ(engine.Doc()->FrameAt(1), inserted);  // the same frame objects came back
}

TEST_F(FlowTest, DroppedFilesGoBeforeTheFrameUnderThePointInTurn) {
    ASSERT_TRUE(engine.Open({Gif("a.gif", 3, 1)}).Ok());
    const auto x = Gif("x.gif", 1, 10), y = Gif("y.gif", 1, 11), z = Gif("z.gif", 1, 12);
    ASSERT_TRUE(engine.Drop({x, y, z}, 2).Ok());
    EXPECT_EQ(Shades(), (std::vector<int>{1, 2, 12, 11, 10, 3}));
    EXPECT_TRUE(engine.State().modified);
}

TEST_F(FlowTest, ADroppedFileThatFailsAsksWhetherToGoOn) {
    ASSERT_TRUE(engine.Open({Gif("a.gif", 1, 1)}).Ok());
    const auto bad = Write("bad.gif", {'x'});
    const auto y = Gif("y.gif", 1, 11);
    host.answers.push_back(false);
    EXPECT_EQ(engine.Drop({bad, y, y}, -1).result, Result::Failed);
    EXPECT_EQ(engine.State().FrameCount(), 1);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0], "Do you want to continue reading the remainder of the files?");
    host.answers.push_back(true);
    ASSERT_TRUE(engine.Drop({bad, y}, -1).Ok());
    EXPECT_EQ(Shades(), (std::vector<int>{1, 11}));
    // A failing last file asks nothing.
    EXPECT_TRUE(engine.Drop({y, bad}, -1).Ok());
    EXPECT_EQ(host.questions.size(), 2u);
}

TEST_F(FlowTest, OneFileDroppedWithoutDocumentTakesItsName) {
    const auto a = Gif("a.gif", 2, 1);
    ASSERT_TRUE(engine.Drop({a}, -1).Ok());
    EXPECT_EQ(engine.State().path, a);
    EXPECT_FALSE(engine.State().modified);
}

}  // namespace
}  // namespace cinemill

namespace cinemill {
namespace {

// The open dialog is asked with its title and full filter list; Cancel
// leaves everything as it was.
class FilterHost : public ScriptedUiHost {
public:
    std::string title;
    std::vector<std::pair<std::string, std::string>> filter;
    std::vector<std::string> OpenAnswer;
    std::vector<std::string> AskOpenFiles(const std::string& t,
                                          const std::vector<std::pair<std::string, std::string>>& f) override {
        title = t;
        filter = f;
        return OpenAnswer;
    }
};

TEST(OpenDialog, AskedWithTitleAndFilterCancelChangesNothing) {
    PreferenceBlock prefs;
    FilterHost host;
    MemoryClipboard clipboard;
    Engine engine(prefs, host, clipboard);
    EXPECT_EQ(engine.Execute(CommandId::Open).result, Result::Stopped);
    EXPECT_EQ(host.title, "Open File(s)");
    ASSERT_EQ(host.filter.size(), 8u);
    EXPECT_EQ(host.filter[0].second, "*.gif;*.avi;*.bmp;*.dib;*.jpg;*.ani;*.psd");
    EXPECT_EQ(host.filter[7].first, "All Files (*.*)");
    EXPECT_EQ(engine.Execute(CommandId::Insert).result, Result::Stopped);
    EXPECT_EQ(host.title, "Insert Frame(s) Into Animation");
    EXPECT_FALSE(engine.State().HasDocument());
}

}  // namespace
}  // namespace cinemill
