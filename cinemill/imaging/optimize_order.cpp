// The optimizer's order of the global palette.
#include "cinemill/imaging/optimize_order.h"

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>

#include "cinemill/base/byte_words.h"
#include "cinemill/base/parallel.h"
#include "cinemill/imaging/optimize.h"

namespace cinemill {

int64_t LzwCodeBits(int64_t codes, int code_size) {
    const int s = std::clamp(code_size, 2, 8);
    // One table's life: from 2^s + 2 entries to 4096, then a clear code.
    const int64_t first = (int64_t{1} << s) + 2;
    int64_t cycle_codes = 0, cycle_bits = 0;
    for (int w = s + 1; w <= 12; ++w) {
        const int64_t from = std::max(first, int64_t{1} << (w - 1)), to = int64_t{1} << w;
        cycle_codes += to - from;
        cycle_bits += (to - from) * w;
    }
    if (codes <= 0) return 0;
    // A clear code comes before each code that finds the table full.
    int64_t bits = (codes / cycle_codes) * cycle_bits + (codes - 1) / cycle_codes * 12;
    int64_t left = codes % cycle_codes;
    for (int w = s + 1; w <= 12 && left > 0; ++w) {
        const int64_t from = std::max(first, int64_t{1} << (w - 1)), to = int64_t{1} << w;
        const int64_t n = std::min(left, to - from);
        bits += n * w;
        left -= n;
    }
    return bits;
}

namespace {

using ColourSet = std::bitset<256>;

// What one frame draws where it changes what the frame before it showed.
struct FrameChange {
    ColourSet colours;
    int64_t pixels = 0;
    bool needs_fill = false;  // a frame after the first: unchanged pixels may take a fill index
};

struct ChangeUse {
    std::array<int64_t, 256> frames{}, pixels{};  // per colour: in how many frames, in how many pixels
    std::vector<FrameChange> per_frame;
};

// A frame with the rectangle of the opaque frame before it counts the
// pixels that differ from that frame's; any other, all of its pixels. The
// frames are counted side by side.
ChangeUse CountChangeUse(const Animation& a) {
    struct Counted {
        const Frame* frame;
        const Frame* against;  // the frame before, when compared with it
        ColorUsage counts{};
    };
    std::vector<Counted> counted;
    const Frame* prev = nullptr;
    for (const Frame* f : a.Frames()) {
        if (f->localPalette || !f->bitmap) {
            prev = nullptr;
            continue;
        }
        const bool against_prev = prev && !f->Transparent() && !prev->Transparent() && prev->left == f->left &&
                                  prev->top == f->top && prev->bitmap->width == f->bitmap->width &&
                                  prev->bitmap->height == f->bitmap->height;
        counted.push_back({f, against_prev ? prev : nullptr});
        prev = f;
    }
    ParallelFor(
        counted.size(),
        [&](size_t i) {
            Counted& c = counted[i];
            const FrameBitmap& b = *c.frame->bitmap;
            const size_t w = static_cast<size_t>(b.width);
            for (int y = 0; y < b.height; ++y) {
                const uint8_t* row = b.Row(y);
                const uint8_t* before = c.against ? c.against->bitmap->Row(y) : nullptr;
                for (size_t x = 0; x < w; ++x) {
                    // Runs the frame leaves as they were are skipped a word at a time.
                    if (before && before[x] == row[x]) {
                        x += bytes::CommonPrefix(before + x, row + x, w - x) - 1;
                        continue;
                    }
                    ++c.counts[row[x]];
                }
            }
        },
        OptimizeWorkers());
    ChangeUse use;
    for (const Counted& c : counted) {
        FrameChange change;
        change.needs_fill = !use.per_frame.empty();
        for (size_t i = 0; i < 256; ++i) {
            if (!c.counts[i]) continue;
            change.colours.set(i);
            change.pixels += c.counts[i];
            use.pixels[i] += c.counts[i];
            ++use.frames[i];
        }
        use.per_frame.push_back(change);
    }
    return use;
}

// Colours drawn in more frames' changes first, then in more pixels.
std::vector<int> OrderByUse(const ChangeUse& use, int n) {
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
        const size_t i = static_cast<size_t>(x), j = static_cast<size_t>(y);
        if (use.frames[i] != use.frames[j]) return use.frames[i] > use.frames[j];
        return use.pixels[i] > use.pixels[j];
    });
    return order;
}

// How frames place their colours in OrderByFrames.
enum class Placing {
    kMostGainFirst,  // the frame with the most changed pixels per colour it adds
    kInFileOrder,    // the frames as they come
    kByLevels,       // the first 4, 8, ... 256 entries filled in turn with the
                     // colours of frames that fit in them (a fill index
                     // included), most gain first: a frame too large for a
                     // level does not take the room of frames that fit
};

// Frame by frame, each frame placing the colours it still needs next (in
// the order by use), until every frame has its colours; what is left
// follows in the order by use.
std::vector<int> OrderByFrames(const ChangeUse& use, const std::vector<int>& by_use, Placing how) {
    ColourSet placed;
    std::vector<int> order;
    order.reserve(by_use.size());
    std::vector<char> done(use.per_frame.size());
    const auto place = [&](const ColourSet& colours) {
        for (const int c : by_use)
            if (colours[static_cast<size_t>(c)] && !placed[static_cast<size_t>(c)]) {
                placed.set(static_cast<size_t>(c));
                order.push_back(c);
            }
    };
    for (size_t room = how == Placing::kByLevels ? 4 : 256; room <= 256; room *= 2) {
        for (;;) {
            size_t best = use.per_frame.size();
            double best_gain = -1;
            for (size_t f = 0; f < use.per_frame.size(); ++f) {
                if (done[f]) continue;
                const FrameChange& c = use.per_frame[f];
                const size_t all = (placed | c.colours).count();
                if (how == Placing::kByLevels && all + (c.needs_fill ? 1 : 0) > room) continue;
                const size_t added = all - placed.count();
                if (added == 0) {
                    done[f] = 1;
                    continue;
                }
                const double gain = static_cast<double>(c.pixels) / static_cast<double>(added);
                if (gain > best_gain) {
                    best_gain = gain;
                    best = f;
                }
                if (how == Placing::kInFileOrder) break;
            }
            if (best == use.per_frame.size()) break;
            place(use.per_frame[best].colours);
            done[best] = 1;
        }
    }
    place(ColourSet{}.set());
    return order;
}

// The frames' code bits under `order`, the codes estimated from the changed
// pixels (a few pixels to a code).
int64_t EstimatedBits(const ChangeUse& use, const std::vector<int>& order) {
    std::array<int, 256> rank{};
    for (size_t k = 0; k < order.size(); ++k) rank[static_cast<size_t>(order[k])] = static_cast<int>(k);
    int64_t bits = 0;
    for (const FrameChange& f : use.per_frame) {
        int top = 0;
        for (size_t c = 0; c < order.size(); ++c)
            if (f.colours[c]) top = std::max(top, rank[c]);
        const int needed = std::max(top + 1, static_cast<int>(f.colours.count()) + (f.needs_fill ? 1 : 0));
        const int code_size = std::max(2, static_cast<int>(std::bit_width(static_cast<unsigned>(needed - 1))));
        bits += LzwCodeBits(f.pixels / 4 + 1, code_size);
    }
    return bits;
}

}  // namespace

std::vector<int> GlobalPaletteOrder(const Animation& a) {
    if (!a.globalPalette) return {};
    const int n = a.globalPalette->size();
    const ChangeUse use = CountChangeUse(a);
    std::vector<int> by_use = OrderByUse(use, n);
    std::vector<int> best = by_use;
    int64_t best_bits = EstimatedBits(use, by_use);
    for (const Placing how : {Placing::kMostGainFirst, Placing::kInFileOrder, Placing::kByLevels}) {
        std::vector<int> order = OrderByFrames(use, by_use, how);
        const int64_t bits = EstimatedBits(use, order);
        if (bits < best_bits) {
            best_bits = bits;
            best = std::move(order);
        }
    }
    return best;
}

}  // namespace cinemill
