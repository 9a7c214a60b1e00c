#include "dec_enc/Exif_date.h"

#include <cstring>

namespace {

std::uint32_t Get(const std::uint8_t* p, int bytes, bool big)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint32_t{p[big ? i : bytes - 1 - i]} << (8 * (bytes - 1 - i));
    return v;
}

// The entry of tag in the IFD at offset ifd of the TIFF structure t; nullptr without.
const std::uint8_t* FindEntry(std::span<const std::uint8_t> t, std::uint64_t ifd, bool big, std::uint32_t tag)
{
    if (ifd + 2 > t.size())
        return nullptr;
    const std::uint32_t entries = Get(t.data() + ifd, 2, big);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint64_t at = ifd + 2 + std::uint64_t{i} * 12;
        if (at + 12 > t.size())
            return nullptr;
        if (Get(t.data() + at, 2, big) == tag)
            return t.data() + at;
    }
    return nullptr;
}

// Two or four digits at p as a number, -1 when one is not a digit.
int Digits(const std::uint8_t* p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        v = v * 10 + (p[i] - '0');
    }
    return v;
}

bool DateInTiff(std::span<const std::uint8_t> t, EXIF_DATE& date)
{
    if (t.size() < 8)
        return false;
    bool big = false;
    if (t[0] == 'M' && t[1] == 'M')
        big = true;
    else if (!(t[0] == 'I' && t[1] == 'I'))
        return false;
    if (Get(t.data() + 2, 2, big) != 42)
        return false;
    const std::uint8_t* pointer = FindEntry(t, Get(t.data() + 4, 4, big), big, 0x8769);
    if (pointer == nullptr || Get(pointer + 2, 2, big) != 4) // LONG
        return false;
    const std::uint8_t* e = FindEntry(t, Get(pointer + 8, 4, big), big, 0x9003);
    if (e == nullptr || Get(e + 2, 2, big) != 2 || Get(e + 4, 4, big) < 19) // ASCII, 19 characters and a NUL
        return false;
    const std::uint64_t at = Get(e + 8, 4, big);
    if (at + 19 > t.size())
        return false;
    const std::uint8_t* s = t.data() + at;
    if (s[4] != ':' || s[7] != ':' || s[10] != ' ' || s[13] != ':' || s[16] != ':')
        return false;
    const EXIF_DATE d{Digits(s, 4), Digits(s + 5, 2), Digits(s + 8, 2), Digits(s + 11, 2), Digits(s + 14, 2),
                      Digits(s + 17, 2)};
    if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour < 0 || d.hour > 23 ||
        d.minute < 0 || d.minute > 59 || d.second < 0 || d.second > 60)
        return false;
    date = d;
    return true;
}

} // namespace

bool ExifDateTaken(std::span<const std::uint8_t> jpeg, EXIF_DATE& date)
{
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return false;
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (jpeg[pos] != 0xFF)
            return false;
        const std::uint8_t marker = jpeg[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image
            return false;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // markers without a length
            pos += 2;
            continue;
        }
        const std::size_t length = Get(jpeg.data() + pos + 2, 2, true);
        if (length < 2 || pos + 2 + length > jpeg.size())
            return false;
        const std::span<const std::uint8_t> body = jpeg.subspan(pos + 4, length - 2);
        if (marker == 0xE1 && body.size() >= 6 && std::memcmp(body.data(), "Exif\0\0", 6) == 0)
            return DateInTiff(body.subspan(6), date);
        pos += 2 + length;
    }
    return false;
}
