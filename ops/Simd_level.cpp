#include "ops/Simd_level.h"

#include <atomic>

namespace {

SimdLevel Detect()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512vbmi"))
        return SimdLevel::kAvx512;
    if (__builtin_cpu_supports("avx2"))
        return SimdLevel::kAvx2;
    if (__builtin_cpu_supports("ssse3"))
        return SimdLevel::kSsse3;
#endif
    return SimdLevel::kPlain;
}

std::atomic<int> g_cap{static_cast<int>(SimdLevel::kAvx512)};

} // namespace

SimdLevel DetectedSimdLevel()
{
    static const SimdLevel level = Detect();
    return level;
}

SimdLevel ActiveSimdLevel()
{
    const int cap = g_cap.load(std::memory_order_relaxed);
    const int detected = static_cast<int>(DetectedSimdLevel());
    return static_cast<SimdLevel>(cap < detected ? cap : detected);
}

void CapSimdLevel(SimdLevel level) { g_cap.store(static_cast<int>(level), std::memory_order_relaxed); }
