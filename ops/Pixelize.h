// Pixelate: whole N × N blocks take their average colour.
#pragma once

#include "platform/Dib.h"

#include <cstdint>

class TIMAGE_INFO;

// Copies src into dst and replaces every block lying wholly inside the picture by its
// per-channel integer average; the cut blocks at the right and bottom stay as they are.
int Pixelate(const Dib& src, Dib& dst, std::int32_t n);
// Dialog contract: window from the effect parameter; writes preview while the
// direct-decode flag is set, the result bitmap once it is clear.
int Pixelate(TIMAGE_INFO& doc, Dib& preview);
