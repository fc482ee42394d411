#include "cinemill/base/memory.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace cinemill {

void ReserveForWriting(std::vector<uint8_t>& v, size_t n) {
    v.reserve(n);
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    // Small buffers are not worth the call.
    if (n < (size_t{1} << 16)) return;
    constexpr uintptr_t kPage = 4096;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(v.data()) + kPage - 1) & ~(kPage - 1);
    const uintptr_t last = (reinterpret_cast<uintptr_t>(v.data()) + n) & ~(kPage - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#endif
}

}  // namespace cinemill
