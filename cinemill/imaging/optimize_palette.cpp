// Palette stage of the optimizer: removing local palettes.
#include "cinemill/imaging/optimize_palette.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "cinemill/base/parallel.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/imaging/color_reduce.h"
#include "cinemill/imaging/optimize.h"
#include "cinemill/imaging/palette_merge.h"

namespace cinemill {

int NearestEntry(const Palette& p, Rgb c) {
    int best = -1;
    int64_t best_d = INT64_MAX;
    for (int i = 0; i < p.size(); ++i) {
        const int dr = int(p[i].r) - c.r, dg = int(p[i].g) - c.g, db = int(p[i].b) - c.b;
        const int64_t d = int64_t{dr} * dr + int64_t{dg} * dg + int64_t{db} * db;
        if (d < best_d) {
            best_d = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

LocalPalettePlacement PlaceLocalPalette(const Palette& global, const ColorUsage& usage, const Frame& f,
                                        bool nearest) {
    LocalPalettePlacement out;
    out.global = global;
    out.usage = usage;
    out.map.fill(-1);
    if (!f.localPalette) return out;
    const Palette& L = *f.localPalette;
    const ColorUsage c = CountFramePixels(f);
    const bool trans = f.Transparent() && c[f.transparentIndex] > 0;
    Palette& G = out.global;
    ColorUsage& U = out.usage;
    std::array<bool, 256> target{};
    size_t search = 0;
    for (int j = 0; j < 256; ++j) {
        const uint32_t n = c[static_cast<size_t>(j)];
        if (n == 0 || (trans && j == f.transparentIndex)) continue;
        const Rgb colour = j < L.size() ? L[j] : Rgb{};
        int k = -1;
        for (int i = 0; i < G.size(); ++i)
            if (G[i] == colour) {
                k = i;
                break;
            }
        if (k < 0) {
            for (size_t i = search; i < G.entries.size(); ++i)
                if (U[i] == 0) {
                    k = static_cast<int>(i);
                    search = i + 1;
                    G[k] = colour;
                    break;
                }
        }
        if (k < 0 && G.size() < 256) {
            G.entries.push_back(colour);
            k = G.size() - 1;
        }
        if (k < 0) {
            if (!nearest) return out;
            k = NearestEntry(G, colour);
            if (k < 0) return out;
        }
        out.map[static_cast<size_t>(j)] = static_cast<int16_t>(k);
        U[static_cast<size_t>(k)] += n;
        target[static_cast<size_t>(k)] = true;
    }
    if (trans) {
        int k = -1;
        for (int i = 0; i < G.size(); ++i)
            if (!target[static_cast<size_t>(i)]) {
                k = i;
                break;
            }
        if (k < 0 && G.size() < 256) {
            G.entries.push_back(Rgb{});
            k = G.size() - 1;
        }
        if (k < 0) return out;  // the frame's opaque colours fill all 256 entries
        out.map[f.transparentIndex] = static_cast<int16_t>(k);
        U[static_cast<size_t>(k)] += c[f.transparentIndex];
    }
    out.ok = true;
    return out;
}

namespace {

ColorUsage GlobalFrameUsage(const Animation& a) {
    ColorUsage u{};
    for (const Frame* f : a.Frames()) {
        if (f->localPalette) continue;
        const ColorUsage c = CountFramePixels(*f);
        for (size_t i = 0; i < 256; ++i) u[i] += c[i];
    }
    return u;
}

}  // namespace

Result RemoveLocalPalettesIntoGlobal(Animation& a, bool nearest, ProgressReporter& progress,
                                     bool& changed) {
    progress.SetText(StringId::RemovingLocalPalettes);
    progress.SetRange(a.FrameCount());
    ColorUsage usage = GlobalFrameUsage(a);
    for (Frame* f : a.Frames()) {
        if (f->localPalette) {
            const Palette g = a.globalPalette ? *a.globalPalette : Palette{};
            LocalPalettePlacement p = PlaceLocalPalette(g, usage, *f, nearest);
            if (p.ok) {
                RemapFrame(*f, p.map);
                SetLocalPalette(*f, std::nullopt);
                if (!a.globalPalette || !(p.global == *a.globalPalette)) SetGlobalPalette(a, std::move(p.global));
                usage = p.usage;
                changed = true;
            }
        }
        if (!progress.Step()) {
            RecountColorUsage(a, true);
            return Result::Stopped;
        }
    }
    RecountColorUsage(a, true);
    return Result::Done;
}

Result BuildMetaPalette(Animation& a, UiHost& host, ProgressReporter& progress,
                        const PreferenceBlock& prefs, bool& changed, std::vector<ColorUsage>* known) {
    // When every colour that some frame shows fits into one palette, the
    // meta-palette is exactly those colours and nothing is lost.
    const auto frames = a.Frames();
    std::vector<Rgb> colours;
    std::unordered_map<uint32_t, int> index;
    std::vector<ColorUsage> counts;
    if (known && known->size() == frames.size()) counts = std::move(*known);
    const bool counted = !counts.empty();
    if (known) known->clear();
    counts.resize(frames.size());
    for (size_t fi = 0; fi < frames.size(); ++fi) {
        const Frame& f = *frames[fi];
        if (!counted) counts[fi] = CountFramePixels(f);
        const Palette* pal = PaletteInEffect(a, f);
        for (int j = 0; j < 256; ++j) {
            if (!counts[fi][static_cast<size_t>(j)]) continue;
            if (f.Transparent() && j == f.transparentIndex) continue;
            const Rgb c = pal && j < pal->size() ? (*pal)[j] : Rgb{};
            if (index.emplace(RgbKey(c), static_cast<int>(colours.size())).second) colours.push_back(c);
        }
        if (colours.size() > 256) break;
    }
    bool fits = colours.size() <= 256;
    // Each frame with transparent pixels needs an index its colours do not use.
    if (fits) {
        for (size_t fi = 0; fi < frames.size() && fits; ++fi) {
            const Frame& f = *frames[fi];
            if (!f.Transparent() || !counts[fi][f.transparentIndex]) continue;
            int used = 0;
            for (int j = 0; j < 256; ++j)
                if (counts[fi][static_cast<size_t>(j)] && j != f.transparentIndex) ++used;
            if (used >= 256) fits = false;
            else if (used == static_cast<int>(colours.size()) && colours.size() == 256) fits = false;
        }
    }
    if (!fits) {
        // Too many colours: palette merging builds a self-adapting palette
        // from all palettes, local ones included (lossy by nature). The
        // merging preference gives the dither bit and colour counts.
        PreferenceBlock local = prefs;
        const uint32_t pref = prefs.Get(PreferenceBlock::kPaletteMerging);
        const uint32_t method = (pref & ~(merge::kMethodMask | merge::kAsk)) | merge::kSelfAdapting |
                                merge::kFoldLocal;
        const Result r = MergePalettes(nullptr, a, method, host, progress, local);
        if (r == Result::Done) changed = true;
        return r;
    }

    std::vector<std::array<int16_t, 256>> maps(frames.size());
    progress.SetText(StringId::RemovingLocalPalettes);
    progress.SetRange(static_cast<int64_t>(frames.size()));
    Palette meta;
    meta.entries = colours;
    if (meta.entries.empty()) meta.entries.push_back(Rgb{});
    for (size_t fi = 0; fi < frames.size(); ++fi) {
        const Frame& f = *frames[fi];
        const Palette* pal = PaletteInEffect(a, f);
        std::array<int16_t, 256>& map = maps[fi];
        map.fill(-1);
        std::array<bool, 256> target{};
        const bool trans = f.Transparent() && counts[fi][f.transparentIndex];
        for (int j = 0; j < 256; ++j) {
            if (!counts[fi][static_cast<size_t>(j)] || (trans && j == f.transparentIndex)) continue;
            const Rgb c = pal && j < pal->size() ? (*pal)[j] : Rgb{};
            const int k = index.at(RgbKey(c));
            map[static_cast<size_t>(j)] = static_cast<int16_t>(k);
            target[static_cast<size_t>(k)] = true;
        }
        if (trans) {
            int k = -1;
            for (int i = 0; i < meta.size(); ++i)
                if (!target[static_cast<size_t>(i)]) {
                    k = i;
                    break;
                }
            if (k < 0) {
                meta.entries.push_back(Rgb{});
                k = meta.size() - 1;
            }
            map[f.transparentIndex] = static_cast<int16_t>(k);
        }
    }
    // The pixels of all frames side by side; then the palettes go.
    ParallelFor(frames.size(), [&](size_t fi) { RemapFrame(*frames[fi], maps[fi]); }, OptimizeWorkers());
    for (size_t fi = 0; fi < frames.size(); ++fi) {
        SetLocalPalette(*frames[fi], std::nullopt);
        const std::array<int16_t, 256>& map = maps[fi];
        ColorUsage moved{};
        for (size_t j = 0; j < 256; ++j)
            if (counts[fi][j]) moved[static_cast<size_t>(map[j] < 0 ? 0 : map[j])] += counts[fi][j];
        counts[fi] = moved;
        progress.Step();
    }
    if (a.globalPalette && a.backgroundIndex < a.globalPalette->size()) {
        const auto it = index.find(RgbKey((*a.globalPalette)[a.backgroundIndex]));
        a.backgroundIndex = static_cast<uint8_t>(it != index.end() ? it->second : 0);
    } else {
        a.backgroundIndex = 0;
    }
    SetGlobalPalette(a, std::move(meta));
    // Every frame draws from the global palette now: its usage is the sum.
    a.colorUsage.fill(0);
    for (const ColorUsage& c : counts)
        for (size_t j = 0; j < 256; ++j) a.colorUsage[j] += c[j];
    if (known) *known = std::move(counts);
    changed = true;
    return progress.StopRequested() ? Result::Stopped : Result::Done;
}

}  // namespace cinemill
