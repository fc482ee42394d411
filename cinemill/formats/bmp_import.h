#pragma once

#include <span>

#include "cinemill/doc/read_outcome.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// A BMP file (or a packed DIB without file header, as on the clipboard) as a
// one-frame animation: palette images get a global palette, 24-bit images a
// TrueColorPlane. Core (12-byte) headers are widened; larger information
// headers (v2 to v5) are cut to the 40-byte header the conversion reads.
// Failed after a message.
ReadOutcome ImportBmp(std::span<const uint8_t> file, UiHost& host, const PreferenceBlock& prefs);

// True when the first bytes may start a BMP file or a packed DIB.
bool IsBmpHeader(std::span<const uint8_t> first);

}  // namespace cinemill
