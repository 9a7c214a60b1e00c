// MacPaint reading: 576 × 720 one-bit pictures, 72 bytes a row, packed with a run-length
// code whose runs may carry on from one row into the next. The raster follows a 512-byte
// header, or 640 bytes when the file still has its 128-byte MacBinary wrapper.
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Raster_rows.h"

#include <cstring>

namespace {

constexpr int kWidth = 576;
constexpr int kHeight = 720;
constexpr std::size_t kRowBytes = 72;

// Where the packed raster starts. A bare file begins with its version number (0, 0, 0,
// 0..3); a MacBinary wrapper with a zero byte, the name's length (1..63) and the name,
// and carries the type "PNTG" at offset 65. Anything else falls back to the wrapper
// test on the bytes a MacBinary header keeps zero.
std::size_t DataOffset(const std::uint8_t* p, std::size_t n)
{
    auto at = [&](std::size_t i) -> unsigned { return i < n ? p[i] : 0u; };
    if (n >= 69 && std::memcmp(p + 65, "PNTG", 4) == 0)
        return 640;
    if (at(1) == 0 && at(2) == 0 && at(3) <= 3)
        return 512;
    bool wrapped = at(2) > 63 || (at(83) & 0x80) != 0;
    for (std::size_t i = 101; i <= 129 && !wrapped; ++i)
        wrapped = at(i) != 0;
    return wrapped ? 640 : 512;
}

} // namespace

int DecodeMacPaint(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    if (in.Size() < 1 || in.Bytes()[0] != 0)
        return kMagicError;
    in.Seek(DataOffset(in.Bytes().data(), in.Size()));

    const std::size_t total = kRowBytes * kHeight;
    if (int rc = ctx.expanded.Reserve(total); rc != kOk)
        return rc;
    std::uint8_t* out = ctx.expanded.data();
    std::size_t filled = 0;
    while (filled < total) {
        const int c = in.Get();
        if (c < 0)
            break;
        if (c & 0x80) {
            const int v = in.Get();
            if (v < 0)
                break;
            const std::size_t n = std::min<std::size_t>(257 - static_cast<std::size_t>(c), total - filled);
            std::memset(out + filled, v, n);
            filled += n;
        } else {
            filled += in.Read(out + filled, std::min<std::size_t>(static_cast<std::size_t>(c) + 1, total - filled));
        }
    }

    if (int rc = ctx.ReserveDecoded(kWidth, kHeight); rc != kOk)
        return rc;
    ctx.width = kWidth;
    ctx.height = kHeight;
    ctx.bits_per_pixel = 1;
    ctx.compression_name = "RLE";
    ByteCursor rows(std::span<const std::uint8_t>(out, filled));
    DecodeRows(ctx, rows, kRowBytes, 1, false,
               [](const std::uint8_t* src, std::uint8_t* dst) { BitsToBgr(src, kWidth, 0, 255, dst); });
    return kOk;
}
