#include "core/Pixel_ops.h"

// One version per instruction set; the loader picks the best the processor has.
__attribute__((target_clones("default", "ssse3", "avx2"))) void SwapRedBlue(const std::uint8_t* src,
                                                                            std::uint8_t* dst, std::size_t pixels)
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
