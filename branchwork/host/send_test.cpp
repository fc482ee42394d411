#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string_view>

#include "branchwork/base/texts.h"
#include "branchwork/host/page_file_host.h"
#include "branchwork/host/send.h"
#include "branchwork/model/test_support.h"

namespace branchwork {
namespace {

using testing::ReadAll;
using testing::ScratchDir;
using testing::WriteAll;

const std::string kComm = "message:An error has occured while communicating with Harborline.";

struct Fixture {
    BwScriptedUiHost ui;
    HostScript script;
    NavigationProject project;
    explicit Fixture(AppletKind kind = AppletKind::TabAndTree) {
        script.log = &ui.log;
        project.ResetForNew(kind);
    }
    SendResult Send(const std::string& program_dir = "/nonexistent-program/") {
        return SendToHost(project, ui, ScriptedHostFactory(script), program_dir);
    }
};

TEST(SendTest, HappyPathInOrder) {
    ScratchDir dir("send_happy");
    Fixture f;
    f.script.defaults[kIsDocumentOpen] = HostReply::Ok("True");
    f.script.defaults[kGetSaveDirectory] = HostReply::Ok(dir.Dir());
    f.script.defaults[kInsertAtCursor] = HostReply::Ok();
    SendResult r = f.Send();
    EXPECT_EQ(r.status, SendStatus::Inserted);
    EXPECT_EQ(f.ui.log, (std::vector<std::string>{"output-options", "call:HD_ISDOCUMENTOPEN", "call:DOC_GETSAVEDIRECTORY",
                                                  "graphics-dir:" + dir.Dir(), "call:TEXT_INSERTATCURSOR",
                                                  "message:HTML inserted successfully."}));
    ASSERT_EQ(f.script.inserted.size(), 1u);
    EXPECT_EQ(f.script.inserted[0], r.markup.text);
    EXPECT_EQ(f.ui.messages.back().icon, MessageIcon::Information);
    EXPECT_EQ(f.script.created, 1);
}

TEST(SendTest, NoOpenDocumentCreatesOneOnce) {
    ScratchDir dir("send_newdoc");
    Fixture f(AppletKind::Tab);
    f.script.defaults[kIsDocumentOpen] = HostReply::Ok("fAlSe");
    f.script.defaults[kCreateNewDoc] = HostReply::Ok();
    f.script.defaults[kGetSaveDirectory] = HostReply::Ok(dir.Dir());
    f.script.defaults[kInsertAtCursor] = HostReply::Ok();
    SendResult r = f.Send();
    EXPECT_EQ(r.status, SendStatus::Inserted);
    // The Tab kind asks no output options.
    EXPECT_EQ(f.ui.log[0], "call:HD_ISDOCUMENTOPEN");
    EXPECT_EQ(f.ui.log[1], "message:There is no open file in Harborline. A new file will be created.");
    EXPECT_EQ(f.ui.log[2], "call:HD_CREATENEWDOC");
    EXPECT_EQ(f.script.CountOf(kCreateNewDoc), 1);
}

TEST(SendTest, UnsavedDocumentIsSavedUntilADirectoryComes) {
    ScratchDir dir("send_unsaved");
    Fixture f;
    f.script.defaults[kIsDocumentOpen] = HostReply::Ok("true");
    f.script.Queue(kGetSaveDirectory, HostReply::Ok(""));
    f.script.Queue(kGetSaveDirectory, HostReply::Ok(""));
    f.script.Queue(kGetSaveDirectory, HostReply::Ok(dir.Dir()));
    f.script.defaults[kForceSave] = HostReply::Ok();
    f.script.defaults[kInsertAtCursor] = HostReply::Ok();
    SendResult r = f.Send();
    EXPECT_EQ(r.status, SendStatus::Inserted);
    EXPECT_EQ(r.pageDir, dir.Dir());
    EXPECT_EQ(f.script.CountOf(kForceSave), 2);
    const std::string not_saved = "message:The current file in Harborline is not saved. It will now be saved.";
    EXPECT_EQ(f.ui.log, (std::vector<std::string>{
                            "output-options", "call:HD_ISDOCUMENTOPEN", "call:DOC_GETSAVEDIRECTORY", not_saved,
                            "minimize", "call:DOC_FORCESAVE", "restore", "call:DOC_GETSAVEDIRECTORY", not_saved,
                            "minimize", "call:DOC_FORCESAVE", "restore", "call:DOC_GETSAVEDIRECTORY",
                            "graphics-dir:" + dir.Dir(), "call:TEXT_INSERTATCURSOR",
                            "message:HTML inserted successfully."}));
}

TEST(SendTest, HostThatNeverSavesIsGivenUp) {
    Fixture f;
    f.script.defaults[kIsDocumentOpen] = HostReply::Ok("true");
    f.script.defaults[kGetSaveDirectory] = HostReply::Ok("");
    f.script.defaults[kForceSave] = HostReply::Ok();
    SendResult r = f.Send();
    EXPECT_EQ(r.status, SendStatus::NoPageDirectory);
    EXPECT_EQ(f.script.CountOf(kForceSave), kMaxSaveAttempts);
    EXPECT_EQ(f.script.CountOf(kInsertAtCursor), 0);
    EXPECT_EQ(f.ui.messages.back().text, texts::kStillNotSaved);
}

TEST(SendTest, HostWithoutSaveDirectoryAsksForThePageFile) {
    ScratchDir dir("send_nodir");
    WriteAll(dir.File("page.html"), "<html></html>");
    Fixture f;
    f.script.defaults[kIsDocumentOpen] = HostReply::Ok("True");
    f.script.defaults[kInsertAtCursor] = HostReply::Ok();
    f.ui.pageFileAnswers = {std::string(""), dir.File("nothere.html"), dir.File("page.html")};
    f.project.nodeInfoInApplet = true;
    f.ui.outputOptionAnswers = {false};  // content files: they must land in the page's directory
    SendResult r = f.Send();
    EXPECT_EQ(r.status, SendStatus::Inserted);
    EXPECT_EQ(r.pageDir, dir.Dir());
    EXPECT_TRUE(std::filesystem::exists(dir.File("Tab0Content.txt")));
    EXPECT_EQ(f.ui.log, (std::vector<std::string>{
                            "output-options", "call:HD_ISDOCUMENTOPEN", "call:DOC_GETSAVEDIRECTORY",
                            std::string("message:") + texts::kNoFileName, "page-file",
                            "message:Please enter the HTML file's full name and path.", "page-file",
                            "message:Unable to find " + dir.File("nothere.html") +
                                "\nPlease check the filename and try again.",
                            "page-file", "graphics-dir:" + dir.Dir(), "call:TEXT_INSERTATCURSOR",
                            "message:HTML inserted successfully."}));
}

TEST(SendTest, NoPageFileGivenStopsTheSend) {
    Fixture f;
    f.script.defaults[kIsDocumentOpen] = HostReply::Ok("True");
    SendResult r = f.Send();
    EXPECT_EQ(r.status, SendStatus::Cancelled);
    EXPECT_EQ(f.script.CountOf(kInsertAtCursor), 0);
}

TEST(SendTest, CancelledOutputOptionsCreateNoHost) {
    Fixture f(AppletKind::Tree);
    f.ui.outputOptionAnswers = {std::nullopt};
    SendResult r = f.Send();
    EXPECT_EQ(r.status, SendStatus::Cancelled);
    EXPECT_EQ(f.script.created, 0);
    EXPECT_EQ(f.ui.log, (std::vector<std::string>{"output-options"}));
}

TEST(SendTest, HostThatCannotBeCreatedWritesNothing) {
    Fixture f;
    f.script.failCreate = true;
    SendResult r = f.Send();
    EXPECT_EQ(r.status, SendStatus::NoPageDirectory);
    EXPECT_EQ(f.ui.log, (std::vector<std::string>{"output-options", kComm,
                                                  std::string("message:") + texts::kNoPageDirectory}));
}

TEST(SendTest, FailingCallInTheDirectoryStepsGoesOnWithTheDirectory) {
    ScratchDir dir("send_forcesave_fails");
    Fixture f;
    f.script.defaults[kIsDocumentOpen] = HostReply::Ok("True");
    f.script.Queue(kGetSaveDirectory, HostReply::Ok(""));
    f.script.defaults[kForceSave] = HostReply::Fail();
    SendResult r = f.Send();
    EXPECT_EQ(r.status, SendStatus::NoPageDirectory);
    EXPECT_NE(std::find(f.ui.log.begin(), f.ui.log.end(), kComm), f.ui.log.end());
    EXPECT_EQ(f.ui.log[f.ui.log.size() - 3], "restore");  // the window comes back even when saving failed
}

TEST(SendTest, FailedInsertIsReportedAndFilesStay) {
    ScratchDir dir("send_insert_fails");
    dir.Sub("prog/help/JClass");
    WriteAll(dir.File("prog/help/JClass/VoltarixR.class"), "x");
    Fixture f;
    f.script.defaults[kIsDocumentOpen] = HostReply::Ok("True");
    f.script.defaults[kGetSaveDirectory] = HostReply::Ok(dir.Dir());
    f.script.defaults[kInsertAtCursor] = HostReply::Fail();
    SendResult r = f.Send(dir.File("prog/"));
    EXPECT_EQ(r.status, SendStatus::InsertFailed);
    EXPECT_EQ(f.ui.log.back(), kComm);
    EXPECT_EQ(f.script.CountOf(kInsertAtCursor), 1);  // never inserted twice
    EXPECT_TRUE(std::filesystem::exists(dir.File("VoltarixR.class")));
}

TEST(SendTest, UnwritableContentFileInsertsNothing) {
    Fixture f(AppletKind::Tree);
    f.ui.outputOptionAnswers = {false};
    f.script.defaults[kIsDocumentOpen] = HostReply::Ok("True");
    f.script.defaults[kGetSaveDirectory] = HostReply::Ok("/nonexistent-branchwork-dir/site/");
    f.script.defaults[kInsertAtCursor] = HostReply::Ok();
    SendResult r = f.Send();
    EXPECT_EQ(r.status, SendStatus::MarkupFailed);
    EXPECT_EQ(f.script.CountOf(kInsertAtCursor), 0);
}

TEST(ImportFromHostTest, ImportsTheSelectedApplet) {
    ScratchDir dir("import_host");
    Fixture f;
    f.script.defaults[kGetSelection] = HostReply::Ok(
        "<APPLET CODEBASE=\".\" CODE=\"VoltanR.class\" WIDTH=250 HEIGHT=300>"
        "<PARAM NAME=\"TAB0\" VALUE=\"Imported; a.htm; _top; s; None; None\"></APPLET>");
    f.script.defaults[kGetSaveDirectory] = HostReply::Ok(dir.Dir());
    NavigationProject p;
    StartupImport r = ImportFromHost(p, f.ui, ScriptedHostFactory(f.script));
    EXPECT_TRUE(r.imported);
    EXPECT_EQ(r.pageDir, dir.Dir());
    EXPECT_EQ(p.kind, AppletKind::Tab);
    EXPECT_EQ(p.styles.width, "250");
    ASSERT_EQ(p.TabCount(), 1);
    EXPECT_EQ(p.Page(0).caption, "Imported");
    EXPECT_EQ(f.script.calls, (std::vector<std::string>{kGetSelection, kGetSaveDirectory}));
}

TEST(ImportFromHostTest, NothingToImport) {
    NavigationProject p;
    {
        Fixture f;  // empty selection
        f.script.defaults[kGetSelection] = HostReply::Ok("");
        EXPECT_FALSE(ImportFromHost(p, f.ui, ScriptedHostFactory(f.script)).imported);
        EXPECT_TRUE(f.ui.messages.empty());
        EXPECT_EQ(f.script.CountOf(kGetSaveDirectory), 0);
    }
    {
        Fixture f;  // a selection without one of the three applets
        f.script.defaults[kGetSelection] = HostReply::Ok("<APPLET CODE=\"Clock.class\"></APPLET>");
        f.script.defaults[kGetSaveDirectory] = HostReply::Ok("/x/");
        EXPECT_FALSE(ImportFromHost(p, f.ui, ScriptedHostFactory(f.script)).imported);
    }
    {
        Fixture f;  // selection call fails
        EXPECT_FALSE(ImportFromHost(p, f.ui, ScriptedHostFactory(f.script)).imported);
        EXPECT_EQ(f.ui.log.back(), kComm);
    }
    {
        Fixture f;  // no host at all: quiet
        f.script.failCreate = true;
        EXPECT_FALSE(ImportFromHost(p, f.ui, ScriptedHostFactory(f.script)).imported);
        EXPECT_TRUE(f.ui.log.empty());
    }
}

TEST(ImportFromHostTest, HostWithoutDirectoryAsksForThePage) {
    ScratchDir dir("import_nodir");
    WriteAll(dir.File("p.htm"), "x");
    Fixture f;
    f.script.defaults[kGetSelection] = HostReply::Ok("<APPLET CODE=\"VoltarR.class\"></APPLET>");
    f.ui.pageFileAnswers = {dir.File("p.htm")};
    NavigationProject p;
    StartupImport r = ImportFromHost(p, f.ui, ScriptedHostFactory(f.script));
    EXPECT_TRUE(r.imported);
    EXPECT_EQ(r.pageDir, dir.Dir());
    EXPECT_EQ(f.ui.messages[0].text, texts::kNoFileName);
}

TEST(PageFileHostTest, SendingTwiceLeavesOneAppletBlock) {
    ScratchDir dir("pagehost_twice");
    const std::string page = dir.File("index.html");
    WriteAll(page, "<html>\n<body>\n<p>Hello</p>\n<!-- branchwork -->\n<p>Bye</p>\n</body>\n</html>\n");
    NavigationProject p;
    p.ResetForNew(AppletKind::TabAndTree);
    BwScriptedUiHost ui;
    SendResult r1 = SendToHost(p, ui, PageFileHostFactory(page), dir.Dir());
    ASSERT_EQ(r1.status, SendStatus::Inserted);
    const std::string once = ReadAll(page);
    EXPECT_NE(once.find("<!-- branchwork -->\n<!-- The following files"), std::string::npos) << once;
    EXPECT_EQ(ReadAll(page + ".bak"), "<html>\n<body>\n<p>Hello</p>\n<!-- branchwork -->\n<p>Bye</p>\n</body>\n</html>\n");

    p.SetTabCaption(0, "Renamed");
    SendResult r2 = SendToHost(p, ui, PageFileHostFactory(page), dir.Dir());
    ASSERT_EQ(r2.status, SendStatus::Inserted);
    const std::string twice = ReadAll(page);
    auto count = [&](const std::string& s, const std::string& what) {
        size_t n = 0;
        for (size_t at = 0; (at = s.find(what, at)) != std::string::npos; ++at) ++n;
        return n;
    };
    EXPECT_EQ(count(twice, "<APPLET"), 1u);
    EXPECT_EQ(count(twice, "</APPLET>"), 1u);
    EXPECT_EQ(count(twice, "files need to be uploaded"), 1u);
    EXPECT_NE(twice.find("Renamed"), std::string::npos);
    EXPECT_NE(twice.find("</APPLET>\r\n<p>Bye</p>"), std::string::npos);
    EXPECT_EQ(ReadAll(page + ".bak"), once);
}

TEST(PageFileHostTest, CursorBeforeBodyEndAndSelection) {
    ScratchDir dir("pagehost_body");
    const std::string page = dir.File("a.htm");
    WriteAll(page, "<html><body>text</BODY></html>");
    PageFileHost host(page);
    EXPECT_EQ(host.Invoke(kGetSelection, {}).text, "");
    ASSERT_TRUE(host.Invoke(kInsertAtCursor, {"<APPLET CODE=\"VoltarR.class\">\r\n</APPLET>\r\n"}).ok);
    EXPECT_EQ(ReadAll(page), "<html><body>text<APPLET CODE=\"VoltarR.class\">\r\n</APPLET>\r\n</BODY></html>");
    EXPECT_EQ(host.Invoke(kGetSelection, {}).text, "<APPLET CODE=\"VoltarR.class\">\r\n</APPLET>");
    EXPECT_EQ(host.Invoke(kGetSaveDirectory, {}).text, dir.Dir());
    EXPECT_FALSE(host.Invoke("NO_SUCH_METHOD", {}).ok);
}

TEST(PageFileHostTest, MissingPageIsCreatedAndSavedThroughTheSend) {
    ScratchDir dir("pagehost_new");
    const std::string page = dir.File("new.html");
    NavigationProject p;
    p.ResetForNew(AppletKind::Tab);
    BwScriptedUiHost ui;
    SendResult r = SendToHost(p, ui, PageFileHostFactory(page), dir.Dir());
    ASSERT_EQ(r.status, SendStatus::Inserted);
    EXPECT_EQ(ui.Texts(), (std::vector<std::string>{texts::kNoOpenFile, texts::kNotSaved, texts::kInserted}));
    const std::string text = ReadAll(page);
    EXPECT_NE(text.find("<!-- branchwork -->\r\n<!-- The following"), std::string::npos);
    EXPECT_NE(text.find("</APPLET>\r\n</body>"), std::string::npos);
}

// Text whose characters are all below U+0100 as UTF-16 units after a mark,
// and back; written here byte by byte, apart from the code under test.
std::string Widen(std::string_view latin1, bool big_endian) {
    std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : latin1) {
        if (big_endian) out += '\0';
        out += c;
        if (!big_endian) out += '\0';
    }
    return out;
}
// Nothing when a unit is past U+00FF or the length is odd.
std::optional<std::string> Narrow(std::string_view units, bool big_endian) {
    if (units.size() % 2) return std::nullopt;
    std::string out;
    for (size_t k = 0; k < units.size(); k += 2) {
        const char hi = big_endian ? units[k] : units[k + 1], lo = big_endian ? units[k + 1] : units[k];
        if (hi != '\0') return std::nullopt;
        out += lo;
    }
    return out;
}

const char* const kLatin1Page = "<html>\r\n<body>\r\n<p>Caf\xE9</p>\r\n</body>\r\n</html>\r\n";
const char* const kCafe = "Caf\xC3\xA9";  // UTF-8, as the model holds it

// Sends a one-tab project captioned "Cafe" (with an e acute) to the page, then
// imports it back; answers the imported caption.
std::string SendAndImport(ScratchDir& dir, const std::string& page, BwScriptedUiHost& ui, SendStatus& status) {
    NavigationProject p;
    p.ResetForNew(AppletKind::Tab);
    p.SetTabCaption(0, kCafe);
    status = SendToHost(p, ui, PageFileHostFactory(page), dir.Dir()).status;
    NavigationProject back;
    const StartupImport r = ImportFromHost(back, ui, PageFileHostFactory(page));
    return r.imported && back.TabCount() == 1 ? back.Page(0).caption : "(nothing imported)";
}

TEST(PageFileHostTest, Utf16PagesGetTheAppletInUtf16WithTheirMark) {
    for (const bool big_endian : {false, true}) {
        SCOPED_TRACE(big_endian ? "UTF-16BE" : "UTF-16LE");
        ScratchDir dir(big_endian ? "pagehost_u16be" : "pagehost_u16le");
        const std::string page = dir.File("index.html");
        const std::string original = Widen(kLatin1Page, big_endian);
        WriteAll(page, original);
        BwScriptedUiHost ui;
        SendStatus status{};
        EXPECT_EQ(SendAndImport(dir, page, ui, status), kCafe);
        EXPECT_EQ(status, SendStatus::Inserted);
        const std::string bytes = ReadAll(page);
        EXPECT_EQ(bytes.substr(0, 2), big_endian ? "\xFE\xFF" : "\xFF\xFE") << "the mark";
        const auto text = Narrow(std::string_view(bytes).substr(2), big_endian);
        ASSERT_TRUE(text) << "not UTF-16 of the right byte order";
        EXPECT_EQ(text->find("\xFE\xFF"), std::string::npos);
        EXPECT_EQ(text->substr(0, 23), "<html>\r\n<body>\r\n<p>Caf\xE9");
        EXPECT_NE(text->find("VALUE=\"Caf\xE9;"), std::string::npos) << *text;
        EXPECT_NE(text->find("</APPLET>\r\n</body>\r\n</html>\r\n"), std::string::npos);
        EXPECT_EQ(text->find("</html>"), text->size() - 9) << "nothing after the end of the page";
        EXPECT_EQ(ReadAll(page + ".bak"), original);
    }
}

TEST(PageFileHostTest, Utf8PagesKeepOrLackTheirMark) {
    for (const bool bom : {true, false}) {
        SCOPED_TRACE(bom ? "with mark" : "without mark");
        ScratchDir dir(bom ? "pagehost_u8bom" : "pagehost_u8");
        const std::string page = dir.File("index.html");
        const std::string body = "<html>\n<body>\n<p>" + std::string(kCafe) + "</p>\n</body>\n</html>\n";
        WriteAll(page, (bom ? "\xEF\xBB\xBF" : "") + body);
        BwScriptedUiHost ui;
        SendStatus status{};
        EXPECT_EQ(SendAndImport(dir, page, ui, status), kCafe);
        EXPECT_EQ(status, SendStatus::Inserted);
        const std::string bytes = ReadAll(page);
        EXPECT_EQ(bytes.substr(0, bom ? 3 : 0), bom ? "\xEF\xBB\xBF" : "");
        EXPECT_EQ(bytes.find("\xEF\xBB\xBF", 1), std::string::npos);
        const std::string text = bytes.substr(bom ? 3 : 0);
        EXPECT_EQ(text.substr(0, 20), body.substr(0, 20));
        EXPECT_NE(text.find("VALUE=\"" + std::string(kCafe) + ";"), std::string::npos) << text;
        EXPECT_NE(text.find("</APPLET>\r\n</body>"), std::string::npos);
    }
}

TEST(PageFileHostTest, EightBitPagesKeepTheirBytesAndGetReferences) {
    ScratchDir dir("pagehost_8bit");
    const std::string page = dir.File("index.html");
    WriteAll(page, kLatin1Page);
    BwScriptedUiHost ui;
    SendStatus status{};
    EXPECT_EQ(SendAndImport(dir, page, ui, status), kCafe);
    EXPECT_EQ(status, SendStatus::Inserted);
    const std::string text = ReadAll(page);
    EXPECT_EQ(text.substr(0, 23), "<html>\r\n<body>\r\n<p>Caf\xE9");
    EXPECT_NE(text.find("VALUE=\"Caf&#233;;"), std::string::npos) << text;
    for (size_t i = 23; i < text.size(); ++i) EXPECT_LT(static_cast<unsigned char>(text[i]), 0x80u) << i;
}

TEST(PageFileHostTest, PagesInOtherEncodingsAreRefusedAndLeftAlone) {
    // UTF-16 without a mark, and UTF-32 with one.
    std::string utf32 = "\xFF\xFE";
    utf32 += std::string(2, '\0');
    for (const char c : std::string("<html><body></body></html>")) utf32 += std::string(1, c) + std::string(3, '\0');
    for (const std::string& original : {Widen(kLatin1Page, false).substr(2), utf32}) {
        ScratchDir dir("pagehost_refused");
        const std::string page = dir.File("index.html");
        WriteAll(page, original);
        BwScriptedUiHost ui;
        SendStatus status{};
        EXPECT_EQ(SendAndImport(dir, page, ui, status), "(nothing imported)");
        EXPECT_EQ(status, SendStatus::InsertFailed);
        const std::string said = std::string(texts::kPageEncodingPrefix) + page + texts::kPageEncodingSuffix;
        ASSERT_EQ(ui.messages.size(), 2u);
        EXPECT_EQ(ui.messages[0].text, said);  // the send
        EXPECT_EQ(ui.messages[1].text, said);  // the import
        EXPECT_EQ(ReadAll(page), original);
        EXPECT_FALSE(std::filesystem::exists(page + ".bak"));
        PageFileHost host(page);
        EXPECT_EQ(host.Invoke(kIsDocumentOpen, {}).text, "True");  // so that no new page replaces it
        EXPECT_FALSE(host.Invoke(kForceSave, {}).ok);
        EXPECT_EQ(ReadAll(page), original);
    }
}

TEST(PageFileHostTest, AppletBlockNeedsOneOfTheThreeApplets) {
    EXPECT_FALSE(FindAppletBlock("<applet code=\"Other.class\"></applet>"));
    EXPECT_FALSE(FindAppletBlock("<APPLET CODE=\"VoltarR.class\"> no end"));
    auto b = FindAppletBlock("x <!-- other --> <applet code=\"VoltanR.class\"></applet>\ny");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->begin, 17u);  // a comment that is not the upload list is not part of it
    const std::string page = "<!-- The following files need to be uploaded to your website\r\n-->\r\n<APPLET CODE=\"VoltarR.class\"></APPLET>\r\nz";
    b = FindAppletBlock(page);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->begin, 0u);
    EXPECT_EQ(page.substr(b->end), "z");
}

}  // namespace
}  // namespace branchwork
