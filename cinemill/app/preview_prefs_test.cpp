#include "cinemill/app/preview_prefs.h"

#include <gtest/gtest.h>

#include "cinemill/app/settings_store.h"

namespace cinemill {
namespace {

TEST(PreviewPrefs, BackgroundColourIsStoredRedInTheLowByte) {
    EXPECT_EQ(PreviewBackgroundRgb(0), std::nullopt);
    EXPECT_EQ(PreviewBackgroundRgb(0x00123456), std::nullopt);  // no 0x1000000: button face
    EXPECT_EQ(PreviewBackgroundRgb(0x01563412), 0x123456u);
    EXPECT_EQ(EncodePreviewBackground(0x123456), 0x01563412u);
    EXPECT_EQ(EncodePreviewBackground(0), 0x01000000u);  // black is a colour, not the default
    EXPECT_EQ(PreviewBackgroundRgb(EncodePreviewBackground(0xFF0080)), 0xFF0080u);
}

TEST(PreviewPrefs, BrowserDelaysBitIsRememberedAndKeepsTheOtherFlags) {
    MemorySettingsStore store;
    PreferenceBlock prefs;
    prefs.Load(&store);
    EXPECT_FALSE(BrowserDelaysPreferred(prefs));
    prefs.SetBits(PreferenceBlock::kProgramFlags, PreferenceBlock::kFlagContinuousLoop, true);
    SetBrowserDelaysPreferred(prefs, true);
    EXPECT_TRUE(BrowserDelaysPreferred(prefs));
    EXPECT_TRUE(prefs.Flag(PreferenceBlock::kFlagContinuousLoop));

    // A new run reads it back from the store.
    PreferenceBlock again;
    again.Load(&store);
    EXPECT_TRUE(BrowserDelaysPreferred(again));
    SetBrowserDelaysPreferred(again, false);
    EXPECT_FALSE(BrowserDelaysPreferred(again));
    EXPECT_TRUE(again.Flag(PreferenceBlock::kFlagContinuousLoop));
    PreferenceBlock third;
    third.Load(&store);
    EXPECT_FALSE(BrowserDelaysPreferred(third));
    // No program flag of the preferences sheet uses the bit.
    EXPECT_EQ(kFlagBrowserDelays & 0xFFFFu, 0u);
}

}  // namespace
}  // namespace cinemill
