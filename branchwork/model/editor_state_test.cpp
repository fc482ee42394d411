#include "branchwork/model/editor_state.h"

#include <gtest/gtest.h>

#include <set>

namespace branchwork {
namespace {

TEST(EditorState, DropZoneSplitsARowIntoIndentationLabelAndElsewhere) {
    EXPECT_EQ(DropZoneAt(0, 20, 80), DropZone::Indentation);
    EXPECT_EQ(DropZoneAt(19, 20, 80), DropZone::Indentation);
    EXPECT_EQ(DropZoneAt(20, 20, 80), DropZone::Label);
    EXPECT_EQ(DropZoneAt(80, 20, 80), DropZone::Label);
    EXPECT_EQ(DropZoneAt(81, 20, 80), DropZone::Elsewhere);
}

TEST(EditorState, DropIsRefusedOntoTheNodeItselfAndItsDescendants) {
    NavigationProject p;
    TAppletPage& page = p.AddTab("T");
    TreeNode* a = page.tree.First();
    TreeNode* b = page.tree.AddChild(a, "b");
    TreeNode* c = page.tree.AddChild(b, "c");
    TreeNode* d = page.tree.AddTopLevel("d");
    EXPECT_FALSE(DropAllowed(a, a));
    EXPECT_FALSE(DropAllowed(a, c));
    EXPECT_FALSE(DropAllowed(nullptr, d));
    EXPECT_FALSE(DropAllowed(a, nullptr));
    EXPECT_TRUE(DropAllowed(c, a));
    EXPECT_TRUE(DropAllowed(a, d));
}

TEST(EditorState, EverySwatchEditsItsOwnStyleColour) {
    StyleSettings s;
    std::set<Color*> seen;
    std::set<std::string> names;
    for (Swatch w : AllSwatches()) {
        seen.insert(&SwatchColor(s, w));
        names.insert(SwatchName(w));
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kSwatchCount));
    EXPECT_EQ(names.size(), static_cast<size_t>(kSwatchCount));
    EXPECT_EQ(&SwatchColor(s, Swatch::TreeMouseOver), &s.treeMouseOver);
    EXPECT_EQ(&SwatchColor(s, Swatch::TabCaptionBG), &s.tabCaptionBG);
}

TEST(EditorState, SwatchExamplesFollowTheTable) {
    EXPECT_TRUE(SwatchExamples(Swatch::TabMouseOver).empty());
    auto bg = SwatchExamples(Swatch::TreeBranchBG);
    ASSERT_EQ(bg.size(), 2u);
    EXPECT_STREQ(bg[0].element, "pnlTreeBranchExample");
    EXPECT_STREQ(bg[1].element, "pnlMouseOver");
    EXPECT_FALSE(bg[0].textColor);
    auto mo = SwatchExamples(Swatch::TreeMouseOver);
    ASSERT_EQ(mo.size(), 1u);
    EXPECT_STREQ(mo[0].element, "lblMouseOver");
    EXPECT_TRUE(mo[0].textColor);
}

TEST(EditorState, PickedColourReplacesTheSwatchColourOnlyOnOk) {
    StyleSettings s;
    EXPECT_FALSE(ApplyPickedColor(s, Swatch::TabCaptionFG, std::nullopt));
    EXPECT_EQ(s.tabCaptionFG, kBlack);
    EXPECT_TRUE(ApplyPickedColor(s, Swatch::TabCaptionFG, MakeColor(1, 2, 3)));
    EXPECT_EQ(s.tabCaptionFG, MakeColor(1, 2, 3));
    EXPECT_FALSE(ApplyPickedColor(s, Swatch::TabCaptionFG, MakeColor(1, 2, 3)));
}

TEST(EditorState, PageDirectoryKeepsTheTrailingSeparator) {
    EXPECT_EQ(PageDirectoryOf("/srv/web/index.html"), "/srv/web/");
    EXPECT_EQ(PageDirectoryOf("C:\\web\\a.htm"), "C:\\web\\");
    EXPECT_EQ(PageDirectoryOf("a.htm"), "./");
    EXPECT_EQ(PageDirectoryOf(""), "");
    SessionPage page;
    EXPECT_FALSE(page.Known());
    page.path = "/x.html";
    EXPECT_TRUE(page.Known());
}

}  // namespace
}  // namespace branchwork
