// AVIF reading and writing through libavif.
//
// Reading: the primary image (or the first image of a sequence) at 8, 10 or 12 bits a
// sample is converted by libavif to 8-bit blue-green-red rows (10 and 12 bits rounded),
// with alpha laid over white. The ICC profile and the nclx code points go to the
// context's meta; a sequence's frame count and durations too (its frames play through
// dec_enc/Frame_source.h). Depth reported: 24, 32 with alpha; compression name "AV1".
//
// Writing: 8-bit 4:2:0 YUV at a quantizer from ctx.quality (100: 0, 1: 63) and
// ctx.speed; lossless is 4:4:4 with the identity matrix and quantizer 0.
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Frame_formats.h"
#include "dec_enc/Rgba_rows.h"

#include "dec_enc/Avif_shared.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

struct DecoderFree {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};
struct ImageFree {
    void operator()(avifImage* i) const { avifImageDestroy(i); }
};
struct EncoderFree {
    void operator()(avifEncoder* e) const { avifEncoderDestroy(e); }
};

bool IsoBox(std::span<const std::uint8_t> b) { return b.size() >= 12 && std::memcmp(b.data() + 4, "ftyp", 4) == 0; }

void KeepImageFacts(CODEC_CTX& ctx, const avifDecoder& d)
{
    const avifImage& im = *d.image;
    ctx.meta.bits_per_sample = static_cast<std::int32_t>(im.depth);
    ctx.meta.alpha = d.alphaPresent != 0;
    if (im.icc.size > 0)
        ctx.meta.icc_profile.assign(im.icc.data, im.icc.data + im.icc.size);
    ctx.meta.colour_primaries = im.colorPrimaries;
    ctx.meta.transfer_characteristics = im.transferCharacteristics;
    ctx.meta.matrix_coefficients = im.matrixCoefficients;
    ctx.meta.full_range = im.yuvRange == AVIF_RANGE_FULL;
    if (d.imageCount > 1) {
        ctx.meta.frame_count = d.imageCount;
        ctx.meta.loop_count = 0; // sequences carry no loop count this library reads
        std::int64_t total = 0;
        for (int k = 0; k < d.imageCount; ++k) {
            avifImageTiming t {};
            if (avifDecoderNthImageTiming(&d, static_cast<std::uint32_t>(k), &t) == AVIF_RESULT_OK)
                total += std::llround(t.duration * 1000.0);
        }
        ctx.meta.duration_ms = total;
    }
}

} // namespace

// Shared with the AVIF frame source: a decoder over bytes with this program's limits.
avifDecoder* CreateAvifDecoder(std::span<const std::uint8_t> bytes)
{
    avifDecoder* d = avifDecoderCreate();
    if (d == nullptr)
        return nullptr;
    d->maxThreads = 1;
    d->ignoreExif = AVIF_TRUE;
    d->ignoreXMP = AVIF_TRUE;
    d->imageSizeLimit = static_cast<std::uint32_t>(kMaxPictureBytes / 4);
    d->imageCountLimit = 100000;
    if (avifDecoderSetIOMemory(d, bytes.data(), bytes.size()) != AVIF_RESULT_OK) {
        avifDecoderDestroy(d);
        return nullptr;
    }
    return d;
}

// Converts the decoder's current image to 8-bit rows of the given layout.
avifResult AvifImageTo8Bit(const avifImage* image, std::uint8_t* pixels, std::size_t stride, bool alpha)
{
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.format = alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_BGR;
    rgb.depth = 8;
    rgb.pixels = pixels;
    rgb.rowBytes = static_cast<std::uint32_t>(stride);
    return avifImageYUVToRGB(image, &rgb);
}

int DecodeAvif(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    if (!IsoBox(bytes))
        return kMagicError;
    std::unique_ptr<avifDecoder, DecoderFree> d(CreateAvifDecoder(bytes));
    if (!d)
        return kMemoryError;
    if (const avifResult r = avifDecoderParse(d.get()); r != AVIF_RESULT_OK)
        return Refuse(ctx, r == AVIF_RESULT_INVALID_FTYP ? kMagicError : kDataError, avifResultToString(r));
    const std::uint32_t w = d->image->width, h = d->image->height;
    if (PixelsWithinCap(w, h) == 0)
        return kImageTooLarge;
    KeepImageFacts(ctx, *d);
    ctx.bits_per_pixel = d->alphaPresent ? 32 : 24;
    ctx.compression_name = "AV1";
    if (const avifResult r = avifDecoderNextImage(d.get()); r != AVIF_RESULT_OK)
        return Refuse(ctx, kDataError, avifResultToString(r));
    if (d->image->width != w || d->image->height != h)
        return Refuse(ctx, kDataError, "the first image differs from the header's size");
    if (d->alphaPresent) {
        const std::size_t stride = std::size_t{w} * 4;
        if (int rc = ctx.quad.Reserve(stride * h); rc != kOk)
            return rc;
        if (const avifResult r = AvifImageTo8Bit(d->image, ctx.quad.data(), stride, true); r != AVIF_RESULT_OK)
            return Refuse(ctx, kDataError, avifResultToString(r));
        return PutPicture(ctx, ctx.quad.data(), stride, w, h, ChannelOrder::Rgba);
    }
    if (int rc = ctx.ReserveTarget(w, h); rc != kOk)
        return rc;
    if (const avifResult r = AvifImageTo8Bit(d->image, ctx.TargetRow(0), TargetStride(ctx), false);
        r != AVIF_RESULT_OK)
        return Refuse(ctx, kDataError, avifResultToString(r));
    return kOk;
}

int WriteAvif(CODEC_CTX& ctx)
{
    const WRITER_ROWS src = FindWriterRows(ctx);
    if (src.first == nullptr)
        return kDataError;
    const bool lossless = ctx.lossless;
    std::unique_ptr<avifImage, ImageFree> image(
        avifImageCreate(static_cast<std::uint32_t>(ctx.width), static_cast<std::uint32_t>(ctx.height), 8,
                        lossless ? AVIF_PIXEL_FORMAT_YUV444 : AVIF_PIXEL_FORMAT_YUV420));
    if (!image)
        return kMemoryError;
    image->yuvRange = AVIF_RANGE_FULL;
    image->colorPrimaries = AVIF_COLOR_PRIMARIES_BT709;
    image->transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_SRGB;
    image->matrixCoefficients = lossless ? AVIF_MATRIX_COEFFICIENTS_IDENTITY : AVIF_MATRIX_COEFFICIENTS_BT601;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image.get());
    rgb.format = AVIF_RGB_FORMAT_BGR;
    rgb.depth = 8;
    rgb.pixels = const_cast<std::uint8_t*>(src.first); // read only: the conversion to YUV
    rgb.rowBytes = static_cast<std::uint32_t>(src.stride);
    if (avifImageRGBToYUV(image.get(), &rgb) != AVIF_RESULT_OK)
        return kMemoryError;
    std::unique_ptr<avifEncoder, EncoderFree> enc(avifEncoderCreate());
    if (!enc)
        return kMemoryError;
    const int quantizer = lossless ? 0 : (100 - std::clamp(ctx.quality, 1, 100)) * 63 / 99;
    enc->minQuantizer = enc->maxQuantizer = quantizer;
    enc->minQuantizerAlpha = enc->maxQuantizerAlpha = 0;
    enc->speed = std::clamp(ctx.speed, 0, 10);
    enc->maxThreads = 2;
    avifRWData out = AVIF_DATA_EMPTY;
    if (const avifResult r = avifEncoderWrite(enc.get(), image.get(), &out); r != AVIF_RESULT_OK) {
        avifRWDataFree(&out);
        return Refuse(ctx, kUnknownError, avifResultToString(r));
    }
    const int rc = WriteWholeOutput(ctx, out.data, out.size);
    avifRWDataFree(&out);
    return rc;
}

namespace {

// AVIF image sequences: every frame is a whole picture; libavif seeks to the key frame
// before the one asked for and decodes forward from there.
class AVIF_FRAMES : public FrameSourceBase {
public:
    AVIF_FRAMES(std::vector<std::uint8_t>& bytes, std::size_t budget) : FrameSourceBase(bytes, budget) {}

    int Open(std::string& reason)
    {
        format_ = Format::Avif;
        decoder_.reset(CreateAvifDecoder(bytes_));
        if (!decoder_)
            return kMemoryError;
        if (const avifResult r = avifDecoderParse(decoder_.get()); r != AVIF_RESULT_OK) {
            reason = avifResultToString(r);
            return r == AVIF_RESULT_INVALID_FTYP ? kMagicError : kDataError;
        }
        const std::uint32_t w = decoder_->image->width, h = decoder_->image->height;
        if (PixelsWithinCap(w, h) == 0)
            return kImageTooLarge;
        width_ = static_cast<std::int32_t>(w);
        height_ = static_cast<std::int32_t>(h);
        loop_count_ = 0;
        for (int k = 0; k < decoder_->imageCount; ++k) {
            avifImageTiming t {};
            avifDecoderNthImageTiming(decoder_.get(), static_cast<std::uint32_t>(k), &t);
            delays_.push_back(static_cast<std::int32_t>(std::clamp(std::llround(t.duration * 1000.0), 0LL, 1LL << 30)));
        }
        return kOk;
    }

protected:
    int Rewind() override { return kOk; }
    int Advance() override { return DecodeAt(position_ + 1); }
    int DecodeAt(std::int32_t k) override
    {
        if (const avifResult r = avifDecoderNthImage(decoder_.get(), static_cast<std::uint32_t>(k)); r != AVIF_RESULT_OK)
            return Fail(kDataError, avifResultToString(r));
        const avifImage* im = decoder_->image;
        if (static_cast<std::int32_t>(im->width) != width_ || static_cast<std::int32_t>(im->height) != height_)
            return Fail(kDataError, "a frame differs from the sequence's size");
        rgba_.resize(std::size_t(width_) * std::size_t(height_) * 4);
        if (const avifResult r = AvifImageTo8Bit(im, rgba_.data(), std::size_t(width_) * 4, true); r != AVIF_RESULT_OK)
            return Fail(kDataError, avifResultToString(r));
        return kOk;
    }
    std::size_t StateBytes() const override { return std::size_t(width_) * std::size_t(height_) * 2; }

private:
    std::unique_ptr<avifDecoder, DecoderFree> decoder_;
};

} // namespace

std::unique_ptr<FrameSource> MakeAvifFrames(std::vector<std::uint8_t>& bytes, std::size_t budget, int& rc,
                                            std::string& reason)
{
    auto source = std::make_unique<AVIF_FRAMES>(bytes, budget);
    rc = source->Open(reason);
    if (rc != kOk)
        source.reset();
    return source;
}
