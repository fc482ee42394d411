#include "cinemill/base/byte_reader.h"

#include <gtest/gtest.h>

namespace cinemill {
namespace {

TEST(ByteReader, ReadsBigAndLittleEndianValuesInOrder) {
    const uint8_t d[] = {0x12, 0x34, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x02, 0x03, 0x04, 0xFF, 0xFE};
    ByteReader r(d);
    uint16_t a = 0;
    uint32_t b = 0, c = 0;
    int16_t s = 0;
    ASSERT_TRUE(r.BE16(a));
    ASSERT_TRUE(r.BE32(b));
    ASSERT_TRUE(r.LE32(c));
    ASSERT_TRUE(r.BE16(s));
    EXPECT_EQ(a, 0x1234);
    EXPECT_EQ(b, 0x89ABCDEFu);
    EXPECT_EQ(c, 0x04030201u);
    EXPECT_EQ(s, -2);
    EXPECT_EQ(r.Left(), 0u);
}

TEST(ByteReader, AShortReadFailsReadsNothingAndKeepsThePosition) {
    const uint8_t d[] = {1, 2, 3};
    ByteReader r(d);
    uint32_t v = 77;
    EXPECT_FALSE(r.BE32(v));
    EXPECT_FALSE(r.LE32(v));
    EXPECT_EQ(v, 77u);
    EXPECT_EQ(r.Pos(), 0u);
    uint16_t h = 0;
    ASSERT_TRUE(r.BE16(h));
    EXPECT_FALSE(r.BE16(h));
    EXPECT_EQ(r.Pos(), 2u);
    uint8_t last = 0;
    ASSERT_TRUE(r.U8(last));
    EXPECT_EQ(last, 3);
    EXPECT_FALSE(r.U8(last));
}

TEST(ByteReader, SkipSeekAndTakeStayWithinTheBytes) {
    const uint8_t d[] = {10, 20, 30, 40, 50};
    ByteReader r(d);
    std::span<const uint8_t> s;
    EXPECT_FALSE(r.Skip(6));
    EXPECT_FALSE(r.Skip(UINT64_MAX));
    EXPECT_TRUE(r.Skip(2));
    EXPECT_FALSE(r.Take(4, s));
    ASSERT_TRUE(r.Take(3, s));
    EXPECT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0], 30);
    EXPECT_FALSE(r.Seek(6));
    EXPECT_EQ(r.Pos(), 5u);
    EXPECT_TRUE(r.Seek(5));  // the end itself is a place to be
    EXPECT_TRUE(r.Seek(1));
    EXPECT_EQ(r.Left(), 4u);
    EXPECT_TRUE(r.Take(0, s));
    EXPECT_TRUE(s.empty());
}

}  // namespace
}  // namespace cinemill
