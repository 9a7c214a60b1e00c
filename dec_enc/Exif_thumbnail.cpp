#include "dec_enc/Exif_thumbnail.h"

#include <cstring>

namespace {

std::uint32_t Get(const std::uint8_t* p, int bytes, bool big)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint32_t{p[big ? i : bytes - 1 - i]} << (8 * (bytes - 1 - i));
    return v;
}

// A SHORT or LONG value held in an IFD entry itself.
bool EntryValue(const std::uint8_t* e, bool big, std::uint32_t& value)
{
    const std::uint32_t type = Get(e + 2, 2, big);
    if (Get(e + 4, 4, big) != 1)
        return false;
    if (type == 3)
        value = Get(e + 8, 2, big);
    else if (type == 4)
        value = Get(e + 8, 4, big);
    else
        return false;
    return true;
}

// The thumbnail inside a TIFF structure (the APP1 payload after "Exif\0\0").
std::span<const std::uint8_t> ThumbnailInTiff(std::span<const std::uint8_t> t)
{
    if (t.size() < 8)
        return {};
    bool big = false;
    if (t[0] == 'M' && t[1] == 'M')
        big = true;
    else if (!(t[0] == 'I' && t[1] == 'I'))
        return {};
    if (Get(t.data() + 2, 2, big) != 42)
        return {};
    // IFD0, then the offset of IFD1 after its entries.
    const std::uint64_t ifd0 = Get(t.data() + 4, 4, big);
    if (ifd0 + 2 > t.size())
        return {};
    const std::uint64_t next_at = ifd0 + 2 + std::uint64_t{Get(t.data() + ifd0, 2, big)} * 12;
    if (next_at + 4 > t.size())
        return {};
    const std::uint64_t ifd1 = Get(t.data() + next_at, 4, big);
    if (ifd1 == 0 || ifd1 == ifd0 || ifd1 + 2 > t.size())
        return {};
    const std::uint32_t entries = Get(t.data() + ifd1, 2, big);
    std::uint32_t offset = 0, length = 0;
    bool have_offset = false, have_length = false;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint64_t at = ifd1 + 2 + std::uint64_t{i} * 12;
        if (at + 12 > t.size())
            break;
        const std::uint8_t* e = t.data() + at;
        const std::uint32_t tag = Get(e, 2, big);
        if (tag == 0x0201)
            have_offset = EntryValue(e, big, offset);
        else if (tag == 0x0202)
            have_length = EntryValue(e, big, length);
    }
    if (!have_offset || !have_length || length < 4 || std::uint64_t{offset} + length > t.size())
        return {};
    const std::span<const std::uint8_t> thumb = t.subspan(offset, length);
    if (thumb[0] != 0xFF || thumb[1] != 0xD8)
        return {};
    return thumb;
}

} // namespace

std::span<const std::uint8_t> ExifThumbnail(std::span<const std::uint8_t> jpeg)
{
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return {};
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (jpeg[pos] != 0xFF)
            return {};
        const std::uint8_t marker = jpeg[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image
            return {};
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // markers without a length
            pos += 2;
            continue;
        }
        const std::size_t length = Get(jpeg.data() + pos + 2, 2, true);
        if (length < 2 || pos + 2 + length > jpeg.size())
            return {};
        const std::span<const std::uint8_t> body = jpeg.subspan(pos + 4, length - 2);
        if (marker == 0xE1 && body.size() >= 6 && std::memcmp(body.data(), "Exif\0\0", 6) == 0)
            return ThumbnailInTiff(body.subspan(6));
        pos += 2 + length;
    }
    return {};
}
