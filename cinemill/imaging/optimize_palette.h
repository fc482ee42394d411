#pragma once

#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// A colour as one number, for finding entries of the same colour.
inline uint32_t RgbKey(Rgb c) { return uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b; }

// Where the used entries of a frame's local palette go in a global palette.
struct LocalPalettePlacement {
    bool ok = false;
    Palette global;                   // the global palette after placing
    ColorUsage usage{};               // global usage after placing
    std::array<int16_t, 256> map{};   // local index -> global index (-1 unused)
};

// Places the used entries of `f`'s local palette into `global` (counts
// `usage`): an equal entry, else the first entry no pixel uses (searching on
// from the last one taken), else a new entry while there are fewer than 256.
// A colour that finds no place fails the placement, or with `nearest` takes
// the nearest entry (least squared distance, lowest index). The transparent
// index of a transparent frame always gets an index of its own that none of
// the frame's opaque colours goes to.
LocalPalettePlacement PlaceLocalPalette(const Palette& global, const ColorUsage& usage, const Frame& f,
                                        bool nearest);

// Removes local palettes into the global palette: only frames whose colours
// fit cleanly, or every frame with `nearest` (colours that do not fit take
// the nearest global colour).
Result RemoveLocalPalettesIntoGlobal(Animation& a, bool nearest, ProgressReporter& progress,
                                     bool& changed);

// One new global palette for all frames; every frame loses its local
// palette. `counts`, when given with one entry per frame, holds the frames'
// pixel counts (CountFramePixels), which are then not counted again; on
// return it holds the counts after the stage, or is empty when they are not
// known (the colours did not fit and were merged).
Result BuildMetaPalette(Animation& a, UiHost& host, ProgressReporter& progress,
                        const PreferenceBlock& prefs, bool& changed, std::vector<ColorUsage>* counts = nullptr);

// Index of the nearest colour (least squared RGB distance, lowest index on ties).
int NearestEntry(const Palette& p, Rgb c);

}  // namespace cinemill
