#include "branchwork/output/html_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "branchwork/base/text_util.h"
#include "branchwork/model/test_support.h"

namespace branchwork {
namespace {

using testing::ReadAll;
using testing::ScratchDir;
using testing::WriteTestGif;

size_t Count(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}

// Opening minus closing tags of an element over the whole text.
long Balance(const std::string& text, const std::string& name) {
    return static_cast<long>(Count(text, "<" + name + ">") + Count(text, "<" + name + " ")) -
           static_cast<long>(Count(text, "</" + name + ">"));
}

// The menu's element tree, without the style sheet and the script.
std::string NavOf(const std::string& text) {
    const size_t a = text.find("<nav "), b = text.find("</nav>");
    return a == std::string::npos || b == std::string::npos ? std::string() : text.substr(a, b + 6 - a);
}

TEST(EscapeHtmlTest, MarkupCharactersControlsAndEdgeBlanks) {
    EXPECT_EQ(EscapeHtml("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e&#39;f");
    EXPECT_EQ(EscapeHtml("  two  words "), "&#32;&#32;two &#32;words&#32;");
    EXPECT_EQ(EscapeHtml("tab\there\r\nline"), "tab&#9;here&#13;&#10;line");
    EXPECT_EQ(EscapeHtml(std::string("a\0b", 3)), "a&#0;b");
    EXPECT_EQ(EscapeHtml("\x7f"), "&#127;");
    // Bytes above ASCII (UTF-8 text) pass unchanged.
    EXPECT_EQ(EscapeHtml("caf\xc3\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(EscapeHtml(""), "");
    // Nothing that could end a quoted attribute or open a tag stays raw.
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    const std::string e = EscapeHtml(all);
    for (const char bad : {'<', '>', '"', '\'', '\n', '\r'}) EXPECT_EQ(e.find(bad), std::string::npos) << int(bad);
    EXPECT_EQ(DecodeFieldText(e), all);
}

TEST(CssStringTest, QuotesBackslashesAndDeclarationEnds) {
    EXPECT_EQ(CssString("Arial"), "\"Arial\"");
    EXPECT_EQ(CssString("Times New Roman"), "\"Times New Roman\"");
    EXPECT_EQ(CssString("a\"b\\c;d}e\nf"), "\"a\\22 b\\5c c\\3b d\\7d e\\a f\"");
    const std::string s = CssString("x</style><script>'");
    EXPECT_EQ(s.find('<'), std::string::npos);
    EXPECT_EQ(s.find('\''), std::string::npos);
}

// A TabAndTree project: two tabs, a folder with a child, an image set.
void Build(NavigationProject& p, AppletKind kind, const ScratchDir& dir) {
    p.SetFontNames({"Arial"});
    p.ResetForNew(kind);
    dir.Sub("img");
    for (const char* n : {"closed.gif", "open.gif", "leaf.gif", "bg.gif"})
        ASSERT_TRUE(WriteTestGif(dir.File(std::string("img/") + n), 16, 16));
    BwScriptedUiHost host;
    p.AddImages({dir.File("img/closed.gif"), dir.File("img/open.gif"), dir.File("img/leaf.gif")}, host);
    p.defaultCollapsed = 0;
    p.defaultExpanded = 1;
    p.defaultLeaf = 2;
    p.backgroundImage = dir.File("img/bg.gif");
    p.SetTabCaption(0, "Home");
    p.Page(0).tab = {"Start here", "index.htm", "_top", "", ""};
    TreeNode* root = p.Current()->tree.First();
    root->caption = "Products";
    root->data = {"All products", "prod.htm", "main", "", "", 0, 1};
    TreeNode* child = p.AddChildNode();
    child->caption = "Widgets";
    child->data = {"", "w.htm", "", "", "", 2, -1};
    if (kind != AppletKind::Tree) {
        p.AddTab("Contact");
        p.Current()->tree.First()->caption = "Mail";
        p.SelectDefaultTab(1);
    }
}

TEST(HtmlMenuTest, BlockHasCommentsStyleRootAndScriptInOrder) {
    ScratchDir dir("html_block");
    NavigationProject p;
    Build(p, AppletKind::TabAndTree, dir);
    BwScriptedUiHost host;
    const std::string page = dir.Sub("site");
    const MarkupResult r = GenerateHtmlMenu(p, {page, page + "images/", false, true}, host);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(host.messages.empty());
    ASSERT_FALSE(r.lines.empty());
    EXPECT_EQ(r.lines.front(), kHtmlMenuBegin);
    EXPECT_EQ(r.lines.back(), kHtmlMenuEnd);
    const std::string& t = r.text;
    const size_t style = t.find("<style>"), nav = t.find("<nav "), script = t.find("<script>");
    ASSERT_NE(style, std::string::npos);
    ASSERT_NE(nav, std::string::npos);
    ASSERT_NE(script, std::string::npos);
    EXPECT_LT(style, nav);
    EXPECT_LT(nav, script);
    // Every line ends in CR LF and the begin comment is closed before the style.
    EXPECT_EQ(Count(t, "\r\n"), r.lines.size());
    EXPECT_LT(t.find("-->"), style);
    // Elements are balanced.
    for (const char* e : {"nav", "ul", "li", "div", "a", "span", "button", "p"}) EXPECT_EQ(Balance(t, e), 0) << e;
    // The upload list names the copied images with the graphics prefix.
    EXPECT_NE(t.find("\t\timages/closed.gif\r\n"), std::string::npos);
    EXPECT_NE(t.find("\t\timages/bg.gif\r\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(page + "images/closed.gif"));
    EXPECT_TRUE(std::filesystem::exists(page + "images/bg.gif"));
    // The project is not changed: empty tab fields stay empty.
    EXPECT_EQ(p.Page(0).tab.url2, "");
}

TEST(HtmlMenuTest, TabAndTreeStaticMarkupIsLinksAndListsWithAllBranchesOpen) {
    ScratchDir dir("html_tat");
    NavigationProject p;
    Build(p, AppletKind::TabAndTree, dir);
    BwScriptedUiHost host;
    const std::string page = dir.Sub("site");
    const std::string t = NavOf(GenerateHtmlMenu(p, {page, page, false, true}, host).text);
    // Tabs are in-page links to their panels until the script makes them tabs.
    EXPECT_NE(t.find("<a class=\"bw-tab\" id=\"bwm-tab-0\" href=\"#bwm-panel-0\" data-bw-tab data-bw-url1=\"index.htm\" "
                     "data-bw-target1=\"_top\" data-bw-status=\"Start here\"><span data-bw-caption>Home</span></a>"),
              std::string::npos);
    EXPECT_NE(t.find("id=\"bwm-panel-1\""), std::string::npos);
    // The tab's own link heads its panel, with status as title and target.
    EXPECT_NE(t.find("<p class=\"bw-panel-link\"><a href=\"index.htm\" target=\"_top\" title=\"Start here\">Home</a></p>"),
              std::string::npos);
    // No ARIA widget roles and nothing hidden but the toggles in the static form.
    EXPECT_EQ(t.find("role="), std::string::npos);
    EXPECT_EQ(Count(t, " hidden"), 1u);
    EXPECT_NE(t.find("aria-expanded=\"true\" aria-controls=\"bwm-g-0-0\" hidden>"), std::string::npos);
    EXPECT_NE(t.find("<ul class=\"bw-group\" id=\"bwm-g-0-0\">"), std::string::npos);
    // The folder's link: images as img with empty alt, the open picture for
    // the script, status as title, target frame as target.
    EXPECT_NE(t.find("<a class=\"bw-link\" href=\"prod.htm\" target=\"main\" title=\"All products\"><img class=\"bw-icon\" "
                     "src=\"closed.gif\" data-bw-open-src=\"open.gif\" alt=\"\" width=\"16\" height=\"16\"><span "
                     "data-bw-caption>Products</span></a>"),
              std::string::npos);
    // The default images are written as the words the loader maps back.
    EXPECT_NE(t.find("data-bw-collapsed=\"folder\" data-bw-expanded=\"folder\""), std::string::npos);
    EXPECT_NE(t.find("data-bw-collapsed=\"leaf\" data-bw-expanded=\"leaf\""), std::string::npos);
    // A node without a link is a label, not a link.
    EXPECT_NE(t.find("<span class=\"bw-label\"><span data-bw-caption>Mail</span></span>"), std::string::npos);
    EXPECT_EQ(Count(t, "class=\"bw-tree\""), 2u);
}

TEST(HtmlMenuTest, StyleBecomesCustomPropertiesAndDataAttributes) {
    ScratchDir dir("html_style");
    NavigationProject p;
    Build(p, AppletKind::TabAndTree, dir);
    StyleSettings& s = p.styles;
    s.width = "310";
    s.tabFont = "Times New Roman";
    s.tabCaptionFG = MakeColor(1, 2, 255);
    s.treeSelectedBG = MakeColor(16, 32, 48);
    s.tabsOnBottom = true;
    s.showBorder = false;
    BwScriptedUiHost host;
    const std::string page = dir.Sub("site");
    const std::string t = GenerateHtmlMenu(p, {page, page + "gfx/", false, true}, host).text;
    const size_t nav = t.find("<nav ");
    const std::string root = t.substr(nav, t.find('>', nav) - nav);
    for (const char* want : {"--bw-width:310px;", "--bw-tab-font:&quot;Times New Roman&quot;;", "--bw-tab-fg:#0102ff;",
                             "--bw-sel-bg:#102030;", "--bw-tabs-order:1;", "--bw-border:0;",
                             "--bw-tab-bg:#f0f0f0;", "--bw-background:url(&quot;gfx/bg.gif&quot;);",
                             " data-bw-kind=\"TabAndTree\"", " data-bw-tab-fg=\"1,2,255\"", " data-bw-tabs-on-bottom=\"Yes\"",
                             " data-bw-border=\"No\"", " data-bw-default-tab=\"1\"", " data-bw-folder-closed=\"gfx/closed.gif\"",
                             " data-bw-background=\"gfx/bg.gif\"", " aria-label=\"Menu\""})
        EXPECT_NE(root.find(want), std::string::npos) << want;
    // A size that is not a number gives no property (and cannot inject CSS).
    s.width = "1px;color:red";
    const std::string u = GenerateHtmlMenu(p, {page, page, false, false}, host).text;
    const size_t st = u.find(" style=\"");
    ASSERT_NE(st, std::string::npos);
    const std::string style = u.substr(st, u.find('"', st + 8) - st);
    EXPECT_EQ(style.find("--bw-width"), std::string::npos);
    EXPECT_EQ(style.find("color:red"), std::string::npos);
    // The loader still sees the text as it was.
    EXPECT_NE(u.find(" data-bw-width=\"1px;color:red\""), std::string::npos);
}

TEST(HtmlMenuTest, TabKindIsAListOfLinksAndTreeKindOneTree) {
    ScratchDir dir("html_kinds");
    BwScriptedUiHost host;
    const std::string page = dir.Sub("site");
    {
        NavigationProject p;
        Build(p, AppletKind::Tab, dir);
        p.Page(1).tab.url1 = "None";  // the applet form's word for no link
        const std::string t = NavOf(GenerateHtmlMenu(p, {page, page, false, false}, host).text);
        EXPECT_NE(t.find("<ul class=\"bw-tabs\">"), std::string::npos);
        EXPECT_NE(t.find("<li class=\"bw-tab-item\" data-bw-tab data-bw-url1=\"index.htm\" data-bw-target1=\"_top\" "
                         "data-bw-status=\"Start here\"><a class=\"bw-tab-link\" href=\"index.htm\" target=\"_top\" "
                         "title=\"Start here\"><span data-bw-caption>Home</span></a></li>"),
                  std::string::npos);
        EXPECT_NE(t.find("<li class=\"bw-tab-item\" data-bw-tab><span class=\"bw-tab-link\"><span "
                         "data-bw-caption>Contact</span></span></li>"),
                  std::string::npos);
        EXPECT_EQ(t.find("bw-tree"), std::string::npos);
        EXPECT_EQ(t.find("data-bw-tree-fg"), std::string::npos);
        EXPECT_EQ(t.find("href=\"None\""), std::string::npos);
    }
    {
        NavigationProject p;
        Build(p, AppletKind::Tree, dir);
        const std::string t = NavOf(GenerateHtmlMenu(p, {page, page, false, false}, host).text);
        EXPECT_EQ(Count(t, "class=\"bw-tree\""), 1u);
        EXPECT_EQ(t.find("bw-tab"), std::string::npos);
        EXPECT_EQ(t.find("data-bw-tab-fg"), std::string::npos);
        EXPECT_NE(t.find(" data-bw-kind=\"Tree\""), std::string::npos);
    }
}

TEST(HtmlMenuTest, ExternalFilesAreWrittenNextToThePageAndReferenced) {
    ScratchDir dir("html_external");
    NavigationProject p;
    Build(p, AppletKind::Tree, dir);
    BwScriptedUiHost host;
    const std::string page = dir.Sub("site");
    const MarkupResult r = GenerateHtmlMenu(p, {page, page, true, true}, host);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(ReadAll(page + kHtmlMenuScriptFile), HtmlMenuScript());
    EXPECT_EQ(ReadAll(page + kHtmlMenuStyleFile), HtmlMenuStyle());
    EXPECT_NE(r.text.find("<script src=\"branchwork-menu.js\"></script>"), std::string::npos);
    EXPECT_NE(r.text.find("<link rel=\"stylesheet\" href=\"branchwork-menu.css\">"), std::string::npos);
    EXPECT_NE(r.text.find("\t\tbranchwork-menu.js\r\n"), std::string::npos);
    EXPECT_EQ(r.text.find("<style>"), std::string::npos);
    EXPECT_EQ(r.text.find("<script>"), std::string::npos);
    // Inline, the same texts are in the block; no script text can end its element early.
    const std::string inl = GenerateHtmlMenu(p, {page, page, false, false}, host).text;
    EXPECT_EQ(Count(inl, "</script"), 1u);
    EXPECT_EQ(Count(inl, "</style"), 1u);
}

TEST(HtmlMenuTest, UnreachableGraphicsDirOrUnwritablePageFailsWithMessage) {
    ScratchDir dir("html_fail");
    NavigationProject p;
    Build(p, AppletKind::Tree, dir);
    {
        BwScriptedUiHost host;
        const MarkupResult r = GenerateHtmlMenu(p, {"C:\\web\\", "D:\\gfx\\", false, true}, host);
        EXPECT_FALSE(r.ok);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_NE(host.messages[0].text.find("cannot be reached"), std::string::npos);
    }
    {
        BwScriptedUiHost host;
        // A file stands where the page's directory would be made.
        testing::WriteAll(dir.File("file"), "x");
        const std::string missing = dir.Dir() + "file/sub/";
        const MarkupResult r = GenerateHtmlMenu(p, {missing, missing, true, true}, host);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.text.empty());
        ASSERT_FALSE(host.messages.empty());
    }
}

TEST(HtmlMenuTest, VeryDeepTreeIsWrittenWithoutRecursion) {
    NavigationProject p;
    p.ResetForNew(AppletKind::Tree);
    TreeNode* n = p.Current()->tree.First();
    constexpr int kDepth = 5000;
    for (int i = 0; i < kDepth; ++i) n = p.Current()->tree.AddChild(n, "n");
    BwScriptedUiHost host;
    const MarkupResult r = GenerateHtmlMenu(p, {"/tmp/", "/tmp/", false, false}, host);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(Count(r.text, "<li class=\"bw-node\""), static_cast<size_t>(kDepth + 1));
    EXPECT_EQ(Balance(r.text, "li"), 0);
    EXPECT_EQ(Balance(r.text, "ul"), 0);
}

}  // namespace
}  // namespace branchwork
