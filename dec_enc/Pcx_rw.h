// PCX run-length coding shared by the PCX reader and the PCX and DCX writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Encodes one row: a byte of 193 or more is a count byte (count = value & 63) before the
// byte it repeats; any other byte stands for itself. Runs of up to 63 equal bytes become
// pairs; each of the row's last two bytes is coded on its own; a single byte of 192 or
// more is written as the pair C1 v. out needs room for 2 × n bytes. Returns the bytes
// written.
std::size_t EncodePcxRow(const std::uint8_t* row, std::size_t n, std::uint8_t* out);

// Decodes the run-length stream of a PCX image. Runs may cross row boundaries: the
// decoder keeps an unfinished run for the next call.
class PcxRunDecoder {
public:
    PcxRunDecoder(const std::uint8_t* begin, const std::uint8_t* end) : p_(begin), end_(end) {}
    explicit PcxRunDecoder(std::span<const std::uint8_t> data) : p_(data.data()), end_(data.data() + data.size()) {}
    // Fills up to n bytes; returns fewer only at the end of the data.
    std::size_t Fill(std::uint8_t* dst, std::size_t n);

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
    std::size_t run_ = 0;
    std::uint8_t value_ = 0;
};
