#include "dec_enc/Exif.h"

#include <cstring>

namespace {

std::uint32_t Get(const std::uint8_t* p, int bytes, bool big)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint32_t{p[big ? i : bytes - 1 - i]} << (8 * (bytes - 1 - i));
    return v;
}

// The orientation tag of a TIFF structure (the APP1 payload after "Exif\0\0").
int OrientationInTiff(std::span<const std::uint8_t> t)
{
    if (t.size() < 8)
        return 0;
    bool big = false;
    if (t[0] == 'M' && t[1] == 'M')
        big = true;
    else if (!(t[0] == 'I' && t[1] == 'I'))
        return 0;
    if (Get(t.data() + 2, 2, big) != 42)
        return 0;
    const std::uint64_t ifd = Get(t.data() + 4, 4, big);
    if (ifd + 2 > t.size())
        return 0;
    const std::uint32_t entries = Get(t.data() + ifd, 2, big);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint64_t at = ifd + 2 + std::uint64_t{i} * 12;
        if (at + 12 > t.size())
            return 0;
        const std::uint8_t* e = t.data() + at;
        if (Get(e, 2, big) != 0x0112)
            continue;
        const std::uint32_t type = Get(e + 2, 2, big);
        const std::uint32_t count = Get(e + 4, 4, big);
        if (type != 3 || count < 1) // SHORT: the value sits in the entry itself
            return 0;
        const std::uint32_t v = Get(e + 8, 2, big);
        return v >= 1 && v <= 8 ? static_cast<int>(v) : 0;
    }
    return 0;
}

} // namespace

int ExifOrientation(std::span<const std::uint8_t> jpeg)
{
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return 0;
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (jpeg[pos] != 0xFF)
            return 0;
        const std::uint8_t marker = jpeg[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image
            return 0;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // markers without a length
            pos += 2;
            continue;
        }
        const std::size_t length = Get(jpeg.data() + pos + 2, 2, true);
        if (length < 2 || pos + 2 + length > jpeg.size())
            return 0;
        const std::span<const std::uint8_t> body = jpeg.subspan(pos + 4, length - 2);
        if (marker == 0xE1 && body.size() >= 6 && std::memcmp(body.data(), "Exif\0\0", 6) == 0)
            return OrientationInTiff(body.subspan(6));
        pos += 2 + length;
    }
    return 0;
}
