// Feeds arbitrary bytes to the GIF reader; writes back what it read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "cinemill/base/memory.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cinemill;
    // A small budget: files declaring huge frames stop early, as they do
    // for a user past the default budget, and runs stay quick. Writing a
    // frame back costs in proportion to its pixels however few bytes
    // declared it, so the limit per frame is what keeps the rate up.
    FrameBitmap::SetByteLimit(uint64_t{1} << 20);
    SetMemoryBudget(uint64_t{8} << 20);
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
