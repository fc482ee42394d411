// Frames keep the compressed data their file held while nothing it encodes
// changes: resaving writes it back, every change that it encodes drops it.
#include <gtest/gtest.h>

#include <optional>

#include "cinemill/gif/gif_builder.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

using testing::FileBytes;
using testing::GifBuilder;
using testing::ReadBytes;
using testing::WriteBytes;

// One image of a GIF stream as an independent walk over its blocks finds it.
struct StreamImage {
    bool hasControl = false;           // a graphic control extension came before it
    std::vector<uint8_t> data;         // minimum code size, sub-blocks, terminator
};

// The images of a well-formed stream; none when the walk runs off the end.
std::optional<std::vector<StreamImage>> WalkImages(const std::vector<uint8_t>& b) {
    size_t p = 13;
    if (b.size() < p) return std::nullopt;
    if (b[10] & 0x80) p += 3u * (2u << (b[10] & 7));
    auto skip_sub_blocks = [&]() {
        while (p < b.size() && b[p] != 0) p += 1 + size_t{b[p]};
        if (p >= b.size()) return false;
        ++p;
        return true;
    };
    std::vector<StreamImage> out;
    bool control = false;
    while (p < b.size()) {
        const uint8_t kind = b[p++];
        if (kind == 0x3B) return out;
        if (kind == 0x21) {
            if (p >= b.size()) return std::nullopt;
            if (b[p] == 0xF9) control = true;
            ++p;
            if (!skip_sub_blocks()) return std::nullopt;
        } else if (kind == 0x2C) {
            if (p + 9 > b.size()) return std::nullopt;
            const uint8_t flags = b[p + 8];
            p += 9;
            if (flags & 0x80) p += 3u * (2u << (flags & 7));
            const size_t start = p;
            ++p;  // minimum code size
            if (p > b.size() || !skip_sub_blocks()) return std::nullopt;
            out.push_back({control, std::vector<uint8_t>(b.begin() + static_cast<ptrdiff_t>(start),
                                                         b.begin() + static_cast<ptrdiff_t>(p))});
            control = false;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// A 4 x 3 frame of a 4-colour file, coded one pixel per clear code, so that
// data compressed again from the pixels comes out different (shorter).
const std::vector<uint8_t> kPixels = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2};

std::vector<uint8_t> TwoFrameFile(bool controls = true) {
    GifBuilder g(4, 3);
    if (controls) g.Gce(0x04, 7, 0);
    g.Image(0, 0, 4, 3, kPixels);
    if (controls) g.Gce(0x08, 9, 0);
    g.Image(0, 0, 4, 3, {3, 3, 3, 3, 0, 0, 0, 0, 1, 2, 1, 2});
    return g.Trailer().b;
}

std::vector<uint8_t> DataOf(const std::vector<uint8_t>& file, size_t image) {
    auto images = WalkImages(file);
    EXPECT_TRUE(images);
    if (!images || image >= images->size()) return {};
    return (*images)[image].data;
}

// The pixels of frame `i` after writing `a` and reading the bytes back.
std::vector<uint8_t> PixelsAfterRoundTrip(Animation& a, int i) {
    auto r = ReadBytes(WriteBytes(a));
    EXPECT_EQ(r.outcome.result, Result::Done);
    std::vector<uint8_t> out;
    const Frame* f = r.outcome.animation ? r.outcome.animation->FrameAt(i) : nullptr;
    if (!f || !f->bitmap) return out;
    for (int y = 0; y < f->height; ++y)
        for (int x = 0; x < f->width; ++x) out.push_back(f->bitmap->At(x, y));
    return out;
}

TEST(KeptData, UnchangedFramesAreWrittenWithTheFilesOwnDataBytes) {
    const auto in = TwoFrameFile();
    auto r = ReadBytes(in);
    ASSERT_EQ(r.outcome.result, Result::Done);
    Animation& a = *r.outcome.animation;
    for (const Frame* f : std::as_const(a).Frames()) ASSERT_TRUE(ValidKeptData(a, *f));
    const auto out = WriteBytes(a);
    EXPECT_EQ(out.size(), in.size());
    EXPECT_EQ(DataOf(out, 0), DataOf(in, 0));
    EXPECT_EQ(DataOf(out, 1), DataOf(in, 1));
    // The counts see the same bytes the writer writes.
    SilentProgress progress;
    const std::string sig = PreferenceBlock().SignatureText();
    EXPECT_EQ(EncodedSize(a, true, progress, PreferenceBlock()),
              static_cast<int32_t>(out.size() + (sig.empty() ? 0 : sig.size() + 4)));
    EXPECT_EQ(FrameEncodedSize(a, *a.FrameAt(0)), 8 + 10 + static_cast<int64_t>(DataOf(in, 0).size()));
}

TEST(KeptData, EveryChangeToWhatTheDataEncodesDropsIt) {
    const auto in = TwoFrameFile();
    const auto kept = DataOf(in, 0);
    struct Change {
        const char* what;
        void (*apply)(Animation&, Frame&);
    };
    const Change changes[] = {
        {"a pixel written in place", [](Animation&, Frame& f) { f.bitmap->Row(1)[2] = 0; }},
        {"a new bitmap", [](Animation&, Frame& f) { SetBitmap(f, *f.bitmap); }},
        {"the size", [](Animation& a, Frame& f) {
             a.width = 3;
             ASSERT_TRUE(ClipFrameToScreen(f, a.width, a.height));
         }},
        {"a global palette entry", [](Animation& a, Frame&) { a.globalPalette->entries[2].g ^= 1; }},
        {"another global palette", [](Animation& a, Frame&) {
             Palette p = *a.globalPalette;
             p.entries[0].r ^= 0x10;
             SetGlobalPalette(a, p);
         }},
        {"a local palette", [](Animation& a, Frame& f) { SetLocalPalette(f, *a.globalPalette); }},
        {"interlacing", [](Animation&, Frame& f) { SetInterlaced(f, true); }},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        auto r = ReadBytes(in);
        Animation& a = *r.outcome.animation;
        Frame& f = *a.FrameAt(0);
        c.apply(a, f);
        EXPECT_FALSE(ValidKeptData(a, f));
        // What is written now is compressed from the frame as it is.
        std::vector<uint8_t> expected;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) expected.push_back(f.bitmap->At(x, y));
        const auto out = WriteBytes(a);
        EXPECT_NE(DataOf(out, 0), kept);
        EXPECT_EQ(PixelsAfterRoundTrip(a, 0), expected);
        EXPECT_EQ(FrameEncodedSize(a, f), 8 + 10 + (f.localPalette ? 12 : 0) +
                                              static_cast<int64_t>(DataOf(out, 0).size()));
    }
}

TEST(KeptData, ChangesOutsideTheDataKeepIt) {
    const auto in = TwoFrameFile();
    auto r = ReadBytes(in);
    Animation& a = *r.outcome.animation;
    Frame& f = *a.FrameAt(0);
    SetDelay(f, 55);
    SetDisposal(f, 2);
    SetTransparent(f, true);
    SetTransparentIndex(f, 3);
    SetName(f, "renamed");
    f.left = 1;
    SetInterlaced(f, false);                  // as it already was
    SetGlobalPalette(a, *a.globalPalette);    // the same colours
    SetLocalPalette(f, std::nullopt);         // had none
    EXPECT_TRUE(ValidKeptData(a, f));
    EXPECT_EQ(DataOf(WriteBytes(a), 0), DataOf(in, 0));
}

TEST(KeptData, FollowsFrameCopiesSoUndoSnapshotsStillWriteTheFilesBytes) {
    const auto in = TwoFrameFile();
    auto r = ReadBytes(in);
    Animation& a = *r.outcome.animation;
    auto snapshot = CopyAnimation(a);
    // The copy shares the bytes instead of holding them twice.
    EXPECT_EQ(snapshot->FrameAt(0)->keptData.get(), a.FrameAt(0)->keptData.get());
    a.FrameAt(0)->bitmap->Row(0)[0] = 3;
    SetInterlaced(*a.FrameAt(1), true);
    EXPECT_FALSE(ValidKeptData(a, *a.FrameAt(0)));
    EXPECT_FALSE(ValidKeptData(a, *a.FrameAt(1)));
    // Going back to the snapshot gives back the file's own data.
    const auto out = WriteBytes(*snapshot);
    EXPECT_EQ(out, WriteBytes(*ReadBytes(in).outcome.animation));
    EXPECT_EQ(DataOf(out, 0), DataOf(in, 0));
    EXPECT_EQ(DataOf(out, 1), DataOf(in, 1));
    // A frame copied into a document with other global colours does not
    // carry data drawn for the old ones.
    auto other = CopyAnimation(*snapshot);
    other->globalPalette->entries[1].b ^= 0x40;
    EXPECT_FALSE(ValidKeptData(*other, *other->FrameAt(0)));
}

TEST(KeptData, ExchangedPixelsTakeTheirDataAlong) {
    const auto in = TwoFrameFile();
    auto r = ReadBytes(in);
    Animation& a = *r.outcome.animation;
    ExchangePixels(*a.FrameAt(0), *a.FrameAt(1));
    ASSERT_TRUE(ValidKeptData(a, *a.FrameAt(0)));
    ASSERT_TRUE(ValidKeptData(a, *a.FrameAt(1)));
    const auto out = WriteBytes(a);
    EXPECT_EQ(DataOf(out, 0), DataOf(in, 1));
    EXPECT_EQ(DataOf(out, 1), DataOf(in, 0));
}

TEST(KeptData, OnlyWholeWellFormedDataIsKept) {
    // Ends early (no end code and too few pixels), a code size beyond 8,
    // and ones that are fine (a code size of 1 included, as files have it).
    auto early = ReadBytes(GifBuilder(4, 3).Image(0, 0, 4, 3, {1, 2, 3}).Trailer().b);
    ASSERT_TRUE(early.outcome.animation);
    EXPECT_FALSE(early.outcome.animation->FrameAt(0)->keptData);
    auto wide = ReadBytes(GifBuilder(4, 1).Image(0, 0, 4, 1, {1, 2, 3, 0}, 0, 9).Trailer().b);
    ASSERT_TRUE(wide.outcome.animation);
    EXPECT_FALSE(wide.outcome.animation->FrameAt(0)->keptData);
    const auto good_file = GifBuilder(4, 1).Image(0, 0, 4, 1, {1, 2, 3, 0}).Trailer().b;
    auto good = ReadBytes(good_file);
    ASSERT_TRUE(good.outcome.animation);
    const auto* k = good.outcome.animation->FrameAt(0)->keptData.get();
    ASSERT_TRUE(k);
    EXPECT_EQ(k->minCodeSize, 2);
    EXPECT_EQ(k->subBlocks.size() + 1, DataOf(good_file, 0).size());
    const auto one_bit = GifBuilder(4, 1, 2).Image(0, 0, 4, 1, {1, 0, 0, 1}, 0, 1).Trailer().b;
    auto narrow = ReadBytes(one_bit);
    ASSERT_TRUE(narrow.outcome.animation);
    ASSERT_TRUE(narrow.outcome.animation->FrameAt(0)->keptData);
    EXPECT_EQ(DataOf(WriteBytes(*narrow.outcome.animation), 0), DataOf(one_bit, 0));
}

TEST(KeptData, AControlBlockIsAddedOnlyWhenTheFrameNeedsOne) {
    PreferenceBlock prefs;
    prefs.Set(PreferenceBlock::kDefaultDelay, 12);
    const auto in = TwoFrameFile(/*controls=*/false);
    auto r = ReadBytes(in, prefs);
    Animation& a = *r.outcome.animation;
    ASSERT_EQ(a.FrameAt(0)->delay, 12u);
    // Read without one and unchanged: written without one, so the file
    // reads back the same everywhere and does not grow.
    auto out = WriteBytes(a);
    EXPECT_EQ(out.size(), in.size());
    auto images = WalkImages(out);
    ASSERT_TRUE(images);
    EXPECT_FALSE((*images)[0].hasControl);
    EXPECT_FALSE((*images)[1].hasControl);
    EXPECT_EQ(FrameEncodedSize(a, *a.FrameAt(0)), 10 + static_cast<int64_t>(DataOf(in, 0).size()));
    auto again = ReadBytes(out, prefs);
    EXPECT_EQ(again.outcome.animation->FrameAt(0)->delay, 12u);
    // Any value the block carries brings it back.
    SetDelay(*a.FrameAt(0), 30);
    SetTransparentIndex(*a.FrameAt(1), 2);
    images = WalkImages(WriteBytes(a));
    ASSERT_TRUE(images);
    EXPECT_TRUE((*images)[0].hasControl);
    EXPECT_TRUE((*images)[1].hasControl);
    for (auto set : {+[](Frame& f) { SetTransparent(f, true); }, +[](Frame& f) { SetDisposal(f, 1); },
                     +[](Frame& f) { SetWaitForInput(f, true); }}) {
        auto fresh = ReadBytes(in, prefs);
        set(*fresh.outcome.animation->FrameAt(0));
        images = WalkImages(WriteBytes(*fresh.outcome.animation));
        ASSERT_TRUE(images);
        EXPECT_TRUE((*images)[0].hasControl);
        EXPECT_FALSE((*images)[1].hasControl);
    }
    // A block of zeros that the file had stays; so do blocks of new frames.
    auto zero = ReadBytes(GifBuilder(4, 1).Gce(0, 0, 0).Image(0, 0, 4, 1, {1, 2, 3, 0}).Trailer().b);
    images = WalkImages(WriteBytes(*zero.outcome.animation));
    ASSERT_TRUE(images);
    EXPECT_TRUE((*images)[0].hasControl);
    auto made = NewAnimation(4, 1, prefs);
    SetBitmap(*made->FrameAt(0), *FrameBitmap::Create(4, 1));
    SetGlobalPalette(*made, *a.globalPalette);
    EXPECT_TRUE(WritesControlBlock(*made->FrameAt(0)));
}

// Every GIF of the corpus that reads whole: resaved unchanged it is never
// larger than the file, and each frame whose data was kept is written with
// exactly the file's data bytes. The kept data never takes more than the
// file's own size.
TEST(KeptData, CorpusResaveKeepsDataBytesAndNeverGrows) {
    int checked = 0, kept_frames = 0, repaired = 0;
    for (const auto& path : testing::GifsUnder(testing::CorpusDir())) {
        const auto in = FileBytes(path);
        auto r = ReadBytes(in);
        if (r.outcome.result != Result::Done || !r.outcome.animation) continue;
        SCOPED_TRACE(path.string());
        Animation& a = *r.outcome.animation;
        const auto out = WriteBytes(a);
        size_t kept_bytes = 0;
        bool all_kept = true;
        for (const Frame* f : std::as_const(a).Frames()) {
            if (f->keptData) kept_bytes += f->keptData->subBlocks.size() + 1;
            all_kept = all_kept && f->keptData;
        }
        // A frame whose data ended early or broke off was repaired by the
        // reader (its missing pixels are 0) and is compressed afresh.
        if (all_kept) EXPECT_LE(out.size(), in.size());
        else ++repaired;
        EXPECT_LE(kept_bytes, in.size());
        const auto before = WalkImages(in), after = WalkImages(out);
        ASSERT_TRUE(after);
        if (!before || before->size() != static_cast<size_t>(a.FrameCount())) continue;
        ASSERT_EQ(after->size(), before->size());
        for (int i = 0; i < a.FrameCount(); ++i) {
            if (!a.FrameAt(i)->keptData) continue;
            EXPECT_EQ((*after)[static_cast<size_t>(i)].data, (*before)[static_cast<size_t>(i)].data) << i;
            EXPECT_EQ((*after)[static_cast<size_t>(i)].hasControl, (*before)[static_cast<size_t>(i)].hasControl);
            ++kept_frames;
        }
        ++checked;
    }
    EXPECT_GT(checked, 100);
    EXPECT_LT(repaired, checked / 10);
    EXPECT_GT(kept_frames, 300);
}

}  // namespace
}  // namespace cinemill
