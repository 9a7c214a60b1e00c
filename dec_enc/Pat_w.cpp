// GIMP pattern writing: six big-endian 32-bit words (header size 37, version 1, width,
// height, 3 bytes per pixel, magic "GPAT"), the name "GIMP Pattern" with its zero byte,
// then red-green-blue rows from the top.
#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Pixel_ops.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <vector>

int WritePat(CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1 || !ctx.HasSourceRows())
        return kDataError;
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    const std::uint32_t words[6] = {37u, 1u, static_cast<std::uint32_t>(ctx.width),
                                    static_cast<std::uint32_t>(ctx.height), 3u, 0x47504154u};
    for (std::uint32_t w : words)
        WriteDword(kBigEndian, w, f.get());
    static const char kName[] = "GIMP Pattern";
    std::fwrite(kName, 1, sizeof kName, f.get());
    const std::size_t row_bytes = static_cast<std::size_t>(ctx.width) * 3;
    std::vector<std::uint8_t> row(row_bytes);
    for (int y = 0; y < ctx.height; ++y) {
        SwapRedBlue(ctx.SourceRow(y), row.data(), static_cast<std::size_t>(ctx.width));
        std::fwrite(row.data(), 1, row_bytes, f.get());
    }
    return FinishWrite(std::move(f));
}
