// Feeds arbitrary GIF bytes to the optimizer with a technique set taken from
// the first byte, and checks the optimizer's promise: the optimized
// animation shows the same pictures (removed frames' delays added to the
// frame before). Unoptimize must show the same pictures too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/imaging/optimize.h"
#include "cinemill/imaging/test_support.h"
#include "cinemill/imaging/unoptimize.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cinemill;
    namespace of = optimize_flags;
    if (size < 2) return 0;
    FrameBitmap::SetByteLimit(uint64_t{1} << 22);
    static const uint32_t kFlags[8] = {
        0, of::kShrinkFrames, of::kShrinkFrames | of::kTransparency, of::kShrinkFrames | of::kRemoveFrames,
        of::kShrinkPalettes, of::kRemoveLocalPalettes | of::kShrinkPalettes,
        of::kShrinkFrames | of::kTransparency | of::kRemoveFrames | of::kShrinkPalettes | of::kRemoveLocalPalettes,
        of::kDefault | of::kTransparency};
    const uint32_t flags = kFlags[data[0] & 7];
    SilentUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    auto r = ReadGif(std::span<const uint8_t>(data + 1, size - 1), host, progress, prefs);
    if (!r.animation || r.animation->FrameCount() == 0) return 0;
    Animation& a = *r.animation;
    const uint64_t area = uint64_t(a.width) * a.height;
    if (area == 0 || area > 65536 || area * a.FrameCount() > (1u << 20)) return 0;
    testing_support::NumberFrames(a);
    // The meta-palette is lossy by design when the colours do not fit.
    const bool lossless = !(flags & of::kMetaPalette) || !testing_support::HasLocalPalettes(a);
    auto out = CopyAnimation(a);
    if (Optimize(*out, flags, host, progress, prefs) != Result::Done) return 0;
    if (lossless) {
        const bool removal = (flags & of::kRemoveFrames) && (flags & of::kShrinkFrames);
        if (!testing_support::CompareTimelines(a, *out, removal).empty()) std::abort();
    }
    if (!testing_support::HasLocalPalettes(a)) {
        auto u = CopyAnimation(a);
        if (Unoptimize(*u, host, progress) == Result::Done &&
            !testing_support::CompareTimelines(a, *u, false).empty())
            std::abort();
    }
    return 0;
}
