// Row sources and row sinks: conversion a row at a time between formats that store their
// rows in order, for pictures that need never stand in memory whole.
//
// A source reads one file's rows from the top as blue-green-red bytes. It is opened only
// for the variants it reads exactly as the format's reader does, so what it gives is the
// picture the document would hold: binary netpbm files of at most 8 bits a sample,
// uncompressed 24-bit BMP and TARGA (32-bit TARGA too) and 24-bit Sun rasters whose
// rows are all in the file, PNG files that are not interlaced, JPEG files without an Exif
// turn and in grey or YCbCr, and TIFF files read a scan line at a time. Rows stored bottom
// up are read from the end of the mapping. Unlike the readers, sources have no size limit
// of their own.
//
// A sink writes the file the format's writer writes, byte for byte, except PNG: its sink
// compresses with zlib as it goes where the writer compresses the whole picture at once
// (PngEncoder), so the two files hold the same pixels in different bytes. BMP and TARGA
// rows go bottom up: their sinks write each row at its place in the file.
#pragma once

#include "base/File_io.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

class RowSource {
public:
    virtual ~RowSource() = default;
    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    // The next row from the top: width × 3 bytes into bgr. kOk or a code.
    virtual int ReadRow(std::uint8_t* bgr) = 0;

protected:
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

class RowSink {
public:
    virtual ~RowSink() = default;
    // The next row from the top: width × 3 bytes, blue, green, red.
    virtual int WriteRow(const std::uint8_t* bgr) = 0;
    // After the last row: completes and closes the file. kOk or a code.
    virtual int Finish() = 0;
};

// A source over a file's bytes, for a file of extension ext (upper case, dot included),
// or null when the format or the variant does not stream. The bytes must outlive the
// source; with map (the mapping that holds them) it gives back the pages it has passed.
std::unique_ptr<RowSource> OpenRowSource(const std::string& ext, std::span<const std::uint8_t> bytes,
                                         MappedFile* map);

enum class RowFormat { Ppm, Pgm, Bmp, Tga, Sun, Png, Jpeg, Tiff };

// A sink that creates path for a width × height picture. Null with rc set when it cannot
// (kOpenFileError, kImageTooLarge for a size the format cannot hold, kMemoryError).
std::unique_ptr<RowSink> OpenRowSink(RowFormat format, const std::string& path, std::int32_t width,
                                     std::int32_t height, int& rc);
