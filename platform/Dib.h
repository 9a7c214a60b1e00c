// A device-independent bitmap: the display bitmap of the document and the temporary
// bitmaps of the operations.
//
// Scan lines run top to bottom, each padded to a multiple of 4 bytes. 24-bit pixels are
// blue, green, red (QImage::Format_BGR888 reads the same memory); 32-bit pixels are blue,
// green, red, unused (Format_RGB32 on little-endian machines); 8-bit pixels index the
// bitmap's 256-entry palette of 0x00BBGGRR colours.
#pragma once

#include "base/Pixel_buffer.h"

#include <cstdint>
#include <string>

class Dib {
public:
    Dib() = default;
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int PixelFormat() const { return bpp_; } // 8, 24 or 32
    std::size_t Stride() const { return stride_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    // Resizes keeping the overlapping part of the picture; new pixels are black.
    [[nodiscard]] int SetWidth(int width);
    [[nodiscard]] int SetHeight(int height);
    // Converts every pixel to the new depth (8 → 24/32 through the palette; 24/32 → 8
    // through the grey level of each pixel with a grey palette).
    [[nodiscard]] int SetPixelFormat(int bpp);
    // Sizes the bitmap for a picture that the caller will overwrite row by row: nothing of
    // the old picture is kept. Returns kOk, kImageTooLarge or kMemoryError.
    [[nodiscard]] int SetSize(int width, int height, int bpp);

    std::uint8_t* ScanLine(int y) { return bits_.data() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* ScanLine(int y) const
    {
        return bits_.data() + static_cast<std::size_t>(y) * stride_;
    }
    std::uint8_t* Bits() { return bits_.data(); }
    const std::uint8_t* Bits() const { return bits_.data(); }

    std::uint32_t palette[256] = {};

    // Writes a bottom-up BMP with a 40-byte info header at the bitmap's own depth
    // (8 bits with the palette, 24 or 32 bits). Returns kOk or kOpenFileError.
    int SaveToFile(const std::string& path) const;

    // Frees the pixel memory.
    void Release();
    // Trades pictures (pixels, size, depth, palette) with other, copying no pixel.
    void Swap(Dib& other) noexcept;

private:
    int Rebuild(int width, int height, int bpp, bool keep);

    PixelBuffer bits_;
    int width_ = 0;
    int height_ = 0;
    int bpp_ = 24;
    std::size_t stride_ = 0;
};

// Bytes of one padded scan line.
inline std::size_t DibStride(int width, int bpp)
{
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bpp) + 31) / 32) * 4;
}
