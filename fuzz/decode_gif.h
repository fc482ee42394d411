// What the writer targets share: a document decoded from the fuzzed bytes
// as a GIF, under a small memory budget so that every run stays quick.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "cinemill/base/memory.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill::fuzz {

inline std::unique_ptr<Animation> DecodeGif(const uint8_t* data, size_t size) {
    FrameBitmap::SetByteLimit(uint64_t{1} << 22);
    SilentUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    GifReadOptions options;
    options.memoryBudget = uint64_t{16} << 20;
    return ReadGif(std::span<const uint8_t>(data, size), host, progress, prefs, options).animation;
}

}  // namespace cinemill::fuzz
