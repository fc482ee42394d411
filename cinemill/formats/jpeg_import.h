#pragma once

#include <memory>
#include <span>
#include <string>

#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// A JPEG as a one-frame animation holding a TrueColorPlane (grey samples
// replicated to all three bytes). Library errors are shown with the
// library's own message; a file that ends early is refused too. None after
// a message on failure.
std::unique_ptr<Animation> ImportJpeg(std::span<const uint8_t> file, UiHost& host,
                                      const PreferenceBlock& prefs);
std::unique_ptr<Animation> ImportJpegFile(const std::string& path, UiHost& host,
                                          const PreferenceBlock& prefs);

}  // namespace cinemill
