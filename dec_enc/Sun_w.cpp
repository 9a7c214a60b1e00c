// Sun raster writing: eight big-endian 32-bit words (magic 0x59A66A95, width, height,
// depth 24, data length, type 0 = old style, no colour map), then blue-green-red rows,
// each padded with a zero byte to an even length.
#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

int WriteSun(CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1 || !ctx.HasSourceRows())
        return kDataError;
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    const std::size_t row_bytes = static_cast<std::size_t>(ctx.width) * 3;
    const std::size_t padded = row_bytes + (row_bytes & 1);
    // The length word is the raster's size as stored, padding included.
    const auto length = static_cast<std::uint32_t>(padded * static_cast<std::size_t>(ctx.height));
    const std::uint32_t words[8] = {0x59A66A95u, static_cast<std::uint32_t>(ctx.width),
                                    static_cast<std::uint32_t>(ctx.height), 24u, length, 0u, 0u, 0u};
    for (std::uint32_t w : words)
        WriteDword(kBigEndian, w, f.get());
    for (int y = 0; y < ctx.height; ++y) {
        std::fwrite(ctx.SourceRow(y), 1, row_bytes, f.get());
        if (padded != row_bytes)
            std::fputc(0, f.get());
    }
    return FinishWrite(std::move(f));
}
