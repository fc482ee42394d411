#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace cinemill {

// Bytes kept as runs of one value where that takes less memory than the
// bytes themselves, else as they are. The lossy compressor keeps the
// lifetimes of a whole animation's pixels until its last frame is done, and
// they mostly come in long runs.
class PackedBytes {
public:
    explicit PackedBytes(std::vector<uint8_t>&& bytes) : size_(bytes.size()) {
        size_t runs = 0;
        for (size_t i = 0; i < bytes.size(); ++i) runs += StartsRun(bytes, i);
        if (runs * sizeof(uint32_t) >= bytes.size()) {
            raw_ = std::move(bytes);
            return;
        }
        runs_.reserve(runs);
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (StartsRun(bytes, i)) runs_.push_back(uint32_t{bytes[i]} << 24);
            ++runs_.back();
        }
    }
    size_t size() const { return size_; }
    // Whether the bytes are kept as runs.
    bool Packed() const { return !runs_.empty(); }
    std::vector<uint8_t> Unpack() const {
        if (runs_.empty()) return raw_;
        std::vector<uint8_t> out;
        out.reserve(size_);
        for (const uint32_t r : runs_) out.insert(out.end(), r & kMaxRun, static_cast<uint8_t>(r >> 24));
        return out;
    }

private:
    // A run's count takes the low 24 bits, its value the top byte; a longer
    // run is kept as several.
    static constexpr uint32_t kMaxRun = (1u << 24) - 1;
    static bool StartsRun(const std::vector<uint8_t>& b, size_t i) {
        return i % kMaxRun == 0 || b[i] != b[i - 1];
    }
    size_t size_;
    std::vector<uint8_t> raw_;
    std::vector<uint32_t> runs_;
};

}  // namespace cinemill
