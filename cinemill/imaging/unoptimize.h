#pragma once

#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

class UiHost;

// Replaces every frame by the full screen picture shown at that frame.
// Refused (with a message, Failed) when a frame has a local palette.
// Delays and disposals stay, except that a frame whose leftovers would show
// through the next frame's transparent pixels (where nothing must show) gets
// disposal 2; `disposals_changed` receives how many frames that was.
Result Unoptimize(Animation& a, UiHost& host, ProgressReporter& progress, int* disposals_changed = nullptr);

}  // namespace cinemill
