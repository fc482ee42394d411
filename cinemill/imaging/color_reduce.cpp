// Colour reduction: median cut, inverse colour map, error-diffusion dither,
// index maps and the Reduce animation operation.
#include "cinemill/base/tell.h"
#include "cinemill/imaging/color_reduce.h"

#include <algorithm>
#include <new>
#include <utility>

#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {

// ---- nearest colours -------------------------------------------------------------

int NearestIndex(const Palette& p, Rgb c) {
    int best = 0;
    int best_d = 0x30000;  // above any distance (3 x 255^2)
    for (int i = 0; i < p.size(); ++i) {
        const int dr = p[i].r - c.r, dg = p[i].g - c.g, db = p[i].b - c.b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best_d) {
            best_d = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

IndexMap NearestIndexMap(const Palette& old_palette, const Palette& new_palette) {
    IndexMap m;
    m.fill(-1);
    for (int i = 0; i < old_palette.size() && i < 256; ++i)
        m[static_cast<size_t>(i)] = static_cast<int16_t>(NearestIndex(new_palette, old_palette[i]));
    return m;
}

// ---- median cut ------------------------------------------------------------------------

uint64_t MedianCutQuantizer::SliceSum(const CutBox& b, int channel, int slice) const {
    int lo[3] = {b.low[0], b.low[1], b.low[2]};
    int hi[3] = {b.high[0], b.high[1], b.high[2]};
    lo[channel] = hi[channel] = slice;
    uint64_t sum = 0;
    for (int r = lo[0]; r <= hi[0]; ++r)
        for (int g = lo[1]; g <= hi[1]; ++g) {
            const uint64_t* cell = cube_.data() + static_cast<size_t>(r) * 4096 + static_cast<size_t>(g) * 64;
            for (int bl = lo[2]; bl <= hi[2]; ++bl) sum += cell[bl];
        }
    return sum;
}

void MedianCutQuantizer::Shrink(CutBox& b) const {
    for (int ch = 0; ch < 3; ++ch) {
        int lo = b.low[ch], hi = b.high[ch];
        while (lo <= hi && SliceSum(b, ch, lo) == 0) ++lo;
        if (lo > hi) continue;  // an empty box keeps its bounds
        b.low[ch] = static_cast<uint16_t>(lo);
        while (hi > lo && SliceSum(b, ch, hi) == 0) --hi;
        b.high[ch] = static_cast<uint16_t>(hi);
    }
    if (b.low[0] == b.high[0] && b.low[1] == b.high[1] && b.low[2] == b.high[2]) b.done = 1;
}

int MedianCutQuantizer::Quantize(QuantizerEntries& entries, const ColorUsage& counts,
                                 int max_colors, ProgressReporter* progress) {
    max_colors = std::clamp(max_colors, 1, 256);
    try {
        cube_.assign(size_t{kCubeSide} * kCubeSide * kCubeSide, 0);
        boxes_.assign(256, CutBox{});
    } catch (const std::bad_alloc&) {
        cube_.clear();
        return 0;
    }
    uint64_t total_count = 0;
    for (size_t i = 0; i < 256; ++i) {
        cube_[CellIndex(entries[i][0], entries[i][1], entries[i][2])] += counts[i];
        total_count += counts[i];
    }
    CutBox& first = boxes_[0];
    first.high[0] = first.high[1] = first.high[2] = kCubeSide - 1;
    first.population = total_count;
    int box_count = 1;
    Shrink(first);

    while (box_count < max_colors) {
        int pick = 1000;  // no box
        for (int i = 0; i < box_count; ++i) {
            const CutBox& b = boxes_[static_cast<size_t>(i)];
            if (b.done || b.population == 0) continue;
            if (pick == 1000 || b.population > boxes_[static_cast<size_t>(pick)].population) pick = i;
        }
        if (pick == 1000) break;
        CutBox& old = boxes_[static_cast<size_t>(pick)];
        int ch = 0;
        for (int c = 1; c < 3; ++c)
            if (old.high[c] - old.low[c] > old.high[ch] - old.low[ch]) ch = c;
        int slot = box_count;
        for (int i = 0; i < box_count; ++i)
            if (boxes_[static_cast<size_t>(i)].population == 0) {
                slot = i;
                break;
            }
        uint64_t running = 0;
        uint64_t slice_sum = 0;
        int c = old.low[ch];
        for (; c <= old.high[ch]; ++c) {
            slice_sum = SliceSum(old, ch, c);
            running += slice_sum;
            if (running > (old.population >> 1)) break;
        }
        if (c >= old.high[ch]) {
            c = old.high[ch];
            running -= slice_sum;
            --c;
        }
        CutBox fresh = old;
        fresh.done = 0;
        fresh.low[ch] = static_cast<uint16_t>(c + 1);
        fresh.population = old.population - running;
        old.high[ch] = static_cast<uint16_t>(c);
        old.population = running;
        Shrink(old);
        Shrink(fresh);
        boxes_[static_cast<size_t>(slot)] = fresh;
        if (slot == box_count) ++box_count;
        if (progress) progress->Step();
    }

    // Stable bubble sort, largest population first.
    for (int end = box_count - 1; end > 0; --end)
        for (int i = 0; i < end; ++i)
            if (boxes_[static_cast<size_t>(i)].population < boxes_[static_cast<size_t>(i) + 1].population)
                std::swap(boxes_[static_cast<size_t>(i)], boxes_[static_cast<size_t>(i) + 1]);

    for (int i = 0; i < box_count; ++i) {
        const CutBox& b = boxes_[static_cast<size_t>(i)];
        uint64_t sum[3] = {0, 0, 0};
        for (int r = b.low[0]; r <= b.high[0]; ++r)
            for (int g = b.low[1]; g <= b.high[1]; ++g)
                for (int bl = b.low[2]; bl <= b.high[2]; ++bl) {
                    const uint64_t n = cube_[static_cast<size_t>(r) * 4096 + static_cast<size_t>(g) * 64 +
                                             static_cast<size_t>(bl)];
                    sum[0] += n * static_cast<uint64_t>(r);
                    sum[1] += n * static_cast<uint64_t>(g);
                    sum[2] += n * static_cast<uint64_t>(bl);
                }
        for (int chn = 0; chn < 3; ++chn) {
            uint64_t mean = b.population ? sum[chn] / b.population : 0;
            mean = std::min<uint64_t>(mean, 255);
            entries[static_cast<size_t>(i)][static_cast<size_t>(chn)] = static_cast<uint8_t>(mean * 255 / 63);
        }
    }
    boxes_.resize(static_cast<size_t>(box_count));
    cube_.clear();
    cube_.shrink_to_fit();
    return box_count;
}

// ---- dither tables and the inverse colour map ------------------------------------------

int DitherLevel(int v, int k) {
    if (v == 255 && k == -1) return 31;
    const int i = v + k;
    if (i <= 6) return 0;
    if (i <= 22) return 1;
    if (i <= 254) return (i - 7) / 8;
    return 31;
}

const uint8_t* InverseColorMap::For(const Palette& p) {
    if (valid_ && palette_ == p) return table_.data();
    valid_ = false;
    std::vector<uint32_t> dist;
    try {
        table_.assign(32768, 0);
        dist.assign(32768, 0xFFFFFFFFu);
        palette_ = p;
    } catch (const std::bad_alloc&) {
        table_.clear();
        return nullptr;
    }
    // Entries in index order; an entry claims a cell only when strictly
    // nearer than the one stored, so equal distances keep the lower index.
    // Squared distances along each axis are kept per entry and summed.
    int dr2[32], dg2[32], db2[32];
    for (int i = 0; i < p.size() && i < 256; ++i) {
        const Rgb c = p[i];
        for (int j = 0; j < 32; ++j) {
            const int centre = 8 * j + 4;
            dr2[j] = (centre - c.r) * (centre - c.r);
            dg2[j] = (centre - c.g) * (centre - c.g);
            db2[j] = (centre - c.b) * (centre - c.b);
        }
        size_t cell = 0;
        for (int r = 0; r < 32; ++r)
            for (int g = 0; g < 32; ++g) {
                const uint32_t drg = static_cast<uint32_t>(dr2[r] + dg2[g]);
                for (int b = 0; b < 32; ++b, ++cell) {
                    const uint32_t d = drg + static_cast<uint32_t>(db2[b]);
                    if (d < dist[cell]) {
                        dist[cell] = d;
                        table_[cell] = static_cast<uint8_t>(i);
                    }
                }
            }
    }
    valid_ = true;
    ++builds_;
    return table_.data();
}

// ---- dithering -----------------------------------------------------------------------------

bool ColorMapper::EnsureRows(int width) {
    if (width <= rows_width_ && !rows_.empty()) return true;
    const size_t w4 = static_cast<size_t>((std::max(width, 0) + 3) / 4 * 4);
    try {
        rows_.assign(2 * (w4 + 2) * 3, 0);
    } catch (const std::bad_alloc&) {
        rows_.clear();
        rows_width_ = -1;
        return false;
    }
    rows_width_ = width;
    return true;
}

bool ColorMapper::Prepare(const Palette& p, int width, UiHost& host) {
    if (!inverse_.For(p)) {
        Tell(host, StringId::DitherNoMemory);
        return false;
    }
    if (!EnsureRows(width)) {
        Tell(host, StringId::DitherNoResources);
        return false;
    }
    return true;
}

namespace {

// Error-diffusion walk shared by indexed and true-colour sources. `source`
// answers false for a pixel that takes the fixed index `skip_index` and
// passes no error on; otherwise it sets the pixel's colour.
template <typename Source>
void Diffuse(const uint8_t* inv, const Palette& target, std::vector<int32_t>& rows, int width,
             int height, uint8_t* dst, int dst_stride, int skip_index, Source source) {
    const size_t row_len = (static_cast<size_t>(width + 3) / 4 * 4 + 2) * 3;
    std::fill(rows.begin(), rows.begin() + static_cast<ptrdiff_t>(2 * row_len), 0);
    int32_t* cur = rows.data();
    int32_t* nxt = rows.data() + row_len;
    for (int y = 0; y < height; ++y) {
        uint8_t* out = dst + static_cast<size_t>(y) * static_cast<size_t>(dst_stride);
        const int* offsets = kDitherOffsetMatrix[y & 3];
        for (int x = 0; x < width; ++x) {
            Rgb c;
            if (!source(x, y, c)) {
                out[x] = static_cast<uint8_t>(skip_index);
                continue;
            }
            int32_t* e = cur + static_cast<size_t>(x + 1) * 3;
            const int r = std::clamp(c.r + e[0] / 16, 0, 255);
            const int g = std::clamp(c.g + e[1] / 16, 0, 255);
            const int b = std::clamp(c.b + e[2] / 16, 0, 255);
            const int k = offsets[x & 3];
            const uint8_t idx =
                inv[InverseColorMap::Cell(DitherLevel(r, k), DitherLevel(g, k), DitherLevel(b, k))];
            out[x] = idx;
            const Rgb chosen = idx < target.size() ? target[idx] : Rgb{};
            const int err[3] = {r - chosen.r, g - chosen.g, b - chosen.b};
            int32_t* right = cur + static_cast<size_t>(x + 2) * 3;
            int32_t* below_left = nxt + static_cast<size_t>(x) * 3;
            int32_t* below = nxt + static_cast<size_t>(x + 1) * 3;
            int32_t* below_right = nxt + static_cast<size_t>(x + 2) * 3;
            for (int ch = 0; ch < 3; ++ch) {
                right[ch] += err[ch] * 7;
                below_left[ch] += err[ch] * 3;
                below[ch] += err[ch] * 5;
                below_right[ch] += err[ch];
            }
        }
        std::fill(cur, cur + row_len, 0);
        std::swap(cur, nxt);
    }
}

}  // namespace

bool ColorMapper::DitherFrame(Frame& f, const Palette& current, const Palette& target, int slot,
                              UiHost& host) {
    if (!f.bitmap || target.size() == 0) return true;
    FrameBitmap& bmp = *f.bitmap;
    if (!Prepare(target, bmp.width, host)) return false;
    const uint8_t* inv = inverse_.For(target);
    const bool transparent = f.Transparent();
    const uint8_t ti = f.transparentIndex;
    if (transparent && slot < 0)
        slot = NearestIndex(target, ti < current.size() ? current[ti] : Rgb{});
    Diffuse(inv, target, rows_, bmp.width, bmp.height, bmp.pixels.data(), bmp.stride, slot,
            [&](int x, int y, Rgb& c) {
                const uint8_t p = bmp.Row(y)[x];
                if (transparent && p == ti) return false;
                c = p < current.size() ? current[p] : Rgb{};
                return true;
            });
    if (transparent) f.transparentIndex = static_cast<uint8_t>(slot);
    return true;
}

bool ColorMapper::MapTrueColor(const Palette& target, uint8_t* dst, int dst_stride, const uint8_t* src,
                               const uint8_t* mask, int width, int height, bool dither, int fill,
                               UiHost& host) {
    if (width <= 0 || height <= 0) return true;
    if (!Prepare(target, dither ? width : 0, host)) return false;
    const uint8_t* inv = inverse_.For(target);
    const size_t src_stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    const size_t mask_stride = static_cast<size_t>(width + 3) / 4 * 4;
    auto pixel = [&](int x, int y, Rgb& c) {
        if (mask && mask[mask_stride * static_cast<size_t>(y) + static_cast<size_t>(x)] == 0) return false;
        const uint8_t* s = src + src_stride * static_cast<size_t>(y) + static_cast<size_t>(x) * 3;
        c = Rgb{s[2], s[1], s[0]};
        return true;
    };
    if (dither) {
        Diffuse(inv, target, rows_, width, height, dst, dst_stride, fill, pixel);
        return true;
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* out = dst + static_cast<size_t>(y) * static_cast<size_t>(dst_stride);
        for (int x = 0; x < width; ++x) {
            Rgb c;
            out[x] = pixel(x, y, c) ? inv[InverseColorMap::Cell(c.r >> 3, c.g >> 3, c.b >> 3)]
                                    : static_cast<uint8_t>(fill);
        }
    }
    return true;
}

// ---- remapping ---------------------------------------------------------------------------------

void RemapFrame(Frame& f, const IndexMap& map) {
    if (f.bitmap) {
        uint8_t lut[256];
        bool identity = true;
        for (size_t i = 0; i < 256; ++i) {
            lut[i] = map[i] < 0 ? 0 : static_cast<uint8_t>(map[i]);
            identity = identity && lut[i] == i;
        }
        FrameBitmap& b = *f.bitmap;
        // The width in a local: a store through `row` could otherwise change
        // b.width for all the compiler knows, and it would be read again for
        // every pixel.
        const size_t w = identity ? 0 : static_cast<size_t>(b.width);
        for (int y = 0; y < b.height && w > 0; ++y) {
            uint8_t* row = b.Row(y);
            for (size_t x = 0; x < w; ++x) row[x] = lut[row[x]];
        }
    }
    if (f.Transparent()) {
        const int16_t t = map[f.transparentIndex];
        if (t < 0) SetTransparent(f, false);
        else f.transparentIndex = static_cast<uint8_t>(t);
    }
}

bool RemapGlobalFrames(Animation& a, IndexMap& map, int new_count, std::optional<int> transparent_slot,
                       const ProgressReporter* stop) {
    for (Frame* f : a.Frames()) {
        if (stop && stop->StopRequested()) return false;
        if (f->localPalette) continue;
        if (!f->Transparent()) {
            RemapFrame(*f, map);
            continue;
        }
        const size_t ti = f->transparentIndex;
        const int16_t saved = map[ti];
        if (transparent_slot) {
            map[ti] = static_cast<int16_t>(*transparent_slot);
        } else if (saved >= 0) {
            bool shared = false;
            for (size_t k = 0; k < 256 && !shared; ++k) shared = k != ti && map[k] == saved;
            if (shared) {
                bool used[256] = {};
                for (size_t k = 0; k < 256; ++k)
                    if (map[k] >= 0) used[map[k]] = true;
                for (int n = 0; n < new_count && n < 256; ++n)
                    if (!used[n]) {
                        map[ti] = static_cast<int16_t>(n);
                        break;
                    }
            }
        }
        RemapFrame(*f, map);
        map[ti] = saved;
    }
    return true;
}

ColorUsage FrameUsage(const Frame& f, bool skip_transparent) {
    ColorUsage u{};
    if (!f.bitmap) return u;
    const bool skip = skip_transparent && f.Transparent();
    const uint8_t ti = f.transparentIndex;
    const FrameBitmap& b = *f.bitmap;
    for (int y = 0; y < b.height; ++y) {
        const uint8_t* row = b.Row(y);
        for (int x = 0; x < b.width; ++x)
            if (!skip || row[x] != ti) ++u[row[x]];
    }
    return u;
}

// ---- Reduce animation ----------------------------------------------------------------------------

namespace {

// Quantizes `source` to at most `m` colours and pads with black, then white
// (at most two entries, up to m). Empty when the quantizer had no memory.
std::optional<Palette> QuantizePalette(const Palette& source, const ColorUsage& counts, int m,
                                       ProgressReporter* progress) {
    QuantizerEntries entries{};
    for (int i = 0; i < source.size() && i < 256; ++i)
        entries[static_cast<size_t>(i)] = {source[i].r, source[i].g, source[i].b, 0};
    MedianCutQuantizer q;
    const int k = q.Quantize(entries, counts, m, progress);
    if (k == 0) return std::nullopt;
    Palette p;
    for (int i = 0; i < k; ++i) {
        const auto& e = entries[static_cast<size_t>(i)];
        p.entries.push_back(Rgb{e[0], e[1], e[2]});
    }
    if (k < m) p.entries.push_back(Rgb{0, 0, 0});
    if (k + 1 < m) p.entries.push_back(Rgb{255, 255, 255});
    return p;
}

}  // namespace

Result ReduceAnimation(Animation& a, int colors, bool dither, ProgressReporter& progress, UiHost& host,
                       ColorMapper& mapper) {
    const int n = std::clamp(colors, 2, 256);
    const int frame_count = a.FrameCount();

    if (a.globalPalette && a.globalPalette->size() > n) {
        progress.SetText(StringId::ReducingPalettes);
        progress.SetRange(n);
        bool any_transparent = false;
        for (const Frame* f : std::as_const(a).Frames())
            any_transparent |= !f->localPalette && f->Transparent();
        const ColorUsage counts = any_transparent ? CountOpaqueUsage(a) : a.colorUsage;
        const int m = any_transparent ? n - 1 : n;
        const Palette old = *a.globalPalette;
        if (auto reduced = QuantizePalette(old, counts, m, &progress)) {
            Palette p = std::move(*reduced);
            const int f_count = p.size();
            IndexMap map = NearestIndexMap(old, p);
            // Dithering needs the inverse map and error rows for the widest
            // frame; when they cannot be had (the message is shown) the frames
            // are mapped to the nearest entries instead.
            int widest = 0;
            for (const Frame* f : std::as_const(a).Frames())
                if (!f->localPalette && f->bitmap) widest = std::max(widest, f->bitmap->width);
            const bool dithering = dither && mapper.Prepare(p, widest, host);
            if (dithering) {
                progress.SetText(StringId::DitheringFrames);
                progress.SetRange(frame_count);
                for (Frame* f : a.Frames()) {
                    if (!f->localPalette) mapper.DitherFrame(*f, old, p, f_count, host);
                    if (!progress.Step()) return Result::Stopped;
                }
            }
            if (any_transparent) p.entries.push_back(Rgb{0, 0, 0});
            progress.SetText(StringId::RemappingFrames);
            progress.SetRange(frame_count);
            if (!dithering &&
                !RemapGlobalFrames(a, map, p.size(), any_transparent ? std::optional<int>(f_count) : std::nullopt,
                                   &progress))
                return Result::Stopped;
            const Rgb bg = a.backgroundIndex < old.size() ? old[a.backgroundIndex] : Rgb{};
            a.backgroundIndex = static_cast<uint8_t>(NearestIndex(p, bg));
            SetGlobalPalette(a, std::move(p));
            if (progress.StopRequested()) return Result::Stopped;
            RecountColorUsage(a, true);
        }
    }

    progress.SetText(StringId::RemappingLocalPalettes);
    progress.SetRange(frame_count);
    for (Frame* f : a.Frames()) {
        if (f->localPalette && f->localPalette->size() > n) {
            const bool transparent = f->Transparent();
            const ColorUsage counts = FrameUsage(*f, transparent);
            const int m = transparent ? n - 1 : n;
            const Palette old = *f->localPalette;
            if (auto reduced = QuantizePalette(old, counts, m, nullptr)) {
                Palette l = std::move(*reduced);
                const int f_count = l.size();
                std::optional<IndexMap> map;
                if (!dither || !mapper.DitherFrame(*f, old, l, f_count, host))
                    map = NearestIndexMap(old, l);
                if (transparent) {
                    l.entries.push_back(Rgb{0, 0, 0});
                    if (map) (*map)[f->transparentIndex] = static_cast<int16_t>(f_count);
                }
                if (map) RemapFrame(*f, *map);
                SetLocalPalette(*f, std::move(l));
            }
        }
        if (!progress.Step()) return Result::Stopped;
    }
    a.cachedSize = -1;
    return Result::Done;
}

Result ReduceAnimation(Animation& a, int colors, bool dither, ProgressReporter& progress, UiHost& host) {
    ColorMapper mapper;
    return ReduceAnimation(a, colors, dither, progress, host, mapper);
}

}  // namespace cinemill
