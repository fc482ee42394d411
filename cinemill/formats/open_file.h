#pragma once

#include <memory>
#include <string>

#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"
#include "cinemill/doc/read_outcome.h"

namespace cinemill {

class PreferenceBlock;
class ProgressReporter;
class UiHost;

// What the open command read: a reader's outcome, and whether the file was
// a GIF (whose frames keep the file's name).
struct ImportOutcome : ReadOutcome {
    bool native = false;
};

// The formats whose importers work on the whole file in memory.
enum class ImportFormat { Bmp, Jpeg, Psd, Ani };

// Reads a file of one of those formats and hands it to its importer. The
// signature is looked at first: a file that does not start as the format
// does is not read further, and its importer fails on those first bytes
// with its own message. A file that cannot be opened, is not a regular file
// or is too large is told here.
ReadOutcome ImportFile(const std::string& path, ImportFormat format, UiHost& host,
                       ProgressReporter& progress, PreferenceBlock& prefs);

// Reading one file as the open command does: the file must open, then the
// reader is chosen by the extension ("gif", "avi", "bmp"/"dib", "jpg"/"jpeg",
// "psd", "ani", any letter case); others get "Unable to read this type of
// file.". The frames are named after the file and the colour usage
// recounted. True-colour frames still need palette merging.
ImportOutcome ReadImageFile(const std::string& path, UiHost& host, ProgressReporter& progress,
                            PreferenceBlock& prefs);

}  // namespace cinemill
