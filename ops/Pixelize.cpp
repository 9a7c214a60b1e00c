#include "ops/Pixelize.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "ops/Ops_common.h"

#include <vector>

int Pixelate(const Dib& src, Dib& dst, std::int32_t n)
{
    if (const int rc = CopyBitmap(src, dst); rc != kOk)
        return rc;
    if (n < 1)
        return kOk;
    const int w = src.Width(), h = src.Height();
    const int blocks = w / n;
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(blocks) * 3);
    const std::uint64_t area = static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(n);
    for (int y0 = 0; y0 + n <= h; y0 += n) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int y = y0; y < y0 + n; ++y) {
            const std::uint8_t* s = src.ScanLine(y);
            for (int b = 0; b < blocks; ++b)
                for (int x = 0; x < n; ++x, s += 3) {
                    sums[static_cast<std::size_t>(b) * 3] += s[0];
                    sums[static_cast<std::size_t>(b) * 3 + 1] += s[1];
                    sums[static_cast<std::size_t>(b) * 3 + 2] += s[2];
                }
        }
        for (int y = y0; y < y0 + n; ++y) {
            std::uint8_t* d = dst.ScanLine(y);
            for (int b = 0; b < blocks; ++b) {
                const std::uint8_t avg[3] = {static_cast<std::uint8_t>(sums[static_cast<std::size_t>(b) * 3] / area),
                                             static_cast<std::uint8_t>(sums[static_cast<std::size_t>(b) * 3 + 1] / area),
                                             static_cast<std::uint8_t>(sums[static_cast<std::size_t>(b) * 3 + 2] / area)};
                for (int x = 0; x < n; ++x, d += 3) {
                    d[0] = avg[0];
                    d[1] = avg[1];
                    d[2] = avg[2];
                }
            }
        }
    }
    return kOk;
}

int Pixelate(TIMAGE_INFO& doc, Dib& preview)
{
    if (!doc.display)
        return kOk;
    return Pixelate(*doc.display, doc.direct_decode != 0 ? preview : doc.result_bitmap, doc.effect_parameter);
}
