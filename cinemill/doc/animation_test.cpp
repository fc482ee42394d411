#include "cinemill/doc/animation.h"

#include <gtest/gtest.h>

#include "cinemill/base/preferences.h"

namespace cinemill {
namespace {

// An animation whose frames are told apart by their delays 0, 1, 2, ...
std::unique_ptr<Animation> Frames(int n, int w = 2, int h = 2) {
    PreferenceBlock prefs;
    auto a = NewAnimation(static_cast<uint32_t>(w), static_cast<uint32_t>(h), prefs);
    a->blocks.clear();
    const uint8_t rgb[] = {0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255};
    SetGlobalPalette(*a, Palette::FromTriples(rgb, 4));
    for (int i = 0; i < n; ++i) {
        auto f = NewFrame(w, h, prefs);
        auto bmp = FrameBitmap::Create(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) bmp->Row(y)[x] = static_cast<uint8_t>((x + y + i) % 4);
        SetBitmap(*f, std::move(*bmp));
        f->delay = static_cast<uint32_t>(i);
        a->blocks.push_back(std::move(f));
    }
    return a;
}

std::vector<uint32_t> Delays(const Animation& a) {
    std::vector<uint32_t> out;
    for (const Frame* f : a.Frames()) out.push_back(f->delay);
    return out;
}

TEST(Animation, NewAnimationUsesPreferences) {
    PreferenceBlock prefs;
    prefs.Set(PreferenceBlock::kDefaultDelay, 33);
    prefs.Set(PreferenceBlock::kDefaultLoop, 4);
    auto a = NewAnimation(10, 20, prefs);
    EXPECT_EQ(a->playCount, 4u);
    EXPECT_EQ(a->FrameCount(), 1);
    EXPECT_EQ(a->FrameAt(0)->delay, 33u);
    EXPECT_EQ(a->FrameAt(0)->width, 10);
    EXPECT_FALSE(a->FrameAt(0)->bitmap);
    auto empty = NewAnimation();
    EXPECT_EQ(empty->cachedSize, -1);
    EXPECT_EQ(empty->hotspot, (Hotspot{-1, -1}));
    EXPECT_EQ(empty->FrameCount(), 0);
}

TEST(Animation, FrameIndexesSkipExtensions) {
    auto a = Frames(2);
    a->blocks.insert(a->blocks.begin(), NewComment("c1"));
    a->blocks.insert(a->blocks.begin() + 2, NewComment("c2"));
    EXPECT_EQ(a->FrameCount(), 2);
    EXPECT_EQ(a->FrameAt(1)->delay, 1u);
    EXPECT_EQ(a->FrameAt(2), nullptr);
    EXPECT_EQ(a->FrameAt(-1), nullptr);
    EXPECT_EQ(a->BlockPosOfFrame(1), 3u);
}

TEST(Animation, MoveFrame) {
    auto a = Frames(3);
    EXPECT_EQ(MoveFrame(*a, 2, 2), 2);
    EXPECT_EQ(MoveFrame(*a, 2, 3), 2);
    EXPECT_EQ(Delays(*a), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(MoveFrame(*a, 0, 3), 2);
    EXPECT_EQ(Delays(*a), (std::vector<uint32_t>{1, 2, 0}));
    EXPECT_EQ(MoveFrame(*a, 2, 0), 0);
    EXPECT_EQ(Delays(*a), (std::vector<uint32_t>{0, 1, 2}));
    // Extensions stay where they are: the moved frame goes right before the
    // target frame, behind the comment that precedes it.
    a->blocks.insert(a->blocks.begin() + 1, NewComment("between"));
    EXPECT_EQ(MoveFrame(*a, 2, 1), 1);
    EXPECT_EQ(Delays(*a), (std::vector<uint32_t>{0, 2, 1}));
    EXPECT_EQ(a->blocks[1]->kind, BlockKind::Comment);
    EXPECT_EQ(AsFrame(a->blocks[2].get())->delay, 2u);
    // To the end: behind the last frame, before trailing extensions.
    a->blocks.push_back(NewComment("tail"));
    EXPECT_EQ(MoveFrame(*a, 0, 3), 2);
    EXPECT_EQ(Delays(*a), (std::vector<uint32_t>{2, 1, 0}));
    EXPECT_EQ(a->blocks.back()->kind, BlockKind::Comment);
}

TEST(Animation, ReverseMirrorsEveryBlock) {
    auto one = Frames(1);
    one->blocks.push_back(NewComment("x"));
    ReverseBlocks(*one);
    EXPECT_TRUE(AsFrame(one->blocks[0].get()));
    auto a = Frames(2);
    a->blocks.insert(a->blocks.begin(), NewComment("first"));
    ReverseBlocks(*a);
    EXPECT_EQ(Delays(*a), (std::vector<uint32_t>{1, 0}));
    EXPECT_EQ(CommentText(*AsExtension(a->blocks[2].get())), "first");
}

TEST(Animation, ClipFrameToScreen) {
    auto a = Frames(1, 6, 2);
    Frame& f = *a->FrameAt(0);
    a->width = 4;
    a->height = 2;
    f.left = -1;  // over the left and the right edge at once
    const std::vector<uint8_t> row0(f.bitmap->Row(0), f.bitmap->Row(0) + 6);
    ASSERT_TRUE(ClipFrameToScreen(f, a->width, a->height));
    EXPECT_EQ(f.left, 0);
    EXPECT_EQ(f.width, 4);
    EXPECT_EQ(f.bitmap->width, 4);
    EXPECT_EQ(std::vector<uint8_t>(f.bitmap->Row(0), f.bitmap->Row(0) + 4),
              std::vector<uint8_t>(row0.begin() + 1, row0.begin() + 5));
    EXPECT_TRUE(FrameFitsScreen(f, 4, 2));
    // Bottom-right overhang.
    f.top = 1;
    f.left = 3;
    ASSERT_TRUE(ClipFrameToScreen(f, 4, 2));
    EXPECT_EQ(std::tie(f.left, f.top, f.width, f.height), std::make_tuple(3, 1, 1, 1));
    // A frame entirely off the screen cannot be clipped and stays as it is.
    f.left = 10;
    EXPECT_FALSE(ClipFrameToScreen(f, 4, 2));
    EXPECT_EQ(f.width, 1);
}

TEST(Animation, LocalPaletteSetsAndClearsItsDescriptorFlagsKeepingTheOthers) {
    Frame f;
    f.descriptorFlags = kDescInterlaced | 0x20;
    const uint8_t rgb[9] = {};
    EXPECT_FALSE(SetLocalPalette(f, Palette::FromTriples(rgb, 3)));
    EXPECT_EQ(f.descriptorFlags, kDescLocalTable | kDescInterlaced | 0x20 | 1);
    auto old = SetLocalPalette(f, std::nullopt);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->size(), 3);
    EXPECT_EQ(f.descriptorFlags, kDescInterlaced | 0x20);
}

TEST(Animation, GlobalPaletteSetsTheScreenFlagsTableSizeAndColourResolution) {
    const uint8_t rgb[9] = {};
    Animation a;
    SetGlobalPalette(a, Palette::FromTriples(rgb, 3));
    EXPECT_EQ(a.screenFlags, 0x80 | 0x10 | 0x01);
    std::vector<uint8_t> big(600, 1);
    SetGlobalPalette(a, Palette::FromTriples(big.data(), 200));
    EXPECT_EQ(a.screenFlags, 0xF7);
    SetGlobalPalette(a, std::nullopt);
    EXPECT_EQ(a.screenFlags, 0);
}

TEST(Animation, ColorTableBitsIsTheSmallestTableThatHoldsTheColours) {
    for (const auto& [n, bits] : std::vector<std::pair<int, int>>{
             {0, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {8, 3}, {9, 4}, {16, 4}, {17, 5}, {129, 8}})
        EXPECT_EQ(ColorTableBits(n), bits) << n;
}

TEST(Animation, FramePropertiesAndTransparency) {
    auto a = Frames(1);
    Frame& f = *a->FrameAt(0);
    EXPECT_EQ(SetDelay(f, 70000), 0u);
    EXPECT_EQ(f.delay, 70000u & 0xFFFF);
    SetDisposal(f, 3);
    SetWaitForInput(f, true);
    SetTransparent(f, true);
    EXPECT_EQ(f.controlFlags, (3 << 2) | kCtlWaitForInput | kCtlTransparent);
    EXPECT_EQ(f.Disposal(), 3);
    EXPECT_TRUE(SetName(f, "a"));
    EXPECT_FALSE(SetName(f, "a"));
    SetName(f, std::string(300, 'n'));
    EXPECT_EQ(f.name.size(), 255u);

    // Display colour table and mask follow the transparent index.
    SetTransparentIndex(f, 1);
    const Rgb face{10, 20, 30};
    auto table = DisplayColorTable(*a, f, 0, face);
    EXPECT_EQ(table[1], 0x0A141Eu);       // window background, blue-green-red
    EXPECT_EQ(table[0], 0u);              // black from the palette
    table = DisplayColorTable(*a, f, 0x01000000, face);
    EXPECT_EQ(table[1], 0xFFFFFFu);       // the palette's own colour
    table = DisplayColorTable(*a, f, 0x020000FF, face);
    EXPECT_EQ(table[1], 0xFF0000u);       // custom red (red in the lowest byte)
    const auto mask = TransparencyMask(f);
    // Pixel (x + y) % 4 == 1 at (1,0) and (0,1).
    EXPECT_EQ(mask[0], 0x40);
    EXPECT_EQ(mask[4], 0x80);
    SetTransparent(f, false);
    EXPECT_TRUE(TransparencyMask(f).empty());
    EXPECT_EQ(DisplayColorTable(*a, f, 0, face)[1], 0xFFFFFFu);
}

TEST(Animation, ExchangePixelsAndAll) {
    auto a = Frames(2);
    Frame& f0 = *a->FrameAt(0);
    Frame& f1 = *a->FrameAt(1);
    f0.left = 3;
    SetName(f0, "zero");
    SetTransparent(f1, true);
    SetInterlaced(f0, true);
    const uint8_t rgb[6] = {1, 2, 3, 4, 5, 6};
    SetLocalPalette(f1, Palette::FromTriples(rgb, 2));
    const auto p0 = f0.bitmap->pixels, p1 = f1.bitmap->pixels;
    ExchangePixels(f0, f1);
    EXPECT_EQ(f0.bitmap->pixels, p1);
    EXPECT_EQ(f1.bitmap->pixels, p0);
    EXPECT_TRUE(f0.Transparent());
    EXPECT_TRUE(f0.localPalette);
    EXPECT_FALSE(f1.localPalette);
    EXPECT_TRUE(f0.Interlaced());  // descriptor flags stay, but for the table bits
    EXPECT_TRUE(f0.descriptorFlags & kDescLocalTable);
    EXPECT_FALSE(f1.descriptorFlags & kDescLocalTable);
    EXPECT_EQ(f0.name, "zero");
    EXPECT_EQ(f0.left, 3);
    ExchangeAll(f0, f1);
    EXPECT_EQ(f0.left, 0);
    EXPECT_EQ(f1.left, 3);
    EXPECT_EQ(f0.bitmap->pixels, p0);
}

TEST(Animation, CopyIsDeepAndStopsOnRequest) {
    auto a = Frames(3);
    a->blocks.push_back(NewComment("hello"));
    a->hotspot = {4, 5};
    auto c = CopyAnimation(*a);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->blocks.size(), 4u);
    EXPECT_EQ(c->hotspot, a->hotspot);
    c->FrameAt(0)->bitmap->pixels[0] = 99;
    EXPECT_NE(a->FrameAt(0)->bitmap->pixels[0], 99);
    (*c->globalPalette)[0] = Rgb{9, 9, 9};
    EXPECT_NE((*a->globalPalette)[0], (Rgb{9, 9, 9}));
    CountdownProgress stop(1);
    auto partial = CopyAnimation(*a, stop);
    EXPECT_EQ(partial->blocks.size(), 2u);
    auto header = HeaderCopy(*a);
    EXPECT_TRUE(header->blocks.empty());
    EXPECT_FALSE(header->globalPalette);
    EXPECT_EQ(header->width, a->width);
}

TEST(Animation, CommentText) {
    auto c = NewComment(std::string(300, 'c'));
    EXPECT_EQ(CommentText(*c).size(), 255u);
    EXPECT_EQ(c->data.size(), 257u);
    SetCommentText(*c, "short");
    EXPECT_EQ(c->data, (std::vector<uint8_t>{5, 's', 'h', 'o', 'r', 't', 0}));
    SetCommentText(*c, "");
    EXPECT_EQ(c->data, std::vector<uint8_t>{0});
    EXPECT_EQ(CommentText(*c), "");
}

TEST(Animation, ColorUsageVariants) {
    auto a = Frames(2);
    SetTransparent(*a->FrameAt(0), true);
    SetTransparentIndex(*a->FrameAt(0), 0);
    const uint8_t rgb[6] = {};
    SetLocalPalette(*a->FrameAt(1), Palette::FromTriples(rgb, 2));
    RecountColorUsage(*a, true);
    // Frame 0 only (frame 1 has its own palette): indices 0,1,1,2.
    EXPECT_EQ(a->colorUsage[0], 1u);
    EXPECT_EQ(a->colorUsage[1], 2u);
    EXPECT_EQ(a->colorUsage[2], 1u);
    const auto opaque = CountOpaqueUsage(*a);
    EXPECT_EQ(opaque[0], 0u);  // transparent pixels are not counted
    EXPECT_EQ(opaque[1], 2u);
    SetGlobalPalette(*a, std::nullopt);
    RecountColorUsage(*a, true);
    EXPECT_EQ(a->colorUsage[1], 0u);
    std::atomic<bool> stop{true};
    SetGlobalPalette(*a, Palette::FromTriples(rgb, 2));
    EXPECT_FALSE(RecountColorUsage(*a, true, &stop));
}

TEST(Animation, ExtentsAndNaming) {
    auto a = Frames(2);
    a->FrameAt(0)->left = 5;
    a->FrameAt(1)->top = 7;
    EXPECT_EQ(FrameExtents(*a), (Rect{0, 0, 7, 9}));
    EXPECT_EQ(MaxFrameEdges(*a), std::make_pair(7, 9));
    EXPECT_EQ(FrameExtents(Animation{}), (Rect{1000, 1000, 0, 0}));
    SetName(*a->FrameAt(1), "kept");
    NameFrames(*a, "/some/dir/anim.gif");
    EXPECT_EQ(a->FrameAt(0)->name, "anim.gif - Frame 1");
    EXPECT_EQ(a->FrameAt(1)->name, "kept");
    auto one = Frames(1);
    NameFrames(*one, "C:\\pics\\one.gif");
    EXPECT_EQ(one->FrameAt(0)->name, "one.gif");
}

TEST(Animation, RemoveAndInsertFrames) {
    auto a = Frames(3);
    auto f = RemoveFrame(*a, 1);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->delay, 1u);
    EXPECT_EQ(a->FrameCount(), 2);
    EXPECT_FALSE(RemoveFrame(*a, 5));
    InsertFrame(*a, 0, std::move(f));
    EXPECT_EQ(Delays(*a), (std::vector<uint32_t>{1, 0, 2}));
}

}  // namespace
}  // namespace cinemill
