#include "ops/Explssn.h"

#include "core/Imageinfo.h"
#include "core/Result_codes.h"
#include "ops/Ops_common.h"

#include <cstdlib>
#include <cstring>

int Explode(const Dib& src, Dib& dst, std::int32_t n)
{
    if (&src == &dst)
        return kDataError;
    if (const int rc = CopyBitmap(src, dst); rc != kOk)
        return rc;
    const bool table = n >= 3 && n <= 11 && (n & 1) != 0;
    const int w = src.Width(), h = src.Height();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = src.ScanLine(y);
        for (int x = 0; x < w; ++x, s += 3) {
            const int r = std::rand(); // NOLINT: the unseeded runtime generator is intended
            if (!table)
                continue;
            const int b = -(n / 2) + r % (n - 1);
            if (x + b >= 0 && x + b < w)
                std::memcpy(dst.ScanLine(y) + static_cast<std::size_t>(x + b) * 3, s, 3);
            if (y + b >= 0 && y + b < h)
                std::memcpy(dst.ScanLine(y + b) + static_cast<std::size_t>(x) * 3, s, 3);
        }
    }
    return kOk;
}

int Explode(TIMAGE_INFO& doc)
{
    if (!doc.display)
        return kOk;
    return Explode(*doc.display, doc.result_bitmap, doc.effect_parameter);
}
