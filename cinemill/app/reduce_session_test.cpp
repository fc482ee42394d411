#include "cinemill/app/reduce_session.h"

#include <gtest/gtest.h>

#include <random>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

std::unique_ptr<Animation> Colourful(int colors) {
    std::mt19937 rng(static_cast<unsigned>(colors));
    Palette g;
    for (int i = 0; i < colors; ++i)
        g.entries.push_back(Rgb{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())});
    auto a = MakeAnimation(32, 32, g);
    for (int k = 0; k < 3; ++k) {
        auto f = MakeFrame(32, 32, [&](int x, int y) { return (x * 7 + y * 3 + k) % colors; });
        if (k == 1) {
            SetTransparent(*f, true);
            f->transparentIndex = 4;
        }
        Add(*a, std::move(f));
    }
    return a;
}

TEST(ReduceDialog, EntryCountsAndFirstColourCount) {
    auto a = Colourful(100);
    EXPECT_EQ(reduce_dialog::LargestEntryCount(*a), 100);
    Palette big;
    big.entries.resize(256);
    SetLocalPalette(*a->FrameAt(2), big);
    EXPECT_EQ(reduce_dialog::LargestEntryCount(*a), 256);
    EXPECT_EQ(reduce_dialog::FirstColorCount(256), 128);
    EXPECT_EQ(reduce_dialog::FirstColorCount(100), 64);
    EXPECT_EQ(reduce_dialog::FirstColorCount(129), 128);
    EXPECT_EQ(reduce_dialog::FirstColorCount(128), 64);
    EXPECT_EQ(reduce_dialog::FirstColorCount(5), 4);
    EXPECT_EQ(reduce_dialog::FirstColorCount(3), 2);
    EXPECT_FALSE(reduce_dialog::Reducible(2));
    EXPECT_TRUE(reduce_dialog::Reducible(3));
    EXPECT_TRUE(reduce_dialog::Reducible(8));
}

TEST(ReduceDialog, TypedCountsAreClamped) {
    const auto check = [](const char* text, int value, bool replace) {
        const auto t = reduce_dialog::ParseColorCount(text);
        EXPECT_EQ(t.value, value) << text;
        EXPECT_EQ(t.replace_text, replace) << text;
    };
    check("64", 64, false);
    check(" 16 ", 16, false);
    check("2", 2, false);
    check("256", 256, false);
    check("1", 2, true);
    check("0", 2, true);
    check("-5", 2, true);
    check("300", 256, true);
    check("99999999999999999999", 256, true);
    check("abc", 2, true);
    check("", 2, true);
}

TEST(ReduceDialog, SavingsText) {
    EXPECT_EQ(reduce_dialog::SavingsText(1234567, 234567), "Savings: 1,000,000 bytes (81.0%)");
    EXPECT_EQ(reduce_dialog::SavingsText(1000, 999), "Savings: 1 bytes (0.1%)");
    EXPECT_EQ(reduce_dialog::SavingsText(1000, 1000), "Savings: None");
    EXPECT_EQ(reduce_dialog::SavingsText(1000, 1200), "Savings: None");
}

TEST(ReduceSession, CancelLeavesTheDocumentByteForByte) {
    auto doc = Colourful(200);
    const auto before = GifBytes(*doc);
    ReduceSession session(*doc);
    ScriptedUiHost host;
    SilentProgress progress;
    for (int n : {128, 16, 64}) {
        ASSERT_EQ(session.Apply(n, n == 16, progress, host), Result::Done);
        ASSERT_TRUE(session.Copy());
        EXPECT_LE(session.Copy()->globalPalette->size(), n);
    }
    session.Cancel();
    EXPECT_EQ(session.Copy(), nullptr);
    EXPECT_EQ(GifBytes(*doc), before);
}

// A stop during the run (Esc, or the dialog's next change) ends it at once;
// the half-reduced copy is not kept, so OK cannot accept it.
TEST(ReduceSession, AStoppedApplyKeepsNoCopy) {
    auto doc = Colourful(200);
    const auto before = GifBytes(*doc);
    ReduceSession session(*doc);
    ScriptedUiHost host;
    for (bool dither : {false, true}) {
        CountdownProgress stop_soon(3);
        EXPECT_EQ(session.Apply(32, dither, stop_soon, host), Result::Stopped);
        EXPECT_EQ(session.Copy(), nullptr);
    }
    PreferenceBlock prefs;
    EXPECT_EQ(session.Accept(prefs), nullptr);
    EXPECT_EQ(GifBytes(*doc), before);
}

TEST(ReduceSession, AcceptSwapsInTheReducedCopyAndKeepsTheOld) {
    auto doc = Colourful(200);
    const auto before = GifBytes(*doc);
    auto expected = CopyAnimation(*doc);
    ScriptedUiHost host;
    SilentProgress progress;
    ASSERT_EQ(ReduceAnimation(*expected, 32, true, progress, host), Result::Done);

    ReduceSession session(*doc);
    PreferenceBlock prefs;
    EXPECT_EQ(session.Accept(prefs), nullptr);  // nothing applied yet
    ASSERT_EQ(session.Apply(64, false, progress, host), Result::Done);
    ASSERT_EQ(session.Apply(32, true, progress, host), Result::Done);  // the last apply counts
    auto old = session.Accept(prefs);
    ASSERT_TRUE(old);
    EXPECT_EQ(GifBytes(*old), before);
    EXPECT_EQ(GifBytes(*doc), GifBytes(*expected));
    EXPECT_EQ(prefs.Get(PreferenceBlock::kColorReduction), 0x10000u | 32u);
    EXPECT_EQ(PreferenceBlock::ReductionColors(prefs.Get(PreferenceBlock::kColorReduction)), 32);
    EXPECT_TRUE(PreferenceBlock::ReductionDither(prefs.Get(PreferenceBlock::kColorReduction)));
}

TEST(PreferenceSlots, MergeAndReductionFields) {
    PreferenceBlock prefs;
    const uint32_t merging = prefs.Get(PreferenceBlock::kPaletteMerging);
    EXPECT_EQ(merging & PreferenceBlock::kMergeMethodMask, 1u);
    EXPECT_TRUE(merging & PreferenceBlock::kMergeAsk);
    EXPECT_EQ(PreferenceBlock::MergeMaxColors(merging), 256);
    EXPECT_EQ(PreferenceBlock::MergeTrueColorMax(merging), 256);
    EXPECT_EQ(PreferenceBlock::MergeMaxColors(0x50000), 32);
    EXPECT_EQ(PreferenceBlock::MergeTrueColorMax(0x300000), 8);
    EXPECT_EQ(PreferenceBlock::MergeMaxColors(0x20000), 256);  // 2 or less shows 256
    EXPECT_EQ(prefs.Get(PreferenceBlock::kColorReduction), 7u);
    EXPECT_EQ(PreferenceBlock::EncodeReduction(64, false), 64u);
    // The ask-or-use rule: no question without the ask bit.
    ScriptedUiHost host;
    prefs.Set(PreferenceBlock::kFrameSizeConflict, 0x10);
    EXPECT_EQ(prefs.AskOrUse(PreferenceBlock::kFrameSizeConflict, host), 0x10u);
    EXPECT_EQ(host.sizeQuestions, 0);
    prefs.Set(PreferenceBlock::kFrameSizeConflict, 1);  // old encoding: enlarge, ask
    host.sizeAnswers.push_back(0x10);
    EXPECT_EQ(prefs.AskOrUse(PreferenceBlock::kFrameSizeConflict, host), 0x10u);
    EXPECT_EQ(host.sizeQuestions, 1);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kFrameSizeConflict), 0x10u);
}

}  // namespace
}  // namespace cinemill
