// Fast size count of LZW image data, for judging transparency variants.
#include "cinemill/imaging/optimize_lzw.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "cinemill/base/byte_words.h"

// The per-pixel steps must be inlined into the side-by-side loop, or the
// calls cost more than the work.
#if defined(__GNUC__)
#define CM_INLINE [[gnu::always_inline]] inline
#else
#define CM_INLINE inline
#endif

namespace cinemill {

// One compressor's state. The string table is an open-addressed hash of
// (prefix, pixel) keys, small enough to stay in the first-level cache: a
// slot holds key << 12 | code, and 0 when empty (string codes are never
// below 6).
struct LzwSizeCounter::Stream {
    static constexpr int kHashBits = 13;
    static constexpr uint32_t kHashMask = (1u << kHashBits) - 1;

    std::vector<uint32_t> table = std::vector<uint32_t>(size_t{1} << kHashBits, 0);
    int init_bits = 0, n_bits = 0, max_code = 0, free_ent = 0, clear = 0;
    bool clear_flag = false;
    int prefix = -1;
    int64_t bits = 0;
    bool stopped = false;

    static uint32_t Key(int prefix, int c) { return static_cast<uint32_t>(prefix) << 8 | static_cast<uint32_t>(c); }
    static uint32_t Slot(uint32_t key) { return (key * 2654435761u) >> (32 - kHashBits); }

    // Code of the string prefix + c, or -1.
    CM_INLINE int Find(int p, int c) const {
        const uint32_t key = Key(p, c);
        for (uint32_t i = Slot(key);; i = (i + 1) & kHashMask) {
            const uint32_t e = table[i];
            if (e == 0) return -1;
            if (e >> 12 == key) return static_cast<int>(e & 0xFFF);
        }
    }
    void ClearTable() { std::memset(table.data(), 0, table.size() * sizeof(table[0])); }

    void Start(int m) {
        clear = 1 << m;
        init_bits = m + 1;
        n_bits = init_bits;
        max_code = (1 << n_bits) - 1;
        free_ent = clear + 2;
        clear_flag = false;
        prefix = -1;
        bits = 0;
        stopped = false;
        ClearTable();
        Output();  // the first clear code
    }
    void Output() {
        bits += n_bits;
        if (free_ent > max_code || clear_flag) {
            if (clear_flag) {
                n_bits = init_bits;
                max_code = (1 << n_bits) - 1;
                clear_flag = false;
            } else {
                ++n_bits;
                max_code = n_bits == 12 ? 4096 : (1 << n_bits) - 1;
            }
        }
    }
    // Takes pixel value c; `code` is the table entry of prefix + c when the
    // caller already looked it up, else kUnknown.
    static constexpr int kUnknown = -2;
    CM_INLINE void Step(int c, int code) {
        if (prefix < 0) {
            prefix = c;
            return;
        }
        if (code >= 0) {
            prefix = code;
            return;
        }
        const uint32_t key = Key(prefix, c);
        uint32_t i = Slot(key);
        if (code == kUnknown) {
            uint32_t e;
            while ((e = table[i]) != 0 && e >> 12 != key) i = (i + 1) & kHashMask;
            code = e != 0 ? static_cast<int>(e & 0xFFF) : -1;
        }
        if (code >= 0) {
            prefix = code;
            return;
        }
        Output();
        if (free_ent < 4096) {
            while (table[i] != 0) i = (i + 1) & kHashMask;
            table[i] = key << 12 | static_cast<uint32_t>(free_ent++);
        } else {
            ClearTable();
            free_ent = clear + 2;
            clear_flag = true;
            Output();
        }
        prefix = c;
    }
    int64_t Finish() {
        if (prefix >= 0) Output();
        Output();  // end code
        // Bytes of data including one length byte per 254-byte sub-block.
        const int64_t d = (bits + 7) / 8;
        return d + (d + 253) / 254;
    }
};

LzwSizeCounter::LzwSizeCounter() : streams_(kMaxStreams) {}
LzwSizeCounter::~LzwSizeCounter() = default;

int WriterCodeSize(const FrameBitmap& bmp, int palette_size, uint8_t extra) {
    int bits = std::max(2, ColorTableBits(palette_size));
    uint8_t all = extra;
    const size_t w = static_cast<size_t>(std::max(bmp.width, 0));
    // Past the eighth bit nothing widens the codes further.
    for (int y = 0; y < bmp.height && bits < 8 && all < 0x80; ++y) all |= OrOfBytes(bmp.Row(y), w);
    while (bits < 8 && (all >> bits) != 0) ++bits;
    return bits;
}

// Eight bytes at a time: these passes run over every pixel of every trial.
uint8_t OrOfBytes(const uint8_t* p, size_t n) {
    uint64_t acc = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) acc |= bytes::Load8(p + i);
    for (; i < n; ++i) acc |= p[i];
    uint8_t all = 0;
    for (int s = 0; s < 64; s += 8) all |= static_cast<uint8_t>(acc >> s);
    return all;
}

namespace {

// 0xFF in each byte of w that is not 0, else 0.
uint64_t NonZeroByteMask(uint64_t w) { return bytes::NonZeroBytes(w) * 0xFF; }

}  // namespace

void OrOfFixedAndFree(const uint8_t* px, const uint8_t* fixed, size_t n, uint8_t& fixed_or, uint8_t& free_or) {
    uint64_t kept = 0, free = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t v = bytes::Load8(px + i);
        const uint64_t m = NonZeroByteMask(bytes::Load8(fixed + i));
        kept |= v & m;
        free |= v & ~m;
    }
    for (; i < n; ++i) (fixed[i] ? kept : free) |= px[i];
    fixed_or = free_or = 0;
    for (int s = 0; s < 64; s += 8) {
        fixed_or |= static_cast<uint8_t>(kept >> s);
        free_or |= static_cast<uint8_t>(free >> s);
    }
}

void FitFreePixels(uint8_t* px, const uint8_t* fixed, size_t n, int m, uint8_t fill) {
    const uint8_t wide = static_cast<uint8_t>(0xFFu << m);
    const uint64_t wide_bits = wide * bytes::kOnes, fills = fill * bytes::kOnes;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t v = bytes::Load8(px + i);
        const uint64_t take = NonZeroByteMask(v & wide_bits) & ~NonZeroByteMask(bytes::Load8(fixed + i));
        if (take != 0) bytes::Store8(px + i, (v & ~take) | (fills & take));
    }
    for (; i < n; ++i)
        if (!fixed[i] && (px[i] & wide)) px[i] = fill;
}

// The parse of K streams of one size in one pass over the pixels. picks[j]
// chooses the values of stream j: Row(y) gives the row the stream reads
// (and may write its choices to), and pick(row, x, stream, code) returns the
// value of pixel x and may set the look-up it already made (see
// Stream::Step). With `margin` >= 0, after each sixteenth of the rows a
// stream that has fallen behind the leader by more than that fraction is
// given up (its result is INT64_MAX).
template <size_t K, typename Pick>
void LzwSizeCounter::Parse(int width, int height, Pick* picks, bool interlaced, int m, int64_t limit,
                           int64_t* out, double margin) {
    m = std::clamp(m, 2, 8);
    first_check_ = LzwCheckpoint{};
    const int64_t limit_bits = limit >= INT64_MAX / 16 ? INT64_MAX : limit * 8;
    std::array<Stream*, K> st;
    for (size_t j = 0; j < K; ++j) {
        st[j] = &streams_[j];
        st[j]->Start(m);
    }
    constexpr int kParts = 16;
    size_t running = K;
    int rows_done = 0, checks = 0;
    auto row_pass = [&](int y) {
        if (running == K) {
            std::array<uint8_t*, K> rows;
            for (size_t j = 0; j < K; ++j) rows[j] = picks[j].Row(y);
            for (int x = 0; x < width; ++x)
                for (size_t j = 0; j < K; ++j) {
                    int code = Stream::kUnknown;
                    const int c = picks[j](rows[j], x, *st[j], code);
                    st[j]->Step(c, code);
                }
        } else {
            for (size_t j = 0; j < K; ++j) {
                if (st[j]->stopped) continue;
                uint8_t* row = picks[j].Row(y);
                Stream& sj = *st[j];
                for (int x = 0; x < width; ++x) {
                    int code = Stream::kUnknown;
                    const int c = picks[j](row, x, sj, code);
                    sj.Step(c, code);
                }
            }
        }
        for (size_t j = 0; j < K; ++j)
            if (!st[j]->stopped && st[j]->bits > limit_bits) {
                st[j]->stopped = true;
                --running;
            }
        ++rows_done;
        if (K > 1 && margin >= 0 && running > 1 && checks < kParts - 1 &&
            int64_t{rows_done} * kParts >= int64_t{height} * (checks + 1)) {
            ++checks;
            int64_t lead = INT64_MAX;
            for (size_t j = 0; j < K; ++j)
                if (!st[j]->stopped) lead = std::min(lead, st[j]->bits);
            if (checks == 1) first_check_ = {static_cast<size_t>(rows_done) * static_cast<size_t>(width), lead};
            const double allowed = static_cast<double>(lead) * (1.0 + margin);
            for (size_t j = 0; j < K; ++j)
                if (!st[j]->stopped && static_cast<double>(st[j]->bits) > allowed) {
                    st[j]->stopped = true;
                    st[j]->bits = INT64_MAX;
                    --running;
                }
        }
    };
    if (interlaced) {
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4 && running > 0; ++pass)
            for (int y = kStart[pass]; y < height && running > 0; y += kStep[pass]) row_pass(y);
    } else {
        for (int y = 0; y < height && running > 0; ++y) row_pass(y);
    }
    for (size_t j = 0; j < K; ++j)
        out[j] = !st[j]->stopped ? st[j]->Finish() : st[j]->bits == INT64_MAX ? INT64_MAX : limit + 1;
}

// How one stream's pixels come about: kept from the source, every free
// pixel (mask byte 0) the fill index, runs of free pixels the fill index
// (see Candidate), or each free pixel chosen as it is read. Rows are made
// only when the stream reaches them, into `out` (the source itself when
// choosing in place).
class LzwSizeCounter::RacePick {
public:
    using Kind = Candidate::Kind;
    RacePick(Kind kind, const FrameBitmap& source, FrameBitmap* out, const uint8_t* mask, size_t mask_stride,
             uint8_t fill, bool interlaced)
        : kind_(kind), source_(source), out_(out), mask_(mask), mask_stride_(mask_stride), fill_(fill),
          width_(source.width), prefer_fill_(kind != Kind::kChooseOwn), interlaced_(interlaced) {}

    CM_INLINE uint8_t* Row(int y) {
        mrow_ = mask_ + static_cast<size_t>(y) * mask_stride_;
        const uint8_t* src = source_.Row(y);
        if (kind_ == Kind::kKeep) return const_cast<uint8_t*>(src);
        uint8_t* row = out_->Row(y);
        if (row != src) std::copy_n(src, width_, row);
        if (kind_ == Kind::kFillAll) {
            for (int x = 0; x < width_; ++x)
                if (!mrow_[x] && row[x] != fill_) {
                    row[x] = fill_;
                    changed = true;
                }
        } else if (kind_ == Kind::kFillRuns) {
            FillRuns(y, src, row);
        }
        return row;
    }

    CM_INLINE int operator()(uint8_t* row, int x, const Stream& s, int& code) {
        const uint8_t p = row[x];
        if (kind_ < Kind::kChooseFill || mrow_[x] || p == fill_) return p;
        uint8_t v = fill_;
        if (s.prefix >= 0) {
            const int cf = s.Find(s.prefix, fill_), cp = s.Find(s.prefix, p);
            if (cf >= 0 && cp >= 0) {
                v = Decide(row, x, s, cf, cp, p);
            } else if (cp >= 0) {
                v = p;
            } else if (cf < 0) {
                v = Decide(row, x, s, fill_, p, p);
            }
            code = v == p ? cp : cf;
        }
        if (v != p) {
            row[x] = v;
            changed = true;
        }
        return v;
    }

    bool changed = false;

private:
    // Free pixels in runs taken in file order, where a run at the end of a
    // row goes on at the start of the next row the data holds: a run of more
    // than one pixel and more than one colour becomes the fill index; a
    // single free pixel or a run of one colour keeps its own values, which
    // mostly continue the strings around them where the fill index would
    // break them. Rows come in file order, each once.
    void FillRuns(int y, const uint8_t* src, uint8_t* row) {
        const int w = width_;
        int x = 0;
        if (carry_ != Carry::kNone) {
            // The run that came from the previous row, already judged.
            while (x < w && !mrow_[x]) ++x;
            if (carry_ == Carry::kFill) SetFill(row, 0, x);
            if (x == w) return;  // it goes on into the next row
            carry_ = Carry::kNone;
        }
        while (x < w) {
            if (mrow_[x]) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < w && !mrow_[end]) ++end;
            const uint8_t colour = src[x];
            const bool one_colour = std::all_of(src + x + 1, src + end, [colour](uint8_t v) { return v == colour; });
            bool fill = !one_colour;
            if (end == w) {
                if (one_colour) fill = RunChangesColourLater(y, colour);
                carry_ = fill ? Carry::kFill : Carry::kOwn;
            }
            if (fill) SetFill(row, x, end);
            x = end;
        }
    }

    // Whether a run of free pixels of one colour at the end of row y takes
    // another colour before it ends, in the rows that follow in file order.
    bool RunChangesColourLater(int y, uint8_t colour) const {
        for (int ny = NextRow(y); ny >= 0; ny = NextRow(ny)) {
            const uint8_t* m = mask_ + static_cast<size_t>(ny) * mask_stride_;
            const uint8_t* s = source_.Row(ny);
            for (int x = 0; x < width_; ++x) {
                if (m[x]) return false;
                if (s[x] != colour) return true;
            }
        }
        return false;
    }

    // The row after y in file order, -1 after the last.
    int NextRow(int y) const {
        const int h = source_.height;
        if (!interlaced_) return y + 1 < h ? y + 1 : -1;
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        int pass = 0;
        while (pass < 3 && (y < kStart[pass] || (y - kStart[pass]) % kStep[pass] != 0)) ++pass;
        if (y + kStep[pass] < h) return y + kStep[pass];
        for (++pass; pass < 4; ++pass)
            if (kStart[pass] < h) return kStart[pass];
        return -1;
    }

    void SetFill(uint8_t* row, int x, int end) {
        if (!changed) changed = std::any_of(row + x, row + end, [this](uint8_t v) { return v != fill_; });
        std::fill(row + x, row + end, fill_);
    }

    // One pixel of lookahead: prefer the choice after which the next pixel
    // (either of its values when it is free too) still extends the string;
    // on a tie the fill index or the own value as asked.
    uint8_t Decide(const uint8_t* row, int x, const Stream& s, int code_fill, int code_own, uint8_t p) const {
        if (x + 1 >= width_) return prefer_fill_ ? fill_ : p;
        const uint8_t np = row[x + 1];
        const bool next_free = !mrow_[x + 1];
        auto extends = [&](int code) { return s.Find(code, np) >= 0 || (next_free && s.Find(code, fill_) >= 0); };
        const bool ef = extends(code_fill), ep = extends(code_own);
        if (ef == ep) return prefer_fill_ ? fill_ : p;
        return ef ? fill_ : p;
    }

    enum class Carry { kNone, kFill, kOwn };

    Kind kind_;
    const FrameBitmap& source_;
    FrameBitmap* out_;
    const uint8_t* mask_;
    size_t mask_stride_;
    uint8_t fill_;
    int width_;
    bool prefer_fill_;
    bool interlaced_;
    const uint8_t* mrow_ = nullptr;
    Carry carry_ = Carry::kNone;  // how the run at the end of the last row goes on
};

int64_t LzwSizeCounter::Count(const FrameBitmap& bmp, bool interlaced, int m, int64_t limit) {
    static const uint8_t kNoMask = 1;
    RacePick keep(Candidate::kKeep, bmp, nullptr, &kNoMask, 0, 0, interlaced);
    int64_t n = 0;
    Parse<1>(bmp.width, bmp.height, &keep, interlaced, m, limit, &n, -1);
    return n;
}

int64_t LzwSizeCounter::ChooseAndCount(FrameBitmap& bmp, const uint8_t* mask, size_t mask_stride, uint8_t fill,
                                       bool interlaced, int m, bool& changed, bool prefer_fill) {
    RacePick choice(prefer_fill ? Candidate::kChooseFill : Candidate::kChooseOwn, bmp, &bmp, mask, mask_stride,
                    fill, interlaced);
    int64_t n = 0;
    Parse<1>(bmp.width, bmp.height, &choice, interlaced, m, INT64_MAX, &n, -1);
    changed = choice.changed;
    return n;
}

void LzwSizeCounter::Race(const FrameBitmap& source, const FrameBitmap& choice_start,
                          std::span<Candidate> candidates, const uint8_t* mask, size_t mask_stride, uint8_t fill,
                          bool interlaced, int m, double margin) {
    std::vector<RacePick> picks;
    const size_t k = std::min(candidates.size(), kMaxStreams);
    std::array<int64_t, kMaxStreams> n{};
    picks.reserve(k);
    for (size_t j = 0; j < k; ++j) {
        Candidate& c = candidates[j];
        const bool chooses = c.kind >= Candidate::kChooseFill;
        if (c.kind != Candidate::kKeep && c.out != &source) {
            // Shaped like the source; every row is written before it is read.
            c.out->width = source.width;
            c.out->height = source.height;
            c.out->stride = source.stride;
            c.out->pixels.resize(source.pixels.size());
        }
        picks.emplace_back(c.kind, chooses ? choice_start : source, c.out, mask, mask_stride, fill, interlaced);
    }
    const int w = source.width, h = source.height;
    switch (k) {
        case 0: break;
        case 1: Parse<1>(w, h, picks.data(), interlaced, m, INT64_MAX, n.data(), margin); break;
        case 2: Parse<2>(w, h, picks.data(), interlaced, m, INT64_MAX, n.data(), margin); break;
        case 3: Parse<3>(w, h, picks.data(), interlaced, m, INT64_MAX, n.data(), margin); break;
        case 4: Parse<4>(w, h, picks.data(), interlaced, m, INT64_MAX, n.data(), margin); break;
        default: Parse<5>(w, h, picks.data(), interlaced, m, INT64_MAX, n.data(), margin); break;
    }
    for (size_t j = 0; j < k; ++j) {
        candidates[j].count = n[j];
        candidates[j].changed = picks[j].changed;
    }
    for (size_t j = k; j < candidates.size(); ++j) candidates[j].count = INT64_MAX;
}

}  // namespace cinemill
