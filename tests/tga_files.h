// TARGA files made in the tests: a header of any layout, and a picture stored with any
// origin, depth and encoding.
#pragma once

#include "base/Byte_order.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tga_files {

using Bytes = std::vector<std::uint8_t>;

struct TGA_HEADER {
    int id_length = 0, map_type = 0, type = 2, map_first = 0, map_length = 0, map_bits = 0;
    int width = 1, height = 1, bits = 24, descriptor = 0;
};

inline Bytes Tga(const TGA_HEADER& h, const Bytes& rest)
{
    Bytes b(18 + rest.size(), 0);
    b[0] = static_cast<std::uint8_t>(h.id_length);
    b[1] = static_cast<std::uint8_t>(h.map_type);
    b[2] = static_cast<std::uint8_t>(h.type);
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(h.map_first), b.data() + 3);
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(h.map_length), b.data() + 5);
    b[7] = static_cast<std::uint8_t>(h.map_bits);
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(h.width), b.data() + 12);
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(h.height), b.data() + 14);
    b[16] = static_cast<std::uint8_t>(h.bits);
    b[17] = static_cast<std::uint8_t>(h.descriptor);
    std::copy(rest.begin(), rest.end(), b.begin() + 18);
    return b;
}

// A 5 x 3 picture, top row first, whose colours survive 5 bits a channel; the first two
// pixels are equal so that run-length coding makes a repeat packet.
inline Bytes OrientationPicture()
{
    Bytes p;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const int k = x == 0 && y == 0 ? 1 : x + 5 * y;
            p.insert(p.end(), {static_cast<std::uint8_t>(8 * k), static_cast<std::uint8_t>(248 - 8 * k),
                               static_cast<std::uint8_t>(8 * ((k * 7) % 31))});
        }
    return p;
}

// The picture stored as a TGA with the given origin (descriptor bits 4 and 5), depth and
// encoding: rows and pixels in the order the descriptor says, packets within a row.
inline Bytes OrientedTga(const Bytes& bgr, int w, int h, int origin, int bits, bool rle)
{
    const bool top = (origin & 0x20) != 0, rtl = (origin & 0x10) != 0;
    Bytes body;
    for (int r = 0; r < h; ++r) {
        std::vector<Bytes> row;
        for (int i = 0; i < w; ++i) {
            const int y = top ? r : h - 1 - r, x = rtl ? w - 1 - i : i;
            const std::uint8_t* p = bgr.data() + 3 * (y * w + x);
            if (bits == 16) {
                const unsigned v = (p[0] >> 3) | (p[1] >> 3) << 5 | (p[2] >> 3) << 10;
                row.push_back({static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)});
            } else {
                row.push_back({p[0], p[1], p[2]});
                if (bits == 32)
                    row.back().push_back(0xFF);
            }
        }
        for (std::size_t i = 0; i < row.size();) {
            std::size_t n = 1;
            while (rle && n < 128 && i + n < row.size() && row[i + n] == row[i])
                ++n;
            if (rle && n > 1) {
                body.push_back(static_cast<std::uint8_t>(0x80 | (n - 1)));
                body.insert(body.end(), row[i].begin(), row[i].end());
            } else {
                n = rle ? 1 : row.size() - i;
                if (rle)
                    body.push_back(0x00);
                for (std::size_t k = 0; k < n; ++k)
                    body.insert(body.end(), row[i + k].begin(), row[i + k].end());
            }
            i += n;
        }
    }
    return Tga({.type = rle ? 10 : 2, .width = w, .height = h, .bits = bits,
                .descriptor = origin | (bits == 32 ? 8 : 0)}, body);
}

inline Bytes Negated(Bytes p)
{
    for (std::uint8_t& b : p)
        b = static_cast<std::uint8_t>(255 - b);
    return p;
}

} // namespace tga_files
