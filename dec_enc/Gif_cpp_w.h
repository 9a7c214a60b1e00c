// The GIF encoder: one logical screen, a 256-entry global colour table from the context's
// palette (blue, green, red entries), one image of the context's palette indices,
// LZW-coded with 8-bit roots, version "GIF87a".
#pragma once

#include "dec_enc/Codec_ctx.h"

#include <cstdint>
#include <cstdio>

class TGIF {
public:
    TGIF();
    TGIF(const TGIF&) = delete;
    TGIF& operator=(const TGIF&) = delete;

    // Writes width × height indices of the index buffer and the 256 palette entries to the
    // output file. Returns kOk, kOpenFileError when the file cannot be created or not every
    // byte reached it, or kDataError when the index buffer is smaller than the picture.
    std::int32_t Save(CODEC_CTX& ctx);

private:
    void WriteHeader(CODEC_CTX& ctx);
    void Encode(const CODEC_CTX& ctx, int initial_bits);
    void WriteTrailer();
    void PutCode(std::int32_t code);
    void ResetTable();
    void ClearHashTable();
    void PutByte(std::uint8_t byte);
    void FlushBlock();

    static constexpr int kHashSize = 5003;

    std::int32_t bits_per_pixel_ = 8;
    std::int32_t header_length_ = 0;
    std::uint32_t pixel_counter_ = 0;
    std::int32_t block_length_ = 0;
    std::int32_t interlace_ = 0;
    std::int32_t code_width_ = 0;
    std::uint32_t max_code_width_ = 12;
    std::int32_t largest_code_ = 0;
    std::int32_t code_limit_ = 4096;
    std::int32_t hash_[kHashSize];
    std::uint16_t codes_[kHashSize];
    std::int32_t hash_size_ = kHashSize;
    std::int32_t next_code_ = 0;
    std::uint32_t clear_flag_ = 0;
    std::int32_t input_count_ = 1;
    std::int32_t output_count_ = 0;
    std::int32_t initial_bits_ = 9;
    std::int32_t clear_code_ = 256;
    std::int32_t end_code_ = 257;
    std::uint32_t accumulator_ = 0;
    std::int32_t bit_count_ = 0;
    std::uint8_t block_[256];
    std::uint32_t masks_[17];
    FILE* out_ = nullptr;
};
