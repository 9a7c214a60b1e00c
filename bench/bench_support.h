// Shared by the benchmarks: the memcpy baseline their ratios are measured against, and
// scratch file names.
#pragma once

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

// Seconds of one memcpy of that many bytes, best of five, measured once per size.
inline double MemcpySeconds(std::size_t bytes)
{
    static std::map<std::size_t, double> measured;
    if (auto it = measured.find(bytes); it != measured.end())
        return it->second;
    std::vector<std::uint8_t> a(bytes, 1), b(bytes, 2);
    double t = 1e9;
    for (int i = 0; i < 5; ++i) {
        const auto s = std::chrono::steady_clock::now();
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::DoNotOptimize(b.data());
        t = std::min(t, std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count());
    }
    return measured[bytes] = t;
}

// A file name under /tmp that no other process uses.
inline std::string Scratch(const std::string& name)
{
    return "/tmp/rvs-bench-" + std::to_string(getpid()) + "-" + name;
}
