#include "branchwork/project/html_menu_import.h"

#include <gtest/gtest.h>

#include "branchwork/base/texts.h"
#include "branchwork/model/test_support.h"
#include "branchwork/project/project_test_support.h"
#include "branchwork/output/html_menu.h"
#include "branchwork/output/markup.h"

namespace branchwork {
namespace {

using testing::BuildRichProject;
using testing::ScratchDir;

struct Sent {
    std::string html, applet;
};

Sent SendBoth(NavigationProject& p, const std::string& page, const std::string& gfx, bool external = false) {
    BwScriptedUiHost host;
    Sent s;
    const MarkupResult h = GenerateHtmlMenu(p, {page, gfx, external, true}, host);
    EXPECT_TRUE(h.ok);
    s.html = h.text;
    const MarkupResult a = GenerateAppletMarkup(p, {page, gfx, "/nonexistent/", true}, host);
    EXPECT_TRUE(a.ok);
    s.applet = a.text;
    EXPECT_TRUE(host.messages.empty());
    return s;
}

class HtmlRoundTripTest : public ::testing::TestWithParam<AppletKind> {};

TEST_P(HtmlRoundTripTest, HtmlMenuLoadsToTheSameProjectAsTheAppletForm) {
    const AppletKind kind = GetParam();
    ScratchDir dir("html_rt_" + std::to_string(static_cast<int>(kind)));
    NavigationProject p;
    BuildRichProject(p, kind, dir);
    const std::string page = dir.Sub("site");
    const std::string gfx = dir.Sub("site/images");
    for (bool external : {false, true}) {
        SCOPED_TRACE(external ? "external" : "inline");
        const Sent s = SendBoth(p, page, gfx, external);
        BwScriptedUiHost host;
        NavigationProject from_html, from_applet;
        const LoadOutcome h = ImportMarkup(from_html, s.html, page, host);
        const LoadOutcome a = ImportMarkup(from_applet, s.applet, page, host);
        ASSERT_TRUE(h.appletFound);
        ASSERT_TRUE(h.complete) << h.error;
        ASSERT_TRUE(a.complete) << a.error;
        EXPECT_TRUE(host.messages.empty());
        EXPECT_EQ(from_html.kind, kind);
        EXPECT_EQ(ProjectFileText(from_html), ProjectFileText(from_applet));
        // Generate, import, generate: the same text.
        BwScriptedUiHost quiet;
        const MarkupResult again = GenerateHtmlMenu(from_html, {page, gfx, external, true}, quiet);
        EXPECT_EQ(again.text, s.html);
        // And the project itself: captions, links, images, styles.
        EXPECT_EQ(from_html.styles, from_applet.styles);
        EXPECT_EQ(from_html.TabCount(), p.TabCount());
        // The Tab kind has no node images to load.
        EXPECT_EQ(from_html.images.Count(), kind == AppletKind::Tab ? 0 : p.images.Count());
        EXPECT_EQ(from_html.backgroundImage, gfx + "d.gif");
        if (kind != AppletKind::Tree) {
            EXPECT_EQ(from_html.defaultTab, 1);
            EXPECT_EQ(from_html.Page(0).tab.url2, "second.htm");
        }
        if (kind != AppletKind::Tab) {
            const auto nodes = from_html.Page(0).tree.PreOrder();
            ASSERT_EQ(nodes.size(), 4u);
            EXPECT_EQ(nodes[2]->caption, "Blue widget");
            EXPECT_EQ(nodes[2]->Depth(), 2);
            EXPECT_EQ(nodes[0]->data.url2, "p2.htm");
            EXPECT_EQ(nodes[0]->data.collapsedImage, from_html.defaultCollapsed);
            EXPECT_EQ(from_html.images.At(nodes[1]->data.expandedImage).path, gfx + "e.gif");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, HtmlRoundTripTest,
                         ::testing::Values(AppletKind::Tab, AppletKind::Tree, AppletKind::TabAndTree));

TEST(HtmlMenuImportTest, EveryCharacterACaptionOrLinkCanHoldComesBack) {
    ScratchDir dir("html_chars");
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    const std::vector<std::string> texts = {all,         "  lead and trail  ", "a  b   c",  "x;y;z", "None",
                                            "&amp; raw", "&#59;",              "\t\r\n",    "\"'<>", "</nav>",
                                            std::string("nul\0inside", 10)};
    for (const AppletKind kind : {AppletKind::Tab, AppletKind::TabAndTree}) {
        for (const std::string& text : texts) {
            SCOPED_TRACE(text);
            NavigationProject p;
            p.ResetForNew(kind);
            p.SetTabCaption(0, text);
            p.Page(0).tab = {text, text, text, text, text};
            TreeNode* n = p.Current()->tree.First();
            n->caption = text;
            n->data.statusText = text;
            n->data.url1 = text;
            n->data.target1 = text;
            n->data.url2 = text;
            n->data.target2 = text;
            BwScriptedUiHost host;
            const std::string html = GenerateHtmlMenu(p, {dir.Dir(), dir.Dir(), false, false}, host).text;
            NavigationProject q;
            const LoadOutcome out = ImportMarkup(q, html, dir.Dir(), host);
            ASSERT_TRUE(out.complete) << out.error;
            ASSERT_EQ(q.TabCount(), 1);
            EXPECT_EQ(q.Page(0).caption, text);
            EXPECT_EQ(q.Page(0).tab.url1, text);
            EXPECT_EQ(q.Page(0).tab.statusText, text);
            EXPECT_EQ(q.Page(0).tab.target2, text);
            if (kind == AppletKind::TabAndTree) {
                const TreeNode* m = q.Page(0).tree.First();
                ASSERT_NE(m, nullptr);
                EXPECT_EQ(m->caption, text);
                EXPECT_EQ(m->data.statusText, text);
                EXPECT_EQ(m->data.url1, text);
                EXPECT_EQ(m->data.target1, text);
                EXPECT_EQ(m->data.url2, text);
                EXPECT_EQ(m->data.target2, text);
            }
            EXPECT_EQ(GenerateHtmlMenu(q, {dir.Dir(), dir.Dir(), false, false}, host).text, html);
        }
    }
}

TEST(HtmlMenuImportTest, HandEditedMenuWithReorderedAttributesAndWhitespaceLoads) {
    // Attribute order, quote style, letter case of tags and names, line
    // breaks inside tags and captions, and comments all differ from what
    // the generator writes.
    const std::string edited =
        "<p>before</p>\n"
        "<NAV data-bw-kind='Tree'\n   class=\"bw-menu\" DATA-BW-MENU data-bw-width=250\n data-bw-tree-fg=\"1,2,3\">\n"
        "  <UL class=\"bw-tree\">\n"
        "    <li data-bw-url1=\"a.htm\" class=\"bw-node\" data-bw-node data-bw-status='First &amp; best'>\n"
        "      <div class=\"bw-row\"><a href=\"a.htm\"><span data-bw-caption>\n   Alpha\n   one  </span></a></div>\n"
        "      <!-- a comment <li data-bw-node> -->\n"
        "      <ul class=\"bw-group\">\n"
        "        <li data-bw-node data-bw-target1=\"_blank\"   data-bw-url1=\"b.htm\"><span data-bw-caption>Beta</span>\n"
        "        </li>\n"
        "      </ul>\n"
        "    </li>\n"
        "    <li data-bw-node><div><span data-bw-caption>Gamma &#32;</span></div></LI>\n"
        "  </ul>\n"
        "</nav>\n";
    BwScriptedUiHost host;
    NavigationProject q;
    const LoadOutcome out = ImportMarkup(q, edited, "/tmp/", host);
    ASSERT_TRUE(out.appletFound);
    ASSERT_TRUE(out.complete) << out.error;
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(q.kind, AppletKind::Tree);
    EXPECT_EQ(q.styles.width, "250");
    EXPECT_EQ(q.styles.treeBranchFG, MakeColor(1, 2, 3));
    const auto nodes = q.Page(0).tree.PreOrder();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->caption, "Alpha one");
    EXPECT_EQ(nodes[0]->data.statusText, "First & best");
    EXPECT_EQ(nodes[0]->data.url1, "a.htm");
    EXPECT_EQ(nodes[1]->caption, "Beta");
    EXPECT_EQ(nodes[1]->Depth(), 1);
    EXPECT_EQ(nodes[1]->data.target1, "_blank");
    EXPECT_EQ(nodes[2]->caption, "Gamma  ");
    EXPECT_EQ(nodes[2]->Depth(), 0);
}

TEST(HtmlMenuImportTest, MenusThatAreNotOursAreRefusedWithAMessage) {
    struct Case {
        const char* text;
        const char* why;
    };
    const Case cases[] = {
        {"<!-- branchwork html menu begin -->\n<nav class=\"menu\"><a href=x>x</a></nav>", "no <nav> element"},
        {"<nav data-bw-menu data-bw-kind=\"Carousel\"></nav>", "\"Carousel\""},
        {"<nav data-bw-menu data-bw-kind=\"Tab\"><ul></ul></nav>", "no tab"},
        {"<nav data-bw-menu data-bw-kind=\"TabAndTree\"><a data-bw-tab>t</a><a data-bw-tab>u</a>"
         "<ul class=\"bw-tree\"></ul></nav>",
         "2 tabs but 1 trees"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        BwScriptedUiHost host;
        NavigationProject q;
        q.ResetForNew(AppletKind::Tab);
        q.SetTabCaption(0, "Kept");
        const LoadOutcome out = ImportMarkup(q, c.text, "/tmp/", host);
        EXPECT_FALSE(out.appletFound);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text.rfind(texts::kNotOurHtmlMenu, 0), 0u);
        EXPECT_NE(host.messages[0].text.find(c.why), std::string::npos) << host.messages[0].text;
        EXPECT_EQ(host.messages[0].icon, MessageIcon::Error);
        // The project is untouched.
        EXPECT_EQ(q.Page(0).caption, "Kept");
    }
    // A bad value inside our menu stops the load as the applet loader does.
    BwScriptedUiHost host;
    NavigationProject q;
    const LoadOutcome out =
        ImportMarkup(q, "<nav data-bw-menu data-bw-kind=Tree data-bw-tree-fg=\"red\"><ul class=bw-tree></ul></nav>", "/tmp/", host);
    EXPECT_TRUE(out.appletFound);
    EXPECT_FALSE(out.complete);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find("'red' is not a valid integer value"), std::string::npos);
}

TEST(HtmlMenuImportTest, TheFirstMenuInTheTextIsTheOneRead) {
    ScratchDir dir("html_first");
    NavigationProject tab, tree;
    tab.ResetForNew(AppletKind::Tab);
    tab.SetTabCaption(0, "FromTab");
    tree.ResetForNew(AppletKind::Tree);
    tree.Current()->tree.First()->caption = "FromTree";
    BwScriptedUiHost host;
    const std::string html = GenerateHtmlMenu(tab, {dir.Dir(), dir.Dir(), false, false}, host).text;
    const std::string applet = GenerateAppletMarkup(tree, {dir.Dir(), dir.Dir(), "/none/", false}, host).text;
    NavigationProject a, b;
    ASSERT_TRUE(ImportMarkup(a, html + applet, dir.Dir(), host).complete);
    EXPECT_EQ(a.kind, AppletKind::Tab);
    ASSERT_TRUE(ImportMarkup(b, applet + html, dir.Dir(), host).complete);
    EXPECT_EQ(b.kind, AppletKind::Tree);
    EXPECT_EQ(b.Page(0).tree.First()->caption, "FromTree");
}

TEST(HtmlMenuImportTest, EveryTruncationAndHostileNestingLoadsSafely) {
    ScratchDir dir("html_trunc");
    NavigationProject p;
    BuildRichProject(p, AppletKind::TabAndTree, dir);
    const std::string page = dir.Sub("site");
    BwScriptedUiHost host;
    const std::string html = GenerateHtmlMenu(p, {page, page, true, true}, host).text;
    const size_t nav = html.find("<nav ");
    for (size_t len = nav; len <= html.size(); len += 7) {
        NavigationProject q;
        BwScriptedUiHost quiet;
        ImportMarkup(q, std::string_view(html).substr(0, len), page, quiet);
        EXPECT_GE(q.TabCount(), 0);
    }
    // Deep nesting and stray end tags.
    std::string deep = "<nav data-bw-menu data-bw-kind=Tree><ul class=bw-tree>";
    for (int i = 0; i < 20000; ++i) deep += "<li data-bw-node><span data-bw-caption>n</span><ul>";
    deep += "</div></span></li></li></nav></nav><nav data-bw-menu";
    NavigationProject q;
    BwScriptedUiHost quiet;
    const LoadOutcome out = ImportMarkup(q, deep, page, quiet);
    EXPECT_TRUE(out.complete) << out.error;
    EXPECT_EQ(q.Page(0).tree.Count(), 20000);
    for (const char* junk : {"<", "<nav", "<nav data-bw-menu", "<nav data-bw-menu data-bw-kind='Tab", "<nav data-bw-menu=>",
                             "<!-- branchwork html menu begin", "<nav data-bw-menu data-bw-kind=Tab><li data-bw-tab "
                                                                "data-bw-caption>"}) {
        NavigationProject r;
        BwScriptedUiHost h;
        ImportMarkup(r, junk, page, h);
        EXPECT_GE(r.TabCount(), 0);
    }
}

}  // namespace
}  // namespace branchwork
