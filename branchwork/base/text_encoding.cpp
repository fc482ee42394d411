#include "branchwork/base/text_encoding.h"

#include "branchwork/base/text_util.h"

#include <array>
#include <cstdint>

namespace branchwork {

namespace {

// Windows-1252 bytes 0x80-0x9F; the five bytes it leaves undefined stand
// for the control characters of the same number, so every byte reads back.
constexpr std::array<uint16_t, 32> kHigh1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t From1252(uint8_t b) { return b >= 0x80 && b < 0xA0 ? kHigh1252[b - 0x80] : b; }

// The Windows-1252 byte of a character, or nothing.
std::optional<uint8_t> To1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<uint8_t>(cp);
    for (size_t i = 0; i < kHigh1252.size(); ++i)
        if (kHigh1252[i] == cp) return static_cast<uint8_t>(0x80 + i);
    return std::nullopt;
}

// The length of the well-formed UTF-8 sequence at s[i] and its character;
// 0 when there is none (overlong forms, surrogates and values past U+10FFFF
// are not well formed).
size_t Utf8At(std::string_view s, size_t i, uint32_t& cp) {
    const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t c = b(i);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    size_t n;
    uint32_t min;
    if ((c & 0xE0) == 0xC0) n = 2, cp = c & 0x1Fu, min = 0x80;
    else if ((c & 0xF0) == 0xE0) n = 3, cp = c & 0x0Fu, min = 0x800;
    else if ((c & 0xF8) == 0xF0) n = 4, cp = c & 0x07u, min = 0x10000;
    else return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// The character at s[i] and how many bytes it takes: a byte outside
// well-formed UTF-8 is its Windows-1252 character.
size_t CharAt(std::string_view s, size_t i, uint32_t& cp) {
    if (const size_t n = Utf8At(s, i, cp)) return n;
    cp = From1252(static_cast<uint8_t>(s[i]));
    return 1;
}

bool IsUtf8(std::string_view s) {
    uint32_t cp;
    for (size_t i = 0; i < s.size();) {
        const size_t n = Utf8At(s, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// UTF-16 units after the byte order mark; nothing for an odd length or an
// unpaired surrogate.
std::optional<std::string> DecodeUtf16(std::string_view units, bool big_endian) {
    if (units.size() % 2) return std::nullopt;
    const auto unit = [&](size_t k) -> uint32_t {
        const auto b0 = static_cast<uint8_t>(units[k]), b1 = static_cast<uint8_t>(units[k + 1]);
        return big_endian ? (uint32_t{b0} << 8 | b1) : (uint32_t{b1} << 8 | b0);
    };
    std::string out;
    out.reserve(units.size() / 2);
    for (size_t k = 0; k < units.size(); k += 2) {
        uint32_t cp = unit(k);
        if (cp >= 0xDC00 && cp <= 0xDFFF) return std::nullopt;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (k + 4 > units.size()) return std::nullopt;
            const uint32_t low = unit(k + 2);
            if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            k += 2;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

void AppendUnit(std::string& out, uint32_t u, bool big_endian) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += big_endian ? hi : lo;
    out += big_endian ? lo : hi;
}

std::string EncodeUtf16(std::string_view utf8, bool big_endian) {
    std::string out;
    out.reserve(utf8.size() * 2 + 2);
    AppendUnit(out, 0xFEFF, big_endian);
    uint32_t cp;
    for (size_t i = 0; i < utf8.size();) {
        i += CharAt(utf8, i, cp);
        if (cp < 0x10000) {
            AppendUnit(out, cp, big_endian);
        } else {
            AppendUnit(out, 0xD800 + ((cp - 0x10000) >> 10), big_endian);
            AppendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF), big_endian);
        }
    }
    return out;
}

constexpr std::string_view kBomUtf8 = "\xEF\xBB\xBF";
constexpr std::string_view kBomLe = "\xFF\xFE";
constexpr std::string_view kBomBe = "\xFE\xFF";
constexpr std::string_view kBomUtf32Le{"\xFF\xFE\0\0", 4};
constexpr std::string_view kBomUtf32Be{"\0\0\xFE\xFF", 4};

}  // namespace

const char* EncodingName(TextEncoding e) {
    switch (e) {
        case TextEncoding::Utf8: return "UTF-8";
        case TextEncoding::Utf8WithBom: return "UTF-8 with byte order mark";
        case TextEncoding::Utf16Le: return "UTF-16LE";
        case TextEncoding::Utf16Be: return "UTF-16BE";
        case TextEncoding::EightBit: return "8-bit";
    }
    return "?";
}

std::optional<DecodedText> DecodeText(std::string_view bytes) {
    if (StartsWith(bytes, kBomUtf32Le) || StartsWith(bytes, kBomUtf32Be)) return std::nullopt;
    if (StartsWith(bytes, kBomUtf8)) return DecodedText{TextEncoding::Utf8WithBom, std::string(bytes.substr(3))};
    const bool le = StartsWith(bytes, kBomLe), be = StartsWith(bytes, kBomBe);
    if (le || be) {
        auto text = DecodeUtf16(bytes.substr(2), be);
        if (!text) return std::nullopt;
        return DecodedText{le ? TextEncoding::Utf16Le : TextEncoding::Utf16Be, std::move(*text)};
    }
    if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
    if (IsUtf8(bytes)) return DecodedText{TextEncoding::Utf8, std::string(bytes)};
    DecodedText d{TextEncoding::EightBit, {}};
    d.text.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) AppendUtf8(d.text, From1252(static_cast<uint8_t>(c)));
    return d;
}

std::string EncodeText(std::string_view utf8, TextEncoding e) {
    switch (e) {
        case TextEncoding::Utf8: return std::string(utf8);
        case TextEncoding::Utf8WithBom: return std::string(kBomUtf8) + std::string(utf8);
        case TextEncoding::Utf16Le: return EncodeUtf16(utf8, false);
        case TextEncoding::Utf16Be: return EncodeUtf16(utf8, true);
        case TextEncoding::EightBit: break;
    }
    std::string out;
    out.reserve(utf8.size());
    uint32_t cp;
    for (size_t i = 0; i < utf8.size();) {
        i += CharAt(utf8, i, cp);
        if (const auto b = To1252(cp)) out += static_cast<char>(*b);
        else out += "&#" + std::to_string(cp) + ";";
    }
    return out;
}

std::string AsciiWithReferences(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    uint32_t cp;
    for (size_t i = 0; i < utf8.size();) {
        i += CharAt(utf8, i, cp);
        if (cp < 0x80) out += static_cast<char>(cp);
        else out += "&#" + std::to_string(cp) + ";";
    }
    return out;
}

}  // namespace branchwork
