#include "cinemill/base/preferences.h"

#include <gtest/gtest.h>

#include "cinemill/base/strings.h"

namespace cinemill {
namespace {

TEST(Preferences, DefaultsAndStoredBlock) {
    PreferenceBlock p;
    EXPECT_EQ(p.DefaultDelay(), 10u);
    EXPECT_EQ(p.DefaultLoop(), 0u);
    EXPECT_EQ(p.Get(PreferenceBlock::kOptimizer), 0x46Au);
    EXPECT_EQ(p.Get(PreferenceBlock::kPaletteMerging), 0x880201u);
    EXPECT_EQ(p.Get(PreferenceBlock::kUndoLevels), 100u);

    // 48 bytes with NPref 12: twelve slots load, undo levels fall back to 100.
    MemoryPreferenceStore store;
    std::vector<uint8_t> bytes(48, 0);
    bytes[0] = 25;                       // slot 0
    bytes[6 * 4] = 0x08;                 // slot 6: no signature
    bytes[12 * 4 - 4] = 0x33;            // slot 11
    store.pref = bytes;
    store.npref = 12;
    p.Load(&store);
    EXPECT_EQ(p.DefaultDelay(), 25u);
    EXPECT_EQ(p.Get(11), 0x33u);
    EXPECT_EQ(p.Get(PreferenceBlock::kUndoLevels), 100u);
    EXPECT_TRUE(p.Flag(PreferenceBlock::kFlagNoSignature));
    EXPECT_EQ(p.SignatureText(), "");
    EXPECT_EQ(p.SignatureText(true), "Built with Cinemill 2.6");

    // Writing goes through with all 52 bytes and NPref 13.
    p.Set(PreferenceBlock::kDefaultLoop, 4);
    ASSERT_TRUE(store.pref);
    EXPECT_EQ(store.pref->size(), 52u);
    EXPECT_EQ(store.npref, 13u);
    EXPECT_EQ((*store.pref)[4], 4);
    EXPECT_EQ((*store.pref)[0], 25);
}

TEST(Preferences, FrameSizeConflictOldEncodings) {
    PreferenceBlock p;
    const std::pair<uint32_t, uint32_t> cases[] = {{0, 0x20}, {1, 0x24}, {2, 0x10}, {3, 0x20}, {0x14, 0x14}};
    for (const auto& [stored, read] : cases) {
        p.Set(PreferenceBlock::kFrameSizeConflict, stored);
        EXPECT_EQ(p.Get(PreferenceBlock::kFrameSizeConflict), read) << stored;
    }
}

TEST(Preferences, SetBitsKeepsOtherBits) {
    PreferenceBlock p;
    p.Set(PreferenceBlock::kProgramFlags, 0x2010);
    p.SetBits(PreferenceBlock::kProgramFlags, 0x1000, true);
    p.SetBits(PreferenceBlock::kProgramFlags, 0x0010, false);
    EXPECT_EQ(p.Get(PreferenceBlock::kProgramFlags), 0x3000u);
}

TEST(Preferences, SignatureText) {
    PreferenceBlock p;
    MemoryPreferenceStore store;
    store.signature = "";
    p.Load(&store);
    EXPECT_EQ(p.SignatureText(), "");  // an emptied text adds no comment
    p.SetSignature(std::string(300, 'x'));
    EXPECT_EQ(p.SignatureText().size(), 255u);
    EXPECT_EQ(store.signature->size(), 300u);
}

TEST(Strings, FormatAndLookup) {
    EXPECT_EQ(FormatString(StringId::NotValidGif, "a.gif"), "a.gif is not a valid GIF File.");
    EXPECT_EQ(FormatString(StringId::FrameNameFormat, "x.gif", 3), "x.gif - Frame 3");
    EXPECT_EQ(LoadString(StringId::PartlyRead), "Only part of the animation was read.");
    EXPECT_TRUE(LoadString(static_cast<StringId>(1)).empty());
}

}  // namespace
}  // namespace cinemill
