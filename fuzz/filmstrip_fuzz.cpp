// Filmstrip import: a document decoded from arbitrary bytes cut into the
// grid the first two bytes give.
#include "cinemill/formats/filmstrip.h"
#include "decode_gif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cinemill;
    if (size < 2) return 0;
    auto a = fuzz::DecodeGif(data + 2, size - 2);
    if (!a) return 0;
    SetMemoryBudget(uint64_t{16} << 20);
    FilmstripImportOptions o;
    o.framesPerRow = 1 + (data[0] & 0x3F);
    o.framesPerColumn = 1 + (data[1] & 0x3F);
    o.vertical = data[0] & 0x80;
    SilentUiHost host;
    PreferenceBlock prefs;
    CutFilmstrip(*a, o, host, prefs);
    return 0;
}
