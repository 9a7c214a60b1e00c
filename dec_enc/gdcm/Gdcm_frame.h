// What the GDCM module (Gdcm_reader.cpp) hands the decoding helper's DICOM reader: the
// first frame's stored samples and how to show them, and the checks both sides apply.
#pragma once

#include "base/Pixel_buffer.h"
#include "base/Result_codes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dicom_gdcm {

enum class Kind : std::int32_t { Grey, InvertedGrey, Rgb, Ybr, Ybr422 };

// What the GDCM side hands over: the first frame's stored samples and how to show them.
struct Frame {
    std::int32_t rc = kUnknownError;
    Kind kind = Kind::Grey;
    std::uint32_t width = 0, height = 0, samples = 1;
    std::uint32_t bits_allocated = 8, bits_stored = 8, high_bit = 7;
    std::int32_t is_signed = 0, planar = 0;
    double slope = 1.0, intercept = 0.0, centre = 0.0, window = 0.0; // window < 1: none
    char compression[16] = {};
    std::uint64_t bytes = 0; // of the frame's samples that follow
};

// Bytes of the first frame as stored; 0 for a layout that cannot be.
inline std::uint64_t FrameBytes(const Frame& f)
{
    const std::uint64_t pixels = std::uint64_t{f.width} * f.height;
    if (f.kind == Kind::Ybr422)
        return pixels * 2;
    if (f.bits_allocated == 1)
        return (pixels + 7) / 8;
    return pixels * f.samples * (f.bits_allocated / 8);
}

// The header's promises, checked again by the reader that maps the samples.
inline int CheckFrame(const Frame& f)
{
    if (f.width < 1 || f.height < 1)
        return kDataError;
    if (PictureBytes(f.width, f.height, 3) == SIZE_MAX)
        return kImageTooLarge;
    const bool grey = f.kind == Kind::Grey || f.kind == Kind::InvertedGrey;
    if (f.samples != (grey ? 1u : 3u))
        return kFormatNotSupported;
    if (!(f.bits_allocated == 1 || f.bits_allocated == 8 || f.bits_allocated == 16 || f.bits_allocated == 32))
        return kBitDepthNotSupported;
    if ((f.bits_allocated == 1 && !grey) || (f.kind == Kind::Ybr422 && (f.bits_allocated != 8 || f.width % 2 != 0)))
        return kFormatNotSupported;
    if (f.bits_stored < 1 || f.bits_stored > f.bits_allocated || f.high_bit >= f.bits_allocated ||
        f.high_bit + 1 < f.bits_stored)
        return kDataError;
    return kOk;
}

// The GDCM module's one entry point (ravelscope_read_with_gdcm): parses the data set in
// data and decodes its pixels; fills f and the first frame's samples.
using READ_WITH_GDCM = void (*)(const std::uint8_t* data, std::size_t size, Frame* f, std::vector<std::uint8_t>* samples);

} // namespace dicom_gdcm
