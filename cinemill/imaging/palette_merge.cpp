// Palette merging: first version (identical palettes, stand-alone indexed
// documents, nearest mapping onto the target palette, web cube for true colour).
#include "cinemill/imaging/palette_merge.h"

#include <utility>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {
namespace {

int Nearest(const Palette& p, Rgb c) {
    int best = 0;
    int bestd = 0x30000;
    for (int i = 0; i < p.size(); ++i) {
        const int dr = p[i].r - c.r, dg = p[i].g - c.g, db = p[i].b - c.b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestd) {
            bestd = d;
            best = i;
        }
    }
    return best;
}

void MapTrueColorFrame(Frame& f, const Palette& p) {
    auto bmp = FrameBitmap::Create(f.width, f.height);
    if (!bmp) return;
    const size_t stride3 = (static_cast<size_t>(f.width) * 3 + 3) / 4 * 4;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const size_t o = stride3 * y + 3 * x;
            if (o + 2 >= f.trueColor.size()) continue;
            bmp->Row(y)[x] = static_cast<uint8_t>(
                Nearest(p, Rgb{f.trueColor[o + 2], f.trueColor[o + 1], f.trueColor[o]}));
        }
    SetBitmap(f, std::move(*bmp));
    f.trueColor.clear();
    f.transparencyPlane.clear();
}

}  // namespace

Palette WebPalette() {
    Palette p;
    p.entries.resize(256);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                p[36 * r + 6 * g + b] = Rgb{static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g),
                                            static_cast<uint8_t>(51 * b)};
    return p;
}

Result MergePalettes(Animation* target, Animation& incoming, uint32_t method, UiHost& host,
                     ProgressReporter&, PreferenceBlock& prefs) {
    bool true_color = false;
    for (const Frame* f : std::as_const(incoming).Frames()) true_color |= !f->trueColor.empty();
    if (target && target->globalPalette && incoming.globalPalette &&
        *target->globalPalette == *incoming.globalPalette && !true_color) {
        incoming.globalPalette.reset();
        return Result::Done;
    }
    if (!target && !true_color && !(method & merge::kFoldLocal)) return Result::Done;
    if (method == 0) method = prefs.AskOrUse(PreferenceBlock::kPaletteMerging, host);
    if (method == 0) return Result::Stopped;
    Palette p = target && target->globalPalette ? *target->globalPalette
                : incoming.globalPalette      ? *incoming.globalPalette
                                              : WebPalette();
    for (Frame* f : incoming.Frames()) {
        if (!f->trueColor.empty()) {
            MapTrueColorFrame(*f, p);
        } else if (!f->localPalette && f->bitmap && incoming.globalPalette) {
            for (auto& px : f->bitmap->pixels) {
                const Palette& old = *incoming.globalPalette;
                px = static_cast<uint8_t>(Nearest(p, px < old.size() ? old[px] : Rgb{}));
            }
        }
    }
    if (target) {
        if (!target->globalPalette) SetGlobalPalette(*target, p);
        incoming.globalPalette.reset();
    } else {
        SetGlobalPalette(incoming, p);
        RecountColorUsage(incoming, true);
    }
    return Result::Done;
}

}  // namespace cinemill
