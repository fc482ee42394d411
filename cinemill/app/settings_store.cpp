#include "cinemill/app/settings_store.h"

#include <charconv>
#include <filesystem>
#include <system_error>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "cinemill/formats/format_common.h"

namespace cinemill {

std::string settings_names::RecentFile(int n) { return "File" + std::to_string(n); }

namespace {

constexpr std::string_view kHexPrefix = "hex:";
constexpr std::string_view kDwordPrefix = "dword:";

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::vector<uint8_t>> ParseBinary(std::string_view raw) {
    if (!raw.starts_with(kHexPrefix)) return std::nullopt;
    raw.remove_prefix(kHexPrefix.size());
    std::vector<uint8_t> out;
    while (!raw.empty()) {
        if (raw.size() < 2) return std::nullopt;
        const int hi = HexDigit(raw[0]), lo = HexDigit(raw[1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
        raw.remove_prefix(2);
        if (raw.empty()) break;
        if (raw.front() != ',' || raw.size() == 1) return std::nullopt;
        raw.remove_prefix(1);
    }
    return out;
}

std::optional<uint32_t> ParseDword(std::string_view raw) {
    if (!raw.starts_with(kDwordPrefix)) return std::nullopt;
    raw.remove_prefix(kDwordPrefix.size());
    if (raw.empty() || raw.size() > 8) return std::nullopt;
    uint32_t v = 0;
    const auto [end, ec] = std::from_chars(raw.data(), raw.data() + raw.size(), v, 16);
    if (ec != std::errc() || end != raw.data() + raw.size()) return std::nullopt;
    return v;
}

std::optional<std::string> ParseString(std::string_view raw) {
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return std::nullopt;
    raw = raw.substr(1, raw.size() - 2);
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '"') return std::nullopt;  // an unescaped quote inside
        if (c == '\\') {
            if (++i == raw.size()) return std::nullopt;
            switch (raw[i]) {
                case '\\': c = '\\'; break;
                case '"': c = '"'; break;
                case 'n': c = '\n'; break;
                case 'r': c = '\r'; break;
                case 't': c = '\t'; break;
                default: return std::nullopt;
            }
        }
        out += c;
    }
    return out;
}

std::string FormatBinary(std::span<const uint8_t> bytes) {
    std::string out(kHexPrefix);
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", bytes[i]);
        out += buf;
    }
    return out;
}

std::string FormatDword(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return std::string(kDwordPrefix) + buf;
}

std::string QuoteString(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

// The file's lines; empty for a missing file, none for a file that exists
// but cannot be read (a write must not replace what it could not see).
std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec) || ec) return std::nullopt;
        return lines;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool IsSection(std::string_view line) {
    line = Trim(line);
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

bool IsOurSection(std::string_view line) {
    line = Trim(line);
    return IsSection(line) && line.substr(1, line.size() - 2) == settings_names::kKey;
}

// The name of a "name=value" line, or empty.
std::string_view NameOf(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return {};
    const auto t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#') return {};
    return Trim(line.substr(0, eq));
}

}  // namespace

std::optional<std::string> IniSettingsStore::RawValue(std::string_view name) const {
    bool inside = false;
    const auto lines = ReadLines(path_);
    if (!lines) return std::nullopt;
    for (const std::string& line : *lines) {
        if (IsSection(line)) {
            inside = IsOurSection(line);
            continue;
        }
        if (inside && NameOf(line) == name) return std::string(Trim(line.substr(line.find('=') + 1)));
    }
    return std::nullopt;
}

bool IniSettingsStore::Store(std::string_view name, std::optional<std::string> raw) {
    const auto lines = ReadLines(path_);
    if (!lines) return false;
    std::vector<std::string> out;
    bool inside = false, seen_section = false, written = false;
    // Appends the new value at the end of our section when it was not there.
    auto close_section = [&] {
        if (inside && !written && raw) {
            out.push_back(std::string(name) + "=" + *raw);
            written = true;
        }
    };
    for (const std::string& line : *lines) {
        if (IsSection(line)) {
            close_section();
            inside = IsOurSection(line);
            seen_section = seen_section || inside;
            out.push_back(line);
            continue;
        }
        if (inside && NameOf(line) == name) {
            if (raw && !written) out.push_back(std::string(name) + "=" + *raw);
            written = true;  // later duplicates go
            continue;
        }
        out.push_back(line);
    }
    close_section();
    if (!seen_section && raw) {
        out.push_back("[" + std::string(settings_names::kKey) + "]");
        out.push_back(std::string(name) + "=" + *raw);
    }
    std::string text;
    for (const std::string& line : out) text += line + "\n";
    return WriteFileAtomically(path_, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::optional<std::vector<uint8_t>> IniSettingsStore::ReadBinary(std::string_view name) {
    const auto raw = RawValue(name);
    return raw ? ParseBinary(*raw) : std::nullopt;
}
std::optional<uint32_t> IniSettingsStore::ReadDword(std::string_view name) {
    const auto raw = RawValue(name);
    return raw ? ParseDword(*raw) : std::nullopt;
}
std::optional<std::string> IniSettingsStore::ReadString(std::string_view name) {
    const auto raw = RawValue(name);
    return raw ? ParseString(*raw) : std::nullopt;
}
bool IniSettingsStore::WriteBinary(std::string_view name, std::span<const uint8_t> bytes) {
    return Store(name, FormatBinary(bytes));
}
bool IniSettingsStore::WriteDword(std::string_view name, uint32_t value) {
    return Store(name, FormatDword(value));
}
bool IniSettingsStore::WriteString(std::string_view name, std::string_view value) {
    return Store(name, QuoteString(value));
}
bool IniSettingsStore::Remove(std::string_view name) {
    if (!RawValue(name)) return true;
    return Store(name, std::nullopt);
}

// ---- in memory -------------------------------------------------------------------------

std::optional<std::vector<uint8_t>> MemorySettingsStore::ReadBinary(std::string_view name) {
    const auto it = values.find(name);
    if (it == values.end() || it->second.type != Value::Type::Binary) return std::nullopt;
    return it->second.bytes;
}
std::optional<uint32_t> MemorySettingsStore::ReadDword(std::string_view name) {
    const auto it = values.find(name);
    if (it == values.end() || it->second.type != Value::Type::Dword) return std::nullopt;
    return it->second.dword;
}
std::optional<std::string> MemorySettingsStore::ReadString(std::string_view name) {
    const auto it = values.find(name);
    if (it == values.end() || it->second.type != Value::Type::String) return std::nullopt;
    return it->second.text;
}
bool MemorySettingsStore::WriteBinary(std::string_view name, std::span<const uint8_t> bytes) {
    if (!writable) return false;
    values[std::string(name)] = Value{Value::Type::Binary, {bytes.begin(), bytes.end()}, 0, {}};
    return true;
}
bool MemorySettingsStore::WriteDword(std::string_view name, uint32_t value) {
    if (!writable) return false;
    values[std::string(name)] = Value{Value::Type::Dword, {}, value, {}};
    return true;
}
bool MemorySettingsStore::WriteString(std::string_view name, std::string_view value) {
    if (!writable) return false;
    values[std::string(name)] = Value{Value::Type::String, {}, 0, std::string(value)};
    return true;
}
bool MemorySettingsStore::Remove(std::string_view name) {
    if (!writable) return false;
    const auto it = values.find(name);
    if (it != values.end()) values.erase(it);
    return true;
}

// ---- recent files ----------------------------------------------------------------------

std::vector<std::string> ReadRecentFiles(SettingsStore& store) {
    std::vector<std::string> files;
    for (int n = 1; n <= settings_names::kRecentFiles; ++n) {
        auto v = store.ReadString(settings_names::RecentFile(n));
        if (!v) break;
        files.push_back(std::move(*v));
    }
    return files;
}

void PushRecentFile(SettingsStore& store, const std::string& path) {
    std::string carry = path;
    for (int n = 1; n <= settings_names::kRecentFiles; ++n) {
        const std::string name = settings_names::RecentFile(n);
        const auto old = store.ReadString(name);
        store.WriteString(name, carry);
        if (!old || *old == path) break;
        carry = *old;
    }
}

}  // namespace cinemill
