// Point operations driven by preview dialogs: gamma correction and solarize.
#pragma once

#include "platform/Dib.h"

#include <cstdint>

class TIMAGE_INFO;

// The byte gamma correction maps c to: trunc(255 × (c / 255)^(1 / gamma) + 0.5).
std::uint8_t GammaValue(int c, double gamma);
// Writes the gamma-corrected src into dst (sized like src at 24 bits; dst may be src). A
// gamma of 0 (or below, or not a number) is never applied: dst keeps its content. Returns
// kOk or the sizing's code.
int GammaCorrect(const Dib& src, Dib& dst, double gamma);
// Dialog contract: corrects the display bitmap into the document's result bitmap when
// the dialog-accepted flag is set, into preview otherwise.
int GammaCorrect(TIMAGE_INFO& doc, Dib& preview, double gamma);

// Solarizes the inside of src into dst (same size, or src itself): each byte c becomes c
// when c < t, else 255 − c. The one-pixel frame of dst is not written.
void Solarize(const Dib& src, Dib& dst, std::int32_t t);
// Dialog contract: copies the display bitmap into the result bitmap and solarizes it there.
int Solarize(TIMAGE_INFO& doc, std::int32_t t);
