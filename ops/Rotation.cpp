#include "ops/Rotation.h"

#include "core/Codec_ctx.h"
#include "core/Result_codes.h"

#include <cmath>
#include <cstring>

namespace {

struct Turn {
    float s = 0, c = 0;
    int w = 0, h = 0; // canvas
};

// The full rotation keeps the angle in double precision, the preview in single.
Turn FullTurn(int w, int h, double angle)
{
    double theta = -angle;
    while (theta >= 360.0)
        theta -= 360.0;
    const double rad = theta * 0.0174532925;
    Turn t;
    t.s = static_cast<float>(std::sin(rad));
    t.c = static_cast<float>(std::cos(rad));
    const float abs_sin = static_cast<float>(std::fabs(std::cos(1.570796327 - rad)));
    const float abs_cos = std::fabs(t.c);
    t.w = static_cast<int>(abs_cos * static_cast<float>(w) + abs_sin * static_cast<float>(h));
    t.h = static_cast<int>(abs_sin * static_cast<float>(w) + abs_cos * static_cast<float>(h));
    return t;
}

Turn PreviewTurn(int w, int h, float angle)
{
    float theta = -angle;
    while (theta >= 360.0f)
        theta -= 360.0f;
    const float rad = theta * 0.0174532925f;
    Turn t;
    t.s = static_cast<float>(std::sin(rad));
    t.c = static_cast<float>(std::cos(rad));
    const float abs_sin = static_cast<float>(std::fabs(std::cos(1.570796327 - static_cast<double>(rad))));
    const float abs_cos = std::fabs(t.c);
    t.w = static_cast<int>(abs_cos * static_cast<float>(w) + abs_sin * static_cast<float>(h));
    t.h = static_cast<int>(abs_sin * static_cast<float>(w) + abs_cos * static_cast<float>(h));
    return t;
}

// Inverse mapping shared by both forms. Rows are addressed through strides.
void Sample(const std::uint8_t* src, std::size_t src_stride, int w, int h, std::uint8_t* dst, std::size_t dst_stride,
            const Turn& t, bool round, const std::uint8_t bg[3])
{
    const int cx = t.w / 2, cy = t.h / 2;
    const int ox = (t.w - w) / 2, oy = (t.h - h) / 2;
    const float half = round ? 0.5f : 0.0f;
    for (int y = 0; y < t.h; ++y) {
        std::uint8_t* d = dst + static_cast<std::size_t>(y) * dst_stride;
        const float sy = t.s * static_cast<float>(y - cy);
        const float cyy = t.c * static_cast<float>(y - cy);
        for (int x = 0; x < t.w; ++x, d += 3) {
            const float fx = static_cast<float>(x - cx);
            const float u = t.c * fx + sy + static_cast<float>(cx);
            const float v = cyy - t.s * fx + static_cast<float>(cy);
            const int px = static_cast<int>(u + half);
            const int py = static_cast<int>(v + half);
            // Strict lower limits: the first source row and column are never sampled.
            if (ox < px && px < ox + w && oy < py && py < oy + h) {
                const std::uint8_t* s = src + static_cast<std::size_t>(py - oy) * src_stride +
                                        static_cast<std::size_t>(px - ox) * 3;
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            } else {
                d[0] = bg[0];
                d[1] = bg[1];
                d[2] = bg[2];
            }
        }
    }
}

} // namespace

void RotatedSize(int w, int h, double angle, int& out_w, int& out_h)
{
    const Turn t = FullTurn(w, h, angle);
    out_w = t.w;
    out_h = t.h;
}

int RotateBitmap(const Dib& src, Dib& dst, double angle, const std::uint8_t background[3])
{
    const Turn t = FullTurn(src.Width(), src.Height(), angle);
    if (t.w < 1 || t.h < 1)
        return kDataError;
    if (const int rc = dst.SetSize(t.w, t.h, 24); rc != kOk)
        return rc;
    Sample(src.Bits(), src.Stride(), src.Width(), src.Height(), dst.Bits(), dst.Stride(), t, false, background);
    return kOk;
}

int RotatePicture(const CODEC_CTX& current, CODEC_CTX& next, const std::uint8_t background[3])
{
    const Turn t = FullTurn(current.width, current.height, current.rotation_angle);
    if (t.w < 1 || t.h < 1 || next.ReserveDecoded(t.w, t.h) != kOk)
        return -1;
    next.width = t.w;
    next.height = t.h;
    next.rotation_angle = current.rotation_angle;
    Sample(current.decoded.data(), current.RowBytes(), current.width, current.height, next.decoded.data(),
           next.RowBytes(), t, false, background);
    return 0;
}

int RotatePreview(const Dib& src, Dib& preview, float angle, const std::uint8_t background[3])
{
    const Turn t = PreviewTurn(src.Width(), src.Height(), angle);
    if (t.w < 1 || t.h < 1)
        return kDataError;
    if (const int rc = preview.SetSize(t.w, t.h, 24); rc != kOk)
        return rc;
    Sample(src.Bits(), src.Stride(), src.Width(), src.Height(), preview.Bits(), preview.Stride(), t, true,
           background);
    return kOk;
}

int ShrinkForPreview(Dib& dst, const Dib& src, float fx, float fy)
{
    const int w = static_cast<int>(static_cast<double>(fx) * src.Width());
    const int h = static_cast<int>(static_cast<double>(fy) * src.Height());
    if (w < 1 || h < 1 || !(fx > 0.0f) || !(fy > 0.0f))
        return kDataError;
    if (const int rc = dst.SetSize(w, h, 24); rc != kOk)
        return rc;
    for (int y = 0; y < h; ++y) {
        int sy = static_cast<int>(y / static_cast<double>(fy));
        sy = sy < src.Height() ? sy : src.Height() - 1;
        const std::uint8_t* s = src.ScanLine(sy);
        std::uint8_t* d = dst.ScanLine(y);
        for (int x = 0; x < w; ++x, d += 3) {
            int sx = static_cast<int>(x / static_cast<double>(fx));
            sx = sx < src.Width() ? sx : src.Width() - 1;
            std::memcpy(d, s + static_cast<std::size_t>(sx) * 3, 3);
        }
    }
    return kOk;
}
