#include <gtest/gtest.h>

#include "cinemill/base/bytes.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/clipboard.h"

namespace cinemill {
namespace {

std::unique_ptr<Animation> Sample(int w, int h, int colors) {
    PreferenceBlock prefs;
    auto a = NewAnimation(static_cast<uint32_t>(w), static_cast<uint32_t>(h), prefs);
    std::vector<uint8_t> rgb;
    for (int i = 0; i < colors; ++i) rgb.insert(rgb.end(), {uint8_t(i * 9), uint8_t(i), uint8_t(255 - i)});
    SetGlobalPalette(*a, Palette::FromTriples(rgb.data(), colors));
    auto bmp = FrameBitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bmp->Row(y)[x] = static_cast<uint8_t>((x * 3 + y * 5) % colors);
    SetBitmap(*a->FrameAt(0), std::move(*bmp));
    return a;
}

TEST(FrameClip, ByteLayout) {
    auto a = Sample(3, 2, 4);
    a->playCount = 7;
    a->colorUsage[2] = 0x01020304;
    a->hotspot = {-1, 9};
    a->cachedSize = -1;
    Frame& f = *a->FrameAt(0);
    f.left = -2;
    f.top = 300;
    f.delay = 0x1234;
    f.controlFlags = 0x0D;
    f.transparentIndex = 3;
    f.descriptorFlags = 0x40;
    SetName(f, "walk");
    const auto r = BuildFrameClip(*a, f);
    ASSERT_EQ(r.size(), 1140u + 4);
    EXPECT_EQ(LoadLE32(&r[0]), 3u);
    EXPECT_EQ(LoadLE32(&r[4]), 2u);
    EXPECT_EQ(LoadLE32(&r[8]), 7u);
    EXPECT_EQ(LoadLE16(&r[12]), 1u);
    EXPECT_EQ(r[24], a->screenFlags);
    EXPECT_EQ(LoadLE32(&r[28]), 0xFFFFFFFFu);
    EXPECT_EQ(LoadLE32(&r[32 + 8]), 0x01020304u);
    EXPECT_EQ(LoadLE32(&r[1056]), 0xFFFFFFFFu);
    EXPECT_EQ(LoadLE32(&r[1060]), 9u);
    EXPECT_EQ(r[1064], 0x2C);
    EXPECT_EQ(static_cast<int32_t>(LoadLE32(&r[1076])), -2);
    EXPECT_EQ(LoadLE32(&r[1080]), 300u);
    EXPECT_EQ(LoadLE32(&r[1084]), 3u);
    EXPECT_EQ(LoadLE32(&r[1088]), 2u);
    EXPECT_EQ(LoadLE32(&r[1100]), 0u);  // no local palette
    EXPECT_EQ(LoadLE32(&r[1104]), 0x1234u);
    EXPECT_EQ(r[1108], 0x0D);
    EXPECT_EQ(r[1109], 3);
    EXPECT_EQ(r[1110], 0x40);
    EXPECT_EQ(std::string(r.begin() + 1136, r.begin() + 1140), "walk");
    EXPECT_EQ(r[1140], 0);

    const auto d = ParseFrameClip(r);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->left, -2);
    EXPECT_EQ(d->top, 300);
    EXPECT_EQ(d->delay, 0x1234u);
    EXPECT_EQ(d->name, "walk");
    EXPECT_FALSE(d->hasLocalPalette);
    // Short or foreign records are refused; reserved fields are ignored.
    EXPECT_FALSE(ParseFrameClip(std::vector<uint8_t>(r.begin(), r.begin() + 1000)));
    auto noisy = r;
    std::fill(noisy.begin() + 1112, noisy.begin() + 1136, 0xAB);
    EXPECT_EQ(ParseFrameClip(noisy)->name, "walk");
}

TEST(PackedDib, RoundTripThroughTheDibReader) {
    for (int w : {1, 3, 4, 5}) {
        auto a = Sample(w, 3, 5);
        const auto dib = BuildPackedDib(*a, *a->FrameAt(0));
        EXPECT_EQ(LoadLE32(&dib[0]), 40u);
        EXPECT_EQ(static_cast<int32_t>(LoadLE32(&dib[8])), 3);  // bottom-up
        EXPECT_EQ(LoadLE32(&dib[32]), 5u);
        EXPECT_EQ(dib.size(), 40u + 5 * 4 + 3u * FrameBitmap::StrideFor(w));
        // The bottom row comes first.
        EXPECT_EQ(dib[40 + 20], a->FrameAt(0)->bitmap->At(0, 2));
        ScriptedUiHost host;
        PreferenceBlock prefs;
        auto b = AnimationFromPackedDib(dib, host, prefs);
        ASSERT_TRUE(b) << w;
        EXPECT_EQ(b->FrameAt(0)->bitmap->pixels, a->FrameAt(0)->bitmap->pixels);
        EXPECT_EQ(*b->globalPalette, *a->globalPalette);
        EXPECT_EQ(b->colorUsage, [&] {
            RecountColorUsage(*a, true);
            return a->colorUsage;
        }());
    }
}

std::vector<uint8_t> DibHeader(int w, int h, int bits, int compression, int colors) {
    std::vector<uint8_t> d;
    AppendLE32(d, 40);
    AppendLE32(d, static_cast<uint32_t>(w));
    AppendLE32(d, static_cast<uint32_t>(h));
    AppendLE16(d, 1);
    AppendLE16(d, static_cast<uint32_t>(bits));
    AppendLE32(d, static_cast<uint32_t>(compression));
    for (int i = 0; i < 3; ++i) AppendLE32(d, 0);
    AppendLE32(d, static_cast<uint32_t>(colors));
    AppendLE32(d, 0);
    return d;
}

TEST(PackedDib, Refusals) {
    PreferenceBlock prefs;
    struct Case {
        std::vector<uint8_t> dib;
        const char* message;
    };
    auto core = DibHeader(1, 1, 8, 0, 0);
    core[0] = 12;
    const std::vector<Case> cases = {
        {core, "This type of image data is not supported."},
        {DibHeader(1, 1, 8, 1, 0), "RLE-compressed BMP/DIB images are not supported."},
        {DibHeader(1, 1, 4, 2, 0), "RLE-compressed BMP/DIB images are not supported."},
        {DibHeader(1, 1, 16, 0, 0), "Image's color format (16- or 32-bit) is not currently supported."},
        {DibHeader(1, 1, 32, 3, 0), "Image's color format (16- or 32-bit) is not currently supported."},
        {DibHeader(4, 4, 8, 0, 2), "This type of image data is not supported."},  // cut short
        {DibHeader(0, 4, 8, 0, 2), "This type of image data is not supported."},
    };
    for (const auto& c : cases) {
        ScriptedUiHost host;
        EXPECT_FALSE(AnimationFromPackedDib(c.dib, host, prefs));
        EXPECT_EQ(host.errors, std::vector<std::string>{c.message});
    }
}

TEST(PackedDib, LowDepthsAndTrueColour) {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    // 1 bit, 10 wide, top-down, two rows: a checker pattern.
    auto d = DibHeader(10, -2, 1, 0, 0);
    AppendLE32(d, 0x000000);
    AppendLE32(d, 0xFFFFFF);
    d.insert(d.end(), {0xAA, 0x80, 0, 0, 0x55, 0x40, 0, 0});
    auto a = AnimationFromPackedDib(d, host, prefs);
    ASSERT_TRUE(a);
    const FrameBitmap& b = *a->FrameAt(0)->bitmap;
    EXPECT_EQ(b.At(0, 0), 1);
    EXPECT_EQ(b.At(1, 0), 0);
    EXPECT_EQ(b.At(8, 0), 1);
    EXPECT_EQ(b.At(0, 1), 0);
    EXPECT_EQ(b.At(9, 1), 1);
    EXPECT_EQ(a->globalPalette->size(), 2);
    // 4 bits, with pixels beyond a 2-entry table: the table grows with black.
    auto d4 = DibHeader(2, 1, 4, 0, 2);
    AppendLE32(d4, 0x112233);
    AppendLE32(d4, 0x445566);
    d4.insert(d4.end(), {0x1F, 0, 0, 0});
    auto a4 = AnimationFromPackedDib(d4, host, prefs);
    ASSERT_TRUE(a4);
    EXPECT_EQ(a4->FrameAt(0)->bitmap->At(1, 0), 15);
    EXPECT_EQ(a4->globalPalette->size(), 16);
    EXPECT_EQ((*a4->globalPalette)[0], (Rgb{0x11, 0x22, 0x33}));
    // 24 bits go to the true-colour plane, rows turned top-down.
    auto d24 = DibHeader(1, 2, 24, 0, 0);
    d24.insert(d24.end(), {1, 2, 3, 0, 4, 5, 6, 0});
    auto a24 = AnimationFromPackedDib(d24, host, prefs);
    ASSERT_TRUE(a24);
    EXPECT_FALSE(a24->FrameAt(0)->bitmap);
    EXPECT_FALSE(a24->globalPalette);
    EXPECT_EQ(a24->FrameAt(0)->trueColor, (std::vector<uint8_t>{4, 5, 6, 0, 1, 2, 3, 0}));
    EXPECT_TRUE(host.errors.empty());
}

TEST(Paste, RecordValuesApplyToTheDibFrame) {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    auto src = Sample(4, 2, 6);
    Frame& f = *src->FrameAt(0);
    const auto global = *src->globalPalette;
    SetLocalPalette(f, global);
    SetGlobalPalette(*src, std::nullopt);
    f.left = 7;
    f.top = 8;
    SetDelay(f, 55);
    SetDisposal(f, 2);
    SetInterlaced(f, true);
    SetWaitForInput(f, true);
    SetTransparentIndex(f, 4);
    SetTransparent(f, true);
    SetName(f, "copied");
    const auto record = BuildFrameClip(*src, f);
    const auto dib = BuildPackedDib(*src, f);
    auto a = AnimationFromClipboard(record, dib, host, prefs);
    ASSERT_TRUE(a);
    const Frame& p = *a->FrameAt(0);
    EXPECT_EQ(p.name, "copied");
    EXPECT_EQ(std::tie(p.left, p.top), std::make_tuple(7, 8));
    EXPECT_EQ(p.delay, 55u);
    EXPECT_EQ(p.Disposal(), 2);
    EXPECT_TRUE(p.Interlaced());
    EXPECT_FALSE(p.WaitForInput());  // not carried
    EXPECT_TRUE(p.Transparent());
    EXPECT_EQ(p.transparentIndex, 4);
    ASSERT_TRUE(p.localPalette);
    EXPECT_EQ(*p.localPalette, global);
    EXPECT_FALSE(a->globalPalette);
    EXPECT_EQ(p.bitmap->pixels, f.bitmap->pixels);

    // Without the record: "[Unnamed]" at (0, 0) with the default delay.
    auto bare = AnimationFromClipboard(std::nullopt, dib, host, prefs);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->FrameAt(0)->name, "[Unnamed]");
    EXPECT_EQ(bare->FrameAt(0)->left, 0);
    EXPECT_EQ(bare->FrameAt(0)->delay, prefs.DefaultDelay());
    EXPECT_TRUE(bare->globalPalette);
    // Without a DIB nothing can be pasted.
    EXPECT_FALSE(AnimationFromClipboard(record, std::nullopt, host, prefs));
    EXPECT_EQ(host.errors, std::vector<std::string>{"Cannot paste any of the available formats."});
}

}  // namespace
}  // namespace cinemill
