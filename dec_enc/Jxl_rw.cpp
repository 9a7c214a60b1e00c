// JPEG XL reading and writing through libjxl.
//
// Reading: the first frame (an animation's frames composed by libjxl, which also turns the
// picture by its orientation field) as 8-bit samples, alpha laid over white. The colour
// encoding goes to the context's meta: the ICC profile when the file carries one, else the
// encoded colour space as code points (primaries, transfer). An animation's frames are
// counted and their durations added from the frame headers alone. Depth reported: 24, 32
// with alpha; compression name "JPEG XL".
//
// Writing: 8-bit sRGB, lossless (modular) when ctx.lossless, else lossy at the distance
// that ctx.quality gives (the encoder's own quality scale: 90 is distance 1.0).
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Frame_formats.h"
#include "dec_enc/Rgba_rows.h"

#include <jxl/decode.h>
#include <jxl/encode.h>
#include <jxl/resizable_parallel_runner.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

struct JxlDecoderFree {
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};
struct JxlEncoderFree {
    void operator()(JxlEncoder* e) const { JxlEncoderDestroy(e); }
};
struct RunnerFree {
    void operator()(void* r) const { JxlResizableParallelRunnerDestroy(r); }
};
using DecoderPtr = std::unique_ptr<JxlDecoder, JxlDecoderFree>;
using RunnerPtr = std::unique_ptr<void, RunnerFree>;

bool IsJxl(std::span<const std::uint8_t> b)
{
    static const std::uint8_t kContainer[12] = {0, 0, 0, 12, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    return (b.size() >= 2 && b[0] == 0xFF && b[1] == 0x0A) || (b.size() >= 12 && std::memcmp(b.data(), kContainer, 12) == 0);
}

// Code points of a JPEG XL colour encoding (its enumerations follow H.273 for transfer
// functions and for most primaries).
// A damaged file can leave values outside the enumerations in the encoding libjxl hands
// back (a fuzz finding): the fields are read as the integers they are stored as.
template <class E>
int StoredValue(const E& field)
{
    static_assert(sizeof(E) == sizeof(int));
    int v = 0;
    std::memcpy(&v, &field, sizeof v);
    return v;
}

void KeepEncoding(CODEC_CTX::PICTURE_META& meta, const JxlColorEncoding& e)
{
    switch (StoredValue(e.primaries)) {
    case JXL_PRIMARIES_SRGB: meta.colour_primaries = 1; break;
    case JXL_PRIMARIES_2100: meta.colour_primaries = 9; break;
    case JXL_PRIMARIES_P3: meta.colour_primaries = StoredValue(e.white_point) == JXL_WHITE_POINT_D65 ? 12 : 11; break;
    default: meta.colour_primaries = 2; break;
    }
    const int tf = StoredValue(e.transfer_function);
    meta.transfer_characteristics = tf >= 1 && tf <= 18 ? tf : 2;
    meta.matrix_coefficients = 0; // red, green, blue as they stand
    meta.full_range = true;
}

JxlPixelFormat PixelFormat8(std::uint32_t channels, std::size_t align)
{
    return JxlPixelFormat {channels, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, align};
}

// The picture's size after its orientation (5 to 8 swap the sides).
void OrientedSize(const JxlBasicInfo& info, std::uint32_t& w, std::uint32_t& h)
{
    const bool swap = info.orientation >= JXL_ORIENT_TRANSPOSE;
    w = swap ? info.ysize : info.xsize;
    h = swap ? info.xsize : info.ysize;
}

// Counts the frames of an animation and adds their durations, from the frame headers
// (no pixels are decoded). False when the headers are damaged.
bool CountJxlFrames(std::span<const std::uint8_t> bytes, const JxlBasicInfo& info, std::vector<std::int32_t>& delays)
{
    DecoderPtr d(JxlDecoderCreate(nullptr));
    if (!d || JxlDecoderSubscribeEvents(d.get(), JXL_DEC_FRAME) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(d.get(), bytes.data(), bytes.size()) != JXL_DEC_SUCCESS)
        return false;
    JxlDecoderCloseInput(d.get());
    const double tick_ms = info.animation.tps_numerator > 0
                               ? 1000.0 * info.animation.tps_denominator / info.animation.tps_numerator
                               : 0.0;
    for (;;) {
        const JxlDecoderStatus s = JxlDecoderProcessInput(d.get());
        if (s == JXL_DEC_SUCCESS)
            return !delays.empty();
        if (s != JXL_DEC_FRAME)
            return false;
        JxlFrameHeader fh;
        if (JxlDecoderGetFrameHeader(d.get(), &fh) != JXL_DEC_SUCCESS)
            return false;
        if (delays.size() >= 1000000)
            return false;
        delays.push_back(static_cast<std::int32_t>(std::clamp(std::llround(fh.duration * tick_ms), 0LL, 1LL << 30)));
    }
}

} // namespace

int DecodeJxl(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    if (!IsJxl(bytes))
        return kMagicError;
    DecoderPtr d(JxlDecoderCreate(nullptr));
    RunnerPtr runner(JxlResizableParallelRunnerCreate(nullptr));
    if (!d || !runner)
        return kMemoryError;
    if (JxlDecoderSubscribeEvents(d.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(d.get(), JxlResizableParallelRunner, runner.get()) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(d.get(), bytes.data(), bytes.size()) != JXL_DEC_SUCCESS)
        return kUnknownError;
    JxlDecoderCloseInput(d.get());
    JxlBasicInfo info {};
    std::uint32_t w = 0, h = 0;
    bool alpha = false;
    JxlPixelFormat format = PixelFormat8(3, 0);
    for (;;) {
        const JxlDecoderStatus s = JxlDecoderProcessInput(d.get());
        switch (s) {
        case JXL_DEC_BASIC_INFO:
            if (JxlDecoderGetBasicInfo(d.get(), &info) != JXL_DEC_SUCCESS)
                return Refuse(ctx, kDataError, "the JPEG XL header is damaged");
            OrientedSize(info, w, h);
            if (PixelsWithinCap(w, h) == 0)
                return kImageTooLarge;
            alpha = info.alpha_bits > 0;
            ctx.meta.alpha = alpha;
            ctx.meta.bits_per_sample = static_cast<std::int32_t>(info.bits_per_sample);
            ctx.bits_per_pixel = alpha ? 32 : 24;
            ctx.compression_name = "JPEG XL";
            JxlResizableParallelRunnerSetThreads(runner.get(), JxlResizableParallelRunnerSuggestThreads(w, h));
            if (info.have_animation) {
                std::vector<std::int32_t> delays;
                if (CountJxlFrames(bytes, info, delays) && delays.size() > 1) {
                    ctx.meta.frame_count = static_cast<std::int32_t>(delays.size());
                    for (std::int32_t ms : delays)
                        ctx.meta.duration_ms += ms;
                    ctx.meta.loop_count = static_cast<std::int32_t>(std::min<std::uint32_t>(info.animation.num_loops, 1 << 30));
                }
            }
            if (alpha) {
                format = PixelFormat8(4, 0);
                if (int rc = ctx.quad.Reserve(std::size_t{w} * h * 4); rc != kOk)
                    return rc;
            } else if (int rc = ctx.ReserveTarget(w, h); rc != kOk) {
                return rc;
            } else {
                // Rows straight into the target: its stride is the row rounded up to 4.
                format = PixelFormat8(3, TargetStride(ctx));
            }
            break;
        case JXL_DEC_COLOR_ENCODING: {
            JxlColorEncoding e {};
            if (JxlDecoderGetColorAsEncodedProfile(d.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL, &e) ==
                JXL_DEC_SUCCESS) {
                KeepEncoding(ctx.meta, e);
            } else {
                std::size_t size = 0;
                if (JxlDecoderGetICCProfileSize(d.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL, &size) ==
                        JXL_DEC_SUCCESS &&
                    size > 0 && size < (std::size_t{64} << 20)) {
                    ctx.meta.icc_profile.resize(size);
                    if (JxlDecoderGetColorAsICCProfile(d.get(), nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                                       ctx.meta.icc_profile.data(), size) != JXL_DEC_SUCCESS)
                        ctx.meta.icc_profile.clear();
                }
            }
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            std::size_t need = 0;
            if (JxlDecoderImageOutBufferSize(d.get(), &format, &need) != JXL_DEC_SUCCESS)
                return Refuse(ctx, kDataError, "the JPEG XL frame is damaged");
            std::uint8_t* out = alpha ? ctx.quad.data() : ctx.TargetRow(0);
            const std::size_t room = alpha ? ctx.quad.size() : TargetStride(ctx) * h;
            if (need > room)
                return Refuse(ctx, kDataError, "the JPEG XL frame is larger than the picture");
            if (JxlDecoderSetImageOutBuffer(d.get(), &format, out, need) != JXL_DEC_SUCCESS)
                return kUnknownError;
            break;
        }
        case JXL_DEC_FULL_IMAGE:
            if (alpha)
                return PutPicture(ctx, ctx.quad.data(), std::size_t{w} * 4, w, h, ChannelOrder::Rgba);
            for (std::uint32_t y = 0; y < h; ++y) {
                std::uint8_t* row = ctx.TargetRow(static_cast<int>(y));
                RowToBgr(row, row, w, ChannelOrder::Rgb);
            }
            return kOk;
        case JXL_DEC_NEED_MORE_INPUT:
            return Refuse(ctx, kDataError, "the file ends early");
        default:
            return Refuse(ctx, kDataError, "the JPEG XL data are damaged");
        }
    }
}

// The encoder's distance for a quality (its command-line tool's scale).
float JxlDistance(std::int32_t quality)
{
    const double q = std::clamp(quality, 1, 100);
    const double d = q >= 30 ? 0.1 + (100 - q) * 0.09 : 6.4 + std::pow(2.5, (30 - q) / 5.0) / 6.25;
    return static_cast<float>(std::min(d, 25.0));
}

int WriteJxl(CODEC_CTX& ctx)
{
    const WRITER_ROWS src = FindWriterRows(ctx);
    if (src.first == nullptr)
        return kDataError;
    const std::size_t w = static_cast<std::size_t>(ctx.width), h = static_cast<std::size_t>(ctx.height);
    std::vector<std::uint8_t> rgb;
    try {
        rgb.resize(w * h * 3);
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    }
    for (std::size_t y = 0; y < h; ++y)
        RowToBgr(src.first + y * src.stride, rgb.data() + y * w * 3, w, ChannelOrder::Rgb); // swaps back to RGB
    std::unique_ptr<JxlEncoder, JxlEncoderFree> enc(JxlEncoderCreate(nullptr));
    RunnerPtr runner(JxlResizableParallelRunnerCreate(nullptr));
    if (!enc || !runner)
        return kMemoryError;
    JxlResizableParallelRunnerSetThreads(runner.get(), JxlResizableParallelRunnerSuggestThreads(w, h));
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = static_cast<std::uint32_t>(w);
    info.ysize = static_cast<std::uint32_t>(h);
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.uses_original_profile = ctx.lossless ? JXL_TRUE : JXL_FALSE;
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    if (JxlEncoderSetParallelRunner(enc.get(), JxlResizableParallelRunner, runner.get()) != JXL_ENC_SUCCESS ||
        JxlEncoderSetBasicInfo(enc.get(), &info) != JXL_ENC_SUCCESS ||
        JxlEncoderSetColorEncoding(enc.get(), &srgb) != JXL_ENC_SUCCESS)
        return Refuse(ctx, kUnknownError, "the JPEG XL encoder refused the picture");
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(enc.get(), nullptr);
    if (settings == nullptr)
        return kMemoryError;
    const JxlEncoderStatus chosen = ctx.lossless ? JxlEncoderSetFrameLossless(settings, JXL_TRUE)
                                                 : JxlEncoderSetFrameDistance(settings, JxlDistance(ctx.quality));
    const JxlPixelFormat format = PixelFormat8(3, 0);
    if (chosen != JXL_ENC_SUCCESS ||
        JxlEncoderAddImageFrame(settings, &format, rgb.data(), rgb.size()) != JXL_ENC_SUCCESS)
        return Refuse(ctx, kUnknownError, "the JPEG XL encoder refused the picture");
    JxlEncoderCloseInput(enc.get());
    std::vector<std::uint8_t> out(std::max<std::size_t>(w * h / 4, 65536));
    std::size_t used = 0;
    for (;;) {
        std::uint8_t* next = out.data() + used;
        std::size_t avail = out.size() - used;
        const JxlEncoderStatus s = JxlEncoderProcessOutput(enc.get(), &next, &avail);
        used = static_cast<std::size_t>(next - out.data());
        if (s == JXL_ENC_SUCCESS)
            break;
        if (s != JXL_ENC_NEED_MORE_OUTPUT)
            return Refuse(ctx, kUnknownError, "the JPEG XL encoder failed");
        out.resize(out.size() * 2);
    }
    return WriteWholeOutput(ctx, out.data(), used);
}

namespace {

// JPEG XL animations: libjxl composes each frame (coalescing, on by default); going back
// rewinds the decoder and skips the frames before the one asked for.
class JXL_FRAMES : public FrameSourceBase {
public:
    JXL_FRAMES(std::vector<std::uint8_t>& bytes, std::size_t budget) : FrameSourceBase(bytes, budget) {}

    int Open(std::string& reason)
    {
        format_ = Format::Jxl;
        decoder_.reset(JxlDecoderCreate(nullptr));
        runner_.reset(JxlResizableParallelRunnerCreate(nullptr));
        if (!decoder_ || !runner_)
            return kMemoryError;
        if (JxlDecoderSetParallelRunner(decoder_.get(), JxlResizableParallelRunner, runner_.get()) != JXL_DEC_SUCCESS)
            return kUnknownError;
        if (int rc = Start(); rc != kOk)
            return rc;
        JxlBasicInfo info {};
        for (;;) {
            const JxlDecoderStatus s = JxlDecoderProcessInput(decoder_.get());
            if (s == JXL_DEC_BASIC_INFO && JxlDecoderGetBasicInfo(decoder_.get(), &info) == JXL_DEC_SUCCESS)
                break;
            reason = "the JPEG XL header is damaged";
            return kDataError;
        }
        std::uint32_t w = 0, h = 0;
        OrientedSize(info, w, h);
        if (PixelsWithinCap(w, h * 2) == 0)
            return kImageTooLarge;
        width_ = static_cast<std::int32_t>(w);
        height_ = static_cast<std::int32_t>(h);
        JxlResizableParallelRunnerSetThreads(runner_.get(), JxlResizableParallelRunnerSuggestThreads(w, h));
        loop_count_ = static_cast<std::int32_t>(std::min<std::uint32_t>(info.animation.num_loops, 1 << 30));
        if (!info.have_animation) {
            delays_.push_back(0);
        } else if (!CountJxlFrames(bytes_, info, delays_)) {
            reason = "the JPEG XL frame headers are damaged";
            return kDataError;
        }
        return Start();
    }

protected:
    int Rewind() override { return Start(); }
    int Advance() override
    {
        const JxlPixelFormat format = PixelFormat8(4, 0);
        for (;;) {
            const JxlDecoderStatus s = JxlDecoderProcessInput(decoder_.get());
            if (s == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
                std::size_t need = 0;
                rgba_.resize(std::size_t(width_) * std::size_t(height_) * 4);
                if (JxlDecoderImageOutBufferSize(decoder_.get(), &format, &need) != JXL_DEC_SUCCESS ||
                    need != rgba_.size() ||
                    JxlDecoderSetImageOutBuffer(decoder_.get(), &format, rgba_.data(), need) != JXL_DEC_SUCCESS)
                    return Fail(kDataError, "a JPEG XL frame differs from the picture's size");
            } else if (s == JXL_DEC_FULL_IMAGE) {
                return kOk;
            } else if (s == JXL_DEC_BASIC_INFO || s == JXL_DEC_FRAME) {
                continue;
            } else {
                return Fail(kDataError, s == JXL_DEC_NEED_MORE_INPUT ? "the file ends early" : "a JPEG XL frame is damaged");
            }
        }
    }
    std::size_t StateBytes() const override { return std::size_t(width_) * std::size_t(height_) * 4; }

private:
    int Start()
    {
        JxlDecoderRewind(decoder_.get());
        if (JxlDecoderSubscribeEvents(decoder_.get(), JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
            JxlDecoderSetInput(decoder_.get(), bytes_.data(), bytes_.size()) != JXL_DEC_SUCCESS)
            return kUnknownError;
        JxlDecoderCloseInput(decoder_.get());
        return kOk;
    }

    DecoderPtr decoder_;
    RunnerPtr runner_;
};

} // namespace

std::unique_ptr<FrameSource> MakeJxlFrames(std::vector<std::uint8_t>& bytes, std::size_t budget, int& rc,
                                           std::string& reason)
{
    auto source = std::make_unique<JXL_FRAMES>(bytes, budget);
    rc = source->Open(reason);
    if (rc != kOk)
        source.reset();
    return source;
}
