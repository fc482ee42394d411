#include "cinemill/gif/lzw_decoder.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

namespace cinemill {
namespace {

// The low 24 bits of the little-endian word at p (4 bytes must be readable).
inline uint32_t Load24(const uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t w;
        std::memcpy(&w, p, 4);
        return w;
    } else {
        return p[0] | (p[1] << 8) | (uint32_t(p[2]) << 16);
    }
}

}  // namespace

size_t ByteCursor::Read(uint8_t* out, size_t n) {
    n = std::min(n, Left());
    if (n) std::memcpy(out, data + pos, n);
    pos += n;
    return n;
}

void LzwDecoder::Init(ByteCursor* src, int min_code_size) {
    src_ = src;
    buf_.fill(0);
    curbit_ = 0;
    lastbit_ = 0;
    lastbyte_ = 2;
    done_ = false;
    terminator_seen_ = false;
    initial_size_ = min_code_size;
    clear_ = 1 << min_code_size;
    end_ = clear_ + 1;
    code_size_ = min_code_size + 1;
    limit_ = 2 * clear_;
    next_ = clear_ + 2;
    prefix_.fill(0);
    suffix_.fill(0);
    for (int c = 0; c < clear_; ++c) suffix_[static_cast<size_t>(c)] = static_cast<uint8_t>(c);
    sp_ = 0;
    first_ = old_ = 0;
    fresh_ = true;
    slow_ = false;
    pending_code_ = -1;
}

int LzwDecoder::ReadSubBlock() {
    const int len = src_->ReadByte();
    if (len < 0) return -1;
    terminator_seen_ = len == 0;
    if (src_->Read(buf_.data() + 2, static_cast<size_t>(len)) != static_cast<size_t>(len)) return -1;
    return len;
}

int LzwDecoder::GetCode(int n) {
    // A new sub-block is fetched only when the code does not fit in the bits
    // held: fetching early would read the terminator before an end code that
    // closes the last sub-block exactly, and that end code would then count
    // as coming after the terminator. A sub-block may be shorter than a code
    // (one byte against 9 to 12 bits), so fetching goes on until it fits;
    // the bits still unread are fewer than 12, so the two carried bytes
    // always hold them.
    while (curbit_ + n > lastbit_) {
        if (done_) return kOutOfData;
        buf_[0] = buf_[static_cast<size_t>(lastbyte_ - 2)];
        buf_[1] = buf_[static_cast<size_t>(lastbyte_ - 1)];
        int len = ReadSubBlock();
        if (len <= 0) {
            done_ = true;
            len = 0;
        }
        lastbyte_ = 2 + len;
        curbit_ = curbit_ - lastbit_ + 16;
        lastbit_ = (2 + len) * 8;
    }
    const int code = static_cast<int>(
        (Load24(buf_.data() + (curbit_ >> 3)) >> (curbit_ & 7)) & ((1u << n) - 1));
    curbit_ += n;
    return code;
}

void LzwDecoder::ResetTables() {
    // Entries from the clear code up are assigned only at the next free code,
    // so everything at or beyond it is still zero.
    // Lengths are only read for assigned codes, so they need no reset.
    if (next_ > clear_) {
        std::fill(prefix_.begin() + clear_, prefix_.begin() + next_, uint16_t{0});
        std::fill(suffix_.begin() + clear_, suffix_.begin() + next_, uint8_t{0});
    }
    code_size_ = initial_size_ + 1;
    limit_ = 2 * clear_;
    next_ = clear_ + 2;
    sp_ = 0;
}

int LzwDecoder::CodeAfterClears() {
    // Encoders may send several clear codes in a row; all but the last are no-ops.
    int c;
    do {
        c = GetCode(code_size_);
    } while (c == clear_);
    return c;
}

int LzwDecoder::EndCode() {
    if (terminator_seen_) return kBadEnd;
    for (;;) {
        const int len = ReadSubBlock();
        if (len < 0) return kBadEnd;
        if (len == 0) return kEndSkipped;
    }
}

void LzwDecoder::SkipToTerminator() {
    if (terminator_seen_) return;
    while (ReadSubBlock() > 0) {
    }
}

int LzwDecoder::SlowNext() {
    if (sp_ > 0) return stack_[static_cast<size_t>(--sp_)];
    int c = pending_code_ >= 0 ? pending_code_ : GetCode(code_size_);
    pending_code_ = -1;
    if (c < 0) return c;
    if (c == clear_) {
        ResetTables();
        const int k = CodeAfterClears();
        first_ = old_ = k;
        return k;
    }
    if (c == end_) return EndCode();
    const int incoming = c;
    if (c >= next_) {
        stack_[static_cast<size_t>(sp_++)] = static_cast<uint8_t>(first_);
        c = old_;
    }
    while (c >= clear_) {
        if (sp_ >= static_cast<int>(stack_.size())) return kOutOfData;
        stack_[static_cast<size_t>(sp_++)] = suffix_[static_cast<size_t>(c)];
        c = prefix_[static_cast<size_t>(c)];
    }
    if (sp_ >= static_cast<int>(stack_.size())) return kOutOfData;
    first_ = suffix_[static_cast<size_t>(c)];
    stack_[static_cast<size_t>(sp_++)] = static_cast<uint8_t>(first_);
    if (next_ < 4096) {
        prefix_[static_cast<size_t>(next_)] = static_cast<uint16_t>(old_);
        suffix_[static_cast<size_t>(next_)] = static_cast<uint8_t>(first_);
        ++next_;
        if (next_ >= limit_ && limit_ < 4096) {
            limit_ *= 2;
            ++code_size_;
        }
    }
    old_ = incoming;
    return stack_[static_cast<size_t>(--sp_)];
}

size_t LzwDecoder::DecodeSlow(uint8_t* out, size_t count, int* status) {
    for (size_t pos = 0; pos < count; ++pos) {
        const int v = SlowNext();
        if (v < 0) {
            *status = v;
            return pos;
        }
        out[pos] = static_cast<uint8_t>(v);
    }
    *status = 0;
    return count;
}

size_t LzwDecoder::Decode(uint8_t* out, size_t count, int* status) {
    *status = 0;
    if (count == 0) return 0;
    if (slow_) return DecodeSlow(out, count, status);
    if (!fresh_) return DecodeFast(out, 0, count, status);
    fresh_ = false;
    const int c = CodeAfterClears();
    if (c < 0) {
        *status = c;
        return 0;
    }
    first_ = old_ = c;
    out[0] = static_cast<uint8_t>(c);
    if (c >= clear_) {
        slow_ = true;
        return 1 + DecodeSlow(out + 1, count - 1, status);
    }
    return DecodeFast(out, 1, count, status);
}

// Every string in the table has already appeared in the output: a code's
// string is the previous code's string followed by one more value, and the
// two stand next to each other. So a table entry is just where its string
// starts and how long it is, and decoding a code copies bytes from earlier
// output. The prefix and suffix tables are kept as well, so that the exact
// one-value path can take over at any code.
//
// The state lives in this object's fields, which the compiler keeps in
// registers because every step is inlined into DecodeFast and the object
// never escapes; in the decoder's members, stores to the output (which may
// alias them) would force reloads for every byte.
struct LzwDecoder::FastPath {
    LzwDecoder& d;
    uint8_t* const out;
    const size_t count;
    uint32_t* const start;
    uint16_t* const length;
    uint16_t* const prefix;
    uint8_t* const suffix;
    const uint8_t* const buf;
    const int clear;
    int next, old, limit, size;
    uint32_t mask;
    int grow_at;  // the next free code at which the codes widen (never, once 12 bits wide)
    int curbit, lastbit;
    size_t old_pos, old_len;  // the previous code's string in the output

    [[gnu::always_inline]] FastPath(LzwDecoder& decoder, uint8_t* output, size_t n, size_t pos)
        : d(decoder),
          out(output),
          count(n),
          start(decoder.start_.data()),
          length(decoder.length_.data()),
          prefix(decoder.prefix_.data()),
          suffix(decoder.suffix_.data()),
          buf(decoder.buf_.data()),
          clear(decoder.clear_),
          next(decoder.next_),
          old(decoder.old_),
          limit(decoder.limit_),
          size(decoder.code_size_),
          mask((1u << size) - 1),
          grow_at(GrowAt(limit)),
          curbit(decoder.curbit_),
          lastbit(decoder.lastbit_),
          old_pos(pos - 1),
          old_len(1) {}

    static int GrowAt(int at) { return at < 4096 ? at : INT_MAX; }

    // Hands the state back to the decoder's members.
    [[gnu::always_inline]] void Save() {
        d.next_ = next;
        d.old_ = old;
        d.first_ = out[old_pos];
        d.limit_ = limit;
        d.code_size_ = size;
        d.curbit_ = curbit;
        d.lastbit_ = lastbit;
    }

    [[gnu::always_inline]] int NextCode() {
        if (curbit + size > lastbit) {
            // A new sub-block is needed: the member-based reader handles it.
            d.curbit_ = curbit;
            d.lastbit_ = lastbit;
            const int c = d.GetCode(size);
            curbit = d.curbit_;
            lastbit = d.lastbit_;
            return c;
        }
        const int code = static_cast<int>((Load24(buf + (curbit >> 3)) >> (curbit & 7)) & mask);
        curbit += size;
        return code;
    }

    // The previous string and one more value, at the next free code.
    [[gnu::always_inline]] void AddEntry(uint8_t first_value) {
        if (next >= 4096) return;
        prefix[next] = static_cast<uint16_t>(old);
        suffix[next] = first_value;
        start[next] = static_cast<uint32_t>(old_pos);
        length[next] = static_cast<uint16_t>(old_len + 1);
        if (++next >= grow_at) {
            limit *= 2;
            ++size;
            mask = (1u << size) - 1;
            grow_at = GrowAt(limit);
        }
    }

    // The code's string now stands at `pos`, `len` values long.
    [[gnu::always_inline]] void Emitted(int c, size_t pos, size_t len) {
        old = c;
        old_pos = pos;
        old_len = len;
    }

    // A code below the clear code: its own value.
    [[gnu::always_inline]] void Literal(int c, size_t& pos) {
        out[pos] = static_cast<uint8_t>(c);
        AddEntry(static_cast<uint8_t>(c));
        Emitted(c, pos++, 1);
    }

    // The clear code: the code width and the next free code start over, and
    // the first code after the clears is answered. The tables need no
    // clearing: entries are rewritten as the next free code advances again,
    // and the exact path clears what lies beyond it when it takes over.
    [[gnu::always_inline]] int Restart() {
        next = clear + 2;
        limit = 2 * clear;
        size = d.initial_size_ + 1;
        mask = (1u << size) - 1;
        grow_at = GrowAt(limit);
        int k;
        do {
            k = NextCode();
        } while (k == clear);
        return k;
    }

    // Copies the string of code c (at most the next free code) to `pos`, as
    // far as the output reaches; answers its whole length.
    [[gnu::always_inline]] size_t CopyString(int c, size_t pos) {
        if (c == next) {
            // Not yet in the table: the previous string and its own first
            // value. The copy overlaps itself, so it goes byte by byte.
            const size_t len = old_len + 1;
            const size_t n = std::min(len, count - pos);
            for (size_t i = 0; i < n; ++i) out[pos + i] = out[old_pos + i];
            return len;
        }
        const size_t src = start[c];
        const size_t len = length[c];
        if (len <= 16 && pos + 16 <= count) {
            // The source ends before the destination starts; both 8-byte
            // halves are loaded before anything is stored.
            uint64_t a, b;
            std::memcpy(&a, out + src, 8);
            std::memcpy(&b, out + src + 8, 8);
            std::memcpy(out + pos, &a, 8);
            std::memcpy(out + pos + 8, &b, 8);
        } else {
            std::memcpy(out + pos, out + src, std::min(len, count - pos));
        }
        return len;
    }

    // Entries at and beyond the next free code read as zero on the exact
    // path; the fast path leaves stale ones there, so clear them first.
    [[gnu::always_inline]] void EnterSlow() {
        Save();
        std::fill(d.prefix_.begin() + next, d.prefix_.end(), uint16_t{0});
        std::fill(d.suffix_.begin() + next, d.suffix_.end(), uint8_t{0});
        d.slow_ = true;
    }
};

size_t LzwDecoder::DecodeFast(uint8_t* out, size_t pos, size_t count, int* status) {
    FastPath s(*this, out, count, pos);
    while (pos < count) {
        const int c = s.NextCode();
        if (static_cast<unsigned>(c) < static_cast<unsigned>(s.clear)) {
            s.Literal(c, pos);
            continue;
        }
        if (c == s.clear) {
            const int k = s.Restart();
            if (k < 0) {
                s.Save();
                *status = k;
                return pos;
            }
            out[pos] = static_cast<uint8_t>(k);
            s.Emitted(k, pos++, 1);
            if (k >= s.clear) {
                s.EnterSlow();
                return pos + DecodeSlow(out + pos, count - pos, status);
            }
            continue;
        }
        if (c < 0) {
            s.Save();
            *status = c;
            return pos;
        }
        if (c == s.clear + 1) {
            s.Save();
            *status = EndCode();
            return pos;
        }
        if (c > s.next) {
            // Only a damaged stream gets here: let the exact path take it.
            s.EnterSlow();
            pending_code_ = c;
            return pos + DecodeSlow(out + pos, count - pos, status);
        }
        const size_t len = s.CopyString(c, pos);
        if (len > count - pos) {
            s.Save();
            return count;
        }
        s.AddEntry(out[pos]);
        s.Emitted(c, pos, len);
        pos += len;
    }
    s.Save();
    return pos;
}

}  // namespace cinemill
