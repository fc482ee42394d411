#pragma once

#include <cstdint>

#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// Method word of palette merging (the merging preference, slot 10).
namespace merge {
constexpr uint32_t kSelfAdapting = 0x00001;  // self-adapting global palette
constexpr uint32_t kMergeGlobal = 0x00002;   // merge new with current global palette
constexpr uint32_t kMapGlobal = 0x00004;     // map new to current global palette
constexpr uint32_t kWeb = 0x00008;           // map all to the web colour cube
constexpr uint32_t kLocal = 0x00010;         // a local palette for every new frame
constexpr uint32_t kMethodMask = 0x0001F;
constexpr uint32_t kDither = 0x00100;     // dither when mapping colours
constexpr uint32_t kAsk = 0x00200;        // ask every time
constexpr uint32_t kFoldLocal = 0x01000;  // fold local-palette frames into the new global palette

// Bits 16-19: the self-adapting palette has 2^b1 colours; bits 20-23: true-colour
// frames are mapped to at most 2^b2 colours (b of 2 or less means 256).
constexpr uint32_t Compose(uint32_t method, int b1, int b2) {
    return method | (static_cast<uint32_t>(b1 & 0xF) << 16) | (static_cast<uint32_t>(b2 & 0xF) << 20);
}
}  // namespace merge

// Makes the frames of `incoming` fit the GIF limits and the palettes of
// `target`. With a target the incoming frames end up using the target's
// palettes (the caller then links them into the target; the target's global
// palette and pixels may change too). Without one, `incoming` is made ready to
// stand alone. True-colour frames (Frame::trueColor with the optional
// Frame::transparencyPlane) are always turned into palette pixels.
//
// `method` 0 means the preference decides (and may ask through the host's
// AskPaletteMerge, whose answer is stored in the preference). Answers Done,
// Stopped when the user cancelled the question or stopped the progress while
// colours were analysed (both animations are then as they were; once pixels
// are being remapped the work is finished), or Failed after a message.
Result MergePalettes(Animation* target, Animation& incoming, uint32_t method, UiHost& host,
                     ProgressReporter& progress, PreferenceBlock& prefs);

// The 216-colour web cube: entry 36r + 6g + b is (51r, 51g, 51b); entries 216
// to 255 are black.
Palette WebPalette();

}  // namespace cinemill
