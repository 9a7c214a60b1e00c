// The row sources of Row_stream.h. Each decodes its rows as the format's reader does (the
// conversions are shared where the reader has them); variants a source does not read the
// same way are declined and left to the reader.
#include "base/Byte_order.h"
#include "base/Pixel_ops.h"
#include "base/Result_codes.h"
#include "dec_enc/Exif.h"
#include "dec_enc/Jpeg_source.h"
#include "dec_enc/Netpbm.h"
#include "dec_enc/Row_stream.h"
#include "dec_enc/Tiff_io.h"
#include "dec_enc/Bmp_loader.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Stored rows at fixed places in the bytes: netpbm, BMP, TARGA and Sun rasters.
class StoredRows : public RowSource {
public:
    using Convert = void (*)(const std::uint8_t* in, std::size_t width, const std::uint8_t* lut, std::uint8_t* out);
    StoredRows(std::span<const std::uint8_t> bytes, MappedFile* map, std::int64_t w, std::int64_t h,
               std::size_t first, std::size_t stride, bool bottom_up, Convert convert)
        : bytes_(bytes), map_(map), first_(first), stride_(stride), bottom_up_(bottom_up), convert_(convert)
    {
        width_ = static_cast<std::int32_t>(w);
        height_ = static_cast<std::int32_t>(h);
    }
    std::uint8_t lut[256] = {};

    int ReadRow(std::uint8_t* bgr) override
    {
        if (y_ >= height_)
            return kDataError;
        const std::size_t r = static_cast<std::size_t>(bottom_up_ ? height_ - 1 - y_ : y_);
        const std::uint8_t* row = bytes_.data() + first_ + r * stride_;
        convert_(row, static_cast<std::size_t>(width_), lut, bgr);
        ++y_;
        if (map_ != nullptr)
            bottom_up_ ? map_->ReleaseFrom(static_cast<std::size_t>(row - bytes_.data()))
                       : map_->ReleaseBefore(row + stride_);
        return kOk;
    }

private:
    std::span<const std::uint8_t> bytes_;
    MappedFile* map_;
    std::size_t first_, stride_;
    bool bottom_up_;
    Convert convert_;
    std::int32_t y_ = 0;
};

void CopyBgr(const std::uint8_t* in, std::size_t w, const std::uint8_t*, std::uint8_t* out) { std::memcpy(out, in, w * 3); }
void SwapRgb(const std::uint8_t* in, std::size_t w, const std::uint8_t*, std::uint8_t* out) { SwapRedBlue(in, out, w); }
void ScaleRgb(const std::uint8_t* in, std::size_t w, const std::uint8_t* lut, std::uint8_t* out)
{
    for (std::size_t x = 0; x < w; ++x, in += 3, out += 3) {
        out[0] = lut[in[2]];
        out[1] = lut[in[1]];
        out[2] = lut[in[0]];
    }
}
void ScaleGrey(const std::uint8_t* in, std::size_t w, const std::uint8_t* lut, std::uint8_t* out)
{
    for (std::size_t x = 0; x < w; ++x, out += 3)
        out[0] = out[1] = out[2] = lut[in[x]];
}
void BitsBlackSet(const std::uint8_t* in, std::size_t w, const std::uint8_t*, std::uint8_t* out)
{
    for (std::size_t x = 0; x < w; ++x, out += 3)
        out[0] = out[1] = out[2] = (in[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
}
void DropFourth(const std::uint8_t* in, std::size_t w, const std::uint8_t*, std::uint8_t* out)
{
    for (std::size_t x = 0; x < w; ++x, in += 4, out += 3) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
    }
}

bool Holds(std::span<const std::uint8_t> bytes, std::size_t first, std::size_t stride, std::int64_t h)
{
    return first <= bytes.size() && (bytes.size() - first) / stride >= static_cast<std::uint64_t>(h);
}

std::unique_ptr<RowSource> Netpbm(std::span<const std::uint8_t> bytes, MappedFile* map, NetpbmKind kind)
{
    ByteCursor in(bytes);
    NETPBM_HEADER h {};
    CODEC_CTX header_reasons; // a refused header leaves the file to the document, which says why
    if (ReadNetpbmHeader(header_reasons, in, kind, h) != kOk || h.plain || h.maxval > 255 || h.width < 1 || h.height < 1 ||
        h.width > 0x7FFFFFFF || h.height > 0x7FFFFFFF)
        return nullptr;
    const auto w = static_cast<std::size_t>(h.width);
    const std::size_t stride = kind == NetpbmKind::Bitmap ? (w + 7) / 8 : kind == NetpbmKind::Greymap ? w : w * 3;
    if (!Holds(bytes, in.Pos(), stride, h.height))
        return nullptr;
    StoredRows::Convert convert = kind == NetpbmKind::Bitmap ? BitsBlackSet
                                  : kind == NetpbmKind::Greymap ? ScaleGrey
                                  : h.maxval == 255             ? SwapRgb
                                                                : ScaleRgb;
    auto src = std::make_unique<StoredRows>(bytes, map, h.width, h.height, in.Pos(), stride, false, convert);
    const auto maxval = static_cast<std::uint32_t>(h.maxval);
    for (std::uint32_t v = 0; v < 256; ++v) // as the reader scales: rounded, saturating
        src->lut[v] = static_cast<std::uint8_t>(v >= maxval ? 255u : (v * 255u + maxval / 2) / maxval);
    return src;
}

std::unique_ptr<RowSource> Bmp(std::span<const std::uint8_t> bytes, MappedFile* map)
{
    BMP_INFO info;
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M' || ParseBmpHeader(bytes, info) != kOk ||
        info.compression != 0 || info.bit_count != 24)
        return nullptr;
    const std::size_t stride = (static_cast<std::size_t>(info.width) * 3 + 3) / 4 * 4;
    if (!Holds(bytes, info.data_offset, stride, info.height))
        return nullptr;
    return std::make_unique<StoredRows>(bytes, map, info.width, info.height, info.data_offset, stride, !info.top_down,
                                        CopyBgr);
}

std::unique_ptr<RowSource> Tga(std::span<const std::uint8_t> bytes, MappedFile* map)
{
    if (bytes.size() < 18)
        return nullptr;
    const std::uint8_t* h = bytes.data();
    const int bits = h[16];
    const std::int64_t w = LoadWord(kLittleEndian, h + 12), ht = LoadWord(kLittleEndian, h + 14);
    if (h[1] != 0 || h[2] != 2 || (bits != 24 && bits != 32) || (h[17] & 0x10) != 0 || w < 1 || ht < 1)
        return nullptr;
    const std::size_t first = 18u + h[0];
    const std::size_t stride = static_cast<std::size_t>(w) * static_cast<std::size_t>(bits / 8);
    if (!Holds(bytes, first, stride, ht))
        return nullptr;
    return std::make_unique<StoredRows>(bytes, map, w, ht, first, stride, (h[17] & 0x20) == 0,
                                        bits == 24 ? CopyBgr : DropFourth);
}

std::unique_ptr<RowSource> Sun(std::span<const std::uint8_t> bytes, MappedFile* map)
{
    if (bytes.size() < 32 || LoadDword(kBigEndian, bytes.data()) != 0x59A66A95u)
        return nullptr;
    std::uint32_t word[8];
    for (int i = 0; i < 8; ++i)
        word[i] = LoadDword(kBigEndian, bytes.data() + 4 * i);
    const std::uint32_t type = word[5];
    if (word[3] != 24 || (type != 0 && type != 1 && type != 3) || word[6] != 0 || word[7] != 0 || word[1] == 0 ||
        word[2] == 0 || word[1] > 0x7FFFFFFFu || word[2] > 0x7FFFFFFFu)
        return nullptr;
    const std::size_t stride = (std::size_t{word[1]} * 24 + 15) / 16 * 2;
    if (!Holds(bytes, 32, stride, word[2]))
        return nullptr;
    return std::make_unique<StoredRows>(bytes, map, word[1], word[2], 32, stride, false, type == 3 ? SwapRgb : CopyBgr);
}

} // namespace

// PNG, JPEG and TIFF sources: Row_sources_lib.cpp.
std::unique_ptr<RowSource> OpenPngRows(std::span<const std::uint8_t> bytes, MappedFile* map);
std::unique_ptr<RowSource> OpenJpegRows(std::span<const std::uint8_t> bytes, MappedFile* map);
std::unique_ptr<RowSource> OpenTiffRows(std::span<const std::uint8_t> bytes, MappedFile* map);

std::unique_ptr<RowSource> OpenRowSource(const std::string& ext, std::span<const std::uint8_t> bytes,
                                         MappedFile* map)
{
    try {
        if (ext == ".PPM")
            return Netpbm(bytes, map, NetpbmKind::Pixmap);
        if (ext == ".PGM")
            return Netpbm(bytes, map, NetpbmKind::Greymap);
        if (ext == ".PBM")
            return Netpbm(bytes, map, NetpbmKind::Bitmap);
        if (ext == ".BMP")
            return Bmp(bytes, map);
        if (ext == ".TGA")
            return Tga(bytes, map);
        if (ext == ".SUN" || ext == ".RAS")
            return Sun(bytes, map);
        if (ext == ".PNG")
            return OpenPngRows(bytes, map);
        if (ext == ".JPG" || ext == ".JPEG" || ext == ".JPE")
            return OpenJpegRows(bytes, map);
        if (ext == ".TIF" || ext == ".TIFF")
            return OpenTiffRows(bytes, map);
    } catch (...) {
    }
    return nullptr;
}
