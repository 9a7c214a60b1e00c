#include "ops/Ops_common.h"

#include "core/Result_codes.h"

#include <cstring>

int EnsureBitmap(Dib& dst, int w, int h)
{
    if (dst.Width() == w && dst.Height() == h && dst.PixelFormat() == 24)
        return kOk;
    return dst.SetSize(w, h, 24);
}

int CopyBitmap(const Dib& src, Dib& dst)
{
    if (&src == &dst)
        return kOk;
    if (const int rc = EnsureBitmap(dst, src.Width(), src.Height()); rc != kOk)
        return rc;
    const std::size_t n = static_cast<std::size_t>(src.Width()) * 3;
    for (int y = 0; y < src.Height(); ++y)
        std::memcpy(dst.ScanLine(y), src.ScanLine(y), n);
    return kOk;
}

void FillBitmap(Dib& dst, std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    for (int y = 0; y < dst.Height(); ++y) {
        std::uint8_t* p = dst.ScanLine(y);
        for (int x = 0; x < dst.Width(); ++x, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
}

void ApplyTables(const Dib& src, Dib& dst, const std::uint8_t (*table)[256], int x0, int y0, int x1, int y1)
{
    const std::uint8_t* t0 = table[0];
    const std::uint8_t* t1 = table[1];
    const std::uint8_t* t2 = table[2];
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* s = src.ScanLine(y) + static_cast<std::size_t>(x0) * 3;
        std::uint8_t* d = dst.ScanLine(y) + static_cast<std::size_t>(x0) * 3;
        for (int x = x0; x < x1; ++x, s += 3, d += 3) {
            d[0] = t0[s[0]];
            d[1] = t1[s[1]];
            d[2] = t2[s[2]];
        }
    }
}
