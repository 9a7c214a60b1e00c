#include "ops/Edgedetection.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Largest Gx² + Gy²: both gradients reach ±765.
constexpr int kMaxSquare = 2 * 765 * 765;

// trunc(sqrt(m)) mod 256 for every m the operator can produce.
const std::uint8_t* MagnitudeTable()
{
    static const std::vector<std::uint8_t> table = [] {
        std::vector<std::uint8_t> t(kMaxSquare + 1);
        for (int m = 0; m <= kMaxSquare; ++m)
            t[static_cast<std::size_t>(m)] =
                static_cast<std::uint8_t>(m > 0 ? static_cast<int>(std::sqrt(static_cast<double>(m))) & 255 : 0);
        return t;
    }();
    return table.data();
}

} // namespace

void DetectEdges(const Dib& src, Dib& dst)
{
    const int w = src.Width(), h = src.Height();
    if (w < 3 || h < 3 || dst.Width() != w || dst.Height() != h)
        return;
    const std::uint8_t* mag = MagnitudeTable();
    const int n = (w - 2) * 3;
    for (int y = 1; y < h - 1; ++y) {
        const std::uint8_t* up = src.ScanLine(y - 1);
        const std::uint8_t* mid = src.ScanLine(y);
        const std::uint8_t* down = src.ScanLine(y + 1);
        std::uint8_t* d = dst.ScanLine(y) + 3;
        for (int i = 0; i < n; ++i) {
            // i + 3 is byte k of pixel x; i and i + 6 are the same byte of x − 1 and x + 1.
            const int gx = (up[i + 6] - up[i]) + (mid[i + 6] - mid[i]) + (down[i + 6] - down[i]);
            const int gy = (up[i] + up[i + 3] + up[i + 6]) - (down[i] + down[i + 3] + down[i + 6]);
            d[i] = mag[gx * gx + gy * gy];
        }
    }
}
