#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// Techniques of the optimizer (preference slot 5).
namespace optimize_flags {
constexpr uint32_t kShrinkFrames = 0x002;       // frame stage: crop frames
constexpr uint32_t kTransparency = 0x004;       // frame stage: unchanged pixels -> transparency
constexpr uint32_t kRemoveLocalPalettes = 0x008;
constexpr uint32_t kMapToGlobal = 0x010;        // remove every local palette, nearest colours
constexpr uint32_t kShrinkPalettes = 0x020;
constexpr uint32_t kRemoveFrames = 0x040;       // frame stage: drop frames that change nothing
constexpr uint32_t kMetaPalette = 0x400;        // one new global palette for all frames
constexpr uint32_t kLossy = 0x800;              // last: lossy compression at the level below
// Bits 16-23: the lossy level (1-200), kept also while kLossy is off.
constexpr int kLossyLevelShift = 16;
constexpr uint32_t kLossyLevelMask = 0xFFu << kLossyLevelShift;
constexpr uint32_t kDefault = 0x46A;

// The lossy level the flags ask for (0 without kLossy).
inline int LossyLevel(uint32_t flags) {
    const int level = static_cast<int>((flags & kLossyLevelMask) >> kLossyLevelShift);
    return (flags & kLossy) ? (level > 200 ? 200 : level) : 0;
}
// The flags with `level` (clamped to 0-200) as their lossy level.
inline uint32_t WithLossyLevel(uint32_t flags, int level) {
    level = level < 0 ? 0 : level > 200 ? 200 : level;
    return (flags & ~kLossyLevelMask) | (static_cast<uint32_t>(level) << kLossyLevelShift);
}
}  // namespace optimize_flags

// Runs the optimizer on `a` in place: clipping to the screen and removal of
// plain-text and application extensions, then the palette stage (0x008,
// 0x020), then the frame stage (0x002). Done when it ran to the end,
// Stopped when the reporter asked to stop (between stages and frames; the
// animation then holds what was done), Failed when a stage ran out of
// memory (after a message; the frames done so far stay). `changed` tells
// whether anything in `a` was changed.
Result Optimize(Animation& a, uint32_t flags, UiHost& host, ProgressReporter& progress,
                const PreferenceBlock& prefs, bool* changed = nullptr);

// The stages on their own (Optimize runs them in order).
Result OptimizePaletteStage(Animation& a, uint32_t flags, UiHost& host, ProgressReporter& progress,
                            const PreferenceBlock& prefs, bool* changed = nullptr);
// The frame stage judges its transparency variants on worker threads: one
// per core unless limited here (0 = one per core; 1 = on the calling
// thread). The result does not depend on the number.
void SetOptimizeWorkers(unsigned n);
// The limit set (0 = one per core); the palette stage's per-frame passes
// keep to it too.
unsigned OptimizeWorkers();

Result OptimizeFrameStage(Animation& a, uint32_t flags, UiHost& host, ProgressReporter& progress,
                          bool* changed = nullptr);

// Clips every frame to the screen (a frame wholly outside becomes a
// transparent 1 x 1 frame at (0, 0) that draws nothing) and deletes plain-text
// and application extension blocks. False when memory ran out.
bool ClipAndStripForOptimize(Animation& a, bool* changed = nullptr);

// Gives a palette enough black entries to cover every index its frames use,
// so that remapping never gives colour to a pixel that showed black.
void PadPalettesToUsedIndexes(Animation& a);

// Old index -> new index (-1 = none) of a palette compaction.
using CompactMap = std::array<int16_t, 256>;

// Keeps the entries whose count is not 0, in order, padded with black to a
// power of two. Answers false (and leaves the outputs alone) when nothing
// would be dropped.
bool CompactPalette(const Palette& p, const ColorUsage& counts, Palette& out, CompactMap& map);

}  // namespace cinemill
