#include "cinemill/imaging/optimize.h"

#include <gtest/gtest.h>

#include "cinemill/base/strings.h"
#include "cinemill/doc/disposal.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/gif/lzw_decoder.h"
#include "cinemill/imaging/optimize_encoder.h"
#include "cinemill/imaging/optimize_palette.h"
#include "cinemill/imaging/test_support.h"
#include "cinemill/imaging/unoptimize.h"

namespace cinemill {
namespace {

using namespace testing_support;
namespace of = optimize_flags;

Result RunOpt(Animation& a, uint32_t flags, bool* changed = nullptr) {
    SilentUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    return Optimize(a, flags, host, progress, prefs, changed);
}

// Optimizes a numbered copy and checks the timeline against the input.
std::string OptimizeAndCompare(const Animation& in, uint32_t flags) {
    auto src = CopyAnimation(in);
    NumberFrames(*src);
    auto out = CopyAnimation(*src);
    if (RunOpt(*out, flags) != Result::Done) return "optimizer did not finish";
    return CompareTimelines(*src, *out, (flags & of::kRemoveFrames) && (flags & of::kShrinkFrames));
}

// ---- the frame stage on hand-made animations -------------------------------------

TEST(OptimizeFrameStage, FrameIdenticalToScreenBecomesOnePixelAtItsCorner) {
    auto a = MakeAnimation(4, 4);
    a->blocks.push_back(FillFrame(0, 0, 4, 4, 1));
    a->blocks.push_back(FillFrame(1, 1, 2, 2, 1));
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkFrames), "");
    ASSERT_EQ(RunOpt(*a, of::kShrinkFrames), Result::Done);
    const Frame* f = a->FrameAt(1);
    EXPECT_EQ(f->left, 1);
    EXPECT_EQ(f->top, 1);
    EXPECT_EQ(f->width, 1);
    EXPECT_EQ(f->height, 1);
    // The first frame of an opaque animation is never cropped.
    EXPECT_EQ(a->FrameAt(0)->width, 4);
    EXPECT_EQ(a->FrameAt(0)->height, 4);
}

TEST(OptimizeFrameStage, UnnecessaryFrameGoesWithItsDelayAddedToThePreviousOne) {
    auto a = MakeAnimation(4, 4);
    a->blocks.push_back(FillFrame(0, 0, 4, 4, 1, 1, 10));
    a->blocks.push_back(FillFrame(1, 1, 2, 2, 1, 1, 25));
    a->blocks.push_back(FillFrame(0, 0, 1, 1, 2, 1, 7));
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkFrames | of::kRemoveFrames), "");
    ASSERT_EQ(RunOpt(*a, of::kShrinkFrames | of::kRemoveFrames), Result::Done);
    ASSERT_EQ(a->FrameCount(), 2);
    EXPECT_EQ(a->FrameAt(0)->delay, 35u);
    EXPECT_EQ(a->FrameAt(1)->delay, 7u);
}

TEST(OptimizeFrameStage, FrameAfterRestoreBackgroundOrRestorePreviousStays) {
    for (int disposal : {2, 3}) {
        SCOPED_TRACE(disposal);
        auto a = MakeAnimation(4, 4);
        a->blocks.push_back(FillFrame(0, 0, 4, 4, 1));
        a->blocks.push_back(FillFrame(0, 0, 2, 2, 2, disposal));
        // Same as the screen after the frame before has been disposed of.
        a->blocks.push_back(FillFrame(2, 2, 2, 2, 1));
        EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkFrames | of::kRemoveFrames), "");
        ASSERT_EQ(RunOpt(*a, of::kShrinkFrames | of::kRemoveFrames), Result::Done);
        EXPECT_EQ(a->FrameCount(), 3);
    }
}

TEST(OptimizeFrameStage, AddedDelayMustFitSixteenBits) {
    auto a = MakeAnimation(4, 4);
    a->blocks.push_back(FillFrame(0, 0, 4, 4, 1, 1, 40000));
    a->blocks.push_back(FillFrame(0, 0, 4, 4, 1, 1, 30000));
    ASSERT_EQ(RunOpt(*a, of::kShrinkFrames | of::kRemoveFrames), Result::Done);
    EXPECT_EQ(a->FrameCount(), 2);
    EXPECT_EQ(a->FrameAt(0)->delay, 40000u);
}

TEST(OptimizeFrameStage, TransparentPixelsAreNoChangeExceptUnderRestoreBackground) {
    auto a = MakeAnimation(6, 6);
    a->blocks.push_back(FillFrame(0, 0, 6, 6, 1));
    std::vector<uint8_t> px(36, 0);
    px[2 * 6 + 3] = 3;
    auto f = MakeFrame(0, 0, 6, 6, px);
    SetTransparent(*f, true);
    f->transparentIndex = 0;
    a->blocks.push_back(std::move(f));
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkFrames), "");
    auto b = CopyAnimation(*a);
    ASSERT_EQ(RunOpt(*a, of::kShrinkFrames), Result::Done);
    const Frame* g = a->FrameAt(1);
    EXPECT_EQ(g->left, 3);
    EXPECT_EQ(g->top, 2);
    EXPECT_EQ(g->width, 1);
    EXPECT_EQ(g->height, 1);
    // With restore-background the frame's rectangle is cleared afterwards, so
    // every pixel over a shown screen pixel counts.
    SetDisposal(*b->FrameAt(1), 2);
    EXPECT_EQ(OptimizeAndCompare(*b, of::kShrinkFrames), "");
    ASSERT_EQ(RunOpt(*b, of::kShrinkFrames), Result::Done);
    EXPECT_EQ(b->FrameAt(1)->width, 6);
    EXPECT_EQ(b->FrameAt(1)->height, 6);
}

TEST(OptimizeFrameStage, ClearingBecomesKeepingOnlyWhereTheNextFrameCoversWhatShows) {
    // A 4x4 sprite on a 6x6 screen, cleared after each frame; the next frame
    // draws the same box with one pixel moved.
    const auto sprite = [](int changed, int w = 4) {
        std::vector<uint8_t> px(static_cast<size_t>(w * 4), 1);
        px[static_cast<size_t>(changed)] = 2;
        return MakeFrame(1, 1, w, 4, px, kDisposeBackground);
    };
    auto a = MakeAnimation(6, 6);
    a->blocks.push_back(sprite(0));
    a->blocks.push_back(sprite(5));
    a->blocks.push_back(sprite(10));
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkFrames), "");
    ASSERT_EQ(RunOpt(*a, of::kShrinkFrames), Result::Done);
    EXPECT_EQ(a->FrameAt(0)->Disposal(), kDisposeKeep);
    EXPECT_EQ(a->FrameAt(1)->Disposal(), kDisposeKeep);
    // Over the kept sprite the second frame draws only the two pixels that differ.
    EXPECT_EQ(a->FrameAt(1)->left, 1);
    EXPECT_EQ(a->FrameAt(1)->top, 1);
    EXPECT_EQ(a->FrameAt(1)->width, 2);
    EXPECT_EQ(a->FrameAt(1)->height, 2);
    // The last frame is cleared before the animation starts again.
    EXPECT_EQ(a->FrameAt(2)->Disposal(), kDisposeBackground);

    // A next frame that leaves a shown column uncovered, or sees through
    // where this one shows, needs the clearing.
    auto narrower = MakeAnimation(6, 6);
    narrower->blocks.push_back(sprite(0));
    narrower->blocks.push_back(sprite(5, 3));
    auto see_through = MakeAnimation(6, 6);
    see_through->blocks.push_back(sprite(0));
    see_through->blocks.push_back(sprite(5));
    SetTransparent(*see_through->FrameAt(1), true);
    see_through->FrameAt(1)->transparentIndex = 2;
    for (Animation* b : {narrower.get(), see_through.get()}) {
        EXPECT_EQ(OptimizeAndCompare(*b, of::kShrinkFrames), "");
        ASSERT_EQ(RunOpt(*b, of::kShrinkFrames), Result::Done);
        EXPECT_EQ(b->FrameAt(0)->Disposal(), kDisposeBackground);
    }
}

TEST(OptimizeFrameStage, OpaqueLocalPaletteFrameIsNeverCroppedAndHidesTheScreen) {
    auto a = MakeAnimation(4, 4);
    a->blocks.push_back(FillFrame(0, 0, 4, 4, 1));
    auto f = FillFrame(0, 0, 4, 4, 1);
    SetLocalPalette(*f, *a->globalPalette);
    a->blocks.push_back(std::move(f));
    a->blocks.push_back(FillFrame(0, 0, 4, 4, 1));
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkFrames | of::kRemoveFrames), "");
    ASSERT_EQ(RunOpt(*a, of::kShrinkFrames | of::kRemoveFrames), Result::Done);
    ASSERT_EQ(a->FrameCount(), 3);
    EXPECT_EQ(a->FrameAt(1)->width, 4);
    EXPECT_EQ(a->FrameAt(2)->width, 4);
}

TEST(OptimizeFrameStage, ClearingFrameAfterLocalPaletteFrameIsNotDropped) {
    // A fully transparent restore-background frame over what a local-palette
    // frame drew clears that picture; dropping it would leave it on screen.
    auto a = MakeAnimation(4, 4);
    a->blocks.push_back(FillFrame(0, 0, 4, 4, 1));
    auto f = FillFrame(0, 0, 4, 4, 2);
    Palette local = *a->globalPalette;
    local[2] = Rgb{1, 2, 3};
    SetLocalPalette(*f, local);
    a->blocks.push_back(std::move(f));
    auto clear = FillFrame(0, 0, 4, 4, 5, 2);
    SetTransparent(*clear, true);
    clear->transparentIndex = 5;
    a->blocks.push_back(std::move(clear));
    a->blocks.push_back(FillFrame(0, 0, 1, 1, 3));
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkFrames | of::kRemoveFrames), "");
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkFrames | of::kRemoveFrames | of::kTransparency), "");
}

TEST(OptimizeFrameStage, TransparencyForUnchangedPixelsMakesScatteredChangesSmaller) {
    const int n = 64;
    auto a = MakeAnimation(n, n, 16);
    std::vector<uint8_t> px(n * n);
    uint32_t seed = 7;
    for (auto& p : px) {
        seed = seed * 1103515245 + 12345;
        p = static_cast<uint8_t>((seed >> 16) % 15);  // index 15 stays free
    }
    a->blocks.push_back(MakeFrame(0, 0, n, n, px));
    for (int k = 0; k < 3; ++k) {
        for (int i = k; i < n * n; i += 97) px[static_cast<size_t>(i)] = static_cast<uint8_t>((px[i] + 1) % 15);
        a->blocks.push_back(MakeFrame(0, 0, n, n, px));
    }
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkFrames | of::kTransparency), "");
    auto plain = CopyAnimation(*a);
    ASSERT_EQ(RunOpt(*plain, of::kShrinkFrames), Result::Done);
    ASSERT_EQ(RunOpt(*a, of::kShrinkFrames | of::kTransparency), Result::Done);
    for (int i = 1; i < 4; ++i) {
        const Frame* f = a->FrameAt(i);
        EXPECT_TRUE(f->Transparent()) << i;
        EXPECT_LT(FrameEncodedSize(*a, *f), FrameEncodedSize(*plain, *plain->FrameAt(i))) << i;
    }
    // The written file shows the same pictures.
    auto back = RoundTrip(*a);
    ASSERT_TRUE(back);
    EXPECT_EQ(ComparePictures(*a, *back), "");
}

// Frames of every width from 1 to 37 (the change marking goes a word of
// eight pixels at a time, then pixel by pixel): opaque and see-through
// frames over a known screen, with runs of unchanged pixels, keep the
// pictures through every frame-stage technique.
TEST(OptimizeFrameStage, WordAtATimeMarkingKeepsThePicturesAtEveryWidth) {
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    for (int w = 1; w <= 37; ++w) {
        SCOPED_TRACE(w);
        const int h = 3;
        auto a = MakeAnimation(w, h, 16);
        std::vector<uint8_t> screen(static_cast<size_t>(w * h));
        for (auto& p : screen) p = static_cast<uint8_t>(next() % 15);
        Add(*a, MakeFrame(0, 0, w, h, screen));
        for (int k = 0; k < 6; ++k) {
            std::vector<uint8_t> px = screen;
            const bool see_through = k % 2 == 1;
            for (size_t i = 0; i < px.size(); ++i) {
                const unsigned r = next() % 8;
                // A change (in an opaque frame index 15 is a colour like any
                // other), or see-through.
                if (r == 0) px[i] = static_cast<uint8_t>(next() % (see_through ? 15 : 16));
                else if (see_through && r < 4) px[i] = 15;
                else if (!see_through && r == 1) px[i] = 15;
            }
            auto f = MakeFrame(0, 0, w, h, px);
            if (see_through) {
                f->transparentIndex = 15;
                SetTransparent(*f, true);
            }
            for (size_t i = 0; i < px.size(); ++i)
                if (!see_through || px[i] != 15) screen[i] = px[i];
            Add(*a, std::move(f));
        }
        for (uint32_t fl : {of::kShrinkFrames, of::kShrinkFrames | of::kTransparency,
                            of::kShrinkFrames | of::kTransparency | of::kRemoveFrames})
            EXPECT_EQ(OptimizeAndCompare(*a, fl), "") << fl;
    }
}

// A lone frame's control block that says nothing is left out (8 bytes);
// one that says something, or one between frames, stays.
TEST(Optimize, LeavesOutAStillPicturesEmptyControlBlockOnly) {
    auto make = [](int variant) {
        auto a = MakeAnimation(8, 8, 4);
        Add(*a, Numbered(0, 0, 8, 8));
        if (variant == 3) Add(*a, FillFrame(0, 0, 8, 8, 2));
        for (Frame* f : a->Frames()) f->delay = variant == 2 ? 20 : 0;
        if (variant == 1) {
            SetTransparent(*a->Frames()[0], true);
            a->Frames()[0]->transparentIndex = 3;
        }
        return a;
    };
    auto still = make(0);
    const size_t before = GifBytes(*still).size();
    ASSERT_EQ(RunOpt(*still, of::kShrinkFrames), Result::Done);
    EXPECT_FALSE(WritesControlBlock(*still->Frames()[0]));
    EXPECT_EQ(GifBytes(*still).size(), before - 8);
    auto back = RoundTrip(*still);
    ASSERT_TRUE(back);
    EXPECT_EQ(ComparePictures(*still, *back), "");
    // Transparency, a delay or a second frame keep the block.
    for (int variant : {1, 2, 3}) {
        auto a = make(variant);
        ASSERT_EQ(RunOpt(*a, of::kShrinkFrames), Result::Done);
        for (const Frame* f : std::as_const(*a).Frames()) EXPECT_TRUE(WritesControlBlock(*f)) << variant;
    }
}

TEST(OptimizeFrameStage, FrameWhollyOffScreenDrawsNothingAfterClipping) {
    auto a = MakeAnimation(4, 4);
    a->blocks.push_back(FillFrame(0, 0, 4, 4, 1));
    a->blocks.push_back(FillFrame(10, 10, 3, 3, 2, 2));
    a->blocks.push_back(FillFrame(-2, 1, 4, 2, 3));
    EXPECT_EQ(OptimizeAndCompare(*a, 0), "");
    EXPECT_EQ(OptimizeAndCompare(*a, of::kDefault), "");
    ASSERT_EQ(RunOpt(*a, 0), Result::Done);
    for (const Frame* f : a->Frames()) EXPECT_TRUE(FrameFitsScreen(*f, a->width, a->height));
}

TEST(Optimize, DeletesPlainTextAndApplicationBlocksEvenWithNoTechnique) {
    auto a = MakeAnimation(2, 2);
    a->blocks.push_back(std::make_unique<ExtensionBlock>(BlockKind::Application));
    a->blocks.push_back(FillFrame(0, 0, 2, 2, 1));
    a->blocks.push_back(NewComment("kept"));
    a->blocks.push_back(std::make_unique<ExtensionBlock>(BlockKind::PlainText));
    bool changed = false;
    ASSERT_EQ(RunOpt(*a, 0, &changed), Result::Done);
    EXPECT_TRUE(changed);
    ASSERT_EQ(a->blocks.size(), 2u);
    EXPECT_EQ(a->blocks[0]->kind, BlockKind::Image);
    EXPECT_EQ(a->blocks[1]->kind, BlockKind::Comment);
}

TEST(Optimize, StopsBetweenFrames) {
    auto a = MakeAnimation(8, 8);
    for (int i = 0; i < 6; ++i) a->blocks.push_back(FillFrame(i, 0, 2, 2, static_cast<uint8_t>(i % 3)));
    SilentUiHost host;
    PreferenceBlock prefs;
    CountdownProgress stop_after_two(2);
    auto copy = CopyAnimation(*a);
    EXPECT_EQ(Optimize(*copy, of::kDefault, host, stop_after_two, prefs), Result::Stopped);

}

TEST(Optimize, HugeScreensAreRefusedWithAMessageNotAttempted) {
    auto a = MakeAnimation(60000, 60000);
    a->blocks.push_back(FillFrame(5, 5, 2, 2, 1));
    a->blocks.push_back(FillFrame(5, 5, 2, 2, 1));
    ScriptedUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    EXPECT_EQ(Optimize(*a, of::kDefault, host, progress, prefs), Result::Failed);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], LoadString(StringId::OptimizeNoResources));
    EXPECT_EQ(a->FrameCount(), 2);
    host.errors.clear();
    EXPECT_EQ(Unoptimize(*a, host, progress), Result::Failed);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], LoadString(StringId::UnoptimizeNoMemory));
    EXPECT_EQ(a->FrameAt(0)->width, 2);
}

// ---- palette stage -----------------------------------------------------------------------

TEST(OptimizePaletteStage, ShrinkingKeepsUsedEntriesInOrderPaddedWithBlack) {
    auto a = MakeAnimation(5, 1, 256);
    const std::vector<uint8_t> px = {200, 3, 77, 3, 250};
    a->blocks.push_back(MakeFrame(0, 0, 5, 1, px));
    a->blocks.push_back(MakeFrame(0, 0, 5, 1, {12, 12, 200, 77, 3}));
    const Palette old = *a->globalPalette;
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkPalettes), "");
    ASSERT_EQ(RunOpt(*a, of::kShrinkPalettes), Result::Done);
    const Palette& p = *a->globalPalette;
    ASSERT_EQ(p.size(), 8);
    EXPECT_EQ(p[0], old[3]);
    EXPECT_EQ(p[1], old[12]);
    EXPECT_EQ(p[2], old[77]);
    EXPECT_EQ(p[3], old[200]);
    EXPECT_EQ(p[4], old[250]);
    for (int i = 5; i < 8; ++i) EXPECT_EQ(p[i], Rgb{});
    EXPECT_EQ(a->FrameAt(0)->bitmap->At(0, 0), 3);
}

// Entries of one colour become one, so the palette takes less and more
// pixels repeat; a frame's transparent index is not merged with the
// colour it duplicates.
TEST(OptimizePaletteStage, DuplicateColoursBecomeOneExceptATransparentIndex) {
    auto a = MakeAnimation(4, 1, 8);
    Palette p = *a->globalPalette;
    p.entries[5] = p[1];
    p.entries[6] = p[2];
    p.entries[7] = p[1];
    SetGlobalPalette(*a, p);
    a->backgroundIndex = 7;
    a->blocks.push_back(MakeFrame(0, 0, 4, 1, {1, 5, 2, 7}));
    auto second = MakeFrame(0, 0, 4, 1, {6, 2, 5, 1});
    second->transparentIndex = 6;
    SetTransparent(*second, true);
    a->blocks.push_back(std::move(second));
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkPalettes), "");
    ASSERT_EQ(RunOpt(*a, of::kShrinkPalettes), Result::Done);
    // Left: colour 1 (for 1, 5 and 7), colour 2, and the transparent 6.
    EXPECT_EQ(a->globalPalette->size(), 4);
    const Frame& f0 = *a->FrameAt(0);
    EXPECT_EQ(f0.bitmap->At(0, 0), f0.bitmap->At(1, 0));
    EXPECT_EQ(f0.bitmap->At(0, 0), f0.bitmap->At(3, 0));
    const Frame& f1 = *a->FrameAt(1);
    EXPECT_TRUE(f1.Transparent());
    EXPECT_EQ(f1.bitmap->At(0, 0), f1.transparentIndex);
    EXPECT_NE(f1.bitmap->At(1, 0), f1.transparentIndex);
    EXPECT_EQ((*a->globalPalette)[a->backgroundIndex], p[1]);
}

// Before the frame stage the colours frames change to come first, so that
// the frames' data can start with narrow codes; the pictures stay.
TEST(OptimizePaletteStage, ColoursFramesChangeToComeFirstBeforeTheFrameStage) {
    const int w = 40, h = 30;
    auto a = MakeAnimation(w, h, 16);
    std::vector<uint8_t> px(static_cast<size_t>(w * h), 15);
    for (size_t i = 0; i < px.size(); i += 7) px[i] = 3;
    a->blocks.push_back(MakeFrame(0, 0, w, h, px));
    for (int k = 0; k < 3; ++k) {
        for (int y = 5; y < 12; ++y)
            for (int x = 4 + 10 * k; x < 10 + 10 * k; ++x) px[static_cast<size_t>(y * w + x)] = 9;
        a->blocks.push_back(MakeFrame(0, 0, w, h, px));
    }
    const Palette old = *a->globalPalette;
    const uint32_t flags = of::kShrinkPalettes | of::kShrinkFrames | of::kTransparency;
    EXPECT_EQ(OptimizeAndCompare(*a, flags), "");
    ASSERT_EQ(RunOpt(*a, flags), Result::Done);
    const Palette& p = *a->globalPalette;
    ASSERT_EQ(p.size(), 4);
    EXPECT_EQ(p[0], old[9]);
    // A frame of the changed colour and the fill index is written with the
    // smallest code size, below the colour table's bits where it can be.
    int narrow = 0;
    for (const Frame* f : std::as_const(*a).Frames())
        if (const KeptImageData* k = ValidKeptData(*a, *f); k && f != a->FrameAt(0)) narrow += k->minCodeSize == 2;
    EXPECT_EQ(narrow, 3);
    // Shrinking alone keeps the order.
    auto b = MakeAnimation(w, h, 16);
    b->blocks.push_back(MakeFrame(0, 0, w, h, px));
    ASSERT_EQ(RunOpt(*b, of::kShrinkPalettes), Result::Done);
    EXPECT_EQ((*b->globalPalette)[0], old[3]);
}

TEST(OptimizePaletteStage, AFrameOfFewColoursOfItsOwnGetsThemFirst) {
    // Frame 0 draws 8 colours no other frame uses; three frames after it
    // change every pixel to 48 other colours. Ordered by how many frames
    // use them, frame 0's colours would come after the 48 and its codes
    // start at 7 bits; placed first, at 4.
    const int w = 32, h = 32;
    auto a = MakeAnimation(w, h, 64);
    std::vector<uint8_t> px(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>(56 + (x * 3 + y) % 8);
    a->blocks.push_back(MakeFrame(0, 0, w, h, px));
    for (int k = 1; k <= 3; ++k) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                px[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>((x * 7 + y * 13 + k * 5) % 48);
        a->blocks.push_back(MakeFrame(0, 0, w, h, px));
    }
    const uint32_t flags = of::kShrinkPalettes | of::kShrinkFrames | of::kTransparency;
    EXPECT_EQ(OptimizeAndCompare(*a, flags), "");
    ASSERT_EQ(RunOpt(*a, flags), Result::Done);
    const KeptImageData* first = ValidKeptData(*a, *a->FrameAt(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->minCodeSize, 3);
}

TEST(OptimizePaletteStage, ASmallChangeOfThreeColoursGetsTheFirstFourEntries) {
    // Frame 0 draws 20 colours over the whole screen; frame 1 changes a 10x10
    // square to 3 others. Frame 0 has more pixels per colour, but taking its
    // colours first would leave frame 1 at 5-bit codes; 3 colours and a fill
    // index fit the first four entries, and 2-bit codes.
    const int w = 32, h = 32;
    auto a = MakeAnimation(w, h, 32);
    std::vector<uint8_t> px(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>((x + 3 * y) % 20);
    a->blocks.push_back(MakeFrame(0, 0, w, h, px));
    for (int y = 4; y < 14; ++y)
        for (int x = 6; x < 16; ++x) px[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>(20 + (x * y) % 3);
    a->blocks.push_back(MakeFrame(0, 0, w, h, px));
    const uint32_t flags = of::kShrinkPalettes | of::kShrinkFrames | of::kTransparency;
    EXPECT_EQ(OptimizeAndCompare(*a, flags), "");
    ASSERT_EQ(RunOpt(*a, flags), Result::Done);
    const KeptImageData* second = ValidKeptData(*a, *a->FrameAt(1));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(a->FrameAt(1)->width, 10);
    EXPECT_EQ(second->minCodeSize, 2);
}

TEST(OptimizePaletteStage, UnusedTransparentIndexSwitchesTransparencyOff) {
    auto a = MakeAnimation(2, 1, 16);
    auto f = MakeFrame(0, 0, 2, 1, {4, 9});
    SetTransparent(*f, true);
    f->transparentIndex = 11;
    a->blocks.push_back(std::move(f));
    auto g = MakeFrame(0, 0, 2, 1, {9, 2});
    SetTransparent(*g, true);
    g->transparentIndex = 2;
    a->blocks.push_back(std::move(g));
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkPalettes), "");
    ASSERT_EQ(RunOpt(*a, of::kShrinkPalettes), Result::Done);
    EXPECT_FALSE(a->FrameAt(0)->Transparent());
    EXPECT_TRUE(a->FrameAt(1)->Transparent());
    EXPECT_EQ(a->FrameAt(1)->transparentIndex, 0);  // 2 is the first used entry
}

TEST(OptimizePaletteStage, PixelsBeyondThePaletteStayBlack) {
    auto a = MakeAnimation(3, 1, 4);
    a->blocks.push_back(MakeFrame(0, 0, 3, 1, {1, 9, 1}));
    EXPECT_EQ(OptimizeAndCompare(*a, of::kShrinkPalettes), "");
    auto l = MakeAnimation(3, 1, 4);
    auto f = MakeFrame(0, 0, 3, 1, {0, 6, 0});
    SetLocalPalette(*f, Palette{{Rgb{1, 1, 1}, Rgb{2, 2, 2}}});
    l->blocks.push_back(std::move(f));
    EXPECT_EQ(OptimizeAndCompare(*l, of::kRemoveLocalPalettes | of::kShrinkPalettes), "");
}

TEST(OptimizePaletteStage, CleanMergeRemovesFittingLocalPalettesOnly) {
    auto a = MakeAnimation(4, 1, 4);
    a->blocks.push_back(MakeFrame(0, 0, 4, 1, {0, 1, 0, 1}));  // entries 2 and 3 unused
    // Fits: one colour equal to global entry 1, two new ones.
    auto f = MakeFrame(0, 0, 4, 1, {0, 1, 2, 1});
    SetLocalPalette(*f, Palette{{(*a->globalPalette)[1], Rgb{9, 9, 9}, Rgb{8, 8, 8}}});
    a->blocks.push_back(std::move(f));
    EXPECT_EQ(OptimizeAndCompare(*a, of::kRemoveLocalPalettes), "");
    ASSERT_EQ(RunOpt(*a, of::kRemoveLocalPalettes), Result::Done);
    EXPECT_FALSE(a->FrameAt(1)->localPalette);
    EXPECT_EQ(a->globalPalette->size(), 4);  // two unused entries were taken over

    // A full global palette whose entries are all used: no clean merge.
    auto b = MakeAnimation(16, 16, 256);
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    b->blocks.push_back(MakeFrame(0, 0, 16, 16, all));
    auto g = MakeFrame(0, 0, 2, 1, {0, 1});
    SetLocalPalette(*g, Palette{{Rgb{250, 1, 1}, Rgb{1, 250, 1}}});
    b->blocks.push_back(std::move(g));
    auto mapped = CopyAnimation(*b);
    EXPECT_EQ(OptimizeAndCompare(*b, of::kRemoveLocalPalettes), "");
    ASSERT_EQ(RunOpt(*b, of::kRemoveLocalPalettes), Result::Done);
    EXPECT_TRUE(b->FrameAt(1)->localPalette);

    // Map to global: every pixel takes the nearest global colour.
    const Palette global = *mapped->globalPalette;
    ASSERT_EQ(RunOpt(*mapped, of::kRemoveLocalPalettes | of::kMapToGlobal), Result::Done);
    const Frame* m = mapped->FrameAt(1);
    ASSERT_FALSE(m->localPalette);
    EXPECT_EQ(*mapped->globalPalette, global);
    const Rgb want[2] = {Rgb{250, 1, 1}, Rgb{1, 250, 1}};
    for (int x = 0; x < 2; ++x) {
        const int got = m->bitmap->At(x, 0);
        EXPECT_EQ(got, NearestEntry(global, want[x])) << x;
    }
}

TEST(OptimizePaletteStage, TransparentLocalIndexDoesNotSwallowAnOpaqueColour) {
    auto a = MakeAnimation(4, 1, 4);
    a->blocks.push_back(MakeFrame(0, 0, 4, 1, {0, 1, 2, 3}));
    // Local entries 0 and 2 have the same colour; 2 is the transparent index.
    auto f = MakeFrame(0, 0, 4, 1, {0, 2, 1, 2});
    const Rgb c = (*a->globalPalette)[3];
    SetLocalPalette(*f, Palette{{c, (*a->globalPalette)[1], c}});
    SetTransparent(*f, true);
    f->transparentIndex = 2;
    a->blocks.push_back(std::move(f));
    EXPECT_EQ(OptimizeAndCompare(*a, of::kRemoveLocalPalettes), "");
    EXPECT_EQ(OptimizeAndCompare(*a, of::kDefault), "");
}

TEST(OptimizePaletteStage, MetaPaletteOfFittingColoursLosesNothing) {
    auto a = MakeAnimation(4, 1, 4);
    a->blocks.push_back(MakeFrame(0, 0, 4, 1, {0, 1, 2, 3}));
    for (int k = 0; k < 3; ++k) {
        auto f = MakeFrame(0, 0, 4, 1, {0, 1, 2, 3});
        Palette p;
        for (int i = 0; i < 4; ++i) p.entries.push_back(Rgb{uint8_t(k * 40 + i), uint8_t(i), 7});
        SetLocalPalette(*f, p);
        if (k == 1) {
            SetTransparent(*f, true);
            f->transparentIndex = 3;
        }
        a->blocks.push_back(std::move(f));
    }
    EXPECT_EQ(OptimizeAndCompare(*a, of::kRemoveLocalPalettes | of::kMetaPalette), "");
    EXPECT_EQ(OptimizeAndCompare(*a, of::kDefault), "");
    ASSERT_EQ(RunOpt(*a, of::kRemoveLocalPalettes | of::kMetaPalette), Result::Done);
    for (const Frame* f : a->Frames()) EXPECT_FALSE(f->localPalette);
}

// ---- unoptimize ----------------------------------------------------------------------------

TEST(Unoptimize, RefusesLocalPalettes) {
    auto a = MakeAnimation(2, 2);
    auto f = FillFrame(0, 0, 2, 2, 1);
    SetLocalPalette(*f, *a->globalPalette);
    a->blocks.push_back(std::move(f));
    ScriptedUiHost host;
    SilentProgress progress;
    EXPECT_EQ(Unoptimize(*a, host, progress), Result::Failed);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], LoadString(StringId::UnoptimizeLocalPalettes));
}

TEST(Unoptimize, EveryFrameBecomesTheFullPictureWithDisposalsHonoured) {
    auto a = MakeAnimation(4, 4);
    a->blocks.push_back(FillFrame(0, 0, 4, 4, 1, 1, 5));
    a->blocks.push_back(FillFrame(1, 1, 2, 2, 2, 3, 6));  // restore previous
    a->blocks.push_back(FillFrame(0, 0, 1, 1, 3, 2, 7));  // restore background
    a->blocks.push_back(FillFrame(3, 3, 1, 1, 4, 1, 8));
    NumberFrames(*a);
    auto u = CopyAnimation(*a);
    SilentUiHost host;
    SilentProgress progress;
    ASSERT_EQ(Unoptimize(*u, host, progress), Result::Done);
    EXPECT_EQ(CompareTimelines(*a, *u, false), "");
    for (const Frame* f : u->Frames()) {
        EXPECT_EQ(f->width, 4);
        EXPECT_EQ(f->height, 4);
        EXPECT_EQ(f->left, 0);
    }
    // The frame after the restore-previous frame is drawn over the picture
    // before that frame: pixel (1,1) shows index 1 again.
    EXPECT_EQ(u->FrameAt(2)->bitmap->At(1, 1), 1);
    EXPECT_EQ(u->FrameAt(1)->bitmap->At(1, 1), 2);
}

// Whether any frame has transparency on.
bool HasTransparentFrame(const Animation& a) {
    for (const Frame* f : a.Frames())
        if (f->Transparent()) return true;
    return false;
}

// Every frame's disposal, in order.
std::vector<int> Disposals(const Animation& a) {
    std::vector<int> d;
    for (const Frame* f : a.Frames()) d.push_back(f->Disposal());
    return d;
}

TEST(Unoptimize, KeepsDisposalsWhenTheNextPictureCoversWhatIsLeft) {
    // Frames that grow the picture (disposal 1) and one that puts it back
    // (disposal 3): every unoptimized frame is transparent somewhere, yet no
    // frame leaves anything where the next must show nothing.
    auto a = MakeAnimation(6, 4);
    a->blocks.push_back(FillFrame(0, 0, 2, 2, 1, 1, 5));
    a->blocks.push_back(FillFrame(2, 0, 2, 2, 2, 3, 6));
    a->blocks.push_back(FillFrame(0, 2, 2, 2, 3, 0, 7));
    a->blocks.push_back(FillFrame(4, 2, 2, 2, 4, 2, 8));
    a->blocks.push_back(FillFrame(1, 1, 1, 1, 5, 1, 9));
    NumberFrames(*a);
    auto u = CopyAnimation(*a);
    SilentUiHost host;
    SilentProgress progress;
    int changed = -1;
    ASSERT_EQ(Unoptimize(*u, host, progress, &changed), Result::Done);
    EXPECT_EQ(CompareTimelines(*a, *u, false), "");
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(Disposals(*u), Disposals(*a));
    for (const Frame* f : u->Frames()) EXPECT_TRUE(f->Transparent());
}

TEST(Unoptimize, ChangesADisposalOnlyWhereLeftoversWouldShowThrough) {
    // Frame 0 uses all 256 indexes and leaves a column bare: with no index
    // left for transparency its unoptimized picture fills that column with
    // the background. Frame 1 paints over frame 0 with one index, so its
    // picture has a free index and is transparent in the column; the column
    // frame 0 leaves would show through unless frame 0 clears the screen.
    auto a = MakeAnimation(17, 16, 256);
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    a->blocks.push_back(MakeFrame(0, 0, 16, 16, all, 1, 5));
    a->blocks.push_back(FillFrame(0, 0, 16, 16, 7, 1, 6));
    a->blocks.push_back(FillFrame(0, 0, 8, 8, 9, 1, 7));
    NumberFrames(*a);
    auto u = CopyAnimation(*a);
    SilentUiHost host;
    SilentProgress progress;
    int changed = -1;
    ASSERT_EQ(Unoptimize(*u, host, progress, &changed), Result::Done);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(Disposals(*u), (std::vector<int>{2, 1, 1}));
    const auto pin = RenderAll(*a), pout = RenderAll(*u);
    ASSERT_EQ(pout.size(), 3u);
    EXPECT_TRUE(pin[1] == pout[1]);
    EXPECT_TRUE(pin[2] == pout[2]);
    const auto frames = u->Frames();
    EXPECT_EQ(frames[1]->delay, 6u);
    EXPECT_EQ(frames[2]->delay, 7u);
}

// Frames the optimizer compressed itself carry data that decodes to their
// pixels, also where tables fill and go on full, and write and read back
// as the same pictures.
TEST(OptimizeFrameStage, OwnDataDecodesToTheFramesPixels) {
    const int w = 240, h = 160, colours = 64;
    auto a = MakeAnimation(w, h, colours);
    uint32_t seed = 17;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    std::vector<uint8_t> px(static_cast<size_t>(w * h));
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>((next() % 3 ? i / 5 : next()) % colours);
    for (int k = 0; k < 8; ++k) {
        auto f = MakeFrame(0, 0, w, h, px);
        SetInterlaced(*f, k % 2 == 1);
        a->blocks.push_back(std::move(f));
        // Scattered changes over most of the frame, so that unchanged
        // pixels are mixed in.
        for (size_t i = 0; i < px.size(); ++i)
            if (next() % 4 == 0) px[i] = static_cast<uint8_t>(next() % colours);
    }
    NumberFrames(*a);
    auto out = CopyAnimation(*a);
    ASSERT_EQ(RunOpt(*out, of::kDefault | of::kTransparency), Result::Done);
    EXPECT_EQ(CompareTimelines(*a, *out, true), "");
    int own = 0;
    for (const Frame* f : std::as_const(*out).Frames()) {
        const KeptImageData* k = ValidKeptData(*out, *f);
        if (!k) continue;
        ++own;
        std::vector<uint8_t> data = {k->minCodeSize};
        data.insert(data.end(), k->subBlocks.begin(), k->subBlocks.end());
        ByteCursor cur{data.data() + 1, data.size() - 1, 0};
        LzwDecoder dec;
        dec.Init(&cur, data[0]);
        std::vector<uint8_t> got(static_cast<size_t>(f->width) * static_cast<size_t>(f->height));
        int status = 0;
        ASSERT_EQ(dec.Decode(got.data(), got.size(), &status), got.size());
        std::vector<uint8_t> want;
        PixelsInFileOrder(*f->bitmap, f->Interlaced(), want);
        EXPECT_TRUE(got == want) << f->name;
    }
    // Where the writer's data would be smaller the frame keeps none.
    EXPECT_GE(own, 4);
    auto back = RoundTrip(*out);
    ASSERT_TRUE(back);
    EXPECT_EQ(ComparePictures(*out, *back), "");
}

TEST(OptimizeFrameStage, FramesCarryDataNoLargerThanTheWriters) {
    // Small frames whose codes the writer would start as wide (a pixel of
    // index 255), every pixel but one changing: the optimizer's compressor
    // comes out level with the writer's count, and its data is kept all the
    // same, so that counting and saving the result compress nothing.
    const int w = 8, h = 8;
    auto a = MakeAnimation(w, h, 256);
    std::vector<uint8_t> px(static_cast<size_t>(w * h));
    for (int k = 0; k < 3; ++k) {
        for (size_t i = 1; i < px.size(); ++i) px[i] = static_cast<uint8_t>(254 - i * 3 - static_cast<size_t>(k) * 5);
        px[0] = 255;
        a->blocks.push_back(MakeFrame(0, 0, w, h, px));
    }
    ASSERT_EQ(RunOpt(*a, of::kDefault | of::kTransparency), Result::Done);
    for (const Frame* f : std::as_const(*a).Frames()) {
        const KeptImageData* k = ValidKeptData(*a, *f);
        ASSERT_NE(k, nullptr);
        Frame plain = *f;
        DropKeptData(plain);
        EXPECT_LE(k->subBlocks.size() + 1, LossyImageData(*a, plain, 0).size());
    }
    auto back = RoundTrip(*a);
    ASSERT_TRUE(back);
    EXPECT_EQ(ComparePictures(*a, *back), "");
}

// ---- the corpus ------------------------------------------------------------------------------

TEST(OptimizerCorpus, EveryTechniqueKeepsThePictures) {
    const auto files = CorpusGifs();
    if (files.empty()) GTEST_SKIP() << "no corpus at " << CM_CORPUS_DIR;
    const uint32_t lossless_flags[] = {
        0,
        of::kShrinkFrames,
        of::kShrinkFrames | of::kTransparency,
        of::kShrinkFrames | of::kRemoveFrames,
        of::kShrinkPalettes,
        of::kRemoveLocalPalettes,
        of::kRemoveLocalPalettes | of::kShrinkPalettes | of::kShrinkFrames | of::kTransparency |
            of::kRemoveFrames,
    };
    int checked = 0, with_local = 0;
    for (const auto& path : files) {
        auto a = LoadForTest(path);
        if (!a) continue;
        SCOPED_TRACE(path.string());
        const bool local = HasLocalPalettes(*a);
        with_local += local;
        std::vector<uint32_t> flags(std::begin(lossless_flags), std::end(lossless_flags));
        if (!local) flags.push_back(of::kDefault);
        for (uint32_t fl : flags) {
            SCOPED_TRACE(fl);
            auto src = CopyAnimation(*a);
            NumberFrames(*src);
            auto out = CopyAnimation(*src);
            ASSERT_EQ(RunOpt(*out, fl), Result::Done);
            EXPECT_EQ(CompareTimelines(*src, *out, (fl & of::kRemoveFrames) && (fl & of::kShrinkFrames)), "");
            if (fl == of::kDefault || fl == lossless_flags[6]) {
                auto back = RoundTrip(*out);
                ASSERT_TRUE(back);
                EXPECT_EQ(ComparePictures(*out, *back), "");
            }
        }
        ++checked;
    }
    EXPECT_GE(checked, 100);
    EXPECT_GE(with_local, 3);
}

int64_t WrittenSize(Animation& a) {
    CountingSink sink;
    SilentProgress progress;
    return WriteGif(sink, a, progress) == Result::Done ? sink.Total() : -1;
}

// Frames that kept their file's data are never made larger: a candidate
// that compresses worse than that data loses to it, and so does a palette
// stage that would make the whole file larger.
TEST(OptimizerCorpus, NeverLargerThanTheFilesOwnData) {
    const auto files = CorpusGifs();
    if (files.empty()) GTEST_SKIP() << "no corpus at " << CM_CORPUS_DIR;
    int checked = 0, shrunk = 0;
    for (const auto& path : files) {
        auto a = LoadForTest(path);
        if (!a) continue;
        bool all_kept = true;
        for (const Frame* f : std::as_const(*a).Frames()) all_kept = all_kept && ValidKeptData(*a, *f);
        if (!all_kept) continue;
        SCOPED_TRACE(path.string());
        const int64_t before = WrittenSize(*a);
        const uint32_t fl = HasLocalPalettes(*a) ? (of::kRemoveLocalPalettes | of::kShrinkPalettes |
                                                    of::kShrinkFrames | of::kTransparency | of::kRemoveFrames)
                                                 : (of::kDefault | of::kTransparency);
        ASSERT_EQ(RunOpt(*a, fl), Result::Done);
        const int64_t after = WrittenSize(*a);
        EXPECT_LE(after, before);
        shrunk += after < before;
        ++checked;
    }
    EXPECT_GE(checked, 100);
    EXPECT_GE(shrunk, 10);
}

TEST(OptimizerCorpus, UnoptimizeRendersLikeTheOriginalAndTheOptimized) {
    const auto files = CorpusGifs();
    if (files.empty()) GTEST_SKIP() << "no corpus at " << CM_CORPUS_DIR;
    int checked = 0, kept_all = 0, with_transparency = 0;
    for (const auto& path : files) {
        auto a = LoadForTest(path);
        if (!a || HasLocalPalettes(*a)) continue;
        SCOPED_TRACE(path.string());
        NumberFrames(*a);
        SilentUiHost host;
        SilentProgress progress;
        auto u = CopyAnimation(*a);
        int changed = -1;
        const Result r = Unoptimize(*u, host, progress, &changed);
        ASSERT_EQ(r, Result::Done);
        EXPECT_EQ(CompareTimelines(*a, *u, false), "");
        // Delays always stay; a disposal changes only where the report says so.
        const auto da = Disposals(*a), du = Disposals(*u);
        ASSERT_EQ(da.size(), du.size());
        int differ = 0;
        for (size_t i = 0; i < da.size(); ++i) differ += da[i] != du[i];
        EXPECT_EQ(differ, changed);
        kept_all += changed == 0;
        with_transparency += HasTransparentFrame(*u);
        auto o = CopyAnimation(*a);
        ASSERT_EQ(RunOpt(*o, of::kDefault), Result::Done);
        auto uo = CopyAnimation(*o);
        ASSERT_EQ(Unoptimize(*uo, host, progress), Result::Done);
        EXPECT_EQ(ComparePictures(*o, *uo), "");
        ++checked;
    }
    EXPECT_GE(checked, 100);
    EXPECT_EQ(kept_all, checked);
    EXPECT_GE(with_transparency, 10);
}

// Transparency trials run on worker threads; the file must come out the same
// whatever their number.
TEST(OptimizerCorpus, TheNumberOfWorkersDoesNotChangeTheResult) {
    const auto files = CorpusGifs();
    if (files.empty()) GTEST_SKIP() << "no corpus at " << CM_CORPUS_DIR;
    const uint32_t flags = of::kDefault | of::kTransparency;
    int checked = 0;
    for (const auto& path : files) {
        auto a = LoadForTest(path);
        if (!a || a->FrameCount() < 3) continue;
        SCOPED_TRACE(path.string());
        std::vector<uint8_t> first;
        for (unsigned workers : {1u, 4u}) {
            SetOptimizeWorkers(workers);
            auto out = CopyAnimation(*a);
            ASSERT_EQ(RunOpt(*out, flags), Result::Done);
            VectorSink sink;
            SilentProgress progress;
            ASSERT_EQ(WriteGif(sink, *out, progress), Result::Done);
            if (workers == 1) first = sink.bytes;
            else EXPECT_TRUE(sink.bytes == first);
        }
        if (++checked == 40) break;
    }
    SetOptimizeWorkers(0);
    EXPECT_GE(checked, 20);
}

}  // namespace
}  // namespace cinemill
