#include "cinemill/gif/packed_bytes.h"

#include <gtest/gtest.h>

#include <random>

namespace cinemill {
namespace {

TEST(PackedBytes, RunsComeBackAsTheyWere) {
    std::vector<uint8_t> b;
    for (int run = 0; run < 300; ++run) b.insert(b.end(), static_cast<size_t>(1 + run % 37), static_cast<uint8_t>(run * 7));
    const auto copy = b;
    PackedBytes p(std::move(b));
    EXPECT_TRUE(p.Packed());
    EXPECT_EQ(p.size(), copy.size());
    EXPECT_EQ(p.Unpack(), copy);
}

TEST(PackedBytes, BytesWithoutRunsStayAsTheyAre) {
    std::mt19937 rng(5);
    std::vector<uint8_t> b(10000);
    for (auto& v : b) v = static_cast<uint8_t>(rng());
    const auto copy = b;
    PackedBytes p(std::move(b));
    EXPECT_FALSE(p.Packed());
    EXPECT_EQ(p.Unpack(), copy);
    EXPECT_TRUE(PackedBytes(std::vector<uint8_t>()).Unpack().empty());
}

// A run longer than one count holds is split, not cut short.
TEST(PackedBytes, ARunBeyondTheCountsWidth) {
    std::vector<uint8_t> b((size_t{1} << 24) + 5, 9);
    b.push_back(3);
    const auto copy = b;
    PackedBytes p(std::move(b));
    EXPECT_TRUE(p.Packed());
    EXPECT_EQ(p.Unpack(), copy);
}

}  // namespace
}  // namespace cinemill
