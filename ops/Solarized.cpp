#include "ops/Solarized.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "ops/Ops_common.h"

#include <cmath>

std::uint8_t GammaValue(int c, double gamma)
{
    const double v = std::trunc(255.0 * std::pow(c / 255.0, 1.0 / gamma) + 0.5);
    return static_cast<std::uint8_t>(v > 255.0 ? 255.0 : v);
}

int GammaCorrect(const Dib& src, Dib& dst, double gamma)
{
    // The slider's position 0 gives 0.0, which the formula cannot take (1 / 0).
    if (!(gamma > 0.0))
        return kOk;
    std::uint8_t table[3][256];
    for (int c = 0; c < 256; ++c)
        table[0][c] = table[1][c] = table[2][c] = GammaValue(c, gamma);
    if (const int rc = EnsureBitmap(dst, src.Width(), src.Height()); rc != kOk)
        return rc;
    ApplyTables(src, dst, table, 0, 0, src.Width(), src.Height());
    return kOk;
}

int GammaCorrect(TIMAGE_INFO& doc, Dib& preview, double gamma)
{
    if (!doc.display)
        return kOk;
    return GammaCorrect(*doc.display, doc.dialog_accepted != 0 ? doc.result_bitmap : preview, gamma);
}

void Solarize(const Dib& src, Dib& dst, std::int32_t t)
{
    std::uint8_t table[3][256];
    for (int c = 0; c < 256; ++c)
        table[0][c] = table[1][c] = table[2][c] = static_cast<std::uint8_t>(c < t ? c : 255 - c);
    if (src.Width() < 3 || src.Height() < 3)
        return;
    ApplyTables(src, dst, table, 1, 1, src.Width() - 1, src.Height() - 1);
}

int Solarize(TIMAGE_INFO& doc, std::int32_t t)
{
    if (!doc.display)
        return kOk;
    if (const int rc = CopyBitmap(*doc.display, doc.result_bitmap); rc != kOk)
        return rc;
    Solarize(*doc.display, doc.result_bitmap, t);
    return kOk;
}
