// Separable median filter with wrap-around windows.
#pragma once

#include "platform/Dib.h"

#include <cstdint>

class TIMAGE_INFO;

// Orders values[0 .. a − 1] descending and returns the value at index a div 2 (the lower
// middle value for even a).
std::int32_t MedianOf(std::int32_t* values, std::int32_t a);

// Median over a window of a (offsets −(a div 2) .. a − 1 − a div 2), first down the
// columns, then along the rows, indices wrapping around the picture. dst is sized like
// src at 24 bits. Returns kOk, kDataError for a below 1, or a sizing code.
int MedianFilter(const Dib& src, Dib& dst, std::int32_t a);
// Dialog contract: filters the display bitmap into the result bitmap when the
// dialog-accepted flag is set, into preview otherwise.
int MedianFilter(TIMAGE_INFO& doc, Dib& preview, std::int32_t a);
