#include "branchwork/base/text_util.h"

#include "branchwork/base/texts.h"

#include "cinemill/base/file_io.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace branchwork {

std::string ToLower(std::string_view s) {
    std::string r(s);
    for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

std::string ToUpper(std::string_view s) {
    std::string r(s);
    for (auto& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from) {
    if (needle.empty()) return from <= hay.size() ? from : std::string_view::npos;
    if (hay.size() < needle.size()) return std::string_view::npos;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        if (EqualsNoCase(hay.substr(i, needle.size()), needle)) return i;
    }
    return std::string_view::npos;
}

bool ContainsText(std::string_view hay, std::string_view needle) {
    return FindNoCase(hay, needle) != std::string_view::npos;
}

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return std::string(s.substr(b, e - b));
}

std::string StripOneQuotePair(std::string_view s) {
    if (!s.empty() && s.front() == '"') s.remove_prefix(1);
    if (!s.empty() && s.back() == '"') s.remove_suffix(1);
    return std::string(s);
}

std::optional<int32_t> ParseWholeNumber(std::string_view s) {
    std::string t = Trim(s);
    if (t.empty()) return std::nullopt;
    size_t i = 0;
    bool neg = false;
    if (t[0] == '+' || t[0] == '-') {
        neg = t[0] == '-';
        i = 1;
    }
    if (i >= t.size()) return std::nullopt;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return std::nullopt;
        v = v * 10 + (t[i] - '0');
        if (v > static_cast<long long>(INT32_MAX) + 1) return std::nullopt;
    }
    if (neg) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(v);
}

std::string NotANumberMessage(std::string_view value) {
    // A damaged file can put millions of characters where a number belongs:
    // the message quotes the start of them only (cut between characters).
    constexpr size_t kQuoted = 40;
    if (value.size() <= kQuoted) return "'" + std::string(value) + texts::kNotAnInteger;
    size_t cut = kQuoted;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
    return "'" + std::string(value.substr(0, cut)) + "..." + texts::kNotAnInteger;
}

std::string FileNamePart(std::string_view path) {
    const size_t p = path.find_last_of("/\\");
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string DirectoryPart(std::string_view path) {
    const size_t p = path.find_last_of("/\\");
    return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string WithTrailingSeparator(std::string_view dir) {
    std::string d(dir);
    if (d.empty() || d.back() == '/' || d.back() == '\\') return d;
    const bool backslash = d.find('\\') != std::string::npos && d.find('/') == std::string::npos;
    d += backslash ? '\\' : '/';
    return d;
}

bool HasDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

bool ReadTextFile(const std::string& path, std::string& out) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxTextFileBytes) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return false;
    out = ss.str();
    return true;
}

bool TooLargeForText(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    const auto size = std::filesystem::file_size(path, ec);
    return !ec && size > kMaxTextFileBytes;
}

bool WriteFileReplacing(const std::string& path, std::string_view bytes, std::string* why) {
    const cinemill::WriteProblem p = cinemill::WriteFileAtomically(path, bytes);
    if (p != cinemill::WriteProblem::None && why) *why = cinemill::WriteProblemText(p, path);
    return p == cinemill::WriteProblem::None;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string EncodeFieldText(std::string_view s) {
    const auto named = [](char c) -> const char* {
        switch (c) {
            case '&': return "&amp;";
            case '"': return "&quot;";
            case '<': return "&lt;";
            case '>': return "&gt;";
            case ';': return "&#59;";
            default: return nullptr;
        }
    };
    const auto numeric = [s](size_t i, bool edge) {
        return s[i] == '\r' || s[i] == '\n' || (edge && static_cast<unsigned char>(s[i]) <= ' ');
    };
    return WithReferences(s, named, numeric);
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

// The reference starting at s[i] ("&..."): its text and length, or 0.
size_t DecodeReference(std::string_view s, size_t i, std::string& out) {
    static const std::pair<const char*, char> named[] = {
        {"&amp;", '&'}, {"&quot;", '"'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}};
    for (const auto& [ref, ch] : named) {
        const std::string_view r(ref);
        if (s.substr(i, r.size()) == r) {
            out += ch;
            return r.size();
        }
    }
    if (i + 2 >= s.size() || s[i + 1] != '#') return 0;
    size_t j = i + 2;
    const bool hex = s[j] == 'x' || s[j] == 'X';
    if (hex) ++j;
    uint32_t cp = 0;
    size_t digits = 0;
    for (; j < s.size() && digits < 8; ++j, ++digits) {
        const char c = s[j];
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (hex && c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else break;
        cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(v);
    }
    if (digits == 0 || j >= s.size() || s[j] != ';' || cp > 0x10FFFF) return 0;
    if (cp < 0x80) out += static_cast<char>(cp);
    else AppendUtf8(out, cp);
    return j + 1 - i;
}

}  // namespace

size_t FieldReferenceLength(std::string_view s, size_t i) {
    if (i >= s.size() || s[i] != '&') return 0;
    std::string ignored;
    return DecodeReference(s, i, ignored);
}

std::string DecodeFieldText(std::string_view s) {
    if (s.find('&') == std::string_view::npos) return std::string(s);
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (const size_t n = DecodeReference(s, i, out)) {
                i += n - 1;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

}  // namespace branchwork
