// Recognising a picture by its first bytes, for files whose name does not tell (or tells
// wrong).
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Bytes SniffFormat looks at; fewer are fine (the checks that need more fail).
inline constexpr std::size_t kSniffBytes = 512;

// The format code (core/Imageinfo.h) of the picture whose file starts with head: PNG, JPEG,
// GIF, BMP, TIFF, netpbm (PBM, PGM or PPM by the magic P1..P6), PCX, DCX, SGI, XWD, FITS,
// Sun raster, Paint Shop Pro, DICOM, WebP (RIFF/WEBP), AVIF and HEIF (the brands of an
// "ftyp" box) or JPEG XL (codestream or container); -1 when none matches. A PNG holding an
// animation is still PNG here: its chunks decide later.
std::int32_t SniffFormat(std::span<const std::uint8_t> head);

// The name of a common picture format that Ravelscope does not read ("Photoshop",
// "JPEG 2000", "OpenEXR" ...) when head is the start of such a file; null
// otherwise. One table (core/Sniff.cpp) holds them: a format that gains a reader leaves it.
const char* ForeignFormatName(std::span<const std::uint8_t> head);
// "Photoshop is not a format Ravelscope reads".
std::string NotReadReason(const char* foreign_name);

// SniffFormat over the first kSniffBytes of a file; -1 when it cannot be read. With
// foreign given, it also gets ForeignFormatName of those bytes.
std::int32_t SniffFile(const std::string& path, const char** foreign = nullptr);
