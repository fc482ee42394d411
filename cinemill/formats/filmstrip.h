#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cinemill/base/result.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/animation.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {

class PreferenceBlock;

// Why an animation cannot become one filmstrip (transparency states first,
// then local palettes); none when it can.
std::optional<StringId> FilmstripExportProblem(const Animation& a);

// The dialog's start values: vertical when the screen is at least as wide
// as high; all frames in one strip.
FilmstripExportOptions DefaultFilmstripExportOptions(const Animation& a);

// Width and height of the filmstrip image for the options.
std::pair<int64_t, int64_t> FilmstripImageSize(const Animation& a, const FilmstripExportOptions& o);

// The one-frame animation holding the filmstrip: every frame copied as
// stored into its cell, clipped to that cell; empty cells keep the
// background index. None after a message when it cannot be built.
std::unique_ptr<Animation> BuildFilmstrip(const Animation& a, const FilmstripExportOptions& o,
                                          UiHost& host, const PreferenceBlock& prefs);

// Checks, asks the options through the host, builds and saves the filmstrip
// to `path` through a temporary file. Failed after a message; Stopped when
// the user cancelled.
Result ExportFilmstrip(const Animation& a, const std::string& path, UiHost& host,
                       const PreferenceBlock& prefs);

// Why the grid does not fit a width x height image; none when it does.
std::optional<StringId> FilmstripImportProblem(uint32_t width, uint32_t height,
                                               const FilmstripImportOptions& o);

// Cuts the single frame of `a` into cells, in place. False after a message.
bool CutFilmstrip(Animation& a, const FilmstripImportOptions& o, UiHost& host,
                  const PreferenceBlock& prefs);

// Opens a GIF, checks that it holds one image, asks the grid through the
// host and cuts it. No animation when refused or cancelled.
ReadOutcome ImportFilmstrip(const std::string& path, UiHost& host, ProgressReporter& progress,
                            const PreferenceBlock& prefs);

}  // namespace cinemill
