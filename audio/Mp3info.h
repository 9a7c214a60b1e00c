// MPEG audio facts without decoding: a walk over the frame headers (version, layer, mean
// bit rate, sample rate, playing time) and the ID3v1 tag that may close the file.
#pragma once

#include "platform/Text_encoding.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class CMP3INFO {
public:
    // Flag bits.
    static constexpr std::uint32_t kHasTag = 1;
    static constexpr std::uint32_t kHasFrames = 2;
    // How many one-byte steps the header search makes before it gives up.
    static constexpr int kSyncSearchSteps = 10000;

    CMP3INFO() = default;
    // Reads the file at once (the caller passes the decoder context's file name).
    explicit CMP3INFO(const std::string& path);

    void Reset();
    // 1 when the file could be opened as a regular file (whatever it held), 0 otherwise;
    // a FIFO or a device is refused without a read, so the call never blocks.
    std::int32_t Parse(const std::string& path);
    // The same walk over bytes already in memory; the file name stays empty.
    void ParseBytes(std::span<const std::uint8_t> bytes);

    // The genre's name for 0..147, "" for every other index.
    static const char* GenreName(std::int32_t index);
    const char* GenreName() const { return GenreName(genre); }

    std::string file_name;
    std::uint32_t flags = 0;
    // Tag texts as stored: up to the first zero byte or the field's width.
    std::string artist, title, album, comment, year;
    std::int32_t track = 0;
    std::int32_t genre = 255;
    std::uint32_t frame_count = 0;
    std::int32_t length = 0;         // whole seconds
    std::uint8_t version_code = 0;   // 0 reserved, 1 MPEG 2.5, 2 MPEG 2, 3 MPEG 1
    std::int32_t layer = 0;          // 0 reserved, 1, 2 or 3
    std::int32_t protection_bit = 0; // as stored: 1 means no CRC follows the header
    std::int32_t bit_rate = 0;       // mean of the frames' rates, kbit/s
    std::int32_t sample_rate = 0;    // Hz
    std::uint8_t channel_mode = 0;   // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    std::uint8_t emphasis = 0;
    std::int32_t copyright = 0;
    std::int32_t original = 0;
};

// "MPEG 1", "MPEG 2", "MPEG 2.5" or "reserved".
const char* MpegVersionName(std::uint8_t version_code);

// Tag bytes as UTF-8 text: kept when they already are valid UTF-8, else read as Latin-1
// (ID3v1 names no encoding; its text is Latin-1 or, from newer taggers, UTF-8).
inline std::string TextAsUtf8(std::string_view bytes) { return AsUtf8(bytes, TextFallback::kLatin1); }
