// Explosion: every pixel is scattered by a small pseudo-random offset.
#pragma once

#include "platform/Dib.h"

#include <cstdint>

class TIMAGE_INFO;

// Copies src into dst, then for each source pixel draws r and writes the pixel at offset
// b = −(n div 2) + r mod (n − 1) along x and along y where that stays inside. Only the
// odd windows 3 .. 11 have offsets; other windows leave the picture unchanged (the
// generator still advances once a pixel). The generator is never seeded.
int Explode(const Dib& src, Dib& dst, std::int32_t n);
// Dialog contract: window from the effect parameter, always into the result bitmap.
int Explode(TIMAGE_INFO& doc);
