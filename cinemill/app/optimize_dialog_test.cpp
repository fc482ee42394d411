#include "cinemill/app/optimize_dialog.h"

#include <gtest/gtest.h>

#include <limits>

#include "cinemill/app/number_text.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;
namespace of = optimize_flags;

TEST(NumberText, GroupsOfThreeDigits) {
    EXPECT_EQ(GroupedNumber(0), "0");
    EXPECT_EQ(GroupedNumber(999), "999");
    EXPECT_EQ(GroupedNumber(1000), "1,000");
    EXPECT_EQ(GroupedNumber(1234567), "1,234,567");
    EXPECT_EQ(GroupedNumber(-1234567), "-1,234,567");
    EXPECT_EQ(GroupedNumber(1234567, '.'), "1.234.567");
    EXPECT_EQ(GroupedNumber(std::numeric_limits<int64_t>::min()), "-9,223,372,036,854,775,808");
}

TEST(OptimizeExperiment, OptimizesACopyAndLeavesTheDocumentAlone) {
    auto a = MakeAnimation(8, 8);
    for (int i = 0; i < 6; ++i) a->blocks.push_back(FillFrame(0, 0, 8, 8, static_cast<uint8_t>(i / 2)));
    auto before = CopyAnimation(*a);
    SilentUiHost host;
    PreferenceBlock prefs;
    SilentProgress progress;
    OptimizeExperiment e = RunOptimizeExperiment(*a, 1000, of::kDefault, host, progress, prefs);
    EXPECT_EQ(e.result, Result::Done);
    ASSERT_TRUE(e.copy);
    EXPECT_EQ(e.documentSize, 1000);
    EXPECT_GT(e.copySize, 0);
    EXPECT_LT(e.copy->FrameCount(), a->FrameCount());  // each repeated picture went
    // The document itself is untouched.
    VectorSink x, y;
    ASSERT_EQ(WriteGif(x, *a, progress), Result::Done);
    ASSERT_EQ(WriteGif(y, *before, progress), Result::Done);
    EXPECT_EQ(x.bytes, y.bytes);

    CountdownProgress stop_at_once(0);
    EXPECT_EQ(RunOptimizeExperiment(*a, 1000, of::kDefault, host, stop_at_once, prefs).result, Result::Stopped);
}

TEST(OptimizeTexts, SavingsAreWordedAsTheDialogShowsThem) {
    SavingsTexts t = MakeSavingsTexts(2000, 1500);
    EXPECT_EQ(t.optimizedSize, "1,500 bytes");
    EXPECT_EQ(t.savings, "500 bytes");
    EXPECT_EQ(t.percent, "(25.0%)");
    t = MakeSavingsTexts(1500, 1500);
    EXPECT_EQ(t.savings, "None");
    EXPECT_EQ(t.percent, "");
    t = MakeSavingsTexts(1500, 1600);
    EXPECT_EQ(t.optimizedSize, "1,600 bytes");
    EXPECT_EQ(t.savings, "");
    EXPECT_EQ(t.percent, "");
    EXPECT_EQ(MakeSavingsTexts(3, 2).percent, "(33.3%)");
}

TEST(OptimizeTexts, ControlsFollowTheFlagsAndTheDocument) {
    OptimizeControlState s = OptimizeControls(of::kDefault, true);
    EXPECT_TRUE(s.removeLocalPalettes && s.paletteRadios && s.transparency && s.removeFrames);
    s = OptimizeControls(of::kDefault & ~(of::kRemoveLocalPalettes | of::kShrinkFrames), true);
    EXPECT_FALSE(s.paletteRadios);
    EXPECT_FALSE(s.transparency);
    EXPECT_FALSE(s.removeFrames);
    s = OptimizeControls(of::kDefault, false);
    EXPECT_FALSE(s.removeLocalPalettes);
    EXPECT_FALSE(s.paletteRadios);
    EXPECT_EQ(EffectiveOptimizeFlags(of::kDefault, false), of::kDefault & ~(of::kRemoveLocalPalettes | of::kMetaPalette));
    EXPECT_EQ(EffectiveOptimizeFlags(of::kDefault, true), of::kDefault);
}

TEST(OptimizeTexts, LossyLevelTravelsInTheFlagsOnlyWhileLossyIsOn) {
    const uint32_t on = of::WithLossyLevel(of::kDefault | of::kLossy, 120);
    EXPECT_EQ(of::LossyLevel(on), 120);
    EXPECT_TRUE(OptimizeControls(on, false).lossyLevel);
    EXPECT_EQ(EffectiveOptimizeFlags(on, true), on);
    // Off: the level is remembered for the dialog but no run uses it.
    const uint32_t off = on & ~of::kLossy;
    EXPECT_EQ(of::LossyLevel(off), 0);
    EXPECT_FALSE(OptimizeControls(off, false).lossyLevel);
    EXPECT_EQ(EffectiveOptimizeFlags(off, true), of::kDefault);
    EXPECT_EQ(LossyLevelShown(off), 120);
    // Never chosen: the dialog offers 80; levels are clamped to 0-200.
    EXPECT_EQ(LossyLevelShown(of::kDefault), 80);
    EXPECT_EQ(of::LossyLevel(of::WithLossyLevel(of::kLossy, 999)), 200);
    EXPECT_EQ(of::LossyLevel(of::WithLossyLevel(of::kLossy, -5)), 0);
    EXPECT_EQ(of::WithLossyLevel(on, 7) & ~of::kLossyLevelMask, on & ~of::kLossyLevelMask);
}

TEST(OptimizeExperiment, LossyLevelMakesTheCopySmallerAndKeepsItsData) {
    auto a = MakeAnimation(64, 48);
    // A smooth ramp of near colours: lossy compression has room to work.
    Palette grey;
    for (int i = 0; i < 256; ++i) grey.entries.push_back(Rgb{uint8_t(i), uint8_t(i), uint8_t(i)});
    SetGlobalPalette(*a, grey);
    for (int k = 0; k < 3; ++k) {
        auto f = FillFrame(0, 0, 64, 48, 0);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                f->bitmap->Row(y)[x] = static_cast<uint8_t>((x * 3 + y * 5 + k * 7 + (x * y) % 7) & 0xFF);
        a->blocks.push_back(std::move(f));
    }
    SilentUiHost host;
    PreferenceBlock prefs;
    SilentProgress progress;
    const OptimizeExperiment exact = RunOptimizeExperiment(*a, 1000, of::kDefault, host, progress, prefs);
    const OptimizeExperiment lossy =
        RunOptimizeExperiment(*a, 1000, of::WithLossyLevel(of::kDefault | of::kLossy, 60), host, progress, prefs);
    ASSERT_EQ(exact.result, Result::Done);
    ASSERT_EQ(lossy.result, Result::Done);
    EXPECT_LT(lossy.copySize, exact.copySize);
    int kept = 0;
    for (const Frame* f : lossy.copy->Frames()) kept += ValidKeptData(*lossy.copy, *f) != nullptr;
    EXPECT_GT(kept, 0);
    // The level is off without its flag.
    const OptimizeExperiment off =
        RunOptimizeExperiment(*a, 1000, of::WithLossyLevel(of::kDefault, 60), host, progress, prefs);
    EXPECT_EQ(off.copySize, exact.copySize);
}

}  // namespace
}  // namespace cinemill
