#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "branchwork/base/ui_host.h"
#include "branchwork/model/color.h"

namespace branchwork {

// The colour picker's palette: up to 256 colours shown in a 16x16 grid,
// entry i in column i mod 16, row i div 16.
struct PickerRgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const PickerRgb&, const PickerRgb&) = default;
};

struct PaletteData {
    std::vector<PickerRgb> colors;  // at most 256
    // How many entries take part in sorting (a GIF's 256 entries all do).
    int sortCount = 0;
};

struct PaletteParse {
    std::optional<PaletteData> palette;  // nothing: the grid stays as it was
    std::string error;                   // a message to show (also with a palette: read stopped early)
};

// Parsers of the four palette forms; each bounds-checks every read.
PaletteParse ParseGifPalette(std::span<const uint8_t> bytes);
PaletteParse ParseJascPalette(std::span<const uint8_t> bytes);
PaletteParse ParseRiffPalette(std::span<const uint8_t> bytes);
PaletteParse ParseActPalette(std::span<const uint8_t> bytes);
// By the file name's extension (lower-cased): .gif, .pal (JASC-PAL text or
// RIFF), .act. Nothing for other extensions.
PaletteParse ParsePaletteBytes(const std::string& file_name, std::span<const uint8_t> bytes);

inline constexpr const char* kWebSafeName = "websafe.pal";

// The built-in web-safe palette: the 216 colours whose channels are
// multiples of 51, red slowest, then 40 black entries.
const std::vector<PickerRgb>& WebSafePalette();
// Its file form (JASC-PAL text with 256 entries).
std::string WebSafePaletteFileText();
// Writes websafe.pal into the directory when it is missing; answers its path.
std::string EnsureWebSafePaletteFile(const std::string& dir);

// Loads a palette by name as the picker does: names other than
// "websafe.pal" are looked up in the palette directory; a missing file says
// so and gives the web-safe palette; read problems are shown through the host.
std::optional<PaletteData> LoadPickerPalette(const std::string& name, const std::string& palette_dir,
                                             const std::string& websafe_dir, BwUiHost& host);

// The palette list: "websafe.pal" and every *.pal, *.gif and *.act file of
// the directory, sorted, without repeats.
std::vector<std::string> ListPaletteFiles(const std::string& dir);

// The grid's 256 cells; entries a palette does not fill are black.
std::array<PickerRgb, 256> GridFromPalette(const PaletteData& p);

// Sorts the first `count` entries by (max + min) / 2 rounded to a whole
// number (halves to even, as the platform's rounding does), ascending.
void SortByLuminance(std::vector<PickerRgb>& colors, int count);
int LuminanceKey(PickerRgb c);

// The grid cell nearest to a colour: columns from the left, each from the
// top, distance |dr|+|dg|+|db|; an exact match wins at once, else the first
// cell with the smallest distance.
int NearestGridIndex(const std::array<PickerRgb, 256>& grid, PickerRgb c);

// The 13 intermediate pictures of a fade from old to new: picture k (1..13)
// is old + (new - old) * k / 15 per channel, truncating.
std::vector<std::array<PickerRgb, 256>> FadePictures(const std::array<PickerRgb, 256>& from,
                                                      const std::array<PickerRgb, 256>& to);

// A grid cell's text form "r,g,b", and back.
std::string CellText(PickerRgb c);
std::optional<PickerRgb> CellColor(const std::string& text);

// Pasting into a hex field: "#" removed, trimmed, one pair of quotes
// removed; six hexadecimal characters give the colour, anything else the
// message TEXT + " is not a valid HTML color code.".
std::optional<PickerRgb> ParseHtmlColor(const std::string& clipboard, std::string* error);
// Pasting into the red field: text with "," that splits into exactly three
// pieces fills red, green and blue (each piece as typed).
std::optional<std::array<std::string, 3>> SplitDecimalTriple(const std::string& clipboard);
// Two upper-case hex digits of a decimal field's text; value of a hex field.
std::string DecimalToHexField(const std::string& decimal);
std::optional<int> HexFieldValue(const std::string& hex);

// Custom colours: 16 swatches, white when empty; stored as the colour
// integer (red in the low byte) under the values "0" to "15" of the section
// "Custom Colours".
inline constexpr const char* kPickerSettingsKey = "Software\\Tolvane\\Color Picker";
inline constexpr const char* kCustomColoursSection = "Custom Colours";
std::string CustomColorStoreValue(Color c);
std::optional<Color> CustomColorFromStore(const std::string& value);
// The swatch hint: "#RRGGBB" + line break + "r,g,b".
std::string CustomColorHint(Color c);

PickerRgb ToPickerRgb(Color c);
Color FromPickerRgb(PickerRgb c);

}  // namespace branchwork
