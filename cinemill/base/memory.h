#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace cinemill {

// Reserves room for `n` bytes in `v` and, where the system offers it, makes
// the pages of that room present in one call instead of one page fault each:
// true-colour planes run to hundreds of megabytes, and page faults are slow
// (on virtual machines above all). Only for buffers that are about to be
// written whole. Harmless where the pages are already there or the call is
// not supported. May throw std::bad_alloc.
void ReserveForWriting(std::vector<uint8_t>& v, size_t n);

// An allocator that takes its memory from calloc and leaves elements that
// are made without a value as calloc left them (zero). A large buffer then
// costs memory only for the pages that are written: a frame that declares a
// huge size but holds little data stays small. Growing a vector of this
// kind within its capacity after shrinking it leaves the old bytes in place.
template <class T>
struct ZeroPageAllocator {
    using value_type = T;
    ZeroPageAllocator() = default;
    template <class U>
    ZeroPageAllocator(const ZeroPageAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n == 0) n = 1;
        void* p = std::calloc(n, sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t) noexcept { std::free(p); }
    // Made without a value: left as allocated (zero from calloc).
    template <class U>
    void construct(U*) noexcept {}
    template <class U, class... A>
    void construct(U* p, A&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
    }
    template <class U>
    friend bool operator==(const ZeroPageAllocator&, const ZeroPageAllocator<U>&) noexcept {
        return true;
    }
};

// Bytes whose untouched pages cost nothing (see ZeroPageAllocator). A copy
// is one memcpy: a vector with this allocator would copy byte by byte
// through its construct(), and frames of a megabyte or more are copied
// often.
class ZeroedBytes : public std::vector<uint8_t, ZeroPageAllocator<uint8_t>> {
public:
    using Base = std::vector<uint8_t, ZeroPageAllocator<uint8_t>>;
    using Base::Base;
    ZeroedBytes() = default;
    ZeroedBytes(const ZeroedBytes& o) : Base(o.size()) { CopyFrom(o); }
    ZeroedBytes(ZeroedBytes&&) noexcept = default;
    ZeroedBytes& operator=(ZeroedBytes&&) noexcept = default;
    ZeroedBytes& operator=(const ZeroedBytes& o) {
        if (this == &o) return *this;
        if (capacity() < o.size()) {
            ZeroedBytes fresh(o);
            swap(fresh);
        } else {
            resize(o.size());
            CopyFrom(o);
        }
        return *this;
    }
    ~ZeroedBytes() = default;

private:
    void CopyFrom(const ZeroedBytes& o) {
        if (!o.empty()) std::memcpy(data(), o.data(), o.size());
    }
};

// Same bytes (found by argument-dependent lookup; either order).
inline bool operator==(const ZeroedBytes& a, const std::vector<uint8_t>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// ---- memory budget -----------------------------------------------------------

// Physical memory of the machine in bytes (4 GiB when it cannot be told).
uint64_t PhysicalMemoryBytes();

// The most memory one document may take while it is read or built: a
// quarter of physical memory unless changed. Reading stops, keeping what was
// read before, once the frames and pictures of a document would go past it.
uint64_t MemoryBudget();
// Sets the budget in bytes; 0 restores the default.
void SetMemoryBudget(uint64_t bytes);

// Counts what one document has taken against a budget.
class MemoryAccount {
public:
    explicit MemoryAccount(uint64_t budget = MemoryBudget()) : budget_(budget) {}
    // Adds `bytes` when they fit the budget; false (nothing added) when not.
    bool Take(uint64_t bytes) {
        if (bytes > budget_ - used_) return false;
        used_ += bytes;
        return true;
    }
    uint64_t Used() const { return used_; }
    uint64_t Budget() const { return budget_; }

private:
    uint64_t budget_;
    uint64_t used_ = 0;
};

}  // namespace cinemill
