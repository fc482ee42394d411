// Palette merging: fitting incoming frames (indexed or true-colour) to the
// GIF limits and to the palette of the document they join.
#include "cinemill/base/tell.h"
#include "cinemill/imaging/palette_merge.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/imaging/color_reduce.h"
#include "cinemill/imaging/octree.h"

namespace cinemill {
namespace {

struct Ctx {
    UiHost& host;
    ProgressReporter& progress;
    ColorMapper mapper;
};

bool IsTrueColor(const Frame& f) { return !f.trueColor.empty(); }

size_t BgrStride(int w) { return (static_cast<size_t>(w) * 3 + 3) / 4 * 4; }
size_t MaskStride(int w) { return (static_cast<size_t>(w) + 3) / 4 * 4; }

// The plane sizes agree with the frame size.
bool TrueColorValid(const Frame& f) {
    if (f.width <= 0 || f.height <= 0 || f.width > 0xFFFF || f.height > 0xFFFF) return false;
    const size_t h = static_cast<size_t>(f.height);
    if (f.trueColor.size() < BgrStride(f.width) * h) return false;
    return f.transparencyPlane.empty() || f.transparencyPlane.size() >= MaskStride(f.width) * h;
}

// Whether any pixel of a true-colour frame is masked out.
bool HasMaskHoles(const Frame& f) {
    if (f.transparencyPlane.empty()) return false;
    const size_t ms = MaskStride(f.width);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            if (f.transparencyPlane[ms * static_cast<size_t>(y) + static_cast<size_t>(x)] == 0) return true;
    return false;
}

bool AnyTrueColor(const Animation& a) {
    for (const Frame* f : a.Frames())
        if (IsTrueColor(*f)) return true;
    return false;
}

// Pixels per global-palette index over frames without a local palette, with
// or without transparent pixels.
ColorUsage GlobalUsage(const Animation& a, bool skip_transparent) {
    if (skip_transparent) return CountOpaqueUsage(a);
    ColorUsage u{};
    for (const Frame* f : a.Frames())
        if (!f->localPalette && !IsTrueColor(*f)) {
            const ColorUsage fu = FrameUsage(*f, false);
            for (size_t i = 0; i < 256; ++i) u[i] += fu[i];
        }
    return u;
}

bool AnyTransparentGlobalFrame(const Animation& a) {
    for (const Frame* f : a.Frames())
        if (!f->localPalette && !IsTrueColor(*f) && f->Transparent()) return true;
    return false;
}

int WidestFrame(const Animation* a, const Animation& b) {
    int w = 0;
    for (const Animation* d : {a, &b})
        if (d)
            for (const Frame* f : d->Frames()) w = std::max({w, f->width, f->bitmap ? f->bitmap->width : 0});
    return w;
}

// Turns a true-colour frame into palette pixels. With an octree its look-up
// is used, else the inverse map (dithered or not). Masked-out pixels get
// `fill` and become the frame's transparent pixels.
bool FinishTrueColor(Frame& f, const Palette& p, const OctreeQuantizer* octree, bool dither, int fill,
                     Ctx& ctx) {
    auto bmp = FrameBitmap::Create(f.width, f.height);
    if (!bmp) {
        Tell(ctx.host, StringId::FrameImageNoMemory);
        return false;
    }
    const uint8_t* mask = f.transparencyPlane.empty() ? nullptr : f.transparencyPlane.data();
    if (octree && !dither) {
        const size_t bs = BgrStride(f.width), ms = MaskStride(f.width);
        for (int y = 0; y < f.height; ++y) {
            const uint8_t* s = f.trueColor.data() + bs * static_cast<size_t>(y);
            uint8_t* d = bmp->Row(y);
            for (int x = 0; x < f.width; ++x, s += 3)
                d[x] = mask && mask[ms * static_cast<size_t>(y) + static_cast<size_t>(x)] == 0
                           ? static_cast<uint8_t>(fill)
                           : static_cast<uint8_t>(octree->Lookup(s[2], s[1], s[0]));
        }
    } else if (!ctx.mapper.MapTrueColor(p, bmp->pixels.data(), bmp->stride, f.trueColor.data(), mask, f.width,
                                        f.height, dither, fill, ctx.host)) {
        return false;
    }
    const bool holes = HasMaskHoles(f);
    SetBitmap(f, std::move(*bmp));
    f.trueColor.clear();
    f.trueColor.shrink_to_fit();
    f.transparencyPlane.clear();
    f.transparencyPlane.shrink_to_fit();
    SetTransparent(f, holes);
    if (holes) f.transparentIndex = static_cast<uint8_t>(fill);
    return true;
}

// Dithers an indexed frame onto a palette that has no spare entry. A
// transparent frame's slot is the entry nearest to its old transparent colour;
// the opaque pixels are dithered onto the other entries, so that none of them
// turns transparent.
void DitherKeepingSlot(Frame& f, const Palette& old, const Palette& p, Ctx& ctx) {
    if (!f.Transparent() || p.size() < 2 || !f.bitmap) {
        ctx.mapper.DitherFrame(f, old, p, -1, ctx.host);
        return;
    }
    const uint8_t ti = f.transparentIndex;
    const int slot = NearestIndex(p, ti < old.size() ? old[ti] : Rgb{});
    Palette others = p;
    others.entries.erase(others.entries.begin() + slot);
    constexpr int kMark = 255;  // never an index into the 255 or fewer other entries
    if (!ctx.mapper.DitherFrame(f, old, others, kMark, ctx.host)) return;
    FrameBitmap& b = *f.bitmap;
    for (int y = 0; y < b.height; ++y) {
        uint8_t* row = b.Row(y);
        for (int x = 0; x < b.width; ++x)
            row[x] = row[x] == kMark ? static_cast<uint8_t>(slot)
                                     : static_cast<uint8_t>(row[x] >= slot ? row[x] + 1 : row[x]);
    }
    f.transparentIndex = static_cast<uint8_t>(slot);
}

// ---- self-adapting global palette ---------------------------------------------------------

Result SelfAdapting(Animation* target, Animation& incoming, uint32_t method, int bits, Ctx& ctx) {
    const bool fold = method & merge::kFoldLocal;
    const bool dither = method & merge::kDither;
    std::vector<Animation*> docs;
    if (target) docs.push_back(target);
    docs.push_back(&incoming);

    bool slot_kept = false;
    int frames = 0;
    for (Animation* d : docs)
        for (const Frame* f : std::as_const(*d).Frames()) {
            slot_kept |= f->Transparent() || !f->transparencyPlane.empty();
            ++frames;
        }
    const int k = 1 << bits;
    OctreeQuantizer octree(k);
    ctx.progress.SetText(StringId::AnalyzingColors);
    ctx.progress.SetRange(frames);
    for (Animation* d : docs) {
        if (d->globalPalette) octree.AddPalette(*d->globalPalette, GlobalUsage(*d, AnyTransparentGlobalFrame(*d)));
        for (const Frame* f : std::as_const(*d).Frames()) {
            if (IsTrueColor(*f))
                octree.AddPixels(f->trueColor.data(),
                                 f->transparencyPlane.empty() ? nullptr : f->transparencyPlane.data(), f->width,
                                 f->height);
            else if (fold && f->localPalette)
                octree.AddPalette(*f->localPalette, FrameUsage(*f, true));
            if (!ctx.progress.Step()) return Result::Stopped;
        }
    }
    const Palette p = octree.BuildPalette(k - (slot_kept ? 1 : 0), slot_kept);
    const int slot = slot_kept ? p.size() - 1 : -1;
    // Opaque pixels are dithered onto the colours without the slot, so that
    // none of them turns transparent.
    Palette opaque = p;
    if (slot_kept) opaque.entries.pop_back();
    if (dither && !ctx.mapper.Prepare(opaque, WidestFrame(target, incoming), ctx.host)) return Result::Failed;

    ctx.progress.SetText(StringId::RemappingFrameColors);
    ctx.progress.SetRange(frames);
    auto octree_map = [&](const Palette& old) {
        IndexMap m;
        m.fill(-1);
        for (int i = 0; i < old.size(); ++i)
            m[static_cast<size_t>(i)] = static_cast<int16_t>(octree.Lookup(old[i].r, old[i].g, old[i].b));
        return m;
    };
    for (Animation* d : docs) {
        std::optional<IndexMap> global_map;
        if (d->globalPalette && !dither) global_map = octree_map(*d->globalPalette);
        for (Frame* f : d->Frames()) {
            ctx.progress.Step();
            if (IsTrueColor(*f)) {
                if (!FinishTrueColor(*f, opaque, &octree, dither, std::max(slot, 0), ctx)) return Result::Failed;
                continue;
            }
            const bool local = f->localPalette.has_value();
            if (local && !fold) continue;
            const Palette* old = local ? &*f->localPalette : d->globalPalette ? &*d->globalPalette : nullptr;
            if (!old) continue;
            if (dither) {
                ctx.mapper.DitherFrame(*f, *old, opaque, slot, ctx.host);
            } else {
                IndexMap m = local ? octree_map(*old) : *global_map;
                if (f->Transparent() && slot >= 0) m[f->transparentIndex] = static_cast<int16_t>(slot);
                RemapFrame(*f, m);
            }
            if (local) SetLocalPalette(*f, std::nullopt);
        }
    }
    if (target) {
        SetGlobalPalette(*target, p);
        incoming.globalPalette.reset();
        RecountColorUsage(*target, true);
    } else {
        SetGlobalPalette(incoming, p);
        RecountColorUsage(incoming, true);
    }
    return Result::Done;
}

// ---- map onto a fixed palette ---------------------------------------------------------------

// Maps every true-colour frame and every frame without a local palette of
// `doc` onto `p`; masked-out true-colour pixels get the last entry.
bool MapOnto(Animation& doc, const Palette& p, bool dither, Ctx& ctx) {
    if (dither && !ctx.mapper.Prepare(p, WidestFrame(nullptr, doc), ctx.host)) return false;
    // Masked-out pixels take the last entry; the opaque ones are mapped onto
    // the entries before it, so that they never turn transparent.
    Palette opaque = p;
    if (opaque.size() > 1) opaque.entries.pop_back();
    for (Frame* f : doc.Frames())
        if (IsTrueColor(*f) && !FinishTrueColor(*f, HasMaskHoles(*f) ? opaque : p, nullptr, dither, p.size() - 1, ctx))
            return false;
    if (!doc.globalPalette) return true;
    const Palette old = *doc.globalPalette;
    if (dither) {
        for (Frame* f : doc.Frames())
            if (!f->localPalette) DitherKeepingSlot(*f, old, p, ctx);
    } else {
        IndexMap m = NearestIndexMap(old, p);
        RemapGlobalFrames(doc, m, p.size());
    }
    return true;
}

// ---- merge new with current global palette ----------------------------------------------------

Result MergeIntoGlobal(Animation& target, Animation& incoming, uint32_t method, Ctx& ctx) {
    const bool dither = method & merge::kDither;
    if (AnyTrueColor(incoming)) {
        const Result r = SelfAdapting(nullptr, incoming, method & merge::kDither,
                                      PreferenceBlock::MergeTrueColorBits(method), ctx);
        if (r != Result::Done) return r;
    }
    if (!incoming.globalPalette) return Result::Done;
    const Palette& in = *incoming.globalPalette;
    std::vector<Rgb> merged = target.globalPalette->entries;
    ColorUsage target_use = GlobalUsage(target, false);
    const ColorUsage incoming_use = GlobalUsage(incoming, false);
    IndexMap map;
    map.fill(-1);
    bool clean = true, changed = false;
    size_t search = 0;
    for (int j = 0; j < in.size(); ++j) {
        const uint32_t use = incoming_use[static_cast<size_t>(j)];
        if (use == 0) continue;
        const Rgb c = in[j];
        int nearest = 0, best = 0x30000;
        for (size_t e = 0; e < merged.size(); ++e) {
            const int dr = merged[e].r - c.r, dg = merged[e].g - c.g, db = merged[e].b - c.b;
            const int d = dr * dr + dg * dg + db * db;
            if (d < best) {
                best = d;
                nearest = static_cast<int>(e);
                if (d == 0) break;
            }
        }
        int chosen = nearest;
        if (best != 0) {
            while (search < merged.size() && target_use[search] != 0) ++search;
            if (search < merged.size()) {
                merged[search] = c;
                chosen = static_cast<int>(search);
                changed = true;
            } else if (merged.size() < 256) {
                merged.push_back(c);
                chosen = static_cast<int>(merged.size()) - 1;
                search = merged.size();
                changed = true;
            } else {
                clean = false;
            }
        }
        target_use[static_cast<size_t>(chosen)] += use;
        map[static_cast<size_t>(j)] = static_cast<int16_t>(chosen);
    }
    Palette result;
    result.entries = std::move(merged);
    const bool dithering = !clean && dither;
    if (dithering && !ctx.mapper.Prepare(result, WidestFrame(nullptr, incoming), ctx.host)) return Result::Failed;
    if (dithering) {
        for (Frame* f : incoming.Frames())
            if (!f->localPalette) DitherKeepingSlot(*f, in, result, ctx);
    } else {
        RemapGlobalFrames(incoming, map, result.size());
    }
    if (changed) SetGlobalPalette(target, std::move(result));
    incoming.globalPalette.reset();
    return Result::Done;
}

// ---- a local palette for every new frame ---------------------------------------------------------

Result LocalPalettes(Animation& incoming, uint32_t method, Ctx& ctx) {
    const bool dither = method & merge::kDither;
    const int k = 1 << PreferenceBlock::MergeTrueColorBits(method);
    ctx.progress.SetText(StringId::BuildingLocalPalettes);
    ctx.progress.SetRange(incoming.FrameCount());
    for (Frame* f : incoming.Frames()) {
        if (IsTrueColor(*f)) {
            const bool slot = f->Transparent() || HasMaskHoles(*f);
            OctreeQuantizer octree(k);
            octree.AddPixels(f->trueColor.data(), f->transparencyPlane.empty() ? nullptr : f->transparencyPlane.data(),
                             f->width, f->height);
            Palette p = octree.BuildPalette(k - (slot ? 1 : 0), slot);
            Palette opaque = p;
            if (slot) opaque.entries.pop_back();
            if (!FinishTrueColor(*f, opaque, &octree, dither, slot ? p.size() - 1 : 0, ctx)) return Result::Failed;
            SetLocalPalette(*f, std::move(p));
        } else if (!f->localPalette && incoming.globalPalette) {
            SetLocalPalette(*f, *incoming.globalPalette);
        }
        ctx.progress.Step();
    }
    incoming.globalPalette.reset();
    SetGlobalPalette(incoming, std::nullopt);
    return Result::Done;
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
                     ProgressReporter& progress, PreferenceBlock& prefs) {
    const bool true_color = AnyTrueColor(incoming);
    for (const Frame* f : std::as_const(incoming).Frames())
        if (IsTrueColor(*f) && !TrueColorValid(*f)) {
            Tell(host, StringId::TrueColorInvalid);
            return Result::Failed;
        }
    // 1. Same global palette: the incoming frames simply use the target's.
    if (!true_color && target && target->globalPalette && incoming.globalPalette &&
        *target->globalPalette == *incoming.globalPalette) {
        incoming.globalPalette.reset();
        return Result::Done;
    }
    // 2. A stand-alone indexed document needs nothing.
    if (!target && !true_color && !(method & merge::kFoldLocal)) return Result::Done;
    // 3. The preference, possibly asked.
    if (method == 0) {
        method = prefs.AskOrUse(PreferenceBlock::kPaletteMerging, host);
        if (method == 0) return Result::Stopped;
    }
    Ctx ctx{host, progress, {}};
    try {
        uint32_t kind = method & merge::kMethodMask;
        kind &= ~kind + 1;  // the lowest chosen method bit
        if (kind == 0) kind = merge::kSelfAdapting;
        // 4. Merging or mapping needs a palette to merge into.
        if ((kind == merge::kMergeGlobal || kind == merge::kMapGlobal) && (!target || !target->globalPalette)) {
            if (true_color)
                return SelfAdapting(target, incoming, method & (merge::kDither | merge::kFoldLocal),
                                    PreferenceBlock::MergeTrueColorBits(method), ctx);
            if (target && incoming.globalPalette) {
                SetGlobalPalette(*target, std::move(incoming.globalPalette));
                incoming.globalPalette.reset();
            }
            return Result::Done;
        }
        switch (kind) {
            case merge::kMergeGlobal: return MergeIntoGlobal(*target, incoming, method, ctx);
            case merge::kMapGlobal: {
                if (!MapOnto(incoming, *target->globalPalette, method & merge::kDither, ctx)) return Result::Failed;
                incoming.globalPalette.reset();
                return Result::Done;
            }
            case merge::kWeb: {
                const Palette web = WebPalette();
                const bool dither = method & merge::kDither;
                if (target && target->globalPalette && !(*target->globalPalette == web) &&
                    !MapOnto(*target, web, dither, ctx))
                    return Result::Failed;
                if (!MapOnto(incoming, web, dither, ctx)) return Result::Failed;
                Animation& owner = target ? *target : incoming;
                SetGlobalPalette(owner, web);
                if (target) incoming.globalPalette.reset();
                RecountColorUsage(owner, true);
                return Result::Done;
            }
            case merge::kLocal: return LocalPalettes(incoming, method, ctx);
            default:
                return SelfAdapting(target, incoming, method, PreferenceBlock::MergeColorBits(method), ctx);
        }
    } catch (const std::bad_alloc&) {
        Tell(host, StringId::MergeNoMemory);
        return Result::Failed;
    }
}

}  // namespace cinemill
