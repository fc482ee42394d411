#include <gtest/gtest.h>

#include <random>

#include "cinemill/doc/render.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

// A w x h animation whose global palette holds `rgb` (triples) and whose
// frames show `frames` (palette indexes, row by row).
std::unique_ptr<Animation> Frames(int w, int h, const std::vector<uint8_t>& rgb,
                                  const std::vector<std::vector<uint8_t>>& frames) {
    PreferenceBlock prefs;
    auto a = NewAnimation(static_cast<uint32_t>(w), static_cast<uint32_t>(h), prefs);
    SetGlobalPalette(*a, Palette::FromTriples(rgb.data(), static_cast<int>(rgb.size() / 3)));
    for (size_t k = 0; k < frames.size(); ++k) {
        if (k > 0) a->blocks.push_back(NewFrame(w, h, prefs));
        auto bmp = FrameBitmap::Create(w, h);
        for (int y = 0; y < h; ++y) std::copy_n(frames[k].data() + static_cast<size_t>(y) * w, w, bmp->Row(y));
        SetBitmap(*a->FrameAt(static_cast<int>(k)), std::move(*bmp));
    }
    return a;
}

std::vector<uint8_t> Pixels(const Frame& f) {
    std::vector<uint8_t> out;
    for (int y = 0; y < f.bitmap->height; ++y) out.insert(out.end(), f.bitmap->Row(y), f.bitmap->Row(y) + f.bitmap->width);
    return out;
}

// Four times the squared RGB distance of two colours.
int Distance4(Rgb x, Rgb y) {
    const int dr = x.r - y.r, dg = x.g - y.g, db = x.b - y.b;
    return 4 * (dr * dr + dg * dg + db * db);
}

// Pixels that repeat strings of several lengths, so that the table fills
// and is cleared several times.
std::vector<uint8_t> Patterned(int n, int colors, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out;
    while (static_cast<int>(out.size()) < n) {
        const int len = 1 + static_cast<int>(rng() % 9);
        const auto v = static_cast<uint8_t>(rng() % static_cast<uint32_t>(colors));
        if (rng() % 3 == 0 && out.size() > 40) {
            const size_t from = out.size() - 1 - rng() % 40;
            for (int i = 0; i < len; ++i) out.push_back(out[from + static_cast<size_t>(i) % (out.size() - from)]);
        } else {
            out.insert(out.end(), static_cast<size_t>(len), v);
        }
    }
    out.resize(static_cast<size_t>(n));
    return out;
}

// Where no colour is near another, every string the lossy search may take
// matches the pixels exactly and costs only its code, so it takes the
// longest: the writer's own parse, byte for byte, through full tables too.
TEST(LossyCompression, WithoutNearColoursTheDataIsTheExactData) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 16; ++i) rgb.insert(rgb.end(), {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 5)});
    for (bool interlaced : {false, true}) {
        auto a = Frames(320, 200, rgb, {Patterned(320 * 200, 16, 3)});
        SetInterlaced(*a->FrameAt(0), interlaced);
        const auto exact = LossyImageData(*a, *a->FrameAt(0), 0);
        ASSERT_GT(exact.size(), 16000u);  // many codes: the table fills
        // Level 10 allows a distance of 4; neighbouring colours are 22 apart.
        EXPECT_EQ(LossyImageData(*a, *a->FrameAt(0), 10), exact) << "interlaced " << interlaced;
    }
}

// Two colours 6 apart scattered at random: within the bound of level 80
// (distance 32) each may stand for the other, so the search follows the
// table's long strings of either, and the data comes near that of one
// colour alone. The pixels stay within the bound.
TEST(LossyCompression, NearColoursMakeLongStrings) {
    const std::vector<uint8_t> rgb = {100, 100, 100, 106, 100, 100, 0, 0, 0, 255, 255, 255};
    std::mt19937 rng(11);
    std::vector<uint8_t> mixed(200 * 200), plain(200 * 200, 0);
    for (auto& v : mixed) v = static_cast<uint8_t>(rng() % 2);
    auto a = Frames(200, 200, rgb, {mixed});
    auto one = Frames(200, 200, rgb, {plain});
    const auto exact = LossyImageData(*a, *a->FrameAt(0), 0);
    const auto lossy = LossyImageData(*a, *a->FrameAt(0), 80);
    const auto alone = LossyImageData(*one, *one->FrameAt(0), 0);
    EXPECT_LT(lossy.size(), alone.size() * 2);
    EXPECT_LT(lossy.size() * 10, exact.size());
    SilentProgress progress;
    bool changed = false;
    ASSERT_EQ(CompressFramesLossily(*a, 80, progress, &changed), Result::Done);
    EXPECT_TRUE(changed);
    for (const uint8_t v : Pixels(*a->FrameAt(0))) ASSERT_LE(v, 1);
}

// A frame using the first four colours of a 256-colour palette: its lossy
// codes start 3 bits wide, as the pixels allow, not 9 as the table would.
TEST(LossyCompression, CodesStartAsNarrowAsThePixelsAllow) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 256; ++i) rgb.insert(rgb.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
    auto a = Frames(64, 64, rgb, {Patterned(64 * 64, 4, 8)});
    const auto lossy = LossyImageData(*a, *a->FrameAt(0), 80);
    ASSERT_FALSE(lossy.empty());
    EXPECT_EQ(lossy[0], 2);
    EXPECT_EQ(LossyImageData(*a, *a->FrameAt(0), 0)[0], 8);
    SilentProgress progress;
    const auto before = Pixels(*a->FrameAt(0));
    ASSERT_EQ(CompressFramesLossily(*a, 80, progress), Result::Done);
    const auto after = Pixels(*a->FrameAt(0));
    ASSERT_EQ(after.size(), before.size());
    const Palette& p = *a->globalPalette;
    for (size_t i = 0; i < after.size(); ++i) {
        ASSERT_LT(after[i], 4);  // nothing wider than the codes
        ASSERT_LE(Distance4(p[after[i]], p[before[i]]), 16 * 80 * 80 / 25);
    }
}

// The second frame changes a random half of a two-colour screen to the
// other colour and leaves the rest transparent: its picture is one colour.
// Transparent pixels may be written as the colour they show, so the frame
// becomes one colour too, and its data a fraction of the exact one; every
// picture stays as it was.
TEST(LossyCompression, TransparentPixelsTakeTheColourBeneath) {
    const std::vector<uint8_t> rgb = {200, 40, 40, 20, 20, 220, 0, 0, 0, 255, 255, 255};
    std::mt19937 rng(4);
    std::vector<uint8_t> first(160 * 120), second(160 * 120);
    for (size_t i = 0; i < first.size(); ++i) {
        first[i] = static_cast<uint8_t>(rng() % 2);
        second[i] = first[i] == 1 ? 0 : 3;  // colour 0 over colour 1, transparent over colour 0
    }
    auto a = Frames(160, 120, rgb, {first, second});
    Frame& f = *a->FrameAt(1);
    SetTransparent(f, true);
    SetTransparentIndex(f, 3);
    auto original = CopyAnimation(*a);
    const int64_t exact = FrameEncodedSize(*a, f);
    SilentProgress progress;
    ASSERT_EQ(CompressFramesLossily(*a, 30, progress), Result::Done);
    EXPECT_LT(FrameEncodedSize(*a, f) * 4, exact);
    int filled = 0;
    for (const uint8_t v : Pixels(f)) filled += v == 0;
    EXPECT_GT(filled, 160 * 120 * 9 / 10);
    const auto x = RenderAll(*original), y = RenderAll(*a);
    ASSERT_EQ(x.size(), y.size());
    for (size_t i = 0; i < x.size(); ++i) EXPECT_TRUE(x[i].rgba == y[i].rgba) << "picture " << i;
}

// A transparent pixel over nothing (the empty screen) stays transparent:
// a colour there would show where the input's picture shows none.
TEST(LossyCompression, TransparentPixelsOverNothingStaySo) {
    const std::vector<uint8_t> rgb = {200, 40, 40, 20, 20, 220, 0, 0, 0, 255, 255, 255};
    std::mt19937 rng(6);
    std::vector<uint8_t> px(96 * 64);
    for (auto& v : px) v = rng() % 2 ? 3 : 0;
    auto a = Frames(96, 64, rgb, {px});
    SetTransparent(*a->FrameAt(0), true);
    SetTransparentIndex(*a->FrameAt(0), 3);
    SilentProgress progress;
    ASSERT_EQ(CompressFramesLossily(*a, 200, progress), Result::Done);
    EXPECT_EQ(Pixels(*a->FrameAt(0)), px);
}

}  // namespace
}  // namespace cinemill
