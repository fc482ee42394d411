// Fast size count of LZW image data, for judging transparency variants.
#include "cinemill/imaging/optimize_lzw.h"

#include <algorithm>

namespace cinemill {

LzwSizeCounter::LzwSizeCounter() : table_(4096u * 256u, -1) {}

int WriterCodeSize(const FrameBitmap& bmp, int palette_size, uint8_t extra) {
    int bits = std::max(2, ColorTableBits(palette_size));
    uint8_t all = extra;
    for (int y = 0; y < bmp.height; ++y) {
        const uint8_t* row = bmp.Row(y);
        for (int x = 0; x < bmp.width; ++x) all |= row[x];
    }
    while (bits < 8 && (all >> bits) != 0) ++bits;
    return bits;
}

template <typename Pick>
int64_t LzwSizeCounter::Parse(FrameBitmap& bmp, bool interlaced, int m, int64_t limit, Pick pick) {
    m = std::clamp(m, 2, 8);
    shift_ = m;
    const int clear = 1 << m;
    const int init_bits = m + 1;
    int n_bits = init_bits;
    int max_code = (1 << n_bits) - 1;
    int free_ent = clear + 2;
    bool clear_flag = false;
    int64_t bits = 0;
    // Bytes of data including one length byte per 254-byte sub-block.
    auto bytes_of = [](int64_t b) {
        const int64_t d = (b + 7) / 8;
        return d + (d + 253) / 254;
    };
    const int64_t limit_bits = limit >= INT64_MAX / 16 ? INT64_MAX : limit * 8;
    auto output = [&]() {
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
    };
    auto reset = [&] {
        for (int32_t k : used_) table_[static_cast<size_t>(k)] = -1;
        used_.clear();
    };
    reset();
    output();  // the first clear code
    int prefix = -1;
    bool stopped = false;
    auto row_pass = [&](int y) {
        uint8_t* row = bmp.Row(y);
        for (int x = 0; x < bmp.width; ++x) {
            if (prefix < 0) {
                prefix = pick(row, x, -1);
                continue;
            }
            const int c = pick(row, x, prefix);
            const size_t k = (static_cast<size_t>(prefix) << shift_) + static_cast<size_t>(c);
            const int hit = table_[k];
            if (hit >= 0) {
                prefix = hit;
                continue;
            }
            output();
            if (free_ent < 4096) {
                table_[k] = static_cast<int16_t>(free_ent++);
                used_.push_back(static_cast<int32_t>(k));
            } else {
                reset();
                free_ent = clear + 2;
                clear_flag = true;
                output();
            }
            prefix = c;
        }
        if (bits > limit_bits) stopped = true;
    };
    if (interlaced) {
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4 && !stopped; ++pass)
            for (int y = kStart[pass]; y < bmp.height && !stopped; y += kStep[pass]) row_pass(y);
    } else {
        for (int y = 0; y < bmp.height && !stopped; ++y) row_pass(y);
    }
    reset();
    if (stopped) return limit + 1;
    if (prefix >= 0) output();
    output();  // end code
    return bytes_of(bits);
}

int64_t LzwSizeCounter::Count(const FrameBitmap& bmp, bool interlaced, int m, int64_t limit) {
    return Parse(const_cast<FrameBitmap&>(bmp), interlaced, m, limit,
                 [](uint8_t* row, int x, int) { return row[x]; });
}

int64_t LzwSizeCounter::ChooseAndCount(FrameBitmap& bmp, const uint8_t* mask, size_t mask_stride, uint8_t fill,
                                       bool interlaced, int m, bool& changed, bool prefer_fill) {
    changed = false;
    const uint8_t* rows_mask = mask;
    const uint8_t* first_row = bmp.pixels.data();
    const size_t stride = static_cast<size_t>(bmp.stride);
    const int width = bmp.width;
    return Parse(bmp, interlaced, m, INT64_MAX,
                 [&](uint8_t* row, int x, int prefix) -> int {
                     const size_t y = static_cast<size_t>(row - first_row) / stride;
                     const uint8_t p = row[x];
                     if (rows_mask[y * mask_stride + static_cast<size_t>(x)]) return p;
                     // One pixel of lookahead: prefer the choice after which
                     // the next pixel (either of its values when it is free
                     // too) still extends the string; the fill index on ties.
                     const bool has_next = x + 1 < width;
                     const uint8_t np = has_next ? row[x + 1] : 0;
                     const bool next_free = has_next && !rows_mask[y * mask_stride + static_cast<size_t>(x) + 1];
                     auto extends = [&](int code) {
                         if (!has_next || code < 0) return false;
                         return Find(code, np) >= 0 || (next_free && Find(code, fill) >= 0);
                     };
                     uint8_t v = fill;
                     if (prefix >= 0) {
                         const int cf = Find(prefix, fill), cp = Find(prefix, p);
                         if (cf >= 0 && cp >= 0) {
                             const bool ef = extends(cf), ep = extends(cp);
                             v = ef == ep ? (prefer_fill ? fill : p) : (ef ? fill : p);
                         }
                         else if (cp >= 0) v = p;
                         else if (cf < 0) {
                             const bool ef = extends(fill), ep = extends(p);
                             v = ef == ep ? (prefer_fill ? fill : p) : (ef ? fill : p);
                         }
                     }
                     if (v != p) {
                         row[x] = v;
                         changed = true;
                     }
                     return v;
                 });
}

}  // namespace cinemill
