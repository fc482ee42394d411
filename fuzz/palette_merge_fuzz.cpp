// Colour reduction, palette merging and insertion on whatever the GIF reader
// makes of the input. The last byte picks the colour count, the method and the
// dither choice. Every pixel must point into its palette afterwards.
#include <cstddef>
#include <cstdint>
#include <span>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/imaging/color_reduce.h"
#include "cinemill/imaging/document_ops.h"
#include "cinemill/imaging/palette_merge.h"

namespace {

bool IndicesValid(const cinemill::Animation& a) {
    for (const cinemill::Frame* f : a.Frames()) {
        if (!f->bitmap) continue;
        const cinemill::Palette* p = cinemill::PaletteInEffect(a, *f);
        if (!p) return false;
        for (int y = 0; y < f->bitmap->height; ++y)
            for (int x = 0; x < f->bitmap->width; ++x)
                if (f->bitmap->At(x, y) >= p->size()) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cinemill;
    if (size < 8) return 0;
    const uint8_t control = data[size - 1];
    SilentUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    auto read = ReadGif(std::span<const uint8_t>(data, size), host, progress, prefs);
    if (!read.animation) return 0;
    Animation& a = *read.animation;
    uint64_t pixels = 0;
    for (const Frame* f : a.Frames())
        if (f->bitmap) pixels += static_cast<uint64_t>(f->bitmap->width) * static_cast<uint64_t>(f->bitmap->height);
    if (pixels > (1u << 22)) return 0;
    RecountColorUsage(a, true);
    const bool valid = IndicesValid(a);

    auto reduced = CopyAnimation(a);
    static const int kCounts[8] = {2, 3, 4, 8, 16, 64, 255, 256};
    ReduceAnimation(*reduced, kCounts[control & 7], control & 8, progress, host);
    if (valid && !IndicesValid(*reduced)) __builtin_trap();

    static const uint32_t kMethods[8] = {merge::kSelfAdapting, merge::kMergeGlobal, merge::kMapGlobal, merge::kWeb,
                                         merge::kLocal, merge::kSelfAdapting | merge::kFoldLocal, 0x3, 0};
    const uint32_t method = merge::Compose(kMethods[(control >> 4) & 7] | ((control & 0x80) ? merge::kDither : 0),
                                           3 + (control & 7) % 6, 3 + (control >> 3) % 6);
    auto incoming = CopyAnimation(a);
    if (method & merge::kMethodMask) prefs.Set(PreferenceBlock::kPaletteMerging, method);
    if (InsertAnimation(*reduced, *incoming, control % 3 - 1, host, progress, prefs) == Result::Done && valid &&
        !IndicesValid(*reduced))
        __builtin_trap();
    if (reduced->FrameCount() > 0) RemoveLocalPalette(*reduced, 0, host, progress, prefs);
    if (valid && !IndicesValid(*reduced)) __builtin_trap();
    return 0;
}
