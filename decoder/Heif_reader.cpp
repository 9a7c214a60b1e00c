// HEIF and HEIC reading through libheif, run in the decoding helper (decoder/Heif_reader.h).
#include "base/Result_codes.h"
#include "base/Pixel_buffer.h"
#include "decoder/Heif_reader.h"
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

int HeifFail(HELPER_PICTURE& out, const heif_error& e)
{
    const int code = e.code == heif_error_Memory_allocation_error ? kMemoryError
                     : e.code == heif_error_Unsupported_feature || e.code == heif_error_Unsupported_filetype
                         ? kFormatNotSupported
                         : kDataError;
    out.reason = e.message != nullptr && e.message[0] != '\0' ? e.message : "the HEIF file is damaged";
    return code;
}

void KeepProfile(HELPER_PICTURE& out, const heif_image_handle* handle)
{
    const std::size_t icc = heif_image_handle_get_raw_color_profile_size(handle);
    if (icc > 0 && icc < (std::size_t{64} << 20)) {
        out.icc_profile.resize(icc);
        if (heif_image_handle_get_raw_color_profile(handle, out.icc_profile.data()).code != heif_error_Ok)
            out.icc_profile.clear();
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx != nullptr) {
        out.colour_primaries = nclx->color_primaries;
        out.transfer_characteristics = nclx->transfer_characteristics;
        out.matrix_coefficients = nclx->matrix_coefficients;
        out.full_range = nclx->full_range_flag != 0;
        heif_nclx_color_profile_free(nclx);
    }
}

} // namespace

int ReadHeifInHelper(std::span<const std::uint8_t> bytes, HELPER_PICTURE& out)
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
        return HeifFail(out, e);
    if (heif_error e = heif_context_get_primary_image_handle(h.context, &h.handle); e.code != heif_error_Ok)
        return HeifFail(out, e);
    const int w = heif_image_handle_get_width(h.handle), hh = heif_image_handle_get_height(h.handle);
    if (w < 1 || hh < 1) {
        out.reason = "the HEIF image has no size";
        return kDataError;
    }
    if (PictureBytes(w, hh, 4) == SIZE_MAX)
        return kImageTooLarge;
    const bool alpha = heif_image_handle_has_alpha_channel(h.handle) != 0;
    out.alpha = alpha;
    out.bits_per_sample = heif_image_handle_get_luma_bits_per_pixel(h.handle);
    out.bits_per_pixel = alpha ? 32 : 24;
    out.compression = "HEVC";
    KeepProfile(out, h.handle);

    h.options = heif_decoding_options_alloc();
    if (h.options == nullptr)
        return kMemoryError;
    h.options->ignore_transformations = 0;
    if (heif_error e = heif_decode_image(h.handle, &h.image, heif_colorspace_RGB,
                                         alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, h.options);
        e.code != heif_error_Ok)
        return HeifFail(out, e);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(h.image, heif_channel_interleaved, &stride);
    const int out_w = heif_image_get_width(h.image, heif_channel_interleaved);
    const int out_h = heif_image_get_height(h.image, heif_channel_interleaved);
    const int channels = alpha ? 4 : 3;
    if (plane == nullptr || out_w < 1 || out_h < 1 || stride < out_w * channels ||
        PictureBytes(out_w, out_h, 4) == SIZE_MAX) {
        out.reason = "libheif gave no picture";
        return kDataError;
    }
    out.width = static_cast<std::uint32_t>(out_w);
    out.height = static_cast<std::uint32_t>(out_h);
    out.bgr.resize(PictureBytes(out_w, out_h, 3));
    std::uint8_t* to = out.bgr.data();
    for (int y = 0; y < out_h; ++y) {
        const std::uint8_t* from = plane + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        for (int x = 0; x < out_w; ++x, from += channels, to += 3) {
            if (alpha) {
                to[0] = OverWhite(from[2], from[3]);
                to[1] = OverWhite(from[1], from[3]);
                to[2] = OverWhite(from[0], from[3]);
            } else {
                to[0] = from[2];
                to[1] = from[1];
                to[2] = from[0];
            }
        }
    }
    return kOk;
}
