#include <gtest/gtest.h>

#include <random>

#include "cinemill/base/strings.h"
#include "cinemill/gif/gif_builder.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

// A one-frame animation with `colors` palette entries and the given pixels.
std::unique_ptr<Animation> OneFrame(int w, int h, int colors, const std::vector<uint8_t>& pixels,
                                    bool interlaced = false) {
    PreferenceBlock prefs;
    auto a = NewAnimation(static_cast<uint32_t>(w), static_cast<uint32_t>(h), prefs);
    std::vector<uint8_t> rgb;
    for (int i = 0; i < colors; ++i) rgb.insert(rgb.end(), {uint8_t(i), uint8_t(i * 3), uint8_t(i * 7)});
    SetGlobalPalette(*a, Palette::FromTriples(rgb.data(), colors));
    auto bmp = FrameBitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bmp->Row(y)[x] = pixels[static_cast<size_t>(y * w + x)];
    SetBitmap(*a->FrameAt(0), std::move(*bmp));
    SetInterlaced(*a->FrameAt(0), interlaced);
    return a;
}

// Walks the written stream: returns the offset of the first image's minimum
// code size byte.
size_t FirstImageData(const std::vector<uint8_t>& f) {
    size_t p = 13;
    if (f[10] & 0x80) p += 3u * (2u << (f[10] & 7));
    while (f[p] == 0x21) {
        p += 2;
        while (f[p] != 0) p += 1u + f[p];
        ++p;
    }
    EXPECT_EQ(f[p], 0x2C);
    const uint8_t flags = f[p + 9];
    p += 10;
    if (flags & 0x80) p += 3u * (2u << (flags & 7));
    return p;
}

TEST(GifWriter, LoopBlockFromPlayCount) {
    const std::pair<uint32_t, int> cases[] = {{0, 0}, {1, -1}, {3, 2}, {65536, 65535}};
    for (const auto& [play, loop] : cases) {
        auto a = OneFrame(1, 1, 2, {0});
        a->playCount = play;
        const auto bytes = WriteBytes(*a);
        const std::string s(bytes.begin(), bytes.end());
        const auto at = s.find("NETSCAPE2.0");
        if (loop < 0) {
            EXPECT_EQ(at, std::string::npos);
            continue;
        }
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(bytes[at + 11], 3);
        EXPECT_EQ(bytes[at + 12], 1);
        EXPECT_EQ(bytes[at + 13] | (bytes[at + 14] << 8), loop);
        EXPECT_EQ(bytes[at + 15], 0);
        // Reading it back gives the same play count.
        EXPECT_EQ(ReadBytes(bytes).outcome.animation->playCount, play);
    }
}

TEST(GifWriter, ColorTablesAndMinimumCodeSizes) {
    const std::tuple<int, int, int> cases[] = {{2, 2, 2}, {3, 4, 2}, {5, 8, 3}, {200, 256, 8}};
    for (const auto& [colors, entries, min_code] : cases) {
        auto a = OneFrame(2, 1, colors, {0, 1});
        const auto bytes = WriteBytes(*a);
        EXPECT_EQ(2 << (bytes[10] & 7), entries) << colors;
        if (colors == 3) {
            EXPECT_EQ(bytes[13 + 9], 0);
            EXPECT_EQ(bytes[13 + 10], 0);
            EXPECT_EQ(bytes[13 + 11], 0);
        }
        EXPECT_EQ(bytes[FirstImageData(bytes)], min_code) << colors;
        EXPECT_EQ(ReadBytes(bytes).outcome.animation->globalPalette->size(), entries);
    }
}

TEST(GifWriter, SubBlocksOf254Bytes) {
    std::mt19937 rng(7);
    std::vector<uint8_t> px(100 * 100);
    for (auto& p : px) p = static_cast<uint8_t>(rng());
    auto a = OneFrame(100, 100, 256, px);
    const auto bytes = WriteBytes(*a);
    size_t p = FirstImageData(bytes) + 1;
    std::vector<int> lengths;
    while (bytes[p] != 0) {
        lengths.push_back(bytes[p]);
        p += 1u + bytes[p];
    }
    ASSERT_GT(lengths.size(), 3u);
    for (size_t i = 0; i + 1 < lengths.size(); ++i) EXPECT_EQ(lengths[i], 254);
    EXPECT_LE(lengths.back(), 254);
    EXPECT_EQ(bytes[p + 1], 0x3B);
}

// Reads LZW codes from a written image: the widths each code was read at
// and the codes, following the decoder's width rules.
std::vector<std::pair<int, int>> Codes(const std::vector<uint8_t>& bytes) {
    size_t p = FirstImageData(bytes);
    const int m = bytes[p++];
    std::vector<uint8_t> data;
    while (bytes[p] != 0) {
        data.insert(data.end(), bytes.begin() + static_cast<ptrdiff_t>(p + 1),
                    bytes.begin() + static_cast<ptrdiff_t>(p + 1 + bytes[p]));
        p += 1u + bytes[p];
    }
    const int clear = 1 << m;
    int width = m + 1, next = clear + 2;
    bool after_clear = true;
    size_t bit = 0;
    std::vector<std::pair<int, int>> out;
    while (bit + static_cast<size_t>(width) <= data.size() * 8) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            if (data[bit / 8] & (1 << (bit % 8))) code |= 1 << i;
        out.emplace_back(width, code);
        if (code == clear) {
            width = m + 1;
            next = clear + 2;
            after_clear = true;
            continue;
        }
        if (code == clear + 1) break;
        if (!after_clear && next < 4096) {
            ++next;
            if (next == (1 << width) && width < 12) ++width;
        }
        after_clear = false;
    }
    return out;
}

TEST(GifWriter, FullTableSendsClearAt12BitsAndReturnsToStartWidth) {
    std::mt19937 rng(3);
    std::vector<uint8_t> px(128 * 128);
    for (auto& p : px) p = static_cast<uint8_t>(rng() % 256);
    auto a = OneFrame(128, 128, 256, px);
    const auto codes = Codes(WriteBytes(*a));
    ASSERT_GT(codes.size(), 5000u);
    EXPECT_EQ(codes[0], std::make_pair(9, 256));
    size_t clears = 0;
    for (size_t i = 1; i < codes.size(); ++i) {
        if (codes[i].second != 256) continue;
        ++clears;
        EXPECT_EQ(codes[i].first, 12);
        ASSERT_LT(i + 1, codes.size());
        EXPECT_EQ(codes[i + 1].first, 9);
    }
    EXPECT_GE(clears, 1u);
    // And the stream decodes back to the same pixels.
    auto r = ReadBytes(WriteBytes(*a));
    EXPECT_EQ(r.outcome.animation->FrameAt(0)->bitmap->pixels, a->FrameAt(0)->bitmap->pixels);
}

TEST(GifWriter, InterlacedRowOrder) {
    auto a = OneFrame(1, 3, 4, {0, 1, 2}, true);
    const auto codes = Codes(WriteBytes(*a));
    std::vector<int> values;
    for (const auto& [w, c] : codes)
        if (c < 4) values.push_back(c);
    EXPECT_EQ(values, (std::vector<int>{0, 2, 1}));
    auto r = ReadBytes(WriteBytes(*a));
    EXPECT_EQ(r.outcome.animation->FrameAt(0)->bitmap->pixels, a->FrameAt(0)->bitmap->pixels);
}

TEST(GifWriter, FrameBlocksAndSizes) {
    auto a = OneFrame(3, 2, 4, {0, 1, 2, 3, 2, 1});
    Frame& f = *a->FrameAt(0);
    f.left = 5;
    f.top = 6;
    SetDelay(f, 300);
    SetDisposal(f, 3);
    SetTransparentIndex(f, 2);
    SetTransparent(f, true);
    const uint8_t local[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    SetLocalPalette(f, Palette::FromTriples(local, 3));
    a->blocks.push_back(NewComment("after"));
    const auto bytes = WriteBytes(*a);
    // Signature, screen, global table, loop block, then the frame's blocks.
    size_t p = 13 + 12 + (a->playCount != 1 ? 19 : 0);
    const std::vector<uint8_t> gce = {0x21, 0xF9, 4, f.controlFlags, 44, 1, 2, 0};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + static_cast<ptrdiff_t>(p),
                                   bytes.begin() + static_cast<ptrdiff_t>(p + 8)),
              gce);
    EXPECT_EQ(bytes[p + 8], 0x2C);
    EXPECT_EQ(bytes[p + 9], 5);
    EXPECT_EQ(bytes[p + 11], 6);
    EXPECT_EQ(bytes[p + 17], 0x81);  // local table of 4 entries
    const int64_t frame_size = FrameEncodedSize(*a, f);
    // The frame's blocks end where the comment begins.
    EXPECT_EQ(bytes[p + static_cast<size_t>(frame_size)], 0x21);
    EXPECT_EQ(bytes[p + static_cast<size_t>(frame_size) + 1], 0xFE);
    // The local table raised the colour resolution only as far as needed.
    EXPECT_EQ((bytes[10] >> 4) & 7, 1);
}

TEST(GifWriter, ReadWriteReadKeepsFramesAndExtensions) {
    const auto files = testing::GifsUnder(testing::CorpusDir());
    if (files.empty()) GTEST_SKIP() << "corpus missing";
    int checked = 0;
    for (const auto& path : files) {
        auto first = ReadBytes(testing::FileBytes(path));
        if (first.outcome.result != Result::Done) continue;
        auto second = ReadBytes(WriteBytes(*first.outcome.animation));
        ASSERT_EQ(second.outcome.result, Result::Done) << path;
        const Animation& a = *first.outcome.animation;
        const Animation& b = *second.outcome.animation;
        EXPECT_EQ(a.playCount, b.playCount) << path;
        ASSERT_EQ(a.blocks.size(), b.blocks.size()) << path;
        for (size_t i = 0; i < a.blocks.size(); ++i) {
            ASSERT_EQ(a.blocks[i]->kind, b.blocks[i]->kind) << path;
            if (const Frame* fa = AsFrame(a.blocks[i].get())) {
                const Frame* fb = AsFrame(b.blocks[i].get());
                EXPECT_EQ(fa->bitmap->pixels, fb->bitmap->pixels) << path;
                EXPECT_EQ(fa->localPalette.has_value(), fb->localPalette.has_value()) << path;
                EXPECT_EQ(fa->delay, fb->delay) << path;
                EXPECT_EQ(fa->controlFlags, fb->controlFlags) << path;
                EXPECT_EQ(std::tie(fa->left, fa->top, fa->width, fa->height),
                          std::tie(fb->left, fb->top, fb->width, fb->height))
                    << path;
            } else {
                EXPECT_EQ(AsExtension(a.blocks[i].get())->data, AsExtension(b.blocks[i].get())->data)
                    << path;
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

TEST(GifWriter, SignatureRefreshLeavesOneSignatureFirst) {
    PreferenceBlock prefs;
    auto a = OneFrame(1, 1, 2, {0});
    a->blocks.push_back(NewComment("Built with Strober 1.0"));
    a->blocks.push_back(NewComment("a user's comment"));
    RefreshSignature(*a, prefs);
    RefreshSignature(*a, prefs);
    int signatures = 0;
    for (const auto& b : a->blocks)
        if (b->kind == BlockKind::Comment && IsSignatureText(CommentText(*AsExtension(b.get())), ""))
            ++signatures;
    EXPECT_EQ(signatures, 1);
    EXPECT_EQ(CommentText(*AsExtension(a->blocks[0].get())), "Built with Cinemill 2.6");
    EXPECT_EQ(CommentText(*AsExtension(a->blocks.back().get())), "a user's comment");
    // A custom signature replaces the old one; switching it off removes all.
    prefs.SetSignature("made by me");
    RefreshSignature(*a, prefs);
    EXPECT_EQ(CommentText(*AsExtension(a->blocks[0].get())), "made by me");
    EXPECT_EQ(a->blocks.size(), 3u);
    prefs.SetBits(PreferenceBlock::kProgramFlags, PreferenceBlock::kFlagNoSignature, true);
    PreferenceBlock custom_off = prefs;
    RefreshSignature(*a, custom_off);
    // "made by me" is no longer the current text, so it stays a user comment.
    EXPECT_EQ(a->blocks.size(), 3u);
    PreferenceBlock off;
    off.SetBits(PreferenceBlock::kProgramFlags, PreferenceBlock::kFlagNoSignature, true);
    auto b = OneFrame(1, 1, 2, {0});
    b->blocks.insert(b->blocks.begin(), NewComment("Built with Cinemill 2.6"));
    RefreshSignature(*b, off);
    EXPECT_EQ(b->blocks.size(), 1u);
}

TEST(GifWriter, EncodedSizeAnticipatesTheSignature) {
    PreferenceBlock prefs;
    auto a = OneFrame(4, 4, 16, std::vector<uint8_t>(16, 3));
    a->blocks.push_back(NewComment("Built with Cinemill 1.0"));
    SilentProgress progress;
    const int32_t predicted = EncodedSize(*a, true, progress, prefs);
    RefreshSignature(*a, prefs);
    EXPECT_EQ(predicted, static_cast<int32_t>(WriteBytes(*a).size()));
    // The cache answers until asked to recompute; a stopped count leaves -1.
    a->cachedSize = 5;
    EXPECT_EQ(EncodedSize(*a, false, progress, prefs), 5);
    CountdownProgress stop(0);
    EXPECT_EQ(EncodedSize(*a, true, stop, prefs), -1);
    EXPECT_EQ(a->cachedSize, -1);
}

// Answers "stop" from its `after`-th stop question on, counting them.
class StopAfterQuestions : public ProgressReporter {
public:
    explicit StopAfterQuestions(int after) : after_(after) {}
    bool StopRequested() const override { return ++asked_ > after_; }
    int Asked() const { return asked_; }

private:
    int after_;
    mutable int asked_ = 0;
};

TEST(GifWriter, AStopIsSeenWithinALargeFrameNotOnlyAfterIt) {
    // One 64 x 400 frame of noise: a count that is stopped after a few
    // checks ends long before the frame's data is written.
    std::mt19937 rng(5);
    std::vector<uint8_t> px(64 * 400);
    for (auto& v : px) v = static_cast<uint8_t>(rng() % 256);
    for (bool interlaced : {false, true}) {
        auto a = OneFrame(64, 400, 256, px, interlaced);
        const size_t full = WriteBytes(*a).size();
        StopAfterQuestions stop(3);
        CountingSink sink;
        EXPECT_EQ(WriteGif(sink, *a, stop), Result::Stopped) << interlaced;
        // The fourth question comes after 32 of the 400 rows.
        EXPECT_EQ(stop.Asked(), 4);
        EXPECT_LT(sink.Total(), static_cast<int64_t>(full) / 4) << interlaced;
        EXPECT_GT(sink.Total(), 64 * 24) << interlaced;
        // Nobody asking to stop: the same stream as ever, checked every 8 rows.
        StopAfterQuestions never(1 << 30);
        CountingSink whole;
        EXPECT_EQ(WriteGif(whole, *a, never), Result::Done);
        EXPECT_EQ(whole.Total(), static_cast<int64_t>(full));
        EXPECT_GE(never.Asked(), 50);
    }
}

TEST(GifWriter, ClipCheck) {
    PreferenceBlock prefs;
    auto a = OneFrame(2, 2, 2, {0, 1, 1, 0});
    ScriptedUiHost host;
    EXPECT_TRUE(ClipCheck(*a, host, prefs));
    EXPECT_TRUE(host.questions.empty());
    a->FrameAt(0)->left = -1;
    EXPECT_FALSE(ClipCheck(*a, host, prefs));  // No
    EXPECT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(a->FrameAt(0)->width, 2);
    host.answers.push_back(true);
    EXPECT_TRUE(ClipCheck(*a, host, prefs));
    EXPECT_EQ(a->FrameAt(0)->width, 1);
    EXPECT_EQ(a->FrameAt(0)->left, 0);
    // The preference clips without asking.
    prefs.SetBits(PreferenceBlock::kProgramFlags, PreferenceBlock::kFlagClipWithoutAsking, true);
    a->FrameAt(0)->top = 1;
    EXPECT_TRUE(ClipCheck(*a, host, prefs));
    EXPECT_EQ(host.questions.size(), 2u);
    EXPECT_EQ(a->FrameAt(0)->height, 1);
}

class SaveGifTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("cinemill_save_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "tmp");
        setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        std::filesystem::remove_all(dir_);
    }
    size_t TempFiles() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir_ / "tmp"),
                                                 std::filesystem::directory_iterator()));
    }
    std::filesystem::path dir_;
};

TEST_F(SaveGifTest, ReplacesTheTargetWithTheCompleteStream) {
    auto a = OneFrame(2, 2, 4, {0, 1, 2, 3});
    const auto target = (dir_ / "out.gif").string();
    testing::FileBytes(target);
    ScriptedUiHost host;
    SilentProgress progress;
    EXPECT_EQ(SaveGif(target, *a, host, progress), Result::Done);
    EXPECT_EQ(testing::FileBytes(target), WriteBytes(*a));
    EXPECT_EQ(TempFiles(), 0u);
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(SaveGifTest, StopOrFailureLeavesTheTargetAlone) {
    auto a = OneFrame(2, 2, 4, {0, 1, 2, 3});
    a->blocks.push_back(CopyBlock(*a->FrameAt(0)));
    const auto target = (dir_ / "keep.gif").string();
    {
        FILE* f = fopen(target.c_str(), "wb");
        fputs("old contents", f);
        fclose(f);
    }
    ScriptedUiHost host;
    CountdownProgress stop(1);
    EXPECT_EQ(SaveGif(target, *a, host, stop), Result::Stopped);
    EXPECT_TRUE(host.errors.empty());
    const std::vector<uint8_t> old = {'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', 's'};
    EXPECT_EQ(testing::FileBytes(target), old);
    EXPECT_EQ(TempFiles(), 0u);
    // A destination in a folder that does not exist cannot be written.
    SilentProgress progress;
    const auto missing = (dir_ / "no such dir" / "x.gif").string();
    EXPECT_EQ(SaveGif(missing, *a, host, progress), Result::Failed);
    EXPECT_EQ(host.errors, std::vector<std::string>{"Unable to write to " + missing + "."});
    EXPECT_EQ(TempFiles(), 0u);
    // A temporary folder that does not exist falls back to /tmp.
    setenv("TMPDIR", (dir_ / "missing-tmp").c_str(), 1);
    EXPECT_EQ(SaveGif(target, *a, host, progress), Result::Done);
    EXPECT_EQ(testing::FileBytes(target), WriteBytes(*a));
}

}  // namespace
}  // namespace cinemill
