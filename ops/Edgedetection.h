// Prewitt edge detection per channel.
#pragma once

#include "platform/Dib.h"

// Writes the gradient magnitude of src's inside into dst (same size, 24 bits); magnitudes
// keep their low 8 bits (765 is stored as 253). dst's one-pixel frame is not written.
void DetectEdges(const Dib& src, Dib& dst);
