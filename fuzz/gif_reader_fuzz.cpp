// Feeds arbitrary bytes to the GIF reader; writes back what it read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cinemill;
    FrameBitmap::SetByteLimit(uint64_t{1} << 24);
    SilentUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    auto r = ReadGif(std::span<const uint8_t>(data, size), host, progress, prefs);
    if (r.animation) {
        CountingSink sink;
        WriteGif(sink, *r.animation, progress);
    }
    return 0;
}
