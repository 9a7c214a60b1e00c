// Every image of a GIF file as an animation frame: the GIF frame source, the animation
// facts of a GIF, and the GIF row of the open dispatcher (the first image as the GIF reader
// gives it, and the facts).
//
// Composition, as browsers do it: the canvas (the logical screen, grown to the first
// image as the reader grows it) starts transparent, laid over white when shown. Each
// image draws its pixels but its transparent index (graphic control extension) at its
// place, clipped to the canvas; then its disposal method applies before the next image:
// 0 and 1 leave it, 2 clears its rectangle to transparent, 3 puts back the canvas from
// before it. Delays are hundredths of a second in the file; the Netscape loop extension's
// count is the repeats after the first play (no extension: the animation plays once).
#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Frame_formats.h"
#include "dec_enc/Gif_lzw.h"
#include "dec_enc/Rgba_rows.h"

#include <algorithm>
#include <cstring>

namespace {

struct GIF_IMAGE {
    std::size_t table = 0; // offset of its colour table (local, or the global one)
    int table_entries = 0;
    std::size_t data = 0; // offset of the LZW minimum code size
    std::size_t data_bytes = 0; // at most this many bytes of LZW data (count bytes left out)
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    int disposal = 0;
    int delay_cs = 0;
    int transparent = -1;
};

struct GIF_LAYOUT {
    int screen_w = 0, screen_h = 0;
    int loops = 1; // plays in all; 0 forever
    std::vector<GIF_IMAGE> images;
};

// Skips sub-blocks; false when the file ends inside them.
bool SkipBlocks(ByteCursor& in)
{
    for (;;) {
        const int n = in.Get();
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (in.Left() < static_cast<std::size_t>(n))
            return false;
        in.Skip(static_cast<std::size_t>(n));
    }
}

// Walks the blocks of a GIF file. A file that ends early keeps the images it completed;
// false when there is none, or the header is damaged.
bool WalkGif(std::span<const std::uint8_t> bytes, GIF_LAYOUT& out)
{
    if (bytes.size() < 13 || std::memcmp(bytes.data(), "GIF", 3) != 0)
        return false;
    ByteCursor in(bytes);
    in.Skip(6);
    std::uint8_t screen[7];
    in.Read(screen, 7);
    out.screen_w = LoadWord(kLittleEndian, screen);
    out.screen_h = LoadWord(kLittleEndian, screen + 2);
    if (out.screen_w == 0 || out.screen_h == 0)
        return false;
    std::size_t global = 0;
    int global_entries = 0;
    if (screen[4] & 0x80) {
        global_entries = 2 << (screen[4] & 7);
        global = in.Pos();
        if (in.Left() < static_cast<std::size_t>(global_entries) * 3)
            return false;
        in.Skip(static_cast<std::size_t>(global_entries) * 3);
    }
    GIF_IMAGE next;
    for (;;) {
        const int block = in.Get();
        if (block < 0 || block == 0x3B)
            break;
        if (block == 0x21) {
            const int label = in.Get();
            if (label == 0xF9) {
                const int n = in.Get();
                if (n >= 4 && in.Left() >= static_cast<std::size_t>(n)) {
                    const auto g = in.Take(static_cast<std::size_t>(n));
                    next.disposal = (g[0] >> 2) & 7;
                    next.delay_cs = g[1] | g[2] << 8;
                    next.transparent = (g[0] & 1) ? g[3] : -1;
                } else if (n > 0) {
                    in.Skip(static_cast<std::size_t>(n));
                }
                if (n > 0 && !SkipBlocks(in))
                    break;
            } else if (label == 0xFF) {
                const int n = in.Get();
                if (n == 11 && in.Left() >= 11) {
                    const auto id = in.Take(11);
                    const bool netscape = std::memcmp(id.data(), "NETSCAPE2.0", 11) == 0 ||
                                          std::memcmp(id.data(), "ANIMEXTS1.0", 11) == 0;
                    if (netscape && in.Left() >= 4 && in.Peek() == 3) {
                        const auto sub = in.Take(4);
                        if (sub[1] == 1) {
                            const int count = sub[2] | sub[3] << 8;
                            out.loops = count == 0 ? 0 : count + 1;
                        }
                    }
                } else if (n > 0) {
                    in.Skip(static_cast<std::size_t>(n));
                }
                if (n > 0 && !SkipBlocks(in))
                    break;
            } else if (label < 0 || !SkipBlocks(in)) {
                break;
            }
            continue;
        }
        if (block != 0x2C)
            continue; // stray bytes, as the reader skips them
        if (in.Left() < 9)
            break;
        const auto d = in.Take(9);
        next.left = LoadWord(kLittleEndian, d.data());
        next.top = LoadWord(kLittleEndian, d.data() + 2);
        next.width = LoadWord(kLittleEndian, d.data() + 4);
        next.height = LoadWord(kLittleEndian, d.data() + 6);
        next.interlaced = (d[8] & 0x40) != 0;
        next.table = global;
        next.table_entries = global_entries;
        if (d[8] & 0x80) {
            next.table_entries = 2 << (d[8] & 7);
            next.table = in.Pos();
            if (in.Left() < static_cast<std::size_t>(next.table_entries) * 3)
                break;
            in.Skip(static_cast<std::size_t>(next.table_entries) * 3);
        }
        next.data = in.Pos();
        if (in.Get() < 0)
            break;
        const std::size_t blocks = in.Pos();
        if (!SkipBlocks(in))
            break;
        // Each sub-block is its count byte and that many bytes, the last a 0.
        const std::size_t span = in.Pos() - blocks;
        next.data_bytes = span - std::min(span, (span + 255) / 256 + 1);
        if (next.width > 0 && next.height > 0)
            out.images.push_back(next);
        next = GIF_IMAGE {};
    }
    return !out.images.empty();
}

class GIF_FRAMES : public FrameSourceBase {
public:
    GIF_FRAMES(std::vector<std::uint8_t>& bytes, std::size_t budget) : FrameSourceBase(bytes, budget) {}

    int Open(std::string& reason)
    {
        format_ = Format::Gif;
        if (!WalkGif(bytes_, layout_)) {
            reason = "the GIF file holds no image";
            return kDataError;
        }
        const GIF_IMAGE& first = layout_.images.front();
        // The first image sizes the canvas: it must be able to fill itself from its data
        // (the reader's rule), or a file of a few bytes would make a canvas of millions.
        const int min_code_size = bytes_[first.data];
        const std::uint64_t first_pixels = std::uint64_t(first.width) * std::uint64_t(first.height);
        const std::uint64_t codes =
            std::uint64_t{first.data_bytes} * 8 / static_cast<std::uint64_t>(std::clamp(min_code_size, 1, 8) + 1);
        if (min_code_size < 1 || min_code_size > 8 || !ClaimFits(first_pixels, codes, expansion::kLzwCodes) ||
            first_pixels > codes * (codes + 1) / 2) {
            reason = "image data too short for the image's size";
            return kDataError;
        }
        const std::int64_t w = std::max<std::int64_t>(layout_.screen_w, std::int64_t{first.left} + first.width);
        const std::int64_t h = std::max<std::int64_t>(layout_.screen_h, std::int64_t{first.top} + first.height);
        const std::uint64_t canvas = std::uint64_t(w) * std::uint64_t(h);
        if (canvas > (std::uint64_t{1} << 20) && canvas > std::uint64_t(first.width) * std::uint64_t(first.height) * 16) {
            reason = "logical screen far larger than its image";
            return kDataError;
        }
        if (PixelsWithinCap(static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(h) * 3) == 0)
            return kImageTooLarge;
        width_ = static_cast<std::int32_t>(w);
        height_ = static_cast<std::int32_t>(h);
        loop_count_ = layout_.loops;
        for (const GIF_IMAGE& im : layout_.images)
            delays_.push_back(im.delay_cs * 10);
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
        const GIF_IMAGE& im = layout_.images[static_cast<std::size_t>(position_ + 1)];
        if (im.disposal == 3)
            previous_ = canvas_;
        if (int rc = Draw(im); rc != kOk)
            return rc;
        rgba_ = canvas_;
        if (im.disposal == 2) {
            ForEachRow(im, [&](std::uint8_t* row, std::size_t n) { std::memset(row, 0, n * 4); });
        } else if (im.disposal == 3) {
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
    std::size_t StateBytes() const override { return canvas_.capacity() + previous_.capacity() + indices_.capacity(); }

private:
    // Calls f(row, count) for each canvas row the image covers, clipped.
    template <class F>
    void ForEachRow(const GIF_IMAGE& im, F f)
    {
        const int x0 = std::min(im.left, width_), x1 = std::min(im.left + im.width, width_);
        const int y1 = std::min(im.top + im.height, height_);
        for (int y = im.top; y < y1 && x1 > x0; ++y)
            f(canvas_.data() + (std::size_t(y) * std::size_t(width_) + std::size_t(x0)) * 4, std::size_t(x1 - x0));
    }

    int Draw(const GIF_IMAGE& im)
    {
        ByteCursor in(std::span<const std::uint8_t>(bytes_).subspan(im.data));
        const int min_code_size = in.Get();
        if (min_code_size < 1 || min_code_size > 8)
            return Fail(kDataError, "bad LZW minimum code size");
        data_.clear();
        for (;;) {
            const int n = in.Get();
            if (n <= 0)
                break;
            const auto part = in.Take(static_cast<std::size_t>(n));
            data_.insert(data_.end(), part.begin(), part.end());
        }
        const std::size_t data_bytes = data_.size();
        data_.resize(data_bytes + 8, 0);
        const std::uint64_t pixels = std::uint64_t(im.width) * std::uint64_t(im.height);
        // An image may reach past the canvas (it is clipped), but not by more than the
        // canvas itself: its indices are held whole.
        if (pixels > (std::uint64_t{1} << 20) && pixels > std::uint64_t(width_) * std::uint64_t(height_) * 4)
            return Fail(kDataError, "an image far larger than the logical screen");
        const std::uint64_t codes = std::uint64_t{data_bytes} * 8 / static_cast<std::uint64_t>(min_code_size + 1);
        if (!ClaimFits(pixels, codes, expansion::kLzwCodes) || pixels > codes * (codes + 1) / 2)
            return Fail(kDataError, "image data too short for the image's size");
        indices_.assign(static_cast<std::size_t>(pixels) + 8, 0);
        DecodeLzw(data_.data(), std::uint64_t{data_bytes} * 8, min_code_size, indices_.data(),
                  static_cast<std::size_t>(pixels));
        // Pixels past the data stay index 0, as the reader shows them.
        std::uint8_t table[256 * 3] = {};
        const auto colours = std::span<const std::uint8_t>(bytes_).subspan(im.table, std::size_t(im.table_entries) * 3);
        std::copy(colours.begin(), colours.end(), table);
        std::vector<int> rows;
        if (im.interlaced)
            InterlacedRows(im.height, rows);
        for (int k = 0; k < im.height; ++k) {
            const int y = im.top + (im.interlaced ? rows[static_cast<std::size_t>(k)] : k);
            if (y >= height_)
                continue;
            const std::uint8_t* src = indices_.data() + std::size_t(k) * std::size_t(im.width);
            std::uint8_t* dst = canvas_.data() + (std::size_t(y) * std::size_t(width_)) * 4;
            for (int x = 0; x < im.width && im.left + x < width_; ++x) {
                const int index = src[x];
                if (index == im.transparent)
                    continue;
                std::uint8_t* p = dst + std::size_t(im.left + x) * 4;
                p[0] = table[index * 3];
                p[1] = table[index * 3 + 1];
                p[2] = table[index * 3 + 2];
                p[3] = 255;
            }
        }
        return kOk;
    }

    GIF_LAYOUT layout_;
    std::vector<std::uint8_t> canvas_;   // what the next image draws on
    std::vector<std::uint8_t> previous_; // the canvas before an image of disposal 3
    std::vector<std::uint8_t> data_;     // one image's LZW data, with padding
    std::vector<std::uint8_t> indices_;  // one image's indices
};

} // namespace

std::unique_ptr<FrameSource> MakeGifFrames(std::vector<std::uint8_t>& bytes, std::size_t budget, int& rc,
                                           std::string& reason)
{
    auto source = std::make_unique<GIF_FRAMES>(bytes, budget);
    rc = source->Open(reason);
    if (rc != kOk)
        source.reset();
    return source;
}

bool ReadGifFacts(std::span<const std::uint8_t> bytes, ANIMATION_FACTS& facts)
{
    GIF_LAYOUT layout;
    if (!WalkGif(bytes, layout))
        return false;
    facts.frames = static_cast<std::int32_t>(layout.images.size());
    facts.duration_ms = 0;
    for (const GIF_IMAGE& im : layout.images)
        facts.duration_ms += im.delay_cs * 10;
    facts.loop_count = layout.loops;
    return true;
}

int DecodeGifFile(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    const int rc = DecodeGif(ctx, bytes);
    ANIMATION_FACTS facts;
    if (rc == kOk && ReadGifFacts(bytes, facts) && facts.frames > 1) {
        ctx.meta.frame_count = facts.frames;
        ctx.meta.duration_ms = facts.duration_ms;
        ctx.meta.loop_count = facts.loop_count;
    }
    return rc;
}
