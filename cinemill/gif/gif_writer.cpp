#include "cinemill/gif/gif_writer.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <algorithm>
#include <utility>

#include "cinemill/base/memory.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/disposal.h"
#include "cinemill/doc/render.h"
#include "cinemill/gif/lzw_decoder.h"
#include "cinemill/gif/packed_bytes.h"
#include "cinemill/gif/gif_labels.h"

namespace cinemill {

bool FileSink::Put(const uint8_t* p, size_t n) {
    if (failed_) return false;
    if (buffer_.size() + n > kBufferSize && !Flush()) return false;
    if (n >= kBufferSize) {
        failed_ = !file_.Write(p, n);
        return !failed_;
    }
    buffer_.insert(buffer_.end(), p, p + n);
    return true;
}

bool FileSink::Flush() {
    if (failed_) return false;
    if (!buffer_.empty()) failed_ = !file_.Write(buffer_.data(), buffer_.size());
    buffer_.clear();
    return !failed_;
}

namespace {

constexpr int kHashSize = 5003;
constexpr int kMaxCodes = 4096;

// For each pair of palette indexes (row: the pixel's own, column: the one
// written), four times their squared RGB distance, or -1 where the lossy
// bound forbids the change.
using NearColors = std::vector<int16_t>;

// What each pixel of a frame, in file order, may be written as. A pixel
// whose row (`row` without kOwnClear) is a palette index (its own, for an
// opaque pixel) may take any index the near table allows for that one, at
// that cost; 256 allows none. kOwnClear marks a pixel that is transparent
// in the frame. `clear` is the cost of writing the transparent index
// instead (-1 = not allowed): for a transparent pixel how far the canvas
// beneath is from the input's picture, for an opaque one how far it is
// from the pixel's colour. Costs are four times the squared RGB distance,
// to be taken `weight` times, once per picture showing the pixel.
struct LossyPixels {
    static constexpr uint16_t kOwnClear = 0x200;
    std::vector<uint16_t> row;
    std::vector<int32_t> clear;
    std::vector<uint8_t> weight;
    int transparent = -1;  // the frame's transparent index, -1 without one
    size_t size() const { return row.size(); }
    size_t Row(size_t p) const { return row[p] & 0x1FF; }
    bool OwnClear(size_t p) const { return (row[p] & kOwnClear) != 0; }
    // The value the frame has at the pixel.
    int Own(size_t p) const { return OwnClear(p) ? transparent : static_cast<int>(row[p] & 0xFF); }
    int Cost(size_t p, int j, const NearColors& near) const {
        if (j == transparent) return clear[p];
        const size_t r = Row(p);
        return near[r * 256 + static_cast<size_t>(j)];
    }
};

// LZW compressor with the classic open-addressing hash (5003 slots, keys
// pixel << 12 | prefix) and output in sub-blocks of 254 bytes.
class LzwEncoder {
public:
    explicit LzwEncoder(GifSink& sink, const ProgressReporter* stop = nullptr) : sink_(sink), stop_(stop) {}

    // Compresses the frame's pixels in file order. False when a write failed
    // or a stop was requested (`Stopped` tells which).
    bool Encode(const FrameBitmap& bmp, bool interlaced, int min_code_size);
    bool Stopped() const { return stopped_; }

    // Lossy compression of the pixels in file order: each code stands for
    // a table string whose colours are each one the pixel may take, chosen
    // for the least cost per pixel, its error beside its bits at `bit_cost`
    // error units each. A string may start on any colour its first pixel
    // may take; the entry the decoder adds on reading a code (the string
    // before and this one's first colour) is made here at the same point.
    bool EncodeLossy(const LossyPixels& px, int min_code_size, const NearColors& near, int64_t bit_cost);

private:
    void Start(int min_code_size);
    bool Finish();
    // A string chosen by the lossy search: its length past the first pixel,
    // its code and the colour it starts with.
    struct Match {
        int len;
        int code;
        int root;
    };
    // The string through px[pos...], starting on one of `roots` and then
    // following the table within the near table, that costs least per pixel
    // it covers, counting its code's bits at `bit_cost` error units each
    // beside its error. The table is searched depth first; a string whose
    // every extension, however long the table lets it run and without
    // further error, would cost more per pixel than the best found is not
    // followed.
    Match CheapestNearMatch(const LossyPixels& px, size_t pos, const std::vector<uint8_t>& roots,
                            const NearColors& near, int64_t bit_cost);
    // Makes the table entry `key`, or clears the table when it is full.
    void AddEntry(int32_t key);
    void Output(int code);
    void FlushPacket();

    // Polled every kRowsPerStopCheck rows, so that a stop (a command
    // arriving while the size task counts a large frame) does not wait for
    // the rest of the frame.
    static constexpr int kRowsPerStopCheck = 8;
    bool StopNow(int row) {
        if (stop_ && row % kRowsPerStopCheck == kRowsPerStopCheck - 1 && stop_->StopRequested()) stopped_ = true;
        return stopped_;
    }

    GifSink& sink_;
    const ProgressReporter* stop_;
    bool stopped_ = false;
    std::array<int32_t, kHashSize> hash_{};
    std::array<uint16_t, kHashSize> codes_{};
    int init_bits_ = 0, n_bits_ = 0, max_code_ = 0;
    int clear_code_ = 0, eof_code_ = 0, free_ent_ = 0;
    bool clear_flag_ = false;
    uint32_t accum_ = 0;
    int accum_bits_ = 0;
    std::array<uint8_t, 256> packet_{};
    int packet_len_ = 0;
    bool failed_ = false;
    // The lossy search's view of the table, for each code: its first
    // child and next sibling (-1 = none), its parent (-1 for a colour), how
    // many pixels the longest string below it in the table runs past it, its
    // last and first colour.
    struct Node {
        int16_t first_child, sibling, parent, height;
        uint8_t suffix, first;
    };
    std::array<Node, kMaxCodes> nodes_{};
    // Raises the heights of `code` and the codes above it for a child of it.
    void Lengthen(int code) {
        int16_t h = 1;
        for (int up = code; up >= 0 && nodes_[static_cast<size_t>(up)].height < h; ++h) {
            nodes_[static_cast<size_t>(up)].height = h;
            up = nodes_[static_cast<size_t>(up)].parent;
        }
    }
    // The code whose table entry waits for the next string's first colour
    // (-1 = none).
    int pending_ = -1;
    // A bound on the table entries tried per string keeps the search linear
    // in the pixels whatever the table holds.
    static constexpr int kSearchBudget = 4000;
    // A string the search follows: its code, first colour and pixels, how
    // many of them differ from the frame's own (which decides between
    // strings of one cost, so that a string without loss is the one the
    // frame's data would take), and its error.
    struct SearchStep {
        int16_t code;
        uint8_t root;
        uint16_t pixels;
        uint16_t moved;
        int64_t err;
    };
    std::vector<SearchStep> search_;
};

void LzwEncoder::FlushPacket() {
    if (packet_len_ == 0) return;
    packet_[0] = static_cast<uint8_t>(packet_len_);
    if (!sink_.Write(packet_.data(), static_cast<size_t>(packet_len_) + 1)) failed_ = true;
    packet_len_ = 0;
}

void LzwEncoder::Output(int code) {
    accum_ |= static_cast<uint32_t>(code) << accum_bits_;
    accum_bits_ += n_bits_;
    while (accum_bits_ >= 8) {
        packet_[static_cast<size_t>(++packet_len_)] = static_cast<uint8_t>(accum_);
        if (packet_len_ >= 254) FlushPacket();
        accum_ >>= 8;
        accum_bits_ -= 8;
    }
    if (free_ent_ > max_code_ || clear_flag_) {
        if (clear_flag_) {
            n_bits_ = init_bits_;
            max_code_ = (1 << n_bits_) - 1;
            clear_flag_ = false;
        } else {
            ++n_bits_;
            max_code_ = n_bits_ == 12 ? kMaxCodes : (1 << n_bits_) - 1;
        }
    }
}

void LzwEncoder::Start(int m) {
    failed_ = false;
    stopped_ = false;
    packet_len_ = 0;
    accum_ = 0;
    accum_bits_ = 0;
    init_bits_ = m + 1;
    n_bits_ = init_bits_;
    max_code_ = (1 << n_bits_) - 1;
    clear_code_ = 1 << m;
    eof_code_ = clear_code_ + 1;
    free_ent_ = clear_code_ + 2;
    clear_flag_ = false;
    hash_.fill(-1);
    Output(clear_code_);
}

bool LzwEncoder::Finish() {
    Output(eof_code_);
    if (accum_bits_ > 0) {
        packet_[static_cast<size_t>(++packet_len_)] = static_cast<uint8_t>(accum_);
        accum_ = 0;
        accum_bits_ = 0;
        if (packet_len_ >= 254) FlushPacket();
    }
    FlushPacket();
    return !failed_;
}

void LzwEncoder::AddEntry(int32_t key) {
    if (free_ent_ >= kMaxCodes) {
        hash_.fill(-1);
        for (int r = 0; r < clear_code_; ++r) {
            nodes_[static_cast<size_t>(r)].first_child = -1;
            nodes_[static_cast<size_t>(r)].height = 0;
        }
        free_ent_ = clear_code_ + 2;
        clear_flag_ = true;
        Output(clear_code_);
        return;
    }
    const int c = key >> 12, prefix = key & 0xFFF;
    int i = (c << 4) ^ prefix;
    const int disp = i == 0 ? 1 : kHashSize - i;
    while (hash_[static_cast<size_t>(i)] >= 0) {
        // Already there (the search gave up before reaching it): the decoder
        // still counts the code, the table keeps the older one.
        if (hash_[static_cast<size_t>(i)] == key) {
            ++free_ent_;
            return;
        }
        i -= disp;
        if (i < 0) i += kHashSize;
    }
    const auto n = static_cast<size_t>(free_ent_++);
    codes_[static_cast<size_t>(i)] = static_cast<uint16_t>(n);
    hash_[static_cast<size_t>(i)] = key;
    Node& up = nodes_[static_cast<size_t>(prefix)];
    nodes_[n] = Node{-1, up.first_child, static_cast<int16_t>(prefix), 0, static_cast<uint8_t>(c), up.first};
    up.first_child = static_cast<int16_t>(n);
    Lengthen(prefix);
}

LzwEncoder::Match LzwEncoder::CheapestNearMatch(const LossyPixels& px, size_t pos, const std::vector<uint8_t>& roots,
                                                const NearColors& near, int64_t bit_cost) {
    int budget = kSearchBudget;
    std::vector<SearchStep>& stack = search_;
    stack.clear();
    const int64_t code_cost = bit_cost * n_bits_;
    const int left = static_cast<int>(std::min<size_t>(px.size() - pos, kMaxCodes));
    const int clear_index = px.transparent;
    // A pixel the frame leaves transparent that is written as a colour
    // costs a tenth of a bit more than its error: the frame's data chose
    // the transparency, and strings that trade it for no gain split the
    // runs of transparent pixels the table would otherwise lengthen.
    const int fill_pen = static_cast<int>(bit_cost / 10);
    // Cost per pixel as the fraction cost / pixels, compared crosswise; of
    // strings as cheap, the longer, then the one nearer the frame's own.
    Match best{0, -1, -1};
    int64_t best_cost = 0, best_pixels = 1;
    int best_moved = 0;
    auto consider = [&](int pixels, int code, int root, int64_t err, int moved) {
        const int64_t cost = code_cost + err;
        const int64_t lhs = cost * best_pixels, rhs = best_cost * pixels;
        if (lhs < rhs || (lhs == rhs && (pixels > best_pixels || (pixels == best_pixels && moved < best_moved)))) {
            best = Match{pixels - 1, code, root};
            best_cost = cost;
            best_pixels = pixels;
            best_moved = moved;
        }
    };
    // The entry the decoder makes on reading this string's code: the string
    // before and this string's first colour. When this string runs through
    // the string before, that colour is its first one, and the entry may be
    // this string's code already (the decoder takes the next free code as
    // the string before and its first colour). It has no children yet.
    auto pending_child = [&](const SearchStep& s) {
        if (s.pixels >= left) return;
        const size_t at = pos + static_cast<size_t>(s.pixels);
        const int f = nodes_[static_cast<size_t>(pending_)].first;
        int d = px.Cost(at, f, near);
        if (d >= 0 && px.OwnClear(at) && f != clear_index) d += fill_pen;
        if (d >= 0)
            consider(s.pixels + 1, free_ent_, s.root, s.err + int64_t{d} * px.weight[at], s.moved + (f != px.Own(at)));
    };
    const int own0 = px.Own(pos);
    for (const uint8_t r : roots) {
        int d = px.Cost(pos, r, near);
        if (d >= 0 && px.OwnClear(pos) && r != clear_index) d += fill_pen;
        if (d < 0) continue;
        const SearchStep s{static_cast<int16_t>(r), r, 1, static_cast<uint16_t>(r != own0), int64_t{d} * px.weight[pos]};
        if (best.code < 0) {
            best = Match{0, r, r};
            best_cost = code_cost + s.err;
            best_moved = s.moved;
        } else {
            consider(1, r, r, s.err, s.moved);
        }
        if (r == pending_) pending_child(s);
        if (nodes_[r].first_child >= 0) stack.push_back(s);
    }
    // The roots come nearest first: followed so, from the top of the stack.
    std::reverse(stack.begin(), stack.end());
    while (!stack.empty() && budget > 0) {
        const SearchStep s = stack.back();
        stack.pop_back();
        // A longer string through s costs at most as little per pixel as its
        // error over the most pixels the table lets it run to; the best may
        // have become cheaper than that since s was put here.
        const int64_t s_cost = code_cost + s.err;
        if (s.pixels >= left ||
            s_cost * best_pixels > best_cost * std::min(s.pixels + nodes_[static_cast<size_t>(s.code)].height, left))
            continue;
        // The choices of the pixel after the string.
        const size_t at = pos + static_cast<size_t>(s.pixels);
        const int16_t* near_row = near.data() + px.Row(at) * 256;
        const int clear = px.clear[at], own = px.Own(at);
        const int pen = px.OwnClear(at) ? fill_pen : 0;
        const int64_t weight = px.weight[at];
        const int pixels = s.pixels + 1;
        const size_t first_new = stack.size();
        size_t least = first_new;
        for (int k = nodes_[static_cast<size_t>(s.code)].first_child; k >= 0;) {
            const Node& node = nodes_[static_cast<size_t>(k)];
            const int next = node.sibling;
            --budget;
            // Hopeless whatever its colour: even without error the longest
            // string through it costs too much per pixel.
            const int most = std::min(pixels + node.height, left);
            if (s_cost * best_pixels > best_cost * most) {
                k = next;
                continue;
            }
            const int v = node.suffix;
            int d = near_row[v];
            if (v == clear_index) d = clear;
            else if (d >= 0) d += pen;
            if (d >= 0) {
                const int64_t err = s.err + d * weight;
                // Neither this string nor a longer one through it may do
                // better when even the longest would cost more per pixel.
                const int64_t lhs = (code_cost + err) * best_pixels;
                if (lhs <= best_cost * most) {
                    const int moved = s.moved + (v != own);
                    if (lhs <= best_cost * pixels) consider(pixels, k, s.root, err, moved);
                    const SearchStep c{static_cast<int16_t>(k), s.root, static_cast<uint16_t>(pixels),
                                       static_cast<uint16_t>(moved), err};
                    if (k == pending_) pending_child(c);
                    if (node.first_child >= 0) {
                        if (stack.size() > first_new && err < stack[least].err) least = stack.size();
                        stack.push_back(c);
                    }
                }
            }
            k = next;
        }
        // The least wrong of them is followed first: the sooner the best is
        // cheap, the fewer strings are followed.
        if (stack.size() > first_new + 1) std::swap(stack[least], stack.back());
    }
    return best;
}

bool LzwEncoder::EncodeLossy(const LossyPixels& px, int m, const NearColors& near, int64_t bit_cost) {
    Start(m);
    for (int r = 0; r < kMaxCodes; ++r)
        nodes_[static_cast<size_t>(r)] = Node{-1, -1, -1, 0, static_cast<uint8_t>(r), static_cast<uint8_t>(r)};
    // The colours a string may start with for each row of the near table,
    // the row's own first, then the others nearest first, all within the
    // codes' width; 256 (no row) has none but the transparent index.
    std::array<std::vector<uint8_t>, 257> roots;
    for (size_t v = 0; v < 256; ++v) {
        if (static_cast<int>(v) < clear_code_) roots[v].push_back(static_cast<uint8_t>(v));
        for (size_t r = 0; r < 256 && static_cast<int>(r) < clear_code_; ++r)
            if (r != v && near[v * 256 + r] >= 0) roots[v].push_back(static_cast<uint8_t>(r));
        std::stable_sort(roots[v].begin() + (static_cast<int>(v) < clear_code_), roots[v].end(),
                         [&](uint8_t x, uint8_t y) { return near[v * 256 + x] < near[v * 256 + y]; });
    }
    std::vector<uint8_t> with_clear;
    size_t pos = 0;
    pending_ = -1;
    while (pos < px.size()) {
        const std::vector<uint8_t>* starts = &roots[std::min<size_t>(px.Row(pos), 256)];
        if (px.transparent >= 0 && px.transparent < clear_code_ && px.clear[pos] >= 0) {
            // The pixel's own value first: of strings as cheap, the first
            // found is taken.
            with_clear.clear();
            if (px.OwnClear(pos)) with_clear.push_back(static_cast<uint8_t>(px.transparent));
            with_clear.insert(with_clear.end(), starts->begin(), starts->end());
            if (!px.OwnClear(pos)) with_clear.push_back(static_cast<uint8_t>(px.transparent));
            starts = &with_clear;
        }
        const Match best = CheapestNearMatch(px, pos, *starts, near, bit_cost);
        if (best.code < 0) return false;  // no colour allowed: not made by LossyPixelsOf
        // The decoder makes the entry of the code before when it reads this
        // one: that code's string and this one's first colour.
        if (pending_ >= 0) AddEntry((best.root << 12) + pending_);
        Output(best.code);
        pos += 1 + static_cast<size_t>(best.len);
        pending_ = -1;
        if (pos < px.size()) {
            if (free_ent_ < kMaxCodes) {
                // Its entry is made by the next code: counted in the heights
                // from now on, so that the search's bound holds for it.
                pending_ = best.code;
                Lengthen(pending_);
            }
            else AddEntry(0);  // a full table is cleared now, before the next search
        }
    }
    return Finish();
}

bool LzwEncoder::Encode(const FrameBitmap& bmp, bool interlaced, int m) {
    Start(m);
    const int w = bmp.width, h = bmp.height;
    int prefix = -1;
    auto encode_row = [&](const uint8_t* row) {
        int x = 0;
        if (prefix < 0) {
            if (w == 0) return;
            prefix = row[0];
            x = 1;
        }
        for (; x < w; ++x) {
            const int c = row[x];
            const int32_t key = (c << 12) + prefix;
            int i = (c << 4) ^ prefix;
            if (hash_[static_cast<size_t>(i)] == key) {
                prefix = codes_[static_cast<size_t>(i)];
                continue;
            }
            if (hash_[static_cast<size_t>(i)] >= 0) {
                const int disp = i == 0 ? 1 : kHashSize - i;
                bool found = false;
                do {
                    i -= disp;
                    if (i < 0) i += kHashSize;
                    if (hash_[static_cast<size_t>(i)] == key) {
                        found = true;
                        break;
                    }
                } while (hash_[static_cast<size_t>(i)] >= 0);
                if (found) {
                    prefix = codes_[static_cast<size_t>(i)];
                    continue;
                }
            }
            Output(prefix);
            if (free_ent_ < kMaxCodes) {
                codes_[static_cast<size_t>(i)] = static_cast<uint16_t>(free_ent_++);
                hash_[static_cast<size_t>(i)] = key;
            } else {
                hash_.fill(-1);
                free_ent_ = clear_code_ + 2;
                clear_flag_ = true;
                Output(clear_code_);
            }
            prefix = c;
        }
    };
    int rows = 0;
    if (interlaced) {
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < h; y += kStep[pass]) {
                encode_row(bmp.Row(y));
                if (StopNow(rows++)) return false;
            }
    } else {
        for (int y = 0; y < h; ++y) {
            encode_row(bmp.Row(y));
            if (StopNow(rows++)) return false;
        }
    }
    if (prefix >= 0) Output(prefix);
    return Finish();
}

bool WriteColorTable(GifSink& sink, const Palette& p) {
    const int n = std::min(p.size(), 256);
    const size_t entries = size_t{1} << ColorTableBits(n);
    std::array<uint8_t, 768> rgb{};
    for (int i = 0; i < n; ++i) {
        rgb[static_cast<size_t>(3 * i)] = p[i].r;
        rgb[static_cast<size_t>(3 * i + 1)] = p[i].g;
        rgb[static_cast<size_t>(3 * i + 2)] = p[i].b;
    }
    return sink.Write(rgb.data(), 3 * entries);
}

void Put16(uint8_t* p, int32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// Bits needed for the largest pixel value of the bitmap.
int PixelBits(const FrameBitmap& bmp) {
    // OR of every pixel, eight at a time over the whole buffer. Padding bytes
    // are zero; were they not, the codes would only come out wider than needed.
    uint64_t wide = 0;
    uint8_t all = 0;
    const size_t n = bmp.pixels.size();
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, bmp.pixels.data() + i, 8);
        wide |= w;
    }
    for (; i < n; ++i) all |= bmp.pixels[i];
    for (int k = 0; k < 8; ++k) all |= static_cast<uint8_t>(wide >> (8 * k));
    int bits = 1;
    while (bits < 8 && (all >> bits) != 0) ++bits;
    return bits;
}

}  // namespace

bool WritesControlBlock(const Frame& f) {
    return !(f.implicitControlDelay && *f.implicitControlDelay == f.delay && f.controlFlags == 0 &&
             f.transparentIndex == 0);
}

namespace {

// Four times the squared RGB distance a pixel may move at lossy level
// `lossy`: the distance is 2 / 5 of the level.
int LossyBound(int lossy) { return 4 * lossy * lossy * 4 / 25; }

// Error units (four times a squared RGB distance, per picture showing it)
// one bit of the compressed data is worth at lossy level `lossy`. With the
// bound above this puts level 80 a little below gifsicle's --lossy=80 in
// size and above it in PSNR over the benchmark files.
int64_t LossyBitCost(int lossy) { return int64_t{24} * lossy * lossy / 1000; }

// The near-colour table for a frame at lossy level `lossy` (1-200): colours
// within the level's bound of each other. The
// transparent index of a transparent frame neither changes nor stands in;
// indexes beyond the palette stay as they are.
NearColors MakeNearColors(const Palette& p, const Frame& f, int lossy) {
    NearColors near(257 * 256, -1);
    const int bound = LossyBound(lossy);
    const int n = std::min(p.size(), 256);
    for (int i = 0; i < 256; ++i) {
        near[static_cast<size_t>(i) * 257] = 0;  // row 256 stays without colours
        if (i >= n || (f.Transparent() && i == f.transparentIndex)) continue;
        for (int j = 0; j < n; ++j) {
            if (j == i || (f.Transparent() && j == f.transparentIndex)) continue;
            const int dr = p[i].r - p[j].r, dg = p[i].g - p[j].g, db = p[i].b - p[j].b;
            const int d = 4 * (dr * dr + dg * dg + db * db);
            if (d <= bound) near[static_cast<size_t>(i) * 256 + static_cast<size_t>(j)] = static_cast<int16_t>(d);
        }
    }
    return near;
}

// For each frame (in order) and each pixel of its bitmap (rows top first,
// no padding): how many pictures of the animation show it, at most 255.
// A pixel stays until a later frame covers it with an opaque pixel or a
// disposal clears it; a frame restored away shows in its own picture only.
// An error in a pixel costs as much as the pictures it shows in.
struct Lifetimes {
    std::vector<PackedBytes> frames;  // from the last frame to the first
    // Frame `index`'s, or nothing when unknown.
    std::vector<uint8_t> Of(size_t index) const {
        return index < frames.size() ? frames[frames.size() - 1 - index].Unpack() : std::vector<uint8_t>();
    }
};
Lifetimes PixelLifetimes(const Animation& a) {
    const auto frames = a.Frames();
    const int n = static_cast<int>(frames.size());
    Lifetimes lifetimes;
    lifetimes.frames.reserve(frames.size());
    const int sw = static_cast<int>(a.width), sh = static_cast<int>(a.height);
    // The first picture, after the frame at hand, no longer showing each
    // screen position's pixel.
    std::vector<int> gone(static_cast<size_t>(sw) * static_cast<size_t>(sh), n);
    for (int k = n - 1; k >= 0; --k) {
        const Frame& f = *frames[static_cast<size_t>(k)];
        std::vector<uint8_t> out;
        if (f.bitmap) {
            const FrameBitmap& bmp = *f.bitmap;
            out.assign(static_cast<size_t>(bmp.width) * static_cast<size_t>(bmp.height), 1);
            const int disposal = f.Disposal();
            for (int y = 0; y < bmp.height; ++y) {
                const int sy = f.top + y;
                if (sy < 0 || sy >= sh) continue;
                const uint8_t* row = bmp.Row(y);
                for (int x = 0; x < bmp.width; ++x) {
                    const int sx = f.left + x;
                    if (sx < 0 || sx >= sw) continue;
                    int& g = gone[static_cast<size_t>(sy) * static_cast<size_t>(sw) + static_cast<size_t>(sx)];
                    const bool opaque = !(f.Transparent() && row[x] == f.transparentIndex);
                    uint8_t& l = out[static_cast<size_t>(y) * static_cast<size_t>(bmp.width) + static_cast<size_t>(x)];
                    if (disposal < 2) l = static_cast<uint8_t>(std::min(255, g - k));
                    if (disposal == 2) g = opaque ? k : k + 1;
                    else if (disposal != 3 && opaque) g = k;
                }
            }
        }
        lifetimes.frames.emplace_back(std::move(out));
    }
    return lifetimes;
}

bool WriteFrame(GifSink& sink, const Animation& a, const Frame& f, LzwEncoder& enc);
// The code-size byte, data sub-blocks and terminator of a frame: exact
// without `lossy`, else compressed lossily at that level with the choices
// `pixels` gives (as LossyPixelsOf makes them).
bool WriteImageData(GifSink& sink, const Animation& a, const Frame& f, LzwEncoder& enc, int lossy = 0,
                    const LossyPixels* pixels = nullptr);

bool WriteFrame(GifSink& sink, const Animation& a, const Frame& f, LzwEncoder& enc) {
    const uint8_t gce[8] = {kGifExtension, kGifGraphicControl, 0x04, f.controlFlags, static_cast<uint8_t>(f.delay),
                            static_cast<uint8_t>(f.delay >> 8), f.transparentIndex, 0};
    if (WritesControlBlock(f) && !sink.Write(gce, 8)) return false;
    uint8_t desc[10] = {kGifImage};
    Put16(desc + 1, f.left);
    Put16(desc + 3, f.top);
    Put16(desc + 5, f.width);
    Put16(desc + 7, f.height);
    desc[9] = f.descriptorFlags;
    if (!sink.Write(desc, 10)) return false;
    if (f.localPalette && !WriteColorTable(sink, *f.localPalette)) return false;
    return WriteImageData(sink, a, f, enc);
}

bool WriteImageData(GifSink& sink, const Animation& a, const Frame& f, LzwEncoder& enc, int lossy,
                    const LossyPixels* pixels) {
    const KeptImageData* k = lossy > 0 ? nullptr : ValidKeptData(a, f);
    if (k) {
        // The file's own data: written as it was read.
        return sink.Write(&k->minCodeSize, 1) && sink.Write(k->subBlocks.data(), k->subBlocks.size());
    }
    const Palette* pal = PaletteInEffect(a, f);
    int bits = std::max(2, ColorTableBits(pal ? pal->size() : 256));
    static const FrameBitmap kEmpty;
    const FrameBitmap& bmp = f.bitmap ? *f.bitmap : kEmpty;
    // A pixel beyond the palette would collide with the clear and end codes;
    // widen the codes so that the stream stays decodable.
    const int needed = PixelBits(bmp);
    if (needed > bits) bits = needed;
    const bool lossily = lossy > 0 && pal && pixels && pixels->size() == static_cast<size_t>(bmp.width) * bmp.height;
    // Lossy codes start as narrow as the frame's own pixels allow: colours
    // beyond them are not taken.
    if (lossily) bits = std::max(2, needed);
    const uint8_t m = static_cast<uint8_t>(bits);
    if (!sink.Write(&m, 1)) return false;
    if (lossily) {
        const NearColors near = MakeNearColors(*pal, f, lossy);
        if (!enc.EncodeLossy(*pixels, m, near, LossyBitCost(lossy))) return false;
    } else if (!enc.Encode(bmp, f.Interlaced(), m)) {
        return false;
    }
    const uint8_t zero = 0;
    return sink.Write(&zero, 1);
}

int Distance4(Rgb x, const uint8_t* y) {
    const int dr = x.r - y[0], dg = x.g - y[1], db = x.b - y[2];
    return 4 * (dr * dr + dg * dg + db * db);
}

// The picture a frame is drawn on: what the frames so far show once each
// has been disposed of, with the background transparent (as the reader's
// pictures are). A frame restored away leaves it as it was, so it is not
// drawn at all; one cleared to the background clears its rectangle.
class CanvasBeneath {
public:
    explicit CanvasBeneath(const Animation& a) {
        canvas_.width = static_cast<int>(a.width);
        canvas_.height = static_cast<int>(a.height);
        canvas_.rgba.resize(static_cast<size_t>(a.width) * a.height * 4);
    }
    const RgbaImage& Picture() const { return canvas_; }
    // Draws frame `f` of `a` and disposes of it.
    void Add(const Animation& a, const Frame& f) {
        const int disposal = f.Disposal();
        if (disposal == kDisposePrevious) return;
        const int x0 = std::max(0, f.left), y0 = std::max(0, f.top);
        const int x1 = static_cast<int>(std::min<int64_t>(int64_t{f.left} + f.width, canvas_.width));
        const int y1 = static_cast<int>(std::min<int64_t>(int64_t{f.top} + f.height, canvas_.height));
        if (disposal == kDisposeBackground) {
            for (int y = y0; y < y1; ++y)
                std::fill_n(canvas_.rgba.data() + (static_cast<size_t>(y) * canvas_.width + x0) * 4,
                            static_cast<size_t>(std::max(0, x1 - x0)) * 4, uint8_t{0});
            return;
        }
        DrawFrameOnto(a, f, canvas_);
    }

private:
    RgbaImage canvas_;
};

// For each colour, the first palette index showing it other than `skip`,
// or 256 where none does; colours are looked up by their RGB value.
class IndexOfColor {
public:
    IndexOfColor(const Palette& pal, int skip) {
        const int n = std::min(pal.size(), 256);
        for (int i = n - 1; i >= 0; --i) {
            if (i == skip) continue;
            const Rgb c = pal[i];
            const uint32_t key = Key(c.r, c.g, c.b);
            size_t h = Hash(key);
            while (slots_[h] != kEmpty && (slots_[h] >> 8) != key) h = (h + 1) % kSlots;
            slots_[h] = key << 8 | static_cast<uint32_t>(i);
        }
    }
    uint16_t operator()(const uint8_t* rgb) const {
        const uint32_t key = Key(rgb[0], rgb[1], rgb[2]);
        for (size_t h = Hash(key); slots_[h] != kEmpty; h = (h + 1) % kSlots)
            if ((slots_[h] >> 8) == key) return static_cast<uint16_t>(slots_[h] & 0xFF);
        return 256;
    }

private:
    static constexpr size_t kSlots = 512;
    static constexpr uint32_t kEmpty = 0xFFFFFFFF;
    static uint32_t Key(uint8_t r, uint8_t g, uint8_t b) { return uint32_t{r} << 16 | uint32_t{g} << 8 | b; }
    static size_t Hash(uint32_t key) { return (key * 2654435761u >> 16) % kSlots; }
    std::array<uint32_t, kSlots> slots_ = Filled();
    static std::array<uint32_t, kSlots> Filled() {
        std::array<uint32_t, kSlots> a{};
        a.fill(kEmpty);
        return a;
    }
};

// The choices of each pixel of frame `f` (its palette `pal`), in file
// order. `under` is the canvas the frame is drawn on as compressed so far,
// `was` the input's canvas there (both screen-sized RGBA, null when
// unknown). The input's picture shows, at each pixel, its own colour where
// it is opaque and `was` where it is transparent, and every choice stays
// within the bound of that: an opaque pixel may take a near colour, or
// turn transparent where `under` is near its colour; a transparent pixel
// may take a colour near the one `was` shows, when that is in the
// palette, or stay transparent (showing `under`, which is near `was`).
// `life` (as PixelLifetimes gives it) weighs the errors.
LossyPixels LossyPixelsOf(const Frame& f, const Palette& pal, int lossy, const RgbaImage* under,
                          const RgbaImage* was, const std::vector<uint8_t>* life) {
    const FrameBitmap& bmp = *f.bitmap;
    const int w = bmp.width, h = bmp.height;
    const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
    const int bound = LossyBound(lossy);
    const bool transparent = f.Transparent();
    const int ti = transparent ? f.transparentIndex : -1;
    const bool canvases = transparent && under && was && under->width == was->width && under->height == was->height &&
                          under->rgba.size() == was->rgba.size();
    std::optional<IndexOfColor> index_of;
    if (canvases) index_of.emplace(pal, ti);
    const bool weighed = life && life->size() == n;
    LossyPixels out;
    out.transparent = ti;
    out.row.resize(n);
    out.clear.assign(n, -1);
    out.weight.resize(n, 1);
    size_t p = 0;  // the row's first pixel in file order
    ForRowsInFileOrder(h, f.Interlaced(), [&](int y) {
        const uint8_t* src = bmp.Row(y);
        uint16_t* row = out.row.data() + p;
        int32_t* clear = out.clear.data() + p;
        if (weighed) std::copy_n(life->data() + static_cast<size_t>(y) * static_cast<size_t>(w), w, out.weight.data() + p);
        p += static_cast<size_t>(w);
        for (int x = 0; x < w; ++x) {
            const uint8_t v = src[x];
            row[x] = v;
            if (v == ti) {
                row[x] = 256 | LossyPixels::kOwnClear;
                clear[x] = 0;
            }
        }
        const int sy = f.top + y;
        if (!canvases || sy < 0 || sy >= under->height) return;
        // The part of the row over the screen.
        const int x0 = std::max(0, -f.left), x1 = std::min(w, under->width - f.left);
        const size_t at0 = (static_cast<size_t>(sy) * static_cast<size_t>(under->width)) * 4;
        uint32_t last_key = 0xFFFFFFFF;  // the colour looked up last and its index
        uint16_t last_index = 256;
        for (int x = x0; x < x1; ++x) {
            const uint8_t v = src[x];
            if (v >= pal.size()) continue;
            const size_t at = at0 + static_cast<size_t>(f.left + x) * 4;
            const uint8_t* u = under->rgba.data() + at;
            if (v == ti) {
                const uint8_t* o = was->rgba.data() + at;
                if (o[3] == 0 || u[3] == 0) continue;
                clear[x] = Distance4(Rgb{o[0], o[1], o[2]}, u);
                const uint32_t key = uint32_t{o[0]} << 16 | uint32_t{o[1]} << 8 | o[2];
                if (key != last_key) {
                    last_key = key;
                    last_index = (*index_of)(o);
                }
                row[x] = last_index | LossyPixels::kOwnClear;
            } else if (u[3] != 0) {
                const int d = Distance4(pal[v], u);
                if (d <= bound) clear[x] = d;
            }
        }
    });
    return out;
}

}  // namespace

namespace {

// The pixels a frame's data decodes to, in row order; nothing when the data
// does not give the whole frame.
std::optional<FrameBitmap> DecodeImageData(const std::vector<uint8_t>& data, int width, int height,
                                          bool interlaced) {
    if (data.size() < 2) return std::nullopt;
    ByteCursor cur{data.data() + 1, data.size() - 1, 0};
    LzwDecoder dec;
    dec.Init(&cur, data[0]);
    std::vector<uint8_t> px(static_cast<size_t>(width) * static_cast<size_t>(height));
    int status = 0;
    if (dec.Decode(px.data(), px.size(), &status) != px.size() || status != 0) return std::nullopt;
    auto bmp = FrameBitmap::Create(width, height);
    if (!bmp) return std::nullopt;
    size_t row = 0;
    ForRowsInFileOrder(height, interlaced, [&](int y) {
        std::copy_n(px.data() + row++ * static_cast<size_t>(width), width, bmp->Row(y));
    });
    return bmp;
}

}  // namespace

Result CompressFramesLossily(Animation& a, int lossy, ProgressReporter& progress, bool* changed) {
    lossy = std::clamp(lossy, 0, 200);
    if (lossy == 0) return Result::Done;
    progress.SetText(StringId::CompressingLossily);
    progress.SetRange(a.FrameCount());
    // Taken from the frames as they are: a pixel turned transparent later
    // lets the one beneath show longer than counted, which only weighs
    // that one's errors a little low.
    const Lifetimes life = PixelLifetimes(a);
    // The canvases each frame is drawn on: as compressed so far, and as
    // the input has it. Without memory for them each pixel keeps its
    // transparency.
    std::optional<CanvasBeneath> now, was;
    if (2 * Compositor::CanvasBytes(a) <= MemoryBudget() / 4) {
        now.emplace(a);
        was.emplace(a);
    }
    const auto frames = a.Frames();
    for (size_t index = 0; index < frames.size(); ++index) {
        Frame* f = frames[index];
        const bool whole = f->bitmap && f->bitmap->width == f->width && f->bitmap->height == f->height &&
                           f->width > 0 && f->height > 0;
        const Palette* pal = PaletteInEffect(a, *f);
        std::optional<FrameBitmap> smaller;
        VectorSink small;
        if (whole && pal) {
            const std::vector<uint8_t> weight = life.Of(index);
            const LossyPixels pixels = LossyPixelsOf(*f, *pal, lossy, now ? &now->Picture() : nullptr,
                                                     was ? &was->Picture() : nullptr, &weight);
            VectorSink exact;
            LzwEncoder e1(exact), e2(small);
            if (!WriteImageData(exact, a, *f, e1) || !WriteImageData(small, a, *f, e2, lossy, &pixels))
                return Result::Failed;
            if (small.bytes.size() < exact.bytes.size())
                smaller = DecodeImageData(small.bytes, f->width, f->height, f->Interlaced());
        }
        if (was) was->Add(a, *f);
        if (smaller) {
            SetBitmap(*f, std::move(*smaller));
            const uint8_t m = small.bytes[0];
            small.bytes.erase(small.bytes.begin());
            KeepImageData(a, *f, m, std::move(small.bytes));
            if (changed) *changed = true;
        }
        if (now) now->Add(a, *f);
        if (!progress.Step()) return Result::Stopped;
    }
    return Result::Done;
}

std::vector<uint8_t> LossyImageData(const Animation& a, const Frame& f, int lossy) {
    lossy = std::clamp(lossy, 0, 200);
    const Palette* pal = PaletteInEffect(a, f);
    if (!pal || !f.bitmap || f.bitmap->width != f.width || f.bitmap->height != f.height) return {};
    VectorSink sink;
    LzwEncoder enc(sink);
    if (lossy == 0) return WriteImageData(sink, a, f, enc) ? sink.bytes : std::vector<uint8_t>();
    const LossyPixels pixels = LossyPixelsOf(f, *pal, lossy, nullptr, nullptr, nullptr);
    return WriteImageData(sink, a, f, enc, lossy, &pixels) ? sink.bytes : std::vector<uint8_t>();
}

Result WriteGif(GifSink& sink, Animation& a, ProgressReporter& progress, int lossy) {
    lossy = std::clamp(lossy, 0, 200);
    if (lossy > 0) {
        // A copy compressed lossily, its kept data then written as it is.
        std::unique_ptr<Animation> copy = CopyAnimation(a);
        if (!copy) return Result::Failed;
        const Result r = CompressFramesLossily(*copy, lossy, progress);
        if (r != Result::Done) return r;
        return WriteGif(sink, *copy, progress, 0);
    }
    // Colour resolution: at least what the global and every local table need.
    int res = std::max((a.screenFlags >> 4) & 7, ColorTableBits(2 << (a.screenFlags & 7)) - 1);
    for (const Frame* f : std::as_const(a).Frames()) {
        if (res >= 7) break;
        if (f->localPalette) res = std::max(res, ColorTableBits(f->localPalette->size()) - 1);
    }
    // The document keeps its flags: only the written header carries the
    // resolution, so that counting a size on a worker thread never writes
    // to a document the window is reading.
    const uint8_t screen_flags = static_cast<uint8_t>((a.screenFlags & 0x8F) | (res << 4));

    static const uint8_t kSig[6] = {'G', 'I', 'F', '8', '9', 'a'};
    if (!sink.Write(kSig, 6)) return Result::Failed;
    uint8_t lsd[7];
    Put16(lsd, static_cast<int32_t>(a.width));
    Put16(lsd + 2, static_cast<int32_t>(a.height));
    lsd[4] = screen_flags;
    lsd[5] = a.backgroundIndex;
    lsd[6] = a.aspect;
    if (!sink.Write(lsd, 7)) return Result::Failed;
    if (a.globalPalette && !WriteColorTable(sink, *a.globalPalette)) return Result::Failed;
    if (a.playCount != 1) {
        const uint32_t loop = a.playCount == 0 ? 0 : a.playCount - 1;
        uint8_t ext[19] = {kGifExtension, kGifApplication, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2',
                           '.', '0', 0x03, 0x01, static_cast<uint8_t>(loop), static_cast<uint8_t>(loop >> 8), 0};
        if (!sink.Write(ext, 19)) return Result::Failed;
    }
    progress.SetRange(a.FrameCount());
    LzwEncoder enc(sink, &progress);
    for (const auto& b : a.blocks) {
        if (const Frame* f = AsFrame(b.get())) {
            const bool ok = WriteFrame(sink, a, *f, enc);
            if (!ok) return enc.Stopped() ? Result::Stopped : Result::Failed;
            if (!progress.Step()) return Result::Stopped;
            continue;
        }
        const ExtensionBlock& e = *AsExtension(b.get());
        const uint8_t head[2] = {kGifExtension, static_cast<uint8_t>(e.kind)};
        if (!sink.Write(head, 2)) return Result::Failed;
        // The stored sub-blocks up to the first zero length, then a terminator.
        size_t pos = 0;
        while (pos < e.data.size() && e.data[pos] != 0) {
            const size_t len = std::min<size_t>(e.data[pos], e.data.size() - pos - 1);
            const uint8_t lb = static_cast<uint8_t>(len);
            if (!sink.Write(&lb, 1) || !sink.Write(e.data.data() + pos + 1, len)) return Result::Failed;
            pos += 1 + len;
        }
        const uint8_t zero = 0;
        if (!sink.Write(&zero, 1)) return Result::Failed;
    }
    const uint8_t trailer = kGifTrailer;
    return sink.Write(&trailer, 1) ? Result::Done : Result::Failed;
}

int64_t FrameEncodedSize(const Animation& a, const Frame& f) {
    CountingSink sink;
    LzwEncoder enc(sink);
    return WriteFrame(sink, a, f, enc) ? sink.Total() : 0;
}

bool IsSignatureText(const std::string& text, const std::string& current) {
    return text.starts_with("Built with Cinemill") || text.starts_with("Built with Strober") ||
           (!current.empty() && text == current);
}

int32_t EncodedSize(Animation& a, bool recompute, ProgressReporter& progress,
                    const PreferenceBlock& prefs) {
    if (!recompute && a.cachedSize != -1) return a.cachedSize;
    a.cachedSize = -1;
    a.cachedSize = CountEncodedSize(a, progress, prefs);
    return a.cachedSize;
}

int32_t CountEncodedSize(Animation& a, ProgressReporter& progress, const PreferenceBlock& prefs) {
    CountingSink sink;
    if (WriteGif(sink, a, progress) != Result::Done) return -1;
    int64_t total = sink.Total();
    const std::string sig = prefs.SignatureText();
    for (const auto& b : a.blocks) {
        if (b->kind != BlockKind::Comment) continue;
        const auto* e = AsExtension(b.get());
        const std::string text = CommentText(*e);
        if (IsSignatureText(text, sig)) total -= static_cast<int64_t>(text.size()) + 4;
    }
    if (!sig.empty()) total += static_cast<int64_t>(sig.size()) + 4;
    return static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
}

void RefreshSignature(Animation& a, const PreferenceBlock& prefs) {
    const std::string sig = prefs.SignatureText();
    std::erase_if(a.blocks, [&](const std::unique_ptr<Block>& b) {
        return b->kind == BlockKind::Comment && IsSignatureText(CommentText(*AsExtension(b.get())), sig);
    });
    if (!sig.empty()) a.blocks.insert(a.blocks.begin(), NewComment(sig));
}

bool ClipCheck(Animation& a, UiHost& host, const PreferenceBlock& prefs) {
    if (!prefs.Flag(PreferenceBlock::kFlagClipWithoutAsking)) {
        bool all_fit = true;
        for (const Frame* f : std::as_const(a).Frames()) all_fit = all_fit && FrameFitsScreen(*f, a.width, a.height);
        if (all_fit) return true;
        if (!host.AskYesNo(std::string(LoadString(StringId::ClipQuestion)),
                           std::string(LoadString(StringId::ClipTitle))))
            return false;
    }
    for (Frame* f : a.Frames())
        if (!ClipFrameToScreen(*f, a.width, a.height)) return false;
    return true;
}

Result SaveGif(const std::string& path, Animation& a, UiHost& host, ProgressReporter& progress) {
    AtomicFile file;
    if (const WriteProblem p = file.Open(path); p != WriteProblem::None) {
        TellWriteProblem(host, p, path);
        return Result::Failed;
    }
    progress.SetText(StringId::WritingGif);
    FileSink sink(file);
    Result r = WriteGif(sink, a, progress);
    if (r == Result::Done && !sink.Flush()) r = Result::Failed;
    progress.End();
    if (r == Result::Done && file.Commit() != WriteProblem::None) {
        host.Error(FormatString(StringId::WriteToFailed, path));
        r = Result::Failed;
    } else if (r == Result::Failed) {
        host.Error(FormatString(StringId::ErrorSaving, path));
    }
    return r;
}

}  // namespace cinemill
