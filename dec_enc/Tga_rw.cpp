// TARGA writing: an 18-byte little-endian header (no ID, no colour map, image type 2 =
// uncompressed true colour, 24 bits per pixel) followed by blue-green-red rows, bottom row
// first unless the top-to-bottom option is set (descriptor bit 5), pixels left to right
// unless the right-to-left option is set (descriptor bit 4). No footer.
#include "core/Byte_order.h"
#include "core/File_io.h"
#include "core/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <vector>

int WriteTga(CODEC_CTX& ctx)
{
    // The header holds 16-bit sizes: a larger picture cannot be stored.
    if (ctx.width < 1 || ctx.height < 1)
        return kDataError;
    if (ctx.width > 0xFFFF || ctx.height > 0xFFFF)
        return kImageTooLarge;
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    std::uint8_t header[18] = {};
    header[2] = 2;
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(ctx.width), header + 12);
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(ctx.height), header + 14);
    header[16] = 24;
    header[17] = static_cast<std::uint8_t>((ctx.top_to_bottom ? 0x20 : 0) | (ctx.right_to_left ? 0x10 : 0));
    std::fwrite(header, 1, sizeof header, f.get());

    const std::size_t row_bytes = static_cast<std::size_t>(ctx.width) * 3;
    const std::uint8_t* src = ctx.WriterSource();
    std::vector<std::uint8_t> mirrored(ctx.right_to_left ? row_bytes : 0);
    for (int j = 0; j < ctx.height; ++j) {
        const int y = ctx.top_to_bottom ? j : ctx.height - 1 - j;
        const std::uint8_t* row = src + static_cast<std::size_t>(y) * row_bytes;
        if (ctx.right_to_left) {
            for (std::size_t x = 0; x < row_bytes; x += 3) {
                const std::uint8_t* p = row + row_bytes - 3 - x;
                mirrored[x] = p[0];
                mirrored[x + 1] = p[1];
                mirrored[x + 2] = p[2];
            }
            row = mirrored.data();
        }
        std::fwrite(row, 1, row_bytes, f.get());
    }
    return FinishWrite(std::move(f));
}
