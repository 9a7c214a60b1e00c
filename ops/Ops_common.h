// Helpers shared by the picture operations: 24-bit bitmap copies and per-byte tables.
#pragma once

#include "platform/Dib.h"

#include <cstdint>

// Sizes dst like src at 24 bits and copies every row. Returns kOk or the sizing's code.
int CopyBitmap(const Dib& src, Dib& dst);
// Sizes dst to w × h at 24 bits unless it already has that size and depth.
int EnsureBitmap(Dib& dst, int w, int h);
// Fills every pixel of a 24-bit bitmap with one colour (bytes blue, green, red).
void FillBitmap(Dib& dst, std::uint8_t b, std::uint8_t g, std::uint8_t r);
// dst pixel byte k = table[k][src byte k] for every pixel of rows y0 .. y1 - 1 and
// columns x0 .. x1 - 1; src and dst have the same size (they may be the same bitmap).
void ApplyTables(const Dib& src, Dib& dst, const std::uint8_t (*table)[256], int x0, int y0, int x1, int y1);
