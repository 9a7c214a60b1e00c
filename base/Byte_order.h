// Byte-order helpers for binary headers. The order selector is 1 for big-endian (most
// significant byte first); any other value means little-endian.
#pragma once

#include <cstdint>
#include <cstdio>

inline constexpr int kBigEndian = 1;
inline constexpr int kLittleEndian = 0;

// Reads 2 bytes; at the end of the stream each missing byte reads as 0xFF.
std::uint16_t ReadWord(int order, FILE* in);
// Reads 4 bytes; at the end of the stream each missing byte reads as 0xFF.
std::uint32_t ReadDword(int order, FILE* in);
void WriteWord(int order, std::uint32_t value, FILE* out);
void WriteDword(int order, std::uint32_t value, FILE* out);

// The same orders over memory.
inline std::uint16_t LoadWord(int order, const std::uint8_t* p)
{
    return order == kBigEndian ? static_cast<std::uint16_t>((p[0] << 8) | p[1])
                               : static_cast<std::uint16_t>((p[1] << 8) | p[0]);
}
inline std::uint32_t LoadDword(int order, const std::uint8_t* p)
{
    return order == kBigEndian
               ? (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3]
               : (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}
inline void StoreWord(int order, std::uint32_t v, std::uint8_t* p)
{
    const auto hi = static_cast<std::uint8_t>(v >> 8), lo = static_cast<std::uint8_t>(v);
    p[0] = order == kBigEndian ? hi : lo;
    p[1] = order == kBigEndian ? lo : hi;
}
inline void StoreDword(int order, std::uint32_t v, std::uint8_t* p)
{
    for (int i = 0; i < 4; ++i) {
        const int shift = order == kBigEndian ? 24 - 8 * i : 8 * i;
        p[i] = static_cast<std::uint8_t>(v >> shift);
    }
}
