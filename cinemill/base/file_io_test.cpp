#include "cinemill/base/file_io.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace cinemill {
namespace {

namespace fs = std::filesystem;

// A fresh folder for one test, removed afterwards.
class Scratch {
public:
    explicit Scratch(const std::string& name)
        : dir_(fs::temp_directory_path() / ("cm_file_io_" + name + "_" + std::to_string(getpid()))) {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~Scratch() {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    std::string File(const std::string& name) const { return (dir_ / name).string(); }
    std::string Dir() const { return dir_.string(); }
    // Every name in the folder but the given ones.
    std::vector<std::string> Others(std::initializer_list<std::string> known) const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir_)) {
            const std::string n = e.path().filename().string();
            if (std::find(known.begin(), known.end(), n) == known.end()) out.push_back(n);
        }
        return out;
    }

private:
    fs::path dir_;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Sets an environment variable for one scope.
class EnvVar {
public:
    EnvVar(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvVar() {
        if (old_.empty()) unsetenv(name_);
        else setenv(name_, old_.c_str(), 1);
    }

private:
    const char* name_;
    std::string old_;
};

// ---- reading ----------------------------------------------------------------

TEST(ReadWholeFile, ReadsRegularFilesWithinTheCapOnly) {
    Scratch s("read");
    Put(s.File("a"), "hello");
    std::vector<uint8_t> out;
    ASSERT_TRUE(ReadWholeFile(s.File("a"), out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "hello");
    EXPECT_TRUE(ReadWholeFile(s.File("a"), out, 5));
    EXPECT_FALSE(ReadWholeFile(s.File("a"), out, 4));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(ReadWholeFile(s.File("missing"), out));
    EXPECT_FALSE(ReadWholeFile(s.Dir(), out));
    // A FIFO without a writer is refused at once, not waited on.
    ASSERT_EQ(mkfifo(s.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(s.File("fifo"), out));
}

// ---- replacing: what is written and where -----------------------------------

TEST(WriteFileAtomically, NewFileGetsUmaskModeAndExistingKeepsItsPermissions) {
    Scratch s("modes");
    const mode_t old_mask = umask(027);
    ASSERT_EQ(WriteFileAtomically(s.File("new"), "abc"), WriteProblem::None);
    umask(old_mask);
    EXPECT_EQ(Slurp(s.File("new")), "abc");
    EXPECT_EQ(ModeOf(s.File("new")), 0640u);

    Put(s.File("kept"), "old");
    ASSERT_EQ(chmod(s.File("kept").c_str(), 0604), 0);
    ASSERT_EQ(WriteFileAtomically(s.File("kept"), "new bytes"), WriteProblem::None);
    EXPECT_EQ(Slurp(s.File("kept")), "new bytes");
    EXPECT_EQ(ModeOf(s.File("kept")), 0604u);
    EXPECT_TRUE(s.Others({"new", "kept"}).empty());
}

TEST(WriteFileAtomically, SymbolicLinksAreWrittenThroughAndStayLinks) {
    Scratch s("links");
    fs::create_directories(s.File("real"));
    Put(s.File("real/target.gif"), "old");
    // A relative link, and a link to that link.
    fs::create_symlink("real/target.gif", s.File("link.gif"));
    fs::create_symlink(s.File("link.gif"), s.File("link2.gif"));
    ASSERT_EQ(WriteFileAtomically(s.File("link2.gif"), "through"), WriteProblem::None);
    EXPECT_TRUE(fs::is_symlink(s.File("link.gif")));
    EXPECT_TRUE(fs::is_symlink(s.File("link2.gif")));
    EXPECT_EQ(Slurp(s.File("real/target.gif")), "through");
    EXPECT_EQ(ResolveWriteTarget(s.File("link2.gif")), s.Dir() + "/real/target.gif");
    // The temporary file went beside the real file, and is gone.
    EXPECT_TRUE(s.Others({"real", "link.gif", "link2.gif"}).empty());
    EXPECT_EQ(fs::directory_iterator(s.File("real"))->path().filename(), "target.gif");

    // A dangling link makes the file it names.
    fs::create_symlink("real/made.gif", s.File("dangling"));
    ASSERT_EQ(WriteFileAtomically(s.File("dangling"), "made"), WriteProblem::None);
    EXPECT_TRUE(fs::is_symlink(s.File("dangling")));
    EXPECT_EQ(Slurp(s.File("real/made.gif")), "made");

    // Links in a loop name no file.
    fs::create_symlink("loop2", s.File("loop1"));
    fs::create_symlink("loop1", s.File("loop2"));
    EXPECT_EQ(ResolveWriteTarget(s.File("loop1")), "");
    EXPECT_EQ(WriteFileAtomically(s.File("loop1"), "x"), WriteProblem::NotRegular);
    EXPECT_TRUE(fs::is_symlink(s.File("loop1")));
}

TEST(WriteFileAtomically, TargetsThatAreNotRegularFilesAreRefusedAndLeftAlone) {
    Scratch s("special");
    ASSERT_EQ(mkfifo(s.File("fifo").c_str(), 0600), 0);
    EXPECT_EQ(WriteFileAtomically(s.File("fifo"), "x"), WriteProblem::NotRegular);
    EXPECT_TRUE(fs::is_fifo(s.File("fifo")));
    fs::create_directories(s.File("folder"));
    EXPECT_EQ(WriteFileAtomically(s.File("folder"), "x"), WriteProblem::NotRegular);
    EXPECT_TRUE(fs::is_directory(s.File("folder")));
    // A link to a device is followed to the device and refused before any
    // file is made (only looked at, never opened).
    fs::create_symlink("/dev/null", s.File("null-link"));
    EXPECT_EQ(CheckWriteTarget(s.File("null-link")), WriteProblem::NotRegular);
    EXPECT_EQ(CheckWriteTarget("/dev/null"), WriteProblem::NotRegular);
    AtomicFile f;
    EXPECT_EQ(f.Open(s.File("null-link")), WriteProblem::NotRegular);
    EXPECT_TRUE(f.TempPath().empty());
    EXPECT_TRUE(fs::is_symlink(s.File("null-link")));
    EXPECT_TRUE(s.Others({"fifo", "folder", "null-link"}).empty());
    EXPECT_NE(WriteProblemText(WriteProblem::NotRegular, "/dev/null").find("'/dev/null' is not a regular file"),
              std::string::npos);
}

TEST(WriteFileAtomically, ReadOnlyTargetIsRefusedEvenWhereTheSystemWouldAllowIt) {
    Scratch s("readonly");
    Put(s.File("ro.gif"), "keep");
    ASSERT_EQ(chmod(s.File("ro.gif").c_str(), 0444), 0);
    EXPECT_EQ(CheckWriteTarget(s.File("ro.gif")), WriteProblem::ReadOnly);
    EXPECT_EQ(WriteFileAtomically(s.File("ro.gif"), "replaced"), WriteProblem::ReadOnly);
    EXPECT_EQ(Slurp(s.File("ro.gif")), "keep");
    EXPECT_EQ(ModeOf(s.File("ro.gif")), 0444u);
    EXPECT_EQ(ReplaceFileWithCopy(s.File("ro.gif"), s.File("ro.gif")), WriteProblem::ReadOnly);
    EXPECT_TRUE(s.Others({"ro.gif"}).empty());
    EXPECT_NE(WriteProblemText(WriteProblem::ReadOnly, "ro.gif").find("read-only"), std::string::npos);
}

TEST(WriteFileAtomically, AnUnusableTmpdirDoesNotStopASaveIntoAWritableFolder) {
    Scratch s("tmpdir");
    Put(s.File("plain"), "not a folder");
    fs::create_directories(s.File("empty-tmp"));
    for (const std::string& tmp : {s.File("missing/folder"), s.File("plain"), s.File("empty-tmp")}) {
        EnvVar env("TMPDIR", tmp);
        ASSERT_EQ(WriteFileAtomically(s.File("out.gif"), tmp), WriteProblem::None) << tmp;
        EXPECT_EQ(Slurp(s.File("out.gif")), tmp);
    }
    // Nothing was made in TMPDIR.
    EXPECT_TRUE(fs::is_empty(s.File("empty-tmp")));
    ASSERT_EQ(chmod(s.File("empty-tmp").c_str(), 0555), 0);
    EnvVar env("TMPDIR", s.File("empty-tmp"));
    EXPECT_EQ(WriteFileAtomically(s.File("out.gif"), "read-only tmp"), WriteProblem::None);
    EXPECT_EQ(Slurp(s.File("out.gif")), "read-only tmp");
}

TEST(WriteFileAtomically, AFolderThatTakesNoNewFileUsesTmpdirAndOverwritesInPlace) {
    if (geteuid() == 0) GTEST_SKIP() << "root may create files in any folder";
    Scratch s("inplace");
    fs::create_directories(s.File("locked"));
    fs::create_directories(s.File("tmp"));
    Put(s.File("locked/page.html"), "a longer old text than the new one");
    ASSERT_EQ(chmod(s.File("locked/page.html").c_str(), 0640), 0);
    ASSERT_EQ(chmod(s.File("locked").c_str(), 0555), 0);
    EnvVar env("TMPDIR", s.File("tmp"));
    EXPECT_EQ(WriteFileAtomically(s.File("locked/page.html"), "new"), WriteProblem::None);
    EXPECT_EQ(Slurp(s.File("locked/page.html")), "new");
    EXPECT_EQ(ModeOf(s.File("locked/page.html")), 0640u);
    EXPECT_TRUE(fs::is_empty(s.File("tmp")));
    // A new file cannot be made there at all.
    EXPECT_EQ(WriteFileAtomically(s.File("locked/other"), "x"), WriteProblem::Failed);
    EXPECT_TRUE(fs::is_empty(s.File("tmp")));
}

TEST(ReplaceFileWithCopy, CopiesRegularSourcesOnly) {
    Scratch s("copy");
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    Put(s.File("src"), big);
    Put(s.File("dst"), "old");
    ASSERT_EQ(ReplaceFileWithCopy(s.File("src"), s.File("dst")), WriteProblem::None);
    EXPECT_EQ(Slurp(s.File("dst")), big);
    ASSERT_EQ(mkfifo(s.File("fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReplaceFileWithCopy(s.File("fifo"), s.File("dst")), WriteProblem::Failed);
    EXPECT_EQ(ReplaceFileWithCopy(s.File("missing"), s.File("dst")), WriteProblem::Failed);
    EXPECT_EQ(Slurp(s.File("dst")), big);
    EXPECT_TRUE(s.Others({"src", "dst", "fifo"}).empty());
}

// ---- faults during a save ---------------------------------------------------

SaveStage g_fail_at;
bool FailAt(SaveStage s) { return s != g_fail_at; }

struct HookScope {
    explicit HookScope(SaveStageHook h) { SetSaveStageHook(h); }
    ~HookScope() { SetSaveStageHook(nullptr); }
};

TEST(AtomicFile, AFailureAtEveryStageKeepsTheOldFileAndLeavesNothing) {
    Scratch s("stages");
    for (const SaveStage stage : {SaveStage::TempCreated, SaveStage::DataWritten, SaveStage::TempSynced}) {
        Put(s.File("t.gif"), "old");
        g_fail_at = stage;
        HookScope hook(FailAt);
        EXPECT_EQ(WriteFileAtomically(s.File("t.gif"), "new"), WriteProblem::Failed) << int(stage);
        EXPECT_EQ(Slurp(s.File("t.gif")), "old") << int(stage);
        EXPECT_TRUE(s.Others({"t.gif"}).empty()) << int(stage);
        // A file that did not exist is not made either.
        EXPECT_EQ(WriteFileAtomically(s.File("fresh.gif"), "new"), WriteProblem::Failed);
        EXPECT_FALSE(fs::exists(s.File("fresh.gif")));
    }
    // A writer that gives up (destroyed without Commit) leaves nothing.
    {
        AtomicFile f;
        ASSERT_EQ(f.Open(s.File("t.gif")), WriteProblem::None);
        EXPECT_TRUE(fs::exists(f.TempPath()));
        EXPECT_EQ(fs::path(f.TempPath()).parent_path().string(), s.Dir());
        EXPECT_TRUE(f.Write("partial", 7));
    }
    EXPECT_EQ(Slurp(s.File("t.gif")), "old");
    EXPECT_TRUE(s.Others({"t.gif"}).empty());
}

// ---- kill -9 during a save --------------------------------------------------

// The child stops itself at this stage, so that the parent kills it there.
SaveStage g_stop_at;
bool StopAt(SaveStage s) {
    if (s == g_stop_at) raise(SIGSTOP);
    return true;
}

// Bytes that say whether they are whole: `n` copies of `c`.
std::string Block(char c, size_t n) { return std::string(n, c); }

bool IsWholeBlock(const std::string& bytes, size_t n) {
    return bytes.size() == n && bytes.find_first_not_of(bytes.empty() ? '\0' : bytes[0]) == std::string::npos;
}

TEST(AtomicFile, KilledAtEachStageLeavesTheOldOrNewFileAndOnlyRecognisableTemps) {
    Scratch s("kill");
    const size_t n = 1 << 20;
    const std::string target = s.File("anim.gif");
    struct Case {
        SaveStage stage;
        char expect;
    };
    for (const Case c : {Case{SaveStage::TempCreated, 'o'}, Case{SaveStage::DataWritten, 'o'},
                         Case{SaveStage::TempSynced, 'o'}, Case{SaveStage::Renamed, 'n'}}) {
        Put(target, Block('o', n));
        g_stop_at = c.stage;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SetSaveStageHook(StopAt);
            const bool ok = WriteFileAtomically(target, Block('n', n)) == WriteProblem::None;
            _exit(ok ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
        ASSERT_TRUE(WIFSTOPPED(status)) << int(c.stage);
        kill(child, SIGKILL);
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        const std::string after = Slurp(target);
        EXPECT_TRUE(IsWholeBlock(after, n) && after[0] == c.expect) << int(c.stage);
        // What may be left is the killed save's temporary file, named for the
        // target and the process.
        const std::string mine = ".anim.gif.cinemill-" + std::to_string(child) + "-";
        for (const std::string& other : s.Others({"anim.gif"})) EXPECT_EQ(other.rfind(mine, 0), 0u) << other;
        if (c.stage != SaveStage::Renamed) {
            EXPECT_EQ(s.Others({"anim.gif"}).size(), 1u) << int(c.stage);
        }
        // The next save removes it.
        ASSERT_EQ(WriteFileAtomically(target, "next"), WriteProblem::None);
        EXPECT_EQ(Slurp(target), "next");
        EXPECT_TRUE(s.Others({"anim.gif"}).empty()) << int(c.stage);
    }
}

TEST(AtomicFile, KilledAtRandomMomentsOfRepeatedSavesLeavesAWholeFile) {
    Scratch s("kill_random");
    const size_t n = 4 << 20;
    const std::string target = s.File("strip.gif");
    Put(target, Block('a', n));
    std::vector<std::string> killed;
    for (int round = 0; round < 6; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) WriteFileAtomically(target, Block(i % 2 ? 'a' : 'b', n));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3 + round * 7));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        const std::string after = Slurp(target);
        EXPECT_TRUE(IsWholeBlock(after, n) && (after[0] == 'a' || after[0] == 'b')) << round;
        // Leftovers are temporary files of the killed children (a child
        // killed before its first save swept the one before it leaves both).
        killed.push_back(".strip.gif.cinemill-" + std::to_string(child) + "-");
        for (const std::string& other : s.Others({"strip.gif"})) {
            const bool recognised = std::any_of(killed.begin(), killed.end(),
                                                [&](const std::string& k) { return other.rfind(k, 0) == 0; });
            EXPECT_TRUE(recognised) << other;
        }
    }
    ASSERT_EQ(WriteFileAtomically(target, Block('c', n)), WriteProblem::None);
    EXPECT_TRUE(s.Others({"strip.gif"}).empty());
}

TEST(AtomicFile, TempsOfRunningSavesAndOtherNamesAreNotSwept) {
    Scratch s("sweep");
    // This process is running: its temporary file may be a save going on.
    const std::string live = ".a.gif.cinemill-" + std::to_string(getpid()) + "-abcdef";
    const std::string other_target = ".b.gif.cinemill-999999999-abcdef";
    const std::string not_ours = ".a.gif.cinemill-notapid-abcdef";
    for (const auto& name : {live, other_target, not_ours}) Put(s.File(name), "x");
    ASSERT_EQ(WriteFileAtomically(s.File("a.gif"), "new"), WriteProblem::None);
    auto left = s.Others({"a.gif"});
    std::sort(left.begin(), left.end());
    std::vector<std::string> expect = {live, other_target, not_ours};
    std::sort(expect.begin(), expect.end());
    EXPECT_EQ(left, expect);
}

}  // namespace
}  // namespace cinemill
