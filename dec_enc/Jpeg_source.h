// A JPEG data source over a file's bytes that hands the library 1 MiB at a time and gives
// back the pages of a mapped file behind it (CODEC_CTX::ReleaseInputBefore). At the end of
// the bytes it supplies an end-of-image marker and a warning, as the library's memory
// source does, so a file cut short decodes the same either way.
#pragma once

#include "dec_enc/Codec_ctx.h"
#include "dec_enc/Jpeg_err.h"

#include <algorithm>
#include <cstdint>
#include <span>

struct JpegByteSource {
    jpeg_source_mgr pub;
    std::span<const std::uint8_t> bytes;
    std::size_t handed = 0; // bytes handed to the library so far
    const CODEC_CTX* ctx = nullptr;
};

inline void JpegSourceNothing(j_decompress_ptr) {}

inline boolean JpegSourceFill(j_decompress_ptr cinfo)
{
    static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    auto* s = reinterpret_cast<JpegByteSource*>(cinfo->src);
    if (s->ctx != nullptr)
        s->ctx->ReleaseInputBefore(s->bytes.data() + s->handed);
    if (s->handed >= s->bytes.size()) {
        WARNMS(cinfo, JWRN_JPEG_EOF);
        s->pub.next_input_byte = kEnd;
        s->pub.bytes_in_buffer = 2;
        return TRUE;
    }
    const std::size_t n = std::min<std::size_t>(std::size_t{1} << 20, s->bytes.size() - s->handed);
    s->pub.next_input_byte = s->bytes.data() + s->handed;
    s->pub.bytes_in_buffer = n;
    s->handed += n;
    return TRUE;
}

inline void JpegSourceSkip(j_decompress_ptr cinfo, long num_bytes)
{
    jpeg_source_mgr* src = cinfo->src;
    if (num_bytes <= 0)
        return;
    while (num_bytes > static_cast<long>(src->bytes_in_buffer)) {
        num_bytes -= static_cast<long>(src->bytes_in_buffer);
        JpegSourceFill(cinfo);
    }
    src->next_input_byte += num_bytes;
    src->bytes_in_buffer -= static_cast<std::size_t>(num_bytes);
}

// Attaches source (which must outlive the decompression) to cinfo.
inline void AttachJpegBytes(j_decompress_ptr cinfo, JpegByteSource& source, std::span<const std::uint8_t> bytes,
                            const CODEC_CTX* ctx)
{
    source.bytes = bytes;
    source.handed = 0;
    source.ctx = ctx;
    source.pub.init_source = JpegSourceNothing;
    source.pub.fill_input_buffer = JpegSourceFill;
    source.pub.skip_input_data = JpegSourceSkip;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = JpegSourceNothing;
    source.pub.bytes_in_buffer = 0;
    source.pub.next_input_byte = nullptr;
    cinfo->src = &source.pub;
}
