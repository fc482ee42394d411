// Load faults: default tab on import, class-name case, item names, partial
// and oversized files, text that needs character references, and loads whose
// cost must grow linearly with the file.
#include <gtest/gtest.h>

#include <random>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"
#include "branchwork/model/test_support.h"
#include "branchwork/output/markup.h"
#include "branchwork/project/loader.h"

namespace branchwork {
namespace {

using testing::ScratchDir;

TEST(ImportDefaultTabTest, DefaultTabReadFromThePageSurvives) {
    const std::string page =
        "<APPLET CODEBASE=\".\" CODE=\"VoltanR.class\" WIDTH=200 HEIGHT=360>\r\n"
        "\t<PARAM NAME=\"TAB_DEFAULT\" VALUE=\"2\">\r\n"
        "\t<PARAM NAME=\"TAB0\" VALUE=\"A; None; None; None; None; None\">\r\n"
        "\t<PARAM NAME=\"TAB1\" VALUE=\"B; None; None; None; None; None\">\r\n"
        "\t<PARAM NAME=\"TAB2\" VALUE=\"C; None; None; None; None; None\">\r\n"
        "</APPLET>\r\n";
    NavigationProject p;
    BwScriptedUiHost host;
    const LoadOutcome out = ImportMarkup(p, page, "/srv/site/", host);
    ASSERT_TRUE(out.complete) << out.error;
    EXPECT_EQ(p.defaultTab, 2);
    EXPECT_EQ(p.defaultTabSelection, 2);
    // Sending the menu again keeps the same tab opening first.
    EXPECT_NE(ProjectFileText(p).find("\"TAB_DEFAULT\" VALUE=\"2\""), std::string::npos);
}

TEST(AppletClassTest, ClassNamesMatchWithoutLetterCase) {
    const std::string page =
        "<applet codebase=\".\" code=\"voltarr.class\" width=300 height=200>"
        "<param name=\"i0\" value=\"Root; None; None; 0;  ;  ; ; None; None\">"
        "<param name=\"i1\" value=\"Kid; None; None; 1;  ;  ; ; None; None\">"
        "</applet>";
    NavigationProject p(AppletKind::Tab);
    BwScriptedUiHost host;
    const LoadOutcome out = ImportMarkup(p, page, "/srv/site/", host);
    ASSERT_TRUE(out.complete) << out.error;
    EXPECT_EQ(p.kind, AppletKind::Tree);
    EXPECT_EQ(p.styles.width, "300");
    const auto nodes = p.Page(0).tree.PreOrder();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[1]->caption, "Kid");
    EXPECT_EQ(nodes[1]->Depth(), 1);
}

TEST(TreeItemNameTest, OnlyIFollowedByDigitsIsAnItem) {
    const std::string text =
        "<APPLET CODE=\"Voltar.class\">"
        "<PARAM NAME=\"Info\" VALUE=\"made by hand\">"
        "<PARAM NAME=\"I0\" VALUE=\"Root; None; None; 0;  ;  ; ; None; None\">"
        "<PARAM NAME=\"Image\" VALUE=\"x; y\">"
        "<PARAM NAME=\"I1\" VALUE=\"Next; None; None; 0;  ;  ; ; None; None\">"
        "</APPLET>";
    NavigationProject p;
    BwScriptedUiHost host;
    const LoadOutcome out = LoadProjectText(p, text, host);
    EXPECT_TRUE(out.complete) << out.error;
    EXPECT_TRUE(host.messages.empty());
    ASSERT_EQ(p.Page(0).tree.Count(), 2);
    EXPECT_EQ(p.Page(0).tree.PreOrder()[1]->caption, "Next");
}

TEST(PartialFileTest, TextCutBeforeTheClosingTagIsReportedAsPartlyRead) {
    ScratchDir dir("partial_file");
    NavigationProject p;
    p.ResetForNew(AppletKind::Tree);
    p.AddChildNode()->caption = "Child";
    const std::string text = ProjectFileText(p);
    const size_t cut = text.find("</APPLET>");
    ASSERT_NE(cut, std::string::npos);
    NavigationProject q;
    BwScriptedUiHost host;
    LoadOutcome out = LoadProjectText(q, text.substr(0, cut), host);
    EXPECT_TRUE(out.appletFound);
    EXPECT_FALSE(out.complete);
    EXPECT_EQ(out.error, texts::kPartlyRead);
    ASSERT_EQ(host.Texts(), std::vector<std::string>{texts::kPartlyRead});
    EXPECT_EQ(q.Page(0).tree.Count(), 2);  // what was there is kept
    // The whole text loads without a word.
    BwScriptedUiHost quiet;
    out = LoadProjectText(q, text, quiet);
    EXPECT_TRUE(out.complete);
    EXPECT_TRUE(quiet.messages.empty());
}

TEST(PartialFileTest, FileOverTheSizeLimitSaysItIsTooLarge) {
    ScratchDir dir("too_large");
    const std::string path = dir.File("big.bwk");
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        // A sparse file just over the limit.
        ASSERT_EQ(std::fseek(f, static_cast<long>(kMaxTextFileBytes), SEEK_SET), 0);
        std::fputc('x', f);
        std::fclose(f);
    }
    NavigationProject p;
    BwScriptedUiHost host;
    const LoadOutcome out = LoadProjectFile(p, path, host);
    EXPECT_FALSE(out.appletFound);
    EXPECT_EQ(out.error, std::string(texts::kFileTooLargePrefix) + path + texts::kFileTooLargeSuffix);
    EXPECT_TRUE(TooLargeForText(path));
    testing::WriteAll(dir.File("small.bwk"), "x");
    EXPECT_FALSE(TooLargeForText(dir.File("small.bwk")));
}

TEST(FieldTextTest, ReferencesRoundTripAndOldTextReadsAsBefore) {
    for (const std::string s : {"", "plain", "a\"b", "<b>;x", "&amp; literal", "None", "  lead", "trail\t",
                                "semi;colon", "line\r\nbreak", "\xC3\xA9t\xC3\xA9"}) {
        const std::string enc = EncodeFieldText(s);
        EXPECT_EQ(enc.find_first_of("\"<>\r\n"), std::string::npos) << enc;
        EXPECT_EQ(DecodeFieldText(Trim(enc)), s) << enc;
    }
    EXPECT_EQ(EncodeFieldText("None"), "None");
    EXPECT_EQ(EncodeFieldText("a;b"), "a&#59;b");
    EXPECT_EQ(DecodeFieldText("A & B &x; &#; &#999999999;"), "A & B &x; &#; &#999999999;");
    EXPECT_EQ(DecodeFieldText("&#xE9;&#233;"), "\xC3\xA9\xC3\xA9");
}

// A generated project whose free texts use every printable character.
void BuildPrintable(NavigationProject& p, AppletKind kind, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string printable;
    for (int c = 0x20; c < 0x7F; ++c) printable += static_cast<char>(c);
    auto text = [&](bool allow_empty) {
        std::uniform_int_distribution<int> len(allow_empty ? 0 : 1, 12);
        std::uniform_int_distribution<size_t> pick(0, printable.size() - 1);
        std::string s;
        for (int n = len(rng); n > 0; --n) s += printable[pick(rng)];
        if (std::uniform_int_distribution<int>(0, 9)(rng) == 0) s = "None";
        return s;
    };
    p.ResetForNew(kind);
    const int tabs = kind == AppletKind::Tree ? 1 : 3;
    for (int t = 0; t < tabs; ++t) {
        if (t > 0) p.AddTab("x");
        p.SetTabCaption(t, text(false));
        p.Page(t).tab = {text(false), text(false), text(false), text(false), text(false)};
        NodeTree& tree = p.Page(t).tree;
        tree.selected = tree.First();
        for (int n = 0; n < 12; ++n) {
            TreeNode* node = tree.selected;
            node->caption = text(false);
            node->data.statusText = text(true);
            node->data.url1 = text(true);
            node->data.target1 = text(false);
            node->data.url2 = text(false);
            node->data.target2 = text(false);
            if (n == 11) break;
            const int move = std::uniform_int_distribution<int>(0, 2)(rng);
            if (move == 0) p.AddChildNode();
            else if (move == 1) p.AddNode();
            else {
                if (tree.selected->parent) tree.selected = tree.selected->parent;
                p.AddNode();
            }
        }
    }
    // Every printable character at least once, in the first caption.
    p.Page(0).tree.First()->caption = printable;
    p.Page(0).tree.First()->data.statusText = " " + printable + " ";
}

TEST(SaveLoadIdentityTest, EveryPrintableCharacterComesBack) {
    for (AppletKind kind : {AppletKind::Tab, AppletKind::Tree, AppletKind::TabAndTree}) {
        for (uint32_t seed = 1; seed <= 20; ++seed) {
            SCOPED_TRACE(::testing::Message() << "kind " << static_cast<int>(kind) << " seed " << seed);
            NavigationProject p;
            BuildPrintable(p, kind, seed);
            const std::string text = ProjectFileText(p);  // empty tab fields are now "None"
            NavigationProject q;
            BwScriptedUiHost host;
            const LoadOutcome out = LoadProjectText(q, text, host);
            ASSERT_TRUE(out.complete) << out.error;
            ASSERT_TRUE(host.messages.empty());
            ASSERT_EQ(q.TabCount(), p.TabCount());
            for (int t = 0; t < p.TabCount(); ++t) {
                if (kind != AppletKind::Tree) {
                    EXPECT_EQ(q.Page(t).caption, p.Page(t).caption);
                    EXPECT_EQ(q.Page(t).tab, p.Page(t).tab);
                }
                if (kind == AppletKind::Tab) continue;
                const auto a = p.Page(t).tree.PreOrderWithDepth(), b = q.Page(t).tree.PreOrderWithDepth();
                ASSERT_EQ(a.size(), b.size());
                for (size_t n = 0; n < a.size(); ++n) {
                    EXPECT_EQ(b[n].second, a[n].second);
                    EXPECT_EQ(b[n].first->caption, a[n].first->caption);
                    EXPECT_EQ(b[n].first->data, a[n].first->data);
                }
            }
            // And a second save writes the same text.
            EXPECT_EQ(ProjectFileText(q), text);
        }
    }
}

TEST(LinearLoadTest, ManyTabsDeepTreesAndStrayMarkersLoad) {
    // With one pass per tab or a depth recount per node these take minutes.
    std::string text = "<APPLET CODE=\"Voltarix.class\" WIDTH=200 HEIGHT=360>\r\n";
    const int tabs = 5000;
    for (int t = 0; t < tabs; ++t) {
        text += "\t<PARAM NAME=\"TAB" + std::to_string(t) + "\" VALUE=\"Tab " + std::to_string(t) +
                "; None; None; None; None; None\">\r\n";
        for (int n = 0; n < 2; ++n)
            text += "\t<PARAM NAME=\"T" + std::to_string(t) + "I" + std::to_string(n) + "\" VALUE=\"n" +
                    std::to_string(n) + "; None; None; " + std::to_string(n) + ";  ;  ; ; None; None\">\r\n";
    }
    text += "</APPLET>\r\n";
    NavigationProject p;
    BwScriptedUiHost host;
    LoadOutcome out = LoadProjectText(p, text, host);
    ASSERT_TRUE(out.complete) << out.error;
    ASSERT_EQ(p.TabCount(), tabs);
    EXPECT_EQ(p.Page(tabs - 1).tree.PreOrder()[1]->caption, "n1");
    EXPECT_EQ(p.Page(tabs - 1).tree.PreOrder()[1]->Depth(), 1);

    std::string deep = std::string(1 << 20, '>') + "<APPLET CODE=\"Voltar.class\">";
    const int depth = 100000;
    for (int i = 0; i < depth; ++i)
        deep += "<PARAM NAME=\"I" + std::to_string(i) + "\" VALUE=\"n; None; None; " + std::to_string(i) +
                ";  ;  ; ; None; None\">";
    // Falling back to the top and climbing again, repeatedly.
    for (int i = 0; i < 50; ++i)
        deep += "<PARAM NAME=\"I" + std::to_string(depth + 2 * i) + "\" VALUE=\"x; None; None; 0;  ;  ; ; None; None\">"
                "<PARAM NAME=\"I" + std::to_string(depth + 2 * i + 1) + "\" VALUE=\"y; None; None; 1;  ;  ; ; None; None\">";
    deep += "</APPLET>";
    NavigationProject q;
    out = LoadProjectText(q, deep, host);
    ASSERT_TRUE(out.complete) << out.error;
    const auto nodes = q.Page(0).tree.PreOrderWithDepth();
    ASSERT_EQ(nodes.size(), static_cast<size_t>(depth + 100));
    EXPECT_EQ(nodes[depth - 1].second, depth - 1);
    EXPECT_EQ(nodes.back().second, 1);
    EXPECT_EQ(q.Page(0).tree.roots.size(), 51u);
}

}  // namespace
}  // namespace branchwork
