// Animated PNG over libpng (Debian's libpng reads no animation): the chunks acTL (frame
// count, plays), fcTL (a frame's rectangle, delay, dispose and blend operations) and fdAT
// (a frame's data after its sequence number) are read here. Each frame is handed to
// libpng as a PNG of its own: the file's header chunk with the frame's size, its palette
// and transparency chunks, the frame's data as IDAT, and IEND.
//
// Composition: the canvas (the header's size) starts transparent, laid over white when
// shown. A frame of blend operation 0 replaces its rectangle, of 1 is laid over it (alpha
// compositing). Then its dispose operation applies before the next frame: 0 leaves the
// canvas, 1 clears the rectangle to transparent, 2 puts back the canvas from before the
// frame (the first frame's 2 counts as 1). Delays are num/den seconds (den 0: 1/100).
// The default image (IDAT) is the first frame when an fcTL precedes it; otherwise it is
// not part of the animation and the single picture is the first frame's.
#include "base/Byte_order.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Frame_formats.h"
#include "dec_enc/Rgba_rows.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

struct APNG_FRAME {
    std::uint32_t x = 0, y = 0, w = 0, h = 0;
    std::int32_t delay_ms = 0;
    int dispose = 0, blend = 0;
    std::vector<std::pair<std::size_t, std::size_t>> data; // offset and length of each piece
};

struct APNG_LAYOUT {
    std::uint32_t width = 0, height = 0;
    std::size_t ihdr = 0; // offset of the IHDR data (13 bytes)
    std::vector<std::pair<std::size_t, std::size_t>> extra; // PLTE, tRNS chunks whole
    bool animated = false;   // acTL before the first IDAT
    bool idat_is_frame = false;
    std::uint32_t declared = 0;
    std::int32_t plays = 0;
    std::vector<APNG_FRAME> frames;
};

std::uint32_t Be32(const std::uint8_t* p) { return LoadDword(kBigEndian, p); }

// Walks the chunks. False when the file is no PNG or has no animation control chunk
// before its image data.
bool WalkApng(std::span<const std::uint8_t> b, APNG_LAYOUT& out)
{
    if (b.size() < 33 || std::memcmp(b.data(), kSignature, 8) != 0 || std::memcmp(b.data() + 12, "IHDR", 4) != 0 ||
        Be32(b.data() + 8) != 13)
        return false;
    out.width = Be32(b.data() + 16);
    out.height = Be32(b.data() + 20);
    out.ihdr = 16;
    bool seen_idat = false;
    APNG_FRAME* current = nullptr;
    std::size_t at = 33;
    while (at + 12 <= b.size()) {
        const std::uint32_t length = Be32(b.data() + at);
        const std::uint8_t* type = b.data() + at + 4;
        if (length > b.size() - at - 12)
            break; // a chunk past the end: what came before stands
        const std::size_t data = at + 8;
        const std::uint8_t* p = b.data() + data;
        if (std::memcmp(type, "IEND", 4) == 0)
            break;
        if (std::memcmp(type, "acTL", 4) == 0 && length == 8 && !seen_idat && !out.animated) {
            out.animated = true;
            out.declared = Be32(p);
            out.plays = static_cast<std::int32_t>(std::min<std::uint32_t>(Be32(p + 4), 1 << 30));
        } else if ((std::memcmp(type, "PLTE", 4) == 0 || std::memcmp(type, "tRNS", 4) == 0) && !seen_idat) {
            out.extra.emplace_back(at, length + 12);
        } else if (std::memcmp(type, "fcTL", 4) == 0 && length == 26 && out.animated) {
            if (out.frames.size() >= out.declared)
                break;
            APNG_FRAME f;
            f.w = Be32(p + 4);
            f.h = Be32(p + 8);
            f.x = Be32(p + 12);
            f.y = Be32(p + 16);
            const unsigned num = LoadWord(kBigEndian, p + 20), den = LoadWord(kBigEndian, p + 22);
            f.delay_ms = static_cast<std::int32_t>(std::lround(num * 1000.0 / (den == 0 ? 100 : den)));
            f.dispose = p[24];
            f.blend = p[25];
            out.frames.push_back(std::move(f));
            current = &out.frames.back();
            if (!seen_idat && out.frames.size() == 1)
                out.idat_is_frame = true;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            seen_idat = true;
            if (out.idat_is_frame && out.frames.size() == 1)
                current->data.emplace_back(data, length);
        } else if (std::memcmp(type, "fdAT", 4) == 0 && current != nullptr && length > 4 &&
                   !(out.idat_is_frame && out.frames.size() == 1)) {
            current->data.emplace_back(data + 4, length - 4);
        }
        at += std::size_t{length} + 12;
    }
    return out.animated;
}

void Append(std::vector<std::uint8_t>& v, const std::uint8_t* p, std::size_t n)
{
    if (n == 0)
        return;
    const std::size_t at = v.size();
    v.resize(at + n);
    std::memcpy(v.data() + at, p, n);
}

void PutChunk(std::vector<std::uint8_t>& png, const char* type, const std::uint8_t* data, std::size_t n)
{
    std::uint8_t head[8];
    StoreDword(kBigEndian, static_cast<std::uint32_t>(n), head);
    std::memcpy(head + 4, type, 4);
    Append(png, head, 8);
    Append(png, data, n);
    uLong crc = crc32(0, head + 4, 4);
    if (n > 0) // zlib answers 0 for a null buffer, whatever the CRC so far
        crc = crc32(crc, data, static_cast<uInt>(n));
    std::uint8_t tail[4];
    StoreDword(kBigEndian, static_cast<std::uint32_t>(crc), tail);
    Append(png, tail, 4);
}

class APNG_FRAMES : public FrameSourceBase {
public:
    APNG_FRAMES(std::vector<std::uint8_t>& bytes, std::size_t budget) : FrameSourceBase(bytes, budget) {}

    int Open(std::string& reason)
    {
        format_ = Format::Apng;
        const bool animated = WalkApng(bytes_, layout_);
        if (layout_.width == 0 || layout_.height == 0) {
            reason = "the PNG header is damaged";
            return kDataError;
        }
        if (PixelsWithinCap(layout_.width, std::uint64_t{layout_.height} * 3) == 0)
            return kImageTooLarge;
        width_ = static_cast<std::int32_t>(layout_.width);
        height_ = static_cast<std::int32_t>(layout_.height);
        if (!animated) { // a plain PNG: one frame, its image data
            APNG_FRAME f;
            f.w = layout_.width;
            f.h = layout_.height;
            for (std::size_t at = 8; at + 12 <= bytes_.size();) {
                const std::uint32_t length = Be32(bytes_.data() + at);
                if (length > bytes_.size() - at - 12)
                    break;
                if (std::memcmp(bytes_.data() + at + 4, "IDAT", 4) == 0)
                    f.data.emplace_back(at + 8, length);
                at += std::size_t{length} + 12;
            }
            layout_.frames.push_back(std::move(f));
            loop_count_ = 1;
        } else {
            loop_count_ = layout_.plays;
        }
        // Frames without data or outside the canvas end the animation there.
        std::size_t usable = 0;
        for (const APNG_FRAME& f : layout_.frames) {
            if (f.data.empty() || f.w == 0 || f.h == 0 || f.x > layout_.width || f.w > layout_.width - f.x ||
                f.y > layout_.height || f.h > layout_.height - f.y)
                break;
            ++usable;
        }
        layout_.frames.resize(usable);
        if (usable == 0) {
            reason = "the animation has no frame";
            return kDataError;
        }
        for (const APNG_FRAME& f : layout_.frames)
            delays_.push_back(f.delay_ms);
        return Rewind();
    }

protected:
    int Rewind() override
    {
        canvas_.assign(std::size_t(width_) * std::size_t(height_) * 4, 0);
        return kOk;
    }

    int Advance() override
    {
        const std::size_t index = static_cast<std::size_t>(position_ + 1);
        const APNG_FRAME& f = layout_.frames[index];
        const int dispose = index == 0 && f.dispose == 2 ? 1 : f.dispose;
        if (dispose == 2)
            previous_ = canvas_;
        if (int rc = DecodePiece(f); rc != kOk)
            return rc;
        const std::size_t cw = std::size_t(width_);
        for (std::uint32_t y = 0; y < f.h; ++y) {
            const std::uint8_t* s = piece_.data() + std::size_t(y) * f.w * 4;
            std::uint8_t* d = canvas_.data() + ((std::size_t(f.y) + y) * cw + f.x) * 4;
            if (f.blend == 0) {
                std::memcpy(d, s, std::size_t(f.w) * 4);
                continue;
            }
            for (std::uint32_t x = 0; x < f.w; ++x, s += 4, d += 4)
                Over(s, d);
        }
        rgba_ = canvas_;
        if (dispose == 1) {
            for (std::uint32_t y = 0; y < f.h; ++y)
                std::memset(canvas_.data() + ((std::size_t(f.y) + y) * cw + f.x) * 4, 0, std::size_t(f.w) * 4);
        } else if (dispose == 2) {
            canvas_.swap(previous_);
        }
        return kOk;
    }

    bool Keep(KeyFrame& kf) const override
    {
        kf.base = canvas_;
        return true;
    }
    void Restore(const KeyFrame& kf) override { canvas_ = kf.base; }
    std::size_t StateBytes() const override { return canvas_.capacity() + previous_.capacity() + piece_.capacity(); }

private:
    // Source over destination, neither premultiplied.
    static void Over(const std::uint8_t* s, std::uint8_t* d)
    {
        const unsigned sa = s[3];
        if (sa == 255) {
            std::memcpy(d, s, 4);
            return;
        }
        if (sa == 0)
            return;
        const unsigned da = d[3] * (255 - sa) / 255; // the destination's share
        const unsigned a = sa + da;
        for (int c = 0; c < 3; ++c)
            d[c] = static_cast<std::uint8_t>((s[c] * sa + d[c] * da + a / 2) / a);
        d[3] = static_cast<std::uint8_t>(a);
    }

    // The frame's pixels, red-green-blue-alpha, into piece_.
    int DecodePiece(const APNG_FRAME& f)
    {
        png_.clear();
        Append(png_, kSignature, 8);
        std::uint8_t ihdr[13];
        std::memcpy(ihdr, bytes_.data() + layout_.ihdr, 13);
        StoreDword(kBigEndian, f.w, ihdr);
        StoreDword(kBigEndian, f.h, ihdr + 4);
        PutChunk(png_, "IHDR", ihdr, 13);
        for (const auto& [at, n] : layout_.extra)
            Append(png_, bytes_.data() + at, n);
        for (const auto& [at, n] : f.data)
            PutChunk(png_, "IDAT", bytes_.data() + at, n);
        PutChunk(png_, "IEND", nullptr, 0);

        png_image image {};
        image.version = PNG_IMAGE_VERSION;
        if (png_image_begin_read_from_memory(&image, png_.data(), png_.size()) == 0)
            return Fail(kDataError, "a frame's header is damaged");
        image.format = PNG_FORMAT_RGBA;
        piece_.resize(std::size_t(f.w) * f.h * 4);
        if (image.width != f.w || image.height != f.h ||
            png_image_finish_read(&image, nullptr, piece_.data(), 0, nullptr) == 0) {
            png_image_free(&image);
            return Fail(kDataError, "a frame's data are damaged");
        }
        return kOk;
    }

    APNG_LAYOUT layout_;
    std::vector<std::uint8_t> canvas_, previous_, piece_, png_;
};

} // namespace

std::unique_ptr<FrameSource> MakeApngFrames(std::vector<std::uint8_t>& bytes, std::size_t budget, int& rc,
                                            std::string& reason)
{
    auto source = std::make_unique<APNG_FRAMES>(bytes, budget);
    rc = source->Open(reason);
    if (rc != kOk)
        source.reset();
    return source;
}

bool ReadApngFacts(std::span<const std::uint8_t> bytes, ANIMATION_FACTS& facts)
{
    APNG_LAYOUT layout;
    if (!WalkApng(bytes, layout))
        return false;
    facts.frames = static_cast<std::int32_t>(layout.frames.size());
    facts.duration_ms = 0;
    for (const APNG_FRAME& f : layout.frames)
        facts.duration_ms += f.delay_ms;
    facts.loop_count = layout.plays;
    return facts.frames > 0;
}

int DecodeApng(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    const int rc = DecodePng(ctx, bytes);
    if (rc != kOk)
        return rc;
    APNG_LAYOUT layout;
    if (!WalkApng(bytes, layout) || layout.frames.empty())
        return kOk;
    ctx.meta.frame_count = static_cast<std::int32_t>(layout.frames.size());
    for (const APNG_FRAME& f : layout.frames)
        ctx.meta.duration_ms += f.delay_ms;
    ctx.meta.loop_count = layout.plays;
    if (layout.idat_is_frame)
        return kOk;
    // The default image is not part of the animation: the picture is the first frame.
    const std::int32_t frames = ctx.meta.frame_count;
    const std::int64_t duration = ctx.meta.duration_ms;
    const int first = PutFirstFrame(ctx, bytes);
    ctx.meta.frame_count = frames;
    ctx.meta.duration_ms = duration;
    ctx.meta.loop_count = layout.plays;
    return first;
}
