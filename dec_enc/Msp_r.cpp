// Microsoft Paint reading. Version 2 files ("LinS") hold a 32-byte header, a map of one
// 16-bit length per row and the rows packed with a run-length code; version 1 files
// ("DanM") hold the same header followed by plain rows. One bit a pixel, most significant
// first, a set bit is white.
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Raster_rows.h"

#include <cstring>

namespace {

constexpr std::size_t kHeaderBytes = 32;

// Expands one packed row into `out` (row_bytes long). A run that passes the end of the row
// is a data error; a row that ends early leaves zero bytes (black). A row of length 0 is
// blank (white).
int ExpandRow(std::span<const std::uint8_t> packed, std::uint8_t* out, std::size_t row_bytes)
{
    if (packed.empty()) {
        std::memset(out, 0xFF, row_bytes);
        return kOk;
    }
    std::memset(out, 0, row_bytes);
    ByteCursor in(packed);
    std::size_t filled = 0;
    while (!in.AtEnd()) {
        const int n = in.Get();
        if (n == 0) {
            const int count = in.Get();
            const int value = in.Get();
            if (value < 0)
                break;
            if (static_cast<std::size_t>(count) > row_bytes - filled)
                return kDataError;
            std::memset(out + filled, value, static_cast<std::size_t>(count));
            filled += static_cast<std::size_t>(count);
        } else {
            if (static_cast<std::size_t>(n) > row_bytes - filled)
                return kDataError;
            filled += in.Read(out + filled, static_cast<std::size_t>(n));
        }
    }
    return kOk;
}

} // namespace

int DecodeMsp(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    const std::uint16_t key1 = in.Word(kLittleEndian);
    const std::uint16_t key2 = in.Word(kLittleEndian);
    const bool v2 = key1 == 0x694C || key2 == 0x536E;
    const bool v1 = key1 == 0x6144 && key2 == 0x4D6E;
    if (!v1 && !v2)
        return kDataError;
    const auto width = static_cast<std::int16_t>(in.Word(kLittleEndian));
    const auto height = static_cast<std::int16_t>(in.Word(kLittleEndian));
    if (width > 4096 && height > 4096)
        return kImageTooLarge;
    if (width < 1 || height < 1)
        return kDataError;
    const std::size_t row_bytes = (static_cast<std::size_t>(width) + 7) / 8;
    const std::size_t packed = row_bytes * static_cast<std::size_t>(height);
    if (in.Size() < kHeaderBytes ||
        !ClaimFits(packed, in.Size() - kHeaderBytes, v2 ? expansion::kRunLengthHalf : expansion::kStoredHalf,
                   kSmallRaster))
        return kDataError;
    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    if (int rc = ctx.expanded.Reserve(packed); rc != kOk)
        return rc;
    ctx.width = width;
    ctx.height = height;
    ctx.bits_per_pixel = 1;
    ctx.compression_name = v2 ? "RLE" : "None";
    in.Seek(kHeaderBytes);

    std::size_t filled = packed;
    if (v2) {
        const std::size_t map_at = kHeaderBytes;
        std::size_t data = map_at + 2 * static_cast<std::size_t>(height);
        ByteCursor map(in.Bytes());
        map.Seek(map_at);
        for (int y = 0; y < height; ++y) {
            if (data >= in.Size() || map.Left() < 2) {
                filled = row_bytes * static_cast<std::size_t>(y);
                break;
            }
            const std::size_t len = map.Word(kLittleEndian);
            const auto packed_row = in.Bytes().subspan(data, std::min(len, in.Size() - data));
            if (int rc = ExpandRow(packed_row, ctx.expanded.data() + row_bytes * static_cast<std::size_t>(y),
                                   row_bytes);
                rc != kOk)
                return rc;
            data += len;
        }
    } else {
        filled = in.Read(ctx.expanded.data(), packed);
    }
    ByteCursor rows(std::span<const std::uint8_t>(ctx.expanded.data(), filled));
    DecodeRows(ctx, rows, row_bytes, 1, false,
               [w = int {width}](const std::uint8_t* src, std::uint8_t* dst) { BitsToBgr(src, w, 255, 0, dst); });
    return kOk;
}
