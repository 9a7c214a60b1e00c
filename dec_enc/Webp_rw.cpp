// WebP reading and writing through libwebp.
//
// Reading: a still picture (lossy, lossless, with or without alpha) is decoded by
// libwebp straight into blue-green-red rows; with alpha it goes through blue-green-red-
// alpha rows laid over white. An animation gives its first frame as composed by libwebp's
// animation decoder (dec_enc/Frame_source.h plays the rest). The ICC profile ("ICCP"
// chunk) goes to the context's meta. Depth reported: 24, 32 with alpha; compression name
// "lossy", "lossless", or "mixed" for animations of both.
//
// Writing: lossy at ctx.quality, or lossless when ctx.lossless is set, from the 24-bit
// picture; WebP is limited to 16383 pixels a side.
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Frame_formats.h"
#include "dec_enc/Rgba_rows.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kMaxWebpSide = 16383;

void ReadWebpProfile(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    WebPData data {bytes.data(), bytes.size()};
    WebPDemuxer* demux = WebPDemux(&data);
    if (demux == nullptr)
        return;
    if ((WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG) != 0) {
        WebPChunkIterator chunk;
        if (WebPDemuxGetChunk(demux, "ICCP", 1, &chunk) != 0) {
            ctx.meta.icc_profile.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
            WebPDemuxReleaseChunkIterator(&chunk);
        }
    }
    WebPDemuxDelete(demux);
}

} // namespace

int DecodeWebp(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WEBP", 4) != 0)
        return kMagicError;
    WebPBitstreamFeatures f;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &f) != VP8_STATUS_OK)
        return Refuse(ctx, kDataError, "the WebP headers are damaged");
    if (f.width < 1 || f.height < 1)
        return Refuse(ctx, kDataError, "the WebP picture has no size");
    if (PixelsWithinCap(static_cast<std::uint64_t>(f.width), static_cast<std::uint64_t>(f.height)) == 0)
        return kImageTooLarge;
    ctx.meta.bits_per_sample = 8;
    ctx.meta.alpha = f.has_alpha != 0;
    ctx.bits_per_pixel = f.has_alpha != 0 ? 32 : 24;
    ctx.compression_name = f.format == 1 ? "lossy" : f.format == 2 ? "lossless" : "mixed";
    ReadWebpProfile(ctx, bytes);

    if (f.has_animation != 0)
        return PutFirstFrame(ctx, bytes);
    if (f.has_alpha != 0) {
        const std::size_t stride = static_cast<std::size_t>(f.width) * 4;
        if (int rc = ctx.quad.Reserve(stride * static_cast<std::size_t>(f.height)); rc != kOk)
            return rc;
        if (WebPDecodeBGRAInto(bytes.data(), bytes.size(), ctx.quad.data(), ctx.quad.size(), static_cast<int>(stride)) ==
            nullptr)
            return Refuse(ctx, kDataError, "the WebP picture data are damaged");
        return PutPicture(ctx, ctx.quad.data(), stride, f.width, f.height, ChannelOrder::Bgra);
    }
    if (int rc = ctx.ReserveTarget(f.width, f.height); rc != kOk)
        return rc;
    const std::size_t stride = TargetStride(ctx);
    if (WebPDecodeBGRInto(bytes.data(), bytes.size(), ctx.TargetRow(0), stride * static_cast<std::size_t>(f.height),
                          static_cast<int>(stride)) == nullptr) {
        for (int y = 0; y < ctx.height; ++y) // no half-decoded rows on show
            std::memset(ctx.TargetRow(y), 0, ctx.RowBytes());
        return Refuse(ctx, kDataError, "the WebP picture data are damaged");
    }
    return kOk;
}

int WriteWebp(CODEC_CTX& ctx)
{
    const WRITER_ROWS src = FindWriterRows(ctx);
    if (src.first == nullptr)
        return kDataError;
    if (ctx.width > kMaxWebpSide || ctx.height > kMaxWebpSide)
        return Refuse(ctx, kImageTooLarge, "WebP pictures are at most 16383 pixels a side");
    std::uint8_t* out = nullptr;
    const int stride = static_cast<int>(src.stride);
    const std::size_t size =
        ctx.lossless ? WebPEncodeLosslessBGR(src.first, ctx.width, ctx.height, stride, &out)
                     : WebPEncodeBGR(src.first, ctx.width, ctx.height, stride,
                                     static_cast<float>(std::clamp(ctx.quality, 1, 100)), &out);
    if (size == 0 || out == nullptr) {
        WebPFree(out);
        return kMemoryError;
    }
    const int rc = WriteWholeOutput(ctx, out, size);
    WebPFree(out);
    return rc;
}

namespace {

// WebP animations through libwebp's animation decoder, which keeps the canvas and the
// previous one itself and composes each frame (blending, disposal to the background).
class WEBP_FRAMES : public FrameSourceBase {
public:
    WEBP_FRAMES(std::vector<std::uint8_t>& bytes, std::size_t budget) : FrameSourceBase(bytes, budget) {}
    ~WEBP_FRAMES() override { WebPAnimDecoderDelete(decoder_); }

    int Open(std::string& reason)
    {
        format_ = Format::Webp;
        const WebPData data {bytes_.data(), bytes_.size()};
        WebPDemuxer* demux = WebPDemux(&data);
        if (demux == nullptr) {
            reason = "the WebP headers are damaged";
            return kDataError;
        }
        const std::uint64_t w = WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH), h = WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
        const std::uint32_t frames = WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT);
        loop_count_ = static_cast<std::int32_t>(WebPDemuxGetI(demux, WEBP_FF_LOOP_COUNT));
        // The decoder holds two canvases and this source one more.
        if (PixelsWithinCap(w, h * 3) == 0) {
            WebPDemuxDelete(demux);
            return kImageTooLarge;
        }
        width_ = static_cast<std::int32_t>(w);
        height_ = static_cast<std::int32_t>(h);
        WebPIterator it;
        if (frames > 0 && WebPDemuxGetFrame(demux, 1, &it) != 0) {
            do
                delays_.push_back(it.duration);
            while (WebPDemuxNextFrame(&it) != 0);
            WebPDemuxReleaseIterator(&it);
        }
        WebPDemuxDelete(demux);
        if (delays_.empty()) {
            reason = "the WebP file has no frames";
            return kDataError;
        }
        WebPAnimDecoderOptions options;
        if (WebPAnimDecoderOptionsInit(&options) == 0)
            return kUnknownError;
        options.color_mode = MODE_RGBA;
        options.use_threads = 0;
        decoder_ = WebPAnimDecoderNew(&data, &options);
        if (decoder_ == nullptr) {
            reason = "the WebP animation is damaged";
            return kDataError;
        }
        return kOk;
    }

protected:
    int Rewind() override
    {
        WebPAnimDecoderReset(decoder_);
        return kOk;
    }
    int Advance() override
    {
        std::uint8_t* canvas = nullptr;
        int timestamp = 0;
        if (WebPAnimDecoderHasMoreFrames(decoder_) == 0 || WebPAnimDecoderGetNext(decoder_, &canvas, &timestamp) == 0)
            return Fail(kDataError, "a WebP frame is damaged");
        rgba_.assign(canvas, canvas + std::size_t(width_) * std::size_t(height_) * 4);
        return kOk;
    }
    std::size_t StateBytes() const override { return std::size_t(width_) * std::size_t(height_) * 8; }

private:
    WebPAnimDecoder* decoder_ = nullptr;
};

} // namespace

std::unique_ptr<FrameSource> MakeWebpFrames(std::vector<std::uint8_t>& bytes, std::size_t budget, int& rc,
                                            std::string& reason)
{
    auto source = std::make_unique<WEBP_FRAMES>(bytes, budget);
    rc = source->Open(reason);
    if (rc != kOk)
        source.reset();
    return source;
}
