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

}  // namespace cinemill
