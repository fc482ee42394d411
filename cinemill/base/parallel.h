#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

namespace cinemill {

// Runs fn(i) for every i in [0, n), on one thread per core (at most
// `max_threads` when not 0, at most 8), the calling thread taking part.
// Calls for different i must not touch the same data, and fn must not
// throw. Where no thread can be had, the calling thread does it all.
template <typename Fn>
void ParallelFor(size_t n, Fn&& fn, unsigned max_threads = 0) {
    unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    if (max_threads != 0) cores = std::min(cores, max_threads);
    const size_t threads = std::min<size_t>(cores, n);
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < n;) fn(i);
    };
    std::vector<std::thread> helpers;
    try {
        for (size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
    } catch (const std::system_error&) {
        // The threads started do their share; the calling thread the rest.
    }
    work();
    for (std::thread& t : helpers) t.join();
}

}  // namespace cinemill
