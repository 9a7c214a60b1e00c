// Small pixel loops shared by the codecs, compiled for the processor they run on.
#pragma once

#include <cstddef>
#include <cstdint>

// Copies 3-byte pixels exchanging their first and third bytes (blue-green-red to
// red-green-blue and back). src and dst may be the same buffer.
void SwapRedBlue(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels);
