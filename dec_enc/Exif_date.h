// When a photo was taken, as the camera wrote it in the Exif segment.
#pragma once

#include <cstdint>
#include <span>

// A wall-clock time as Exif stores it: no time zone.
struct EXIF_DATE {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// DateTimeOriginal (tag 0x9003 of the Exif IFD that IFD0's tag 0x8769 points to) of a
// JPEG file's first APP1 "Exif" segment: "YYYY:MM:DD HH:MM:SS" with month 1..12, day
// 1..31, hour 0..23, minute and second 0..59 (60 for a leap second). False when the
// segment, the tag or a valid value is missing (cameras write "0000:00:00 00:00:00" or
// blanks for an unknown date). Reads only the markers before the first scan; every
// offset is checked against the bytes.
bool ExifDateTaken(std::span<const std::uint8_t> jpeg, EXIF_DATE& date);
