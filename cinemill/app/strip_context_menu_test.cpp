#include "cinemill/app/strip_context_menu.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace cinemill {
namespace {

std::vector<int> Ids(const std::vector<ContextMenuItem>& items) {
    std::vector<int> out;
    for (const auto& i : items)
        if (i.kind == ContextMenuItem::Kind::Command) out.push_back(Id(i.id));
    return out;
}

const ContextMenuItem* Find(const std::vector<ContextMenuItem>& items, CommandId id) {
    auto it = std::find_if(items.begin(), items.end(), [&](const ContextMenuItem& i) {
        return i.kind == ContextMenuItem::Kind::Command && i.id == id;
    });
    return it == items.end() ? nullptr : &*it;
}

TEST(StripContextMenu, WithoutASelectionPasteAndTheTwoPropertiesGrayedWithoutADocument) {
    MenuInput in;
    auto m = StripContextMenu(in);
    EXPECT_EQ(Ids(m), (std::vector<int>{40004, 40008, 40052}));
    EXPECT_TRUE(Find(m, CommandId::Paste)->grayed);
    EXPECT_TRUE(Find(m, CommandId::AnimationProperties)->grayed);
    EXPECT_TRUE(Find(m, CommandId::GlobalProperties)->grayed);
    EXPECT_EQ(Find(m, CommandId::Paste)->text, StringId::StripPasteFrame);
    in.hasDocument = true;
    in.frameCount = 3;
    in.clipboardHasFrame = true;
    m = StripContextMenu(in);
    EXPECT_FALSE(Find(m, CommandId::Paste)->grayed);
    EXPECT_FALSE(Find(m, CommandId::AnimationProperties)->grayed);
    EXPECT_FALSE(Find(m, CommandId::GlobalProperties)->grayed);
    EXPECT_EQ(LoadString(StringId::StripGlobalProperties), "&Global Frame Properties...");
}

TEST(StripContextMenu, WithASelectedFrameTheFrameCommandsAndTheRotatePopup) {
    MenuInput in;
    in.hasDocument = true;
    in.frameCount = 3;
    in.selectedFrame = 2;
    const auto m = StripContextMenu(in);
    EXPECT_EQ(Ids(m), (std::vector<int>{1012, 40002, 40012, 40004, 40009, 40073, 40074, 40075, 40076,
                                        40077, 40072}));
    EXPECT_EQ(Find(m, CommandId::Paste)->text, StringId::StripPasteBefore);
    EXPECT_TRUE(Find(m, CommandId::Paste)->grayed);  // empty clipboard
    EXPECT_FALSE(Find(m, CommandId::Delete)->grayed);
    // The five transforms sit inside the Rotate Frame pop-up.
    auto start = std::find_if(m.begin(), m.end(),
                              [](const ContextMenuItem& i) { return i.kind == ContextMenuItem::Kind::SubmenuStart; });
    ASSERT_NE(start, m.end());
    EXPECT_EQ(start->text, StringId::StripRotateFrame);
    EXPECT_EQ((start + 1)->id, CommandId::Rotate90Cw);
    EXPECT_EQ((start + 6)->kind, ContextMenuItem::Kind::SubmenuEnd);
    EXPECT_EQ(LoadString(StringId::StripRotate180), "Rotate &180°");
}

TEST(StripContextMenu, ASelectionPastTheFramesCountsAsNone) {
    MenuInput in;
    in.hasDocument = true;
    in.frameCount = 2;
    in.selectedFrame = 5;
    EXPECT_EQ(Ids(StripContextMenu(in)), (std::vector<int>{40004, 40008, 40052}));
}

}  // namespace
}  // namespace cinemill
