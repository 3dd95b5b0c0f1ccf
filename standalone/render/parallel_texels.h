// Texel work spread over threads in contiguous ranges: each texel is
// computed from its own index only, so the split never changes an image.
#pragma once

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

template <class Work> void ForTexelRanges(std::size_t n, int threads, const Work& work) {
    const auto count = static_cast<std::size_t>(std::max(1, threads));
    const std::size_t chunk = (n + count - 1) / count;
    std::vector<std::thread> pool;
    for (std::size_t k = 1; k < count; ++k) {
        pool.emplace_back(work, std::min(n, chunk * k), std::min(n, chunk * (k + 1)));
    }
    work(std::size_t(0), std::min(n, chunk));
    for (std::thread& th : pool) {
        th.join();
    }
}

// The cores a bake may use.
inline int BakeThreads() {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}
