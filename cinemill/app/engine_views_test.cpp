#include "cinemill/app/engine_views.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {
namespace {

std::unique_ptr<Animation> Doc(int frames) {
    auto a = NewAnimation();
    a->width = 1200;
    a->height = 1100;
    Palette p;
    for (int i = 0; i < 4; ++i) p.entries.push_back({uint8_t(i * 60), 0, 0});
    SetGlobalPalette(*a, p);
    for (int i = 0; i < frames; ++i) {
        auto f = std::make_unique<Frame>();
        auto bmp = FrameBitmap::Create(1200, 1100);
        for (int y = 0; y < 1100; ++y) bmp->Row(y)[y % 1200] = static_cast<uint8_t>(i % 4);
        SetBitmap(*f, std::move(*bmp));
        f->delay = 25;
        a->blocks.push_back(std::move(f));
    }
    return a;
}

bool Has(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

struct EngineViews : ::testing::Test {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    MemoryClipboard clipboard;
    Engine engine{prefs, host, clipboard};
};

TEST_F(EngineViews, WithoutADocumentTheStatusBarIsSimpleAndTheDocumentCommandsAreGrayed) {
    const auto status = StatusTexts(engine);
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0], "Ready to Animate");
    const auto grayed = GrayedMenuItems(engine);
    for (const char* item : {"Save", "Revert", "Preview", "Undo", "Redo", "Paste", "Delete"})
        EXPECT_TRUE(Has(grayed, item)) << item;
    EXPECT_FALSE(Has(grayed, "Open"));
    EXPECT_FALSE(Has(grayed, "New"));
}

TEST_F(EngineViews, MenusFollowTheSelectionTheHistoryAndTheClipboard) {
    engine.SetDocument(Doc(3), "", false);
    auto grayed = GrayedMenuItems(engine);
    EXPECT_TRUE(Has(grayed, "Delete"));   // nothing selected
    EXPECT_TRUE(Has(grayed, "Revert"));   // untitled
    EXPECT_TRUE(Has(grayed, "Paste"));
    EXPECT_FALSE(Has(grayed, "Preview"));

    ASSERT_TRUE(engine.Select(1).Ok());
    ASSERT_TRUE(engine.Execute(CommandId::Copy).Ok());
    ASSERT_TRUE(engine.Execute(CommandId::Delete).Ok());
    grayed = GrayedMenuItems(engine);
    EXPECT_FALSE(Has(grayed, "Delete"));
    EXPECT_FALSE(Has(grayed, "Paste"));
    EXPECT_FALSE(Has(grayed, "Undo"));
    EXPECT_TRUE(Has(grayed, "Redo"));

    ASSERT_TRUE(engine.Execute(CommandId::Undo).Ok());
    EXPECT_FALSE(Has(GrayedMenuItems(engine), "Redo"));
}

TEST_F(EngineViews, StatusPanesCountFramesTimeAndTheFinishedSize) {
    engine.SetDocument(Doc(3), "", false);
    engine.WaitTasks();
    ASSERT_GE(engine.FileSize(), 0);
    ASSERT_TRUE(engine.Select(2).Ok());
    engine.WaitTasks();
    const auto panes = StatusTexts(engine);
    ASSERT_EQ(panes.size(), 5u);
    const std::string all = panes[0] + "|" + panes[1] + "|" + panes[2] + "|" + panes[3] + "|" + panes[4];
    EXPECT_NE(panes[0].find('3'), std::string::npos) << all;          // frame 3 of 3
    EXPECT_NE(all.find("1200"), std::string::npos) << all;            // the screen's width
    EXPECT_EQ(all.find("Calculating"), std::string::npos) << all;     // the size task finished
    // The size pane groups the byte count's thousands.
    const std::string size = std::to_string(engine.FileSize());
    ASSERT_GT(size.size(), 3u);
    const std::string grouped = size.substr(0, size.size() - 3) + "," + size.substr(size.size() - 3);
    EXPECT_NE(all.find(grouped), std::string::npos) << all << " / " << size;
}

TEST_F(EngineViews, FrameToolbarReadsTheSelectedFrame) {
    engine.SetDocument(Doc(2), "", false);
    EXPECT_FALSE(FrameToolbarStateOf(FrameToolbarInputOf(engine)).delayEnabled);
    ASSERT_TRUE(engine.Select(0).Ok());
    ASSERT_TRUE(engine.SetDisposal(2).Ok());
    const FrameToolbarInput in = FrameToolbarInputOf(engine);
    EXPECT_EQ(in.disposal, 2);
    EXPECT_EQ(in.delay, 25u);
    EXPECT_TRUE(in.hasGlobalPalette);
    EXPECT_TRUE(FrameToolbarStateOf(in).delayEnabled);
}

TEST(EngineViewsOrientation, ChosenDirectionsCarryTheChosenBit) {
    EXPECT_EQ(OrientationItem(StripOrientationOf(0)), CommandId::OrientDefault);
    EXPECT_EQ(OrientationItem(StripOrientationOf(1)), CommandId::OrientHorizontal);
    EXPECT_EQ(OrientationItem(StripOrientationOf(2)), CommandId::OrientVertical);
}

}  // namespace
}  // namespace cinemill
