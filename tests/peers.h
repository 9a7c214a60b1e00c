// Independent programs (ImageMagick, netpbm, Pillow) as peers of our readers and writers:
// pictures to feed them, their decodes as blue-green-red pixels, and picture distances.
// Every decode helper answers "not available" when its program is missing.
#pragma once

#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

// Writes blue-green-red pixels as a binary PPM (red, green, blue).
inline void WritePpmFile(const std::string& path, int w, int h, const Bytes& bgr)
{
    std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes out(head.begin(), head.end());
    for (std::size_t i = 0; i + 2 < bgr.size(); i += 3) {
        out.push_back(bgr[i + 2]);
        out.push_back(bgr[i + 1]);
        out.push_back(bgr[i]);
    }
    WriteBytes(path, out);
}

// A picture of eight colours in blocks, for formats with small palettes.
inline Bytes FewColourPixels(int w, int h)
{
    static const std::uint8_t kColours[8][3] = {{0, 0, 0},     {255, 255, 255}, {0, 0, 255},   {0, 200, 0},
                                                {200, 40, 10}, {30, 90, 160},   {128, 128, 0}, {7, 250, 99}};
    Bytes p;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto* c = kColours[(x / 3 + y * 5) % 8];
            p.insert(p.end(), c, c + 3);
        }
    return p;
}

// A grey picture (equal bytes per pixel).
inline Bytes GreyPixels(int w, int h)
{
    Bytes p;
    for (int i = 0; i < w * h; ++i) {
        const auto v = static_cast<std::uint8_t>(i * 29 + i / 5);
        p.insert(p.end(), {v, v, v});
    }
    return p;
}

// The Python interpreter that has Pillow, or "".
inline std::string PillowPython()
{
    static const std::string found = [] {
        for (const char* py : {"python3", "/usr/bin/python3"})
            if (RunCommand(std::string(py) + " -c 'import PIL' >/dev/null 2>&1") == 0)
                return std::string(py);
        return std::string();
    }();
    return found;
}

// Decodes a PPM that a command wrote; false when the command or the file failed.
inline bool ReadToolPpm(const std::string& command, const std::string& ppm, int& w, int& h, Bytes& bgr)
{
    if (RunCommand(command + " >/dev/null 2>&1") != 0)
        return false;
    return ParsePpm(ReadBytes(ppm), w, h, bgr);
}

// Pillow's decode of a file as blue-green-red pixels (alpha dropped, not composited).
inline bool PillowDecode(const std::string& path, const std::string& ppm, int& w, int& h, Bytes& bgr)
{
    const std::string py = PillowPython();
    return !py.empty() &&
           ReadToolPpm(py + " -c 'import sys; from PIL import Image; Image.open(sys.argv[1]).convert(\"RGB\")"
                            ".save(sys.argv[2], \"PPM\")' '" + path + "' '" + ppm + "'",
                       ppm, w, h, bgr);
}

// Expects the document to open path with the size and pixels Pillow decodes from it.
inline void ExpectOpensLikePillow(TIMAGE_INFO& doc, const std::string& path, const std::string& scratch_ppm)
{
    int w = 0, h = 0;
    Bytes want;
    ASSERT_TRUE(PillowDecode(path, scratch_ppm, w, h, want));
    ASSERT_EQ(doc.Open(path), kOk);
    EXPECT_EQ(doc.display_width, w);
    EXPECT_EQ(doc.display_height, h);
    EXPECT_TRUE(DisplayPixels(doc) == want);
}

// Shell command that turns IN into a binary PPM at OUT, by peer name:
// "im" (ImageMagick, first frame), "netpbm" (the given converter), "pillow"; "" when the
// peer is missing.
inline std::string PeerToPpmCommand(const std::string& peer, const std::string& in, const std::string& out,
                                    const std::string& netpbm_tool = "")
{
    if (peer == "im")
        return HaveTool("convert") ? "convert '" + in + "[0]' -depth 8 ppm:'" + out + "' 2>/dev/null" : "";
    if (peer == "netpbm")
        return HaveTool(netpbm_tool) ? netpbm_tool + " '" + in + "' 2>/dev/null | ppmtoppm 2>/dev/null > '" + out + "'"
                                     : "";
    if (peer == "pillow" && !PillowPython().empty())
        return PillowPython() + " -c \"from PIL import Image; im=Image.open('" + in +
               "'); im.seek(0); im.convert('RGB').save('" + out + "', 'PPM')\" 2>/dev/null";
    return "";
}

// Decodes a file with a peer into blue-green-red pixels. Returns false when the peer is
// missing (skip), and sets ok to whether the decode worked.
inline bool PeerDecode(const std::string& peer, const std::string& in, const std::string& scratch_ppm, int& w,
                       int& h, Bytes& bgr, bool& ok, const std::string& netpbm_tool = "")
{
    const std::string cmd = PeerToPpmCommand(peer, in, scratch_ppm, netpbm_tool);
    if (cmd.empty())
        return false;
    ok = RunCommand(cmd) == 0 && ParsePpm(ReadBytes(scratch_ppm), w, h, bgr);
    return true;
}

// ImageMagick's view of the first image of a file, alpha composited on white, as
// blue-green-red pixels; false when ImageMagick is absent or fails. raw_rgb: the samples
// as stored, without the colour-space conversion that ImageMagick derives from a gamma.
inline bool MagickPixels(const std::string& path, int& w, int& h, Bytes& bgr, bool raw_rgb = false)
{
    if (!HaveTool("convert"))
        return false;
    int status = -1;
    const std::string out = CaptureCommand("convert '" + path + "[0]' " + (raw_rgb ? "-set colorspace sRGB " : "") +
                                               "-background white -alpha remove -alpha off -depth 8 ppm:- 2>/dev/null",
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

// Peak signal-to-noise ratio in dB; 99 for equal pictures.
inline double Psnr(const Bytes& a, const Bytes& b)
{
    if (a.size() != b.size() || a.empty())
        return 0;
    double se = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        se += (a[i] - b[i]) * double(a[i] - b[i]);
    return se == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * static_cast<double>(a.size()) / se);
}
