#include "cinemill/imaging/document_ops.h"

#include <gtest/gtest.h>

#include "cinemill/base/ui_host.h"
#include "cinemill/doc/clipboard.h"
#include "cinemill/imaging/palette_merge.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

const Palette kPal = MakePalette({{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}});

std::unique_ptr<Animation> Doc(int frames, uint32_t w = 8, uint32_t h = 4) {
    auto a = MakeAnimation(w, h, kPal);
    for (int i = 0; i < frames; ++i) {
        auto f = SolidFrame(static_cast<int>(w), static_cast<int>(h), i % 4);
        f->name = "d" + std::to_string(i);
        Add(*a, std::move(f));
    }
    return a;
}

std::vector<std::string> Names(const Animation& a) {
    std::vector<std::string> out;
    for (const auto& b : a.blocks) {
        if (const Frame* f = AsFrame(b.get())) out.push_back(f->name);
        else out.push_back("#" + CommentText(*AsExtension(b.get())));
    }
    return out;
}

TEST(InsertAnimation, SplicesBlocksAtThePlaceAsked) {
    for (int before : {-1, 0, 1, 7}) {
        auto target = Doc(2);
        target->blocks.insert(target->blocks.begin() + 1, NewComment("c"));
        auto incoming = Doc(1);
        incoming->FrameAt(0)->name = "new";
        incoming->blocks.push_back(NewComment("x"));
        ScriptedUiHost host;
        PreferenceBlock prefs;
        SilentProgress progress;
        ASSERT_EQ(InsertAnimation(*target, *incoming, before, host, progress, prefs), Result::Done);
        EXPECT_TRUE(incoming->blocks.empty());
        EXPECT_EQ(target->FrameCount(), 3);
        std::vector<std::string> expected;
        if (before == 0) expected = {"new", "#x", "d0", "#c", "d1"};
        else if (before == 1) expected = {"d0", "#c", "new", "#x", "d1"};
        else expected = {"d0", "#c", "d1", "new", "#x"};
        EXPECT_EQ(Names(*target), expected) << before;
        EXPECT_EQ(host.mergeQuestions, 0);  // same palette
    }
}

TEST(InsertAnimation, RecountsUsageAndSetsLoopForAFormerSingleFrame) {
    PreferenceBlock prefs;
    prefs.Set(PreferenceBlock::kDefaultLoop, 5);
    ScriptedUiHost host;
    SilentProgress progress;
    auto single = Doc(1);
    single->playCount = 1;
    auto one = Doc(1);
    ASSERT_EQ(InsertAnimation(*single, *one, -1, host, progress, prefs), Result::Done);
    EXPECT_EQ(single->playCount, 5u);
    EXPECT_EQ(single->colorUsage[0], 64u);
    auto two = Doc(2);
    two->playCount = 1;
    auto more = Doc(1);
    ASSERT_EQ(InsertAnimation(*two, *more, -1, host, progress, prefs), Result::Done);
    EXPECT_EQ(two->playCount, 1u);
}

TEST(InsertAnimation, LargerScreenAsksAndGrowsOrKeeps) {
    struct Case {
        uint32_t answer;
        Result result;
        uint32_t w, h;
    };
    for (const Case& c : {Case{0x20, Result::Done, 10, 6}, Case{0x10 | 0x04, Result::Done, 8, 6},
                          Case{0, Result::Stopped, 8, 6}}) {
        auto target = Doc(1, 8, 6);
        auto incoming = Doc(1, 10, 4);
        const auto before = GifBytes(*target);
        ScriptedUiHost host;
        host.sizeAnswers.push_back(c.answer);
        PreferenceBlock prefs;  // 0x24: ask every time
        SilentProgress progress;
        EXPECT_EQ(InsertAnimation(*target, *incoming, -1, host, progress, prefs), c.result);
        EXPECT_EQ(host.sizeQuestions, 1);
        EXPECT_EQ(target->width, c.w);
        EXPECT_EQ(target->height, c.h);
        if (c.result != Result::Done) {
            EXPECT_EQ(GifBytes(*target), before);
            EXPECT_EQ(incoming->FrameCount(), 1);
        } else {
            EXPECT_EQ(prefs.Get(PreferenceBlock::kFrameSizeConflict), c.answer);
        }
    }
    // A stored choice without the ask bit is used silently.
    auto target = Doc(1, 8, 6);
    auto incoming = Doc(1, 9, 9);
    ScriptedUiHost host;
    PreferenceBlock prefs;
    prefs.Set(PreferenceBlock::kFrameSizeConflict, 0x20);
    SilentProgress progress;
    ASSERT_EQ(InsertAnimation(*target, *incoming, -1, host, progress, prefs), Result::Done);
    EXPECT_EQ(host.sizeQuestions, 0);
    EXPECT_EQ(target->width, 9u);
}

TEST(InsertAnimation, CancelledMergeRestoresTheScreen) {
    auto target = Doc(2, 8, 4);
    auto incoming = MakeAnimation(12, 12, MakePalette({{9, 9, 9}, {200, 10, 10}}));
    Add(*incoming, SolidFrame(12, 12, 1));
    const auto tb = GifBytes(*target), ib = GifBytes(*incoming);
    ScriptedUiHost host;
    host.sizeAnswers.push_back(0x20);
    host.mergeAnswers.push_back(0);
    PreferenceBlock prefs;
    SilentProgress progress;
    EXPECT_EQ(InsertAnimation(*target, *incoming, 0, host, progress, prefs), Result::Stopped);
    EXPECT_EQ(target->width, 8u);
    EXPECT_EQ(GifBytes(*target), tb);
    EXPECT_EQ(GifBytes(*incoming), ib);
}

TEST(RemoveLocalPalette, MapsIntoTheGlobalPaletteInPlace) {
    auto doc = Doc(3);
    doc->blocks.insert(doc->blocks.begin() + 2, NewComment("after d1"));
    Frame& f = *doc->FrameAt(1);
    SetLocalPalette(f, MakePalette({{0, 0, 255}, {255, 0, 0}, {10, 20, 30}}));
    f.bitmap->Row(0)[0] = 1;
    f.bitmap->Row(1)[1] = 2;
    SetInterlaced(f, true);
    const auto before = RenderAll(*doc);
    const auto names = Names(*doc);
    ScriptedUiHost host;
    PreferenceBlock prefs;
    prefs.Set(PreferenceBlock::kPaletteMerging, merge::kMergeGlobal);
    SilentProgress progress;
    ASSERT_EQ(RemoveLocalPalette(*doc, 1, host, progress, prefs), Result::Done);
    EXPECT_EQ(Names(*doc), names);
    const Frame& g = *doc->FrameAt(1);
    EXPECT_FALSE(g.localPalette);
    EXPECT_TRUE(g.Interlaced());
    EXPECT_EQ(g.descriptorFlags & 0x87, 0);
    // Red matches entry 1 exactly; the new colour takes entry 3, which no
    // other frame uses (blue is unused once frame 1 has left the list).
    ASSERT_EQ(doc->globalPalette->size(), 4);
    EXPECT_EQ((*doc->globalPalette)[3], (Rgb{10, 20, 30}));
    EXPECT_TRUE(AllIndicesValid(*doc));
    EXPECT_EQ(RenderAll(*doc), before);
}

TEST(RemoveLocalPalette, CancelLeavesEverythingAsItWas) {
    auto doc = Doc(3);
    doc->blocks.insert(doc->blocks.begin() + 2, NewComment("c"));
    Frame& f = *doc->FrameAt(2);
    SetLocalPalette(f, MakePalette({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}));
    const auto before = GifBytes(*doc);
    ScriptedUiHost host;
    host.mergeAnswers.push_back(0);
    PreferenceBlock prefs;  // asks
    SilentProgress progress;
    EXPECT_EQ(RemoveLocalPalette(*doc, 2, host, progress, prefs), Result::Stopped);
    EXPECT_EQ(host.mergeQuestions, 1);
    EXPECT_EQ(GifBytes(*doc), before);
}

TEST(Paste, IntoADocumentBeforeTheSelectedFrame) {
    auto source = Doc(2);
    Frame& s = *source->FrameAt(1);
    s.name = "copied";
    s.left = 2;
    s.top = 1;
    s.delay = 33;
    SetDisposal(s, 2);
    SetWaitForInput(s, true);
    SetTransparent(s, true);
    s.transparentIndex = 1;
    const auto record = BuildFrameClip(*source, s);
    const auto dib = BuildPackedDib(*source, s);
    auto doc = Doc(1);
    PreferenceBlock prefs;
    prefs.Set(PreferenceBlock::kDefaultLoop, 3);
    ScriptedUiHost host;
    SilentProgress progress;
    ASSERT_EQ(PasteFrame(doc, 0, std::span<const uint8_t>(record), std::span<const uint8_t>(dib), host, progress,
                         prefs),
              Result::Done);
    EXPECT_EQ(host.mergeQuestions, 0);  // its palette is the document's
    ASSERT_EQ(doc->FrameCount(), 2);
    const Frame& p = *doc->FrameAt(0);
    EXPECT_EQ(p.name, "copied");
    EXPECT_EQ(p.left, 2);
    EXPECT_EQ(p.delay, 33u);
    EXPECT_EQ(p.Disposal(), 2);
    EXPECT_FALSE(p.WaitForInput());
    EXPECT_TRUE(p.Transparent());
    EXPECT_EQ(p.bitmap->pixels, s.bitmap->pixels);
    EXPECT_EQ(doc->playCount, 3u);  // a single frame became an animation
}

TEST(Paste, WithoutRecordOrDocument) {
    auto source = Doc(1);
    const auto dib = BuildPackedDib(*source, *source->FrameAt(0));
    std::unique_ptr<Animation> doc;
    PreferenceBlock prefs;
    prefs.Set(PreferenceBlock::kDefaultDelay, 44);
    ScriptedUiHost host;
    SilentProgress progress;
    ASSERT_EQ(PasteFrame(doc, -1, std::nullopt, std::span<const uint8_t>(dib), host, progress, prefs), Result::Done);
    ASSERT_TRUE(doc);
    const Frame& f = *doc->FrameAt(0);
    EXPECT_EQ(f.name, "[Unnamed]");
    EXPECT_EQ(f.left, 0);
    EXPECT_EQ(f.delay, 44u);
    EXPECT_EQ(*doc->globalPalette, kPal);
    EXPECT_EQ(doc->colorUsage[0], 32u);
}

TEST(Paste, WithoutDibSaysSo) {
    std::unique_ptr<Animation> doc = Doc(1);
    ScriptedUiHost host;
    PreferenceBlock prefs;
    SilentProgress progress;
    EXPECT_EQ(PasteFrame(doc, 0, std::nullopt, std::nullopt, host, progress, prefs), Result::Failed);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Cannot paste any of the available formats.");
    EXPECT_EQ(doc->FrameCount(), 1);
    const std::vector<uint8_t> junk = {1, 2, 3};
    EXPECT_EQ(PasteFrame(doc, 0, std::span<const uint8_t>(junk), std::span<const uint8_t>(junk), host, progress, prefs),
              Result::Failed);
    EXPECT_EQ(doc->FrameCount(), 1);
}

}  // namespace
}  // namespace cinemill
