#include "ops/Explssn.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "ops/Ops_common.h"

#include <cstring>

namespace {

// The effect's pseudo-random generator: never seeded, so every run of the program draws
// the same sequence, continuing from one use to the next. Non-negative values. Each thread
// has its own sequence.
thread_local std::uint32_t g_state = 1;
int NextRandom()
{
    g_state = g_state * 1103515245u + 12345u;
    return static_cast<int>(g_state >> 1);
}

} // namespace

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
            const int r = NextRandom();
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
