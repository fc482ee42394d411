#pragma once
// The clipboard's frame formats: the private "Cinemill Frame (v2)" record and
// packed DIBs, and the one-frame animations pasted from them.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cinemill/base/strings.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

// The "Cinemill Frame (v2)" record: 1140 bytes + name length.
std::vector<uint8_t> BuildFrameClip(const Animation& a, const Frame& f);
struct FrameClipData {
    int32_t left = 0, top = 0, width = 0, height = 0;
    bool hasLocalPalette = false;
    uint32_t delay = 0;
    uint8_t controlFlags = 0, transparentIndex = 0, descriptorFlags = 0;
    std::string name;
};
std::optional<FrameClipData> ParseFrameClip(std::span<const uint8_t> bytes);

// Packed DIB (40-byte header, colour table, bottom-up rows) of a frame.
std::vector<uint8_t> BuildPackedDib(const Animation& a, const Frame& f);
// A one-frame animation from a packed DIB; none (after a message) for
// unsupported headers, run-length compression, 16/32-bit pixels or bad data.
// With local_palette the colour table becomes the frame's local palette.
// Pixel data shorter than the header promises is refused with `short_data`
// (a file reader names the file damaged; a pasted DIB is "not supported").
std::unique_ptr<Animation> AnimationFromPackedDib(std::span<const uint8_t> dib, UiHost& host,
                                                  const PreferenceBlock& prefs,
                                                  bool local_palette = false,
                                                  StringId short_data = StringId::DibUnsupported);
// The pasted frame as a one-frame animation: the DIB, then the record's
// values when there is a record ("[Unnamed]" at (0, 0) otherwise).
std::unique_ptr<Animation> AnimationFromClipboard(std::optional<std::span<const uint8_t>> record,
                                                  std::optional<std::span<const uint8_t>> dib,
                                                  UiHost& host, const PreferenceBlock& prefs);

}  // namespace cinemill
