#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace branchwork {

// The character encodings a page is read and written back in. Text inside
// the program is UTF-8; a page keeps its own encoding and byte order mark.
enum class TextEncoding {
    Utf8,         // no byte order mark (plain ASCII included)
    Utf8WithBom,  // EF BB BF
    Utf16Le,      // FF FE, then little-endian units
    Utf16Be,      // FE FF, then big-endian units
    EightBit,     // one byte a character, read as Windows-1252
};

// A name for messages and tests ("UTF-8", "UTF-16LE", ...).
const char* EncodingName(TextEncoding e);

// Page bytes as UTF-8 text with the encoding they were in. A byte order
// mark decides; without one, valid UTF-8 is UTF-8 and anything else is
// 8-bit, except that text with a NUL byte (UTF-16 or UTF-32 without a mark)
// is refused, as are UTF-32 and UTF-16 with an odd length or an unpaired
// surrogate: nothing then (the bytes cannot be written back faithfully).
struct DecodedText {
    TextEncoding encoding = TextEncoding::Utf8;
    std::string text;  // UTF-8, without the byte order mark
};
std::optional<DecodedText> DecodeText(std::string_view bytes);

// The bytes of UTF-8 text in an encoding, with its byte order mark.
// EncodeText(DecodeText(b)->text, DecodeText(b)->encoding) == b for every
// page DecodeText accepts. A byte that is not part of valid UTF-8 counts as
// the Windows-1252 character it would be in an 8-bit file (UTF-8 output
// keeps it as it is); a character Windows-1252 has no byte for becomes a
// numeric character reference in 8-bit output. (UTF-16LE text that starts
// with U+0000 would begin with the UTF-32LE mark and not read back.)
std::string EncodeText(std::string_view utf8, TextEncoding e);

// Text to be put into an 8-bit page: every character past ASCII becomes a
// numeric character reference ("&#233;"), which reads the same whatever
// 8-bit character set the page declares.
std::string AsciiWithReferences(std::string_view utf8);

}  // namespace branchwork
