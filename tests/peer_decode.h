// Decoding and writing files with independent programs (ImageMagick, netpbm, Pillow) for
// the comparison tests; every helper answers "not available" when its tool is missing.
#pragma once

#include "core/Result_codes.h"
#include "tests/test_support.h"

#include <string>

// A Python interpreter that has Pillow, or "".
inline std::string PillowPython()
{
    static const std::string python = [] {
        for (const char* p : {"python3", "/usr/bin/python3"})
            if (RunCommand(std::string(p) + " -c 'import PIL' >/dev/null 2>&1") == 0)
                return std::string(p);
        return std::string();
    }();
    return python;
}

// Shell command that turns IN into a binary PPM at OUT, by peer name:
// "im" (ImageMagick, first frame), "netpbm" (the given converter), "pillow".
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

// Writes a blue-green-red picture as a binary PPM.
inline void WritePpmFile(const std::string& path, int w, int h, const Bytes& bgr)
{
    std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes out(head.begin(), head.end());
    for (std::size_t i = 0; i < bgr.size(); i += 3) {
        out.push_back(bgr[i + 2]);
        out.push_back(bgr[i + 1]);
        out.push_back(bgr[i]);
    }
    WriteBytes(path, out);
}
