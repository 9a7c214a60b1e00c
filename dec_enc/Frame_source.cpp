#include "dec_enc/Frame_source.h"

#include "base/Pixel_buffer.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Frame_formats.h"
#include "dec_enc/Rgba_rows.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>

FrameSource::FrameSource(std::vector<std::uint8_t> bytes, std::size_t budget) : bytes_(std::move(bytes)), budget_(budget)
{
}

std::int64_t FrameSource::TotalDelayMs() const
{
    return std::accumulate(delays_.begin(), delays_.end(), std::int64_t{0});
}

std::size_t FrameSource::HeldBytes() const
{
    std::size_t n = rgba_.capacity() + StateBytes();
    for (const KeyFrame& k : keys_)
        n += k.base.capacity();
    return n;
}

int FrameSource::Fail(int code, std::string reason)
{
    reason_ = std::move(reason);
    return code;
}

int FrameSource::DecodeFrame(std::int32_t k, Dib& out)
{
    try {
        return DecodeFrameOrThrow(k, out);
    } catch (const std::bad_alloc&) {
        position_ = -1;
        keys_.clear();
        Rewind();
        return Fail(kMemoryError, "no memory for the frame");
    }
}

int FrameSource::DecodeFrameOrThrow(std::int32_t k, Dib& out)
{
    if (k < 0 || k >= FrameCount())
        return Fail(kDataError, "there is no such frame");
    if (k != position_) {
        if (int rc = DecodeAt(k); rc != kFormatNotSupported) {
            if (rc != kOk) {
                position_ = -1;
                return Fail(rc, reason_.empty() ? "a frame cannot be decoded" : reason_);
            }
            position_ = k;
        }
    }
    if (k != position_) {
        // Go on from here when k is ahead; else, or when a kept state is nearer, from the
        // nearest kept state before k; else from the start.
        const std::int32_t from = position_ < k ? position_ : -2;
        const KeyFrame* key = nullptr;
        for (const KeyFrame& kf : keys_)
            if (kf.position < k && (key == nullptr || kf.position > key->position))
                key = &kf;
        if (key != nullptr && key->position > from) {
            Restore(*key);
            position_ = key->position;
        } else if (from == -2) {
            position_ = -1;
            if (int rc = Rewind(); rc != kOk)
                return Fail(rc, "the animation cannot start again");
        }
        while (position_ < k) {
            if (int rc = Advance(); rc != kOk) {
                position_ = -1; // the state is half-way: the next request starts again
                Rewind();
                return Fail(rc, reason_.empty() ? "a frame cannot be decoded" : reason_);
            }
            ++position_;
            const bool due = (position_ + 1) % kKeyFrameSpacing == 0;
            const bool kept = std::any_of(keys_.begin(), keys_.end(),
                                          [&](const KeyFrame& kf) { return kf.position == position_; });
            if (due && !kept) {
                std::size_t held = 0;
                for (const KeyFrame& kf : keys_)
                    held += kf.base.capacity();
                const std::size_t canvas = std::size_t(width_) * std::size_t(height_) * 4;
                KeyFrame kf;
                if (held + canvas <= budget_ && Keep(kf)) {
                    kf.position = position_;
                    keys_.push_back(std::move(kf));
                }
            }
        }
    }
    if (int rc = out.SetSize(width_, height_, 24); rc != kOk)
        return Fail(rc, "no memory for the frame");
    for (int y = 0; y < height_; ++y)
        RowToBgr(rgba_.data() + std::size_t(y) * std::size_t(width_) * 4, out.ScanLine(y), std::size_t(width_),
                 ChannelOrder::Rgba);
    return kOk;
}

std::unique_ptr<FrameSource> OpenFrameSource(std::vector<std::uint8_t> bytes, int& rc, std::string* reason,
                                             std::size_t budget)
{
    MakeFramesFn make = nullptr;
    auto starts = [&](const char* magic, std::size_t n, std::size_t at = 0) {
        return bytes.size() >= at + n && std::memcmp(bytes.data() + at, magic, n) == 0;
    };
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        make = MakeGifFrames;
    else if (starts("\x89PNG\r\n\x1a\n", 8))
        make = MakeApngFrames;
    else if (starts("RIFF", 4) && starts("WEBP", 4, 8))
        make = MakeWebpFrames;
    else if (starts("ftyp", 4, 4))
        make = MakeAvifFrames; // libavif refuses what is not AVIF
    else if (starts("\xFF\x0A", 2) || starts("\0\0\0\x0CJXL \r\n\x87\n", 12))
        make = MakeJxlFrames;
    std::string why;
    std::unique_ptr<FrameSource> source;
    rc = kMagicError;
    if (make != nullptr) {
        try {
            source = make(bytes, budget, rc, why);
        } catch (const std::bad_alloc&) {
            source.reset();
            rc = kMemoryError;
        }
    }
    if (source && (source->FrameCount() < 1 || source->Width() < 1 || source->Height() < 1)) {
        source.reset();
        rc = kDataError;
    }
    if (source)
        rc = kOk;
    if (reason != nullptr)
        *reason = why;
    return source;
}

int PutFirstFrame(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    int rc = kOk;
    std::string reason;
    std::unique_ptr<FrameSource> source;
    try {
        source = OpenFrameSource(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), rc, &reason);
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    }
    if (!source)
        return reason.empty() ? rc : Refuse(ctx, rc, reason);
    Dib frame;
    if (rc = source->DecodeFrame(0, frame); rc != kOk)
        return Refuse(ctx, rc, source->FailureReason());
    if (source->FrameCount() > 1) {
        ctx.meta.frame_count = source->FrameCount();
        ctx.meta.duration_ms = source->TotalDelayMs();
        ctx.meta.loop_count = source->LoopCount();
    }
    if (rc = ctx.ReserveTarget(frame.Width(), frame.Height()); rc != kOk)
        return rc;
    for (int y = 0; y < ctx.height; ++y)
        std::memcpy(ctx.TargetRow(y), frame.ScanLine(y), ctx.RowBytes());
    return kOk;
}
