// PPM writing: "P6", a comment line, the size, maxval 255, then red, green, blue rows.
#include "core/File_io.h"
#include "core/Pixel_ops.h"
#include "core/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <algorithm>
#include <cstdio>
#include <vector>

int WritePpm(CODEC_CTX& ctx)
{
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    std::fprintf(f.get(), "P6\n#Created using Oxbel 1.0\n%d %d\n255\n", ctx.width, ctx.height);
    const std::size_t row_bytes = static_cast<std::size_t>(ctx.width) * 3;
    const std::size_t total = row_bytes * static_cast<std::size_t>(ctx.height);
    const std::uint8_t* src = ctx.WriterSource();
    // Reordered into a scratch block of about 1 MiB, written a block at a time.
    std::vector<std::uint8_t> block(std::min<std::size_t>(total, std::max<std::size_t>(row_bytes, 1u << 20) / 3 * 3));
    for (std::size_t done = 0; done < total;) {
        const std::size_t n = std::min(block.size(), total - done);
        SwapRedBlue(src + done, block.data(), n / 3);
        if (std::fwrite(block.data(), 1, n, f.get()) != n)
            return kOpenFileError;
        done += n;
    }
    return FinishWrite(std::move(f));
}
