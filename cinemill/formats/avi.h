#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cinemill/base/result.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/animation.h"
#include "cinemill/doc/read_outcome.h"

namespace cinemill {

class PreferenceBlock;
class ProgressReporter;

// Reads the first video stream of an AVI file: uncompressed 1 to 32 bits,
// RLE8 and RLE4 by our own code, every other codec through FFmpeg. Palette
// streams give 8-bit frames with a global palette (and local palettes where
// a frame's table differs); the others give TrueColorPlanes. A frame lasts
// until the next sample that has data.
ReadOutcome ImportAvi(const std::string& path, UiHost& host, ProgressReporter& progress,
                      const PreferenceBlock& prefs);

// ---- export ------------------------------------------------------------------

// Why the animation cannot be written as AVI; none when it can.
std::optional<StringId> AviExportProblem(const Animation& a);

// The delay unit: the largest divisor of the smallest delay that divides
// every delay (each delay counting as at least 1).
uint32_t AviDelayUnit(const std::vector<uint32_t>& delays);

// Sample positions of the frames, then the position of the repeated last
// frame (left out when it falls on the last frame's own position), and the
// stream length.
struct AviTimeline {
    uint32_t unit = 1;
    std::vector<uint32_t> positions;
    std::optional<uint32_t> repeatAt;
    uint32_t length = 0;
};
AviTimeline PlanAviTimeline(const std::vector<uint32_t>& delays);

// RLE8 of a bottom-up 8-bit image: encoded and absolute runs, end-of-line
// codes, an end-of-bitmap code.
std::vector<uint8_t> EncodeRle8(const FrameBitmap& bmp);
// Decodes RLE8 (bits 8) or RLE4 (bits 4) onto a bottom-up canvas of 8-bit
// indices (width x height, rows of `width` bytes, row 0 at the bottom);
// pixels the data skips keep their values. False on malformed data (what
// was drawn stays).
bool DecodeRle(std::span<const uint8_t> data, int bits, int width, int height,
               std::vector<uint8_t>& canvas);

// Names of the FFmpeg encoders that can go into an AVI on this machine.
std::vector<std::string> AviCodecChoices();

// Writes the animation as an AVI with the given compression (no question
// asked). Failed after a message.
Result WriteAvi(const std::string& path, const Animation& a, const AviCompressionChoice& c,
                UiHost& host, ProgressReporter& progress);

// The export command: checks, asks the compression through the host and
// writes; when a codec fails, asks whether to keep the file uncompressed.
Result ExportAvi(const std::string& path, const Animation& a, UiHost& host,
                 ProgressReporter& progress);

}  // namespace cinemill
