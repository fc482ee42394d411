#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"
#include "cinemill/doc/read_outcome.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// What the "INFO" list of a cursor named.
struct AniInfo {
    std::string title;   // INAM, at most 80 bytes
    std::string author;  // IART, at most 80 bytes
};

// A Windows animated cursor (RIFF "ACON") as an animation with one frame per
// step, each with a local palette, disposal 2 and the mask as transparency.
// LIST chunks whose size overstates their content by a few bytes are
// tolerated, as is a missing sequence flag. Failed after a message.
ReadOutcome ImportAni(std::span<const uint8_t> file, UiHost& host, const PreferenceBlock& prefs,
                      AniInfo* info = nullptr);

// True when the first bytes start an animated cursor ("RIFF" ... "ACON").
bool IsAniHeader(std::span<const uint8_t> first);

// Bytes of one frame's "icon" chunk data.
uint64_t AniIconDataSize(int width, int height);

// The cursor file for an animation; the hot spot is taken from the
// animation. Empty after a message when a frame cannot be written.
std::vector<uint8_t> BuildAni(const Animation& a, UiHost& host);

// Asks the hot spot (starting at the centre when unset), stores it in the
// animation and writes the cursor to `path` through a temporary file.
Result ExportAni(Animation& a, const std::string& path, UiHost& host);

}  // namespace cinemill
