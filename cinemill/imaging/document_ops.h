#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// Inserts the frames and extensions of `incoming` into `target` before frame
// `before_index` (-1 or beyond the last frame: after the last frame).
//  1. A wider or taller incoming screen asks the frame-size conflict choice
//     (preference slot 2); the enlarge answer grows the target's screen.
//  2. Palette merging with `target` as the target (`merge_method` 0: the
//     preference decides and may ask).
//  3. All blocks of `incoming` are moved into `target`; `incoming` is left
//     empty.
//  4. The target's colour usage is recounted; a target that had exactly one
//     frame and now has more gets the default loop count.
// Answers Done; Stopped when a question was cancelled or the progress was
// stopped (target and incoming are then as they were); Failed after a
// message (the target's screen size is restored; memory needed for dithering
// is secured before any pixel changes, but a true-colour frame whose bitmap
// cannot be allocated may leave frames mapped before it changed).
Result InsertAnimation(Animation& target, Animation& incoming, int before_index, UiHost& host,
                       ProgressReporter& progress, PreferenceBlock& prefs,
                       uint32_t merge_method = 0);

// Maps frame `frame_index` into the global palette and drops its local
// palette, by moving it into a temporary document whose global palette is
// the local one and inserting that back at the same place. When that does
// not succeed the frame, its palette and its place are as they were.
Result RemoveLocalPalette(Animation& document, int frame_index, UiHost& host,
                          ProgressReporter& progress, PreferenceBlock& prefs);

// Pastes a frame from the clipboard: the private frame record (optional) and
// the packed DIB (required). With a document the frame is inserted before
// `selected_frame` (at the end when it is -1); without one it goes through
// palette merging on its own and becomes the document.
Result PasteFrame(std::unique_ptr<Animation>& document, int selected_frame,
                  std::optional<std::span<const uint8_t>> record,
                  std::optional<std::span<const uint8_t>> dib, UiHost& host,
                  ProgressReporter& progress, PreferenceBlock& prefs);

}  // namespace cinemill
