#pragma once
// The document of the editor's benchmarks: a 150-frame 1280 x 720 screen
// recording. CM_SCREENREC names the shared harness's
// c06_screenrec_1280x720x150.gif; without it a synthetic recording of the
// same shape is used (a dithered desktop in eight bands, and a window
// that moves four pixels a frame).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/animation.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill::bench {

inline std::unique_ptr<Animation> SyntheticRecording(int w, int h, int frames) {
    auto a = NewAnimation();
    a->width = static_cast<uint32_t>(w);
    a->height = static_cast<uint32_t>(h);
    Palette p;
    for (int i = 0; i < 64; ++i) p.entries.push_back(Rgb{uint8_t(i * 4), uint8_t(255 - i * 4), uint8_t(i * 9)});
    SetGlobalPalette(*a, p);
    uint32_t seed = 7;
    std::vector<uint8_t> desk(static_cast<size_t>(w) * h);
    for (auto& v : desk) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<uint8_t>((seed >> 16) % 8 + ((&v - desk.data()) / w / 90) * 8);
    }
    for (int k = 0; k < frames; ++k) {
        auto f = std::make_unique<Frame>();
        auto b = FrameBitmap::Create(w, h);
        for (int y = 0; y < h; ++y) {
            std::copy_n(desk.data() + static_cast<size_t>(y) * w, w, b->Row(y));
            if (y >= 100 && y < 140)
                for (int x = 200 + 4 * k; x < 320 + 4 * k && x < w; ++x) b->Row(y)[x] = uint8_t(60 + k % 4);
        }
        SetBitmap(*f, std::move(*b));
        f->delay = 7;
        a->blocks.push_back(std::move(f));
    }
    return a;
}

// The recording CM_SCREENREC names, else the synthetic one; `source`, when
// given, receives which it was.
inline std::unique_ptr<Animation> ScreenRecording(const char** source = nullptr) {
    if (const char* path = std::getenv("CM_SCREENREC")) {
        SilentUiHost host;
        SilentProgress progress;
        auto r = OpenGifFile(path, host, progress, PreferenceBlock());
        if (r.animation) {
            if (source) *source = path;
            return std::move(r.animation);
        }
    }
    if (source) *source = "synthetic 1280x720x150";
    return SyntheticRecording(1280, 720, 150);
}

}  // namespace cinemill::bench
