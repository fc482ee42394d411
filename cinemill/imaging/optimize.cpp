// The animation optimizer: clipping, palette stage, frame stage.
#include "cinemill/imaging/optimize.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cinemill/base/byte_words.h"
#include "cinemill/base/parallel.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/disposal.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/gif/lzw_decoder.h"
#include "cinemill/imaging/color_reduce.h"
#include "cinemill/imaging/optimize_encoder.h"
#include "cinemill/imaging/optimize_lzw.h"
#include "cinemill/imaging/optimize_order.h"
#include "cinemill/imaging/optimize_palette.h"

namespace cinemill {

namespace of = optimize_flags;

namespace {
std::atomic<unsigned> g_workers{0};  // see SetOptimizeWorkers
}  // namespace

void SetOptimizeWorkers(unsigned n) { g_workers = n; }
unsigned OptimizeWorkers() { return g_workers.load(); }

// ---- clipping and extension removal -----------------------------------------

bool ClipAndStripForOptimize(Animation& a, bool* changed) {
    bool any = false;
    const size_t before = a.blocks.size();
    std::erase_if(a.blocks, [](const std::unique_ptr<Block>& b) {
        return b->kind == BlockKind::PlainText || b->kind == BlockKind::Application;
    });
    any = a.blocks.size() != before;
    bool ok = true;
    for (Frame* f : a.Frames()) {
        if (FrameFitsScreen(*f, a.width, a.height)) continue;
        any = true;
        if (ClipFrameToScreen(*f, a.width, a.height)) continue;
        // Nothing of the frame is on the screen (or memory ran out): a viewer
        // draws nothing of it and its disposal has no visible effect, so it
        // becomes one transparent pixel at the corner that restores nothing.
        auto bmp = FrameBitmap::Create(1, 1);
        if (!bmp || a.width == 0 || a.height == 0) {
            ok = false;
            continue;
        }
        SetBitmap(*f, std::move(*bmp));
        f->left = 0;
        f->top = 0;
        f->transparentIndex = 0;
        SetTransparent(*f, true);
        SetDisposal(*f, 1);
    }
    if (changed) *changed = *changed || any;
    return ok;
}

// ---- palette helpers ------------------------------------------------------------

namespace {

// Pixel counts per frame, computed once and kept up to date by the steps
// that change pixels.
class CountCache {
public:
    const ColorUsage& Of(const Frame& f) {
        auto it = counts_.find(&f);
        if (it == counts_.end()) it = counts_.emplace(&f, CountFramePixels(f)).first;
        return it->second;
    }
    void Set(const Frame& f, const ColorUsage& c) { counts_[&f] = c; }
    void Clear() { counts_.clear(); }
    // The counts of every frame in order, and back (forgetting all when
    // `counts` does not have one per frame).
    std::vector<ColorUsage> OfFrames(const Animation& a) {
        const auto frames = a.Frames();
        std::vector<ColorUsage> out(frames.size());
        std::vector<char> known(frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            const auto it = counts_.find(frames[i]);
            if (it == counts_.end()) continue;
            out[i] = it->second;
            known[i] = 1;
        }
        ParallelFor(
            frames.size(), [&](size_t i) { if (!known[i]) out[i] = CountFramePixels(*frames[i]); },
            OptimizeWorkers());
        for (size_t i = 0; i < frames.size(); ++i) counts_[frames[i]] = out[i];
        return out;
    }
    void SetFrames(const Animation& a, const std::vector<ColorUsage>& counts) {
        Clear();
        const auto frames = a.Frames();
        if (counts.size() != frames.size()) return;
        for (size_t i = 0; i < frames.size(); ++i) Set(*frames[i], counts[i]);
    }

private:
    std::unordered_map<const Frame*, ColorUsage> counts_;
};

void PadPalettes(Animation& a, CountCache& cache) {
    int global_needed = 0;
    cache.OfFrames(a);  // counted side by side
    for (Frame* f : a.Frames()) {
        if (!f->bitmap) continue;
        const ColorUsage& c = cache.Of(*f);
        int top = 0;
        for (int i = 255; i >= 0; --i)
            if (c[static_cast<size_t>(i)]) {
                top = i + 1;
                break;
            }
        if (f->localPalette) {
            if (f->localPalette->size() < top) {
                Palette p = *f->localPalette;
                p.entries.resize(static_cast<size_t>(top));
                SetLocalPalette(*f, std::move(p));
            }
        } else {
            global_needed = std::max(global_needed, top);
        }
    }
    const int have = a.globalPalette ? a.globalPalette->size() : 0;
    if (global_needed > have) {
        Palette p = a.globalPalette ? *a.globalPalette : Palette{};
        p.entries.resize(static_cast<size_t>(global_needed));
        SetGlobalPalette(a, std::move(p));
    }
}

}  // namespace

void PadPalettesToUsedIndexes(Animation& a) {
    CountCache cache;
    PadPalettes(a, cache);
}

bool CompactPalette(const Palette& p, const ColorUsage& counts, Palette& out, CompactMap& map) {
    int n = p.size();
    for (int i = 255; i >= n; --i)
        if (counts[static_cast<size_t>(i)]) {
            n = i + 1;
            break;
        }
    CompactMap m;
    m.fill(-1);
    Palette np;
    bool dropped = false;
    for (int i = 0; i < n; ++i) {
        if (counts[static_cast<size_t>(i)] == 0) {
            dropped = true;
            continue;
        }
        m[static_cast<size_t>(i)] = static_cast<int16_t>(np.size());
        np.entries.push_back(i < p.size() ? p[i] : Rgb{});
    }
    if (!dropped) return false;
    np.entries.resize(size_t{1} << ColorTableBits(np.size()));
    out = std::move(np);
    map = m;
    return true;
}

namespace {

// Counts moved with their entries.
ColorUsage MapCounts(const ColorUsage& c, const CompactMap& map) {
    ColorUsage out{};
    for (size_t i = 0; i < 256; ++i)
        if (c[i]) out[static_cast<size_t>(map[i] >= 0 ? map[i] : static_cast<int16_t>(i))] += c[i];
    return out;
}

// Remaps the frames without a local palette, on one thread per core; the
// counts move with their entries.
void RemapGlobalFramesSideBySide(Animation& a, const CompactMap& map, CountCache& cache) {
    std::vector<Frame*> frames;
    for (Frame* f : a.Frames())
        if (!f->localPalette) frames.push_back(f);
    cache.OfFrames(a);  // every count taken before the pixels change
    ParallelFor(frames.size(), [&](size_t i) { RemapFrame(*frames[i], map); }, OptimizeWorkers());
    for (Frame* f : frames) cache.Set(*f, MapCounts(cache.Of(*f), map));
}

// Used global entries of one colour become one: the pixels of the later
// ones move to the first, and the compaction after drops what is left
// unused. A frame's transparent index stays apart (its pixels are not the
// colour's), and so do entries no pixel uses.
void MergeDuplicateGlobalColours(Animation& a, ColorUsage& usage, CountCache& cache, bool& changed) {
    const Palette& p = *a.globalPalette;
    std::array<bool, 256> apart{};
    for (const Frame* f : std::as_const(a).Frames())
        if (!f->localPalette && f->Transparent()) apart[f->transparentIndex] = true;
    CompactMap map;
    for (size_t i = 0; i < 256; ++i) map[i] = static_cast<int16_t>(i);
    std::unordered_map<uint32_t, int> first;
    bool merged = false;
    for (int i = 0; i < p.size(); ++i) {
        const size_t ui = static_cast<size_t>(i);
        if (apart[ui] || usage[ui] == 0) continue;
        const auto [it, fresh] = first.emplace(RgbKey(p[i]), i);
        if (fresh) continue;
        map[ui] = static_cast<int16_t>(it->second);
        merged = true;
    }
    if (!merged) return;
    RemapGlobalFramesSideBySide(a, map, cache);
    usage = MapCounts(usage, map);
    a.backgroundIndex = static_cast<uint8_t>(map[a.backgroundIndex]);
    changed = true;
}

Result ShrinkPalettes(Animation& a, ProgressReporter& progress, bool& changed, CountCache& cache) {
    if (a.globalPalette) {
        ColorUsage usage{};
        for (const Frame* f : std::as_const(a).Frames()) {
            if (f->localPalette) continue;
            const ColorUsage& c = cache.Of(*f);
            for (size_t i = 0; i < 256; ++i) usage[i] += c[i];
        }
        MergeDuplicateGlobalColours(a, usage, cache, changed);
        Palette np;
        CompactMap map;
        if (CompactPalette(*a.globalPalette, usage, np, map)) {
            progress.SetText(StringId::ShrinkingGlobalPalette);
            RemapGlobalFramesSideBySide(a, map, cache);
            const int16_t bg = map[a.backgroundIndex];
            a.backgroundIndex = static_cast<uint8_t>(bg >= 0 ? bg : 0);
            SetGlobalPalette(a, std::move(np));
            a.colorUsage = MapCounts(usage, map);
            changed = true;
        }
    }
    if (progress.StopRequested()) return Result::Stopped;
    bool any_local = false;
    for (const Frame* f : std::as_const(a).Frames()) any_local = any_local || f->localPalette;
    if (!any_local) return Result::Done;
    progress.SetText(StringId::ShrinkingLocalPalettes);
    progress.SetRange(a.FrameCount());
    for (Frame* f : a.Frames()) {
        if (f->localPalette) {
            Palette np;
            CompactMap map;
            if (CompactPalette(*f->localPalette, cache.Of(*f), np, map)) {
                RemapFrame(*f, map);
                cache.Set(*f, MapCounts(cache.Of(*f), map));
                SetLocalPalette(*f, std::move(np));
                changed = true;
            }
        }
        if (!progress.Step()) return Result::Stopped;
    }
    return Result::Done;
}

// Orders the global palette for the frame stage's compressor (see
// GlobalPaletteOrder). The pictures stay as they are.
void OrderGlobalPaletteByChanges(Animation& a, bool& changed, CountCache& cache) {
    if (!a.globalPalette || a.globalPalette->size() < 2) return;
    const int n = a.globalPalette->size();
    const std::vector<int> order = GlobalPaletteOrder(a);
    if (order.size() != static_cast<size_t>(n)) return;
    CompactMap map;
    for (size_t i = 0; i < 256; ++i) map[i] = static_cast<int16_t>(i);
    bool moved = false;
    Palette np = *a.globalPalette;
    for (int k = 0; k < n; ++k) {
        const int old = order[static_cast<size_t>(k)];
        map[static_cast<size_t>(old)] = static_cast<int16_t>(k);
        np.entries[static_cast<size_t>(k)] = (*a.globalPalette)[old];
        moved = moved || old != k;
    }
    if (!moved) return;
    RemapGlobalFramesSideBySide(a, map, cache);
    a.backgroundIndex = static_cast<uint8_t>(map[a.backgroundIndex]);
    a.colorUsage = MapCounts(a.colorUsage, map);
    SetGlobalPalette(a, std::move(np));
    changed = true;
}

}  // namespace

Result OptimizePaletteStage(Animation& a, uint32_t flags, UiHost& host, ProgressReporter& progress,
                            const PreferenceBlock& prefs, bool* changed) {
    bool ch = false;
    Result r = Result::Done;
    CountCache cache;
    PadPalettes(a, cache);
    bool any_local = false;
    for (const Frame* f : std::as_const(a).Frames()) any_local = any_local || f->localPalette;
    if ((flags & of::kRemoveLocalPalettes) && any_local) {
        if (flags & of::kMetaPalette) {
            std::vector<ColorUsage> counts = cache.OfFrames(a);
            r = BuildMetaPalette(a, host, progress, prefs, ch, &counts);
            cache.SetFrames(a, counts);
        } else {
            r = RemoveLocalPalettesIntoGlobal(a, (flags & of::kMapToGlobal) != 0, progress, ch);
            cache.Clear();
        }
    }
    if (r == Result::Done && (flags & of::kShrinkPalettes)) {
        if (progress.StopRequested()) r = Result::Stopped;
        else r = ShrinkPalettes(a, progress, ch, cache);
        // The order serves the frame stage's compressor only.
        if (r == Result::Done && (flags & of::kShrinkFrames)) OrderGlobalPaletteByChanges(a, ch, cache);
    }
    if (changed) *changed = *changed || ch;
    return r;
}

// ---- frame stage ----------------------------------------------------------------------

namespace {

// What the screen model knows about one screen pixel.
enum : uint8_t {
    kClear = 0,    // nothing shown (never drawn, or cleared by a disposal)
    kKnown = 1,    // shows the global-palette index held in the colour plane
    kUnknown = 2,  // shows something that cannot be compared (a local-palette frame)
};
static_assert(kClear == 0 && kKnown == 1, "MarkOpaqueRow counts and sets them a word at a time");

// The screen model and the per-frame planes.
struct ScreenModel {
    int width = 0, height = 0;
    std::vector<uint8_t> state;   // one of the values above per screen pixel
    std::vector<uint8_t> colour;  // palette index where the state is kKnown
    std::vector<uint8_t> mask;    // ChangeMask of the current frame, frame-sized rows
    int64_t shown = 0;            // screen pixels whose state is not kClear

    bool Allocate(int w, int h) {
        const uint64_t n = uint64_t(w) * uint64_t(h);
        // Three planes of the screen size; larger screens are refused as
        // "not enough resources" rather than attempted.
        if (n > (uint64_t{1} << 27)) return false;
        try {
            state.assign(n, kClear);
            colour.assign(n, 0);
            mask.assign(n, 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        width = w;
        height = h;
        return true;
    }
    void Set(size_t i, uint8_t s) {
        shown += (s != kClear) - (state[i] != kClear);
        state[i] = s;
    }
};

// One frame's attempt to turn unchanged pixels into transparency, prepared
// by the frame stage and run on a worker: it reads only what it holds and
// the frame's bitmap (left alone until the result is applied). A trial
// without a mask only compresses the frame as it is.
struct TransparencyTrial {
    Frame* frame = nullptr;
    const FrameBitmap* original = nullptr;
    std::vector<uint8_t> mask;        // the ChangeMask of the box, `width` bytes per row
    std::optional<FrameBitmap> shown;  // see below
    int paletteSize = 0;
    bool transparent = false;
    uint8_t transparentIndex = 0;
    bool interlaced = false;
    bool tryTableLimits = false;  // see kSmallAnimation
    // The result: the frame's new pixels with `fill` as transparent index.
    std::optional<FrameBitmap> result;
    uint8_t fill = 0;
    // Data bytes of the smallest candidate (the frame as it is included).
    int64_t bestCount = INT64_MAX;
    // The best candidate's compressed data, when the optimizer's own
    // compressor made it (else the writer compresses the frame).
    std::vector<uint8_t> data;
    uint8_t codeSize = 0;
    // The frame as read, when its file's data was kept, and those data
    // bytes: the frame goes back to it unless the best candidate is smaller.
    std::unique_ptr<Frame> before;
    int64_t beforeCount = 0;
};

// Data bytes of the file's own compressed data, as the LZW counter counts
// them (length bytes included, code size and terminator not).
int64_t KeptDataCount(const KeptImageData& k) {
    return static_cast<int64_t>(k.subBlocks.size()) - 1;
}

// Puts a frame back as it was read. Its delay stays: a frame dropped after
// it has added its own while the frame's trial ran.
void Restore(Frame& f, std::unique_ptr<Frame>& before) {
    const uint32_t delay = f.delay;
    static_cast<Frame&>(f) = std::move(*before);
    f.delay = delay;
}

// Puts a frame back as it was read when its kept data is smaller than what
// the optimizer made of it. `before_count` and `count` are the data bytes of
// the two; the descriptor and colour table are alike, but a graphic control
// block may be needed by one only. Both show the same picture.
void KeepSmaller(Frame& f, std::unique_ptr<Frame>& before, int64_t before_count, int64_t count) {
    if (!before) return;
    const int64_t old_size = before_count + (WritesControlBlock(*before) ? 8 : 0);
    const int64_t new_size = count + (WritesControlBlock(f) ? 8 : 0);
    if (old_size <= new_size) Restore(f, before);
    before.reset();
}

// The same, counting both whole frames as the writer writes them.
void KeepSmallerFrame(const Animation& a, Frame& f, std::unique_ptr<Frame>& before) {
    if (!before) return;
    if (FrameEncodedSize(a, *before) <= FrameEncodedSize(a, f)) Restore(f, before);
    before.reset();
}

// Candidate bitmaps kept between trials, so that each trial does not map
// fresh memory for them.
struct TrialScratch {
    LzwSizeCounter counter;
    ChoosingLzwEncoder encoder;
    FrameBitmap a, b, c_fill, c_own;
    std::vector<uint8_t> px, fixed, data;
};

void RunTransparencyTrial(TransparencyTrial& t, TrialScratch& scratch);

// A trial that runs out of memory leaves its frame as it is.
void RunTrialSafely(TransparencyTrial& t, TrialScratch& scratch) {
    try {
        RunTransparencyTrial(t, scratch);
    } catch (const std::bad_alloc&) {
        // The data, if any was taken, is of the pixels dropped.
        t.result.reset();
        t.data.clear();
    }
}

// The index free pixels may take: a transparent frame's own transparent
// index, else one that no pixel to keep uses; -1 when there is none.
int PickFill(const TransparencyTrial& t) {
    if (t.transparent) return t.transparentIndex;
    const FrameBitmap& original = *t.original;
    const size_t mstride = static_cast<size_t>(original.width);
    std::array<bool, 256> used{};
    for (int y = 0; y < original.height; ++y) {
        const uint8_t* row = original.Row(y);
        const uint8_t* m = t.mask.data() + y * mstride;
        for (int x = 0; x < original.width; ++x)
            if (m[x]) used[row[x]] = true;
    }
    // The colour table is written with 2^b entries (black after the
    // palette's own), so those entries can serve as the fill index too.
    const int table_size = 1 << ColorTableBits(t.paletteSize);
    for (int i = 0; i < table_size; ++i)
        if (!used[static_cast<size_t>(i)]) return i;
    return -1;
}

// Turns unchanged pixels into transparency when that makes the frame
// smaller. Variants are judged by the size of their compressed data, counted
// the way the writer compresses (the rest of the frame's bytes is the same
// for all). `shown` holds, for a transparent frame, what the screen shows
// under each pixel of the box where it is known (else the pixel itself): a
// transparent pixel may just as well repeat that colour.
void RaceCandidates(TransparencyTrial& t, TrialScratch& scratch, uint8_t fv) {
    const FrameBitmap& original = *t.original;
    const int code_size = WriterCodeSize(original, t.paletteSize, fv);
    const FrameBitmap* shown = t.shown ? &*t.shown : nullptr;

    // The candidates in order of preference on equal size: the frame as it
    // is; A, every unchanged pixel the fill index; B, only the runs of
    // unchanged pixels that hold more than one colour; C, each
    // unchanged pixel its own value or the fill index, whichever continues
    // the compressor's current string, preferring the fill index on ties or
    // preferring the own value. They are compressed side by side and the
    // smallest wins.
    using Candidate = LzwSizeCounter::Candidate;
    const std::array<Candidate::Kind, 5> kinds = {Candidate::kKeep, Candidate::kFillAll, Candidate::kFillRuns,
                                                  Candidate::kChooseFill, Candidate::kChooseOwn};
    FrameBitmap* const outs[5] = {nullptr, &scratch.a, &scratch.b, &scratch.c_fill, &scratch.c_own};
    std::array<Candidate, 5> cands;
    for (size_t i = 0; i < 5; ++i) {
        cands[i].kind = kinds[i];
        cands[i].out = outs[i];
    }
    // A candidate behind the leader after a sixteenth of the rows rarely
    // catches up, and following all five to the end would cost four times
    // as much; so only the leader goes on (ties go on together).
    constexpr double kMargin = 0.0;
    scratch.counter.Race(original, shown ? *shown : original, cands, t.mask.data(),
                         static_cast<size_t>(original.width), fv, t.interlaced, code_size, kMargin);
    size_t best_id = 0;
    int64_t best = cands[0].count;
    for (size_t i = 1; i < 5; ++i) {
        const Candidate& c = cands[i];
        // A candidate that changed nothing is the frame as it is (a chooser
        // over the screen's colours always differs).
        if (!c.changed && !(shown && i >= 3)) continue;
        if (c.count < best) {
            best = c.count;
            best_id = i;
        }
    }
    t.bestCount = best;
    if (best_id != 0) {
        t.result = std::move(*outs[best_id]);
        t.fill = fv;
    }
}

// The smallest minimum code size for pixels whose values together use the
// bits of `all`: at least 2. The colour table may be larger: any code size
// that every pixel fits is valid data.
int NarrowestCodeSize(unsigned all) {
    int bits = 2;
    while (bits < 8 && (all >> bits) != 0) ++bits;
    return bits;
}

// An animation of at most this many pixels in all its frames is small
// enough for the compressor to try tables of these sizes too: each costs a
// compression more, a few milliseconds at that size.
constexpr int64_t kSmallAnimation = int64_t{1} << 20;
constexpr int kTriedTableLimits[] = {4093, 4056, 3896};

// For a small animation whose table filled: the pixels through the shorter
// tables too, each giving up at `limit` or the count `n` so far. `start`
// holds the pixels before free ones were chosen (`fixed` null when none
// are free). The smallest data, with its pixels, ends in `scratch`.
void TryShorterTables(const TransparencyTrial& t, TrialScratch& scratch, const std::vector<uint8_t>& start,
                      const uint8_t* fixed, uint8_t fill, int m, int64_t limit, int64_t& n) {
    if (!t.tryTableLimits || !scratch.encoder.Filled()) return;
    std::vector<uint8_t> px, data;
    for (const int codes : kTriedTableLimits) {
        scratch.encoder.SetTableLimit(codes);
        if (fixed) px = start;
        uint8_t* pixels = fixed ? px.data() : scratch.px.data();
        const int64_t k = scratch.encoder.Encode(pixels, fixed, scratch.px.size(), fill, m, FullTable::kKeep, &data,
                                                 std::min(n, limit));
        if (k < n) {
            n = k;
            scratch.data.swap(data);
            if (fixed) scratch.px.swap(px);
        }
    }
    scratch.encoder.SetTableLimit(ChoosingLzwEncoder::kMaxCodes);
}

// The trial's best pixels (the frame's own when no candidate won) through
// the optimizer's compressor, which goes on with a full table while that
// pays. Its data is taken when no larger than the race's count, if one
// ran, and smaller than `limit` (the compressor gives up past either).
void EncodeBestCandidate(TransparencyTrial& t, TrialScratch& scratch, int64_t limit = INT64_MAX) {
    const FrameBitmap& bmp = t.result ? *t.result : *t.original;
    PixelsInFileOrder(bmp, t.interlaced, scratch.px);
    const int m = NarrowestCodeSize(OrOfBytes(scratch.px.data(), scratch.px.size()));
    // Data as small as the race's count is taken too: the writer would
    // only compress the same pixels again when the animation is saved.
    const int64_t race = t.bestCount;
    limit = std::min(limit, race == INT64_MAX ? INT64_MAX : race + 1);
    int64_t n = scratch.encoder.Encode(scratch.px.data(), nullptr, scratch.px.size(), 0, m, FullTable::kKeep,
                                       &scratch.data, limit);
    TryShorterTables(t, scratch, {}, nullptr, 0, m, limit, n);
    // Without a race's count to beat the data is taken: until its table
    // fills the compressor parses as the writer does, with codes no wider
    // and sub-blocks as long as they go, and past that it clears only where
    // a fresh table is seen doing better, so counting the writer's way as
    // well would cost a second pass for next to nothing.
    if (n >= limit) {
        t.bestCount = race;
        return;
    }
    t.bestCount = n;
    t.data = std::move(scratch.data);
    t.codeSize = static_cast<uint8_t>(m);
}

// The chooser usually ends a few percent below the race's leader; one that
// is more than this far behind it after the race's first sixteenth of the
// rows rarely catches up, and following it to the end would cost as much
// as the race did.
constexpr double kChooserBehind = 0.05;

LzwCheckpoint ChooserCheck(const TrialScratch& scratch) {
    LzwCheckpoint c = scratch.counter.FirstCheck();
    if (c.bits >= 0) c.bits = static_cast<int64_t>(static_cast<double>(c.bits) * (1.0 + kChooserBehind));
    return c;
}

// Each free pixel chosen string by string: its own value (or the colour
// shown under it) or the fill index, whichever lets the compressor's string
// go on longest. Taken when smaller than the best so far.
void EncodeChoosingFreePixels(TransparencyTrial& t, TrialScratch& scratch, uint8_t fv) {
    const FrameBitmap& start = t.shown ? *t.shown : *t.original;
    PixelsInFileOrder(start, t.interlaced, scratch.px);
    PixelsInFileOrder(t.mask.data(), static_cast<size_t>(start.width), start.width, start.height, t.interlaced,
                      scratch.fixed);
    uint8_t fixed_or = 0, free_or = 0;
    OrOfFixedAndFree(scratch.px.data(), scratch.fixed.data(), scratch.px.size(), fixed_or, free_or);
    const int m = NarrowestCodeSize(fixed_or | fv);
    // A free pixel whose own value does not fit the code size takes the fill index.
    if ((free_or >> m) != 0) FitFreePixels(scratch.px.data(), scratch.fixed.data(), scratch.px.size(), m, fv);
    std::vector<uint8_t> start_px;
    if (t.tryTableLimits) start_px = scratch.px;
    int64_t n = scratch.encoder.Encode(scratch.px.data(), scratch.fixed.data(), scratch.px.size(), fv, m,
                                       FullTable::kKeep, &scratch.data, t.bestCount, ChooserCheck(scratch));
    TryShorterTables(t, scratch, start_px, scratch.fixed.data(), fv, m, t.bestCount, n);
    if (n >= t.bestCount) return;
    FrameBitmap chosen = start;
    PixelsFromFileOrder(scratch.px, t.interlaced, chosen);
    t.result = std::move(chosen);
    t.fill = fv;
    t.bestCount = n;
    t.data = std::move(scratch.data);
    t.codeSize = static_cast<uint8_t>(m);
}

// What a trial has taken so far: pixels, their data and its count.
struct TrialBest {
    std::optional<FrameBitmap> result;
    std::vector<uint8_t> data;
    uint8_t codeSize = 0;
    int64_t count = INT64_MAX;
};

TrialBest TakeBest(TransparencyTrial& t) {
    TrialBest b{std::move(t.result), std::move(t.data), t.codeSize, t.bestCount};
    t.result.reset();
    t.data.clear();
    return b;
}

void PutBest(TransparencyTrial& t, TrialBest&& b) {
    t.result = std::move(b.result);
    t.data = std::move(b.data);
    t.codeSize = b.codeSize;
    t.bestCount = b.count;
}

// Going on with a full table takes a few percent off the writer's count at
// most, so a race winner counted this much above the chooser's data is not
// compressed again.
constexpr double kKeepTableGain = 0.05;

// The race's winner (counted the writer's way) and the chooser's data; the
// winner is compressed by the optimizer's compressor only when it may still
// come out smaller than the chooser's.
void RunTransparencyTrial(TransparencyTrial& t, TrialScratch& scratch) {
    const int fill = t.mask.empty() ? -1 : PickFill(t);
    if (fill < 0) {
        EncodeBestCandidate(t, scratch);
        return;
    }
    const uint8_t fv = static_cast<uint8_t>(fill);
    RaceCandidates(t, scratch, fv);
    TrialBest raced = TakeBest(t);
    t.bestCount = raced.count;
    EncodeChoosingFreePixels(t, scratch, fv);
    if (t.data.empty()) {
        PutBest(t, std::move(raced));
        EncodeBestCandidate(t, scratch);
        return;
    }
    if (static_cast<double>(raced.count) >= static_cast<double>(t.bestCount) * (1.0 + kKeepTableGain)) return;
    TrialBest chosen = TakeBest(t);
    PutBest(t, std::move(raced));
    EncodeBestCandidate(t, scratch, chosen.count);
    if (t.data.empty() || t.bestCount >= chosen.count) PutBest(t, std::move(chosen));
}

// Runs transparency trials on worker threads (inline when there is only one
// core) and hands them back in the order they were queued, so that the
// outcome does not depend on the number of threads. At most a few trials are
// in flight, which bounds the memory their masks and candidates take.
class TrialQueue {
public:
    TrialQueue() {
        const unsigned limit = OptimizeWorkers();
        const unsigned n = limit ? limit : std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
        if (n == 1) return;
        try {
            for (unsigned i = 0; i < n; ++i) workers_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // No threads to be had: whatever started works, or the caller runs trials itself.
        }
        limit_ = 2 * workers_.size();
    }
    ~TrialQueue() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : workers_) t.join();
    }
    TrialQueue(const TrialQueue&) = delete;
    TrialQueue& operator=(const TrialQueue&) = delete;

    // Queues a trial; `apply` receives finished trials in queue order.
    template <typename Apply>
    void Push(std::unique_ptr<TransparencyTrial> t, Apply&& apply) {
        if (workers_.empty()) {
            RunTrialSafely(*t, scratch_);
            apply(*t);
            return;
        }
        auto slot = std::make_shared<Slot>();
        slot->trial = std::move(t);
        {
            std::lock_guard lock(mutex_);
            pending_.push_back(slot);
        }
        wake_.notify_one();
        order_.push_back(std::move(slot));
        while (order_.size() > limit_) PopFront(apply);
    }
    // Waits for every queued trial.
    template <typename Apply>
    void Drain(Apply&& apply) {
        while (!order_.empty()) PopFront(apply);
    }

private:
    struct Slot {
        std::unique_ptr<TransparencyTrial> trial;
        bool done = false;
    };
    template <typename Apply>
    void PopFront(Apply& apply) {
        std::shared_ptr<Slot> s = std::move(order_.front());
        order_.pop_front();
        {
            std::unique_lock lock(mutex_);
            finished_.wait(lock, [&] { return s->done; });
        }
        apply(*s->trial);
    }
    void Work() {
        TrialScratch scratch;
        for (;;) {
            std::shared_ptr<Slot> s;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return closing_ || !pending_.empty(); });
                if (pending_.empty()) return;
                s = std::move(pending_.front());
                pending_.pop_front();
            }
            RunTrialSafely(*s->trial, scratch);
            {
                std::lock_guard lock(mutex_);
                s->done = true;
            }
            finished_.notify_all();
        }
    }

    std::vector<std::thread> workers_;
    size_t limit_ = 0;
    TrialScratch scratch_;  // for trials run inline
    std::mutex mutex_;
    std::condition_variable wake_, finished_;
    std::deque<std::shared_ptr<Slot>> pending_;  // not yet started
    std::deque<std::shared_ptr<Slot>> order_;    // queued, in order
    bool closing_ = false;
};

}  // namespace

namespace {

// The part of a frame that changes what the screen shows, in frame
// coordinates (inclusive), and the row stride of the change mask it was
// found in (the frame's width before cropping).
struct ChangeBox {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    size_t stride = 0;
    bool Empty() const { return x1 < 0; }
    int Width() const { return x1 - x0 + 1; }
    int Height() const { return y1 - y0 + 1; }
};

// One run of the frame stage: the screen model follows the frames in order;
// each frame is cropped to what it changes, dropped when it changes nothing,
// and handed to a transparency trial.
class FrameStage {
public:
    FrameStage(Animation& a, uint32_t flags, UiHost& host, ProgressReporter& progress)
        : a_(a), flags_(flags), host_(host), progress_(progress) {}
    // Should a step throw, the trials under way are still applied.
    ~FrameStage() { DrainTrials(); }
    FrameStage(const FrameStage&) = delete;
    FrameStage& operator=(const FrameStage&) = delete;

    // Runs over the frames; the trials still running are applied before it
    // returns.
    Result Run();
    bool Changed() const { return changed_; }

private:
    enum class Outcome { kKept, kDropped, kFailed };

    Result RunFrames();
    Outcome OptimizeFrame(size_t block_index, Frame& f);
    bool HasValidBitmap(const Frame& f) const;
    void KeepInsteadOfClearing(size_t block_index, Frame& f);
    void ForgetFrame(const Frame& f);
    void ShowFirstFrame(const Frame& f);
    ChangeBox MarkChanges(const Frame& f);
    void MarkOpaqueRow(const uint8_t* row, size_t base, int width, uint8_t* m);
    void MarkSeeThroughRow(const uint8_t* row, size_t base, int width, uint8_t ti, uint8_t* m);
    void MarkRow(const Frame& f, const uint8_t* row, size_t base, uint8_t* m);
    bool CanDrop(const Frame& f) const;
    void Drop(size_t block_index, Frame& f);
    bool CropTo(Frame& f, const ChangeBox& box, std::unique_ptr<Frame>& before, int64_t& before_count);
    void QueueTrial(Frame& f, const ChangeBox* box, std::unique_ptr<Frame>& before, int64_t before_count);
    void TakeMask(TransparencyTrial& t, const ChangeBox& box) const;
    std::optional<FrameBitmap> ShownUnder(const Frame& f) const;
    void ApplyTrial(TransparencyTrial& t);
    void DrainTrials() {
        if (trials_) trials_->Drain([this](TransparencyTrial& t) { ApplyTrial(t); });
    }

    Animation& a_;
    const uint32_t flags_;
    UiHost& host_;
    ProgressReporter& progress_;
    ScreenModel s_;
    size_t W_ = 0;
    std::optional<TrialQueue> trials_;
    Frame* previous_ = nullptr;
    bool changed_ = false;
    bool small_ = false;  // at most kSmallAnimation pixels in all frames
};

Result FrameStage::Run() {
    const Result r = RunFrames();
    DrainTrials();
    return r;
}

Result FrameStage::RunFrames() {
    if (!s_.Allocate(static_cast<int>(a_.width), static_cast<int>(a_.height))) {
        Tell(host_, StringId::OptimizeNoResources);
        return Result::Failed;
    }
    W_ = a_.width;
    int64_t pixels = 0;
    for (const Frame* f : std::as_const(a_).Frames()) pixels += int64_t{f->width} * f->height;
    small_ = pixels <= kSmallAnimation;
    trials_.emplace();
    progress_.SetText(StringId::OptimizingFrames);
    progress_.SetRange(a_.FrameCount());
    for (size_t bi = 0; bi < a_.blocks.size(); ++bi) {
        Frame* f = AsFrame(a_.blocks[bi].get());
        if (!f) continue;
        const Outcome o = OptimizeFrame(bi, *f);
        if (o == Outcome::kFailed) return Result::Failed;
        if (o == Outcome::kDropped) --bi;
        if (!progress_.Step()) return Result::Stopped;
    }
    return Result::Done;
}

// One frame: the model learns what it shows, and the frame shrinks to what
// it changes.
FrameStage::Outcome FrameStage::OptimizeFrame(size_t block_index, Frame& f) {
    if (!HasValidBitmap(f)) {
        ForgetFrame(f);
        previous_ = &f;
        return Outcome::kKept;
    }
    KeepInsteadOfClearing(block_index, f);
    if (s_.shown == 0 && !f.Transparent()) {
        ShowFirstFrame(f);
        std::unique_ptr<Frame> none;
        QueueTrial(f, nullptr, none, 0);
        previous_ = &f;
        return Outcome::kKept;
    }
    ChangeBox box = MarkChanges(f);
    if (box.Empty()) {
        if (CanDrop(f)) {
            Drop(block_index, f);
            return Outcome::kDropped;
        }
        box.x0 = box.x1 = box.y0 = box.y1 = 0;
    }
    // A frame whose file data is kept: the copy it may go back to.
    std::unique_ptr<Frame> before;
    int64_t before_count = 0;
    if (!CropTo(f, box, before, before_count)) return Outcome::kFailed;
    QueueTrial(f, (flags_ & of::kTransparency) ? &box : nullptr, before, before_count);
    if (before) {
        // Cropped without a trial: the new frame's data against the old.
        // Everything but the data is written alike, so whole frames compare.
        KeepSmallerFrame(a_, f, before);
    }
    previous_ = &f;
    return Outcome::kKept;
}

bool FrameStage::HasValidBitmap(const Frame& f) const {
    return f.bitmap && f.bitmap->width == f.width && f.bitmap->height == f.height &&
           FrameFitsScreen(f, a_.width, a_.height) && f.width > 0 && f.height > 0;
}

// A frame cleared to the background may keep its pixels instead when the
// next frame draws over every pixel of its box that shows something while
// it is on screen: the next frame's picture is then the same either way,
// and it need only draw what differs from this one.
void FrameStage::KeepInsteadOfClearing(size_t block_index, Frame& f) {
    if (f.Disposal() != kDisposeBackground || f.localPalette) return;
    const Frame* next = nullptr;
    for (size_t bi = block_index + 1; bi < a_.blocks.size() && !next; ++bi) next = AsFrame(a_.blocks[bi].get());
    if (!next || next->localPalette || !HasValidBitmap(*next)) return;
    const bool see_through = f.Transparent(), next_see_through = next->Transparent();
    for (int y = 0; y < f.height; ++y) {
        const int sy = f.top + y;
        const uint8_t* row = f.bitmap->Row(y);
        const uint8_t* next_row =
            sy >= next->top && sy < next->top + next->height ? next->bitmap->Row(sy - next->top) : nullptr;
        const uint8_t* state = s_.state.data() + static_cast<size_t>(sy) * W_ + f.left;
        for (int x = 0; x < f.width; ++x) {
            if (see_through && row[x] == f.transparentIndex && state[x] == kClear) continue;
            const int nx = f.left + x - next->left;
            if (!next_row || nx < 0 || nx >= next->width) return;
            if (next_see_through && next_row[nx] == next->transparentIndex) return;
        }
    }
    SetDisposal(f, kDisposeKeep);
    changed_ = true;
}

// Nothing to compare: whatever the frame shows becomes unknown.
void FrameStage::ForgetFrame(const Frame& f) {
    const int D = f.Disposal();
    if (!f.bitmap || D == kDisposePrevious || !FrameFitsScreen(f, a_.width, a_.height)) return;
    for (int y = 0; y < std::min(f.height, f.bitmap->height); ++y)
        for (int x = 0; x < std::min(f.width, f.bitmap->width); ++x)
            s_.Set((f.top + y) * W_ + f.left + x, D == kDisposeBackground ? kClear : kUnknown);
}

// The first opaque frame on an empty screen stays as it is; the model
// learns what it leaves there.
void FrameStage::ShowFirstFrame(const Frame& f) {
    const int D = f.Disposal();
    const bool local = f.localPalette.has_value();
    const FrameBitmap& bmp = *f.bitmap;
    if (D != kDisposeBackground && D != kDisposePrevious && !local) {
        for (int y = 0; y < f.height; ++y) {
            const size_t base = (f.top + y) * W_ + f.left;
            std::copy_n(bmp.Row(y), f.width, s_.colour.data() + base);
            std::fill_n(s_.state.data() + base, f.width, kKnown);
        }
        s_.shown += int64_t{f.width} * f.height;
    } else if (local && D != kDisposeBackground && D != kDisposePrevious) {
        for (int y = 0; y < f.height; ++y)
            std::fill_n(s_.state.data() + (f.top + y) * W_ + f.left, f.width, kUnknown);
        s_.shown += int64_t{f.width} * f.height;
    }
}

// Marks the pixels that must be kept (the change mask) and brings the model
// up to date; answers the box around the marked pixels.
ChangeBox FrameStage::MarkChanges(const Frame& f) {
    const int D = f.Disposal();
    // A frame's pixels stay for the next frame unless its disposal takes
    // them away; a local-palette frame cannot be compared by index.
    const bool persists = D != kDisposeBackground && D != kDisposePrevious && !f.localPalette.has_value();
    const FrameBitmap& bmp = *f.bitmap;
    const int fw = f.width;
    ChangeBox box{fw, f.height, -1, -1, static_cast<size_t>(fw)};
    for (int y = 0; y < f.height; ++y) {
        uint8_t* m = s_.mask.data() + y * box.stride;
        const size_t base = (f.top + y) * W_ + f.left;
        if (persists && !f.Transparent()) {
            MarkOpaqueRow(bmp.Row(y), base, fw, m);
        } else if (persists) {
            MarkSeeThroughRow(bmp.Row(y), base, fw, f.transparentIndex, m);
        } else {
            MarkRow(f, bmp.Row(y), base, m);
        }
        const size_t width = static_cast<size_t>(fw);
        const size_t first = bytes::FirstNonZero(m, width);
        if (first == width) continue;
        const size_t last = bytes::LastNonZero(m, width);
        box.x0 = std::min(box.x0, static_cast<int>(first));
        box.x1 = std::max(box.x1, static_cast<int>(last));
        box.y0 = std::min(box.y0, y);
        box.y1 = y;
    }
    return box;
}

// The common case: an opaque frame that stays on screen.
void FrameStage::MarkOpaqueRow(const uint8_t* row, size_t base, int width, uint8_t* m) {
    uint8_t* col = s_.colour.data() + base;
    uint8_t* st = s_.state.data() + base;
    int64_t newly = 0;
    int x = 0;
    // A word at a time: a pixel is marked unless the screen knows it and
    // shows its index; every pixel is known afterwards.
    constexpr uint64_t kAllKnown = bytes::kOnes * kKnown;
    for (; x + 8 <= width; x += 8) {
        const uint64_t p = bytes::Load8(row + x), c = bytes::Load8(col + x), k = bytes::Load8(st + x);
        bytes::Store8(m + x, bytes::NonZeroBytes((k ^ kAllKnown) | (c ^ p)));
        newly += bytes::ZeroByteCount(k);  // kClear is 0
        bytes::Store8(col + x, p);
        bytes::Store8(st + x, kAllKnown);
    }
    for (; x < width; ++x) {
        const uint8_t p = row[x];
        m[x] = static_cast<uint8_t>((st[x] != kKnown) | (col[x] != p));
        newly += st[x] == kClear;
        col[x] = p;
        st[x] = kKnown;
    }
    s_.shown += newly;
}

// A transparent frame that stays on screen: the same for its opaque pixels;
// see-through pixels change nothing and leave the screen as it was.
void FrameStage::MarkSeeThroughRow(const uint8_t* row, size_t base, int width, uint8_t ti, uint8_t* m) {
    uint8_t* col = s_.colour.data() + base;
    uint8_t* st = s_.state.data() + base;
    int64_t newly = 0;
    int x = 0;
    constexpr uint64_t kAllKnown = bytes::kOnes * kKnown;
    const uint64_t tw = bytes::kOnes * ti;
    for (; x + 8 <= width; x += 8) {
        const uint64_t p = bytes::Load8(row + x), c = bytes::Load8(col + x), k = bytes::Load8(st + x);
        const uint64_t opaque = bytes::NonZeroBytes(p ^ tw);  // 0x01 where drawn
        const uint64_t sel = opaque * 0xFF;
        bytes::Store8(m + x, bytes::NonZeroBytes((k ^ kAllKnown) | (c ^ p)) & opaque);
        newly += 8 - bytes::ZeroByteCount(~bytes::NonZeroBytes(k) & opaque);  // kClear bytes drawn over
        bytes::Store8(col + x, (c & ~sel) | (p & sel));
        bytes::Store8(st + x, (k & ~sel) | (kAllKnown & sel));
    }
    for (; x < width; ++x) {
        const uint8_t p = row[x];
        if (p == ti) {
            m[x] = 0;
            continue;
        }
        m[x] = static_cast<uint8_t>((st[x] != kKnown) | (col[x] != p));
        newly += st[x] == kClear;
        col[x] = p;
        st[x] = kKnown;
    }
    s_.shown += newly;
}

// Any other frame: see-through pixels change nothing; a frame cleared or
// compared like one (local palette) must cover whatever is not clear.
void FrameStage::MarkRow(const Frame& f, const uint8_t* row, size_t base, uint8_t* m) {
    const int D = f.Disposal();
    const bool local = f.localPalette.has_value();
    const bool persists = D != kDisposeBackground && D != kDisposePrevious && !local;
    const bool like_restore_bg = D == kDisposeBackground || local;
    const bool transparent = f.Transparent();
    for (int x = 0; x < f.width; ++x) {
        const size_t sp = base + x;
        const uint8_t st = s_.state[sp];
        const uint8_t p = row[x];
        bool c = like_restore_bg && st != kClear;
        if (!(transparent && p == f.transparentIndex)) {
            if (st != kKnown || s_.colour[sp] != p) c = true;
            if (persists) {
                s_.colour[sp] = p;
                s_.Set(sp, kKnown);
            } else if (local && D != kDisposeBackground && D != kDisposePrevious) {
                s_.Set(sp, kUnknown);
            }
        }
        if (D == kDisposeBackground) s_.Set(sp, kClear);
        m[x] = c;
    }
}

// A frame that changes nothing can go when the picture before it stays on
// screen for its time (its disposal neither clears nor restores) and the
// added delay still fits the file's 16 bits.
bool FrameStage::CanDrop(const Frame& f) const {
    return (flags_ & of::kRemoveFrames) && previous_ && previous_->Disposal() != kDisposeBackground &&
           previous_->Disposal() != kDisposePrevious && !f.WaitForInput() && uint64_t{previous_->delay} + f.delay <= 0xFFFF;
}

void FrameStage::Drop(size_t block_index, Frame& f) {
    previous_->delay += f.delay;
    a_.blocks.erase(a_.blocks.begin() + static_cast<ptrdiff_t>(block_index));
    changed_ = true;
}

// Crops the frame to the box. A frame whose file data is kept leaves its
// copy in `before`. False when memory ran out (reported).
bool FrameStage::CropTo(Frame& f, const ChangeBox& box, std::unique_ptr<Frame>& before, int64_t& before_count) {
    const int bw = box.Width(), bh = box.Height();
    if (bw == f.width && bh == f.height) return true;
    if (const KeptImageData* k = ValidKeptData(a_, f)) {
        before = std::make_unique<Frame>(f);
        before_count = KeptDataCount(*k);
    }
    auto nb = FrameBitmap::Create(bw, bh);
    if (!nb) {
        Tell(host_, StringId::OptimizeRanOut);
        return false;
    }
    const FrameBitmap& bmp = *f.bitmap;
    for (int y = 0; y < bh; ++y) std::copy_n(bmp.Row(box.y0 + y) + box.x0, bw, nb->Row(y));
    SetBitmap(f, std::move(*nb));
    f.left += box.x0;
    f.top += box.y0;
    changed_ = true;
    return true;
}

// Hands the (cropped) frame to a trial, which takes over `before`: a
// transparency trial when `box` is given and some of its pixels change
// nothing, else one that only compresses the frame.
void FrameStage::QueueTrial(Frame& f, const ChangeBox* box, std::unique_ptr<Frame>& before,
                            int64_t before_count) {
    const Palette* pal = PaletteInEffect(a_, f);
    if (!pal || pal->size() == 0) return;
    auto t = std::make_unique<TransparencyTrial>();
    t->frame = &f;
    t->original = &*f.bitmap;
    t->paletteSize = pal->size();
    t->transparent = f.Transparent();
    t->transparentIndex = f.transparentIndex;
    t->interlaced = f.Interlaced();
    t->tryTableLimits = small_;
    if (box) TakeMask(*t, *box);
    if (!t->mask.empty()) t->shown = ShownUnder(f);
    if (const KeptImageData* k = ValidKeptData(a_, f); k && !before) {
        // Not cropped: the frame as it is is the file's data.
        t->before = std::make_unique<Frame>(f);
        t->beforeCount = KeptDataCount(*k);
    } else {
        t->before = std::move(before);
        t->beforeCount = before_count;
    }
    trials_->Push(std::move(t), [this](TransparencyTrial& done) { ApplyTrial(done); });
}

// The change mask of the box, when some of its pixels change nothing.
void FrameStage::TakeMask(TransparencyTrial& t, const ChangeBox& box) const {
    const int bw = box.Width(), bh = box.Height();
    const uint8_t* mbox = s_.mask.data() + box.y0 * box.stride + box.x0;
    bool any_unchanged = false;
    for (int y = 0; y < bh && !any_unchanged; ++y) {
        const uint8_t* m = mbox + y * box.stride;
        any_unchanged = std::find(m, m + bw, uint8_t{0}) != m + bw;
    }
    if (!any_unchanged) return;
    t.mask.resize(static_cast<size_t>(bw) * bh);
    for (int y = 0; y < bh; ++y) std::copy_n(mbox + y * box.stride, bw, t.mask.data() + size_t(y) * bw);
}

// Under a transparent frame's see-through pixels the screen may show a
// known colour, which the pixel may repeat instead: the frame's pixels with
// those colours in, or nothing when there are none.
std::optional<FrameBitmap> FrameStage::ShownUnder(const Frame& f) const {
    if (!f.Transparent() || f.Disposal() == kDisposeBackground || f.localPalette.has_value()) return std::nullopt;
    std::optional<FrameBitmap> shown = *f.bitmap;
    bool differs = false;
    const uint8_t ti = f.transparentIndex;
    const uint64_t tw = bytes::kOnes * ti;
    constexpr uint64_t kAllKnown = bytes::kOnes * kKnown;
    for (int y = 0; y < f.height; ++y) {
        uint8_t* row = shown->Row(y);
        const size_t base = (f.top + y) * W_ + f.left;
        const uint8_t* st = s_.state.data() + base;
        const uint8_t* col = s_.colour.data() + base;
        int x = 0;
        for (; x + 8 <= f.width; x += 8) {
            const uint64_t p = bytes::Load8(row + x);
            // 0x01 where the pixel is see-through over a known colour.
            const uint64_t drawn = bytes::NonZeroBytes(p ^ tw);
            const uint64_t unknown = bytes::NonZeroBytes(bytes::Load8(st + x) ^ kAllKnown);
            const uint64_t take = (drawn | unknown) ^ bytes::kOnes;
            if (take == 0) continue;
            const uint64_t sel = take * 0xFF;
            bytes::Store8(row + x, (p & ~sel) | (bytes::Load8(col + x) & sel));
            differs = true;
        }
        for (; x < f.width; ++x) {
            if (row[x] != ti || st[x] != kKnown) continue;
            row[x] = col[x];
            differs = true;
        }
    }
    if (!differs) shown.reset();
    return shown;
}

// A finished trial: the frame takes the smaller pixels and becomes transparent.
void FrameStage::ApplyTrial(TransparencyTrial& t) {
    Frame& tf = *t.frame;
    if (t.result) {
        SetBitmap(tf, std::move(*t.result));
        tf.transparentIndex = t.fill;
        SetTransparent(tf, true);
        changed_ = true;
    }
    if (!t.data.empty()) {
        KeepImageData(a_, tf, t.codeSize, std::move(t.data));
        changed_ = true;
    }
    if (t.before && t.bestCount == INT64_MAX) {
        // The trial counted nothing (no free index, or memory ran out):
        // the whole frames are counted instead.
        KeepSmallerFrame(a_, tf, t.before);
    }
    KeepSmaller(tf, t.before, t.beforeCount, t.bestCount);
}

}  // namespace

Result OptimizeFrameStage(Animation& a, uint32_t flags, UiHost& host, ProgressReporter& progress,
                          bool* changed) {
    FrameStage stage(a, flags, host, progress);
    const Result r = stage.Run();
    if (changed) *changed = *changed || stage.Changed();
    return r;
}

// ---- the whole run -------------------------------------------------------------------------

namespace {

int CountValidKeptData(const Animation& a) {
    const auto frames = a.Frames();
    std::atomic<int> n{0};
    ParallelFor(
        frames.size(), [&](size_t i) { n += ValidKeptData(a, *frames[i]) != nullptr; }, OptimizeWorkers());
    return n.load();
}

int64_t CountedSize(Animation& a) {
    CountingSink sink;
    SilentProgress quiet;
    return WriteGif(sink, a, quiet) == Result::Done ? sink.Total() : INT64_MAX;
}

// The animation as it was before the palette stage, for going back to
// should the stage make the file larger. When every frame's file data is
// valid the copy leaves the pictures out (they are in that data, decoded
// again only if it comes to going back), and `size` is its written size,
// counted before the stage; else it is a whole copy and `size` is -1.
struct Before {
    std::unique_ptr<Animation> animation;
    int64_t size = -1;
};

// A copy of `a` whose frames have no bitmaps: each bitmap is set aside while
// its frame is copied.
std::unique_ptr<Animation> CopyWithoutPictures(Animation& a) {
    const auto frames = a.Frames();
    std::vector<std::optional<FrameBitmap>> aside(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) aside[i].swap(frames[i]->bitmap);
    std::unique_ptr<Animation> copy;
    std::exception_ptr failure;
    try {
        copy = CopyAnimation(a);
    } catch (...) {
        failure = std::current_exception();
    }
    for (size_t i = 0; i < frames.size(); ++i) aside[i].swap(frames[i]->bitmap);
    if (failure) std::rethrow_exception(failure);
    return copy;
}

// Decodes the pictures CopyWithoutPictures left out from the frames' file
// data. False when a frame's data does not give back the picture it was
// read with (or memory ran out).
bool RestorePictures(Animation& a) {
    std::vector<uint8_t> px;
    for (Frame* f : a.Frames()) {
        if (f->bitmap) continue;
        if (!f->keptData) return false;
        auto bmp = FrameBitmap::Create(f->width, f->height);
        if (!bmp) return false;
        const KeptImageData& k = *f->keptData;
        px.assign(static_cast<size_t>(f->width) * static_cast<size_t>(f->height), 0);
        ByteCursor cur{k.subBlocks.data(), k.subBlocks.size(), 0};
        LzwDecoder dec;
        dec.Init(&cur, std::min<int>(k.minCodeSize, 11));
        int status = 0;
        dec.Decode(px.data(), px.size(), &status);  // pixels the data lacks stay 0, as when read
        PixelsFromFileOrder(px, f->Interlaced(), *bmp);
        f->bitmap = std::move(*bmp);
        if (!ValidKeptData(a, *f)) return false;
    }
    return true;
}

// The palette stage remaps pixels and palettes, so frames whose file data
// was kept are compressed afresh. Keeps the animation as it was before the
// stage when the stage cost some frames their kept data (none when it did
// not, or there is no room for a copy): the run then checks that its result
// is not larger than the file's own data.
Result PaletteStageKeepingBefore(Animation& a, uint32_t flags, UiHost& host, ProgressReporter& progress,
                                 const PreferenceBlock& prefs, bool& ch, Before& before) {
    const int kept = CountValidKeptData(a);
    if (kept > 0) {
        try {
            if (kept == a.FrameCount()) {
                before.size = CountedSize(a);  // every frame's data is there: no compressing
                before.animation = CopyWithoutPictures(a);
            } else {
                before.animation = CopyAnimation(a);
            }
        } catch (const std::bad_alloc&) {
            before = Before{};  // no room to compare: the stage's result stands
        }
    }
    bool stage_ch = false;
    const Result r = OptimizePaletteStage(a, flags, host, progress, prefs, &stage_ch);
    if (r != Result::Done || !stage_ch || CountValidKeptData(a) >= kept) before = Before{};
    ch = ch || stage_ch;
    return r;
}

// When the animation as it was before the palette stage, its file data
// kept, writes smaller than the optimized one, the frame stage runs on
// that instead and the smaller of the two stands. Counting an animation
// whose frames all carry data costs no compression, so the common case
// (the optimized one smaller) is cheap.
Result KeepSmallerThanBefore(Animation& a, Before before, bool ch_before, uint32_t flags, UiHost& host,
                             ProgressReporter& progress, bool& ch) {
    if (!before.animation) return Result::Done;
    Animation& b = *before.animation;
    const int64_t size = CountedSize(a);
    if (size <= (before.size >= 0 ? before.size : CountedSize(b))) return Result::Done;
    if (before.size >= 0 && !RestorePictures(b)) return Result::Done;
    bool before_ch = ch_before;
    Result r = Result::Done;
    if (flags & of::kShrinkFrames) r = OptimizeFrameStage(b, flags, host, progress, &before_ch);
    if (r != Result::Done || size <= CountedSize(b)) return r;
    a = std::move(b);
    ch = before_ch;
    return r;
}

// A still picture's graphic control block that says nothing (no delay,
// transparency or wait for input, and a disposal that leaves the picture
// as it is) shows the same without it, and takes 8 bytes: it goes. (Between
// frames of an animation the block stays: a frame without one would read
// back with the default delay.)
void DropEmptyControlBlock(Animation& a, bool& changed) {
    const auto frames = a.Frames();
    if (frames.size() != 1) return;
    Frame& f = *frames[0];
    if (f.delay != 0 || f.Transparent() || f.WaitForInput() || f.Disposal() > 1 || !WritesControlBlock(f)) return;
    SetDisposal(f, 0);
    f.transparentIndex = 0;
    f.implicitControlDelay = 0;
    changed = true;
}

}  // namespace

Result Optimize(Animation& a, uint32_t flags, UiHost& host, ProgressReporter& progress,
                const PreferenceBlock& prefs, bool* changed) {
    bool ch = false;
    Result r = Result::Done;
    if (!ClipAndStripForOptimize(a, &ch)) {
        Tell(host, StringId::OptimizeRanOut);
        r = Result::Failed;
    }
    if (r == Result::Done && progress.StopRequested()) r = Result::Stopped;
    const bool ch_before = ch;
    Before before;
    if (r == Result::Done && (flags & (of::kRemoveLocalPalettes | of::kShrinkPalettes))) {
        r = PaletteStageKeepingBefore(a, flags, host, progress, prefs, ch, before);
        if (r == Result::Done && progress.StopRequested()) r = Result::Stopped;
    }
    if (r == Result::Done && (flags & of::kShrinkFrames)) {
        r = OptimizeFrameStage(a, flags, host, progress, &ch);
        if (r == Result::Done && progress.StopRequested()) r = Result::Stopped;
    }
    if (r == Result::Done && before.animation) {
        r = KeepSmallerThanBefore(a, std::move(before), ch_before, flags, host, progress, ch);
        if (r == Result::Done && progress.StopRequested()) r = Result::Stopped;
    }
    if (r == Result::Done && (flags & of::kShrinkFrames)) DropEmptyControlBlock(a, ch);
    if (r == Result::Done && of::LossyLevel(flags) > 0) {
        r = CompressFramesLossily(a, of::LossyLevel(flags), progress, &ch);
        if (r == Result::Done && progress.StopRequested()) r = Result::Stopped;
    }
    if (ch) a.cachedSize = -1;
    if (changed) *changed = ch;
    return r;
}

}  // namespace cinemill
