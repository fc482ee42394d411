#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"
#include "cinemill/imaging/optimize.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// The dialog's experiment: a fresh deep copy of `doc`, optimized with
// `flags`, and its encoded size beside the document's (`document_size`,
// the main window's count).
struct OptimizeExperiment {
    std::unique_ptr<Animation> copy;
    Result result = Result::Failed;
    int64_t documentSize = -1;
    int64_t copySize = -1;
};
OptimizeExperiment RunOptimizeExperiment(const Animation& doc, int64_t document_size, uint32_t flags,
                                         UiHost& host, ProgressReporter& progress,
                                         const PreferenceBlock& prefs);

// "Optimized Size:", "Savings:" and the percentage texts of the dialog.
struct SavingsTexts {
    std::string optimizedSize;  // "%s bytes"
    std::string savings;        // "None", "%s bytes" or empty when negative
    std::string percent;        // "(%.1f%%)" or empty
};
SavingsTexts MakeSavingsTexts(int64_t document_size, int64_t copy_size);

// Which dialog controls are enabled for a flag set and document.
struct OptimizeControlState {
    bool removeLocalPalettes = true;  // "Remove local palettes"
    bool paletteRadios = true;        // the three radio buttons
    bool transparency = true;         // "Replace duplicate pixels with transparency"
    bool removeFrames = true;         // "Remove unnecessary frames"
    bool lossyLevel = false;          // the level beside "Lossy compression"
};
OptimizeControlState OptimizeControls(uint32_t flags, bool has_local_palettes);
// The flags a run uses: a disabled "Remove local palettes" gives no
// palette-removal bits, and lossy compression off no level.
uint32_t EffectiveOptimizeFlags(uint32_t flags, bool has_local_palettes);
// The level the dialog shows for stored flags: theirs, or 80 when none was
// ever chosen.
int LossyLevelShown(uint32_t flags);

}  // namespace cinemill
