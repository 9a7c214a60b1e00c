#include "dec_enc/Dicom_pixels.h"

#include "base/Result_codes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace {

using namespace dicom_gdcm;

std::uint8_t Clamp8(double v)
{
    return static_cast<std::uint8_t>(v <= 0.0 ? 0 : v >= 255.0 ? 255 : std::lround(v));
}

// Stored value of sample s of pixel i, masked to the stored bits and sign-extended.
std::int64_t Sample(const std::uint8_t* buf, const Frame& f, std::size_t i, std::size_t s)
{
    if (f.bits_allocated == 1)
        return (buf[i / 8] >> (i % 8)) & 1; // first pixel in the least significant bit
    const std::size_t pixels = std::size_t{f.width} * f.height;
    const std::size_t index = f.planar != 0 ? s * pixels + i : i * f.samples + s;
    const unsigned bytes = f.bits_allocated / 8;
    const std::uint8_t* p = buf + index * bytes;
    std::uint64_t raw = 0;
    for (unsigned k = 0; k < bytes; ++k) // GDCM hands samples over in little-endian order
        raw |= std::uint64_t{p[k]} << (8 * k);
    raw >>= f.high_bit + 1 - f.bits_stored;
    const std::uint64_t mask = (std::uint64_t{1} << f.bits_stored) - 1;
    raw &= mask;
    if (f.is_signed != 0 && (raw >> (f.bits_stored - 1)) & 1)
        return static_cast<std::int64_t>(raw | ~mask);
    return static_cast<std::int64_t>(raw);
}

void GreyPicture(std::uint8_t* bgr, const std::uint8_t* buf, const Frame& f)
{
    const std::size_t pixels = std::size_t{f.width} * f.height;
    const double slope = f.slope == 0.0 || !std::isfinite(f.slope) ? 1.0 : f.slope;
    const double intercept = std::isfinite(f.intercept) ? f.intercept : 0.0;
    const bool window = std::isfinite(f.centre) && std::isfinite(f.window) && f.window >= 1.0;
    double low = 0.0, high = 0.0;
    if (!window) {
        std::int64_t lo = std::numeric_limits<std::int64_t>::max(), hi = std::numeric_limits<std::int64_t>::min();
        for (std::size_t i = 0; i < pixels; ++i) {
            const std::int64_t v = Sample(buf, f, i, 0);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        const double a = static_cast<double>(lo) * slope + intercept;
        const double b = static_cast<double>(hi) * slope + intercept;
        low = std::min(a, b);
        high = std::max(a, b);
    }
    const double c = f.centre - 0.5, w = f.window - 1.0;
    for (std::size_t i = 0; i < pixels; ++i) {
        const double y = static_cast<double>(Sample(buf, f, i, 0)) * slope + intercept;
        double out = 0.0;
        if (window)
            out = y <= c - w / 2 ? 0.0 : y > c + w / 2 ? 255.0 : ((y - c) / w + 0.5) * 255.0;
        else
            out = high > low ? (y - low) * 255.0 / (high - low) : 0.0;
        std::uint8_t g = Clamp8(out);
        if (f.kind == Kind::InvertedGrey)
            g = static_cast<std::uint8_t>(255 - g);
        std::uint8_t* d = bgr + i * 3;
        d[0] = d[1] = d[2] = g;
    }
}

void YbrToBgr(double y, double cb, double cr, std::uint8_t* d)
{
    cb -= 128.0;
    cr -= 128.0;
    d[2] = Clamp8(y + 1.402 * cr);
    d[1] = Clamp8(y - 0.344136 * cb - 0.714136 * cr);
    d[0] = Clamp8(y + 1.772 * cb);
}

void ColourPicture(std::uint8_t* bgr, const std::uint8_t* buf, const Frame& f)
{
    const std::size_t pixels = std::size_t{f.width} * f.height;
    std::uint8_t* d = bgr;
    if (f.kind == Kind::Ybr422) { // each pair of pixels is stored as Y0, Y1, Cb, Cr
        for (std::size_t i = 0; i < pixels; i += 2, buf += 4, d += 6) {
            YbrToBgr(buf[0], buf[2], buf[3], d);
            YbrToBgr(buf[1], buf[2], buf[3], d + 3);
        }
        return;
    }
    const unsigned drop = f.bits_stored > 8 ? f.bits_stored - 8 : 0;
    for (std::size_t i = 0; i < pixels; ++i, d += 3) {
        double c[3];
        for (std::size_t s = 0; s < 3; ++s)
            c[s] = static_cast<double>(Sample(buf, f, i, s) >> drop);
        if (f.kind == Kind::Ybr) {
            YbrToBgr(c[0], c[1], c[2], d);
        } else {
            d[2] = Clamp8(c[0]);
            d[1] = Clamp8(c[1]);
            d[0] = Clamp8(c[2]);
        }
    }
}

} // namespace

int DicomFramePicture(const Frame& f, std::span<const std::uint8_t> samples, std::uint8_t* bgr)
{
    if (int rc = CheckFrame(f); rc != kOk)
        return rc;
    if (samples.size() < FrameBytes(f))
        return kDataError;
    if (f.kind == Kind::Grey || f.kind == Kind::InvertedGrey)
        GreyPicture(bgr, samples.data(), f);
    else
        ColourPicture(bgr, samples.data(), f);
    return kOk;
}
