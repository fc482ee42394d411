#pragma once

#include <cstdint>

namespace cinemill {

// The bytes that start the blocks of a GIF stream after the screen
// descriptor.
constexpr uint8_t kGifExtension = 0x21;  // an extension; its label follows
constexpr uint8_t kGifImage = 0x2C;      // an image descriptor
constexpr uint8_t kGifTrailer = 0x3B;    // the end of the stream

// Extension labels (the byte after kGifExtension).
constexpr uint8_t kGifPlainText = 0x01;
constexpr uint8_t kGifGraphicControl = 0xF9;
constexpr uint8_t kGifComment = 0xFE;
constexpr uint8_t kGifApplication = 0xFF;

// Calls row(y) for the rows of an image in the order its data holds them:
// top to bottom, or the four passes of an interlaced image.
template <typename Fn>
void ForRowsInFileOrder(int height, bool interlaced, Fn&& row) {
    if (interlaced) {
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < height; y += kStep[pass]) row(y);
    } else {
        for (int y = 0; y < height; ++y) row(y);
    }
}

}  // namespace cinemill
