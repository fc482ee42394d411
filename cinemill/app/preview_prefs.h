#pragma once

#include <cstdint>
#include <optional>

#include "cinemill/base/preferences.h"

namespace cinemill {

// ---- preview preferences ----------------------------------------------------------------

// Slot 11: with 0x1000000 set the low 24 bits hold the background colour as
// red in the low byte, green, blue (a Windows colour value); otherwise the
// preview shows the system's button face.
constexpr uint32_t kPreviewBackgroundSet = 0x1000000;
// The chosen background as 0xRRGGBB, or none for the button face.
std::optional<uint32_t> PreviewBackgroundRgb(uint32_t slot11);
// Slot 11 for a chosen 0xRRGGBB colour.
uint32_t EncodePreviewBackground(uint32_t rgb);

// Program flag (slot 6) of the preview's "Play short delays as browsers do"
// box: delays under 2/100 s play as 10/100 s. Off by default; the box
// changes only this bit.
constexpr uint32_t kFlagBrowserDelays = 0x10000;
bool BrowserDelaysPreferred(const PreferenceBlock& prefs);
void SetBrowserDelaysPreferred(PreferenceBlock& prefs, bool on);

}  // namespace cinemill
