#include "cinemill/imaging/color_reduce.h"

#include <gtest/gtest.h>

#include <random>

#include "cinemill/base/ui_host.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

QuantizerEntries EntriesOf(std::initializer_list<Rgb> colors) {
    QuantizerEntries e{};
    size_t i = 0;
    for (const Rgb& c : colors) e[i++] = {c.r, c.g, c.b, 0x5A};
    return e;
}

Rgb At(const QuantizerEntries& e, int i) {
    const auto& q = e[static_cast<size_t>(i)];
    return Rgb{q[0], q[1], q[2]};
}

TEST(DitherLevel, ThresholdsAndTheWhiteException) {
    EXPECT_EQ(DitherLevel(0, 0), 0);
    EXPECT_EQ(DitherLevel(6, 0), 0);
    EXPECT_EQ(DitherLevel(7, 0), 1);
    EXPECT_EQ(DitherLevel(22, 0), 1);
    EXPECT_EQ(DitherLevel(23, 0), 2);
    EXPECT_EQ(DitherLevel(30, 0), 2);
    EXPECT_EQ(DitherLevel(31, 0), 3);
    EXPECT_EQ(DitherLevel(254, 0), 30);
    EXPECT_EQ(DitherLevel(255, 0), 31);
    EXPECT_EQ(DitherLevel(255, -1), 31);  // the one exception: L(254) would be 30
    EXPECT_EQ(DitherLevel(250, 6), 31);
    EXPECT_EQ(DitherLevel(0, -1), 0);
    EXPECT_EQ(DitherLevel(1, 6), 1);  // 7 is the first input of level 1
    int level0 = 0, level1 = 0;
    for (int v = 0; v < 256; ++v) {
        level0 += DitherLevel(v, 0) == 0;
        level1 += DitherLevel(v, 0) == 1;
    }
    EXPECT_EQ(level0, 7);
    EXPECT_EQ(level1, 16);
}

TEST(DitherOffsetMatrix, Rows) {
    const int expected[4][4] = {{6, 0, 5, -1}, {2, 4, 1, 3}, {5, -1, 6, 0}, {1, 3, 2, 4}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(kDitherOffsetMatrix[y][x], expected[y][x]);
}

TEST(MedianCut, SingleEntriesComeOutOfTheirCellScaled) {
    MedianCutQuantizer q;
    ColorUsage counts{};
    counts[0] = 1;
    auto white = EntriesOf({{255, 255, 255}});
    ASSERT_EQ(q.Quantize(white, counts, 16, nullptr), 1);
    EXPECT_EQ(At(white, 0), (Rgb{255, 255, 255}));  // cell 63 -> 63 * 255 / 63
    EXPECT_EQ(white[0][3], 0x5A);                   // the fourth byte is kept
    auto mid = EntriesOf({{128, 128, 128}});
    ASSERT_EQ(q.Quantize(mid, counts, 16, nullptr), 1);
    EXPECT_EQ(At(mid, 0), (Rgb{129, 129, 129}));  // cell 32 -> 8160 / 63 = 129
}

TEST(MedianCut, EntriesOfOneCellStayTogether) {
    MedianCutQuantizer q;
    ColorUsage counts{};
    counts[0] = 3;
    counts[1] = 5;
    auto e = EntriesOf({{100, 100, 100}, {101, 102, 103}});
    EXPECT_EQ(q.Quantize(e, counts, 16, nullptr), 1);
    EXPECT_EQ(At(e, 0), (Rgb{101, 101, 101}));  // cell 25 -> 25 * 255 / 63 = 101
}

TEST(MedianCut, CutsAtTheWeightedMedianAndOrdersByPopulation) {
    MedianCutQuantizer q;
    ColorUsage counts{};
    counts[0] = counts[1] = counts[2] = 1;
    auto e = EntriesOf({{0, 0, 0}, {128, 0, 0}, {252, 0, 0}});
    ASSERT_EQ(q.Quantize(e, counts, 2, nullptr), 2);
    // Total 3, half 1: slices 0 (1) and 32 (2 > 1) -> cut after red slice 32.
    // Box 0..32 holds 2 pixels with mean cell (0 + 32) / 2 = 16 -> 64.
    EXPECT_EQ(At(e, 0), (Rgb{64, 0, 0}));
    EXPECT_EQ(At(e, 1), (Rgb{255, 0, 0}));
}

TEST(MedianCut, CutAtTheHighBoundStepsBack) {
    MedianCutQuantizer q;
    ColorUsage counts{};
    counts[0] = 1;
    counts[1] = 5;
    auto e = EntriesOf({{0, 0, 0}, {252, 0, 0}});
    ASSERT_EQ(q.Quantize(e, counts, 2, nullptr), 2);
    EXPECT_EQ(At(e, 0), (Rgb{255, 0, 0}));  // population 5 first
    EXPECT_EQ(At(e, 1), (Rgb{0, 0, 0}));
}

TEST(MedianCut, SingleRedSliceIsCutAlongAnotherChannel) {
    MedianCutQuantizer q;
    ColorUsage counts{};
    counts[0] = counts[1] = 1;
    auto e = EntriesOf({{128, 0, 0}, {128, 0, 252}});
    ASSERT_EQ(q.Quantize(e, counts, 4, nullptr), 2);
    ASSERT_EQ(q.Boxes().size(), 2u);
    EXPECT_EQ(q.Boxes()[0].low[0], 32);
    EXPECT_EQ(q.Boxes()[0].high[0], 32);
    // Equal populations keep their slot order: the low-blue half first.
    EXPECT_EQ(At(e, 0), (Rgb{129, 0, 0}));
    EXPECT_EQ(At(e, 1), (Rgb{129, 0, 255}));
}

TEST(MedianCut, UnusedEntriesAddNothingAndMostUsedComesFirst) {
    MedianCutQuantizer q;
    ColorUsage counts{};
    counts[0] = 10;
    counts[1] = 100;
    auto e = EntriesOf({{255, 0, 0}, {0, 0, 255}, {0, 255, 0}});
    ASSERT_EQ(q.Quantize(e, counts, 8, nullptr), 2);  // green has no weight
    EXPECT_EQ(At(e, 0), (Rgb{0, 0, 255}));
    EXPECT_EQ(At(e, 1), (Rgb{255, 0, 0}));
}

TEST(MedianCut, NeverMoreThanAskedAndStepsProgress) {
    std::mt19937 rng(7);
    MedianCutQuantizer q;
    for (int m : {1, 2, 5, 16, 64, 255, 256}) {
        QuantizerEntries e{};
        ColorUsage counts{};
        for (size_t i = 0; i < 256; ++i) {
            e[i] = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), 0};
            counts[i] = rng() % 1000;
        }
        struct Count : ProgressReporter {
            int steps = 0;
            bool Step() override { return ++steps, true; }
        } progress;
        const int k = q.Quantize(e, counts, m, &progress);
        EXPECT_GE(k, 1);
        EXPECT_LE(k, m);
        EXPECT_EQ(progress.steps, k - 1);
    }
}

TEST(InverseColorMap, MatchesBruteForceWithLowestIndexOnTies) {
    std::mt19937 rng(3);
    Palette p;
    for (int i = 0; i < 40; ++i)
        p.entries.push_back(Rgb{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())});
    p.entries.push_back(p[5]);  // a duplicate can never win a cell
    InverseColorMap inv;
    const uint8_t* t = inv.For(p);
    ASSERT_NE(t, nullptr);
    for (int r = 0; r < 32; ++r)
        for (int g = 0; g < 32; ++g)
            for (int b = 0; b < 32; ++b) {
                int best = 0;
                long bestd = -1;
                for (int i = 0; i < p.size(); ++i) {
                    const long dr = 8 * r + 4 - p[i].r, dg = 8 * g + 4 - p[i].g, db = 8 * b + 4 - p[i].b;
                    const long d = dr * dr + dg * dg + db * db;
                    if (bestd < 0 || d < bestd) bestd = d, best = i;
                }
                ASSERT_EQ(t[InverseColorMap::Cell(r, g, b)], best) << r << "," << g << "," << b;
            }
}

TEST(InverseColorMap, RebuildsOnlyForAChangedPalette) {
    InverseColorMap inv;
    Palette p = MakePalette({{0, 0, 0}, {255, 255, 255}});
    inv.For(p);
    inv.For(p);
    EXPECT_EQ(inv.builds(), 1);
    p[1].b = 254;
    inv.For(p);
    EXPECT_EQ(inv.builds(), 2);
    p.entries.push_back(Rgb{});
    inv.For(p);
    EXPECT_EQ(inv.builds(), 3);
    EXPECT_EQ(inv.For(p)[InverseColorMap::Cell(31, 31, 31)], 1);
}

TEST(Dither, HandWorkedRow) {
    // Pixel 0: 100 with offset 6 -> level 12 (centre 100) -> black; error 100.
    // Pixel 1: 100 + 700 / 16 = 143 with offset 0 -> level 17 (centre 140) -> white.
    const Palette source = MakePalette({{100, 100, 100}});
    const Palette target = MakePalette({{0, 0, 0}, {255, 255, 255}});
    auto f = SolidFrame(2, 1, 0);
    ColorMapper m;
    SilentUiHost host;
    ASSERT_TRUE(m.DitherFrame(*f, source, target, -1, host));
    EXPECT_EQ(f->bitmap->At(0, 0), 0);
    EXPECT_EQ(f->bitmap->At(1, 0), 1);
}

TEST(Dither, GreyBecomesAnEvenMixAndTransparentPixelsTakeTheSlot) {
    const Palette source = MakePalette({{128, 128, 128}, {9, 9, 9}});
    const Palette target = MakePalette({{0, 0, 0}, {255, 255, 255}});
    auto f = MakeFrame(64, 64, [](int x, int y) { return (x + y) % 7 == 0 ? 1 : 0; });
    SetTransparent(*f, true);
    f->transparentIndex = 1;
    ColorMapper m;
    SilentUiHost host;
    ASSERT_TRUE(m.DitherFrame(*f, source, target, 2, host));
    EXPECT_EQ(f->transparentIndex, 2);
    int white = 0, opaque = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const int v = f->bitmap->At(x, y);
            if ((x + y) % 7 == 0) {
                EXPECT_EQ(v, 2);
                continue;
            }
            ASSERT_LT(v, 2);
            ++opaque;
            white += v;
        }
    EXPECT_GT(white * 100 / opaque, 40);
    EXPECT_LT(white * 100 / opaque, 60);
}

TEST(Dither, SlotMinusOneIsNearestToOldTransparentColour) {
    const Palette source = MakePalette({{10, 10, 10}, {250, 250, 250}});
    const Palette target = MakePalette({{0, 0, 0}, {128, 128, 128}, {255, 255, 255}});
    auto f = SolidFrame(4, 4, 1);
    SetTransparent(*f, true);
    f->transparentIndex = 1;
    ColorMapper m;
    SilentUiHost host;
    ASSERT_TRUE(m.DitherFrame(*f, source, target, -1, host));
    EXPECT_EQ(f->transparentIndex, 2);
    EXPECT_EQ(f->bitmap->At(3, 3), 2);
}

TEST(MapTrueColor, MaskAndNearestCell) {
    const Palette target = MakePalette({{0, 0, 0}, {255, 0, 0}, {0, 0, 255}});
    auto f = MakeTrueColorFrame(
        3, 2, [](int x, int) { return x == 0 ? Rgb{250, 10, 0} : Rgb{5, 0, 240}; },
        [](int x, int y) { return x == 2 && y == 1 ? 0 : 255; }, true);
    std::vector<uint8_t> out(4 * 2, 0xEE);
    ColorMapper m;
    SilentUiHost host;
    for (bool dither : {false, true}) {
        ASSERT_TRUE(m.MapTrueColor(target, out.data(), 4, f->trueColor.data(), f->transparencyPlane.data(), 3, 2,
                                   dither, 7, host));
        EXPECT_EQ(out[0], 1);
        EXPECT_EQ(out[1], 2);
        EXPECT_EQ(out[4 + 2], 7);
        EXPECT_EQ(out[3], 0xEE);  // padding untouched
    }
}

TEST(IndexMaps, NearestAndPastTheEnd) {
    const Palette old = MakePalette({{0, 0, 0}, {200, 200, 200}, {60, 60, 60}});
    const Palette neu = MakePalette({{10, 10, 10}, {250, 250, 250}, {10, 10, 10}, {190, 190, 190}});
    const IndexMap m = NearestIndexMap(old, neu);
    EXPECT_EQ(m[0], 0);  // tie between 0 and 2 goes to 0
    EXPECT_EQ(m[1], 3);
    EXPECT_EQ(m[2], 0);
    for (size_t i = 3; i < 256; ++i) EXPECT_EQ(m[i], -1);
}

TEST(Remap, TransparencyFollowsTheMap) {
    auto f = MakeFrame(4, 1, [](int x, int) { return x; });
    SetTransparent(*f, true);
    f->transparentIndex = 3;
    IndexMap m;
    m.fill(-1);
    m[0] = 1;
    m[1] = 0;
    m[2] = 0;
    m[3] = 2;
    RemapFrame(*f, m);
    EXPECT_EQ(f->bitmap->At(0, 0), 1);
    EXPECT_EQ(f->bitmap->At(3, 0), 2);
    EXPECT_EQ(f->transparentIndex, 2);
    EXPECT_TRUE(f->Transparent());
    m[2] = -1;  // index 2 is now the transparent one and has no new index
    RemapFrame(*f, m);
    EXPECT_FALSE(f->Transparent());
    EXPECT_EQ(f->bitmap->At(3, 0), 0);  // no pixel is left past the palette
}

TEST(Remap, GlobalFramesProtectTheTransparentIndex) {
    auto a = MakeAnimation(4, 1, MakePalette({{0, 0, 0}, {1, 1, 1}, {200, 0, 0}, {0, 200, 0}}));
    auto f = MakeFrame(4, 1, [](int x, int) { return x; });
    SetTransparent(*f, true);
    f->transparentIndex = 1;
    Add(*a, std::move(f));
    Add(*a, MakeFrame(4, 1, [](int x, int) { return x; }));
    IndexMap m;
    m.fill(-1);
    m[0] = 0;
    m[1] = 0;
    m[2] = 1;
    m[3] = 1;
    const IndexMap before = m;
    RemapGlobalFrames(*a, m, 3);
    EXPECT_EQ(m, before);  // restored
    const Frame* t = a->FrameAt(0);
    EXPECT_EQ(t->transparentIndex, 2);  // lowest new index nothing maps to
    EXPECT_EQ(t->bitmap->At(0, 0), 0);
    EXPECT_EQ(t->bitmap->At(1, 0), 2);
    const Frame* o = a->FrameAt(1);
    EXPECT_EQ(o->bitmap->At(1, 0), 0);
}

// ---- Reduce animation ----------------------------------------------------------------

std::unique_ptr<Animation> RandomAnimation(std::mt19937& rng, int global_size, bool transparency) {
    Palette g;
    for (int i = 0; i < global_size; ++i)
        g.entries.push_back(Rgb{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())});
    auto a = MakeAnimation(20, 12, g);
    for (int k = 0; k < 4; ++k) {
        const bool local = k == 2;
        const int n = local ? 200 : global_size;
        auto f = MakeFrame(17 + k, 12, [&](int, int) { return static_cast<int>(rng() % static_cast<unsigned>(n)); });
        if (local) {
            Palette l;
            for (int i = 0; i < n; ++i)
                l.entries.push_back(Rgb{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())});
            SetLocalPalette(*f, l);
        }
        if (transparency && k != 1) {
            SetTransparent(*f, true);
            f->transparentIndex = static_cast<uint8_t>(rng() % static_cast<unsigned>(n));
        }
        Add(*a, std::move(f));
    }
    return a;
}

TEST(ReduceAnimation, IndicesValidAndTransparencyKept) {
    std::mt19937 rng(11);
    SilentUiHost host;
    SilentProgress progress;
    for (int n : {2, 3, 16, 64, 255}) {
        for (bool dither : {false, true}) {
            for (bool transparency : {false, true}) {
                auto a = RandomAnimation(rng, 256, transparency);
                const auto before = TransparentPixels(*a);
                ASSERT_EQ(ReduceAnimation(*a, n, dither, progress, host), Result::Done);
                SCOPED_TRACE(testing::Message() << "n=" << n << " dither=" << dither << " t=" << transparency);
                EXPECT_TRUE(AllIndicesValid(*a));
                EXPECT_EQ(TransparentPixels(*a), before);
                ASSERT_TRUE(a->globalPalette);
                EXPECT_LE(a->globalPalette->size(), n);
                for (const Frame* f : a->Frames()) {
                    if (f->localPalette) {
                        EXPECT_LE(f->localPalette->size(), n);
                    }
                }
            }
        }
    }
}

TEST(ReduceAnimation, TransparentGlobalFramesShareTheLastBlackSlot) {
    std::mt19937 rng(5);
    SilentUiHost host;
    SilentProgress progress;
    for (bool dither : {false, true}) {
        auto a = RandomAnimation(rng, 256, true);
        ASSERT_EQ(ReduceAnimation(*a, 16, dither, progress, host), Result::Done);
        const Palette& g = *a->globalPalette;
        ASSERT_LE(g.size(), 16);
        const int slot = g.size() - 1;
        EXPECT_EQ(g[slot], (Rgb{0, 0, 0}));
        for (const Frame* f : a->Frames()) {
            if (f->localPalette) continue;
            if (f->Transparent()) {
                EXPECT_EQ(f->transparentIndex, slot);
            }
            // No opaque pixel lands on the slot.
            for (int y = 0; y < f->bitmap->height; ++y) {
                for (int x = 0; x < f->bitmap->width; ++x) {
                    if (!f->Transparent() || f->bitmap->At(x, y) != f->transparentIndex) {
                        ASSERT_NE(f->bitmap->At(x, y), slot);
                    }
                }
            }
        }
        // The local transparent frame keeps its own slot at the end.
        const Frame* local = a->FrameAt(2);
        ASSERT_TRUE(local->localPalette);
        EXPECT_EQ(local->transparentIndex, local->localPalette->size() - 1);
    }
}

TEST(ReduceAnimation, SmallPalettesAreUntouched) {
    std::mt19937 rng(2);
    auto a = RandomAnimation(rng, 16, true);
    // The local palette has 200 entries; make it 16 as well.
    Frame* f = a->FrameAt(2);
    Palette l = *a->globalPalette;
    for (int y = 0; y < f->bitmap->height; ++y)
        for (int x = 0; x < f->bitmap->width; ++x) f->bitmap->Row(y)[x] %= 16;
    f->transparentIndex %= 16;
    SetLocalPalette(*f, l);
    const auto before = GifBytes(*a);
    SilentUiHost host;
    SilentProgress progress;
    for (int n : {16, 64, 256}) {
        ASSERT_EQ(ReduceAnimation(*a, n, true, progress, host), Result::Done);
        EXPECT_EQ(GifBytes(*a), before) << n;
    }
}

TEST(ReduceAnimation, FewCellsArePaddedWithBlackThenWhite) {
    Palette g;
    for (int i = 0; i < 20; ++i) g.entries.push_back(Rgb{static_cast<uint8_t>(40 + i), 90, 160});
    auto a = MakeAnimation(8, 1, g);
    // Only entries 0 (cell 10) and 19 (cell 14) are used.
    Add(*a, MakeFrame(8, 1, [](int x, int) { return x < 4 ? 0 : 19; }));
    SilentUiHost host;
    SilentProgress progress;
    ASSERT_EQ(ReduceAnimation(*a, 8, false, progress, host), Result::Done);
    const Palette& p = *a->globalPalette;
    ASSERT_EQ(p.size(), 4);
    EXPECT_EQ(p[2], (Rgb{0, 0, 0}));
    EXPECT_EQ(p[3], (Rgb{255, 255, 255}));
    EXPECT_EQ(a->colorUsage[0] + a->colorUsage[1], 8u);
}

TEST(ReduceAnimation, BackgroundIndexFollowsItsColour) {
    Palette g;
    for (int i = 0; i < 64; ++i) g.entries.push_back(Rgb{static_cast<uint8_t>(i * 4), 0, 0});
    g[40] = Rgb{0, 0, 250};
    auto a = MakeAnimation(64, 1, g);
    a->backgroundIndex = 40;
    Add(*a, MakeFrame(64, 1, [](int x, int) { return x; }));
    SilentUiHost host;
    SilentProgress progress;
    ASSERT_EQ(ReduceAnimation(*a, 8, false, progress, host), Result::Done);
    const Rgb bg = (*a->globalPalette)[a->backgroundIndex];
    EXPECT_GT(bg.b, 100);
}

TEST(ReduceAnimation, ReducedColoursStayCloseToTheOriginal) {
    // A smooth ramp reduced to 64 colours: no pixel moves far.
    Palette g;
    for (int i = 0; i < 256; ++i) g.entries.push_back(Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 128});
    auto a = MakeAnimation(256, 4, g);
    Add(*a, MakeFrame(256, 4, [](int x, int) { return x; }));
    const auto before = RenderAll(*a);
    SilentUiHost host;
    SilentProgress progress;
    ASSERT_EQ(ReduceAnimation(*a, 64, false, progress, host), Result::Done);
    const auto after = RenderAll(*a);
    int worst = 0;
    for (size_t i = 0; i < before[0].rgba.size(); ++i)
        worst = std::max(worst, std::abs(before[0].rgba[i] - after[0].rgba[i]));
    EXPECT_LE(worst, 12);
}

}  // namespace
}  // namespace cinemill
