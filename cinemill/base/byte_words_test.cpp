#include "cinemill/base/byte_words.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <random>
#include <vector>

#include "cinemill/base/memory.h"
#include "cinemill/base/parallel.h"

namespace cinemill {
namespace {

// Byte-by-byte answers to check the word-at-a-time ones against.
size_t SlowFirst(const std::vector<uint8_t>& v, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (v[i]) return i;
    return n;
}
size_t SlowLast(const std::vector<uint8_t>& v, size_t n) {
    for (size_t i = n; i > 0; --i)
        if (v[i - 1]) return i - 1;
    return n;
}

TEST(ByteWords, ScansAgreeWithBytewiseScansAtEveryLengthAndPlace) {
    std::mt19937 rng(7);
    for (size_t n = 0; n <= 41; ++n) {
        for (int round = 0; round < 60; ++round) {
            std::vector<uint8_t> a(n + 8, 0), b;
            // Sparse non-zero bytes, some of them 0x80 or 0xFF (the carries
            // of the word tricks), at random places.
            for (size_t i = 0; i < n; ++i)
                if (rng() % 9 == 0) a[i] = static_cast<uint8_t>(std::array<int, 4>{1, 0x80, 0xFF, 0x7F}[rng() % 4]);
            b = a;
            if (n > 0 && round % 2) b[rng() % n] ^= 0x40;
            EXPECT_EQ(bytes::FirstNonZero(a.data(), n), SlowFirst(a, n)) << n;
            EXPECT_EQ(bytes::LastNonZero(a.data(), n), SlowLast(a, n)) << n;
            size_t common = 0;
            while (common < n && a[common] == b[common]) ++common;
            EXPECT_EQ(bytes::CommonPrefix(a.data(), b.data(), n), common) << n;
            if (n >= 8) {
                int zeros = 0;
                for (size_t i = 0; i < 8; ++i) zeros += a[i] == 0;
                EXPECT_EQ(bytes::ZeroByteCount(bytes::Load8(a.data())), zeros);
                const uint64_t nz = bytes::NonZeroBytes(bytes::Load8(a.data()));
                uint8_t out[8];
                bytes::Store8(out, nz);
                for (size_t i = 0; i < 8; ++i) EXPECT_EQ(out[i], a[i] ? 1 : 0) << i;
            }
        }
    }
}

TEST(ZeroedBytes, CopiesAndAssignsWholeContentsOfAnySize) {
    ZeroedBytes a(1000);
    for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<uint8_t>(i * 7 + 1);
    ZeroedBytes b(a);
    EXPECT_TRUE(b == a);
    ZeroedBytes small(3, 9);
    small = a;  // grows past its capacity
    EXPECT_TRUE(small == a);
    ZeroedBytes big(5000, 4);
    big = b;  // shrinks within its capacity
    EXPECT_EQ(big.size(), 1000u);
    EXPECT_TRUE(big == a);
    ZeroedBytes empty;
    big = empty;
    EXPECT_TRUE(big.empty());
    ZeroedBytes& same = a;
    a = same;
    EXPECT_EQ(a[999], static_cast<uint8_t>(999 * 7 + 1));
}

TEST(ParallelFor, RunsEveryIndexOnceWhateverTheThreadLimit) {
    for (unsigned limit : {0u, 1u, 2u, 3u}) {
        for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{97}}) {
            std::vector<std::atomic<int>> hits(n);
            ParallelFor(n, [&](size_t i) { hits[i].fetch_add(1); }, limit);
            for (size_t i = 0; i < n; ++i) EXPECT_EQ(hits[i].load(), 1) << "n " << n << " limit " << limit;
        }
    }
}

}  // namespace
}  // namespace cinemill
