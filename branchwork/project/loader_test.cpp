#include <gtest/gtest.h>

#include "branchwork/model/test_support.h"
#include "branchwork/project/project_test_support.h"
#include "branchwork/output/markup.h"
#include "branchwork/project/loader.h"

namespace branchwork {
namespace {

using testing::BuildRichProject;
using testing::ScratchDir;
using testing::WriteAll;
using testing::WriteTestGif;

TEST(TokenizeMarkupTest, TagsCommentsAndLineBreaks) {
    auto tags = TokenizeMarkup("text <A x=1>more<!-- a > b -->\r\n<P\r\nQ>tail <unclosed");
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_EQ(tags[0], "<A x=1>");
    EXPECT_EQ(tags[1], "<!-- a > b -->");
    EXPECT_EQ(tags[2], "<P Q>");
    // An end marker before the "<" gives an empty entry.
    tags = TokenizeMarkup("a > b <c>");
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0], "");
    EXPECT_EQ(tags[1], "<c>");
    EXPECT_TRUE(TokenizeMarkup("no tags").empty());
    EXPECT_TRUE(TokenizeMarkup("<<<<").empty());
}

TEST(GetAttributeValueTest, QuotedUnquotedAndEnds) {
    EXPECT_EQ(GetAttributeValue("<PARAM NAME=\"TAB0\" VALUE=\"Home; a b\">", "value"), "Home; a b");
    EXPECT_EQ(GetAttributeValue("<PARAM NAME=\"TAB0\" VALUE=\"Home; a b\">", "NAME"), "TAB0");
    EXPECT_EQ(GetAttributeValue("<APPLET CODE=\"x.class\" WIDTH=200 HEIGHT=360>", "Width"), "200");
    EXPECT_EQ(GetAttributeValue("<APPLET CODE=\"x.class\" WIDTH=200 HEIGHT=360>", "height"), "360");
    EXPECT_EQ(GetAttributeValue("<APPLET CODE=\"x.class\">", "Width"), "");
    EXPECT_EQ(GetAttributeValue("<P VALUE=\"a > b\">", "VALUE"), "a");
    EXPECT_EQ(GetAttributeValue("<P VALUE=\"unterminated", "VALUE"), "unterminated");
    EXPECT_EQ(GetAttributeValue("<P VALUE=", "VALUE"), "");
    EXPECT_EQ(GetAttributeValue("<P VALUE=\"\">", "VALUE"), "");
}

TEST(SplitFieldsTest, EmptyPiecesAndLastPiece) {
    EXPECT_EQ(SplitFields("a;;b", ';'), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitFields("a;b;", ';'), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitFields(";", ';'), (std::vector<std::string>{""}));
    EXPECT_TRUE(SplitFields("", ';').empty());
}

TEST(ParamToColorTest, BytesAndErrors) {
    EXPECT_EQ(ParamToColor("255,128,0"), MakeColor(255, 128, 0));
    EXPECT_EQ(ParamToColor("256, 1 ,2"), MakeColor(0, 1, 2));
    std::string err;
    EXPECT_FALSE(ParamToColor("1,x,3", &err));
    EXPECT_EQ(err, "'x' is not a valid integer value");
    EXPECT_FALSE(ParamToColor("1,2", &err));
    EXPECT_EQ(err, "List index out of bounds (2)");
    EXPECT_TRUE(IsYes("YES"));
    EXPECT_TRUE(IsYes("True"));
    EXPECT_TRUE(IsYes("1"));
    EXPECT_FALSE(IsYes("no"));
    EXPECT_FALSE(IsYes("y"));
}

TEST(ResolveRelativePathTest, WorkedExampleAndNativePaths) {
    EXPECT_EQ(ResolveRelativePath("C:\\web\\site\\", "../img/a.gif"), "C:\\web\\img\\a.gif");
    EXPECT_EQ(ResolveRelativePath("C:\\web\\site\\", "D:\\x\\a.gif"), "D:\\x\\a.gif");
    EXPECT_EQ(ResolveRelativePath("C:\\web\\site\\", "\"img/a.gif\""), "C:\\web\\site\\img\\a.gif");
    EXPECT_EQ(ResolveRelativePath("/srv/site/", "../img/a.gif"), "/srv/img/a.gif");
    EXPECT_EQ(ResolveRelativePath("/srv/site/", "a.gif"), "/srv/site/a.gif");
    EXPECT_EQ(ResolveRelativePath("/srv/site/", "/abs/a.gif"), "/abs/a.gif");
    // Climbing stops at the root.
    EXPECT_EQ(ResolveRelativePath("/srv/", "../../../a.gif"), "/a.gif");
    EXPECT_EQ(ResolveRelativePath("C:\\", "..\\..\\a.gif"), "C:\\a.gif");
}

void ExpectSameTree(const NodeTree& a, const NodeTree& b, bool none_for_empty) {
    const auto na = a.PreOrder(), nb = b.PreOrder();
    ASSERT_EQ(na.size(), nb.size());
    auto fold = [&](const std::string& s) { return none_for_empty && s.empty() ? std::string("None") : s; };
    for (size_t i = 0; i < na.size(); ++i) {
        SCOPED_TRACE(na[i]->caption);
        EXPECT_EQ(na[i]->caption, nb[i]->caption);
        EXPECT_EQ(na[i]->Depth(), nb[i]->Depth());
        EXPECT_EQ(na[i]->data.statusText, nb[i]->data.statusText);
        EXPECT_EQ(na[i]->data.url1, nb[i]->data.url1);
        EXPECT_EQ(fold(na[i]->data.target1), nb[i]->data.target1);
        EXPECT_EQ(fold(na[i]->data.url2), nb[i]->data.url2);
        EXPECT_EQ(fold(na[i]->data.target2), nb[i]->data.target2);
    }
}

class RoundTripTest : public ::testing::TestWithParam<AppletKind> {};

TEST_P(RoundTripTest, SaveThenLoadGivesBackTheProject) {
    const AppletKind kind = GetParam();
    ScratchDir dir("roundtrip_" + std::to_string(static_cast<int>(kind)));
    NavigationProject p;
    BuildRichProject(p, kind, dir);
    BwScriptedUiHost host;
    ASSERT_TRUE(SaveProjectFile(p, dir.File("menu.bwk"), host));
    const std::string text = testing::ReadAll(dir.File("menu.bwk"));
    EXPECT_EQ(text.find("CODEBASE"), std::string::npos);
    EXPECT_EQ(text.find("<!--"), std::string::npos);

    NavigationProject q;
    q.SetFontNames({"Arial"});
    q.ResetForNew(AppletKind::Tab);
    LoadOutcome out = LoadProjectFile(q, dir.File("menu.bwk"), host);
    EXPECT_TRUE(out.appletFound);
    EXPECT_TRUE(out.complete) << out.error;
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(q.kind, kind);
    StyleSettings expected = p.styles;
    if (kind == AppletKind::Tree) {  // the tab font is not part of a tree applet
        expected.tabFont = "Arial";
        expected.tabFontSize = "12";
    }
    if (kind == AppletKind::Tab) {  // nor the tree's style of a tab applet, except what its keys share
        expected.treeFont = "Arial";
        expected.treeFontSize = "12";
        q.styles.treeBranchFG = expected.treeBranchFG;
        q.styles.treeBranchBG = expected.treeBranchBG;
        q.styles.treeSelectedFG = expected.treeSelectedFG;
        q.styles.treeSelectedBG = expected.treeSelectedBG;
        q.styles.treeMouseOver = expected.treeMouseOver;
        q.styles.showBorder = expected.showBorder;
        q.styles.autoExpand = expected.autoExpand;
        q.styles.doubleClick = expected.doubleClick;
    }
    if (kind == AppletKind::Tree) {
        expected.tabCaptionFG = q.styles.tabCaptionFG;
        expected.tabCaptionBG = q.styles.tabCaptionBG;
        expected.tabMouseOver = q.styles.tabMouseOver;
        expected.tabsOnBottom = q.styles.tabsOnBottom;
    }
    EXPECT_EQ(q.styles, expected);
    EXPECT_EQ(q.backgroundImage, p.backgroundImage);
    EXPECT_EQ(q.defaultTab, kind == AppletKind::Tree ? -1 : 1);
    ASSERT_EQ(q.TabCount(), p.TabCount());
    if (kind != AppletKind::Tab) {
        auto path = [](const NavigationProject& x, int i) { return i < 0 ? std::string() : x.images.At(i).path; };
        EXPECT_EQ(path(q, q.defaultCollapsed), path(p, p.defaultCollapsed));
        EXPECT_EQ(path(q, q.defaultExpanded), path(p, p.defaultExpanded));
        EXPECT_EQ(path(q, q.defaultLeaf), path(p, p.defaultLeaf));
    }
    for (int i = 0; i < p.TabCount(); ++i) {
        if (kind != AppletKind::Tree) {
            EXPECT_EQ(q.Page(i).caption, p.Page(i).caption);
            // Empty tab fields were written and read back as "None".
            EXPECT_EQ(q.Page(i).tab, p.Page(i).tab);
        }
        if (kind == AppletKind::Tab) continue;
        ExpectSameTree(p.Page(i).tree, q.Page(i).tree, /*none_for_empty=*/true);
        const auto na = p.Page(i).tree.PreOrder(), nb = q.Page(i).tree.PreOrder();
        for (size_t n = 0; n < na.size(); ++n) {
            auto path = [](const NavigationProject& x, int idx) { return idx < 0 ? std::string() : x.images.At(idx).path; };
            EXPECT_EQ(path(q, nb[n]->data.collapsedImage), path(p, na[n]->data.collapsedImage));
            // An unset expanded image is written as the collapsed one.
            const int pe = na[n]->data.expandedImage >= 0 ? na[n]->data.expandedImage : na[n]->data.collapsedImage;
            EXPECT_EQ(path(q, nb[n]->data.expandedImage), path(p, pe));
        }
    }
    // Saving the loaded project again gives the same file.
    EXPECT_EQ(ProjectFileText(q), text);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, RoundTripTest,
                         ::testing::Values(AppletKind::Tab, AppletKind::Tree, AppletKind::TabAndTree));

TEST(ProjectFileTest, ItemFieldsUseFullPathsAndSpacedSeparator) {
    ScratchDir dir("projfile_items");
    ASSERT_TRUE(WriteTestGif(dir.File("a.gif"), 16, 16));
    NavigationProject p;
    p.SetFontNames({"Arial"});
    p.ResetForNew(AppletKind::Tree);
    BwScriptedUiHost host;
    p.AddImages({dir.File("a.gif")}, host);
    p.defaultLeaf = 0;
    p.Current()->tree.First()->data.collapsedImage = 0;
    p.Current()->tree.First()->data.statusText = "st";
    const std::string text = ProjectFileText(p);
    const std::string a = dir.File("a.gif");
    EXPECT_NE(text.find("\t<PARAM NAME=\"I0\" VALUE=\"New Node; None; None; 0; " + a + "; " + a + "; st; None; None\">\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<APPLET CODE=\"Voltar.class\" WIDTH=200 HEIGHT=360>\r\n"), std::string::npos);
    EXPECT_NE(text.find("\t<PARAM NAME=\"LEAF\" VALUE=\"" + a + "\">"), std::string::npos);
}

TEST(LoaderEdgeTest, NoAppletLeavesOneEmptyTab) {
    NavigationProject p;
    p.ResetForNew(AppletKind::TabAndTree);
    p.AddTab("x");
    BwScriptedUiHost host;
    LoadOutcome out = LoadProjectText(p, "<html><body>nothing</body></html>", host);
    EXPECT_FALSE(out.appletFound);
    ASSERT_EQ(p.TabCount(), 1);
    EXPECT_EQ(p.Current()->tree.Count(), 1);
    EXPECT_TRUE(host.messages.empty());
}

TEST(LoaderEdgeTest, NonNumericValuesStopWithMessageKeepingWhatWasRead) {
    const std::string text =
        "<APPLET CODE=\"Voltar.class\" WIDTH=300 HEIGHT=400>\r\n"
        "\t<PARAM NAME=\"BORDER\" VALUE=\"No\">\r\n"
        "\t<PARAM NAME=\"BACKGROUND\" VALUE=\"1,two,3\">\r\n"
        "\t<PARAM NAME=\"I0\" VALUE=\"A; None; None; 0;  ;  ; ; None; None\">\r\n"
        "</APPLET>\r\n";
    NavigationProject p;
    p.ResetForNew(AppletKind::TabAndTree);
    BwScriptedUiHost host;
    LoadOutcome out = LoadProjectText(p, text, host);
    EXPECT_TRUE(out.appletFound);
    EXPECT_FALSE(out.complete);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "'two' is not a valid integer value");
    EXPECT_EQ(p.kind, AppletKind::Tree);
    EXPECT_EQ(p.styles.width, "300");
    EXPECT_FALSE(p.styles.showBorder);
    EXPECT_GE(p.TabCount(), 1);  // still usable
}

TEST(LoaderEdgeTest, BadLevelAndShortItemStop) {
    NavigationProject p;
    BwScriptedUiHost host;
    LoadOutcome out = LoadProjectText(p,
                                      "<APPLET CODE=\"Voltar.class\">"
                                      "<PARAM NAME=\"I0\" VALUE=\"A; None; None; 0;  ;  ; ; None; None\">"
                                      "<PARAM NAME=\"I1\" VALUE=\"B; None; None; deep;  ;  ; ; None; None\">"
                                      "</APPLET>",
                                      host);
    EXPECT_FALSE(out.complete);
    EXPECT_EQ(out.error, "'deep' is not a valid integer value");
    ASSERT_EQ(p.TabCount(), 1);
    EXPECT_EQ(p.Page(0).tree.Count(), 1);  // A was read before the stop
    BwScriptedUiHost host2;
    out = LoadProjectText(p, "<APPLET CODE=\"Voltar.class\"><PARAM NAME=\"I0\" VALUE=\"A; b; c\"></APPLET>", host2);
    EXPECT_FALSE(out.complete);
    EXPECT_EQ(out.error, "List index out of bounds (3)");
}

TEST(LoaderEdgeTest, LevelsClimbAndStopAtTopLevel) {
    const std::string text =
        "<APPLET CODE=\"Voltar.class\">"
        "<PARAM NAME=\"I0\" VALUE=\"A; None; None; 0;  ;  ; ; None; None\">"
        "<PARAM NAME=\"I1\" VALUE=\"B; None; None; 3;  ;  ; ; None; None\">"
        "<PARAM NAME=\"I2\" VALUE=\"C; None; None; 7;  ;  ; ; None; None\">"
        "<PARAM NAME=\"I3\" VALUE=\"D; None; None; 1;  ;  ; ; None; None\">"
        "<PARAM NAME=\"I4\" VALUE=\"E; None; None; -5;  ;  ; ; None; None\">"
        "<PARAM NAME=\"I5\" VALUE=\"F; None; None; 2147483647;  ;  ; ; None; None\">"
        "</APPLET>";
    NavigationProject p;
    BwScriptedUiHost host;
    LoadOutcome out = LoadProjectText(p, text, host);
    ASSERT_TRUE(out.complete) << out.error;
    const auto nodes = p.Page(0).tree.PreOrder();
    ASSERT_EQ(nodes.size(), 6u);
    EXPECT_EQ(nodes[0]->caption, "A");
    EXPECT_EQ(nodes[1]->Depth(), 1);  // B: a level rise of any size is one step deeper
    EXPECT_EQ(nodes[2]->Depth(), 2);  // C
    EXPECT_EQ(nodes[3]->caption, "D");
    EXPECT_EQ(nodes[3]->Depth(), 1);  // climbed back to level 1: sibling of B
    EXPECT_EQ(nodes[3]->parent, nodes[0]);
    EXPECT_EQ(nodes[4]->caption, "E");
    EXPECT_EQ(nodes[4]->Depth(), 0);  // the climb stops at the top level
    EXPECT_EQ(nodes[5]->Depth(), 1);
    EXPECT_EQ(p.Page(0).tree.selected, nodes[0]);
}

TEST(LoaderEdgeTest, LowerCaseNamesValuesWithGreaterThanAndMisnumberedTabs) {
    const std::string text =
        "<APPLET CODE=\"Voltarix.class\" WIDTH=200 HEIGHT=360>"
        "<param name=\"tree_autoexpand\" value=\"yes\">"
        "<PARAM NAME=\"TAB1\" VALUE=\"First but numbered 1; None; None; None; None; None\">"
        "<PARAM NAME=\"TAB1\" VALUE=\"Second; a>b; None; None; None; None\">"
        "</APPLET>";
    NavigationProject p;
    BwScriptedUiHost host;
    LoadOutcome out = LoadProjectText(p, text, host);
    EXPECT_TRUE(out.complete) << out.error;
    EXPECT_TRUE(p.styles.autoExpand);
    // The TAB1 that comes first is skipped; the second collected tag is the
    // one numbered 1 and is read, cut at the ">" inside its value.
    ASSERT_EQ(p.TabCount(), 1);
    EXPECT_EQ(p.Page(0).caption, "Second");
    EXPECT_EQ(p.Page(0).tab.url1, "a");
    EXPECT_EQ(p.Page(0).tab.target1, "");
}

TEST(LoaderEdgeTest, FolderTokensMissingImagesAndStarLines) {
    ScratchDir dir("loader_tokens");
    dir.Sub("site/img");
    ASSERT_TRUE(WriteTestGif(dir.File("site/img/open.gif"), 16, 16));
    ASSERT_TRUE(WriteTestGif(dir.File("site/img/closed.gif"), 16, 16));
    ASSERT_TRUE(WriteTestGif(dir.File("site/img/big.gif"), 32, 16));
    WriteAll(dir.File("site/Content.txt"),
             "Root; None; None; 0; Folder ; FOLDER ; s;None; None\r\n***\r\nKid; k.htm; _top; 1; img/big.gif; "
             "img/nothere.gif; ks;None; None\r\n");
    const std::string selection =
        "<!-- The following files need to be uploaded -->\r\n"
        "<APPLET CODEBASE=\".\" CODE=\"VoltarR.class\" WIDTH=200 HEIGHT=360>\r\n"
        "\t<PARAM NAME=\"CONTENT\" VALUE=\"content.txt\">\r\n"
        "\t<PARAM NAME=\"FOLDER_CLOSED\" VALUE=\"img/closed.gif\">\r\n"
        "\t<PARAM NAME=\"FOLDER_OPEN\" VALUE=\"img/open.gif\">\r\n"
        "</APPLET>";
    NavigationProject p;
    BwScriptedUiHost host;
    // The CONTENT value names "content.txt" (as earlier versions wrote it)
    // while the file is "Content.txt": it is found regardless of case.
    LoadOutcome out = ImportMarkup(p, selection, dir.File("site/"), host);
    EXPECT_TRUE(out.appletFound);
    ASSERT_TRUE(out.complete) << out.error;
    EXPECT_EQ(p.kind, AppletKind::Tree);
    ASSERT_EQ(p.images.Count(), 2);
    EXPECT_EQ(p.images.At(p.defaultCollapsed).path, dir.File("site/img/closed.gif"));
    EXPECT_EQ(p.images.At(p.defaultExpanded).path, dir.File("site/img/open.gif"));
    const auto nodes = p.Page(0).tree.PreOrder();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0]->data.collapsedImage, p.defaultCollapsed);  // "Folder" with a capital F
    EXPECT_EQ(nodes[0]->data.expandedImage, p.defaultExpanded);
    EXPECT_EQ(nodes[1]->caption, "Kid");
    EXPECT_EQ(nodes[1]->data.url1, "k.htm");
    EXPECT_EQ(nodes[1]->data.collapsedImage, -1);  // 32x16: no image, no message
    EXPECT_EQ(nodes[1]->data.expandedImage, -1);   // missing: message
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "An error occured while trying to open " + dir.File("site/img/nothere.gif"));
}

TEST(LoaderEdgeTest, ImportNeedsAnAppletOfTheThreeKinds) {
    NavigationProject p;
    p.ResetForNew(AppletKind::Tab);
    p.SetTabCaption(0, "Keep");
    BwScriptedUiHost host;
    EXPECT_FALSE(ImportMarkup(p, "<APPLET CODE=\"Other.class\"><PARAM NAME=\"TAB0\" VALUE=\"x\"></APPLET>", "/x/", host)
                     .appletFound);
    // "Voltan" outside CODE does not count for an import.
    EXPECT_FALSE(ImportMarkup(p, "<APPLET NAME=\"Voltan\" CODE=\"x.class\">", "/x/", host).appletFound);
    EXPECT_EQ(p.Page(0).caption, "Keep");
    EXPECT_FALSE(ImportMarkup(p, "", "/x/", host).appletFound);
}

TEST(LoaderEdgeTest, QuotedKeysDoNotMatchLongerNames) {
    const std::string text =
        "<APPLET CODE=\"Voltarix.class\">"
        "<PARAM NAME=\"TAB_BG_IMAGE\" VALUE=\"/x/bg.gif\">"
        "<PARAM NAME=\"TAB_BG\" VALUE=\"9,8,7\">"
        "<PARAM NAME=\"TAB_FONT\" VALUE=\"Unlisted Font; PLAIN;13\">"
        "<PARAM NAME=\"TAB_DEFAULT\" VALUE=\"999\">"
        "<PARAM NAME=\"TAB0\" VALUE=\"One\">"
        "</APPLET>";
    NavigationProject p;
    p.SetFontNames({"Arial"});
    BwScriptedUiHost host;
    LoadOutcome out = LoadProjectText(p, text, host);
    ASSERT_TRUE(out.complete) << out.error;
    EXPECT_EQ(p.backgroundImage, "/x/bg.gif");
    EXPECT_EQ(p.styles.tabCaptionBG, MakeColor(9, 8, 7));
    EXPECT_EQ(p.styles.tabFont, "Unlisted Font");
    EXPECT_EQ(p.fonts.tabFonts.front(), "Unlisted Font");
    EXPECT_EQ(p.styles.tabFontSize, "13");
    EXPECT_EQ(p.fonts.tabSizes.front(), "13");
    EXPECT_EQ(p.defaultTab, -1);
    ASSERT_EQ(p.TabCount(), 1);
    EXPECT_EQ(p.Page(0).caption, "One");
    EXPECT_EQ(p.Page(0).tab.url1, "");  // pieces that run out stay empty
}

TEST(LoaderEdgeTest, GenerateThenImportGivesBackTreeLinksAndImages) {
    ScratchDir dir("gen_import");
    NavigationProject p;
    BuildRichProject(p, AppletKind::TabAndTree, dir);
    const std::string page = dir.Sub("site");
    const std::string gfx = dir.Sub("site/images");
    for (bool inside : {true, false}) {
        p.nodeInfoInApplet = inside;
        BwScriptedUiHost host;
        MarkupResult r = GenerateAppletMarkup(p, {page, gfx, dir.Dir(), true}, host);
        ASSERT_TRUE(r.ok);
        NavigationProject q;
        LoadOutcome out = ImportMarkup(q, r.text, page, host);
        ASSERT_TRUE(out.complete) << out.error;
        EXPECT_TRUE(host.messages.empty());
        ASSERT_EQ(q.TabCount(), p.TabCount());
        for (int i = 0; i < p.TabCount(); ++i) {
            ExpectSameTree(p.Page(i).tree, q.Page(i).tree, true);
            const auto na = p.Page(i).tree.PreOrder(), nb = q.Page(i).tree.PreOrder();
            for (size_t n = 0; n < na.size(); ++n) {
                // Images come back as the copies in the graphics directory.
                auto name = [](const NavigationProject& x, int idx) {
                    return idx < 0 ? std::string() : x.images.At(idx).path.substr(x.images.At(idx).path.rfind('/') + 1);
                };
                EXPECT_EQ(name(q, nb[n]->data.collapsedImage), name(p, na[n]->data.collapsedImage));
                const int pe = na[n]->data.expandedImage >= 0 ? na[n]->data.expandedImage : na[n]->data.collapsedImage;
                EXPECT_EQ(name(q, nb[n]->data.expandedImage), name(p, pe));
                if (nb[n]->data.collapsedImage >= 0) {
                    EXPECT_EQ(q.images.At(nb[n]->data.collapsedImage).path.rfind(gfx, 0), 0u);
                }
            }
        }
        // The background image is resolved against the page like the node
        // images, so a later Send finds and copies it.
        EXPECT_EQ(q.backgroundImage, gfx + "d.gif");
    }
}

TEST(LoaderHostileTest, EveryTruncationLoadsSafely) {
    ScratchDir dir("hostile_trunc");
    NavigationProject p;
    BuildRichProject(p, AppletKind::TabAndTree, dir);
    const std::string text = ProjectFileText(p);
    for (size_t cut = 0; cut <= text.size(); cut += 7) {
        NavigationProject q;
        BwScriptedUiHost host;
        LoadOutcome out = LoadProjectText(q, text.substr(0, cut), host);
        // Whatever was read, the project stays usable and can be written.
        ASSERT_GE(q.TabCount(), 1) << cut;
        ASSERT_NE(q.Current(), nullptr) << cut;
        if (!out.complete) {
            EXPECT_FALSE(out.error.empty());
            EXPECT_FALSE(host.messages.empty());
        }
        EXPECT_FALSE(ProjectFileText(q).empty());
    }
}

TEST(LoaderHostileTest, VeryDeepNestingAndHugeLevels) {
    std::string text = "<APPLET CODE=\"Voltar.class\">";
    const int depth = 20000;
    for (int i = 0; i < depth; ++i)
        text += "<PARAM NAME=\"I" + std::to_string(i) + "\" VALUE=\"n; None; None; " + std::to_string(i * 1000) +
                ";  ;  ; ; None; None\">";
    text += "<PARAM NAME=\"I" + std::to_string(depth) + "\" VALUE=\"back; None; None; -2147483648;  ;  ; ; None; None\">";
    text += "<PARAM NAME=\"I" + std::to_string(depth + 1) + "\" VALUE=\"over; None; None; 99999999999;  ;  ; ; None; None\">";
    text += "</APPLET>";
    NavigationProject p;
    BwScriptedUiHost host;
    LoadOutcome out = LoadProjectText(p, text, host);
    // The number that does not fit 32 bits stops the load; the rest stays.
    EXPECT_FALSE(out.complete);
    EXPECT_EQ(out.error, "'99999999999' is not a valid integer value");
    const auto nodes = p.Page(0).tree.PreOrder();
    ASSERT_EQ(nodes.size(), static_cast<size_t>(depth + 1));
    EXPECT_EQ(nodes[depth - 1]->Depth(), depth - 1);
    EXPECT_EQ(nodes[depth]->caption, "back");
    EXPECT_EQ(nodes[depth]->Depth(), 0);
    // Writing and freeing such a tree needs no deep recursion either.
    EXPECT_NE(ProjectFileText(p).find("back; None; None; 0;"), std::string::npos);
}

TEST(LoaderHostileTest, TruncatedTagsAndStrayMarkers) {
    for (const std::string& text : {
             std::string("<APPLET CODE=\"Voltar.class\""),
             std::string("<APPLET CODE=\"Voltar.class\"><PARAM NAME=\"I0\" VALUE=\"a; b"),
             std::string("<APPLET CODE=\"Voltarix.class\"><PARAM NAME=\"TAB0\" VALUE=\""),
             std::string("--> > <APPLET code=Voltan2.class> <!-- <PARAM NAME=\"TAB0\" VALUE=\"x\">"),
             std::string("<APPLET CODE=\"Voltarix.class\"><PARAM NAME=\"TAB99999999999999999999\" VALUE=\"x\">"),
             std::string("<APPLET CODE=\"Voltar.class\"><PARAM NAME=\"CONTENT\" VALUE=\"/nonexistent/c.txt\">"),
             std::string("<APPLET CODE=\"Voltar.class\"><PARAM NAME=\"LEAF\" VALUE=\"/nonexistent/l.gif\">"),
         }) {
        NavigationProject p;
        BwScriptedUiHost host;
        LoadProjectText(p, text, host);
        EXPECT_GE(p.TabCount(), 1) << text;
    }
    NavigationProject p;
    BwScriptedUiHost host;
    LoadOutcome out = LoadProjectText(p, "<APPLET CODE=\"Voltar.class\"><PARAM NAME=\"CONTENT\" VALUE=\"/nonexistent/c.txt\">", host);
    EXPECT_FALSE(out.complete);
    EXPECT_EQ(out.error, "Cannot open file \"/nonexistent/c.txt\".");
    out = LoadProjectText(p, "<APPLET CODE=\"Voltar.class\"><PARAM NAME=\"LEAF\" VALUE=\"/nonexistent/l.gif\"></APPLET>", host);
    EXPECT_TRUE(out.complete);
    EXPECT_EQ(host.messages.back().text, "An error occured while trying to open /nonexistent/l.gif");
    EXPECT_EQ(p.defaultLeaf, -1);
}

}  // namespace
}  // namespace branchwork
