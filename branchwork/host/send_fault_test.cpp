// Send faults: an unclosed applet of ours, page names with "." and "..",
// graphics directories that are missing or out of reach, and a failed
// insert that names its real cause.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Sends a new Tab applet to the page file `page`; the applet classes come
// from `program_dir`.
SendResult SendNewTabApplet(const std::string& page, BwScriptedUiHost& ui, const std::string& program_dir) {
    NavigationProject p;
    p.ResetForNew(AppletKind::Tab);
    return SendToHost(p, ui, PageFileHostFactory(page), program_dir);
}

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
    BwScriptedUiHost ui;
    const SendResult r = SendNewTabApplet(dir.File("index.html"), ui, dir.Dir());
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
    BwScriptedUiHost ui;
    const SendResult r = SendNewTabApplet(page, ui, dir.Dir());
    EXPECT_EQ(r.status, SendStatus::InsertFailed);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text, std::string(texts::kPageNotWritten) + page + "\". '" + page +
                                           ".bak' is not a regular file, so it was not replaced.");
    EXPECT_EQ(ReadAll(page), original);
}

// Whether the folder holds anything but the given names.
bool OnlyThese(const std::string& dir, std::initializer_list<std::string> names) {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string f = e.path().filename().string();
        if (std::find(names.begin(), names.end(), f) == names.end()) return false;
        ++n;
    }
    return n == names.size();
}

TEST(PageRefusalTest, APageOverTheTextCapIsRefusedAndItsBackupKept) {
    ScratchDir dir("page_too_large");
    const std::string page = dir.File("index.html");
    WriteAll(page, "<html><body>\n");
    // Sparse: 65 MiB long without using the disk.
    ASSERT_EQ(truncate(page.c_str(), off_t(65) << 20), 0);
    WriteAll(page + ".bak", "the backup before");
    BwScriptedUiHost ui;
    const SendResult r = SendNewTabApplet(page, ui, dir.Dir());
    EXPECT_EQ(r.status, SendStatus::PageRefused);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              std::string(texts::kFileTooLargePrefix) + page + texts::kFileTooLargeSuffix);
    EXPECT_EQ(std::filesystem::file_size(page), uintmax_t(65) << 20);
    EXPECT_EQ(ReadAll(page + ".bak"), "the backup before");
    EXPECT_TRUE(OnlyThese(dir.Dir(), {"index.html", "index.html.bak"}));
    // Every call fails with the cause; the page is never "no document".
    PageFileHost host(page);
    for (const char* m : {kIsDocumentOpen, kCreateNewDoc, kGetSelection, kForceSave}) {
        const HostReply reply = host.Invoke(m, {});
        EXPECT_FALSE(reply.ok) << m;
        EXPECT_EQ(reply.text, ui.messages[0].text) << m;
    }
}

TEST(PageRefusalTest, AFolderOrFifoAsThePageIsRefused) {
    ScratchDir dir("page_special");
    const std::string fifo = dir.File("fifo.html");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    dir.Sub("folder.html");
    for (const std::string& page : {fifo, dir.File("folder.html")}) {
        BwScriptedUiHost ui;
        const SendResult r = SendNewTabApplet(page, ui, dir.Dir());
        EXPECT_EQ(r.status, SendStatus::PageRefused) << page;
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, "'" + page + "' is not a regular file, so it was not replaced.");
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(OnlyThese(dir.Dir(), {"fifo.html", "folder.html"}));
}

TEST(PageRefusalTest, AReadOnlyPageIsRefusedButCanStillBeImported) {
    ScratchDir dir("page_readonly");
    const std::string page = dir.File("index.html");
    const std::string original =
        "<body>\n<APPLET CODE=\"VoltarR.class\" WIDTH=1 HEIGHT=1>\n"
        "<PARAM NAME=\"I0\" VALUE=\"Home; None; None; 0;  ;  ; ; None; None\">\n</APPLET>\n</body>\n";
    WriteAll(page, original);
    ASSERT_EQ(chmod(page.c_str(), 0444), 0);
    BwScriptedUiHost ui;
    const SendResult r = SendNewTabApplet(page, ui, dir.Dir());
    EXPECT_EQ(r.status, SendStatus::PageRefused);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "'" + page + "' is read-only, so it was not replaced.");
    EXPECT_EQ(ReadAll(page), original);
    EXPECT_TRUE(OnlyThese(dir.Dir(), {"index.html"}));
    // Reading it is fine.
    NavigationProject q;
    BwScriptedUiHost quiet;
    const StartupImport in = ImportFromHost(q, quiet, PageFileHostFactory(page));
    EXPECT_TRUE(in.imported);
}

TEST(PageRefusalTest, TheBackupHoldsThePageAsReadBeforeThisSend) {
    ScratchDir dir("page_backup");
    const std::string page = dir.File("index.html");
    const std::string original = "<body>\n<!-- branchwork -->\n</body>\n";
    WriteAll(page, original);
    WriteAll(page + ".bak", "an older backup");
    PageFileHost host(page);
    // Two saves in one session (a forced save, then the insert): the backup
    // is still the page as it was read, not the first save's result.
    ASSERT_TRUE(host.Invoke(kForceSave, {}).ok);
    ASSERT_TRUE(host.Invoke(kInsertAtCursor, {"<APPLET CODE=\"VoltanR.class\"></APPLET>\n"}).ok);
    ASSERT_TRUE(host.Invoke(kInsertAtCursor, {"<APPLET CODE=\"VoltanR.class\"></APPLET>\n"}).ok);
    EXPECT_EQ(ReadAll(page + ".bak"), original);
    EXPECT_NE(ReadAll(page).find("VoltanR.class"), std::string::npos);
    EXPECT_TRUE(OnlyThese(dir.Dir(), {"index.html", "index.html.bak"}));

    // A page reached through a link: the link stays, the page changes, the
    // backup goes beside the link's name.
    dir.Sub("real");
    WriteAll(dir.File("real/page.html"), original);
    std::filesystem::create_symlink("real/page.html", dir.File("link.html"));
    PageFileHost linked(dir.File("link.html"));
    ASSERT_TRUE(linked.Invoke(kInsertAtCursor, {"<APPLET CODE=\"VoltanR.class\"></APPLET>\n"}).ok);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.html")));
    EXPECT_NE(ReadAll(dir.File("real/page.html")).find("VoltanR.class"), std::string::npos);
    EXPECT_EQ(ReadAll(dir.File("link.html.bak")), original);
}

TEST(FailedMarkupTest, ACopyThatCannotBeWrittenFailsTheRunAndRemovesWhatItMade) {
    ScratchDir dir("markup_copy_fails");
    dir.Sub("prog/help/JClass");
    WriteAll(dir.File("prog/help/JClass/VoltanR.class"), "applet");
    WriteAll(dir.File("prog/help/JClass/TabPanel.class"), "panel");
    const std::string site = dir.Sub("site");
    // A FIFO where one class goes: that copy is refused.
    ASSERT_EQ(mkfifo((site + "TabPanel.class").c_str(), 0600), 0);
    NavigationProject p;
    p.ResetForNew(AppletKind::Tab);
    BwScriptedUiHost ui;
    MarkupResult m = GenerateAppletMarkup(p, {site, site, dir.File("prog"), true}, ui);
    EXPECT_FALSE(m.ok);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("TabPanel.class' is not a regular file"), std::string::npos)
        << ui.messages[0].text;
    EXPECT_TRUE(m.createdFiles.empty());
    EXPECT_TRUE(OnlyThese(site, {"TabPanel.class"}));
}

}  // namespace
}  // namespace branchwork
