#pragma once

#include <memory>
#include <span>
#include <string>

#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// True when the bytes start with "GIF87a" or "GIF89a".
bool IsGifSignature(std::span<const uint8_t> bytes);

struct GifReadOutcome {
    // Failed: nothing read (no animation). Done: read up to the trailer.
    // Stopped: only part was read (an error after at least one frame, or a
    // stop request); the animation holds what was read.
    Result result = Result::Failed;
    std::unique_ptr<Animation> animation;
};

// Reads a GIF stream; `file` is the whole file, signature included (the
// signature itself is not checked here). Messages go to the host.
GifReadOutcome ReadGif(std::span<const uint8_t> file, UiHost& host, ProgressReporter& progress,
                       const PreferenceBlock& prefs);

// Reads a whole file into memory; false when it cannot be read or is not a
// regular file (a pipe or a device would block or never end).
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);

// Header test of a reader: true when the first bytes may start its format.
using HeaderCheck = bool (*)(std::span<const uint8_t> first);

enum class FileRead { Ok, CannotOpen, NotRegular };

// Reads a regular file, looking at its first `header_size` bytes first: when
// `check` refuses them, only those bytes are read (the reader then fails on
// them with its own message) instead of the whole file.
FileRead ReadFileChecked(const std::string& path, std::vector<uint8_t>& out, size_t header_size,
                         HeaderCheck check);

// What a reader of files says when ReadFileChecked fails: "Unable to open
// file" or that the path is not a regular file.
void TellFileReadFailure(UiHost& host, FileRead r, const std::string& path);

// What the open command does for a GIF: checks the signature ("... is not a
// valid GIF File."), reads, then names the frames and (unless asked not to)
// recounts the colour usage.
GifReadOutcome OpenGifFile(const std::string& path, UiHost& host, ProgressReporter& progress,
                           const PreferenceBlock& prefs, bool count_usage = true);

}  // namespace cinemill
