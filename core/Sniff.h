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

// SniffFormat over the first kSniffBytes of a file; -1 when it cannot be read.
std::int32_t SniffFile(const std::string& path);
