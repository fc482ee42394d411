#include "cinemill/imaging/optimize_lzw.h"

#include <gtest/gtest.h>

#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

// The counter must agree with the writer byte for byte: the optimizer keeps
// a variant only when the writer really makes it smaller.
TEST(LzwSizeCounterTest, AgreesWithTheWritersFrameSize) {
    LzwSizeCounter counter;
    uint32_t seed = 1;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (int colours : {2, 4, 16, 200}) {
        for (auto [w, h] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{64, 64}, std::pair{300, 200}}) {
            for (bool interlaced : {false, true}) {
                auto a = MakeAnimation(w, h, colours);
                std::vector<uint8_t> px(static_cast<size_t>(w * h));
                // Runs and noise, so that tables fill and clear.
                for (size_t i = 0; i < px.size(); ++i)
                    px[i] = static_cast<uint8_t>((next() % 4 == 0 ? next() : i / 7) % colours);
                a->blocks.push_back(MakeFrame(0, 0, w, h, px));
                Frame& f = *a->FrameAt(0);
                SetInterlaced(f, interlaced);
                const int m = WriterCodeSize(*f.bitmap, colours);
                // Graphic control (8), descriptor (10), code size byte and terminator.
                const int64_t data = FrameEncodedSize(*a, f) - 8 - 10 - 2;
                EXPECT_EQ(counter.Count(*f.bitmap, interlaced, m), data) << colours << " " << w << "x" << h;
                // With a limit below the size the count stops early.
                EXPECT_GT(counter.Count(*f.bitmap, interlaced, m, data / 2), data / 2);
                // Choosing with every pixel fixed changes nothing and counts the same.
                std::vector<uint8_t> fixed(static_cast<size_t>(w * h), 1);
                FrameBitmap copy = *f.bitmap;
                bool changed = true;
                EXPECT_EQ(counter.ChooseAndCount(copy, fixed.data(), static_cast<size_t>(w), 0, interlaced, m, changed),
                          data);
                EXPECT_FALSE(changed);
                EXPECT_EQ(copy.pixels, f.bitmap->pixels);
                // With free pixels the chosen bitmap counts as much as the writer says.
                std::vector<uint8_t> mask(static_cast<size_t>(w * h));
                for (auto& b : mask) b = next() % 3 == 0;
                changed = false;
                const int64_t chosen = counter.ChooseAndCount(copy, mask.data(), static_cast<size_t>(w),
                                                              static_cast<uint8_t>(colours - 1), interlaced, m, changed);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        if (mask[static_cast<size_t>(y * w + x)]) {
                            EXPECT_EQ(copy.At(x, y), f.bitmap->At(x, y));
                        }
                std::swap(*f.bitmap, copy);
                EXPECT_EQ(chosen, FrameEncodedSize(*a, f) - 20);
            }
        }
    }
}

// The race compresses its candidates side by side: followed to the end,
// each counts what the writer makes of the pixels it produced, and each
// produces the pixels its kind promises. Cut short, the leader still counts
// exactly and the others are given up.
TEST(LzwSizeCounterTest, RaceCountsEveryCandidateAsTheWriterDoes) {
    using Candidate = LzwSizeCounter::Candidate;
    LzwSizeCounter counter;
    uint32_t seed = 7;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (auto [w, h] : {std::pair{1, 1}, std::pair{9, 5}, std::pair{120, 90}}) {
        for (bool interlaced : {false, true}) {
            const int colours = 16;
            auto a = MakeAnimation(w, h, colours);
            std::vector<uint8_t> px(static_cast<size_t>(w * h));
            for (size_t i = 0; i < px.size(); ++i)
                px[i] = static_cast<uint8_t>((next() % 5 == 0 ? next() : i / 5) % (colours - 1));
            a->blocks.push_back(MakeFrame(0, 0, w, h, px));
            Frame& f = *a->FrameAt(0);
            SetInterlaced(f, interlaced);
            const FrameBitmap source = *f.bitmap;
            // Free pixels in long stretches, as unchanged screen areas are.
            std::vector<uint8_t> mask(static_cast<size_t>(w * h));
            for (size_t i = 0; i < mask.size(); ++i) mask[i] = (i / 13) % 3 == 0;
            const uint8_t fill = colours - 1;
            const int m = WriterCodeSize(source, colours, fill);
            auto writer_size = [&](const FrameBitmap& b) {
                *f.bitmap = b;
                return FrameEncodedSize(*a, f) - 20;
            };
            const Candidate::Kind kinds[5] = {Candidate::kKeep, Candidate::kFillAll, Candidate::kFillRuns,
                                              Candidate::kChooseFill, Candidate::kChooseOwn};
            for (double margin : {-1.0, 0.0}) {
                SCOPED_TRACE(margin);
                FrameBitmap outs[5];
                Candidate c[5];
                for (int i = 0; i < 5; ++i) {
                    c[i].kind = kinds[i];
                    c[i].out = i == 0 ? nullptr : &outs[i];
                }
                counter.Race(source, source, c, mask.data(), static_cast<size_t>(w), fill, interlaced, m, margin);
                int finished = 0;
                for (int i = 0; i < 5; ++i) {
                    if (c[i].count == INT64_MAX) {
                        EXPECT_GE(margin, 0.0) << i;
                        continue;
                    }
                    ++finished;
                    const FrameBitmap& b = i == 0 ? source : outs[i];
                    EXPECT_EQ(c[i].count, writer_size(b)) << i;
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x) {
                            const size_t k = static_cast<size_t>(y * w + x);
                            const uint8_t v = b.At(x, y), s = source.At(x, y);
                            if (mask[k] || i == 0) EXPECT_EQ(v, s) << i;
                            else if (i == 1) EXPECT_EQ(v, fill);
                            else EXPECT_TRUE(v == s || v == fill) << i;
                        }
                }
                EXPECT_GE(finished, 1);
                if (margin < 0) {
                    EXPECT_EQ(finished, 5);
                    // The choosers do what ChooseAndCount does.
                    for (bool prefer_fill : {true, false}) {
                        FrameBitmap b = source;
                        bool changed = false;
                        const int64_t n = counter.ChooseAndCount(b, mask.data(), static_cast<size_t>(w), fill,
                                                                 interlaced, m, changed, prefer_fill);
                        const int i = prefer_fill ? 3 : 4;
                        EXPECT_EQ(n, c[i].count);
                        EXPECT_EQ(b.pixels, outs[i].pixels);
                        EXPECT_EQ(changed, c[i].changed);
                    }
                    EXPECT_EQ(c[1].changed, outs[1].pixels != source.pixels);
                } else if (w * h > 1000) {
                    // Candidates this different part ways early.
                    EXPECT_LT(finished, 5);
                }
            }
        }
    }
}

}  // namespace
}  // namespace cinemill
