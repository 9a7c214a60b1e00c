// GIF writing. The file: "GIF87a", screen width and height, flags 0xE7 (a 256-entry
// global table, colour resolution field 6), background 0, aspect 0, the 768-byte table
// (red, green, blue), the image descriptor (0x2C, left 0, top 0, width, height, flags 0),
// LZW minimum code size 8, data sub-blocks of up to 255 bytes, the terminator 0 and the
// trailer 0x3B.
//
// The LZW coder keeps its string table in a 5003-slot open-addressed hash (key = index
// << 12 + prefix code, first slot (index << 4) XOR prefix, probing down by 5003 − slot).
// Codes start 9 bits wide and grow by one bit after a write that leaves the next free
// code above the largest code of the current width; when the table holds 4096 codes the
// next miss writes its prefix and a clear code, both 12 bits wide.
//
// WriteGif is the save entry: it reduces the picture to 256 colours first unless the
// index buffer and palette already hold exactly the picture being saved.
#include "dec_enc/Gif_cpp_w.h"

#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Rcd.h"

#include <cstring>
#include <memory>
#include <new>

TGIF::TGIF()
{
    for (int n = 0; n <= 16; ++n)
        masks_[n] = (1u << n) - 1u;
}

void TGIF::ClearHashTable()
{
    for (int i = 0; i < hash_size_; ++i)
        hash_[i] = -1;
}

void TGIF::FlushBlock()
{
    if (block_length_ > 0) {
        std::fputc(block_length_, out_);
        std::fwrite(block_, 1, static_cast<std::size_t>(block_length_), out_);
        block_length_ = 0;
    }
}

void TGIF::PutByte(std::uint8_t byte)
{
    block_[block_length_++] = byte;
    if (block_length_ >= 255)
        FlushBlock();
}

void TGIF::PutCode(std::int32_t code)
{
    accumulator_ &= masks_[bit_count_];
    if (bit_count_ > 0)
        accumulator_ |= static_cast<std::uint32_t>(code) << bit_count_;
    else
        accumulator_ = static_cast<std::uint32_t>(code);
    bit_count_ += code_width_;
    while (bit_count_ >= 8) {
        PutByte(static_cast<std::uint8_t>(accumulator_));
        accumulator_ >>= 8;
        bit_count_ -= 8;
    }
    if (next_code_ > largest_code_ || clear_flag_ != 0) {
        if (clear_flag_ != 0) {
            code_width_ = initial_bits_;
            largest_code_ = (1 << code_width_) - 1;
            clear_flag_ = 0;
        } else {
            ++code_width_;
            largest_code_ = static_cast<std::uint32_t>(code_width_) == max_code_width_ ? code_limit_
                                                                                        : (1 << code_width_) - 1;
        }
    }
    if (code == end_code_) {
        while (bit_count_ > 0) {
            PutByte(static_cast<std::uint8_t>(accumulator_));
            accumulator_ >>= 8;
            bit_count_ -= 8;
        }
        bit_count_ = 0; // the last byte may have held fewer than 8 pending bits
        FlushBlock();
    }
}

void TGIF::ResetTable()
{
    ClearHashTable();
    next_code_ = clear_code_ + 2;
    clear_flag_ = 1;
    PutCode(clear_code_);
}

void TGIF::Encode(const CODEC_CTX& ctx, int initial_bits)
{
    initial_bits_ = initial_bits;
    accumulator_ = 0;
    bit_count_ = 0;
    clear_flag_ = 0;
    input_count_ = 1;
    output_count_ = 0;
    code_width_ = initial_bits;
    largest_code_ = (1 << initial_bits) - 1;
    clear_code_ = 1 << (initial_bits - 1);
    end_code_ = clear_code_ + 1;
    next_code_ = clear_code_ + 2;
    block_length_ = 0;
    pixel_counter_ = 0;

    const std::uint8_t* index = ctx.index.data();
    const std::size_t total = static_cast<std::size_t>(ctx.width) * static_cast<std::size_t>(ctx.height);
    std::int32_t prefix = index[pixel_counter_++];
    int shift = 0;
    for (std::int32_t f = hash_size_; f < 65536; f *= 2)
        ++shift;
    shift = 8 - shift;
    ClearHashTable();
    PutCode(clear_code_);

    for (std::size_t p = 1; p < total; ++p) {
        const std::int32_t c = index[p];
        ++input_count_;
        const std::int32_t key = (c << max_code_width_) + prefix;
        std::int32_t i = (c << shift) ^ prefix;
        if (hash_[i] == key) {
            prefix = codes_[i];
            continue;
        }
        if (hash_[i] >= 0) {
            const std::int32_t d = i == 0 ? 1 : hash_size_ - i;
            bool found = false;
            do {
                i -= d;
                if (i < 0)
                    i += hash_size_;
                if (hash_[i] == key) {
                    prefix = codes_[i];
                    found = true;
                    break;
                }
            } while (hash_[i] > 0);
            if (found)
                continue;
        }
        PutCode(prefix);
        ++output_count_;
        prefix = c;
        if (next_code_ < code_limit_) {
            codes_[i] = static_cast<std::uint16_t>(next_code_++);
            hash_[i] = key;
        } else {
            ResetTable();
        }
    }
    pixel_counter_ = static_cast<std::uint32_t>(total);
    PutCode(prefix);
    ++output_count_;
    PutCode(end_code_);
}

void TGIF::WriteHeader(CODEC_CTX& ctx)
{
    bits_per_pixel_ = 8;
    interlace_ = 0;
    std::uint8_t* h = ctx.row.data();
    header_length_ = 0;
    auto put = [&](std::uint32_t byte) { h[header_length_++] = static_cast<std::uint8_t>(byte); };
    auto put_word = [&](std::uint32_t v) {
        StoreWord(kLittleEndian, v, h + header_length_);
        header_length_ += 2;
    };
    for (const char c : {'G', 'I', 'F', '8', '7', 'a'})
        put(static_cast<std::uint8_t>(c));
    put_word(static_cast<std::uint32_t>(ctx.width));
    put_word(static_cast<std::uint32_t>(ctx.height));
    put(0xE7);
    put(0);
    put(0);
    for (int k = 0; k < 256; ++k) {
        put(ctx.palette[3 * k + 2]);
        put(ctx.palette[3 * k + 1]);
        put(ctx.palette[3 * k]);
    }
    put(0x2C);
    put_word(0);
    put_word(0);
    put_word(static_cast<std::uint32_t>(ctx.width));
    put_word(static_cast<std::uint32_t>(ctx.height));
    put(interlace_ != 0 ? 64 : 0);
    put(static_cast<std::uint32_t>(bits_per_pixel_));
    std::fwrite(h, 1, static_cast<std::size_t>(header_length_), out_);
}

void TGIF::WriteTrailer()
{
    std::fputc(0, out_);
    std::fputc(0x3B, out_);
}

std::int32_t TGIF::Save(CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1)
        return kDataError;
    if (ctx.width > 0xFFFF || ctx.height > 0xFFFF)
        return kImageTooLarge;
    if (ctx.index.size() < static_cast<std::size_t>(ctx.width) * static_cast<std::size_t>(ctx.height))
        return kDataError;
    if (int rc = ctx.row.Reserve(792); rc != kOk)
        return rc;
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    out_ = f.get();
    WriteHeader(ctx);
    Encode(ctx, bits_per_pixel_ + 1);
    WriteTrailer();
    out_ = nullptr;
    return FinishWrite(std::move(f));
}

namespace {

// True when every pixel of the picture to be saved is the palette colour of its index.
bool IndicesShowPicture(const CODEC_CTX& ctx)
{
    const PixelBuffer& source = ctx.edited ? ctx.work : ctx.decoded;
    const std::size_t pixels = static_cast<std::size_t>(ctx.width) * static_cast<std::size_t>(ctx.height);
    if (source.size() < pixels * 3 || ctx.index.size() < pixels)
        return false;
    const std::uint8_t* s = source.data();
    const std::uint8_t* idx = ctx.index.data();
    for (std::size_t i = 0; i < pixels; ++i, s += 3)
        if (std::memcmp(s, ctx.palette + 3 * std::size_t{idx[i]}, 3) != 0)
            return false;
    return true;
}

} // namespace

int WriteGif(CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1)
        return kDataError;
    // Only a GIF just read, and not edited since, leaves indices that can be written as
    // they are; any other picture (24 bits, an edit, another format's palette, buffers used
    // by other codecs since) is reduced first.
    if (!ctx.index_matches_picture || ctx.edited || ctx.bits_per_pixel == 24 || !IndicesShowPicture(ctx)) {
        std::unique_ptr<TRCD> rcd(new (std::nothrow) TRCD);
        if (!rcd)
            return kMemoryError;
        if (int rc = rcd->ReduceColorDepth(ctx); rc != kOk)
            return rc;
    }
    std::unique_ptr<TGIF> gif(new (std::nothrow) TGIF);
    if (!gif)
        return kMemoryError;
    return gif->Save(ctx);
}
