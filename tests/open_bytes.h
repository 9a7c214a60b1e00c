// Opening hand-made files through the document: what the tests of the readers share.
#pragma once

#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <string>

struct OPENED {
    int rc = kUnknownError;
    int width = 0, height = 0, bpp = 0;
    Bytes bgr; // the display bitmap's pixels, rows top to bottom
};

// Opens a file through a fresh document.
inline OPENED OpenFile(const std::string& path)
{
    TIMAGE_INFO doc;
    OPENED o;
    o.rc = doc.Open(path);
    if (o.rc == kOk) {
        o.width = doc.display_width;
        o.height = doc.display_height;
        o.bpp = doc.bits_per_pixel;
        o.bgr = DisplayPixels(doc);
    }
    return o;
}

// Writes the bytes to dir/name and opens them through the open dispatcher.
inline OPENED OpenBytes(const TempDir& dir, const std::string& name, const Bytes& bytes)
{
    const std::string path = dir.File(name);
    WriteBytes(path, bytes);
    return OpenFile(path);
}

// Blue-green-red bytes of one pixel.
inline Bytes Px(int r, int g, int b)
{
    return {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r)};
}
inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Converts a picture file with a shell command to a binary PPM and reads it; false when the
// tool failed.
inline bool ToolDecode(const std::string& command, int& w, int& h, Bytes& bgr)
{
    int status = 0;
    const std::string out = CaptureCommand(command, &status);
    return status == 0 && ParsePpm(Bytes(out.begin(), out.end()), w, h, bgr);
}

// Writes path with a peer's command (its standard output), then expects the file to open
// with the pixels of the binary PPM at picture.
inline void ExpectPeerFileOpensAs(const std::string& command, const std::string& path, const std::string& picture)
{
    ASSERT_EQ(RunCommand(command + " > " + path + " 2>/dev/null"), 0);
    int w = 0, h = 0;
    Bytes want;
    ASSERT_TRUE(ParsePpm(ReadBytes(picture), w, h, want));
    const OPENED o = OpenFile(path);
    ASSERT_EQ(o.rc, kOk);
    EXPECT_EQ(o.bgr, want);
}

// Expects a corpus file to open with the pixels a peer's decode (a command printing a
// binary PPM) gives.
inline void ExpectOpensLikePeer(const std::string& path, const std::string& peer_command)
{
    const OPENED o = OpenFile(path);
    ASSERT_EQ(o.rc, kOk);
    int w = 0, h = 0;
    Bytes want;
    ASSERT_TRUE(ToolDecode(peer_command, w, h, want));
    EXPECT_EQ(o.bgr, want);
}
