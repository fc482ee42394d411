#include "cinemill/base/memory.h"

#include <atomic>

#include <unistd.h>
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

uint64_t PhysicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long page_size = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) return uint64_t{4} << 30;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

namespace {
std::atomic<uint64_t> g_budget{0};  // 0: the default
}  // namespace

uint64_t MemoryBudget() {
    const uint64_t set = g_budget.load();
    if (set != 0) return set;
    static const uint64_t kDefault = PhysicalMemoryBytes() / 4;
    return kDefault;
}

void SetMemoryBudget(uint64_t bytes) { g_budget = bytes; }

}  // namespace cinemill
