#include "platform/Dib.h"

#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

// Grey level of a blue-green-red pixel, ITU-R 601 weights in integers.
std::uint8_t GreyOf(const std::uint8_t* bgr)
{
    return static_cast<std::uint8_t>((bgr[0] * 29u + bgr[1] * 150u + bgr[2] * 77u + 128u) >> 8);
}

// Converts one scan line between the three depths.
void ConvertLine(const std::uint8_t* src, int src_bpp, const std::uint32_t* palette, std::uint8_t* dst,
                 int dst_bpp, int width)
{
    for (int x = 0; x < width; ++x) {
        std::uint8_t bgr[3];
        if (src_bpp == 8) {
            const std::uint32_t c = palette[src[x]];
            bgr[0] = static_cast<std::uint8_t>(c >> 16);
            bgr[1] = static_cast<std::uint8_t>(c >> 8);
            bgr[2] = static_cast<std::uint8_t>(c);
        } else {
            const std::uint8_t* p = src + static_cast<std::size_t>(x) * static_cast<std::size_t>(src_bpp / 8);
            bgr[0] = p[0];
            bgr[1] = p[1];
            bgr[2] = p[2];
        }
        if (dst_bpp == 8) {
            dst[x] = GreyOf(bgr);
        } else {
            std::uint8_t* q = dst + static_cast<std::size_t>(x) * static_cast<std::size_t>(dst_bpp / 8);
            q[0] = bgr[0];
            q[1] = bgr[1];
            q[2] = bgr[2];
            if (dst_bpp == 32)
                q[3] = 0;
        }
    }
}

} // namespace

void Dib::Release()
{
    bits_.Release();
    width_ = height_ = 0;
    stride_ = 0;
}

int Dib::SetSize(int width, int height, int bpp) { return Rebuild(width, height, bpp, false); }

int Dib::SetWidth(int width) { return Rebuild(width, height_, bpp_, true); }

int Dib::SetHeight(int height) { return Rebuild(width_, height, bpp_, true); }

int Dib::SetPixelFormat(int bpp)
{
    if (bpp != 8 && bpp != 24 && bpp != 32)
        return kBitDepthNotSupported;
    if (bpp == bpp_)
        return kOk;
    if (Empty()) {
        bpp_ = bpp;
        stride_ = DibStride(width_, bpp);
        return kOk;
    }
    const std::size_t new_stride = DibStride(width_, bpp);
    const std::size_t bytes = new_stride * static_cast<std::size_t>(height_);
    if (bytes > kMaxPictureBytes)
        return kImageTooLarge;
    PixelBuffer fresh;
    if (int rc = fresh.Reserve(bytes); rc != kOk)
        return rc;
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* dst = fresh.data() + static_cast<std::size_t>(y) * new_stride;
        ConvertLine(ScanLine(y), bpp_, palette, dst, bpp, width_);
        const std::size_t line = static_cast<std::size_t>(width_) * static_cast<std::size_t>(bpp / 8);
        std::memset(dst + line, 0, new_stride - line);
    }
    if (bpp == 8)
        for (std::uint32_t i = 0; i < 256; ++i)
            palette[i] = i | (i << 8) | (i << 16);
    bits_ = std::move(fresh);
    bpp_ = bpp;
    stride_ = new_stride;
    return kOk;
}

int Dib::Rebuild(int width, int height, int bpp, bool keep)
{
    if (width < 0 || height < 0)
        return kDataError;
    if (bpp != 8 && bpp != 24 && bpp != 32)
        return kBitDepthNotSupported;
    const std::size_t new_stride = DibStride(width, bpp);
    if (height > 0 && new_stride > kMaxPictureBytes / static_cast<std::size_t>(height))
        return kImageTooLarge;
    const std::size_t bytes = new_stride * static_cast<std::size_t>(height);
    if (!keep || Empty() || bytes == 0) {
        if (int rc = bits_.Reserve(bytes); rc != kOk)
            return rc;
        // A reused buffer holds the last picture: its padding bytes, which no row writer
        // touches and a BMP save writes, are cleared.
        const std::size_t line = static_cast<std::size_t>(width) * static_cast<std::size_t>(bpp / 8);
        if (new_stride > line)
            for (int y = 0; y < height; ++y)
                std::memset(bits_.data() + static_cast<std::size_t>(y) * new_stride + line, 0, new_stride - line);
    } else {
        // Keep the overlap: build the new raster beside the old one.
        PixelBuffer fresh;
        if (int rc = fresh.Reserve(bytes); rc != kOk)
            return rc;
        std::memset(fresh.data(), 0, bytes);
        const std::size_t copy = std::min(new_stride, stride_);
        const int rows = std::min(height, height_);
        for (int y = 0; y < rows; ++y)
            std::memcpy(fresh.data() + static_cast<std::size_t>(y) * new_stride, ScanLine(y), copy);
        if (width > width_) // the old padding bytes are not picture
            for (int y = 0; y < rows; ++y)
                std::memset(fresh.data() + static_cast<std::size_t>(y) * new_stride +
                                static_cast<std::size_t>(width_) * static_cast<std::size_t>(bpp / 8),
                            0, new_stride - static_cast<std::size_t>(width_) * static_cast<std::size_t>(bpp / 8));
        bits_ = std::move(fresh);
    }
    width_ = width;
    height_ = height;
    bpp_ = bpp;
    stride_ = new_stride;
    return kOk;
}

int Dib::SaveToFile(const std::string& path) const
{
    FilePtr f = OpenForWrite(path);
    if (!f)
        return kOpenFileError;
    const std::uint32_t palette_bytes = bpp_ == 8 ? 1024u : 0u;
    const std::uint32_t offset = 14u + 40u + palette_bytes;
    const auto image_bytes = static_cast<std::uint32_t>(stride_ * static_cast<std::size_t>(height_));
    FILE* out = f.get();
    std::fputc('B', out);
    std::fputc('M', out);
    WriteDword(0, offset + image_bytes, out);
    WriteDword(0, 0, out);
    WriteDword(0, offset, out);
    WriteDword(0, 40, out);
    WriteDword(0, static_cast<std::uint32_t>(width_), out);
    WriteDword(0, static_cast<std::uint32_t>(height_), out);
    WriteWord(0, 1, out);
    WriteWord(0, static_cast<std::uint16_t>(bpp_), out);
    WriteDword(0, 0, out); // BI_RGB
    WriteDword(0, image_bytes, out);
    WriteDword(0, 2835, out); // 72 dpi
    WriteDword(0, 2835, out);
    WriteDword(0, bpp_ == 8 ? 256u : 0u, out);
    WriteDword(0, 0, out);
    if (bpp_ == 8)
        for (std::uint32_t c : palette) {
            const std::uint8_t quad[4] = {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                                          static_cast<std::uint8_t>(c), 0};
            std::fwrite(quad, 1, 4, out);
        }
    // Rows are stored bottom-up.
    for (int y = height_ - 1; y >= 0; --y)
        if (std::fwrite(ScanLine(y), 1, stride_, out) != stride_)
            return kOpenFileError;
    return FinishWrite(std::move(f));
}

void Dib::Swap(Dib& other) noexcept
{
    std::swap(bits_, other.bits_);
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
    std::swap(bpp_, other.bpp_);
    std::swap(stride_, other.stride_);
    std::swap(palette, other.palette);
}
