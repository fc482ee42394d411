// What the Optimize dialog decides: its experiment on a copy, its texts and
// which controls are enabled.
#include "cinemill/app/optimize_dialog.h"

#include <algorithm>
#include <cstdio>

#include "cinemill/app/number_text.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/gif/gif_writer.h"

namespace cinemill {

namespace of = optimize_flags;

SavingsTexts MakeSavingsTexts(int64_t document_size, int64_t copy_size) {
    SavingsTexts t;
    t.optimizedSize = FormatString(StringId::BytesFormat, GroupedNumber(copy_size));
    const int64_t savings = document_size - copy_size;
    if (savings < 0 || document_size <= 0) return t;
    if (savings == 0) {
        t.savings = std::string(LoadString(StringId::OptimizeSavingsNone));
        return t;
    }
    t.savings = FormatString(StringId::BytesFormat, GroupedNumber(savings));
    char buf[32];
    std::snprintf(buf, sizeof buf, "(%.1f%%)", double(savings) * 100.0 / double(document_size));
    t.percent = buf;
    return t;
}

OptimizeControlState OptimizeControls(uint32_t flags, bool has_local_palettes) {
    OptimizeControlState s;
    s.removeLocalPalettes = has_local_palettes;
    s.paletteRadios = has_local_palettes && (flags & of::kRemoveLocalPalettes);
    s.transparency = (flags & of::kShrinkFrames) != 0;
    s.removeFrames = (flags & of::kShrinkFrames) != 0;
    s.lossyLevel = (flags & of::kLossy) != 0;
    return s;
}

uint32_t EffectiveOptimizeFlags(uint32_t flags, bool has_local_palettes) {
    if (!has_local_palettes) flags &= ~(of::kRemoveLocalPalettes | of::kMapToGlobal | of::kMetaPalette);
    if (!(flags & of::kLossy)) flags &= ~of::kLossyLevelMask;
    return flags;
}

int LossyLevelShown(uint32_t flags) {
    constexpr int kFirstLevel = 80;
    const int level = static_cast<int>((flags & of::kLossyLevelMask) >> of::kLossyLevelShift);
    return level == 0 ? kFirstLevel : std::min(level, 200);
}

OptimizeExperiment RunOptimizeExperiment(const Animation& doc, int64_t document_size, uint32_t flags,
                                         UiHost& host, ProgressReporter& progress,
                                         const PreferenceBlock& prefs) {
    OptimizeExperiment e;
    e.documentSize = document_size;
    progress.SetText(StringId::CopyingAnimation);
    e.copy = CopyAnimation(doc);
    if (!e.copy) return e;
    if (progress.StopRequested()) {
        e.result = Result::Stopped;
        return e;
    }
    e.result = Optimize(*e.copy, flags, host, progress, prefs);
    if (e.result == Result::Stopped) return e;
    progress.SetText(StringId::OptimizeCalculatingSize);
    SilentProgress silent;
    e.copySize = EncodedSize(*e.copy, true, silent, prefs);
    return e;
}

}  // namespace cinemill
