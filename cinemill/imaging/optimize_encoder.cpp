// The optimizer's own LZW compressor: chooses free pixels and may go on
// with a full string table.
#include "cinemill/imaging/optimize_encoder.h"

#include <algorithm>
#include <cstring>

#include "cinemill/gif/gif_labels.h"

namespace cinemill {

namespace {
constexpr int kPacket = 255;
// Codes between two comparisons with the shadow.
constexpr int kCompareEvery = 16;
}  // namespace

ChoosingLzwEncoder::ChoosingLzwEncoder() : table_(size_t{1} << kHashBits, 0) { nodes_.reserve(4 * kMaxWidth); }

// A slot holds key << 12 | code, 0 when empty (string codes are never below 6).
int ChoosingLzwEncoder::Find(int prefix, int c) const {
    const uint32_t key = Key(prefix, c);
    for (uint32_t i = Slot(key);; i = (i + 1) & kHashMask) {
        const uint32_t e = table_[i];
        if (e == 0) return -1;
        if (e >> 12 == key) return static_cast<int>(e & 0xFFF);
    }
}

void ChoosingLzwEncoder::Insert(int prefix, int c) {
    const uint32_t key = Key(prefix, c);
    uint32_t i = Slot(key);
    while (table_[i] != 0) i = (i + 1) & kHashMask;
    table_[i] = key << 12 | static_cast<uint32_t>(free_ent_);
    if (++free_ent_ == table_limit_) filled_ = true;
}

void ChoosingLzwEncoder::Start(int m, FullTable policy, std::vector<uint8_t>* out) {
    policy_ = policy;
    out_ = out;
    if (out_) out_->clear();
    clear_ = 1 << m;
    init_bits_ = m + 1;
    n_bits_ = init_bits_;
    max_code_ = (1 << n_bits_) - 1;
    free_ent_ = clear_ + 2;
    clear_flag_ = false;
    bits_ = 0;
    accum_ = 0;
    accum_bits_ = 0;
    packet_len_ = 0;
    life_pixels_ = 0;
    filled_ = false;
    point_.active = false;
    std::fill(table_.begin(), table_.end(), 0u);
    Emit(clear_);
}

void ChoosingLzwEncoder::FlushPacket() {
    if (packet_len_ == 0) return;
    packet_[0] = static_cast<uint8_t>(packet_len_);
    out_->insert(out_->end(), packet_, packet_ + packet_len_ + 1);
    packet_len_ = 0;
}

// Writes a code at the current width, then widens the codes as the writer
// does (the decoder, one entry behind, widens at the same code).
void ChoosingLzwEncoder::Emit(int code) {
    bits_ += n_bits_;
    if (out_) {
        accum_ |= static_cast<uint64_t>(code) << accum_bits_;
        accum_bits_ += n_bits_;
        while (accum_bits_ >= 8) {
            packet_[++packet_len_] = static_cast<uint8_t>(accum_);
            if (packet_len_ == kPacket) FlushPacket();
            accum_ >>= 8;
            accum_bits_ -= 8;
        }
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

void ChoosingLzwEncoder::EmitClear() {
    std::fill(table_.begin(), table_.end(), 0u);
    free_ent_ = clear_ + 2;
    clear_flag_ = true;
    Emit(clear_);
    life_pixels_ = 0;
}

void ChoosingLzwEncoder::Shadow::Start(int m) {
    clear = 1 << m;
    init_bits = m + 1;
    n_bits = init_bits;
    max_code = (1 << n_bits) - 1;
    free_ent = clear + 2;
    prefix = -1;
    bits = 0;
    std::fill(table.begin(), table.end(), 0u);
}

// The writer's parse, counted only.
void ChoosingLzwEncoder::Shadow::Feed(const uint8_t* px, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const int c = px[i];
        if (prefix < 0) {
            prefix = c;
            continue;
        }
        const uint32_t key = Key(prefix, c);
        uint32_t s = Slot(key);
        uint32_t e;
        while ((e = table[s]) != 0 && e >> 12 != key) s = (s + 1) & kHashMask;
        if (e != 0) {
            prefix = static_cast<int>(e & 0xFFF);
            continue;
        }
        bits += n_bits;
        if (free_ent > max_code) {
            ++n_bits;
            max_code = n_bits == 12 ? kMaxCodes : (1 << n_bits) - 1;
        }
        if (free_ent < kMaxCodes) {
            table[s] = key << 12 | static_cast<uint32_t>(free_ent++);
        } else {
            // Past a table's life the shadow has long been compared.
            std::fill(table.begin(), table.end(), 0u);
            bits += n_bits;
            free_ent = clear + 2;
            n_bits = init_bits;
            max_code = (1 << n_bits) - 1;
        }
        prefix = c;
    }
}

// The longest table string from px[pos] when no pixel is free. `pending` is
// as for LongestMatch.
ChoosingLzwEncoder::Match ChoosingLzwEncoder::FixedMatch(const uint8_t* px, size_t pos, size_t n,
                                                         int pending) const {
    int code = px[pos];
    size_t length = 1;
    while (pos + length < n) {
        const uint8_t q = px[pos + length];
        int c = Find(code, q);
        if (c < 0) {
            if (pending < 0 || code != pending || q != px[pos]) break;
            c = free_ent_;
        }
        code = c;
        ++length;
    }
    return {code, length, -1};
}

// The longest table string from px[pos], each free pixel matching its own
// value or the fill index. `pending` is the code of the previous string
// when the entry it makes with this string's first pixel is not yet in the
// table (-1 when none is made); that entry can already be used here.
ChoosingLzwEncoder::Match ChoosingLzwEncoder::LongestMatch(const uint8_t* px, const uint8_t* fixed, size_t pos,
                                                           size_t n, uint8_t fill, int pending) {
    // nodes_ is storage only: `size` counts the nodes in use, and room for
    // a whole level is made before it is filled.
    constexpr size_t kLevelRoom = 2 * kMaxWidth + 2;
    if (nodes_.size() < kLevelRoom) nodes_.resize(kLevelRoom);
    Node* nodes = nodes_.data();
    size_t room = nodes_.size();
    size_t size = 0;
    const uint8_t p = px[pos];
    if (!fixed[pos] && p != fill) nodes[size++] = {fill, -1, fill, fill};
    nodes[size++] = {p, -1, p, p};
    auto child = [&](const Node& nd, uint8_t v) {
        const int c = Find(nd.code, v);
        if (c >= 0 || pending < 0 || nd.code != pending || v != nd.root) return c;
        return free_ent_;  // the pending entry: the previous string and this one's first pixel
    };
    size_t begin = 0, end = size, length = 1;
    while (pos + length < n) {
        if (room < size + kLevelRoom) {
            room = 2 * (size + kLevelRoom);
            nodes_.resize(room);
            nodes = nodes_.data();
        }
        const uint8_t q = px[pos + length];
        const bool q_free = !fixed[pos + length] && q != fill;
        if (end - begin == 1) {
            // The common case: a single string goes on.
            const Node nd = nodes[begin];
            const int cf = q_free ? child(nd, fill) : -1;
            const int cq = child(nd, q);
            if (cf >= 0) nodes[size++] = {cf, static_cast<int>(begin), fill, nd.root};
            if (cq >= 0) nodes[size++] = {cq, static_cast<int>(begin), q, nd.root};
            if (size == end) break;
            begin = end;
            end = size;
            ++length;
            continue;
        }
        const size_t limit = end + kMaxWidth;
        for (size_t k = begin; k < end && size < limit; ++k) {
            const Node nd = nodes[k];
            if (q_free) {
                const int c = child(nd, fill);
                if (c >= 0) nodes[size++] = {c, static_cast<int>(k), fill, nd.root};
                if (size >= limit) break;
            }
            const int c = child(nd, q);
            if (c >= 0) nodes[size++] = {c, static_cast<int>(k), q, nd.root};
        }
        if (size == end) break;
        begin = end;
        end = size;
        ++length;
    }
    return {nodes[begin].code, length, static_cast<int>(begin)};
}

// Remembers the state at a string boundary where the full table could be
// cleared, and starts the shadow there.
void ChoosingLzwEncoder::MarkPoint(size_t pos, int prev) {
    Point& p = point_;
    p.active = true;
    p.pos = pos;
    p.prev = prev;
    p.out_size = out_ ? out_->size() : 0;
    p.n_bits = n_bits_;
    p.max_code = max_code_;
    p.clear_flag = clear_flag_;
    p.bits = bits_;
    p.accum = accum_;
    p.accum_bits = accum_bits_;
    p.packet_len = packet_len_;
    std::copy_n(packet_, 256, p.packet);
    p.table = table_;
    // A table's life in pixels, at least as many as codes.
    p.horizon = std::max<int64_t>(life_pixels_, kMaxCodes);
    shadow_.Start(init_bits_ - 1);
}

// Whether the shadow has done better since the point than the full table
// (a clear code counted for it); `move_point` when the full table has stayed
// ahead for a table's life.
bool ChoosingLzwEncoder::ShadowAhead(size_t pos, bool& move_point) {
    const int64_t kept = bits_ - point_.bits;
    if (shadow_.Bits() + point_.n_bits < kept) return true;
    move_point = static_cast<int64_t>(pos - point_.pos) > point_.horizon;
    return false;
}

// Back to the point: the state then, and the pixels as they were before
// choosing. Answers the point's position.
size_t ChoosingLzwEncoder::GoBackToPoint(uint8_t* px, size_t pos, int& prev) {
    Point& p = point_;
    if (!start_px_.empty()) std::copy(start_px_.begin() + static_cast<ptrdiff_t>(p.pos),
                                      start_px_.begin() + static_cast<ptrdiff_t>(pos), px + p.pos);
    if (out_) out_->resize(p.out_size);
    n_bits_ = p.n_bits;
    max_code_ = p.max_code;
    clear_flag_ = p.clear_flag;
    bits_ = p.bits;
    accum_ = p.accum;
    accum_bits_ = p.accum_bits;
    packet_len_ = p.packet_len;
    std::copy_n(p.packet, 256, packet_);
    table_.swap(p.table);
    free_ent_ = table_limit_;
    prev = p.prev;
    p.active = false;
    return p.pos;
}

// False when the count has reached `limit_bits`: the bits written up to
// the point where the table may still be cleared never go away, so the
// data cannot end smaller. False too when the count is above `check.bits`
// as the string that reaches `check.pixels` is written.
bool ChoosingLzwEncoder::EncodeStrings(uint8_t* px, const uint8_t* fixed, size_t n, uint8_t fill,
                                       int64_t limit_bits, LzwCheckpoint check) {
    const bool keep = policy_ == FullTable::kKeep;
    start_px_.clear();
    if (keep && fixed) start_px_.assign(px, px + n);
    size_t pos = 0;
    int prev = -1, codes = 0;
    bool clear_now = false;
    while (pos < n) {
        int pending = -1;
        if (prev >= 0) {
            if (free_ent_ < table_limit_) pending = prev;
            else if (!keep || clear_now) EmitClear(), clear_now = false;
            else if (!point_.active) MarkPoint(pos, prev);
        }
        const Match mt = fixed ? LongestMatch(px, fixed, pos, n, fill, pending) : FixedMatch(px, pos, n, pending);
        size_t i = pos + mt.length;
        for (int k = mt.node; k >= 0; k = nodes_[static_cast<size_t>(k)].parent) px[--i] = nodes_[static_cast<size_t>(k)].value;
        if (pending >= 0) Insert(prev, px[pos]);
        Emit(mt.code);
        if ((point_.active ? point_.bits : bits_) >= limit_bits) return false;
        if (check.bits >= 0 && pos < check.pixels && pos + mt.length >= check.pixels && bits_ > check.bits)
            return false;
        life_pixels_ += static_cast<int64_t>(mt.length);
        if (point_.active) shadow_.Feed(px + pos, mt.length);
        prev = mt.code;
        pos += mt.length;
        if (!point_.active || ++codes % kCompareEvery != 0) continue;
        bool move_point = false;
        if (ShadowAhead(pos, move_point)) {
            pos = GoBackToPoint(px, pos, prev);
            clear_now = true;
        } else if (move_point) {
            point_.active = false;
        }
    }
    return true;
}

int64_t ChoosingLzwEncoder::Finish() {
    Emit(clear_ + 1);  // end code
    const int64_t d = (bits_ + 7) / 8;
    if (out_) {
        if (accum_bits_ > 0) {
            packet_[++packet_len_] = static_cast<uint8_t>(accum_);
            if (packet_len_ == kPacket) FlushPacket();
        }
        FlushPacket();
        out_->push_back(0);
    }
    return d + (d + kPacket - 1) / kPacket;
}

int64_t ChoosingLzwEncoder::Encode(uint8_t* px, const uint8_t* fixed, size_t n, uint8_t fill, int m,
                                   FullTable policy, std::vector<uint8_t>* out, int64_t limit,
                                   LzwCheckpoint check) {
    Start(std::clamp(m, 2, 8), policy, out);
    const int64_t limit_bits = limit >= INT64_MAX / 8 ? INT64_MAX : 8 * limit;
    if (!EncodeStrings(px, fixed, n, fill, limit_bits, check)) return limit;
    return Finish();
}

void PixelsInFileOrder(const uint8_t* rows, size_t stride, int width, int height, bool interlaced,
                       std::vector<uint8_t>& out) {
    const size_t w = static_cast<size_t>(std::max(width, 0));
    out.resize(w * static_cast<size_t>(std::max(height, 0)));
    size_t at = 0;
    ForRowsInFileOrder(height, interlaced, [&](int y) {
        std::copy_n(rows + static_cast<size_t>(y) * stride, w, out.data() + at);
        at += w;
    });
}

void PixelsInFileOrder(const FrameBitmap& bmp, bool interlaced, std::vector<uint8_t>& out) {
    PixelsInFileOrder(bmp.pixels.data(), static_cast<size_t>(bmp.stride), bmp.width, bmp.height, interlaced, out);
}

void PixelsFromFileOrder(const std::vector<uint8_t>& px, bool interlaced, FrameBitmap& bmp) {
    size_t at = 0;
    ForRowsInFileOrder(bmp.height, interlaced, [&](int y) {
        std::copy_n(px.data() + at, bmp.width, bmp.Row(y));
        at += static_cast<size_t>(bmp.width);
    });
}

}  // namespace cinemill
