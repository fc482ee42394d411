#include <gtest/gtest.h>

#include <string>

#include "branchwork/base/text_encoding.h"

namespace branchwork {
namespace {

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s += static_cast<char>(c);
    return s;
}

// "a\u00e9\u20ac\U0001F600" (a, e acute, euro sign, an emoji) in UTF-8.
const std::string kText = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";

TEST(TextEncodingTest, ByteOrderMarksDecideAndComeBackOnWrite) {
    const std::string le = Bytes({0xFF, 0xFE, 'a', 0, 0xE9, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE});
    const std::string be = Bytes({0xFE, 0xFF, 0, 'a', 0, 0xE9, 0x20, 0xAC, 0xD8, 0x3D, 0xDE, 0x00});
    const std::string bom8 = "\xEF\xBB\xBF" + kText;
    struct Case {
        std::string bytes;
        TextEncoding encoding;
    } cases[] = {{le, TextEncoding::Utf16Le}, {be, TextEncoding::Utf16Be}, {bom8, TextEncoding::Utf8WithBom},
                 {kText, TextEncoding::Utf8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(EncodingName(c.encoding));
        const auto d = DecodeText(c.bytes);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->encoding, c.encoding);
        EXPECT_EQ(d->text, kText);
        EXPECT_EQ(EncodeText(d->text, d->encoding), c.bytes);
    }
    // An empty page and a page that is only a mark.
    EXPECT_EQ(DecodeText("")->encoding, TextEncoding::Utf8);
    EXPECT_EQ(DecodeText(Bytes({0xFE, 0xFF}))->text, "");
    EXPECT_EQ(EncodeText("", TextEncoding::Utf16Le), Bytes({0xFF, 0xFE}));
}

TEST(TextEncodingTest, EightBitPagesReadAsWindows1252AndWriteBackEveryByte) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    const auto d = DecodeText(all);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->encoding, TextEncoding::EightBit);
    EXPECT_NE(d->text.find("\xE2\x82\xAC"), std::string::npos);  // 0x80 is the euro sign
    EXPECT_NE(d->text.find("\xC3\xA9"), std::string::npos);      // 0xE9 is e acute
    EXPECT_EQ(EncodeText(d->text, TextEncoding::EightBit), all);
    // Characters the 8-bit set lacks become references; so does everything
    // past ASCII in text made for an 8-bit page.
    EXPECT_EQ(EncodeText(kText, TextEncoding::EightBit), "a\xE9\x80&#128512;");
    EXPECT_EQ(AsciiWithReferences(kText), "a&#233;&#8364;&#128512;");
    // A stray byte in UTF-8 text counts as its Windows-1252 character.
    EXPECT_EQ(AsciiWithReferences("x\xE9y"), "x&#233;y");
    EXPECT_EQ(EncodeText("x\xE9", TextEncoding::Utf16Be), Bytes({0xFE, 0xFF, 0, 'x', 0, 0xE9}));
}

TEST(TextEncodingTest, WhatCannotBeWrittenBackIsRefused) {
    // UTF-32 with its marks, UTF-16 without a mark, odd lengths, lone surrogates.
    EXPECT_FALSE(DecodeText(Bytes({0xFF, 0xFE, 0, 0, 'a', 0, 0, 0})));
    EXPECT_FALSE(DecodeText(Bytes({0, 0, 0xFE, 0xFF, 0, 0, 0, 'a'})));
    EXPECT_FALSE(DecodeText(Bytes({'<', 0, 'h', 0})));
    EXPECT_FALSE(DecodeText(Bytes({0xFF, 0xFE, 'a', 0, 'b'})));
    EXPECT_FALSE(DecodeText(Bytes({0xFF, 0xFE, 0x3D, 0xD8, 'a', 0})));
    EXPECT_FALSE(DecodeText(Bytes({0xFE, 0xFF, 0xDE, 0x00})));
    EXPECT_FALSE(DecodeText(Bytes({0xFE, 0xFF, 0xD8, 0x3D})));
    // Overlong and surrogate forms are not UTF-8: such a page is 8-bit.
    EXPECT_EQ(DecodeText("\xC0\xAF")->encoding, TextEncoding::EightBit);
    EXPECT_EQ(DecodeText("\xED\xA0\x80")->encoding, TextEncoding::EightBit);
    EXPECT_EQ(DecodeText("\xF4\x90\x80\x80")->encoding, TextEncoding::EightBit);
    EXPECT_EQ(DecodeText("\xE2\x82")->encoding, TextEncoding::EightBit);
}

TEST(TextEncodingTest, EveryCharacterSurvivesUtf16BothWays) {
    std::string text;
    for (uint32_t cp : {0x1u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFDu, 0xFFFFu, 0x10000u,
                        0x10FFFFu}) {
        // Built by the UTF-16 decoder itself from big-endian units.
        std::string units = Bytes({0xFE, 0xFF});
        if (cp < 0x10000) {
            units += static_cast<char>(cp >> 8);
            units += static_cast<char>(cp & 0xFF);
        } else {
            const uint32_t hi = 0xD800 + ((cp - 0x10000) >> 10), lo = 0xDC00 + ((cp - 0x10000) & 0x3FF);
            units += static_cast<char>(hi >> 8);
            units += static_cast<char>(hi & 0xFF);
            units += static_cast<char>(lo >> 8);
            units += static_cast<char>(lo & 0xFF);
        }
        const auto d = DecodeText(units);
        ASSERT_TRUE(d) << cp;
        EXPECT_EQ(EncodeText(d->text, TextEncoding::Utf16Be), units) << cp;
        const std::string le = EncodeText(d->text, TextEncoding::Utf16Le);
        EXPECT_EQ(DecodeText(le)->text, d->text) << cp;
        text += d->text;
    }
    // The UTF-8 of the whole is well formed: a page of it reads as UTF-8.
    EXPECT_EQ(DecodeText(text)->encoding, TextEncoding::Utf8);
}

}  // namespace
}  // namespace branchwork
