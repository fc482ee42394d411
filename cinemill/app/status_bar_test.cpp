#include "cinemill/app/status_bar.h"

#include <gtest/gtest.h>

namespace cinemill {
namespace {

TEST(StatusNumbers, DefaultSeparatorGroupsByThree) {
    EXPECT_EQ(GroupDigits(1234567), "1,234,567");
    EXPECT_EQ(GroupDigits(0), "0");
    EXPECT_EQ(GroupDigits(999), "999");
    EXPECT_EQ(GroupDigits(1000), "1,000");
    EXPECT_EQ(GroupDigits(12345), "12,345");
    EXPECT_EQ(GroupDigits(123456), "123,456");
    EXPECT_EQ(GroupDigits(1234567, "."), "1.234.567");
    EXPECT_EQ(GroupDigits(1234567, ""), "1234567");
}

TEST(StatusNumbers, SeparatorIsTheFirstCharacterOfTheSetting) {
    EXPECT_EQ(ThousandsSeparator(std::nullopt), ",");
    EXPECT_EQ(ThousandsSeparator(std::string_view(" x")), " ");
    EXPECT_EQ(ThousandsSeparator(std::string_view("'")), "'");
    EXPECT_EQ(ThousandsSeparator(std::string_view("")), "");
}

TEST(StatusPanes, FrameDimensionTimeAndZoom) {
    EXPECT_EQ(FramePaneText(0, 12), "  Frame #1 of 12");
    EXPECT_EQ(FramePaneText(-1, 12), "  None of 12 frames");
    EXPECT_EQ(FramePaneText(12, 12), "  None of 12 frames");  // a stale selection
    EXPECT_EQ(FramePaneText(-1, 0), "  None of 0 frames");
    EXPECT_EQ(DimensionPaneText(320, 200), "  320 × 200");
    EXPECT_EQ(TotalTimePaneText(0), "  0.00 secs");
    EXPECT_EQ(TotalTimePaneText(1234), "  12.34 secs");
    EXPECT_EQ(TotalTimePaneText(65535ull * 3), "  1966.05 secs");
    EXPECT_EQ(ZoomPaneText(0), "  100%");
    EXPECT_EQ(ZoomPaneText(-2), "  33%");
    EXPECT_EQ(ZoomPaneText(3), "  400%");
}

TEST(StatusPanes, FileSizeWithDownloadTimeOrCalculating) {
    EXPECT_EQ(FileSizePaneText(std::nullopt, 1), "  File Size: Calculating...");
    EXPECT_EQ(FileSizePaneText(-1, 1), "  File Size: Calculating...");
    // 1,234,567 bytes at 28.8K: 9876536 / 28800 = 342.9 s.
    EXPECT_EQ(FileSizePaneText(1234567, 1), "  File Size: 1,234,567 bytes  (342.9secs at 28.8K)");
    EXPECT_EQ(FileSizePaneText(1234567, 5, "."), "  File Size: 1.234.567 bytes  (77.2secs at 128K)");
    EXPECT_EQ(FileSizePaneText(100, 0), "  File Size: 100 bytes  (< 0.1sec at 14.4K)");
}

TEST(DownloadTime, SpeedsAndTheTenthBoundary) {
    EXPECT_EQ(DownloadSpeedAt(0).bitsPerSecond, 14400);
    EXPECT_EQ(DownloadSpeedAt(5).name, "128K");
    EXPECT_EQ(DownloadSpeedAt(6).name, "28.8K");  // beyond the table: the default
    EXPECT_EQ(DownloadSpeedAt(-3).name, "28.8K");
    EXPECT_DOUBLE_EQ(DownloadSeconds(3600, 1), 1.0);
    // 180 bytes at 14.4K are exactly 0.1 s: the status bar shows it, the menu does not.
    EXPECT_EQ(DownloadTimeText(180, 0, false), "0.1secs");
    EXPECT_EQ(DownloadTimeText(180, 0, true), "< 0.1sec");
    EXPECT_EQ(DownloadTimeText(181, 0, true), "0.1secs");
    EXPECT_EQ(DownloadTimeText(179, 0, false), "< 0.1sec");
    EXPECT_EQ(DownloadTimeText(0, 3, false), "< 0.1sec");
}

TEST(DownloadTime, MenuItemsWithAndWithoutASize) {
    auto items = DownloadMenuItems(std::nullopt, 2);
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].commandId, 40093);
    EXPECT_EQ(items[5].commandId, 40098);
    EXPECT_EQ(items[0].text, "14.4K");
    EXPECT_TRUE(items[2].checked);
    EXPECT_FALSE(items[1].checked);
    items = DownloadMenuItems(36000, 9);
    EXPECT_EQ(items[1].text, "28.8K :\t 10.0secs");
    EXPECT_EQ(items[5].text, "128K :\t 2.2secs");
    EXPECT_TRUE(items[1].checked);  // a stored index beyond the table checks the default
}

TEST(StatusBar, SimpleWithoutDocumentFivePanesWithOne) {
    StatusBarTexts t = ComputeStatusBar(StatusInput{});
    EXPECT_TRUE(t.simple);
    EXPECT_EQ(t.simpleText, "Ready to Animate");
    StatusInput in;
    in.hasDocument = true;
    in.frameCount = 3;
    in.selectedFrame = 2;
    in.width = 160;
    in.height = 120;
    in.totalDelay = 30;
    in.fileSize = 2048;
    in.zoomLevel = 1;
    t = ComputeStatusBar(in);
    EXPECT_FALSE(t.simple);
    EXPECT_EQ(t.panes[0], "  Frame #3 of 3");
    EXPECT_EQ(t.panes[1], "  160 × 120");
    EXPECT_EQ(t.panes[2], "  0.30 secs");
    EXPECT_EQ(t.panes[3], "  File Size: 2,048 bytes  (0.6secs at 28.8K)");
    EXPECT_EQ(t.panes[4], "  200%");
}

TEST(StatusBar, TotalDelaySumsEveryFrame) {
    auto a = NewAnimation();
    EXPECT_EQ(TotalDelay(*a), 0u);
    for (uint32_t d : {10u, 65535u, 5u}) {
        auto f = std::make_unique<Frame>();
        f->delay = d;
        a->blocks.push_back(std::move(f));
    }
    a->blocks.push_back(NewComment("not a frame"));
    EXPECT_EQ(TotalDelay(*a), 65550u);
}

}  // namespace
}  // namespace cinemill
