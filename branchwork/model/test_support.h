#pragma once

// Helpers for branchwork's tests: small GIF files and scratch directories.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/doc/animation.h"
#include "cinemill/gif/gif_writer.h"

namespace branchwork::testing {

// Writes a w x h GIF whose pixels are all palette colour 1 (r, g, b).
inline bool WriteTestGif(const std::string& path, int w, int h, uint8_t r = 200, uint8_t g = 10, uint8_t b = 30) {
    cinemill::PreferenceBlock prefs;
    auto a = cinemill::NewAnimation(static_cast<uint32_t>(w), static_cast<uint32_t>(h), prefs);
    const uint8_t rgb[6] = {0, 0, 0, r, g, b};
    cinemill::SetGlobalPalette(*a, cinemill::Palette::FromTriples(rgb, 2));
    cinemill::Frame* f = a->FrameAt(0);
    f->bitmap = cinemill::FrameBitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) f->bitmap->Row(y)[x] = 1;
    cinemill::VectorSink sink;
    cinemill::SilentProgress progress;
    if (cinemill::WriteGif(sink, *a, progress) != cinemill::Result::Done) return false;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(sink.bytes.data()), static_cast<std::streamsize>(sink.bytes.size()));
    return static_cast<bool>(out);
}

// A fresh empty directory under the system temp directory, removed at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name) {
        path_ = std::filesystem::temp_directory_path() / ("bw_test_" + name);
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    // The directory with a trailing "/".
    std::string Dir() const { return path_.string() + "/"; }
    std::string File(const std::string& rel) const { return (path_ / rel).string(); }
    std::string Sub(const std::string& rel) const {
        std::filesystem::create_directories(path_ / rel);
        return (path_ / rel).string() + "/";
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

}  // namespace branchwork::testing
