#pragma once

#include <memory>
#include <span>
#include <string>

#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// A BMP file (or a packed DIB without file header, as on the clipboard) as a
// one-frame animation: palette images get a global palette, 24-bit images a
// TrueColorPlane. Core (12-byte) headers are widened; larger information
// headers (v2 to v5) are cut to the 40-byte header the conversion reads.
// None after a message on failure.
std::unique_ptr<Animation> ImportBmp(std::span<const uint8_t> file, UiHost& host,
                                     const PreferenceBlock& prefs);
std::unique_ptr<Animation> ImportBmpFile(const std::string& path, UiHost& host,
                                         const PreferenceBlock& prefs);

}  // namespace cinemill
