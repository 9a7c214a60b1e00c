// What the full JPEG reader (dec_enc/Jpeg_r.cpp) and the reduced-size one
// (dec_enc/Jpeg_scaled.cpp) share: the library's memory bound, the rows a call asks for, and
// the CMYK rows turned into blue, green, red.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr long kJpegMaxLibraryMemory = 1L << 30;
inline constexpr int kJpegRowsPerCall = 16;

// C, M, Y, K to blue, green, red (Adobe files store the inks inverted). in and out may be
// the same row: each pixel is read before its three bytes are written.
inline void CmykToBgr(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels, bool inverted)
{
    for (std::size_t i = 0; i < pixels; ++i, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        const auto r = static_cast<std::uint8_t>((c * k + 127) / 255);
        const auto g = static_cast<std::uint8_t>((m * k + 127) / 255);
        const auto b = static_cast<std::uint8_t>((y * k + 127) / 255);
        out[0] = b;
        out[1] = g;
        out[2] = r;
    }
}
