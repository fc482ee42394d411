#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cinemill {

// Reserves room for `n` bytes in `v` and, where the system offers it, makes
// the pages of that room present in one call instead of one page fault each:
// frame bitmaps and true-colour planes run to hundreds of megabytes, and page
// faults are slow (on virtual machines above all). Harmless where the pages
// are already there or the call is not supported. May throw std::bad_alloc.
void ReserveForWriting(std::vector<uint8_t>& v, size_t n);

}  // namespace cinemill
