#pragma once

#include "cinemill/doc/animation.h"

namespace cinemill {

// The Resize dialog's linked fields: new size in pixels and in percent of
// the current screen size, with "Maintain aspect ratio" tying the two axes.
struct ResizeFields {
    int oldW = 1, oldH = 1;          // current screen size
    int width = 1, height = 1;       // new size
    int widthPercent = 100, heightPercent = 100;
    bool keepAspect = false;
    friend bool operator==(const ResizeFields&, const ResizeFields&) = default;
};
// The fields when the dialog opens: the current size at 100%.
ResizeFields ResizeFieldsStart(int w, int h, bool keep_aspect = false);
// Typing into one field recomputes its partner (and the other axis with
// the aspect kept). Sides stay within 1 to 10000.
ResizeFields TypeWidth(ResizeFields f, int w);
ResizeFields TypeHeight(ResizeFields f, int h);
ResizeFields TypeWidthPercent(ResizeFields f, int p);
ResizeFields TypeHeightPercent(ResizeFields f, int p);
// Ticking "Maintain aspect ratio" re-applies the width.
ResizeFields SetKeepAspect(ResizeFields f, bool on);

// True when bicubic scaling should warn: some frame that is transparent or
// has a non-zero offset has a disposal other than 2.
bool BicubicNeedsWarning(const Animation& a);

}  // namespace cinemill
