#include "cinemill/imaging/optimize_encoder.h"

#include <gtest/gtest.h>

#include "cinemill/gif/lzw_decoder.h"
#include "cinemill/imaging/optimize_lzw.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

struct Lcg {
    uint32_t seed;
    uint32_t operator()() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    }
};

// What GIF data (sub-blocks with terminator) decodes to; empty when it
// does not give exactly n pixels.
std::vector<uint8_t> Decode(const std::vector<uint8_t>& data, int m, size_t n) {
    ByteCursor cur{data.data(), data.size(), 0};
    LzwDecoder dec;
    dec.Init(&cur, m);
    std::vector<uint8_t> px(n + 1);
    int status = 0;
    const size_t got = dec.Decode(px.data(), n, &status);
    if (got != n || status != 0) return {};
    px.resize(n);
    return px;
}

// The sub-blocks' bytes without their length bytes; empty when the blocks
// do not end in a terminator.
std::vector<uint8_t> Payload(const std::vector<uint8_t>& blocks) {
    std::vector<uint8_t> out;
    size_t pos = 0;
    while (pos < blocks.size() && blocks[pos] != 0) {
        out.insert(out.end(), blocks.begin() + static_cast<ptrdiff_t>(pos + 1),
                   blocks.begin() + static_cast<ptrdiff_t>(pos + 1 + blocks[pos]));
        pos += 1 + blocks[pos];
    }
    if (pos + 1 != blocks.size()) return {};
    return out;
}

// Runs and noise, so that tables fill and clear; the second half unlike the
// first, so that a table kept on falls behind.
std::vector<uint8_t> TestPixels(size_t n, int colours, Lcg& next) {
    std::vector<uint8_t> px(n);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t base = i < n / 2 ? static_cast<uint32_t>(i / 7) : static_cast<uint32_t>(i * 3 / 5 + (i >> 9));
        px[i] = static_cast<uint8_t>((next() % 4 == 0 ? next() : base) % static_cast<uint32_t>(colours));
    }
    return px;
}

// With no pixel free and a clear code as soon as the table is full, the
// compressor writes the writer's very bits (only its sub-blocks are longer).
TEST(ChoosingLzwEncoderTest, ClearingAtOnceWritesTheWritersBits) {
    ChoosingLzwEncoder enc;
    Lcg next{3};
    for (int colours : {2, 16, 256}) {
        for (auto [w, h] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{300, 200}}) {
            for (bool interlaced : {false, true}) {
                SCOPED_TRACE(std::to_string(colours) + " " + std::to_string(w) + "x" + std::to_string(h));
                auto a = MakeAnimation(w, h, colours);
                a->blocks.push_back(MakeFrame(0, 0, w, h, TestPixels(static_cast<size_t>(w * h), colours, next)));
                Frame& f = *a->FrameAt(0);
                SetInterlaced(f, interlaced);
                auto back = RoundTrip(*a);
                ASSERT_TRUE(back);
                const KeptImageData* k = ValidKeptData(*back, *back->FrameAt(0));
                ASSERT_TRUE(k);
                std::vector<uint8_t> px, data;
                PixelsInFileOrder(*f.bitmap, interlaced, px);
                const int m = WriterCodeSize(*f.bitmap, colours);
                const int64_t n = enc.Encode(px.data(), nullptr, px.size(), 0, m, FullTable::kClear, &data);
                EXPECT_EQ(n, static_cast<int64_t>(data.size()) - 1);
                EXPECT_EQ(m, k->minCodeSize);
                EXPECT_EQ(Payload(data), Payload(k->subBlocks));
                EXPECT_FALSE(Payload(data).empty());
            }
        }
    }
}

// Whatever the policy and the free pixels, the data decodes to the pixels
// the compressor leaves in `px`: fixed pixels as they were, free ones their
// own value or the fill index; and the count is the data's.
TEST(ChoosingLzwEncoderTest, DataDecodesToTheChosenPixels) {
    ChoosingLzwEncoder enc;
    Lcg next{11};
    int filled = 0, chose_fill = 0, chose_own = 0;
    for (int colours : {4, 64, 255}) {
        for (size_t n : {size_t{1}, size_t{2}, size_t{17}, size_t{5000}, size_t{250000}}) {
            for (FullTable policy : {FullTable::kClear, FullTable::kKeep}) {
                for (int free_share : {0, 3, 10}) {
                    SCOPED_TRACE(std::to_string(colours) + " " + std::to_string(n) + " " + std::to_string(free_share));
                    const std::vector<uint8_t> start = TestPixels(n, colours, next);
                    std::vector<uint8_t> fixed(n, 1);
                    for (auto& b : fixed) b = free_share == 0 || next() % free_share != 0;
                    // Free pixels come in runs too, as unchanged areas do.
                    for (size_t i = n / 3; i < n / 3 + n / 5; ++i) fixed[i] = free_share == 0;
                    const uint8_t fill = static_cast<uint8_t>(colours - 1);
                    std::vector<uint8_t> px = start, data;
                    const int m = std::max(2, ColorTableBits(colours));
                    const int64_t count = enc.Encode(px.data(), fixed.data(), n, fill, m, policy, &data);
                    filled += enc.Filled();
                    EXPECT_EQ(count, static_cast<int64_t>(data.size()) - 1);
                    EXPECT_EQ(Decode(data, m, n), px);
                    for (size_t i = 0; i < n; ++i) {
                        if (fixed[i]) {
                            ASSERT_EQ(px[i], start[i]) << i;
                        } else {
                            ASSERT_TRUE(px[i] == start[i] || px[i] == fill) << i;
                            chose_fill += px[i] == fill && start[i] != fill;
                            chose_own += px[i] == start[i] && start[i] != fill;
                        }
                    }
                    // Counting without the data gives the same number.
                    std::vector<uint8_t> again = start;
                    EXPECT_EQ(enc.Encode(again.data(), fixed.data(), n, fill, m, policy, nullptr), count);
                    EXPECT_EQ(again, px);
                    // A limit above the count changes nothing; one well below
                    // it is where the compressor gives up.
                    std::vector<uint8_t> limited = start, limited_data;
                    EXPECT_EQ(enc.Encode(limited.data(), fixed.data(), n, fill, m, policy, &limited_data, count + 1),
                              count);
                    EXPECT_EQ(limited, px);
                    EXPECT_EQ(limited_data, data);
                    limited = start;
                    EXPECT_GE(enc.Encode(limited.data(), fixed.data(), n, fill, m, policy, nullptr, count), count);
                    if (count >= 100) {
                        limited = start;
                        EXPECT_EQ(enc.Encode(limited.data(), fixed.data(), n, fill, m, policy, nullptr, count / 2),
                                  count / 2);
                        // A checkpoint the count passes under changes nothing;
                        // one it is above at that point makes it give up.
                        const LzwCheckpoint loose{n / 2, 8 * count};
                        limited = start;
                        limited_data.clear();
                        EXPECT_EQ(enc.Encode(limited.data(), fixed.data(), n, fill, m, policy, &limited_data,
                                             count + 1, loose),
                                  count);
                        EXPECT_EQ(limited_data, data);
                        const LzwCheckpoint tight{n / 2, 8};
                        limited = start;
                        EXPECT_EQ(enc.Encode(limited.data(), fixed.data(), n, fill, m, policy, nullptr, count + 1,
                                             tight),
                                  count + 1);
                    }
                }
            }
        }
    }
    EXPECT_GT(filled, 10);
    EXPECT_GT(chose_fill, 1000);
    EXPECT_GT(chose_own, 1000);
}

// Going on with a full table writes codes without clearing; the data still
// decodes, and on pixels that keep repeating what the table learnt it is
// smaller than clearing at once.
TEST(ChoosingLzwEncoderTest, KeepingAFullTablePaysOnRepeatingPictures) {
    ChoosingLzwEncoder enc;
    Lcg next{5};
    std::vector<uint8_t> tile(3000);
    for (auto& p : tile) p = static_cast<uint8_t>(next() % 200);
    std::vector<uint8_t> px;
    for (int i = 0; i < 100; ++i) px.insert(px.end(), tile.begin(), tile.end());
    std::vector<uint8_t> keep = px, clear = px, kd, cd;
    const int64_t nk = enc.Encode(keep.data(), nullptr, px.size(), 0, 8, FullTable::kKeep, &kd);
    EXPECT_TRUE(enc.Filled());
    const int64_t nc = enc.Encode(clear.data(), nullptr, px.size(), 0, 8, FullTable::kClear, &cd);
    EXPECT_LT(nk, nc * 3 / 4);
    EXPECT_EQ(Decode(kd, 8, px.size()), px);
    EXPECT_EQ(Decode(cd, 8, px.size()), px);
}

// A table cut short still makes data any decoder reads, free pixels or
// not; the cut moves the clears, so the data differs from a full table's.
TEST(ChoosingLzwEncoderTest, ShorterTablesDecodeAndMoveTheClears) {
    ChoosingLzwEncoder enc;
    Lcg next{11};
    const size_t n = 60000;
    std::vector<uint8_t> start(n), fixed(n);
    for (size_t i = 0; i < n; ++i) {
        start[i] = static_cast<uint8_t>(next() % 15);
        fixed[i] = next() % 4 != 0;
    }
    std::vector<uint8_t> full_px = start, full_data;
    enc.Encode(full_px.data(), fixed.data(), n, 15, 4, FullTable::kKeep, &full_data);
    for (const int limit : {0, 512, 3896, 4093}) {
        for (const FullTable policy : {FullTable::kKeep, FullTable::kClear}) {
            SCOPED_TRACE(limit);
            enc.SetTableLimit(limit);
            std::vector<uint8_t> px = start, data;
            const int64_t count = enc.Encode(px.data(), fixed.data(), n, 15, 4, policy, &data);
            EXPECT_TRUE(enc.Filled());
            EXPECT_EQ(count, static_cast<int64_t>(data.size()) - 1);
            EXPECT_EQ(Decode(data, 4, n), px);
            for (size_t i = 0; i < n; ++i) {
                if (fixed[i]) {
                    ASSERT_EQ(px[i], start[i]) << i;
                }
            }
            if (policy == FullTable::kKeep) {
                EXPECT_NE(data, full_data);
            }
        }
    }
    // Above a full table is a full table.
    enc.SetTableLimit(1 << 20);
    std::vector<uint8_t> px = start, data;
    enc.Encode(px.data(), fixed.data(), n, 15, 4, FullTable::kKeep, &data);
    EXPECT_EQ(data, full_data);
}

// Where every pixel is free the fill index makes the longest strings: the
// chooser writes little more than a picture of fill pixels would take.
TEST(ChoosingLzwEncoderTest, AllFreeNoiseBecomesTheFill) {
    ChoosingLzwEncoder enc;
    Lcg next{9};
    const size_t n = 100000;
    std::vector<uint8_t> px(n), fixed(n, 0), fill_only(n, 7);
    for (auto& p : px) p = static_cast<uint8_t>(next() % 7);
    const int64_t chosen = enc.Encode(px.data(), fixed.data(), n, 7, 3, FullTable::kKeep, nullptr);
    const int64_t plain = enc.Encode(fill_only.data(), nullptr, n, 7, 3, FullTable::kKeep, nullptr);
    EXPECT_LE(chosen, plain + 2);
    EXPECT_EQ(px, fill_only);
}

}  // namespace
}  // namespace cinemill
