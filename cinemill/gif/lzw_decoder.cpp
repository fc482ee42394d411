#include "cinemill/gif/lzw_decoder.h"

#include <algorithm>
#include <cstring>

namespace cinemill {

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
    for (int c = 0; c < 4096; ++c) {
        prefix_[c] = 0;
        suffix_[c] = c < clear_ ? static_cast<uint8_t>(c) : 0;
        length_[c] = c < clear_ ? 1 : 0;
    }
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
    if (curbit_ + n >= lastbit_) {
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
    const size_t byte = static_cast<size_t>(curbit_ >> 3);
    const uint32_t w = buf_[byte] | (buf_[byte + 1] << 8) | (uint32_t(buf_[byte + 2]) << 16);
    const int code = static_cast<int>((w >> (curbit_ & 7)) & ((1u << n) - 1));
    curbit_ += n;
    return code;
}

void LzwDecoder::ResetTables() {
    // Entries from the clear code up are assigned only at the next free code,
    // so everything at or beyond it is still zero.
    for (int c = clear_; c < next_; ++c) {
        prefix_[c] = 0;
        suffix_[c] = 0;
        length_[c] = 0;
    }
    code_size_ = initial_size_ + 1;
    limit_ = 2 * clear_;
    next_ = clear_ + 2;
    sp_ = 0;
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
        int k;
        do {
            k = GetCode(code_size_);
        } while (k == clear_);
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

void LzwDecoder::WriteStringPrefix(int code, int length, uint8_t* out, int room) const {
    int idx = length - 1;
    while (code >= clear_) {
        if (idx < room) out[idx] = suffix_[static_cast<size_t>(code)];
        --idx;
        code = prefix_[static_cast<size_t>(code)];
    }
    if (idx >= 0 && idx < room) out[idx] = suffix_[static_cast<size_t>(code)];
}

size_t LzwDecoder::Decode(uint8_t* out, size_t count, int* status) {
    *status = 0;
    if (count == 0) return 0;
    size_t pos = 0;
    if (slow_) return DecodeSlow(out, count, status);
    if (fresh_) {
        fresh_ = false;
        int c;
        do {
            c = GetCode(code_size_);
        } while (c == clear_);
        if (c < 0) {
            *status = c;
            return 0;
        }
        first_ = old_ = c;
        out[pos++] = static_cast<uint8_t>(c);
        if (c >= clear_) {
            slow_ = true;
            return pos + DecodeSlow(out + pos, count - pos, status);
        }
    }
    // The loop keeps the decoder and bit-reader state in locals: stores to
    // the output may alias members, which would force reloads every pixel.
    const uint16_t* prefix = prefix_.data();
    const uint8_t* suffix = suffix_.data();
    uint16_t* length = length_.data();
    const uint8_t* buf = buf_.data();
    const int clear = clear_;
    int next = next_, old = old_, first = first_, limit = limit_, size = code_size_;
    int curbit = curbit_, lastbit = lastbit_;
    auto save = [&] {
        next_ = next;
        old_ = old;
        first_ = first;
        limit_ = limit;
        code_size_ = size;
        curbit_ = curbit;
        lastbit_ = lastbit;
    };
    auto load = [&] {
        next = next_;
        old = old_;
        first = first_;
        limit = limit_;
        size = code_size_;
        curbit = curbit_;
        lastbit = lastbit_;
    };
    auto get = [&](int n) -> int {
        if (curbit + n >= lastbit) {
            // A new sub-block is needed: the member-based reader handles it.
            curbit_ = curbit;
            lastbit_ = lastbit;
            const int c = GetCode(n);
            curbit = curbit_;
            lastbit = lastbit_;
            return c;
        }
        const size_t byte = static_cast<size_t>(curbit >> 3);
        const uint32_t w = buf[byte] | (buf[byte + 1] << 8) | (uint32_t(buf[byte + 2]) << 16);
        const int code = static_cast<int>((w >> (curbit & 7)) & ((1u << n) - 1));
        curbit += n;
        return code;
    };
    while (pos < count) {
        const int c = get(size);
        if (c < 0) {
            save();
            *status = c;
            return pos;
        }
        if (c == clear) {
            // Encoders may send several clear codes in a row; all but the
            // last are no-ops, as at the start of the data.
            save();
            ResetTables();
            load();
            int k;
            do {
                k = get(size);
            } while (k == clear);
            if (k < 0) {
                save();
                *status = k;
                return pos;
            }
            first = old = k;
            out[pos++] = static_cast<uint8_t>(k);
            if (k >= clear) {
                save();
                slow_ = true;
                return pos + DecodeSlow(out + pos, count - pos, status);
            }
            continue;
        }
        if (c == clear + 1) {
            save();
            *status = EndCode();
            return pos;
        }
        if (c > next) {
            // Only a damaged stream gets here: let the exact path take it.
            save();
            slow_ = true;
            pending_code_ = c;
            return pos + DecodeSlow(out + pos, count - pos, status);
        }
        // The string of c, or for the code not yet in the table the string of
        // the previous code followed by its own first value.
        const bool kwk = c == next;
        int code = kwk ? old : c;
        const int len = length[code];
        const int total = len + (kwk ? 1 : 0);
        const size_t room = count - pos;
        uint8_t* p = out + pos;
        if (static_cast<size_t>(total) > room) {
            save();
            WriteStringPrefix(code, len, p, static_cast<int>(room));
            return count;
        }
        uint8_t* q = p + len - 1;
        while (code >= clear) {
            *q-- = suffix[code];
            code = prefix[code];
        }
        *q = suffix[code];
        if (kwk) p[len] = static_cast<uint8_t>(first);
        pos += static_cast<size_t>(total);
        first = p[0];
        if (next < 4096) {
            prefix_[static_cast<size_t>(next)] = static_cast<uint16_t>(old);
            suffix_[static_cast<size_t>(next)] = static_cast<uint8_t>(first);
            length[next] = static_cast<uint16_t>(length[old] + 1);
            ++next;
            if (next >= limit && limit < 4096) {
                limit *= 2;
                ++size;
            }
        }
        old = c;
    }
    save();
    return pos;
}

}  // namespace cinemill
