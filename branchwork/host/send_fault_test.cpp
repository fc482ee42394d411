// Send faults: an unclosed applet of ours, page names with "." and "..",
// graphics directories that are missing or out of reach, and a failed
// insert that names its real cause.
#include <gtest/gtest.h>

#include <filesystem>

#include "branchwork/base/texts.h"
#include "branchwork/host/page_file_host.h"
#include "branchwork/host/send.h"
#include "branchwork/model/test_support.h"

namespace branchwork {
namespace {

using testing::ReadAll;
using testing::ScratchDir;
using testing::WriteAll;
using testing::WriteTestGif;

TEST(AppletBlockTest, UnclosedAppletOfOursIsNotReplacedUpToAForeignClose) {
    const std::string page =
        "<body>\n<APPLET CODE=\"VoltarR.class\" WIDTH=1 HEIGHT=1>\n<p>keep me</p>\n"
        "<APPLET CODE=\"Other.class\"></APPLET>\n</body>\n";
    EXPECT_FALSE(FindAppletBlock(page));
    // A complete block is still found.
    const std::string good = "<APPLET CODE=\"VoltarR.class\"></APPLET>\n<APPLET CODE=\"Other.class\"></APPLET>";
    const auto b = FindAppletBlock(good);
    ASSERT_TRUE(b);
    EXPECT_EQ(good.substr(b->begin, b->textEnd - b->begin), "<APPLET CODE=\"VoltarR.class\"></APPLET>");

    ScratchDir dir("unclosed_applet");
    WriteAll(dir.File("index.html"), page);
    NavigationProject p;
    p.ResetForNew(AppletKind::Tab);
    BwScriptedUiHost ui;
    const SendResult r = SendToHost(p, ui, PageFileHostFactory(dir.File("index.html")), dir.Dir());
    ASSERT_EQ(r.status, SendStatus::Inserted);
    const std::string after = ReadAll(dir.File("index.html"));
    EXPECT_NE(after.find("<p>keep me</p>\n<APPLET CODE=\"Other.class\"></APPLET>"), std::string::npos) << after;
    EXPECT_NE(after.find("VoltanR.class"), std::string::npos);
}

// A Tree project whose root shows a.gif.
void ProjectWithImage(NavigationProject& p, const ScratchDir& dir) {
    ASSERT_TRUE(WriteTestGif(dir.File("src/a.gif"), 16, 16));
    p.ResetForNew(AppletKind::Tree);
    BwScriptedUiHost host;
    ASSERT_EQ(p.AddImages({dir.File("src/a.gif")}, host), 1);
    p.Current()->tree.First()->data.collapsedImage = 0;
}

TEST(PageDirectoryTest, DotAndDotDotInThePageNameGiveWorkingReferences) {
    ScratchDir dir("page_dotdot");
    dir.Sub("src");
    dir.Sub("site/sub");
    const std::string gfx = dir.Sub("site/images");
    WriteAll(dir.File("site/index.html"), "<body>\n<!-- branchwork -->\n</body>\n");
    NavigationProject p;
    ProjectWithImage(p, dir);
    BwScriptedUiHost ui;
    ui.graphicsDirAnswers.push_back(gfx);
    const SendResult r = SendToHost(p, ui, PageFileHostFactory(dir.File("site/./sub/../index.html")), dir.Dir());
    ASSERT_EQ(r.status, SendStatus::Inserted);
    EXPECT_EQ(r.pageDir, dir.File("site") + "/");
    EXPECT_NE(r.markup.text.find("; 0; images/a.gif; images/a.gif; "), std::string::npos) << r.markup.text;
    EXPECT_TRUE(std::filesystem::exists(gfx + "a.gif"));

    // The generator normalises what it is given as well.
    BwScriptedUiHost quiet;
    const MarkupResult m =
        GenerateAppletMarkup(p, {dir.File("site/sub/../"), dir.File("site/./images"), dir.Dir(), false}, quiet);
    EXPECT_NE(m.text.find("; 0; images/a.gif; "), std::string::npos) << m.text;
}

TEST(PageDirectoryTest, GraphicsDirectoryOutOfReachIsAnError) {
    ScratchDir dir("gfx_unreachable");
    dir.Sub("src");
    const std::string site = dir.Sub("site");
    NavigationProject p;
    ProjectWithImage(p, dir);
    BwScriptedUiHost ui;
    const MarkupResult m = GenerateAppletMarkup(p, {site, "C:\\pics\\", dir.Dir(), true}, ui);
    EXPECT_FALSE(m.ok);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              std::string(texts::kGraphicsNotReachablePrefix) + "C:\\pics\\" + texts::kGraphicsNotReachableSuffix);
    EXPECT_TRUE(m.copiedFiles.empty());
}

TEST(PageDirectoryTest, MissingGraphicsDirectoryIsMadeBelowThePageOrRefused) {
    ScratchDir dir("gfx_missing");
    dir.Sub("src");
    const std::string site = dir.Sub("site");
    NavigationProject p;
    ProjectWithImage(p, dir);
    BwScriptedUiHost ui;
    const MarkupResult m = GenerateAppletMarkup(p, {site, site + "img/small", dir.Dir(), true}, ui);
    ASSERT_TRUE(m.ok);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(std::filesystem::exists(site + "img/small/a.gif"));

    const std::string outside = dir.File("elsewhere/pics") + "/";
    const MarkupResult n = GenerateAppletMarkup(p, {site, outside, dir.Dir(), true}, ui);
    EXPECT_FALSE(n.ok);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              std::string(texts::kGraphicsNotReachablePrefix) + outside + texts::kGraphicsDirMissingSuffix);
    EXPECT_FALSE(std::filesystem::exists(dir.File("elsewhere")));
}

TEST(FailedInsertTest, PageThatCannotBeWrittenIsNamedNotTheLink) {
    ScratchDir dir("insert_cause");
    const std::string page = dir.File("index.html");
    const std::string original = "<body>\n<!-- branchwork -->\n</body>\n";
    WriteAll(page, original);
    // A folder where the backup goes makes the page's save fail.
    dir.Sub("index.html.bak/x");
    NavigationProject p;
    p.ResetForNew(AppletKind::Tab);
    BwScriptedUiHost ui;
    const SendResult r = SendToHost(p, ui, PageFileHostFactory(page), dir.Dir());
    EXPECT_EQ(r.status, SendStatus::InsertFailed);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text, std::string(texts::kPageNotWritten) + page + "\".");
    EXPECT_EQ(ReadAll(page), original);
}

}  // namespace
}  // namespace branchwork
