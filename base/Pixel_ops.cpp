#include "base/Pixel_ops.h"

namespace {

using SwapFn = void (*)(const std::uint8_t*, std::uint8_t*, std::size_t);

// The loop is compiled once per instruction set below; the compiler vectorises it with
// byte shuffles where the set has them.
[[gnu::always_inline]] inline void SwapLoop(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels)
{
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t b = src[3 * i];
        const std::uint8_t g = src[3 * i + 1];
        const std::uint8_t r = src[3 * i + 2];
        dst[3 * i] = r;
        dst[3 * i + 1] = g;
        dst[3 * i + 2] = b;
    }
}

void SwapPlain(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels) { SwapLoop(src, dst, pixels); }

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("ssse3")]] void SwapSsse3(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels)
{
    SwapLoop(src, dst, pixels);
}

[[gnu::target("avx2")]] void SwapAvx2(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels)
{
    SwapLoop(src, dst, pixels);
}
#endif

SwapFn PickSwap()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return SwapAvx2;
    if (__builtin_cpu_supports("ssse3"))
        return SwapSsse3;
#endif
    return SwapPlain;
}

} // namespace

void SwapRedBlue(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels)
{
    static const SwapFn swap = PickSwap();
    swap(src, dst, pixels);
}
