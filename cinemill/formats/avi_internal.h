#pragma once

#include <string>

#include "cinemill/formats/avi.h"

namespace cinemill {

// ImportAvi, with the FFmpeg path for other codecs switched on or off (the
// fuzz target exercises our own parser and decoders only).
ReadOutcome ImportAviWith(const std::string& path, UiHost& host, ProgressReporter& progress,
                          const PreferenceBlock& prefs, bool allow_ffmpeg);

// Decodes the first video stream with FFmpeg into TrueColorPlanes; the
// delay rule is that of our own reader, on the stream's sample numbers.
ReadOutcome ImportAviWithFfmpeg(const std::string& path, UiHost& host,
                                ProgressReporter& progress, const PreferenceBlock& prefs);

// Encodes the frames with the named FFmpeg encoder into an AVI at `path`.
// `error` receives the FFmpeg error code (negative) or 0; -ENOMEM stands
// for running out of memory. Stopped when the reporter asked.
Result EncodeAviWithFfmpeg(const std::string& path, const Animation& a, const std::string& codec,
                           ProgressReporter& progress, int& error);

}  // namespace cinemill
