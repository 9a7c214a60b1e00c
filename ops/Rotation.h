// Free rotation about the centre onto an enlarged canvas, and the preview's reduction.
#pragma once

#include "platform/Dib.h"

#include <cstdint>

struct CODEC_CTX;

// Canvas size of a picture w × h turned by angle degrees (the full rotation's arithmetic).
void RotatedSize(int w, int h, double angle, int& out_w, int& out_h);

// Turns src by angle degrees (positive turns counter-clockwise on screen) into dst, which
// is sized to the enlarged canvas; uncovered pixels get background (blue, green, red).
// Returns kOk or the sizing's code (dst untouched then).
int RotateBitmap(const Dib& src, Dib& dst, double angle, const std::uint8_t background[3]);

// The full rotation of an undo node: reads current's decoded pixels, size and angle and
// fills next's decoded pixels, width and height. Returns 0, or −1 when next's buffer
// cannot be had (no pixel written then).
int RotatePicture(const CODEC_CTX& current, CODEC_CTX& next, const std::uint8_t background[3]);

// The preview rotation: single-precision angle, rounded sampling. Sizes preview.
int RotatePreview(const Dib& src, Dib& preview, float angle, const std::uint8_t background[3]);

// Nearest-neighbour reduction: dst is trunc(fx × W) × trunc(fy × H); pixel (x, y) comes
// from source pixel (trunc(x / fx), trunc(y / fy)).
int ShrinkForPreview(Dib& dst, const Dib& src, float fx, float fy);
