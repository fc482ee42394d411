#pragma once

#include <span>

#include "cinemill/doc/read_outcome.h"

namespace cinemill {

class PreferenceBlock;
class ProgressReporter;
class UiHost;

// Preference slot 6 bits that remember the layer choice.
constexpr uint32_t kPsdFlagLayersAsFrames = 0x200;
constexpr uint32_t kPsdFlagBlendComposite = 0x400;
constexpr uint32_t kPsdFlagKeepBackground = 0x800;

// PackBits: 0..127 copies n + 1 bytes, -1..-127 repeats the next byte
// 1 - n times, -128 is skipped. Decodes one row of `out.size()` bytes
// from `in`; false when the data ends early.
bool UnpackBitsRow(std::span<const uint8_t> in, std::span<uint8_t> out);

// A Photoshop file (8 bits per channel; grey, indexed or RGB) as one
// composite frame or, when it has several layers and the user asks for it
// (through the host; the choice is kept in preference slot 6), one frame
// per layer. Failed after a message, or when the user cancels the layer
// question or the progress.
ReadOutcome ImportPsd(std::span<const uint8_t> file, UiHost& host, ProgressReporter& progress,
                      PreferenceBlock& prefs);

// True when the first bytes start a Photoshop file ("8BPS").
bool IsPsdHeader(std::span<const uint8_t> first);

}  // namespace cinemill
