#pragma once

#include <cstdint>

namespace branchwork {

// A colour as the platform keeps it: 0x00BBGGRR (red in the lowest byte), or
// a system colour 0xFF0000nn where nn is the system colour number.
using Color = uint32_t;

constexpr Color MakeColor(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<Color>(r) | (static_cast<Color>(g) << 8) | (static_cast<Color>(b) << 16);
}
constexpr uint8_t RedOf(Color c) { return static_cast<uint8_t>(c & 0xFF); }
constexpr uint8_t GreenOf(Color c) { return static_cast<uint8_t>((c >> 8) & 0xFF); }
constexpr uint8_t BlueOf(Color c) { return static_cast<uint8_t>((c >> 16) & 0xFF); }

constexpr Color kSystemColorFlag = 0xFF000000u;
constexpr bool IsSystemColor(Color c) { return (c & 0xFF000000u) == kSystemColorFlag; }
constexpr Color SystemColor(int number) { return kSystemColorFlag | static_cast<Color>(number & 0xFF); }

// System colour numbers the builder uses.
constexpr int kColorWindow = 5;
constexpr int kColorWindowText = 8;
constexpr int kColorButtonFace = 15;

constexpr Color kBlack = MakeColor(0, 0, 0);
constexpr Color kWhite = MakeColor(255, 255, 255);
constexpr Color kRed = MakeColor(255, 0, 0);
constexpr Color kYellow = MakeColor(255, 255, 0);
constexpr Color kBlue = MakeColor(0, 0, 255);
constexpr Color kButtonFace = SystemColor(kColorButtonFace);

// Resolves a system colour to fixed red, green and blue values, so that the
// markup does not depend on the desktop theme of the machine that writes it:
//   window 255,255,255; window text 0,0,0; button face 240,240,240;
//   button shadow 160,160,160; button highlight 255,255,255; highlight
//   0,120,215; highlight text 255,255,255; gray text 109,109,109;
//   info background 255,255,225; info text 0,0,0; any other number 192,192,192.
// An ordinary colour is returned with its top byte cleared.
Color ResolveColor(Color c);

}  // namespace branchwork
