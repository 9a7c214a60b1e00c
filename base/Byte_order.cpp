#include "base/Byte_order.h"

namespace {

std::uint8_t NextByte(FILE* in)
{
    const int c = std::fgetc(in);
    return c == EOF ? 0xFF : static_cast<std::uint8_t>(c);
}

} // namespace

std::uint16_t ReadWord(int order, FILE* in)
{
    const std::uint8_t b[2] = {NextByte(in), NextByte(in)};
    return LoadWord(order, b);
}

std::uint32_t ReadDword(int order, FILE* in)
{
    std::uint8_t b[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    const std::size_t got = std::fread(b, 1, 4, in);
    for (std::size_t i = got; i < 4; ++i)
        b[i] = 0xFF;
    return LoadDword(order, b);
}

void WriteWord(int order, std::uint32_t value, FILE* out)
{
    std::uint8_t b[2];
    StoreWord(order, value, b);
    std::fwrite(b, 1, 2, out);
}

void WriteDword(int order, std::uint32_t value, FILE* out)
{
    std::uint8_t b[4];
    StoreDword(order, value, b);
    std::fwrite(b, 1, 4, out);
}
