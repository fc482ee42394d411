#include "cinemill/app/transfer_dialogs.h"

#include <gtest/gtest.h>

namespace cinemill::transfer {
namespace {

TEST(FilmstripExportFigures, ResultLineCountsStripsAndPixels) {
    // Five 20 x 10 frames, two per horizontal strip: three strips, 40 x 30.
    EXPECT_EQ(FilmstripResultText(5, 20, 10, {false, 2}), "for total of 3 strip(s) and 40x30 pixels.");
    // Vertical strips are columns.
    EXPECT_EQ(FilmstripResultText(5, 20, 10, {true, 2}), "for total of 3 strip(s) and 60x20 pixels.");
    // All frames in one strip; one frame per strip.
    EXPECT_EQ(FilmstripResultText(4, 8, 6, {false, 4}), "for total of 1 strip(s) and 32x6 pixels.");
    EXPECT_EQ(FilmstripResultText(4, 8, 6, {false, 1}), "for total of 4 strip(s) and 8x24 pixels.");
    // Nothing to divide by.
    EXPECT_EQ(FilmstripResultText(4, 8, 6, {false, 0}), "");
    EXPECT_EQ(FilmstripOfTotalText(12), "(of 12 total)");
    // Large screens do not wrap around.
    EXPECT_EQ(FilmstripResultText(300, 65535, 65535, {false, 300}),
              "for total of 1 strip(s) and 19660500x65535 pixels.");
}

TEST(FilmstripExportFigures, PerStripAboveTheFrameCountBeepsAndTakesTheCount) {
    bool beep = false;
    EXPECT_EQ(ClampFramesPerStrip(9, 5, beep), 5);
    EXPECT_TRUE(beep);
    EXPECT_EQ(ClampFramesPerStrip(5, 5, beep), 5);
    EXPECT_FALSE(beep);
    EXPECT_EQ(ClampFramesPerStrip(0, 5, beep), 0);
    EXPECT_FALSE(beep);
}

TEST(HotspotFields, ClampToTheFrame) {
    EXPECT_EQ(ClampHotspotField(500, 32), 32);
    EXPECT_EQ(ClampHotspotField(-3, 32), 0);
    EXPECT_EQ(ClampHotspotField(17, 32), 17);
    EXPECT_EQ(ClampHotspotField(5, -1), 0);
}

}  // namespace
}  // namespace cinemill::transfer
