#pragma once

#include <memory>
#include <string>

#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class ProgressReporter;
class UiHost;

struct ImportOutcome {
    Result result = Result::Failed;  // Stopped: partly read, the frames kept
    std::unique_ptr<Animation> animation;
    bool native = false;  // a GIF file
};

// Reading one file as the open command does: the file must open, then the
// reader is chosen by the extension ("gif", "avi", "bmp"/"dib", "jpg"/"jpeg",
// "psd", "ani", any letter case); others get "Unable to read this type of
// file.". The frames are named after the file and the colour usage
// recounted. True-colour frames still need palette merging.
ImportOutcome ReadImageFile(const std::string& path, UiHost& host, ProgressReporter& progress,
                            PreferenceBlock& prefs);

}  // namespace cinemill
