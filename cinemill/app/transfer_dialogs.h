#pragma once

#include <cstdint>
#include <string>

#include "cinemill/base/ui_host.h"

// The rules of the import and export option dialogs that the dialogs only
// show: the filmstrip export's figures and field limits, the hot-spot
// fields' limits, the PSD layer choice in preference slot 6.
namespace cinemill::transfer {

// "(of %d total)" beside the frames-per-strip field.
std::string FilmstripOfTotalText(int frame_count);
// The result line: "for total of %d strip(s) and %dx%d pixels." for frames
// of width x height laid out by `o` (strips = frames / per strip, rounded
// up). Empty while the per-strip number is below 1.
std::string FilmstripResultText(int frame_count, int64_t width, int64_t height, const FilmstripExportOptions& o);

// The frames-per-strip field after typing: a value above the frame count
// becomes the frame count and `beep` is set; values below 1 stay as typed
// (OK refuses them).
int ClampFramesPerStrip(long long typed, int frame_count, bool& beep);

// A hot-spot field (x or y): clamped to 0..limit.
int ClampHotspotField(long long typed, int limit);

}  // namespace cinemill::transfer
