// The animated-cursor writer on documents decoded from arbitrary bytes; what
// it builds must import again.
#include <cstdlib>

#include "cinemill/formats/ani.h"
#include "decode_gif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cinemill;
    auto a = fuzz::DecodeGif(data, size);
    if (!a) return 0;
    SilentUiHost host;
    const std::vector<uint8_t> ani = BuildAni(*a, host);
    if (ani.empty()) return 0;
    PreferenceBlock prefs;
    if (!ImportAni(ani, host, prefs).animation) std::abort();
    return 0;
}
