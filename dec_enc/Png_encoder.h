// PNG encoding of 8-bit RGB pictures from blue-green-red rows, shared by the PNG writer
// and the row-streaming conversion.
//
// Each row gets the filter (None, Sub, Up, Average, Paeth) whose output has the smallest
// sum of absolute values, read as signed bytes. The filtered rows form one zlib stream,
// compressed at level 6 one of two ways:
// - Whole: the rows are gathered and compressed as one buffer by libdeflate, several times
//   quicker than zlib and mostly smaller. Noise-like pictures (grainy photographs) gain
//   nothing from string matching, where libdeflate's matches cost a little: when the
//   filtered bytes' order-0 entropy says a Huffman code alone could do better, zlib's
//   Huffman-only coding is tried too and the smaller stream kept. It costs a buffer of the
//   filtered picture and one of its compressed form.
// - Streaming: zlib compresses 4 MiB of filtered rows at a time in constant memory, for
//   pictures that are never whole in memory. It starts with the strategy libpng uses for
//   filtered rows; when a piece compresses no smaller than its order-0 entropy, string
//   matching is doing nothing but cost time, and the rest goes Huffman-only.
// IDAT chunks hold up to 256 KiB each; no other chunk is written but IHDR and IEND.
#pragma once

#include "base/Pixel_buffer.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

class PngEncoder {
public:
    enum class Mode { Whole, Streaming };

    // Writes to out, which stays open; filtered is where Whole mode gathers its rows (a
    // buffer that keeps its capacity between saves). Whole mode falls back to Streaming
    // when that buffer cannot be had.
    PngEncoder(FILE* out, std::int32_t width, std::int32_t height, Mode mode, PixelBuffer& filtered);
    ~PngEncoder();
    PngEncoder(const PngEncoder&) = delete;
    PngEncoder& operator=(const PngEncoder&) = delete;

    // The signature and the header chunk. kOk, kDataError for a size PNG cannot hold,
    // kMemoryError, or kOpenFileError when the file cannot be written.
    int Start();
    // The next row from the top: width × 3 bytes, blue, green, red.
    int AddRow(const std::uint8_t* bgr);
    // After the last row: the compressed data and the end chunk. kOk or a code.
    int Finish();

private:
    struct ZStream;

    void FilterRow(const std::uint8_t* bgr, std::uint8_t* out);
    int WriteChunk(const char type[4], const std::uint8_t* data, std::size_t n);
    int WriteIdat(const std::uint8_t* data, std::size_t n);
    int Deflate(const std::uint8_t* data, std::size_t n, bool last);
    int FlushPiece(bool last);

    FILE* out_;
    std::int32_t width_;
    std::int32_t height_;
    Mode mode_;
    PixelBuffer& filtered_;
    std::size_t row_bytes_;
    std::int32_t rows_ = 0;
    std::vector<std::uint8_t> prev_; // the previous row, red-green-blue, unfiltered
    std::vector<std::uint8_t> cur_;
    std::vector<std::uint8_t> trial_; // the filters' outputs, each a filter byte and a row
    std::vector<std::uint8_t> piece_; // filtered rows waiting for zlib, while streaming
    std::unique_ptr<ZStream> z_;
};
