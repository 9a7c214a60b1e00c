// What the PNG reader (dec_enc/Png_rw.cpp) and the streamed PNG row source
// (dec_enc/Row_sources_lib.cpp) ask libpng for, so that both give the same rows.
#pragma once

#include <png.h>

// Rows of 8-bit blue, green, red: palette and grey expanded, 16 bits scaled down, and
// transparency laid over white.
inline void AskForBgrOverWhite(png_structp png, png_infop info, int colour_type)
{
    const bool alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png); // palette to RGB, grey below 8 bits to 8 bits, tRNS to alpha
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    if (alpha) {
        png_color_16 white {};
        white.red = white.green = white.blue = white.gray = 255;
        png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    }
    png_set_bgr(png);
}
