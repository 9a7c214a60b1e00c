// Reducing a picture by area averaging: every destination pixel is the mean of the source
// area it covers, partly covered source pixels weighted by the part they share with it.
#pragma once

#include "platform/Dib.h"

// Reduces the 24-bit src to dst_w × dst_h (each side at most the source's) into dst, sized
// here at 24 bits. Exact in integers: the weights are the overlaps of the two pixel grids,
// and every result is the weighted sum divided by the area, rounded to nearest. Returns
// kOk, kDataError for an empty or non-24-bit source or a size outside 1..the source's,
// or the bitmap's sizing code.
int ReduceByArea(const Dib& src, int dst_w, int dst_h, Dib& dst);
