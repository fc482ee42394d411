#include "cinemill/app/file_association.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "cinemill/app/prefs.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {
namespace {

namespace fs = std::filesystem;

class AssociationTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("cm-xdg-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        const char* old = std::getenv("XDG_DATA_HOME");
        if (old) old_ = old;
        had_ = old != nullptr;
        ::setenv("XDG_DATA_HOME", dir_.c_str(), 1);
    }
    void TearDown() override {
        if (had_) ::setenv("XDG_DATA_HOME", old_.c_str(), 1);
        else ::unsetenv("XDG_DATA_HOME");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path dir_;
    std::string old_;
    bool had_ = false;
};

TEST_F(AssociationTest, InstallQueryAndRemoveInTheUsersDataDirectory) {
    EXPECT_EQ(UserDataDir(), dir_.string());
    DesktopFileAssociation assoc = DesktopFileAssociation::ForCurrentUser();
    EXPECT_EQ(assoc.EntryPath(), (dir_ / "applications" / "cinemill-edit.desktop").string());
    EXPECT_FALSE(assoc.Present());
    EXPECT_TRUE(assoc.Remove());  // nothing there: nothing left
    ASSERT_TRUE(assoc.Set());
    EXPECT_TRUE(assoc.Present());
    const std::string text = Read(assoc.EntryPath());
    EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(text.find("\nMimeType=image/gif;\n"), std::string::npos);
    EXPECT_NE(text.find("\nActions=edit;\n"), std::string::npos);
    EXPECT_NE(text.find("[Desktop Action edit]\nName=Edit with Cinemill\n"), std::string::npos);
    EXPECT_NE(text.find("Exec=" + DesktopExecCommand(CurrentProgramPath()) + "\n"), std::string::npos);
    ASSERT_TRUE(assoc.Remove());
    EXPECT_FALSE(assoc.Present());
    EXPECT_FALSE(fs::exists(assoc.EntryPath()));
}

TEST_F(AssociationTest, AnEntryOfAnotherProgramIsAbsentAndReplaced) {
    DesktopFileAssociation other(dir_.string(), "/opt/other/cinemill");
    DesktopFileAssociation ours(dir_.string(), "/usr/bin/cinemill");
    ASSERT_TRUE(other.Set());
    EXPECT_TRUE(other.Present());
    EXPECT_FALSE(ours.Present());
    ASSERT_TRUE(ours.Set());
    EXPECT_TRUE(ours.Present());
    EXPECT_FALSE(other.Present());
}

TEST_F(AssociationTest, WithoutAProgramOrADirectoryNothingIsWritten) {
    DesktopFileAssociation no_program(dir_.string(), "");
    EXPECT_FALSE(no_program.Set());
    EXPECT_FALSE(fs::exists(dir_ / "applications"));
    // A data directory that is a file cannot hold the entry.
    std::ofstream(dir_ / "file") << "x";
    DesktopFileAssociation blocked((dir_ / "file").string(), "/usr/bin/cinemill");
    EXPECT_FALSE(blocked.Set());
    EXPECT_FALSE(blocked.Present());
}

TEST(DesktopExec, PathsAreQuotedAndEscaped) {
    EXPECT_EQ(DesktopExecCommand("/usr/bin/cinemill"), "\"/usr/bin/cinemill\" %f");
    EXPECT_EQ(DesktopExecCommand("/opt/my apps/cine$mill"), "\"/opt/my apps/cine\\\\$mill\" %f");
    EXPECT_EQ(DesktopExecCommand("/a\"b/100%"), "\"/a\\\\\"b/100%%\" %f");
    EXPECT_EQ(DesktopExecCommand("/a\\b"), "\"/a\\\\\\\\b\" %f");
}

TEST_F(AssociationTest, TheProgramPageSetsAndRemovesTheEntry) {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    DesktopFileAssociation assoc(dir_.string(), "/usr/bin/cinemill");
    ProgramPage p = LoadProgramPage(prefs, &assoc);
    EXPECT_FALSE(p.associate);
    p.associate = true;
    ApplyProgramPage(p, prefs, &assoc, host);
    EXPECT_TRUE(assoc.Present());
    p = LoadProgramPage(prefs, &assoc);
    EXPECT_TRUE(p.associate);
    p.associate = false;
    ApplyProgramPage(p, prefs, &assoc, host);
    EXPECT_FALSE(assoc.Present());
    EXPECT_TRUE(host.errors.empty());

    DesktopFileAssociation broken(dir_.string(), "");
    p = LoadProgramPage(prefs, &broken);
    p.associate = true;
    EXPECT_TRUE(ApplyProgramPage(p, prefs, &broken, host).associationFailed);
    EXPECT_EQ(host.errors.size(), 1u);
}

}  // namespace
}  // namespace cinemill
