#include "base/Orientation.h"

#include <cstring>

void OrientedSize(int orientation, int w, int h, int& out_w, int& out_h)
{
    const bool swap = orientation >= 5 && orientation <= 8;
    out_w = swap ? h : w;
    out_h = swap ? w : h;
}

void OrientPixels(int orientation, const std::uint8_t* src, std::size_t src_stride, int w, int h, std::uint8_t* dst,
                  std::size_t dst_stride)
{
    int ow = 0, oh = 0;
    OrientedSize(orientation, w, h, ow, oh);
    const auto W = static_cast<std::ptrdiff_t>(w), H = static_cast<std::ptrdiff_t>(h);
    const auto S = static_cast<std::ptrdiff_t>(src_stride);
    for (std::ptrdiff_t dy = 0; dy < oh; ++dy) {
        // The source pixel of (0, dy) and the step between neighbours of the output row.
        std::ptrdiff_t sx = 0, sy = 0, step = 3;
        switch (orientation) {
        case 2: sx = W - 1; sy = dy; step = -3; break;
        case 3: sx = W - 1; sy = H - 1 - dy; step = -3; break;
        case 4: sx = 0; sy = H - 1 - dy; break;
        case 5: sx = dy; sy = 0; step = S; break;
        case 6: sx = dy; sy = H - 1; step = -S; break;
        case 7: sx = W - 1 - dy; sy = H - 1; step = -S; break;
        case 8: sx = W - 1 - dy; sy = 0; step = S; break;
        default: sx = 0; sy = dy; break;
        }
        const std::uint8_t* s = src + sy * S + sx * 3;
        std::uint8_t* d = dst + static_cast<std::size_t>(dy) * dst_stride;
        if (step == 3) {
            std::memcpy(d, s, static_cast<std::size_t>(ow) * 3);
            continue;
        }
        for (int dx = 0; dx < ow; ++dx, s += step, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}
