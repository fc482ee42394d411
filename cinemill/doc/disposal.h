#pragma once

namespace cinemill {

// Disposal methods (Frame::Disposal(), bits 2-4 of the control flags): what
// becomes of a frame's rectangle before the next frame is drawn. 4-7 are
// undefined and shown as kDisposeNone.
constexpr int kDisposeNone = 0;        // not specified: left in place
constexpr int kDisposeKeep = 1;        // left in place
constexpr int kDisposeBackground = 2;  // cleared to the background
constexpr int kDisposePrevious = 3;    // restored to what was there before

}  // namespace cinemill
