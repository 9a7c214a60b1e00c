// The readers of the decoding helper and what they hand back.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct HELPER_PICTURE {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::int32_t bits_per_pixel = 0; // the source's depth
    std::string compression;
    std::string reason; // why the reader failed, in words; may stay empty
    std::vector<std::uint8_t> icc_profile;
    std::vector<std::uint8_t> exif;
    std::string comment;
    // What a reader of a newer format says beside: see CODEC_CTX::PICTURE_META.
    std::int32_t colour_primaries = -1;
    std::int32_t transfer_characteristics = -1;
    std::int32_t matrix_coefficients = -1;
    bool full_range = true;
    std::int32_t bits_per_sample = 0;
    bool alpha = false;
    std::vector<std::uint8_t> bgr; // height rows of width × 3 bytes: blue, green, red
};

// A reader: decodes the file's bytes into out and returns a result code. It may throw
// std::bad_alloc, which the helper answers as its memory limit.
using HELPER_READ = int (*)(std::span<const std::uint8_t> input, HELPER_PICTURE& out);

// The reader of that name on the command line, or null.
HELPER_READ FindHelperReader(std::string_view name);

// The directory of the helper's executable, with a trailing '/'.
std::string HelperDirectory();
