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

void Put(std::uint8_t* p, int bytes, bool big, std::uint32_t v)
{
    for (int i = 0; i < bytes; ++i)
        p[big ? bytes - 1 - i : i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// IFD0 of a TIFF structure (the Exif block after "Exif\0\0"): its offset and entry count;
// false when it is not there. The entries are checked against the bytes one by one.
struct IFD0 {
    bool big = false;
    std::size_t at = 0;
    std::uint32_t entries = 0;
};

bool FindIfd0(std::span<const std::uint8_t> t, IFD0& ifd)
{
    if (t.size() < 8)
        return false;
    if (t[0] == 'M' && t[1] == 'M')
        ifd.big = true;
    else if (!(t[0] == 'I' && t[1] == 'I'))
        return false;
    if (Get(t.data() + 2, 2, ifd.big) != 42)
        return false;
    const std::uint64_t at = Get(t.data() + 4, 4, ifd.big);
    if (at + 2 > t.size())
        return false;
    ifd.at = static_cast<std::size_t>(at);
    ifd.entries = Get(t.data() + at, 2, ifd.big);
    return true;
}

// The offset of IFD0's orientation entry when it is a SHORT (its value in the entry).
bool FindOrientation(std::span<const std::uint8_t> t, const IFD0& ifd, std::size_t& entry)
{
    for (std::uint32_t i = 0; i < ifd.entries; ++i) {
        const std::size_t at = ifd.at + 2 + std::size_t{i} * 12;
        if (at + 12 > t.size())
            return false;
        const std::uint8_t* e = t.data() + at;
        if (Get(e, 2, ifd.big) != 0x0112)
            continue;
        if (Get(e + 2, 2, ifd.big) != 3 || Get(e + 4, 4, ifd.big) < 1)
            return false;
        entry = at;
        return true;
    }
    return false;
}

// The orientation tag of a TIFF structure.
int OrientationInTiff(std::span<const std::uint8_t> t)
{
    IFD0 ifd;
    std::size_t entry = 0;
    if (!FindIfd0(t, ifd) || !FindOrientation(t, ifd, entry))
        return 0;
    const std::uint32_t v = Get(t.data() + entry + 8, 2, ifd.big);
    return v >= 1 && v <= 8 ? static_cast<int>(v) : 0;
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

int ExifBlockOrientation(std::span<const std::uint8_t> tiff)
{
    return OrientationInTiff(tiff);
}

bool ResetExifOrientation(std::span<std::uint8_t> tiff)
{
    IFD0 ifd;
    std::size_t entry = 0;
    if (!FindIfd0(tiff, ifd) || !FindOrientation(tiff, ifd, entry))
        return false;
    std::uint8_t* value = tiff.data() + entry + 8;
    if (Get(value, 2, ifd.big) == 1)
        return false;
    Put(value, 2, ifd.big, 1);
    return true;
}

bool DropExifThumbnail(std::span<std::uint8_t> tiff)
{
    IFD0 ifd;
    if (!FindIfd0(tiff, ifd) || ifd.at + 2 + std::size_t{ifd.entries} * 12 + 4 > tiff.size())
        return false;
    std::uint8_t* next = tiff.data() + ifd.at + 2 + std::size_t{ifd.entries} * 12;
    if (Get(next, 4, ifd.big) == 0)
        return false;
    Put(next, 4, ifd.big, 0);
    return true;
}
