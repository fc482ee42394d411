#include "cinemill/app/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace cinemill {
namespace {

namespace fs = std::filesystem;

class IniStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("cm-ini-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        path_ = (dir_ / "cinemill.ini").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Text() const {
        std::ifstream in(path_);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    void Write(const std::string& text) const { std::ofstream(path_) << text; }
    fs::path dir_;
    std::string path_;
};

TEST_F(IniStoreTest, PreferencesRoundTripThroughTheFile) {
    {
        IniSettingsStore store(path_);
        PreferenceBlock prefs;
        prefs.Load(&store);  // no file yet: defaults
        EXPECT_EQ(prefs.DefaultDelay(), 10u);
        prefs.Set(PreferenceBlock::kDefaultDelay, 0xDEADBEEF);
        prefs.Set(PreferenceBlock::kUndoLevels, 7);
        prefs.SetSignature("two\nlines \"quoted\" back\\slash");
    }
    const std::string text = Text();
    EXPECT_NE(text.find("[Software\\Pellworth\\Cinemill\\2.0]\n"), std::string::npos);
    EXPECT_NE(text.find("Pref=hex:ef,be,ad,de,00,00,00,00,24,00"), std::string::npos);
    EXPECT_NE(text.find("NPref=dword:0000000d\n"), std::string::npos);
    EXPECT_NE(text.find("Sig=\"two\\nlines \\\"quoted\\\" back\\\\slash\"\n"), std::string::npos);

    IniSettingsStore store(path_);
    const auto pref = store.ReadBinary("Pref");
    ASSERT_TRUE(pref);
    EXPECT_EQ(pref->size(), 52u);
    PreferenceBlock prefs;
    prefs.Load(&store);
    EXPECT_EQ(prefs.DefaultDelay(), 0xDEADBEEFu);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kUndoLevels), 7u);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kPaletteMerging), 0x880201u);
    EXPECT_EQ(prefs.SignatureText(), "two\nlines \"quoted\" back\\slash");
    EXPECT_EQ(PreferenceBlock().Serialize().size(), 52u);
    PreferenceBlock written;
    written.Load(&store);
    EXPECT_EQ(written.Serialize(), prefs.Serialize());
}

TEST_F(IniStoreTest, OtherSectionsCommentsAndUnknownValuesStay) {
    Write("; kept\n[Other]\nPref=hex:01\n\n[Software\\Pellworth\\Cinemill\\2.0]\nFuture=blob:zz\nInitDir=\"/a\"\n[Tail]\nx=1\n");
    IniSettingsStore store(path_);
    EXPECT_EQ(store.ReadString("InitDir"), "/a");
    EXPECT_FALSE(store.ReadBinary("Pref"));  // another section's value
    EXPECT_FALSE(store.ReadString("Future"));
    ASSERT_TRUE(store.WriteString("InitDir", "/b"));
    ASSERT_TRUE(store.WriteDword("NPref", 13));
    EXPECT_EQ(Text(),
              "; kept\n[Other]\nPref=hex:01\n\n[Software\\Pellworth\\Cinemill\\2.0]\nFuture=blob:zz\n"
              "InitDir=\"/b\"\nNPref=dword:0000000d\n[Tail]\nx=1\n");
    ASSERT_TRUE(store.Remove("InitDir"));
    EXPECT_FALSE(store.ReadString("InitDir"));
    EXPECT_TRUE(store.Remove("InitDir"));  // already gone
    EXPECT_EQ(store.ReadDword("NPref"), 13u);
}

TEST_F(IniStoreTest, MalformedValuesReadAsMissing) {
    Write("[Software\\Pellworth\\Cinemill\\2.0]\nPref=hex:0a,0\nNPref=dword:123456789\nSig=\"open\n"
          "A=hex:0g\nB=dword:\nC=\"bad \\q escape\"\nD=hex:\nE=dword:ffffffff\n");
    IniSettingsStore store(path_);
    EXPECT_FALSE(store.ReadBinary("Pref"));
    EXPECT_FALSE(store.ReadDword("NPref"));
    EXPECT_FALSE(store.ReadString("Sig"));
    EXPECT_FALSE(store.ReadBinary("A"));
    EXPECT_FALSE(store.ReadDword("B"));
    EXPECT_FALSE(store.ReadString("C"));
    EXPECT_EQ(store.ReadBinary("D"), std::vector<uint8_t>{});
    EXPECT_EQ(store.ReadDword("E"), 0xFFFFFFFFu);
    EXPECT_FALSE(store.ReadString("E"));  // of another type
    PreferenceBlock prefs;
    prefs.Load(&store);
    EXPECT_EQ(prefs.DefaultDelay(), 10u);
}

TEST_F(IniStoreTest, AFileThatCannotBeWrittenKeepsChangesInMemoryOnly) {
    IniSettingsStore store((dir_ / "missing" / "dir" / "x.ini").string());
    PreferenceBlock prefs;
    prefs.Load(&store);
    prefs.Set(PreferenceBlock::kDefaultLoop, 4);
    EXPECT_EQ(prefs.DefaultLoop(), 4u);
    EXPECT_FALSE(store.WriteString("InitDir", "/x"));
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    // A path that is a directory is neither read nor replaced.
    fs::create_directories(dir_ / "taken");
    std::ofstream(dir_ / "taken" / "inside") << "x";
    IniSettingsStore taken((dir_ / "taken").string());
    EXPECT_FALSE(taken.ReadDword("NPref"));
    EXPECT_FALSE(taken.WriteDword("NPref", 13));
    EXPECT_TRUE(fs::exists(dir_ / "taken" / "inside"));
}

TEST(RecentFiles, ShiftingStopsAtTheSamePathTheFirstEmptySlotOrSlotSeven) {
    MemorySettingsStore store;
    PushRecentFile(store, "a");
    PushRecentFile(store, "b");
    PushRecentFile(store, "c");
    EXPECT_EQ(ReadRecentFiles(store), (std::vector<std::string>{"c", "b", "a"}));
    PushRecentFile(store, "b");  // moves to the top; "a" stays in slot 3
    EXPECT_EQ(ReadRecentFiles(store), (std::vector<std::string>{"b", "c", "a"}));
    PushRecentFile(store, "B");  // case-sensitive: a new entry
    EXPECT_EQ(ReadRecentFiles(store), (std::vector<std::string>{"B", "b", "c", "a"}));
    for (const char* p : {"d", "e", "f", "g"}) PushRecentFile(store, p);
    EXPECT_EQ(ReadRecentFiles(store), (std::vector<std::string>{"g", "f", "e", "d", "B", "b", "c"}));
    EXPECT_FALSE(store.ReadString("File8"));  // "a" dropped
    // Reading stops at the first missing slot.
    store.Remove("File3");
    EXPECT_EQ(ReadRecentFiles(store), (std::vector<std::string>{"g", "f"}));
}

}  // namespace
}  // namespace cinemill
