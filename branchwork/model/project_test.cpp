#include <gtest/gtest.h>

#include "branchwork/base/texts.h"
#include "branchwork/model/project.h"
#include "branchwork/model/test_support.h"

namespace branchwork {
namespace {

using testing::ScratchDir;
using testing::WriteTestGif;

NavigationProject& Fresh(NavigationProject& p, AppletKind k = AppletKind::TabAndTree) {
    p.ResetForNew(k);
    return p;
}

TEST(ProjectTabsTest, NewProjectHasOneTabWithOneSelectedNode) {
    NavigationProject p;
    Fresh(p);
    ASSERT_EQ(p.TabCount(), 1);
    EXPECT_EQ(p.Page(0).caption, "New Tab");
    EXPECT_EQ(p.currentPage, 0);
    ASSERT_EQ(p.Page(0).tree.Count(), 1);
    EXPECT_EQ(p.Page(0).tree.selected, p.Page(0).tree.First());
    EXPECT_EQ(p.Page(0).tree.First()->caption, "New Node");
    EXPECT_EQ(p.Page(0).tree.First()->data, TAppletNode{});
    EXPECT_EQ(p.defaultTab, -1);
    EXPECT_EQ(p.styles.tabFontSize, "12");
    EXPECT_EQ(p.styles.tabFont, p.fonts.tabFonts.front());
}

TEST(ProjectTabsTest, StyleDefaults) {
    StyleSettings s;
    EXPECT_EQ(s.width, "200");
    EXPECT_EQ(s.height, "360");
    EXPECT_EQ(s.tabCaptionFG, MakeColor(0, 0, 0));
    EXPECT_TRUE(IsSystemColor(s.tabCaptionBG));
    EXPECT_EQ(s.tabMouseOver, MakeColor(255, 0, 0));
    EXPECT_EQ(s.treeBranchBG, MakeColor(255, 255, 255));
    EXPECT_EQ(s.treeSelectedFG, MakeColor(255, 255, 0));
    EXPECT_EQ(s.treeSelectedBG, MakeColor(0, 0, 255));
    EXPECT_TRUE(s.showBorder);
    EXPECT_FALSE(s.autoExpand);
    EXPECT_FALSE(s.doubleClick);
    EXPECT_FALSE(s.tabsOnBottom);
}

TEST(ProjectTabsTest, RemoveTabRefusesLastAndShowsNeighbour) {
    NavigationProject p;
    Fresh(p);
    BwScriptedUiHost host;
    EXPECT_FALSE(p.RemoveTab(0, host));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Cannot delete last tab");
    EXPECT_EQ(p.TabCount(), 1);

    p.AddTab("B");
    p.AddTab("C");
    p.AddTab("D");
    // Removing the first shows the new first tab.
    ASSERT_TRUE(p.RemoveTab(0, host));
    EXPECT_EQ(p.currentPage, 0);
    EXPECT_EQ(p.Current()->caption, "B");
    // Removing tab n > 0 shows tab n - 1.
    ASSERT_TRUE(p.RemoveTab(2, host));
    EXPECT_EQ(p.currentPage, 1);
    EXPECT_EQ(p.Current()->caption, "C");
    EXPECT_EQ(p.DefaultTabList(), (std::vector<std::string>{"B", "C"}));
    EXPECT_FALSE(p.RemoveTab(5, host));
}

TEST(ProjectTabsTest, MoveTabChangesStripOrder) {
    NavigationProject p;
    Fresh(p);
    p.SetTabCaption(0, "First");
    p.AddTab("Second");
    ASSERT_TRUE(p.MoveTab(1, 0));
    EXPECT_EQ(p.Page(0).caption, "Second");
    EXPECT_EQ(p.Page(1).caption, "First");
    EXPECT_EQ(p.currentPage, 0);
    EXPECT_FALSE(p.MoveTab(0, 2));
}

TEST(ProjectTabsTest, DefaultTabListFollowsCaptionsAndClamps) {
    NavigationProject p;
    Fresh(p);
    p.AddTab("Two");
    p.AddTab("Three");
    p.SetTabCaption(0, "One");
    EXPECT_EQ(p.DefaultTabList(), (std::vector<std::string>{"One", "Two", "Three"}));
    p.SelectDefaultTab(2);
    EXPECT_EQ(p.defaultTab, 2);
    BwScriptedUiHost host;
    p.RemoveTab(2, host);
    // A default tab beyond the last tab selects the last tab.
    EXPECT_EQ(p.defaultTabSelection, 1);
    EXPECT_EQ(p.defaultTab, 1);
    p.SelectDefaultTab(-1);
    p.AddTab("Four");
    EXPECT_EQ(p.defaultTabSelection, -1);
    // 999 selects nothing.
    p.defaultTab = 999;
    p.defaultTabSelection = 999;
    p.RefreshDefaultTabList();
    EXPECT_EQ(p.defaultTabSelection, -1);
}

TEST(ProjectTabsTest, NewClearsTabsImagesAndDefaultsButKeepsStyle) {
    ScratchDir dir("model_new");
    ASSERT_TRUE(WriteTestGif(dir.File("a.gif"), 16, 16));
    NavigationProject p;
    Fresh(p);
    BwScriptedUiHost host;
    p.AddImages({dir.File("a.gif")}, host);
    p.SetDefaultImage(DefaultImageSlot::Leaf);
    p.styles.treeBranchBG = kRed;
    p.styles.width = "300";
    p.backgroundImage = "/x/bg.gif";
    p.AddTab("Two");
    p.SelectDefaultTab(1);
    p.styles.tabFontSize = "24";
    p.ResetForNew(AppletKind::Tree);
    EXPECT_EQ(p.kind, AppletKind::Tree);
    EXPECT_EQ(p.TabCount(), 1);
    EXPECT_EQ(p.images.Count(), 0);
    EXPECT_EQ(p.defaultLeaf, -1);
    EXPECT_EQ(p.defaultTab, -1);
    EXPECT_EQ(p.styles.tabFontSize, "12");
    EXPECT_EQ(p.styles.treeBranchBG, kRed);
    EXPECT_EQ(p.styles.width, "300");
    EXPECT_EQ(p.backgroundImage, "/x/bg.gif");
    EXPECT_FALSE(p.browser.enabled);
}

TEST(ProjectTabsTest, ConfirmNewAsksTheQuestion) {
    BwScriptedUiHost host;
    host.confirmAnswers = {true, false};
    EXPECT_TRUE(ConfirmNew(host));
    EXPECT_FALSE(ConfirmNew(host));
    EXPECT_EQ(host.confirmations[0], "Are you sure you want to clear the current information?");
}

TEST(ProjectNodesTest, AddNodeAndChild) {
    NavigationProject p;
    Fresh(p);
    TreeNode* top = p.Current()->tree.First();
    TreeNode* sib = p.AddNode();  // top-level selected: another top-level node
    EXPECT_EQ(sib->parent, nullptr);
    EXPECT_EQ(p.Current()->tree.roots.size(), 2u);
    p.Current()->tree.selected = top;
    TreeNode* child = p.AddChildNode();
    EXPECT_EQ(child->parent, top);
    EXPECT_EQ(child->Depth(), 1);
    TreeNode* child2 = p.AddNode();
    EXPECT_EQ(child2->parent, top);
    EXPECT_EQ(top->children.back().get(), child2);
    // Pre-order: top, child, child2, sib.
    auto order = p.Current()->tree.PreOrder();
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0], top);
    EXPECT_EQ(order[1], child);
    EXPECT_EQ(order[2], child2);
    EXPECT_EQ(order[3], sib);
}

TEST(ProjectNodesTest, FieldEditsGoToTheSelectionAndCurrentTab) {
    NavigationProject p;
    Fresh(p);
    p.AddTab("Two");
    p.SetCurrentTabFields({"s", "u", "_top", "u2", "_blank"});
    EXPECT_EQ(p.Page(1).tab, (TTabPage{"s", "u", "_top", "u2", "_blank"}));
    EXPECT_EQ(p.Page(0).tab, TTabPage{});
    TreeNode* n = p.Current()->tree.selected;
    n->data.collapsedImage = 2;
    ASSERT_TRUE(p.SetSelectedNodeFields("Cap", "st", "a.htm", "_self", "b.htm", "_parent"));
    EXPECT_EQ(n->caption, "Cap");
    EXPECT_EQ(n->data, (TAppletNode{"st", "a.htm", "_self", "b.htm", "_parent", 2, -1}));
    p.Current()->tree.Clear();
    EXPECT_FALSE(p.SetSelectedNodeFields("x", "", "", "", "", ""));
}

TEST(ProjectNodesTest, AddingToAnEmptyTreeAddsTopLevel) {
    NavigationProject p;
    Fresh(p);
    p.Current()->tree.Clear();
    TreeNode* n = p.AddChildNode();
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->parent, nullptr);
    EXPECT_EQ(p.Current()->tree.Count(), 1);
}

TEST(ProjectNodesTest, DeleteRefusesRootAndAsksForSubtree) {
    NavigationProject p;
    Fresh(p);
    BwScriptedUiHost host;
    EXPECT_FALSE(p.DeleteSelectedNode(host));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Cannot Delete Root Node");

    NodeTree& t = p.Current()->tree;
    TreeNode* top = t.First();
    p.AddChildNode();
    p.AddChildNode();  // grandchild
    t.selected = top;
    host.confirmAnswers = {false};
    EXPECT_FALSE(p.DeleteSelectedNode(host));
    EXPECT_EQ(host.confirmations.back(), "Do you want to delete this node and all it's children?");
    EXPECT_EQ(t.Count(), 3);
    // Deleting the top node that holds all others empties the tree.
    host.confirmAnswers = {true};
    EXPECT_TRUE(p.DeleteSelectedNode(host));
    EXPECT_EQ(t.Count(), 0);
    EXPECT_EQ(t.selected, nullptr);
}

TEST(ProjectNodesTest, DeleteLeafNeedsNoQuestionAndMovesSelection) {
    NavigationProject p;
    Fresh(p);
    NodeTree& t = p.Current()->tree;
    TreeNode* a = t.First();
    TreeNode* b = p.AddNode();
    TreeNode* c = p.AddNode();
    t.selected = b;
    BwScriptedUiHost host;
    ASSERT_TRUE(p.DeleteSelectedNode(host));
    EXPECT_TRUE(host.confirmations.empty());
    EXPECT_EQ(t.selected, c);
    t.selected = c;
    ASSERT_TRUE(p.DeleteSelectedNode(host));
    EXPECT_EQ(t.selected, a);
}

TEST(ProjectNodesTest, DragAndDropRules) {
    NavigationProject p;
    Fresh(p);
    NodeTree& t = p.Current()->tree;
    TreeNode* a = t.First();
    t.selected = a;
    TreeNode* a1 = p.AddChildNode();
    TreeNode* a11 = p.AddChildNode();
    t.selected = a;
    TreeNode* b = p.AddNode();
    TreeNode* c = p.AddNode();

    // Onto itself or a descendant: nothing changes.
    EXPECT_FALSE(p.MoveNode(a, a, DropZone::Label));
    EXPECT_FALSE(p.MoveNode(a, a11, DropZone::Label));
    EXPECT_FALSE(p.MoveNode(a, a1, DropZone::Indentation));
    EXPECT_EQ(a1->parent, a);
    EXPECT_EQ(t.roots.size(), 3u);
    // Elsewhere: nothing.
    EXPECT_FALSE(p.MoveNode(c, b, DropZone::Elsewhere));

    // Onto a label: last child of the target, subtree included.
    ASSERT_TRUE(p.MoveNode(a1, c, DropZone::Label));
    EXPECT_EQ(a1->parent, c);
    EXPECT_EQ(c->children.back().get(), a1);
    EXPECT_EQ(a11->parent, a1);
    EXPECT_EQ(a11->Depth(), 2);
    EXPECT_TRUE(a->children.empty());

    // Onto the indentation: sibling before the target.
    ASSERT_TRUE(p.MoveNode(c, b, DropZone::Indentation));
    ASSERT_EQ(t.roots.size(), 3u);
    EXPECT_EQ(t.roots[0].get(), a);
    EXPECT_EQ(t.roots[1].get(), c);
    EXPECT_EQ(t.roots[2].get(), b);
    ASSERT_TRUE(p.MoveNode(b, a11, DropZone::Indentation));
    EXPECT_EQ(b->parent, a1);
    EXPECT_EQ(a1->children[0].get(), b);
    EXPECT_EQ(a1->children[1].get(), a11);
}

TEST(ProjectImagesTest, AddsOnly16x16AndNoDuplicates) {
    ScratchDir dir("model_images");
    ASSERT_TRUE(WriteTestGif(dir.File("a.gif"), 16, 16));
    ASSERT_TRUE(WriteTestGif(dir.File("big.gif"), 32, 32));
    ASSERT_TRUE(WriteTestGif(dir.File("b.gif"), 16, 16, 1, 2, 3));
    testing::WriteAll(dir.File("junk.gif"), "not a gif at all");
    NavigationProject p;
    Fresh(p);
    BwScriptedUiHost host;
    const int added = p.AddImages({dir.File("a.gif"), dir.File("big.gif"), dir.File("junk.gif"), dir.File("A.GIF"),
                                   dir.File("b.gif"), dir.File("a.gif"), dir.File("missing.gif")},
                                  host);
    EXPECT_EQ(added, 2);
    ASSERT_EQ(p.images.Count(), 2);
    EXPECT_EQ(p.images.At(0).path, dir.File("a.gif"));
    EXPECT_EQ(p.images.At(1).path, dir.File("b.gif"));
    ASSERT_EQ(p.images.At(1).rgba.size(), 16u * 16u * 4u);
    EXPECT_EQ(p.images.At(1).rgba[0], 1);
    EXPECT_EQ(p.images.At(1).rgba[3], 255);
    // Only the 32x32 file is named; the unreadable ones are skipped quietly.
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Image: " + dir.File("big.gif") + " must be 16x16.");
    EXPECT_TRUE(p.browser.enabled);
    EXPECT_EQ(p.browser.max, 1);
    EXPECT_EQ(p.browser.position, 1);  // the last image shows in the centre
    EXPECT_EQ(p.images.IndexOf(dir.File("B.gif")), 1);
}

TEST(ProjectImagesTest, BrowserSlotsAndSetButtons) {
    EXPECT_EQ(BrowserSlots(0, 3), (std::array<int, 5>{-1, -1, 0, 1, 2}));
    EXPECT_EQ(BrowserSlots(2, 3), (std::array<int, 5>{0, 1, 2, -1, -1}));
    EXPECT_EQ(BrowserSlots(0, 0), (std::array<int, 5>{-1, -1, -1, -1, -1}));

    NavigationProject p;
    Fresh(p);
    // With no images the Set buttons leave every index unchanged.
    EXPECT_FALSE(p.SetNodeImage(ImageSlot::Collapsed));
    EXPECT_FALSE(p.SetDefaultImage(DefaultImageSlot::Collapsed));
    EXPECT_EQ(p.Current()->tree.First()->data.collapsedImage, -1);
    EXPECT_EQ(p.defaultCollapsed, -1);

    ScratchDir dir("model_browser");
    for (const char* n : {"a.gif", "b.gif", "c.gif"}) ASSERT_TRUE(WriteTestGif(dir.File(n), 16, 16));
    BwScriptedUiHost host;
    p.AddImages({dir.File("a.gif"), dir.File("b.gif"), dir.File("c.gif")}, host);
    p.ScrollBrowser(1);
    ASSERT_TRUE(p.SetNodeImage(ImageSlot::Expanded));
    EXPECT_EQ(p.Current()->tree.First()->data.expandedImage, 1);
    p.ScrollBrowser(99);
    EXPECT_EQ(p.browser.position, 2);
    ASSERT_TRUE(p.SetDefaultImage(DefaultImageSlot::Expanded));
    EXPECT_EQ(p.defaultExpanded, 2);
}

TEST(ProjectImagesTest, FewerThanTwoImagesDisableTheScrollBar) {
    ScratchDir dir("model_scroll");
    ASSERT_TRUE(WriteTestGif(dir.File("a.gif"), 16, 16));
    ASSERT_TRUE(WriteTestGif(dir.File("b.gif"), 16, 16));
    NavigationProject p;
    Fresh(p, AppletKind::Tree);
    BwScriptedUiHost host;
    p.AddImages({dir.File("a.gif")}, host);
    p.ApplyKindToEditor();
    EXPECT_FALSE(p.browser.enabled);
    // A second image enables it again and the range spans both images.
    p.AddImages({dir.File("b.gif")}, host);
    EXPECT_TRUE(p.browser.enabled);
    EXPECT_EQ(p.browser.max, 1);
}

TEST(ProjectEditorTest, KindTableAndNodePanel) {
    auto tab = EditorLayoutFor(AppletKind::Tab);
    EXPECT_TRUE(tab.tabPageShown);
    EXPECT_FALSE(tab.treePageShown);
    EXPECT_TRUE(tab.grpTabsEnabled);
    EXPECT_FALSE(tab.grpTreeEnabled);
    EXPECT_FALSE(tab.grpTreeStyleEnabled);
    EXPECT_TRUE(tab.grpTabStyleEnabled);
    EXPECT_STREQ(tab.pageBroughtForward, "Tab");
    auto tree = EditorLayoutFor(AppletKind::Tree);
    EXPECT_FALSE(tree.tabPageShown);
    EXPECT_TRUE(tree.treePageShown);
    EXPECT_FALSE(tree.grpTabsEnabled);
    EXPECT_TRUE(tree.grpTreeEnabled);
    EXPECT_TRUE(tree.grpTreeStyleEnabled);
    EXPECT_FALSE(tree.grpTabStyleEnabled);
    EXPECT_STREQ(tree.pageBroughtForward, "Tree");
    EXPECT_FALSE(tree.tabButtonsShown);
    auto both = EditorLayoutFor(AppletKind::TabAndTree);
    EXPECT_TRUE(both.tabPageShown && both.treePageShown && both.grpTabsEnabled && both.grpTreeEnabled &&
                both.grpTreeStyleEnabled && both.grpTabStyleEnabled);
    EXPECT_STREQ(both.pageBroughtForward, "Tab");

    TreeNode leaf;
    leaf.data.collapsedImage = 3;
    leaf.data.expandedImage = 4;
    EXPECT_EQ(NodeDisplayImage(leaf), 3);
    leaf.expanded = true;
    EXPECT_EQ(NodeDisplayImage(leaf), 4);
    EXPECT_FALSE(NodeImagePanelFor(leaf).expandedEnabled);
    EXPECT_STREQ(NodeImagePanelFor(leaf).collapsedLabel, "Child");
    leaf.children.push_back(std::make_unique<TreeNode>());
    EXPECT_TRUE(NodeImagePanelFor(leaf).expandedEnabled);
    EXPECT_STREQ(NodeImagePanelFor(leaf).collapsedLabel, "Collapsed");
}

TEST(ProjectEditorTest, PreviewSizeFromFields) {
    NavigationProject p;
    p.styles.width = "250";
    p.styles.height = "";
    p.ApplyPreviewSize();
    EXPECT_EQ(p.previewWidth, 250);
    EXPECT_EQ(p.previewHeight, 0);
    p.styles.height = "12x";
    p.ApplyPreviewSize();
    EXPECT_EQ(p.previewHeight, 0);
}

TEST(ColorTest, SystemColoursResolveToFixedValues) {
    EXPECT_EQ(ResolveColor(kButtonFace), MakeColor(240, 240, 240));
    EXPECT_EQ(ResolveColor(SystemColor(kColorWindow)), kWhite);
    EXPECT_EQ(ResolveColor(SystemColor(kColorWindowText)), kBlack);
    EXPECT_EQ(ResolveColor(MakeColor(1, 2, 3)), MakeColor(1, 2, 3));
    EXPECT_EQ(RedOf(MakeColor(1, 2, 3)), 1);
    EXPECT_EQ(BlueOf(MakeColor(1, 2, 3)), 3);
}

}  // namespace
}  // namespace branchwork
