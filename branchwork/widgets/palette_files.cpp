#include "branchwork/widgets/palette_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"
#include "branchwork/project/loader.h"

namespace branchwork {

namespace {

const char* kReadError = texts::kReadBeyondEnd;

}  // namespace

PaletteParse ParseGifPalette(std::span<const uint8_t> b) {
    PaletteParse out;
    if (b.size() < 13 || b[0] != 'G' || b[1] != 'I' || b[2] != 'F' || !(b[10] & 0x80)) {
        out.error = texts::kGifPaletteError;
        return out;
    }
    const size_t n = size_t{1} << ((b[10] & 7) + 1);
    if (b.size() < 13 + 3 * n) {
        out.error = texts::kGifPaletteError;
        return out;
    }
    PaletteData p;
    for (size_t i = 0; i < n; ++i) p.colors.push_back({b[13 + 3 * i], b[14 + 3 * i], b[15 + 3 * i]});
    p.sortCount = 256;
    out.palette = std::move(p);
    return out;
}

PaletteParse ParseJascPalette(std::span<const uint8_t> b) {
    PaletteParse out;
    const std::string text(reinterpret_cast<const char*>(b.data()), b.size());
    const auto lines = SplitLines(text);
    PaletteData p;
    if (lines.size() < 3 || Trim(lines[0]) != "JASC-PAL") {
        out.error = texts::kNotJascPalette;
        return out;
    }
    const auto count = ParseWholeNumber(lines[2]);
    if (!count) {
        out.error = NotANumberMessage(Trim(lines[2]));
        return out;
    }
    const int n = std::clamp(*count, 0, 256);
    for (int i = 0; i < n; ++i) {
        const size_t li = 3 + static_cast<size_t>(i);
        if (li >= lines.size()) {
            out.error = kReadError;
            break;
        }
        std::vector<std::string> parts;
        for (const auto& piece : SplitFields(Trim(lines[li]), ' '))
            if (!piece.empty()) parts.push_back(piece);
        uint8_t rgb[3] = {0, 0, 0};
        bool bad = parts.size() < 3;
        for (size_t k = 0; k < 3 && !bad; ++k) {
            const auto v = ParseWholeNumber(parts[k]);
            if (!v) {
                out.error = NotANumberMessage(parts[k]);
                bad = true;
                break;
            }
            rgb[k] = static_cast<uint8_t>(std::clamp(*v, 0, 255));
        }
        if (bad) {
            if (out.error.empty()) out.error = kReadError;
            break;
        }
        p.colors.push_back({rgb[0], rgb[1], rgb[2]});
    }
    p.sortCount = static_cast<int>(p.colors.size());
    out.palette = std::move(p);
    return out;
}

PaletteParse ParseRiffPalette(std::span<const uint8_t> b) {
    PaletteParse out;
    if (b.size() < 12 || std::string_view(reinterpret_cast<const char*>(b.data()), 4) != "RIFF" ||
        std::string_view(reinterpret_cast<const char*>(b.data()) + 8, 4) != "PAL ") {
        out.error = texts::kNotRiffPalette;
        return out;
    }
    PaletteData p;
    // "data" chunk header (8 bytes), then version and count (2 bytes each).
    if (b.size() < 24) {
        out.error = kReadError;
        p.sortCount = 0;
        out.palette = std::move(p);
        return out;
    }
    const int count = std::min(256, b[22] | (b[23] << 8));
    for (int i = 0; i < count; ++i) {
        const size_t at = 24 + 4 * static_cast<size_t>(i);
        if (at + 4 > b.size()) {
            out.error = kReadError;  // the rest keeps its colour
            break;
        }
        p.colors.push_back({b[at], b[at + 1], b[at + 2]});
    }
    p.sortCount = static_cast<int>(p.colors.size());
    out.palette = std::move(p);
    return out;
}

PaletteParse ParseActPalette(std::span<const uint8_t> b) {
    PaletteParse out;
    PaletteData p;
    for (size_t i = 0; i < 256; ++i) {
        if (3 * i + 3 > b.size()) {
            out.error = kReadError;
            break;
        }
        p.colors.push_back({b[3 * i], b[3 * i + 1], b[3 * i + 2]});
    }
    p.sortCount = static_cast<int>(p.colors.size());
    out.palette = std::move(p);
    return out;
}

PaletteParse ParsePaletteBytes(const std::string& file_name, std::span<const uint8_t> bytes) {
    const std::string name = ToLower(FileNamePart(file_name));
    auto ends = [&](const char* ext) { return name.size() >= 4 && name.compare(name.size() - 4, 4, ext) == 0; };
    if (ends(".gif")) return ParseGifPalette(bytes);
    if (ends(".act")) return ParseActPalette(bytes);
    if (ends(".pal")) {
        if (bytes.size() >= 8 && std::string_view(reinterpret_cast<const char*>(bytes.data()), 8) == "JASC-PAL")
            return ParseJascPalette(bytes);
        return ParseRiffPalette(bytes);
    }
    PaletteParse out;
    out.error = texts::kUnknownPaletteType + file_name;
    return out;
}

const std::vector<PickerRgb>& WebSafePalette() {
    static const std::vector<PickerRgb> colors = [] {
        std::vector<PickerRgb> v;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    v.push_back({static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51), static_cast<uint8_t>(b * 51)});
        v.resize(256, PickerRgb{});
        return v;
    }();
    return colors;
}

std::string WebSafePaletteFileText() {
    std::string s = "JASC-PAL\r\n0100\r\n256\r\n";
    for (const auto& c : WebSafePalette())
        s += std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + "\r\n";
    return s;
}

std::string EnsureWebSafePaletteFile(const std::string& dir) {
    const std::string path = WithTrailingSeparator(dir) + kWebSafeName;
    if (!FileExists(path)) WriteFileReplacing(path, WebSafePaletteFileText());
    return path;
}

std::optional<PaletteData> LoadPickerPalette(const std::string& name, const std::string& palette_dir,
                                             const std::string& websafe_dir, BwUiHost& host) {
    std::string path;
    if (EqualsNoCase(name, kWebSafeName)) {
        path = EnsureWebSafePaletteFile(websafe_dir);
    } else {
        path = WithTrailingSeparator(palette_dir) + name;
        if (!FileExists(path)) {
            host.Message(texts::kPaletteMissingPrefix + path + texts::kPaletteMissingSuffix, MessageIcon::Error);
            PaletteData p;
            p.colors = WebSafePalette();
            p.sortCount = 256;
            return p;
        }
    }
    std::string text;
    if (!ReadTextFile(path, text)) {
        host.Message(texts::kCannotOpenPrefix + path + texts::kCannotOpenSuffix, MessageIcon::Error);
        return std::nullopt;
    }
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    PaletteParse r = ParsePaletteBytes(path, bytes);
    if (!r.error.empty()) host.Message(r.error, MessageIcon::Error);
    return r.palette;
}

std::vector<std::string> ListPaletteFiles(const std::string& dir) {
    std::set<std::string> names = {kWebSafeName};
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fe;
        if (!it->is_regular_file(fe)) continue;
        const std::string n = it->path().filename().string();
        const std::string lower = ToLower(n);
        if (lower.size() >= 4) {
            const std::string ext = lower.substr(lower.size() - 4);
            if (ext == ".pal" || ext == ".gif" || ext == ".act") names.insert(n);
        }
    }
    std::vector<std::string> out(names.begin(), names.end());
    std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) { return ToLower(a) < ToLower(b); });
    return out;
}

std::array<PickerRgb, 256> GridFromPalette(const PaletteData& p) {
    std::array<PickerRgb, 256> grid{};
    for (size_t i = 0; i < p.colors.size() && i < 256; ++i) grid[i] = p.colors[i];
    return grid;
}

int LuminanceKey(PickerRgb c) {
    const int mx = std::max({c.r, c.g, c.b}), mn = std::min({c.r, c.g, c.b});
    const int sum = mx + mn;
    // Halves round to the even neighbour.
    if (sum % 2 == 0) return sum / 2;
    const int lo = sum / 2;
    return lo % 2 == 0 ? lo : lo + 1;
}

void SortByLuminance(std::vector<PickerRgb>& colors, int count) {
    if (colors.size() < 256 && count > static_cast<int>(colors.size())) colors.resize(static_cast<size_t>(std::min(count, 256)));
    const size_t n = std::min(colors.size(), static_cast<size_t>(std::max(0, count)));
    std::stable_sort(colors.begin(), colors.begin() + static_cast<std::ptrdiff_t>(n),
                     [](PickerRgb a, PickerRgb b) { return LuminanceKey(a) < LuminanceKey(b); });
}

int NearestGridIndex(const std::array<PickerRgb, 256>& grid, PickerRgb c) {
    int best = -1, best_d = 1 << 30;
    for (int col = 0; col < 16; ++col) {
        for (int row = 0; row < 16; ++row) {
            const int i = row * 16 + col;
            const PickerRgb g = grid[static_cast<size_t>(i)];
            const int d = std::abs(g.r - c.r) + std::abs(g.g - c.g) + std::abs(g.b - c.b);
            if (d == 0) return i;
            if (d < best_d) {
                best_d = d;
                best = i;
            }
        }
    }
    return best;
}

std::vector<std::array<PickerRgb, 256>> FadePictures(const std::array<PickerRgb, 256>& from,
                                                      const std::array<PickerRgb, 256>& to) {
    std::vector<std::array<PickerRgb, 256>> pics;
    for (int k = 1; k <= 13; ++k) {
        std::array<PickerRgb, 256> pic{};
        for (size_t i = 0; i < 256; ++i) {
            auto mix = [k](int o, int n) { return static_cast<uint8_t>(o + (n - o) * k / 15); };
            pic[i] = {mix(from[i].r, to[i].r), mix(from[i].g, to[i].g), mix(from[i].b, to[i].b)};
        }
        pics.push_back(pic);
    }
    return pics;
}

std::string CellText(PickerRgb c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

std::optional<PickerRgb> CellColor(const std::string& text) {
    const auto parts = SplitFields(text, ',');
    if (parts.size() != 3) return std::nullopt;
    int v[3];
    for (size_t i = 0; i < 3; ++i) {
        const auto n = ParseWholeNumber(parts[i]);
        if (!n || *n < 0 || *n > 255) return std::nullopt;
        v[i] = *n;
    }
    return PickerRgb{static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2])};
}

std::optional<int> HexFieldValue(const std::string& hex) {
    if (hex.empty() || hex.size() > 2) return std::nullopt;
    int v = 0;
    for (char ch : hex) {
        int d;
        if (ch >= '0' && ch <= '9') d = ch - '0';
        else if (ch >= 'a' && ch <= 'f') d = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
        else return std::nullopt;
        v = v * 16 + d;
    }
    return v;
}

std::string DecimalToHexField(const std::string& decimal) {
    const auto v = ParseWholeNumber(decimal);
    const int n = v ? std::clamp(*v, 0, 255) : 0;
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", n);
    return buf;
}

std::optional<PickerRgb> ParseHtmlColor(const std::string& clipboard, std::string* error) {
    std::string s;
    for (char c : clipboard)
        if (c != '#') s += c;
    s = StripOneQuotePair(Trim(s));
    if (s.size() == 6) {
        const auto r = HexFieldValue(s.substr(0, 2)), g = HexFieldValue(s.substr(2, 2)), b = HexFieldValue(s.substr(4, 2));
        if (r && g && b) return PickerRgb{static_cast<uint8_t>(*r), static_cast<uint8_t>(*g), static_cast<uint8_t>(*b)};
    }
    if (error) *error = s + texts::kNotHtmlColor;
    return std::nullopt;
}

std::optional<std::array<std::string, 3>> SplitDecimalTriple(const std::string& clipboard) {
    if (clipboard.find(',') == std::string::npos) return std::nullopt;
    const auto parts = SplitFields(clipboard, ',');
    if (parts.size() != 3) return std::nullopt;
    return std::array<std::string, 3>{Trim(parts[0]), Trim(parts[1]), Trim(parts[2])};
}

std::string CustomColorStoreValue(Color c) { return std::to_string(static_cast<int32_t>(c)); }

std::optional<Color> CustomColorFromStore(const std::string& value) {
    const auto v = ParseWholeNumber(value);
    if (!v) return std::nullopt;
    return static_cast<Color>(*v);
}

std::string CustomColorHint(Color c) {
    const Color r = ResolveColor(c);
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", RedOf(r), GreenOf(r), BlueOf(r));
    return std::string(buf) + "\n" + std::to_string(RedOf(r)) + "," + std::to_string(GreenOf(r)) + "," +
           std::to_string(BlueOf(r));
}

PickerRgb ToPickerRgb(Color c) {
    const Color r = ResolveColor(c);
    return {RedOf(r), GreenOf(r), BlueOf(r)};
}

Color FromPickerRgb(PickerRgb c) { return MakeColor(c.r, c.g, c.b); }

}  // namespace branchwork
