#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cinemill/base/file_io.h"
#include "cinemill/base/strings.h"

namespace cinemill {

// Replaces the first "%x" in a text with the number in lower-case hexadecimal.
std::string ReplaceHex(std::string text, uint32_t value);

// The text after the last '.' of a path (empty when none), lower-cased.
std::string LowerExtension(std::string_view path);

// The file-name part of a path (after the last '/' or '\').
std::string_view FileNamePart(std::string_view path);

// Big-endian loads; the caller has checked the bounds.
inline uint16_t LoadBE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t LoadBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

}  // namespace cinemill
