#include <gtest/gtest.h>

#include <filesystem>

#include "branchwork/model/test_support.h"
#include "branchwork/output/markup.h"

namespace branchwork {
namespace {

using testing::ReadAll;
using testing::ScratchDir;
using testing::WriteTestGif;

const std::vector<std::string> kClassComment = {
    "\tJava class files: (These go into the same directory as this HTML file)",
};

std::vector<std::string> ClassLines(const char* main_class) {
    std::vector<std::string> v = {"\tJava class files: (These go into the same directory as this HTML file)",
                                  std::string("\t\t") + main_class,
                                  "\t\tBeans.class",
                                  "\t\tTimer.class",
                                  "\t\tTreeView.class",
                                  "\t\tTreeNode.class",
                                  "\t\tInvalidTreeNodeException.class",
                                  "\t\tBaseTabbedPanel.class",
                                  "\t\tButtonBase.class",
                                  "\t\tDirectionButton.class",
                                  "\t\tTabPanel.class"};
    return v;
}

TEST(RelativePathTest, WorkedExamples) {
    EXPECT_EQ(RelativePath("C:\\web\\site\\", "C:\\web\\images\\"), "..\\images\\");
    EXPECT_EQ(RelativePath("C:\\web\\site\\", "C:\\web\\site\\pics\\"), "pics\\");
}

TEST(RelativePathTest, EmptyPathsOtherDrivesLetterCaseFileBasesAndMixedSeparators) {
    EXPECT_EQ(RelativePath("", "/a/b"), "/a/b");
    EXPECT_EQ(RelativePath("/a/b/", ""), "");
    // Different drives, or a drive on one side only: target unchanged.
    EXPECT_EQ(RelativePath("C:\\web\\", "D:\\web\\x.gif"), "D:\\web\\x.gif");
    EXPECT_EQ(RelativePath("C:\\web\\", "/web/x.gif"), "/web/x.gif");
    // Drive letters and components of drive paths ignore letter case.
    EXPECT_EQ(RelativePath("c:\\Web\\Site\\", "C:\\web\\site\\a.gif"), "a.gif");
    // Native paths: the leading "/" is no drive; components compare exactly.
    EXPECT_EQ(RelativePath("/home/u/site/", "/home/u/images/"), "../images/");
    EXPECT_EQ(RelativePath("/home/u/site/", "/var/pics/a.gif"), "../../../var/pics/a.gif");
    EXPECT_EQ(RelativePath("/home/u/site/", "/home/u/Site/a.gif"), "../Site/a.gif");
    // Base naming a file: relative to its directory.
    EXPECT_EQ(RelativePath("/home/u/site/index.htm", "/home/u/site/img/a.gif"), "img/a.gif");
    // Mixed separators are unified to the base's.
    EXPECT_EQ(RelativePath("/web/site/", "\\web\\img\\a.gif"), "../img/a.gif");
}

TEST(ColorToParamTest, RedFirstAndSystemColours) {
    EXPECT_EQ(ColorToParam(kWhite), "255,255,255");
    EXPECT_EQ(ColorToParam(MakeColor(1, 20, 255)), "1,20,255");
    EXPECT_EQ(ColorToParam(kButtonFace), "240,240,240");
}

TEST(MarkupHelpersTest, ParamLinesFontParamsAndTheDefaultTabNumber) {
    EXPECT_EQ(ParamLine("A", "b c"), "\t<PARAM NAME=\"A\" VALUE=\"b c\">");
    EXPECT_EQ(FontParam("Arial", "12"), "Arial; PLAIN;12");
    EXPECT_EQ(DefaultTabParam(-1), "999");
    EXPECT_EQ(DefaultTabParam(2), "2");
}

TEST(GenerateMarkupTest, TabKindWorkedExample) {
    NavigationProject p;
    p.SetFontNames({"Arial"});
    p.ResetForNew(AppletKind::Tab);
    p.SetTabCaption(0, "Home");
    ScratchDir dir("markup_tab");
    BwScriptedUiHost host;
    MarkupContext ctx{dir.Dir(), dir.Dir(), dir.Dir(), true};
    MarkupResult r = GenerateAppletMarkup(p, ctx, host);
    ASSERT_TRUE(r.ok);
    std::vector<std::string> expected = {"<!-- The following files need to be uploaded to your website", "\tImages: "};
    for (const auto& l : ClassLines("VoltanR.class")) expected.push_back(l);
    for (const std::string l : {
             "-->",
             "<APPLET CODEBASE=\".\" CODE=\"VoltanR.class\" WIDTH=200 HEIGHT=360>",
             "\t<PARAM NAME=\"TAB_BG\" VALUE=\"240,240,240\">",
             "\t<PARAM NAME=\"TAB_FG\" VALUE=\"0,0,0\">",
             "\t<PARAM NAME=\"TAB_MOUSEOVER\" VALUE=\"255,0,0\">",
             "\t<PARAM NAME=\"TAB_FONT\" VALUE=\"Arial; PLAIN;12\">",
             "\t<PARAM NAME=\"TABONBOTTOM\" VALUE=\"No\">",
             "\t<PARAM NAME=\"TAB_DEFAULT\" VALUE=\"999\">",
             "",
             "",
             "\t<PARAM NAME=\"TAB0\" VALUE=\"Home; None; None; None; None; None\">",
             "</APPLET>",
         })
        expected.push_back(l);
    EXPECT_EQ(r.lines, expected);
    std::string text;
    for (const auto& l : expected) text += l + "\r\n";
    EXPECT_EQ(r.text, text);
    // The empty tab fields became "None" in the project itself.
    EXPECT_EQ(p.Page(0).tab.url1, "None");
    EXPECT_EQ(p.Page(0).tab.statusText, "None");
    EXPECT_EQ(p.Page(0).caption, "Home");
    EXPECT_TRUE(r.uploadList.empty());
    EXPECT_TRUE(r.contentFiles.empty());
}

// A project of the given kind with images a, b, c (16x16) in `dir`.
void WithImages(NavigationProject& p, const ScratchDir& dir, AppletKind kind) {
    p.SetFontNames({"Arial"});
    p.ResetForNew(kind);
    for (const char* n : {"a.gif", "b.gif", "c.gif"}) ASSERT_TRUE(WriteTestGif(dir.File(std::string("img/") + n), 16, 16));
    BwScriptedUiHost host;
    p.AddImages({dir.File("img/a.gif"), dir.File("img/b.gif"), dir.File("img/c.gif")}, host);
    ASSERT_EQ(p.images.Count(), 3);
}

TEST(GenerateMarkupTest, LeafItemWorkedExampleAndImageTokens) {
    ScratchDir dir("markup_leaf");
    dir.Sub("img");
    NavigationProject p;
    WithImages(p, dir, AppletKind::Tree);
    p.defaultCollapsed = 0;
    p.defaultExpanded = 1;
    p.defaultLeaf = 2;
    NodeTree& t = p.Current()->tree;
    TreeNode* file = t.First();
    file->caption = "File";
    file->data.collapsedImage = 0;
    file->data.expandedImage = 1;
    TreeNode* open = p.AddChildNode();
    open->caption = "Open";
    open->data.collapsedImage = 2;
    open->data.statusText = "Opens a file";
    BwScriptedUiHost host;
    const std::string page = dir.Sub("site");
    MarkupResult r = GenerateAppletMarkup(p, {page, page, dir.Dir(), true}, host);
    ASSERT_TRUE(r.ok);
    auto has = [&](const std::string& line) { return std::find(r.lines.begin(), r.lines.end(), line) != r.lines.end(); };
    EXPECT_TRUE(has("\t<PARAM NAME=\"I0\" VALUE=\"File; None; None; 0; folder ; folder ; ;None; None\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"I1\" VALUE=\"Open; None; None; 1; leaf ; leaf ; Opens a file;None; None\">"));
    // Graphics directory = page directory: bare file names.
    EXPECT_TRUE(has("\t<PARAM NAME=\"FOLDER_CLOSED\" VALUE=\"a.gif\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"FOLDER_OPEN\" VALUE=\"b.gif\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"LEAF\" VALUE=\"c.gif\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"FONT\" VALUE=\"Arial; PLAIN;12\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"BORDER\" VALUE=\"Yes\">"));
    EXPECT_FALSE(has("\t<PARAM NAME=\"TAB_DEFAULT\" VALUE=\"999\">"));
    EXPECT_EQ(r.uploadList.size(), 3u);
    // Images were copied next to the page.
    EXPECT_TRUE(std::filesystem::exists(page + "a.gif"));
    EXPECT_TRUE(std::filesystem::exists(page + "c.gif"));
}

TEST(GenerateMarkupTest, NonDefaultImageWrittenTwiceListedOnceCopiedOnce) {
    ScratchDir dir("markup_nondefault");
    dir.Sub("img");
    NavigationProject p;
    WithImages(p, dir, AppletKind::TabAndTree);
    NodeTree& t = p.Current()->tree;
    t.First()->data.collapsedImage = 1;
    TreeNode* second = p.AddNode();
    second->data.collapsedImage = 1;
    second->data.expandedImage = 1;
    BwScriptedUiHost host;
    const std::string page = dir.Sub("web/site");
    const std::string gfx = dir.Sub("web/pics");
    testing::WriteAll(gfx + "b.gif", "older file that must stay");
    MarkupResult r = GenerateAppletMarkup(p, {page, gfx, dir.Dir(), true}, host);
    ASSERT_TRUE(r.ok);
    auto has = [&](const std::string& line) { return std::find(r.lines.begin(), r.lines.end(), line) != r.lines.end(); };
    EXPECT_TRUE(has("\t<PARAM NAME=\"T0I0\" VALUE=\"New Node; None; None; 0; ../pics/b.gif; ../pics/b.gif; ;None; None\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"T0I1\" VALUE=\"New Node; None; None; 0; ../pics/b.gif; ../pics/b.gif; ;None; None\">"));
    EXPECT_EQ(std::count(r.lines.begin(), r.lines.end(), "\t\t../pics/b.gif"), 1);
    ASSERT_EQ(r.uploadList.size(), 1u);
    // The existing image of that name is not overwritten.
    EXPECT_EQ(ReadAll(gfx + "b.gif"), "older file that must stay");
    EXPECT_TRUE(has("\t<PARAM NAME=\"TAB0\" VALUE=\"New Tab; None; None; None; None; None\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"TREE_FONT\" VALUE=\"Arial; PLAIN;12\">"));
}

TEST(GenerateMarkupTest, BackgroundImageIsFirstUploadEntry) {
    ScratchDir dir("markup_bg");
    dir.Sub("img");
    NavigationProject p;
    WithImages(p, dir, AppletKind::TabAndTree);
    p.backgroundImage = dir.File("img/c.gif");
    p.Current()->tree.First()->data.collapsedImage = 0;
    BwScriptedUiHost host;
    const std::string page = dir.Sub("site");
    MarkupResult r = GenerateAppletMarkup(p, {page, dir.Sub("site/gfx"), dir.Dir(), true}, host);
    ASSERT_EQ(r.uploadList.size(), 2u);
    EXPECT_EQ(r.uploadList[0], dir.File("img/c.gif"));
    EXPECT_EQ(r.lines[2], "\t\tgfx/c.gif");
    EXPECT_EQ(r.lines[3], "\t\tgfx/a.gif");
    auto has = [&](const std::string& line) { return std::find(r.lines.begin(), r.lines.end(), line) != r.lines.end(); };
    EXPECT_TRUE(has("\t<PARAM NAME=\"TAB_BG_IMAGE\" VALUE=\"gfx/c.gif\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"TREE_BG_IMAGE\" VALUE=\"gfx/c.gif\">"));
    EXPECT_TRUE(std::filesystem::exists(page + "gfx/c.gif"));
}

TEST(GenerateMarkupTest, TreeKindWithContentFile) {
    ScratchDir dir("markup_content");
    NavigationProject p;
    p.SetFontNames({"Arial"});
    p.ResetForNew(AppletKind::Tree);
    p.nodeInfoInApplet = false;
    p.Current()->tree.First()->caption = "Home";
    p.Current()->tree.First()->data.url1 = "index.htm";
    p.AddChildNode()->caption = "Sub";
    BwScriptedUiHost host;
    MarkupResult r = GenerateAppletMarkup(p, {dir.Dir(), dir.Dir(), dir.Dir(), true}, host);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(ReadAll(dir.File("Content.txt")),
              "Home; index.htm; None; 0;  ;  ; ;None; None\r\nSub; None; None; 1;  ;  ; ;None; None\r\n");
    auto has = [&](const std::string& line) { return std::find(r.lines.begin(), r.lines.end(), line) != r.lines.end(); };
    EXPECT_TRUE(has("\t<PARAM NAME=\"CONTENT\" VALUE=\"Content.txt\">"));
    for (const auto& l : r.lines) EXPECT_EQ(l.find("NAME=\"I"), std::string::npos) << l;
    ASSERT_GE(r.lines.size(), 3u);
    const size_t close = std::find(r.lines.begin(), r.lines.end(), "-->") - r.lines.begin();
    ASSERT_GE(close, 2u);
    EXPECT_EQ(r.lines[close - 2], "\tContent files: (These go into the same directory as this HTML file)");
    EXPECT_EQ(r.lines[close - 1], "\t\tContent.txt");
    // The content line goes after the style lines, before the items.
    const auto content_at = std::find(r.lines.begin(), r.lines.end(), "\t<PARAM NAME=\"CONTENT\" VALUE=\"Content.txt\">");
    EXPECT_EQ(*(content_at - 1), "\t<PARAM NAME=\"AUTOEXPAND\" VALUE=\"No\">");
}

TEST(GenerateMarkupTest, TabAndTreeContentFilesPerTab) {
    ScratchDir dir("markup_content2");
    NavigationProject p;
    p.ResetForNew(AppletKind::TabAndTree);
    p.nodeInfoInApplet = false;
    p.AddTab("Second");
    BwScriptedUiHost host;
    MarkupResult r = GenerateAppletMarkup(p, {dir.Dir(), dir.Dir(), dir.Dir(), true}, host);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(std::filesystem::exists(dir.File("Tab0Content.txt")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("Tab1Content.txt")));
    auto has = [&](const std::string& line) { return std::find(r.lines.begin(), r.lines.end(), line) != r.lines.end(); };
    EXPECT_TRUE(has("\t<PARAM NAME=\"TAB1_CONTENT\" VALUE=\"Tab1Content.txt\">"));
    EXPECT_TRUE(has("\t\tTab0Content.txt"));
    EXPECT_TRUE(has("\t\tTab1Content.txt"));
    EXPECT_EQ(p.currentPage, 1);  // the last tab stays shown
}

TEST(GenerateMarkupTest, UnwritableContentFileEndsTheRun) {
    ScratchDir dir("markup_unwritable");
    NavigationProject p;
    p.ResetForNew(AppletKind::Tree);
    p.nodeInfoInApplet = false;
    BwScriptedUiHost host;
    MarkupResult r = GenerateAppletMarkup(p, {dir.Dir() + "missing/dir/", dir.Dir(), dir.Dir(), true}, host);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.text.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find("Content.txt"), std::string::npos);
}

TEST(GenerateMarkupTest, ClassFilesAreCopiedAndReplaced) {
    ScratchDir dir("markup_classes");
    const std::string prog = dir.Sub("prog");
    const std::string jclass = dir.Sub("prog/help/JClass");
    testing::WriteAll(jclass + "VoltarR.class", "main");
    testing::WriteAll(jclass + "Beans.class", "beans");
    const std::string page = dir.Sub("site");
    testing::WriteAll(page + "Beans.class", "old");
    NavigationProject p;
    p.ResetForNew(AppletKind::Tree);
    BwScriptedUiHost host;
    MarkupResult r = GenerateAppletMarkup(p, {page, page, prog, true}, host);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(ReadAll(page + "VoltarR.class"), "main");
    EXPECT_EQ(ReadAll(page + "Beans.class"), "beans");
    // Missing classes are skipped without a message.
    EXPECT_FALSE(std::filesystem::exists(page + "Timer.class"));
    EXPECT_TRUE(host.messages.empty());
}

TEST(GenerateMarkupTest, DefaultTabAndOptions) {
    NavigationProject p;
    p.ResetForNew(AppletKind::TabAndTree);
    p.AddTab("Two");
    p.SelectDefaultTab(1);
    p.styles.tabsOnBottom = true;
    p.styles.doubleClick = true;
    p.styles.treeSelectedBG = MakeColor(1, 2, 3);
    p.Page(0).tab = {"status", "u1", "_top", "", "t2"};
    ScratchDir dir("markup_opts");
    BwScriptedUiHost host;
    MarkupResult r = GenerateAppletMarkup(p, {dir.Dir(), dir.Dir(), dir.Dir(), false}, host);
    auto has = [&](const std::string& line) { return std::find(r.lines.begin(), r.lines.end(), line) != r.lines.end(); };
    EXPECT_TRUE(has("\t<PARAM NAME=\"TAB_DEFAULT\" VALUE=\"1\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"TABONBOTTOM\" VALUE=\"Yes\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"TREE_DOUBLECLICK\" VALUE=\"Yes\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"TREE_SEL_BG\" VALUE=\"1,2,3\">"));
    EXPECT_TRUE(has("\t<PARAM NAME=\"TAB0\" VALUE=\"New Tab; u1; _top; status; None; t2\">"));
}

}  // namespace
}  // namespace branchwork
