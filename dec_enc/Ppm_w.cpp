// PPM writing: "P6", a comment line, the size, maxval 255, then red, green, blue rows.
#include "base/File_io.h"
#include "base/Pixel_ops.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <algorithm>
#include <cstdio>
#include <vector>

int WritePpm(CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1 || !ctx.HasSourceRows())
        return kDataError;
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    std::fprintf(f.get(), "P6\n#Created using Oxbel 1.0\n%d %d\n255\n", ctx.width, ctx.height);
    const std::size_t row_bytes = ctx.RowBytes();
    // Rows are reordered into a scratch block of about 1 MiB, written a block at a time.
    const int rows_per_block = static_cast<int>(std::max<std::size_t>(1, (std::size_t{1} << 20) / row_bytes));
    std::vector<std::uint8_t> block(row_bytes * static_cast<std::size_t>(std::min(rows_per_block, ctx.height)));
    for (int y = 0; y < ctx.height;) {
        const int n = std::min(rows_per_block, ctx.height - y);
        for (int i = 0; i < n; ++i)
            SwapRedBlue(ctx.SourceRow(y + i), block.data() + static_cast<std::size_t>(i) * row_bytes,
                        static_cast<std::size_t>(ctx.width));
        const std::size_t bytes = row_bytes * static_cast<std::size_t>(n);
        if (std::fwrite(block.data(), 1, bytes, f.get()) != bytes)
            return kOpenFileError;
        y += n;
    }
    return FinishWrite(std::move(f));
}
