#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace branchwork {

std::string ToLower(std::string_view s);
std::string ToUpper(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Appends code point `cp` to `out` as UTF-8 (1 to 4 bytes).
void AppendUtf8(std::string& out, uint32_t cp);
// Position of `needle` in `hay` ignoring letter case, or npos.
size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from = 0);
bool ContainsText(std::string_view hay, std::string_view needle);  // ignoring letter case
// Removes leading and trailing characters up to and including space (control
// characters too), as the platform's trim does.
std::string Trim(std::string_view s);
// Drops one leading and one trailing double quote.
std::string StripOneQuotePair(std::string_view s);
// A whole decimal number (optional sign, surrounding blanks allowed) that
// fits 32 bits; nothing otherwise.
std::optional<int32_t> ParseWholeNumber(std::string_view s);
// The message the loader shows for a value that is not a whole number; a
// value longer than 40 bytes is quoted up to there, followed by "...".
std::string NotANumberMessage(std::string_view value);

// File name part after the last "/" or "\".
std::string FileNamePart(std::string_view path);
// Directory part through the last "/" or "\" (empty when there is none).
std::string DirectoryPart(std::string_view path);
// The path with a trailing separator ("/" unless the path already uses "\"
// and no "/").
std::string WithTrailingSeparator(std::string_view dir);
bool HasDriveLetter(std::string_view path);

// File helpers. A user's file is never half-written: WriteFileReplacing
// writes a temporary file beside the target and renames it over the target
// (cinemill/base/file_io.h); a target that is a link is written through, one
// that is not a regular file or is read-only is refused. On failure `why`,
// when given, gets the message that says so.
// Text files larger than this are refused rather than read.
inline constexpr std::uintmax_t kMaxTextFileBytes = 64u << 20;
bool ReadTextFile(const std::string& path, std::string& out);
// True when the path is a regular file larger than kMaxTextFileBytes (the
// reason ReadTextFile refuses it).
bool TooLargeForText(const std::string& path);
bool WriteFileReplacing(const std::string& path, std::string_view bytes, std::string* why = nullptr);
bool FileExists(const std::string& path);

// `s` with character references: `named(c)` answers the entity written for
// a character that has one (null for the others); `numeric(i, edge)` says
// whether character i is written as "&#N;", `edge` telling that it stands in
// the leading or trailing run of blanks and control characters. The markup
// and the HTML menu escape their texts with it, each by its own rules.
template <typename Named, typename Numeric>
std::string WithReferences(std::string_view s, Named named, Numeric numeric) {
    size_t lead = 0, trail = s.size();
    while (lead < s.size() && static_cast<unsigned char>(s[lead]) <= ' ') ++lead;
    while (trail > lead && static_cast<unsigned char>(s[trail - 1]) <= ' ') --trail;
    std::string out;
    out.reserve(s.size() + 8);
    for (size_t i = 0; i < s.size(); ++i) {
        if (const char* e = named(s[i])) out += e;
        else if (numeric(i, i < lead || i >= trail))
            out += "&#" + std::to_string(static_cast<unsigned char>(s[i])) + ";";
        else out += s[i];
    }
    return out;
}

// Free text inside a PARAM value. The value is quoted, cut into fields at
// ";" and trimmed by the loader, so a character that would end the quote or
// the tag, split a field or vanish in the trim is written as a character
// reference: "&" "\"" "<" ">" ";" CR LF, and blanks and control characters
// at either end. Decoding turns
// back every named (amp, quot, lt, gt, apos) and numeric reference and
// leaves any other "&" as it is, so older files without references read as
// before.
std::string EncodeFieldText(std::string_view s);
std::string DecodeFieldText(std::string_view s);
// Length of the reference DecodeFieldText turns back that starts at s[i]
// ("&" ... ";"), 0 when there is none. The loader's field split does not cut
// at the ";" that ends one.
size_t FieldReferenceLength(std::string_view s, size_t i);

// Lines of a text, split at CR LF, LF or CR; a last empty line is dropped.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace branchwork
