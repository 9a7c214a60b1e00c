// Pixels of a picture as an independent tool decodes it, for comparisons with our readers.
#pragma once

#include "tests/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <string>

// A python3 that has Pillow, or "".
inline std::string PillowPython()
{
    for (const char* py : {"python3", "/usr/bin/python3"}) {
        int status = -1;
        CaptureCommand(std::string(py) + " -c 'import PIL' 2>/dev/null", &status);
        if (status == 0)
            return py;
    }
    return "";
}

// ImageMagick's view of the first image of a file, alpha composited on white, as
// blue-green-red pixels; false when ImageMagick is absent or fails. raw_rgb: the samples
// as stored, without the colour-space conversion that ImageMagick derives from a gamma.
inline bool MagickPixels(const std::string& path, int& w, int& h, Bytes& bgr, bool raw_rgb = false)
{
    if (!HaveTool("convert"))
        return false;
    int status = -1;
    const std::string out = CaptureCommand("convert '" + path +
                                               "[0]' " + (raw_rgb ? "-set colorspace sRGB " : "") + "-background white -alpha remove -alpha off -depth 8 ppm:- "
                                               "2>/dev/null",
                                           &status);
    return status == 0 && ParsePpm(ToBytes(out), w, h, bgr);
}

// Largest difference of one sample between two pictures of the same size.
inline int MaxDifference(const Bytes& a, const Bytes& b)
{
    int worst = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}
