#include "cinemill/app/preview_prefs.h"

namespace cinemill {

std::optional<uint32_t> PreviewBackgroundRgb(uint32_t v) {
    if ((v & kPreviewBackgroundSet) == 0) return std::nullopt;
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

uint32_t EncodePreviewBackground(uint32_t rgb) {
    return kPreviewBackgroundSet | ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

bool BrowserDelaysPreferred(const PreferenceBlock& prefs) { return prefs.Flag(kFlagBrowserDelays); }

void SetBrowserDelaysPreferred(PreferenceBlock& prefs, bool on) {
    prefs.SetBits(PreferenceBlock::kProgramFlags, kFlagBrowserDelays, on);
}

}  // namespace cinemill
