#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "cinemill/base/bytes.h"

namespace cinemill {

// A bounded cursor over bytes for the parsers: every read past the end
// answers false, reads nothing and leaves the position where it was, so a
// parser stops at the first short read and names its one message.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : d_(bytes) {}

    size_t Pos() const { return pos_; }
    size_t Size() const { return d_.size(); }
    size_t Left() const { return d_.size() - pos_; }

    bool Seek(uint64_t pos) {
        if (pos > d_.size()) return false;
        pos_ = static_cast<size_t>(pos);
        return true;
    }
    bool Skip(uint64_t n) {
        if (n > Left()) return false;
        pos_ += static_cast<size_t>(n);
        return true;
    }
    // The next n bytes, in place.
    bool Take(uint64_t n, std::span<const uint8_t>& out) {
        if (n > Left()) return false;
        out = d_.subspan(pos_, static_cast<size_t>(n));
        pos_ += static_cast<size_t>(n);
        return true;
    }
    bool U8(uint8_t& v) {
        if (Left() < 1) return false;
        v = d_[pos_++];
        return true;
    }
    bool BE16(uint16_t& v) {
        if (Left() < 2) return false;
        v = static_cast<uint16_t>((d_[pos_] << 8) | d_[pos_ + 1]);
        pos_ += 2;
        return true;
    }
    bool BE32(uint32_t& v) {
        if (Left() < 4) return false;
        const uint8_t* p = d_.data() + pos_;
        v = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        pos_ += 4;
        return true;
    }
    bool BE16(int16_t& v) {
        uint16_t u = 0;
        if (!BE16(u)) return false;
        v = static_cast<int16_t>(u);
        return true;
    }
    bool BE32(int32_t& v) {
        uint32_t u = 0;
        if (!BE32(u)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool LE32(uint32_t& v) {
        if (Left() < 4) return false;
        v = LoadLE32(d_.data() + pos_);
        pos_ += 4;
        return true;
    }

private:
    std::span<const uint8_t> d_;
    size_t pos_ = 0;
};

}  // namespace cinemill
