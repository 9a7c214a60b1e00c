// Paint Shop Pro images (.PSP), little-endian: a 32-byte signature, the major and minor
// version (16 bits each), then blocks. A block starts with "~BK" and a zero byte, its ID
// (16 bits) and, in version 3 files, its initial data length and total length (32 bits
// each); from version 4 on only the total length. The first block is the general image
// attributes block (ID 0), whose data starts 14 bytes after the block (version 3: the
// header's end; later: after a 32-bit chunk size): width, height (32 bits), resolution
// (8), resolution unit (1), compression (16: 0 none, 1 run-length, 2 LZ77 = zlib,
// 3 JPEG), bit depth (16), plane count (16), colour count (32), greyscale flag (1), ...
//
// Channel blocks (ID 5) hold after their header: (version 4 on: a chunk size,) the
// compressed length, the uncompressed length (32 bits each), the bitmap type (16: 0 layer
// image, 5 thumbnail, ...) and the channel type (16: 1 red, 2 green, 3 blue), then the
// channel's data, one byte a pixel, rows top to bottom. Run-length data is a count byte
// c: above 128, the next byte repeated c - 128 times; otherwise c literal bytes.
// Uncompressed rows may be padded to 4 bytes.
//
// Only 24-bit pictures are read. The picture shown is the first layer: the first red,
// green and blue layer-image channels in the file. Thumbnails, masks, alpha channels and
// further layers are passed over. Either side above 4096 is refused.
#include "base/Byte_order.h"
#include "base/Diagnostics.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint8_t kBlockMarker[4] = {'~', 'B', 'K', 0};
constexpr std::size_t kBlockStart = 36; // signature and version words
constexpr int kGiaBlock = 0;
constexpr int kChannelBlock = 5;

struct PSP_CHANNEL {
    std::size_t offset = 0;
    std::size_t length = 0;
    bool found = false;
};

bool IsBlockMarker(std::span<const std::uint8_t> file, std::size_t at)
{
    return at + 4 <= file.size() && std::memcmp(file.data() + at, kBlockMarker, 4) == 0;
}

// Inflates a zlib stream into the plane; a stream that ends early leaves the rest black.
int InflatePlane(std::span<const std::uint8_t> in, std::uint8_t* plane, std::size_t plane_bytes)
{
    z_stream z {};
    if (inflateInit(&z) != Z_OK)
        return kMemoryError;
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(in.size(), 0xFFFFFFFFu));
    z.next_out = plane;
    z.avail_out = static_cast<uInt>(plane_bytes);
    const int zr = inflate(&z, Z_FINISH);
    const std::size_t produced = plane_bytes - z.avail_out;
    inflateEnd(&z);
    if (zr != Z_STREAM_END && zr != Z_BUF_ERROR && zr != Z_OK)
        return kDataError;
    std::memset(plane + produced, 0, plane_bytes - produced);
    return kOk;
}

int UnpackRlePlane(std::span<const std::uint8_t> in, std::uint8_t* plane, std::size_t plane_bytes)
{
    std::size_t i = 0, o = 0;
    while (i < in.size() && o < plane_bytes) {
        std::size_t n = in[i++];
        if (n > 128) {
            n -= 128;
            if (n > plane_bytes - o)
                return kDataError;
            if (i >= in.size())
                break;
            std::memset(plane + o, in[i++], n);
        } else {
            if (n > plane_bytes - o)
                return kDataError;
            n = std::min(n, in.size() - i);
            std::memcpy(plane + o, in.data() + i, n);
            i += n;
        }
        o += n;
    }
    std::memset(plane + o, 0, plane_bytes - o);
    return kOk;
}

void CopyRawPlane(std::span<const std::uint8_t> in, std::size_t width, std::size_t height, std::uint8_t* plane)
{
    const std::size_t padded = (width + 3) & ~std::size_t{3};
    const bool rows_padded = padded != width && in.size() / padded >= height;
    const std::size_t stride = rows_padded ? padded : width;
    for (std::size_t y = 0; y < height; ++y) {
        const std::size_t at = y * stride;
        const std::size_t n = at < in.size() ? std::min(width, in.size() - at) : 0;
        std::memcpy(plane + y * width, in.data() + at, n);
        std::memset(plane + y * width + n, 0, width - n);
    }
}

} // namespace

int DecodePsp(CODEC_CTX& ctx, std::span<const std::uint8_t> file)
{
    ByteCursor in(file);
    in.Seek(32);
    const int major = in.Word(kLittleEndian);
    in.Seek(kBlockStart);
    if (!IsBlockMarker(file, kBlockStart)) {
        Diagnose("Block header not found.");
        return kDataError;
    }
    in.Skip(4);
    if (in.Word(kLittleEndian) != kGiaBlock) {
        Diagnose("GIA block not valid.");
        return kDataError;
    }
    const std::size_t header_bytes = major <= 3 ? 14 : 10;
    in.Seek(kBlockStart + 14);
    const auto width = static_cast<std::int32_t>(in.Dword(kLittleEndian));
    const auto height = static_cast<std::int32_t>(in.Dword(kLittleEndian));
    in.Skip(9); // resolution and its unit
    const int compression = in.Word(kLittleEndian);
    const int bit_depth = in.Word(kLittleEndian);
    if (in.AtEnd())
        return kDataError;
    if (width > 4096 || height > 4096)
        return kImageTooLarge;
    if (width < 1 || height < 1)
        return kDataError;
    if (bit_depth != 24)
        return kBitDepthNotSupported;
    ctx.bits_per_pixel = 24;
    static const char* const kNames[] = {"None", "RLE", "LZ77", "JPEG"};
    if (compression > 3)
        return kCompressionNotSupported;
    ctx.compression_name = kNames[compression];
    if (compression == 3)
        return kFormatNotSupported;

    // The first layer's red, green and blue image channels.
    PSP_CHANNEL channels[3];
    std::size_t at = kBlockStart + 4;
    while (at < file.size()) {
        auto hit = std::search(file.begin() + static_cast<std::ptrdiff_t>(at), file.end(),
                                      std::begin(kBlockMarker), std::end(kBlockMarker));
        if (hit == file.end())
            break;
        const auto block = static_cast<std::size_t>(hit - file.begin());
        at = block + 4;
        if (block + header_bytes + 16 > file.size() || LoadWord(kLittleEndian, file.data() + block + 4) != kChannelBlock)
            continue;
        const std::uint8_t* info = file.data() + block + header_bytes;
        std::size_t data = block + header_bytes + 12;
        if (major > 3) {
            const std::uint32_t chunk = LoadDword(kLittleEndian, info);
            info += 4;
            data = block + header_bytes + chunk;
            if (chunk < 16)
                continue;
        }
        const std::uint32_t bitmap_type = LoadWord(kLittleEndian, info + 8);
        const std::uint32_t channel_type = LoadWord(kLittleEndian, info + 10);
        if (data > file.size())
            continue;
        // A file cut short keeps the part of the channel it holds.
        const std::size_t packed = std::min<std::size_t>(LoadDword(kLittleEndian, info), file.size() - data);
        if (bitmap_type == 0 && channel_type >= 1 && channel_type <= 3 && !channels[channel_type - 1].found)
            channels[channel_type - 1] = PSP_CHANNEL{data, packed, true};
        at = data + packed;
    }
    if (!channels[0].found && !channels[1].found && !channels[2].found)
        return kDataError;

    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    const auto plane_bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (int rc = ctx.expanded.Reserve(plane_bytes); rc != kOk)
        return rc;
    ctx.width = width;
    ctx.height = height;
    std::memset(ctx.decoded.data(), 0, ctx.decoded.size());
    std::uint8_t* plane = ctx.expanded.data();
    for (int j = 0; j < 3; ++j) {
        if (!channels[j].found)
            continue; // a missing channel stays black
        const auto data = file.subspan(channels[j].offset, channels[j].length);
        if (compression == 2) {
            if (int rc = InflatePlane(data, plane, plane_bytes); rc != kOk)
                return rc;
        } else if (compression == 1) {
            if (int rc = UnpackRlePlane(data, plane, plane_bytes); rc != kOk)
                return rc;
        } else {
            CopyRawPlane(data, static_cast<std::size_t>(width), static_cast<std::size_t>(height), plane);
        }
        std::uint8_t* out = ctx.decoded.data() + (2 - j);
        for (std::size_t i = 0; i < plane_bytes; ++i, out += 3)
            *out = plane[i];
    }

    return ctx.CopyToDirectTarget();
}
