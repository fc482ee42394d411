#include "cinemill/imaging/palette_merge.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "cinemill/base/ui_host.h"
#include "cinemill/imaging/color_reduce.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

Palette Distinct(int n, int seed) {
    // n clearly different colours: a coarse grid walk.
    Palette p;
    for (int i = 0; p.size() < n; ++i) {
        const int v = i * 37 + seed * 101;
        p.entries.push_back(Rgb{static_cast<uint8_t>((v * 7) & 0xFC), static_cast<uint8_t>((v * 13 + 64) & 0xFC),
                                static_cast<uint8_t>((v * 29 + 128) & 0xFC)});
        std::set<std::tuple<int, int, int>> seen;
        bool dup = false;
        for (const Rgb& c : p.entries) dup |= !seen.insert({c.r, c.g, c.b}).second;
        if (dup) p.entries.pop_back();
    }
    return p;
}

// An animation whose one frame uses every palette entry once (row-major).
std::unique_ptr<Animation> UsingAll(const Palette& p, int w) {
    const int h = (p.size() + w - 1) / w;
    auto a = MakeAnimation(static_cast<uint32_t>(w), static_cast<uint32_t>(h), p);
    const int n = p.size();
    Add(*a, MakeFrame(w, h, [&](int x, int y) { return std::min(y * w + x, n - 1); }));
    return a;
}

std::vector<Rgb> FrameColours(const Animation& a, const Frame& f) {
    std::vector<Rgb> out;
    const Palette* p = PaletteInEffect(a, f);
    for (int y = 0; y < f.bitmap->height; ++y)
        for (int x = 0; x < f.bitmap->width; ++x) out.push_back((*p)[f.bitmap->At(x, y)]);
    return out;
}

TEST(Merge, IdenticalPaletteNeverAsksAndKeepsPixels) {
    const Palette p = Distinct(12, 1);
    auto target = UsingAll(p, 4);
    auto incoming = UsingAll(p, 3);
    const auto pixels = incoming->FrameAt(0)->bitmap->pixels;
    const auto target_bytes = GifBytes(*target);
    ScriptedUiHost host;
    PreferenceBlock prefs;  // default: ask every time
    SilentProgress progress;
    ASSERT_EQ(MergePalettes(target.get(), *incoming, 0, host, progress, prefs), Result::Done);
    EXPECT_EQ(host.mergeQuestions, 0);
    EXPECT_FALSE(incoming->globalPalette);
    EXPECT_EQ(incoming->FrameAt(0)->bitmap->pixels, pixels);
    EXPECT_EQ(GifBytes(*target), target_bytes);
}

TEST(Merge, StandAloneIndexedDocumentIsLeftAlone) {
    auto a = UsingAll(Distinct(30, 2), 8);
    const auto before = GifBytes(*a);
    ScriptedUiHost host;
    PreferenceBlock prefs;
    SilentProgress progress;
    ASSERT_EQ(MergePalettes(nullptr, *a, 0, host, progress, prefs), Result::Done);
    EXPECT_EQ(host.mergeQuestions, 0);
    EXPECT_EQ(GifBytes(*a), before);
}

TEST(Merge, CancelLeavesBothAsTheyWere) {
    auto target = UsingAll(Distinct(10, 3), 4);
    auto incoming = UsingAll(Distinct(10, 4), 4);
    const auto tb = GifBytes(*target), ib = GifBytes(*incoming);
    ScriptedUiHost host;
    host.mergeAnswers.push_back(0);
    PreferenceBlock prefs;
    SilentProgress progress;
    EXPECT_EQ(MergePalettes(target.get(), *incoming, 0, host, progress, prefs), Result::Stopped);
    EXPECT_EQ(host.mergeQuestions, 1);
    EXPECT_EQ(GifBytes(*target), tb);
    EXPECT_EQ(GifBytes(*incoming), ib);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kPaletteMerging), 0x880201u);  // a cancel stores nothing
}

TEST(Merge, AnswerIsStoredAndUsed) {
    auto target = UsingAll(Distinct(10, 3), 4);
    auto incoming = UsingAll(Distinct(10, 4), 4);
    ScriptedUiHost host;
    host.mergeAnswers.push_back(merge::kWeb);  // "don't show again": no 0x200
    PreferenceBlock prefs;
    SilentProgress progress;
    ASSERT_EQ(MergePalettes(target.get(), *incoming, 0, host, progress, prefs), Result::Done);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kPaletteMerging), merge::kWeb);
    EXPECT_EQ(*target->globalPalette, WebPalette());
    // Next time nobody is asked.
    auto more = UsingAll(Distinct(5, 9), 4);
    ASSERT_EQ(MergePalettes(target.get(), *more, 0, host, progress, prefs), Result::Done);
    EXPECT_EQ(host.mergeQuestions, 1);
}

TEST(Merge, TwentyIntoTwoHundredFiftyAppendsSixAndMapsFourteen) {
    const Palette tp = Distinct(250, 5);
    Palette ip;
    // Colours with odd low bits, so that none equals a target colour.
    for (int i = 0; i < 20; ++i)
        ip.entries.push_back(Rgb{static_cast<uint8_t>(i * 12 + 1), static_cast<uint8_t>(255 - i * 11), 77});
    for (bool dither : {false, true}) {
        auto target = UsingAll(tp, 25);
        auto incoming = MakeAnimation(20, 8, ip);
        Add(*incoming, MakeFrame(20, 8, [](int x, int) { return x; }));
        ScriptedUiHost host;
        PreferenceBlock prefs;
        SilentProgress progress;
        const uint32_t method = merge::kMergeGlobal | (dither ? merge::kDither : 0);
        ASSERT_EQ(MergePalettes(target.get(), *incoming, method, host, progress, prefs), Result::Done);
        const Palette& g = *target->globalPalette;
        ASSERT_EQ(g.size(), 256);
        for (int i = 0; i < 250; ++i) EXPECT_EQ(g[i], tp[i]);
        for (int j = 0; j < 6; ++j) EXPECT_EQ(g[250 + j], ip[j]);
        const Frame& f = *incoming->FrameAt(0);
        if (!dither) {
            for (int x = 0; x < 20; ++x) {
                // The nearest entry of the palette as merged so far (appended
                // colours count too).
                const int expected = x < 6 ? 250 + x : NearestIndex(g, ip[x]);
                EXPECT_EQ(f.bitmap->At(x, 3), expected) << x;
            }
        } else {
            // Dithered: each column of a mapped colour is no longer a single index.
            int mixed_columns = 0;
            for (int x = 6; x < 20; ++x) {
                std::set<int> seen;
                for (int y = 0; y < 8; ++y) seen.insert(f.bitmap->At(x, y));
                mixed_columns += seen.size() > 1;
            }
            EXPECT_GT(mixed_columns, 0);
        }
        EXPECT_FALSE(incoming->globalPalette);
    }
}

TEST(Merge, NewColoursFillUnusedEntriesFirst) {
    Palette tp = Distinct(10, 6);
    auto target = MakeAnimation(4, 1, tp);
    Add(*target, MakeFrame(8, 1, [](int x, int) { return x < 3 ? x : x + 2; }));  // 3 and 4 unused
    const Palette ip = MakePalette({{1, 1, 1}, tp[7], {3, 3, 3}, {5, 5, 5}});
    auto incoming = MakeAnimation(4, 1, ip);
    Add(*incoming, MakeFrame(4, 1, [](int x, int) { return x; }));
    ScriptedUiHost host;
    PreferenceBlock prefs;
    SilentProgress progress;
    ASSERT_EQ(MergePalettes(target.get(), *incoming, merge::kMergeGlobal, host, progress, prefs), Result::Done);
    const Palette& g = *target->globalPalette;
    ASSERT_EQ(g.size(), 11);
    EXPECT_EQ(g[3], ip[0]);
    EXPECT_EQ(g[4], ip[2]);
    EXPECT_EQ(g[10], ip[3]);
    const Frame& f = *incoming->FrameAt(0);
    EXPECT_EQ(f.bitmap->At(0, 0), 3);
    EXPECT_EQ(f.bitmap->At(1, 0), 7);  // the exact match
    EXPECT_EQ(f.bitmap->At(2, 0), 4);
    EXPECT_EQ(f.bitmap->At(3, 0), 10);
}

TEST(Merge, SelfAdaptingKeepsFewColoursExactly) {
    auto target = UsingAll(Distinct(6, 7), 3);
    auto incoming = UsingAll(Distinct(5, 8), 5);
    // A transparent incoming frame too.
    auto t = MakeFrame(5, 1, [](int x, int) { return x; });
    SetTransparent(*t, true);
    t->transparentIndex = 2;
    Add(*incoming, std::move(t));
    const auto target_before = RenderAll(*target);
    std::vector<std::vector<Rgb>> incoming_colours;
    for (const Frame* f : std::as_const(*incoming).Frames()) incoming_colours.push_back(FrameColours(*incoming, *f));
    for (bool dither : {false, true}) {
        auto tc = CopyAnimation(*target);
        auto ic = CopyAnimation(*incoming);
        ScriptedUiHost host;
        PreferenceBlock prefs;
        SilentProgress progress;
        ASSERT_EQ(MergePalettes(tc.get(), *ic, merge::kSelfAdapting | (dither ? merge::kDither : 0), host, progress,
                                prefs),
                  Result::Done);
        EXPECT_FALSE(ic->globalPalette);
        const Palette& g = *tc->globalPalette;
        EXPECT_EQ(g.size(), 6 + 5 + 1);  // every colour, and the transparency slot
        EXPECT_EQ(g[g.size() - 1], (Rgb{0, 0, 0}));
        EXPECT_EQ(RenderAll(*tc), target_before);
        // Incoming frames read through the target palette show the same colours.
        const auto frames = ic->Frames();
        for (size_t k = 0; k < frames.size(); ++k) {
            ASSERT_FALSE(frames[k]->localPalette);
            for (int x = 0; x < frames[k]->bitmap->width; ++x) {
                const int v = frames[k]->bitmap->At(x, 0);
                ASSERT_LT(v, g.size());
                if (frames[k]->Transparent() && v == frames[k]->transparentIndex) {
                    EXPECT_EQ(x, 2);
                    EXPECT_EQ(v, g.size() - 1);
                } else {
                    EXPECT_EQ(g[v], incoming_colours[k][static_cast<size_t>(x)]);
                }
            }
        }
    }
}

TEST(Merge, TrueColourFramesBecomePalettePixels) {
    std::mt19937 rng(9);
    for (uint32_t kind : {merge::kSelfAdapting, merge::kMergeGlobal, merge::kMapGlobal, merge::kWeb, merge::kLocal}) {
        for (bool dither : {false, true}) {
            for (bool with_target : {false, true}) {
                SCOPED_TRACE(testing::Message() << kind << " " << dither << " " << with_target);
                auto target = UsingAll(Distinct(40, 10), 8);
                auto incoming = MakeAnimation(30, 20, std::nullopt);
                for (int k = 0; k < 2; ++k)
                    Add(*incoming, MakeTrueColorFrame(
                                       30, 20,
                                       [&](int x, int y) {
                                           return Rgb{static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 12),
                                                      static_cast<uint8_t>(rng())};
                                       },
                                       [&](int x, int y) { return (x + y + k) % 5 == 0 ? 0 : 255; }, true));
                ScriptedUiHost host;
                PreferenceBlock prefs;
                SilentProgress progress;
                const uint32_t method = merge::Compose(kind | (dither ? merge::kDither : 0), 6, 5);
                ASSERT_EQ(MergePalettes(with_target ? target.get() : nullptr, *incoming, method, host, progress, prefs),
                          Result::Done);
                Animation& owner = *incoming;
                if (with_target && kind != merge::kLocal) {
                    EXPECT_FALSE(incoming->globalPalette);
                    ASSERT_TRUE(target->globalPalette);
                    owner.globalPalette = target->globalPalette;  // to check the pixels against it
                }
                int k = 0;
                for (const Frame* f : std::as_const(owner).Frames()) {
                    EXPECT_TRUE(f->trueColor.empty());
                    EXPECT_TRUE(f->transparencyPlane.empty());
                    ASSERT_TRUE(f->bitmap);
                    ASSERT_TRUE(f->Transparent());
                    const Palette* p = PaletteInEffect(owner, *f);
                    ASSERT_TRUE(p);
                    if (kind == merge::kLocal) {
                        EXPECT_TRUE(f->localPalette);
                        EXPECT_LE(p->size(), 32);
                    }
                    for (int y = 0; y < 20; ++y)
                        for (int x = 0; x < 30; ++x) {
                            const int v = f->bitmap->At(x, y);
                            ASSERT_LT(v, p->size());
                            ASSERT_EQ(v == f->transparentIndex, (x + y + k) % 5 == 0) << x << "," << y;
                        }
                    ++k;
                }
                EXPECT_TRUE(host.errors.empty());
            }
        }
    }
}

TEST(Merge, MapKeepsTheTargetPaletteAndProtectsTransparency) {
    const Palette tp = MakePalette({{0, 0, 0}, {255, 255, 255}, {255, 0, 0}});
    auto target = UsingAll(tp, 3);
    const Palette ip = MakePalette({{250, 250, 250}, {10, 10, 10}, {240, 240, 240}});
    auto incoming = MakeAnimation(3, 1, ip);
    auto f = MakeFrame(3, 1, [](int x, int) { return x; });
    SetTransparent(*f, true);
    f->transparentIndex = 2;  // its colour is nearest to white, which entry 0 also takes
    Add(*incoming, std::move(f));
    ScriptedUiHost host;
    PreferenceBlock prefs;
    SilentProgress progress;
    ASSERT_EQ(MergePalettes(target.get(), *incoming, merge::kMapGlobal, host, progress, prefs), Result::Done);
    EXPECT_EQ(*target->globalPalette, tp);
    const Frame& r = *incoming->FrameAt(0);
    EXPECT_EQ(r.bitmap->At(0, 0), 1);
    EXPECT_EQ(r.bitmap->At(1, 0), 0);
    EXPECT_EQ(r.transparentIndex, 2);  // the only entry no colour maps to
    EXPECT_EQ(r.bitmap->At(2, 0), 2);
}

TEST(Merge, TargetWithoutGlobalPaletteTakesTheIncomingOne) {
    auto target = MakeAnimation(4, 1, std::nullopt);
    auto lf = SolidFrame(4, 1, 0);
    SetLocalPalette(*lf, MakePalette({{1, 2, 3}}));
    Add(*target, std::move(lf));
    const Palette ip = Distinct(7, 11);
    auto incoming = UsingAll(ip, 7);
    const auto pixels = incoming->FrameAt(0)->bitmap->pixels;
    ScriptedUiHost host;
    PreferenceBlock prefs;
    SilentProgress progress;
    for (uint32_t kind : {merge::kMergeGlobal, merge::kMapGlobal}) {
        auto t = CopyAnimation(*target);
        auto i = CopyAnimation(*incoming);
        ASSERT_EQ(MergePalettes(t.get(), *i, kind, host, progress, prefs), Result::Done);
        EXPECT_EQ(*t->globalPalette, ip);
        EXPECT_EQ(i->FrameAt(0)->bitmap->pixels, pixels);
    }
}

TEST(Merge, FoldLocalBuildsOneGlobalPaletteWithoutATarget) {
    auto a = UsingAll(Distinct(5, 12), 5);
    for (int k = 0; k < 3; ++k) {
        auto f = MakeFrame(4, 2, [](int x, int y) { return (x + y) % 4; });
        SetLocalPalette(*f, Distinct(4, 20 + k));
        if (k == 1) {
            SetTransparent(*f, true);
            f->transparentIndex = 3;
        }
        Add(*a, std::move(f));
    }
    const auto before = RenderAll(*a);
    ScriptedUiHost host;
    PreferenceBlock prefs;
    SilentProgress progress;
    ASSERT_EQ(MergePalettes(nullptr, *a, merge::kSelfAdapting | merge::kFoldLocal, host, progress, prefs),
              Result::Done);
    for (const Frame* f : std::as_const(*a).Frames()) EXPECT_FALSE(f->localPalette);
    EXPECT_TRUE(AllIndicesValid(*a));
    EXPECT_EQ(RenderAll(*a), before);
}

TEST(Merge, WebPaletteLayout) {
    const Palette w = WebPalette();
    ASSERT_EQ(w.size(), 256);
    EXPECT_EQ(w[0], (Rgb{0, 0, 0}));
    EXPECT_EQ(w[36 * 1 + 6 * 2 + 3], (Rgb{51, 102, 153}));
    EXPECT_EQ(w[215], (Rgb{255, 255, 255}));
    for (int i = 216; i < 256; ++i) EXPECT_EQ(w[i], (Rgb{0, 0, 0}));
}

TEST(Merge, BrokenTrueColourPlaneIsRefused) {
    auto incoming = MakeAnimation(10, 10, std::nullopt);
    auto f = std::make_unique<Frame>();
    f->width = 10;
    f->height = 10;
    f->trueColor.assign(17, 0);  // far too short
    Add(*incoming, std::move(f));
    ScriptedUiHost host;
    PreferenceBlock prefs;
    SilentProgress progress;
    EXPECT_EQ(MergePalettes(nullptr, *incoming, merge::kSelfAdapting, host, progress, prefs), Result::Failed);
    EXPECT_EQ(host.errors.size(), 1u);
}

TEST(Merge, StopWhileAnalyzingChangesNothing) {
    auto target = UsingAll(Distinct(10, 3), 4);
    auto incoming = UsingAll(Distinct(10, 4), 4);
    const auto tb = GifBytes(*target), ib = GifBytes(*incoming);
    ScriptedUiHost host;
    PreferenceBlock prefs;
    CountdownProgress progress(0);
    EXPECT_EQ(MergePalettes(target.get(), *incoming, merge::kSelfAdapting, host, progress, prefs), Result::Stopped);
    EXPECT_EQ(GifBytes(*target), tb);
    EXPECT_EQ(GifBytes(*incoming), ib);
}

}  // namespace
}  // namespace cinemill
