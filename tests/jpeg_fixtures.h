// JPEG files for the thumbnail tests: pictures through our writer, camera-style Exif
// segments with an orientation and an embedded thumbnail.
#pragma once

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>

// Pixel (x, y) → blue, green, red.
using JpegPixelFn = std::function<void(int x, int y, std::uint8_t* bgr)>;

// A w × h picture written by our JPEG writer at the given quality.
inline Bytes JpegOf(int w, int h, const JpegPixelFn& pixel, int quality = 90)
{
    Bytes bgr(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixel(x, y, &bgr[(static_cast<std::size_t>(y) * w + x) * 3]);
    TIMAGE_INFO doc;
    LoadPicture(doc, w, h, bgr);
    doc.context->quality = quality;
    TempDir dir;
    const std::string path = dir.File("picture.jpg");
    if (PrepareSave(doc, kSaveJpeg, path) != kOk || doc.Save() != kOk)
        return {};
    return ReadBytes(path);
}

// One colour all over.
inline Bytes SolidJpeg(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    return JpegOf(w, h, [=](int, int, std::uint8_t* p) {
        p[0] = b;
        p[1] = g;
        p[2] = r;
    });
}

// Something like a photo: soft gradients, a ripple and hard-edged blocks.
inline void PhotoLikePixel(int x, int y, std::uint8_t* p)
{
    const bool block = ((x / 97) + (y / 61)) % 3 == 0;
    p[0] = static_cast<std::uint8_t>(block ? 30 : (x * 7 + y * 3) / 16 % 256);
    p[1] = static_cast<std::uint8_t>(128 + 100 * std::sin((x + 2 * y) / 23.0));
    p[2] = static_cast<std::uint8_t>(block ? 220 : (y * 5) / 8 % 256);
}

// The file with the size in its baseline frame header (SOF0) changed to w × h.
inline Bytes WithFrameSize(Bytes jpeg, int w, int h)
{
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = static_cast<std::uint8_t>(h >> 8);
            jpeg[i + 6] = static_cast<std::uint8_t>(h);
            jpeg[i + 7] = static_cast<std::uint8_t>(w >> 8);
            jpeg[i + 8] = static_cast<std::uint8_t>(w);
            break;
        }
    return jpeg;
}

// The file with a big-endian Exif APP1 segment right after its start-of-image marker: IFD0
// holds the orientation (when not 0), IFD1 the embedded thumbnail (when not empty).
inline Bytes WithExif(const Bytes& jpeg, int orientation, const Bytes& thumbnail)
{
    Bytes tiff = {'M', 'M', 0, 42, 0, 0, 0, 8};
    auto put16 = [&](std::uint32_t v) {
        tiff.push_back(static_cast<std::uint8_t>(v >> 8));
        tiff.push_back(static_cast<std::uint8_t>(v));
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v >> 16);
        put16(v & 0xFFFF);
    };
    const std::uint32_t ifd0_entries = orientation != 0 ? 1 : 0;
    const std::uint32_t ifd1 = 8 + 2 + 12 * ifd0_entries + 4;
    put16(ifd0_entries);
    if (orientation != 0) {
        put16(0x0112);
        put16(3);
        put32(1);
        put16(static_cast<std::uint32_t>(orientation));
        put16(0);
    }
    put32(thumbnail.empty() ? 0 : ifd1);
    if (!thumbnail.empty()) {
        const std::uint32_t data = ifd1 + 2 + 2 * 12 + 4;
        put16(2);
        for (const auto& [tag, value] : {std::pair<std::uint32_t, std::uint32_t>{0x0201, data},
                                         {0x0202, static_cast<std::uint32_t>(thumbnail.size())}}) {
            put16(tag);
            put16(4);
            put32(1);
            put32(value);
        }
        put32(0);
        tiff.insert(tiff.end(), thumbnail.begin(), thumbnail.end());
    }
    const std::size_t length = 2 + 6 + tiff.size();
    Bytes out = {0xFF, 0xD8, 0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8),
                 static_cast<std::uint8_t>(length), 'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}
