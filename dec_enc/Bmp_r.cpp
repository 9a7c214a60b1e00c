// Windows bitmap reading (.BMP, .DIB): the platform bitmap loader (dec_enc/Bmp_loader)
// decodes the file; this reader checks the signature ("BM"; packed bitmaps without it in
// .DIB files) and the size limit, reports the
// loaded pixel format's class as the depth and hands the rows on. When the caller gives a
// direct target, the loaded bitmap itself is handed back to take its place.
#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Bmp_loader.h"

#include <cctype>
#include <string>
#include <utility>

int DecodeBmp(CODEC_CTX& ctx, std::span<const std::uint8_t> file)
{
    // A .DIB file without the "BM" file header is read as a packed bitmap when it starts
    // with the size of a known info header.
    std::string ext = ExtensionOf(ctx.input_file_name);
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::uint32_t lead = file.size() >= 4 ? LoadDword(kLittleEndian, file.data()) : 0;
    const bool packed = ext == ".DIB" && !(file.size() >= 2 && file[0] == 'B' && file[1] == 'M') &&
                        (lead == 12 || lead == 40 || lead == 52 || lead == 56 || lead == 108 || lead == 124);
    BMP_INFO info;
    if (int rc = ParseBmpHeader(file, info, packed); rc != kOk)
        return Refuse(ctx, rc, info.reason);
    if (info.width > 4096 && info.height > 4096)
        return Refuse(ctx, kImageTooLarge, kReasonOver4096);
    if (!BmpRowsPresent(file.size(), info))
        return Refuse(ctx, kDataError, kReasonTooShort);
    ctx.compression_name = "None"; // run-length coded bitmaps too
    ctx.bits_per_pixel = info.pixel_class;

    if (ctx.direct_target != nullptr) {
        if (!ctx.decoder_bitmap)
            ctx.decoder_bitmap = std::make_unique<Dib>();
        if (int rc = LoadBmp(file, *ctx.decoder_bitmap, info, packed); rc != kOk)
            return rc;
        ctx.width = info.width;
        ctx.height = info.height;
        ctx.handed_back = std::move(ctx.decoder_bitmap);
        ctx.drew_direct = true;
        return kOk;
    }
    if (int rc = ctx.ReserveDecoded(info.width, info.height); rc != kOk)
        return rc;
    ctx.width = info.width;
    ctx.height = info.height;
    DecodeBmpPixels(file, info, ctx.decoded.data(), ctx.RowBytes());
    return kOk;
}
