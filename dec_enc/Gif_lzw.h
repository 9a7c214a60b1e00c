// The GIF reader's LZW decoder and interlace order, shared with the GIF frame source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class LzwEnd { Full, EndCode, OutOfData, BadCode };

struct LzwResult {
    std::size_t produced;
    LzwEnd end;
};

// Decodes the LZW codes of data (data_bits bits, followed by 8 readable padding bytes)
// into out[0 .. total). out needs 8 bytes of room past total.
LzwResult DecodeLzw(const std::uint8_t* data, std::uint64_t data_bits, int min_code_size, std::uint8_t* out,
                    std::size_t total);

// The image row that stream row r fills: interlaced images come in four passes, rows
// 0, 8, 16 ..., then 4, 12 ..., then 2, 6 ..., then 1, 3, 5 ....
void InterlacedRows(int h, std::vector<int>& rows);
