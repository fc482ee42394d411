#include "cinemill/imaging/optimize_lzw.h"

#include <gtest/gtest.h>

#include <utility>

#include "cinemill/gif/gif_labels.h"

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
                    // The runs candidate fills exactly the runs of free
                    // pixels, in file order across row ends, that hold more
                    // than one colour.
                    std::vector<std::pair<int, int>> order;
                    ForRowsInFileOrder(h, interlaced, [&](int y) {
                        for (int x = 0; x < w; ++x) order.emplace_back(x, y);
                    });
                    auto is_free = [&](size_t j) {
                        return !mask[static_cast<size_t>(order[j].second * w + order[j].first)];
                    };
                    auto value = [&](size_t j) { return source.At(order[j].first, order[j].second); };
                    FrameBitmap runs = source;
                    for (size_t j = 0; j < order.size();) {
                        if (!is_free(j)) {
                            ++j;
                            continue;
                        }
                        size_t e = j;
                        bool one_colour = true;
                        for (; e < order.size() && is_free(e); ++e) one_colour = one_colour && value(e) == value(j);
                        if (!one_colour)
                            for (size_t k = j; k < e; ++k) runs.Row(order[k].second)[order[k].first] = fill;
                        j = e;
                    }
                    EXPECT_EQ(outs[2].pixels, runs.pixels);
                    EXPECT_EQ(c[2].changed, runs.pixels != source.pixels);
                } else if (w * h > 1000) {
                    // Candidates this different part ways early.
                    EXPECT_LT(finished, 5);
                }
            }
        }
    }
}

// The OR passes agree with a byte-by-byte OR at every length and offset,
// whatever non-zero value marks a fixed pixel.
TEST(LzwSizeCounterTest, OrPassesAgreeWithBytewiseOr) {
    uint32_t seed = 3;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    const uint8_t marks[] = {0x01, 0x80, 0xFF, 0x7F, 0x40};
    for (size_t n = 0; n < 41; ++n) {
        for (int round = 0; round < 20; ++round) {
            std::vector<uint8_t> px(n + 1), fixed(n + 1);
            for (size_t i = 0; i < n + 1; ++i) {
                // Mostly small values, so that a single stray bit shows.
                px[i] = static_cast<uint8_t>(next() % 7 == 0 ? 1u << (next() % 8) : next() % 4);
                fixed[i] = next() % 2 ? marks[next() % 5] : 0;
            }
            const size_t off = static_cast<size_t>(round % 2);  // unaligned starts too
            const size_t len = n;
            uint8_t all = 0, kept = 0, free = 0;
            for (size_t i = off; i < off + len; ++i) {
                all |= px[i];
                (fixed[i] ? kept : free) |= px[i];
            }
            EXPECT_EQ(OrOfBytes(px.data() + off, len), all) << n;
            uint8_t got_kept = 0xAA, got_free = 0xAA;
            OrOfFixedAndFree(px.data() + off, fixed.data() + off, len, got_kept, got_free);
            EXPECT_EQ(got_kept, kept) << n;
            EXPECT_EQ(got_free, free) << n;
            for (int m = 2; m < 8; ++m) {
                std::vector<uint8_t> want(px.begin() + static_cast<ptrdiff_t>(off),
                                          px.begin() + static_cast<ptrdiff_t>(off + len));
                for (size_t i = 0; i < len; ++i)
                    if (!fixed[off + i] && want[i] >= (1u << m)) want[i] = 3;
                std::vector<uint8_t> got(px.begin() + static_cast<ptrdiff_t>(off),
                                         px.begin() + static_cast<ptrdiff_t>(off + len));
                FitFreePixels(got.data(), fixed.data() + off, len, m, 3);
                EXPECT_EQ(got, want) << n << " " << m;
            }
        }
    }
}

// The code size widens for the widest pixel wherever it is, not for the
// first pixel beyond the palette.
TEST(LzwSizeCounterTest, WriterCodeSizeFollowsTheWidestPixel) {
    FrameBitmap b = *FrameBitmap::Create(9, 3);
    std::fill(b.pixels.begin(), b.pixels.end(), uint8_t{1});
    EXPECT_EQ(WriterCodeSize(b, 2), 2);
    EXPECT_EQ(WriterCodeSize(b, 16), 4);
    EXPECT_EQ(WriterCodeSize(b, 2, 9), 4);
    b.Row(0)[8] = 20;
    EXPECT_EQ(WriterCodeSize(b, 16), 5);
    b.Row(2)[3] = 200;
    EXPECT_EQ(WriterCodeSize(b, 16), 8);
    EXPECT_EQ(WriterCodeSize(b, 256), 8);
}

// A run of free pixels goes on from the end of a row to the start of the
// row after it in the data, which for an interlaced frame is that of the
// next row of its pass: one colour there stays, two colours take the fill
// index, a single free pixel stays.
TEST(LzwSizeCounterTest, RunsCandidateFollowsRowsInFileOrder) {
    using Candidate = LzwSizeCounter::Candidate;
    constexpr int kW = 3, kH = 10;
    constexpr uint8_t kFill = 15;
    FrameBitmap source = *FrameBitmap::Create(kW, kH);
    std::vector<uint8_t> mask(kW * kH, 1);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) source.Row(y)[x] = static_cast<uint8_t>(y % 3);
    auto set = [&](int x, int y, uint8_t v) {
        source.Row(y)[x] = v;
        mask[static_cast<size_t>(y * kW + x)] = 0;
    };
    set(1, 0, 7);  // row 0 ends in 7 7; in the data either row 8 or row 1 follows
    set(2, 0, 7);
    set(0, 8, 7);  // 7 here: one colour with row 0's end when interlaced
    set(0, 1, 7);  // and here when not
    set(2, 8, 5);  // row 8 ends in 5; row 4 follows when interlaced, row 9 when not
    set(0, 4, 6);
    set(2, 2, 3);  // row 2 ends in 3; rows 6 and 3 start with fixed pixels
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced);
        LzwSizeCounter counter;
        FrameBitmap out;
        Candidate c[2];
        c[0].kind = Candidate::kKeep;
        c[1].kind = Candidate::kFillRuns;
        c[1].out = &out;
        counter.Race(source, source, c, mask.data(), kW, kFill, interlaced, 4, -1.0);
        for (auto [x, y] : {std::pair{1, 0}, std::pair{2, 0}, std::pair{0, 8}, std::pair{0, 1}, std::pair{2, 2}})
            EXPECT_EQ(out.At(x, y), source.At(x, y)) << x << "," << y;
        EXPECT_EQ(out.At(2, 8), interlaced ? kFill : 5);
        EXPECT_EQ(out.At(0, 4), interlaced ? kFill : 6);
        EXPECT_EQ(c[1].changed, interlaced);
    }
}

}  // namespace
}  // namespace cinemill
