// Opening TIFF files for the reader and the writer with libtiff's messages kept quiet:
// errors and warnings go to handlers of this open only, never to the standard streams.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// mode "r" or "w"; null when libtiff cannot open or create the file.
TiffPtr OpenTiff(const std::string& path, const char* mode);

// The fields of every file written: 8-bit red, green, blue, LZW with the horizontal
// predictor, in strips of libtiff's default size. The streamed and the document writers
// share them, so the two give the same bytes.
void SetRgbFields(TIFF* t, std::uint32_t width, std::uint32_t height);

// A file's bytes that libtiff reads as it would a file it had mapped.
struct TIFF_BYTES {
    std::span<const std::uint8_t> bytes;
    std::uint64_t pos = 0;
};
// Opens the bytes (which `in` must outlive the TIFF) for reading; null when libtiff cannot.
TiffPtr OpenTiffBytes(const std::string& name, TIFF_BYTES& in);

struct TIFF_LAYOUT {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
    // Read a scan line at a time: contiguous strips of 1-bit grey, 8-bit grey or palette, or
    // 8-bit RGB. The rest goes through libtiff's RGBA interface.
    bool scanlines = false;
};
// The first directory's layout and compression: kOk, kDataError for a zero size,
// kBitDepthNotSupported for 2 to 7 bits a sample, kCompressionNotSupported for a codec this
// libtiff lacks.
int ReadTiffLayout(TIFF* t, TIFF_LAYOUT& l, std::uint16_t& compression);

// Whether a file of file_size bytes can hold the pixels the layout claims (stored data cut
// to an eighth, coded data at most 2048 to one, fax and JBIG a row a bit).
bool TiffDataCanBeInFile(const TIFF_LAYOUT& l, std::uint16_t compression, std::size_t file_size);

// Scan lines of a `scanlines` layout into blue-green-red rows.
struct TIFF_SCANLINES {
    TIFF_LAYOUT l;
    std::uint8_t map[3][256] = {}; // red, green, blue of each 8-bit value
    std::size_t line_bytes = 0;    // what TIFFReadScanline fills
    // kOk, or kDataError for a scan line too short for the width.
    int Start(TIFF* t, const TIFF_LAYOUT& layout);
    void ToBgr(const std::uint8_t* in, std::uint8_t* out) const;
};
