#include <gtest/gtest.h>

#include <filesystem>

#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {
namespace {

namespace fs = std::filesystem;
using namespace refresh;

const std::string kSample = std::string(CM_TESTDATA_DIR) + "/sample.gif";

TEST(EngineMainWindow, RecentEntriesOpenTheirPathAndMoveItFirst) {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    MemoryClipboard clipboard;
    Engine engine(prefs, host, clipboard);
    std::vector<std::string> nine;
    for (int i = 0; i < 9; ++i) nine.push_back("/nowhere/" + std::to_string(i) + ".gif");
    nine[2] = kSample;
    engine.SetRecentFiles(nine);
    ASSERT_EQ(engine.State().recent.size(), 7u);

    // An entry past the list does nothing.
    const CommandResult none = engine.OpenRecent(8);
    EXPECT_TRUE(none.Ok());
    EXPECT_EQ(none.refresh, 0u);
    EXPECT_FALSE(engine.State().HasDocument());

    // Entry 3 is the sample: it opens named and goes to the top.
    const CommandResult r = engine.OpenRecent(3);
    ASSERT_TRUE(r.Ok()) << (host.errors.empty() ? "" : host.errors[0]);
    EXPECT_TRUE(r.refresh & kTitle);
    EXPECT_TRUE(engine.State().HasDocument());
    EXPECT_FALSE(engine.State().modified);
    EXPECT_EQ(engine.State().path, kSample);
    ASSERT_EQ(engine.State().recent.size(), 7u);
    EXPECT_EQ(engine.State().recent[0], kSample);
    EXPECT_EQ(engine.State().recent[1], nine[0]);
    EXPECT_EQ(engine.State().recent[2], nine[1]);
    EXPECT_EQ(engine.State().recent[3], nine[3]);

    // A missing file: the message, and no document.
    const CommandResult bad = engine.OpenRecent(2);
    EXPECT_EQ(bad.result, Result::Failed);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_NE(host.errors[0].find(nine[0]), std::string::npos);
    EXPECT_FALSE(engine.State().HasDocument());
}

TEST(EngineMainWindow, PasteStateFollowsTheClipboardOnlyWhenItChanges) {
    PreferenceBlock prefs;
    SilentUiHost host;
    MemoryClipboard clipboard;
    Engine engine(prefs, host, clipboard);
    EXPECT_FALSE(engine.State().pasteAvailable);
    EXPECT_EQ(engine.RefreshPasteAvailable().refresh, 0u);
    clipboard.dib = std::vector<uint8_t>{1, 2, 3};
    EXPECT_EQ(engine.RefreshPasteAvailable().refresh, kClipboard);
    EXPECT_TRUE(engine.State().pasteAvailable);
    EXPECT_EQ(engine.RefreshPasteAvailable().refresh, 0u);
    clipboard.dib.reset();
    EXPECT_EQ(engine.RefreshPasteAvailable().refresh, kClipboard);
    EXPECT_FALSE(engine.State().pasteAvailable);
}

TEST(EngineMainWindow, DownloadItemsStoreTheirSpeed) {
    PreferenceBlock prefs;
    SilentUiHost host;
    MemoryClipboard clipboard;
    Engine engine(prefs, host, clipboard);
    EXPECT_EQ(engine.SetDownloadSpeed(Id(CommandId::DownloadFirst) + 4).refresh, kSize);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kDownloadSpeed), 4u);
    // The unused items and other ids keep the speed.
    EXPECT_EQ(engine.SetDownloadSpeed(Id(CommandId::DownloadLast)).refresh, 0u);
    EXPECT_EQ(engine.SetDownloadSpeed(Id(CommandId::Save)).refresh, 0u);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kDownloadSpeed), 4u);
}

}  // namespace
}  // namespace cinemill
