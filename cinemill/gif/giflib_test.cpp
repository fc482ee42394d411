// Differential tests against giflib, an independent decoder.
#include <gtest/gtest.h>

#ifdef CM_HAVE_GIFLIB
#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "cinemill/doc/render.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

struct MemoryInput {
    const std::vector<uint8_t>* bytes;
    size_t pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int n) {
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    const size_t k = std::min<size_t>(static_cast<size_t>(n), in->bytes->size() - in->pos);
    std::memcpy(out, in->bytes->data() + in->pos, k);
    in->pos += k;
    return static_cast<int>(k);
}

// A decoded frame: rectangle, colours in effect and indices, as giflib sees it.
struct GFrame {
    int left, top, width, height;
    std::vector<Rgb> colors;
    std::vector<uint8_t> indices;
};

// Frames giflib decodes; false when giflib refuses the file.
bool GiflibDecode(const std::vector<uint8_t>& bytes, std::vector<GFrame>& out) {
    MemoryInput in{&bytes, 0};
    int err = 0;
    GifFileType* gif = DGifOpen(&in, ReadFromMemory, &err);
    if (!gif) return false;
    const bool ok = DGifSlurp(gif) == GIF_OK;
    if (ok) {
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& s = gif->SavedImages[i];
            GFrame f{s.ImageDesc.Left, s.ImageDesc.Top, s.ImageDesc.Width, s.ImageDesc.Height, {}, {}};
            const ColorMapObject* map = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap : gif->SColorMap;
            if (map)
                for (int c = 0; c < map->ColorCount; ++c)
                    f.colors.push_back({map->Colors[c].Red, map->Colors[c].Green, map->Colors[c].Blue});
            f.indices.assign(s.RasterBits, s.RasterBits + static_cast<size_t>(f.width) * f.height);
            out.push_back(std::move(f));
        }
    }
    DGifCloseFile(gif, &err);
    return ok;
}

std::vector<uint8_t> Indices(const Frame& f) {
    std::vector<uint8_t> out;
    if (!f.bitmap) return out;
    for (int y = 0; y < f.bitmap->height; ++y)
        out.insert(out.end(), f.bitmap->Row(y), f.bitmap->Row(y) + f.bitmap->width);
    return out;
}

void ExpectSameFrames(const Animation& a, const std::vector<GFrame>& g, const std::string& what) {
    const auto frames = a.Frames();
    ASSERT_EQ(frames.size(), g.size()) << what;
    for (size_t i = 0; i < g.size(); ++i) {
        const Frame& f = *frames[i];
        EXPECT_EQ(f.left, g[i].left) << what << " frame " << i;
        EXPECT_EQ(f.top, g[i].top) << what << " frame " << i;
        EXPECT_EQ(f.width, g[i].width) << what << " frame " << i;
        EXPECT_EQ(f.height, g[i].height) << what << " frame " << i;
        const Palette* p = PaletteInEffect(a, f);
        // Our writer pads colour tables to a power of two, as GIF requires.
        const size_t n = p ? static_cast<size_t>(p->size()) : 0;
        ASSERT_LE(n, g[i].colors.size()) << what;
        for (size_t c = 0; c < n; ++c) EXPECT_EQ((*p)[static_cast<int>(c)], g[i].colors[c]) << what;
        EXPECT_TRUE(Indices(f) == g[i].indices) << what << " frame " << i;
    }
}

// True when what the writer makes of the document is a file giflib takes:
// frames with pixels (giflib refuses images without), every pixel inside
// its palette (frames that reach beyond it are not valid input for any
// writer; the corpus has a few on purpose).
bool WritableForGiflib(const Animation& a) {
    if (a.FrameCount() == 0) return false;
    for (const Frame* f : a.Frames()) {
        if (f->width <= 0 || f->height <= 0) return false;
        const Palette* p = PaletteInEffect(a, *f);
        for (uint8_t v : Indices(*f))
            if (!p || v >= p->size()) return false;
    }
    return true;
}

TEST(Giflib, CorpusFilesGiflibDecodesReadTheSame) {
    const auto files = testing::GifsUnder(testing::CorpusDir());
    if (files.empty()) GTEST_SKIP() << "corpus missing";
    int compared = 0;
    for (const auto& path : files) {
        const auto bytes = testing::FileBytes(path);
        std::vector<GFrame> g;
        if (!GiflibDecode(bytes, g)) continue;
        auto r = testing::ReadBytes(bytes);
        ASSERT_TRUE(r.outcome.animation) << path;
        ExpectSameFrames(*r.outcome.animation, g, path.string());
        ++compared;
    }
    EXPECT_GT(compared, 100);
}

TEST(Giflib, WhatWeWriteDecodesToTheFramesWeWrote) {
    const auto files = testing::GifsUnder(testing::CorpusDir());
    if (files.empty()) GTEST_SKIP() << "corpus missing";
    int compared = 0;
    for (const auto& path : files) {
        auto r = testing::ReadBytes(testing::FileBytes(path));
        if (r.outcome.result != Result::Done) continue;
        Animation& a = *r.outcome.animation;
        if (!WritableForGiflib(a)) continue;
        const auto written = testing::WriteBytes(a);
        std::vector<GFrame> g;
        ASSERT_TRUE(GiflibDecode(written, g)) << path;
        ExpectSameFrames(a, g, path.string());
        ++compared;
    }
    EXPECT_GT(compared, 100);
}

// Every pixel of every picture of `b` within the lossy bound of level
// `level` (Euclidean RGB distance 2/5 of it) of the same pixel of `a`, and
// transparent exactly where `a`'s is. The pixels that differ are added to
// `changed`.
void ExpectPicturesWithinBound(const Animation& a, const Animation& b, int level, int* changed) {
    const auto x = RenderAll(a), y = RenderAll(b);
    ASSERT_EQ(x.size(), y.size());
    const int64_t bound = int64_t{16} * level * level / 25;  // 4 * distance^2
    for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(x[i].rgba.size(), y[i].rgba.size());
        for (size_t p = 0; p + 3 < x[i].rgba.size(); p += 4) {
            const uint8_t* u = x[i].rgba.data() + p;
            const uint8_t* v = y[i].rgba.data() + p;
            ASSERT_EQ(u[3], v[3]) << "picture " << i << " pixel " << p / 4;
            if (u[3] == 0 || std::equal(u, u + 3, v)) continue;
            ++*changed;
            const int dr = u[0] - v[0], dg = u[1] - v[1], db = u[2] - v[2];
            ASSERT_LE(4 * (int64_t{dr} * dr + dg * dg + db * db), bound) << "picture " << i << " pixel " << p / 4;
        }
    }
}

// Lossy writing over the corpus: giflib decodes every file to the indexes
// our reader reads, every picture stays within the bound of the input's
// (transparent exactly where it was, though the frames' transparent pixels
// may change to colours and back), and no file grows.
TEST(Giflib, LossyFilesDecodeWithinTheErrorBound) {
    const auto files = testing::GifsUnder(testing::CorpusDir());
    if (files.empty()) GTEST_SKIP() << "corpus missing";
    int compared = 0, smaller = 0, changed = 0, cleared = 0, filled = 0;
    for (const auto& path : files) {
        auto r = testing::ReadBytes(testing::FileBytes(path));
        if (r.outcome.result != Result::Done) continue;
        Animation& a = *r.outcome.animation;
        if (!WritableForGiflib(a)) continue;
        SCOPED_TRACE(path.string());
        const auto exact = testing::WriteBytes(a);
        for (int level : {30, 200}) {
            VectorSink sink;
            SilentProgress progress;
            ASSERT_EQ(WriteGif(sink, a, progress, level), Result::Done);
            EXPECT_LE(sink.bytes.size(), exact.size());
            smaller += sink.bytes.size() < exact.size();
            std::vector<GFrame> g;
            ASSERT_TRUE(GiflibDecode(sink.bytes, g));
            auto back = testing::ReadBytes(sink.bytes);
            ASSERT_TRUE(back.outcome.animation);
            const Animation& b = *back.outcome.animation;
            const auto frames = a.Frames();
            const auto read = b.Frames();
            ASSERT_EQ(g.size(), frames.size());
            ASSERT_EQ(read.size(), frames.size());
            for (size_t i = 0; i < g.size(); ++i) {
                ASSERT_EQ(Indices(*read[i]), g[i].indices) << "frame " << i;
                const Frame& f = *frames[i];
                if (!f.Transparent()) continue;
                const auto own = Indices(f);
                for (size_t k = 0; k < own.size(); ++k) {
                    // A transparent pixel may take a colour (the pictures
                    // are checked below to show what they showed).
                    if (own[k] == f.transparentIndex) filled += g[i].indices[k] != f.transparentIndex;
                    else cleared += g[i].indices[k] == f.transparentIndex;
                }
            }
            ExpectPicturesWithinBound(a, b, level, &changed);
        }
        ++compared;
    }
    EXPECT_GT(compared, 100);
    EXPECT_GT(smaller, 50);
    EXPECT_GT(changed, 1000);
    EXPECT_GT(cleared, 100);  // opaque pixels that let the picture beneath show
    EXPECT_GT(filled, 100);   // transparent pixels written as the colour beneath
}

// Lossy compression kept in the frames: each frame that came out smaller
// shows what its kept data decodes to (giflib agrees), the pictures stay
// within the bound, and saving writes the kept bytes, so the file is no
// larger than the exact one and reading it back gives the same pixels.
TEST(Giflib, LossyDataKeptInTheFrames) {
    int files = 0, kept = 0;
    for (const char* name : {"wuffs/test/data/muybridge.gif", "wuffs/test/data/hippopotamus.interlaced.gif",
                             "pillow/Tests/images/transparent.gif"}) {
        auto r = testing::ReadBytes(testing::FileBytes(testing::CorpusDir() / name));
        if (!r.outcome.animation) continue;
        ++files;
        SCOPED_TRACE(name);
        Animation& a = *r.outcome.animation;
        auto original = CopyAnimation(a);
        const auto exact = testing::WriteBytes(a);
        SilentProgress progress;
        bool changed = false;
        ASSERT_EQ(CompressFramesLossily(a, 80, progress, &changed), Result::Done);
        const auto frames = a.Frames(), before = original->Frames();
        ASSERT_EQ(frames.size(), before.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            if (Indices(*frames[i]) != Indices(*before[i])) {
                ++kept;
                EXPECT_NE(ValidKeptData(a, *frames[i]), nullptr) << "frame " << i;
            }
        }
        int moved = 0;
        ExpectPicturesWithinBound(*original, a, 80, &moved);
        EXPECT_EQ(changed, kept > 0);
        const auto lossy = testing::WriteBytes(a);
        EXPECT_LE(lossy.size(), exact.size());
        std::vector<GFrame> g;
        ASSERT_TRUE(GiflibDecode(lossy, g));
        ASSERT_EQ(g.size(), frames.size());
        for (size_t i = 0; i < g.size(); ++i) EXPECT_TRUE(Indices(*frames[i]) == g[i].indices) << "frame " << i;
        // Written once more, the kept data goes out as it is.
        EXPECT_EQ(testing::WriteBytes(a), lossy);
    }
    if (files == 0) GTEST_SKIP() << "corpus missing";
    EXPECT_GT(kept, 0);
}

// Level 0 is the exact writer.
TEST(Giflib, LossyZeroIsExact) {
    auto r = testing::ReadBytes(testing::FileBytes(testing::CorpusDir() / "wuffs/test/data/muybridge.gif"));
    if (!r.outcome.animation) GTEST_SKIP() << "corpus missing";
    VectorSink sink;
    SilentProgress progress;
    ASSERT_EQ(WriteGif(sink, *r.outcome.animation, progress, 0), Result::Done);
    EXPECT_EQ(sink.bytes, testing::WriteBytes(*r.outcome.animation));
}

}  // namespace
}  // namespace cinemill
#endif
