#pragma once
// Helpers shared by the format tests: reference images decoded by
// independent tools, and the colour a frame shows at a pixel.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill::testing_support {

inline std::string Corpus(const std::string& rel) { return std::string(CM_CORPUS_DIR) + "/" + rel; }
inline bool Exists(const std::string& p) { return std::filesystem::exists(p); }

inline std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("cm_formats_test_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // rows of width * 3 bytes
    bool ok() const { return width > 0; }
};

// A binary PPM (P6, maxval 255).
inline RgbImage ReadPpm(const std::string& path) {
    RgbImage img;
    std::vector<uint8_t> d = ReadAll(path);
    std::string head(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(d.size(), 64)));
    int w = 0, h = 0, maxval = 0, consumed = 0;
    if (std::sscanf(head.c_str(), "P6 %d %d %d%n", &w, &h, &maxval, &consumed) != 3 || maxval != 255)
        return img;
    const size_t at = static_cast<size_t>(consumed) + 1;
    if (d.size() < at + size_t(w) * h * 3) return img;
    img.width = w, img.height = h;
    img.rgb.assign(d.begin() + static_cast<std::ptrdiff_t>(at),
                   d.begin() + static_cast<std::ptrdiff_t>(at + size_t(w) * h * 3));
    return img;
}

// Runs a command; true for exit status 0.
inline bool RunCommand(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0; }

// Decodes any image Pillow reads (first frame, flattened to RGB).
inline RgbImage DecodeWithPillow(const std::string& path) {
    const std::string out = TempPath("pil.ppm");
    if (!RunCommand("/usr/bin/python3 -c \"import sys; from PIL import Image; "
             "Image.open(sys.argv[1]).convert('RGB').save(sys.argv[2], 'PPM')\" '" +
             path + "' '" + out + "'"))
        return {};
    RgbImage img = ReadPpm(out);
    std::remove(out.c_str());
    return img;
}

// The colour frame `f` shows at (x, y) of its own pixels: the palette in
// effect for 8-bit frames, the TrueColorPlane otherwise.
inline Rgb PixelOf(const Animation& a, const Frame& f, int x, int y) {
    if (f.bitmap) {
        const Palette* p = PaletteInEffect(a, f);
        const int i = f.bitmap->At(x, y);
        return p && i < p->size() ? (*p)[i] : Rgb{};
    }
    const size_t stride = (static_cast<size_t>(f.width) * 3 + 3) / 4 * 4;
    const uint8_t* q = f.trueColor.data() + stride * y + 3 * x;
    return Rgb{q[2], q[1], q[0]};
}

// Number of pixels that differ by more than `tolerance` in any channel.
inline int CountDifferences(const Animation& a, const Frame& f, const RgbImage& ref, int tolerance = 0) {
    int bad = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            const Rgb c = PixelOf(a, f, x, y);
            const uint8_t* r = ref.rgb.data() + (size_t(y) * ref.width + x) * 3;
            if (std::abs(c.r - r[0]) > tolerance || std::abs(c.g - r[1]) > tolerance ||
                std::abs(c.b - r[2]) > tolerance)
                ++bad;
        }
    return bad;
}

}  // namespace cinemill::testing_support
