// Feeds arbitrary bytes to the colour picker's palette-file parsers (GIF
// global table, JASC-PAL, RIFF PAL, ACT) and sorts what they give.
#include <cstddef>
#include <cstdint>
#include <span>

#include "branchwork/widgets/palette_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    for (const char* name : {"f.gif", "f.pal", "f.act"}) {
        branchwork::PaletteParse r = branchwork::ParsePaletteBytes(name, bytes);
        if (r.palette) {
            auto colors = r.palette->colors;
            branchwork::SortByLuminance(colors, r.palette->sortCount);
            const auto grid = branchwork::GridFromPalette(*r.palette);
            (void)branchwork::NearestGridIndex(grid, {1, 2, 3});
        }
    }
    return 0;
}
