#pragma once

// Eight bytes at a time: loops over palette indices and masks that mostly
// find nothing to do (unchanged pixels, zero mask bytes) skip a word per
// step. Each result byte stays at its own byte's place, so the order of
// bytes in a word does not matter.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cinemill::bytes {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;

inline uint64_t Load8(const uint8_t* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}
inline void Store8(uint8_t* p, uint64_t w) { std::memcpy(p, &w, 8); }

// 0x01 in each byte of `w` that is not zero, 0x00 in the others.
inline uint64_t NonZeroBytes(uint64_t w) { return ((((w & kLow7) + kLow7) | w) >> 7) & kOnes; }

// How many bytes of `w` are zero. (The multiply adds the eight 0/1 bytes
// into the top byte; std::popcount is a library call on CPUs it cannot
// assume have the instruction.)
inline int ZeroByteCount(uint64_t w) { return 8 - static_cast<int>((NonZeroBytes(w) * kOnes) >> 56); }

// Index of the first byte of p[0, n) that is not zero (n when none).
inline size_t FirstNonZero(const uint8_t* p, size_t n) {
    size_t i = 0;
    while (i + 8 <= n && Load8(p + i) == 0) i += 8;
    while (i < n && p[i] == 0) ++i;
    return i;
}

// Index of the last byte of p[0, n) that is not zero (n when none).
inline size_t LastNonZero(const uint8_t* p, size_t n) {
    size_t i = n;
    while (i >= 8 && Load8(p + i - 8) == 0) i -= 8;
    while (i > 0 && p[i - 1] == 0) --i;
    return i == 0 ? n : i - 1;
}

// Length of the common start of a[0, n) and b[0, n).
inline size_t CommonPrefix(const uint8_t* a, const uint8_t* b, size_t n) {
    size_t i = 0;
    while (i + 8 <= n && Load8(a + i) == Load8(b + i)) i += 8;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

}  // namespace cinemill::bytes
