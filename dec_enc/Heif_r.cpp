// HEIF and HEIC reading through libheif: the primary image, decoded to 8-bit red-green-blue
// (10-bit samples rounded by libheif), with alpha laid over white. libheif applies the
// container's rotation and mirror ("irot", "imir") and crop once; the Exif orientation the
// file may also carry is left alone (the open dispatcher turns JPEG pictures only). The ICC
// profile and the nclx code points go to the context's meta. Depth reported: 24, 32 with
// alpha; compression name "HEVC".
#include "core/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Rgba_rows.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>

namespace {

struct HEIF_HANDLES {
    heif_context* context = nullptr;
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    heif_decoding_options* options = nullptr;
    ~HEIF_HANDLES()
    {
        if (image != nullptr)
            heif_image_release(image);
        if (handle != nullptr)
            heif_image_handle_release(handle);
        if (options != nullptr)
            heif_decoding_options_free(options);
        if (context != nullptr)
            heif_context_free(context);
    }
};

int HeifFail(CODEC_CTX& ctx, const heif_error& e)
{
    const int code = e.code == heif_error_Memory_allocation_error ? kMemoryError
                     : e.code == heif_error_Unsupported_feature || e.code == heif_error_Unsupported_filetype
                         ? kFormatNotSupported
                         : kDataError;
    return Refuse(ctx, code, e.message != nullptr && e.message[0] != '\0' ? e.message : "the HEIF file is damaged");
}

void KeepProfile(CODEC_CTX& ctx, const heif_image_handle* handle)
{
    const std::size_t icc = heif_image_handle_get_raw_color_profile_size(handle);
    if (icc > 0 && icc < (std::size_t{64} << 20)) {
        ctx.meta.icc_profile.resize(icc);
        if (heif_image_handle_get_raw_color_profile(handle, ctx.meta.icc_profile.data()).code != heif_error_Ok)
            ctx.meta.icc_profile.clear();
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx != nullptr) {
        ctx.meta.colour_primaries = nclx->color_primaries;
        ctx.meta.transfer_characteristics = nclx->transfer_characteristics;
        ctx.meta.matrix_coefficients = nclx->matrix_coefficients;
        ctx.meta.full_range = nclx->full_range_flag != 0;
        heif_nclx_color_profile_free(nclx);
    }
}

} // namespace

int DecodeHeifInProcess(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 12 || std::memcmp(bytes.data() + 4, "ftyp", 4) != 0)
        return kMagicError;
    const heif_filetype_result type = heif_check_filetype(bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)));
    if (type == heif_filetype_no)
        return kMagicError;
    HEIF_HANDLES h;
    h.context = heif_context_alloc();
    if (h.context == nullptr)
        return kMemoryError;
    heif_context_set_maximum_image_size_limit(h.context, 32768);
    if (heif_error e = heif_context_read_from_memory_without_copy(h.context, bytes.data(), bytes.size(), nullptr);
        e.code != heif_error_Ok)
        return HeifFail(ctx, e);
    if (heif_error e = heif_context_get_primary_image_handle(h.context, &h.handle); e.code != heif_error_Ok)
        return HeifFail(ctx, e);
    const int w = heif_image_handle_get_width(h.handle), hh = heif_image_handle_get_height(h.handle);
    if (w < 1 || hh < 1)
        return Refuse(ctx, kDataError, "the HEIF image has no size");
    if (PixelsWithinCap(static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(hh)) == 0)
        return kImageTooLarge;
    const bool alpha = heif_image_handle_has_alpha_channel(h.handle) != 0;
    ctx.meta.alpha = alpha;
    ctx.meta.bits_per_sample = heif_image_handle_get_luma_bits_per_pixel(h.handle);
    ctx.bits_per_pixel = alpha ? 32 : 24;
    ctx.compression_name = "HEVC";
    KeepProfile(ctx, h.handle);

    h.options = heif_decoding_options_alloc();
    if (h.options == nullptr)
        return kMemoryError;
    h.options->ignore_transformations = 0;
    if (heif_error e = heif_decode_image(h.handle, &h.image, heif_colorspace_RGB,
                                         alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, h.options);
        e.code != heif_error_Ok)
        return HeifFail(ctx, e);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(h.image, heif_channel_interleaved, &stride);
    const int out_w = heif_image_get_width(h.image, heif_channel_interleaved);
    const int out_h = heif_image_get_height(h.image, heif_channel_interleaved);
    if (plane == nullptr || out_w < 1 || out_h < 1 || stride < out_w * (alpha ? 4 : 3))
        return Refuse(ctx, kDataError, "libheif gave no picture");
    return PutPicture(ctx, plane, static_cast<std::size_t>(stride), out_w, out_h,
                      alpha ? ChannelOrder::Rgba : ChannelOrder::Rgb);
}
