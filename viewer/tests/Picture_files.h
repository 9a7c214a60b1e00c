// Test pictures written by the program's own writers.
#pragma once

#include "dec_enc/Codec_ctx.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <cstdint>
#include <functional>
#include <string>

// Pixel (x, y) → blue, green, red.
using PixelFn = std::function<void(int x, int y, std::uint8_t* bgr)>;

// Writes a PPM (or, with pgm, a PGM of the green channel) of w × h pixels.
inline bool WriteTestPicture(const std::string& path, int w, int h, const PixelFn& pixel, bool pgm = false)
{
    CODEC_CTX ctx;
    if (ctx.ReserveDecoded(w, h) != kOk)
        return false;
    ctx.width = w;
    ctx.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixel(x, y, ctx.DecodedRow(y) + 3 * x);
    ctx.output_file_name = path;
    return (pgm ? WritePgm(ctx) : WritePpm(ctx)) == kOk;
}

// One colour all over.
inline bool WriteSolidPicture(const std::string& path, int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    return WriteTestPicture(path, w, h, [=](int, int, std::uint8_t* p) {
        p[0] = b;
        p[1] = g;
        p[2] = r;
    });
}
