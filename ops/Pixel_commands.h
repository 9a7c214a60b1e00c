// The main window's own pixel commands: flips, quarter turns, negative, grey scale and
// channel swaps, on 24-bit bitmaps.
#pragma once

#include "platform/Dib.h"

#include <cstdint>

// Left-right flip in place.
void Mirror(Dib& pic);
// Top-bottom flip in place.
void FlipVertical(Dib& pic);
// Quarter turn counter-clockwise: src pixel (x, y) goes to dst (y, W − 1 − x); dst is H × W.
int RotateLeft(const Dib& src, Dib& dst);
// Quarter turn clockwise: src pixel (x, y) goes to dst (H − 1 − y, x); dst is H × W.
int RotateRight(const Dib& src, Dib& dst);
// Every byte becomes 255 − byte.
void Negative(Dib& pic);
// All three bytes become (b0 + b1 + b2) / 3.
void GrayScale(Dib& pic);
// The same from src into dst, a 24-bit bitmap of src's size (or src itself).
void GrayScale(const Dib& src, Dib& dst);
// New bytes 0, 1, 2 come from old bytes order[0], order[1], order[2].
void SwapChannels(Dib& pic, const int order[3]);
// The byte order of a swap caption's letters ("RBG", "BGR", "BRG", "GRB", "GBR"), reading
// R, G, B as bytes 0, 1, 2; false for other names.
bool SwapOrder(const char* name, int order[3]);
