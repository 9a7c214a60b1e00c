// The frames of an animated picture (GIF, animated PNG, WebP, AVIF image sequences,
// JPEG XL), for a player that shows them one after another.
//
// Contract:
// - OpenFrameSource takes the file's bytes (the source keeps its own copy) and recognises the
//   format by them. It reads the headers only: canvas size, loop count, and the frame count
//   and delays where the file states them up front (WebP, AVIF, animated PNG); GIF and
//   JPEG XL frames are counted by a walk over their headers, which decodes no pixels. A still
//   picture of these formats is a source of one frame.
// - Delays are the file's own, in milliseconds, as stored: 0 stays 0. ShownDelayMs gives the
//   delay a player waits (10 ms or less shows as 100 ms, as browsers do).
// - DecodeFrame(k, out) leaves frame k as the file composes it (GIF disposal, PNG blend and
//   dispose, WebP and JPEG XL blending through their libraries) in out: canvas-sized, 24
//   bits, blue-green-red, alpha laid over white. Frames are decoded when asked for, never
//   ahead. Asking for the next frame costs one frame; an earlier one restarts from the
//   nearest kept key frame (GIF, animated PNG: canvases kept every kKeyFrameSpacing frames
//   while the memory budget allows) or from the start (WebP, JPEG XL; AVIF seeks to its
//   own key frames). Memory: the canvas, the previous canvas where the format needs one,
//   the kept key frames within the budget, and the file's bytes; never the whole animation.
// - A frame that cannot be decoded returns its code (kDataError, kImageTooLarge ...) with
//   the reason in FailureReason(); out is then untouched. Frames before it stay decodable.
//   Past the last frame: kDataError. A source is used by one thread at a time.
// - Canvas sizes pass the one-gigabyte picture cap at 4 bytes a pixel or are refused.
#pragma once

#include "platform/Dib.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

inline constexpr std::int32_t kKeyFrameSpacing = 16;
inline constexpr std::size_t kDefaultFrameBudget = std::size_t{64} << 20; // kept key frames

// The delay a player waits for a frame stored with delay_ms.
inline std::int32_t ShownDelayMs(std::int32_t delay_ms) { return delay_ms <= 10 ? 100 : delay_ms; }

class FrameSource {
public:
    virtual ~FrameSource() = default;
    FrameSource(const FrameSource&) = delete;
    FrameSource& operator=(const FrameSource&) = delete;

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    // Frames of the file (at least 1).
    std::int32_t FrameCount() const { return static_cast<std::int32_t>(delays_.size()); }
    // How often the animation plays: 0 forever.
    std::int32_t LoopCount() const { return loop_count_; }
    // Frame k's delay as stored, in milliseconds; 0 for k out of range.
    std::int32_t DelayMs(std::int32_t k) const
    {
        return k >= 0 && k < FrameCount() ? delays_[static_cast<std::size_t>(k)] : 0;
    }
    // Every delay added up, as stored.
    std::int64_t TotalDelayMs() const;
    enum class Format { Gif, Apng, Webp, Avif, Jxl };
    Format Kind() const { return format_; }

    // Frame k (0 first) composed, into out (see the contract above). Returns kOk or a code.
    int DecodeFrame(std::int32_t k, Dib& out);
    // The frame last decoded, -1 before the first.
    std::int32_t Position() const { return position_; }
    const std::string& FailureReason() const { return reason_; }
    // Bytes the source holds now besides the file (canvases, key frames, library state
    // it can see).
    std::size_t HeldBytes() const;

protected:
    explicit FrameSource(std::vector<std::uint8_t> bytes, std::size_t budget);
    // Back to before frame 0. kOk or a code.
    virtual int Rewind() = 0;
    // Decodes frame position_ + 1 into rgba_ (canvas-sized RGBA, not premultiplied) and
    // leaves the state ready for the one after. kOk or a code.
    virtual int Advance() = 0;
    // Formats that compose frames themselves keep their state in a key frame: the canvas the
    // next frame starts from and whatever Restore needs to go on from there.
    struct KeyFrame {
        std::int32_t position = -1; // the frame decoded before it
        std::vector<std::uint8_t> base;
        std::size_t offset = 0;
    };
    virtual bool Keep(KeyFrame&) const { return false; }
    // Formats whose library seeks itself (AVIF: to the key frame before k, then forward)
    // decode frame k into rgba_ here instead; kFormatNotSupported for the others.
    virtual int DecodeAt(std::int32_t) { return -5; }
    virtual void Restore(const KeyFrame&) {}
    virtual std::size_t StateBytes() const { return 0; }
    int Fail(int code, std::string reason);

    std::vector<std::uint8_t> bytes_;
    std::int32_t width_ = 0, height_ = 0;
    std::int32_t loop_count_ = 0;
    Format format_ = Format::Gif;
    std::vector<std::int32_t> delays_;
    std::vector<std::uint8_t> rgba_; // the frame last composed
    std::int32_t position_ = -1;

private:
    int DecodeFrameOrThrow(std::int32_t k, Dib& out);

    std::size_t budget_;
    std::vector<KeyFrame> keys_;
    std::string reason_;

    friend std::unique_ptr<FrameSource> OpenFrameSource(std::vector<std::uint8_t>, int&, std::string*, std::size_t);
};

// A source over a file's bytes, or null with rc set (kMagicError for a format without
// frames, kDataError, kImageTooLarge, kMemoryError ...) and *reason when given.
std::unique_ptr<FrameSource> OpenFrameSource(std::vector<std::uint8_t> bytes, int& rc, std::string* reason = nullptr,
                                             std::size_t budget = kDefaultFrameBudget);

// The animation facts of a file without a source: frame count, delays added up and loop
// count, from the headers alone. False when the bytes are not an animation this knows.
struct ANIMATION_FACTS {
    std::int32_t frames = 0;
    std::int64_t duration_ms = 0;
    std::int32_t loop_count = 0;
};
bool ReadGifFacts(std::span<const std::uint8_t> bytes, ANIMATION_FACTS& facts);
bool ReadApngFacts(std::span<const std::uint8_t> bytes, ANIMATION_FACTS& facts);
