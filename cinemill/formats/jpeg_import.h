#pragma once

#include <span>

#include "cinemill/doc/read_outcome.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// A JPEG as a one-frame animation holding a TrueColorPlane (grey samples
// replicated to all three bytes). Library errors are shown with the
// library's own message; a file that ends early is refused too. Failed
// after a message.
ReadOutcome ImportJpeg(std::span<const uint8_t> file, UiHost& host, const PreferenceBlock& prefs);

// True when the first bytes start a JPEG stream (the SOI marker).
bool IsJpegHeader(std::span<const uint8_t> first);

}  // namespace cinemill
