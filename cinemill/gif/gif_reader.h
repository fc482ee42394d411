#pragma once

#include <memory>
#include <span>
#include <string>

#include "cinemill/base/file_io.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"
#include "cinemill/doc/read_outcome.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// True when the bytes start with "GIF87a" or "GIF89a".
bool IsGifSignature(std::span<const uint8_t> bytes);

struct GifReadOptions {
    // Most bytes the frames of the document may take; 0 means MemoryBudget().
    // Past it reading stops with "Not enough memory to build frame image."
    // and keeps the frames before.
    uint64_t memoryBudget = 0;
};

// Reads a GIF stream; `file` is the whole file, signature included (the
// signature itself is not checked here). Done when read up to the
// trailer. Messages go to the host.
ReadOutcome ReadGif(std::span<const uint8_t> file, UiHost& host, ProgressReporter& progress,
                    const PreferenceBlock& prefs, const GifReadOptions& options = {});

// Header test of a reader: true when the first bytes may start its format.
using HeaderCheck = bool (*)(std::span<const uint8_t> first);

// TooLarge: the file is larger than the memory budget (see MemoryBudget)
// or could not be held in memory.
enum class FileRead { Ok, CannotOpen, NotRegular, TooLarge };

// Reads a regular file, looking at its first `header_size` bytes first: when
// `check` refuses them, only those bytes are read (the reader then fails on
// them with its own message) instead of the whole file.
FileRead ReadFileChecked(const std::string& path, std::vector<uint8_t>& out, size_t header_size,
                         HeaderCheck check);

// What a reader of files says when ReadFileChecked fails: "Unable to open
// file", that the path is not a regular file, or that it is too large.
void TellFileReadFailure(UiHost& host, FileRead r, const std::string& path);

// What the open command does for a GIF: checks the signature ("... is not a
// valid GIF File."), reads, then names the frames and (unless asked not to)
// recounts the colour usage.
ReadOutcome OpenGifFile(const std::string& path, UiHost& host, ProgressReporter& progress,
                        const PreferenceBlock& prefs, bool count_usage = true,
                        const GifReadOptions& options = {});

}  // namespace cinemill
