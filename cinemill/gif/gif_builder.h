#pragma once
// Builds GIF streams byte by byte for tests, with plainly coded image data.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cinemill::testing {

class GifBuilder {
public:
    std::vector<uint8_t> b;

    explicit GifBuilder(int w, int h, int global_entries = 4, uint8_t bg = 0,
                        const char* sig = "GIF89a") {
        b.assign(sig, sig + 6);
        Put16(w);
        Put16(h);
        if (global_entries > 0) {
            int code = 0;
            while ((2 << code) < global_entries) ++code;
            b.push_back(static_cast<uint8_t>(0x80 | code));
            b.push_back(bg);
            b.push_back(0);
            for (int i = 0; i < (2 << code); ++i) {
                b.push_back(static_cast<uint8_t>(i * 40));
                b.push_back(static_cast<uint8_t>(i * 20));
                b.push_back(static_cast<uint8_t>(255 - i));
            }
        } else {
            b.insert(b.end(), {0, bg, 0});
        }
    }
    GifBuilder& Gce(uint8_t flags, int delay, uint8_t ti) {
        b.insert(b.end(), {0x21, 0xF9, 4, flags, static_cast<uint8_t>(delay),
                           static_cast<uint8_t>(delay >> 8), ti, 0});
        return *this;
    }
    GifBuilder& Raw(std::initializer_list<uint8_t> bytes) {
        b.insert(b.end(), bytes);
        return *this;
    }
    GifBuilder& Extension(uint8_t label, const std::vector<std::string>& sub_blocks) {
        b.push_back(0x21);
        b.push_back(label);
        for (const auto& s : sub_blocks) {
            b.push_back(static_cast<uint8_t>(s.size()));
            b.insert(b.end(), s.begin(), s.end());
        }
        b.push_back(0);
        return *this;
    }
    GifBuilder& Loop(int loop) {
        b.insert(b.end(), {0x21, 0xFF, 11});
        const std::string id = "NETSCAPE2.0";
        b.insert(b.end(), id.begin(), id.end());
        b.insert(b.end(), {3, 1, static_cast<uint8_t>(loop), static_cast<uint8_t>(loop >> 8), 0});
        return *this;
    }
    // An image whose data codes each pixel after a clear code, so that the
    // code width never changes. `pixels` are in stream order. With `end`
    // false the end code is left out; `terminate` false leaves the data open.
    GifBuilder& Image(int l, int t, int w, int h, const std::vector<uint8_t>& pixels,
                      uint8_t flags = 0, int min_code_size = 2, bool end = true,
                      bool terminate = true) {
        b.push_back(0x2C);
        Put16(l);
        Put16(t);
        Put16(w);
        Put16(h);
        b.push_back(flags);
        if (flags & 0x80)
            for (int i = 0; i < (2 << (flags & 7)); ++i) b.insert(b.end(), {1, 2, 3});
        b.push_back(static_cast<uint8_t>(min_code_size));
        const int clear = 1 << min_code_size, width = min_code_size + 1;
        std::vector<uint8_t> data;
        uint32_t acc = 0;
        int bits = 0;
        auto put = [&](int code) {
            acc |= static_cast<uint32_t>(code) << bits;
            bits += width;
            while (bits >= 8) {
                data.push_back(static_cast<uint8_t>(acc));
                acc >>= 8;
                bits -= 8;
            }
        };
        for (uint8_t p : pixels) {
            put(clear);
            put(p);
        }
        if (end) put(clear + 1);
        if (bits > 0) data.push_back(static_cast<uint8_t>(acc));
        for (size_t p = 0; p < data.size(); p += 255) {
            const size_t n = std::min<size_t>(255, data.size() - p);
            b.push_back(static_cast<uint8_t>(n));
            b.insert(b.end(), data.begin() + static_cast<ptrdiff_t>(p),
                     data.begin() + static_cast<ptrdiff_t>(p + n));
        }
        if (terminate) b.push_back(0);
        return *this;
    }
    GifBuilder& Trailer() {
        b.push_back(0x3B);
        return *this;
    }

private:
    void Put16(int v) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    }
};

}  // namespace cinemill::testing
