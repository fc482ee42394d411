#pragma once

// A project for the loader's tests: every feature the markup carries.

#include <gtest/gtest.h>

#include "branchwork/model/project.h"
#include "branchwork/model/test_support.h"

namespace branchwork::testing {

// Builds a project of the kind with every feature: five images with the
// three defaults, a background, every style value away from its default,
// links in both slots, nodes nested three deep with their own images, and
// fields left empty (the second tab, the nodes without links). The images
// are written into `dir`.
inline void BuildRichProject(NavigationProject& p, AppletKind kind, const ScratchDir& dir) {
    p.SetFontNames({"Arial", "Verdana"});
    p.ResetForNew(kind);
    for (const char* n : {"a.gif", "b.gif", "c.gif", "d.gif", "e.gif"}) ASSERT_TRUE(WriteTestGif(dir.File(n), 16, 16));
    BwScriptedUiHost host;
    p.AddImages({dir.File("a.gif"), dir.File("b.gif"), dir.File("c.gif"), dir.File("d.gif"), dir.File("e.gif")}, host);
    p.defaultCollapsed = 0;
    p.defaultExpanded = 1;
    p.defaultLeaf = 2;
    p.backgroundImage = dir.File("d.gif");
    StyleSettings& s = p.styles;
    s.width = "310";
    s.height = "420";
    s.tabFont = "Verdana";
    s.tabFontSize = "14";
    s.treeFont = "Verdana";
    s.treeFontSize = "9";
    s.tabCaptionFG = MakeColor(1, 2, 3);
    s.tabCaptionBG = MakeColor(4, 5, 6);
    s.tabMouseOver = MakeColor(7, 8, 9);
    s.treeBranchFG = MakeColor(10, 11, 12);
    s.treeBranchBG = MakeColor(13, 14, 15);
    s.treeSelectedFG = MakeColor(16, 17, 18);
    s.treeSelectedBG = MakeColor(19, 20, 21);
    s.treeMouseOver = MakeColor(22, 23, 24);
    s.showBorder = false;
    s.autoExpand = true;
    s.doubleClick = true;
    s.tabsOnBottom = true;
    p.SetTabCaption(0, "Home");
    p.Page(0).tab = {"home status", "index.htm", "_top", "second.htm", "side"};
    NodeTree& t = p.Current()->tree;
    TreeNode* root = t.First();
    root->caption = "Products";
    root->data = {"all products", "prod.htm", "_self", "p2.htm", "_blank", 0, 1};
    TreeNode* child = p.AddChildNode();
    child->caption = "Widgets";
    child->data.collapsedImage = 3;
    child->data.expandedImage = 4;
    TreeNode* grand = p.AddChildNode();
    grand->caption = "Blue widget";
    grand->data.collapsedImage = 2;
    grand->data.url1 = "blue.htm";
    t.selected = root;
    TreeNode* second = p.AddNode();
    second->caption = "About";
    second->data.collapsedImage = 4;
    if (kind != AppletKind::Tree) {
        p.AddTab("Contact");
        p.Current()->tree.First()->caption = "Mail";
        p.SelectDefaultTab(1);
    }
}

}  // namespace branchwork::testing
