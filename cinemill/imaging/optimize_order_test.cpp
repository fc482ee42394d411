#include "cinemill/imaging/optimize_order.h"

#include <gtest/gtest.h>

namespace cinemill {
namespace {

TEST(LzwCodeBits, CodesWidenAsTheTableGrowsAndStartOverAfterAClear) {
    EXPECT_EQ(LzwCodeBits(0, 2), 0);
    // Code size 2: a table of 6 entries, so two 3-bit codes before 4 bits.
    EXPECT_EQ(LzwCodeBits(2, 2), 6);
    EXPECT_EQ(LzwCodeBits(3, 2), 10);
    // A whole table's life (4090 codes from 3 to 12 bits), the clear code,
    // then the next code back at 3 bits.
    const int64_t life = 2 * 3 + 8 * 4 + 16 * 5 + 32 * 6 + 64 * 7 + 128 * 8 + 256 * 9 + 512 * 10 + 1024 * 11 +
                         2048 * 12;
    EXPECT_EQ(LzwCodeBits(4090, 2), life);
    EXPECT_EQ(LzwCodeBits(4091, 2), life + 12 + 3);
    // Code size 8: 254 codes of 9 bits, then 10 to 12; 3838 codes a table.
    EXPECT_EQ(LzwCodeBits(254, 8), 254 * 9);
    EXPECT_EQ(LzwCodeBits(3838 * 2, 8), 2 * (254 * 9 + 512 * 10 + 1024 * 11 + 2048 * 12) + 12);
    // Narrower codes never cost more, for any number of codes.
    for (int64_t codes : {1, 100, 1000, 5000, 100000})
        for (int s = 2; s < 8; ++s) EXPECT_LE(LzwCodeBits(codes, s), LzwCodeBits(codes, s + 1)) << codes << " " << s;
}

}  // namespace
}  // namespace cinemill
