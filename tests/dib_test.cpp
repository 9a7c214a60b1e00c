// The bitmap type: padded rows, depth conversions, resizing, BMP output.
#include "base/Byte_order.h"
#include "base/Result_codes.h"
#include "platform/Dib.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Dib, RowsArePaddedToFourBytes)
{
    struct Case {
        int w, bpp;
        std::size_t stride;
    } cases[] = {{1, 24, 4}, {3, 24, 12}, {5, 24, 16}, {5, 8, 8}, {5, 32, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " pixels at " + std::to_string(c.bpp));
        Dib d;
        ASSERT_EQ(d.SetSize(c.w, 2, c.bpp), kOk);
        EXPECT_EQ(d.Stride(), c.stride);
        EXPECT_EQ(d.ScanLine(1) - d.ScanLine(0), static_cast<std::ptrdiff_t>(c.stride));
    }
}

TEST(Dib, ConvertsBetweenDepthsKeepingPixels)
{
    Dib d;
    ASSERT_EQ(d.SetSize(3, 1, 24), kOk);
    const Bytes px{10, 20, 30, 40, 50, 60, 70, 80, 90};
    std::copy(px.begin(), px.end(), d.ScanLine(0));
    ASSERT_EQ(d.SetPixelFormat(32), kOk);
    EXPECT_EQ(Bytes(d.ScanLine(0), d.ScanLine(0) + 12), (Bytes{10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0}));
    ASSERT_EQ(d.SetPixelFormat(24), kOk);
    EXPECT_EQ(Bytes(d.ScanLine(0), d.ScanLine(0) + 9), px);
    ASSERT_EQ(d.SetPixelFormat(8), kOk);
    ASSERT_EQ(d.SetPixelFormat(24), kOk);
    EXPECT_EQ(d.ScanLine(0)[0], d.ScanLine(0)[2]) << "8 bits hold grey levels";
    EXPECT_EQ(d.SetPixelFormat(16), kBitDepthNotSupported);
}

TEST(Dib, ResizingKeepsTheOverlapAndBlackensTheRest)
{
    Dib d;
    ASSERT_EQ(d.SetSize(2, 2, 24), kOk);
    std::fill(d.Bits(), d.Bits() + d.Stride() * 2, 0xAB);
    ASSERT_EQ(d.SetWidth(3), kOk);
    ASSERT_EQ(d.SetHeight(3), kOk);
    EXPECT_EQ(d.ScanLine(1)[5], 0xAB);
    EXPECT_EQ(d.ScanLine(1)[6], 0) << "new column";
    EXPECT_EQ(d.ScanLine(2)[0], 0) << "new row";
    EXPECT_EQ(d.SetSize(100000, 100000, 24), kImageTooLarge);
}

TEST(Dib, SavesABottomUpBmp)
{
    TempDir dir;
    Dib d;
    ASSERT_EQ(d.SetSize(3, 2, 24), kOk);
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 9; ++i)
            d.ScanLine(y)[i] = static_cast<std::uint8_t>(y * 100 + i);
    ASSERT_EQ(d.SaveToFile(dir.File("a.bmp")), kOk);
    const Bytes f = ReadBytes(dir.File("a.bmp"));
    ASSERT_EQ(f.size(), 54u + 2u * 12u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(LoadDword(kLittleEndian, &f[2]), f.size());
    EXPECT_EQ(LoadDword(kLittleEndian, &f[10]), 54u);
    EXPECT_EQ(LoadWord(kLittleEndian, &f[28]), 24);
    EXPECT_EQ(f[54], 100) << "the bottom row comes first";
    EXPECT_EQ(f[54 + 12], 0);
    EXPECT_EQ(d.SaveToFile("/nonexistent-dir/a.bmp"), kOpenFileError);
}

// A bitmap sized again for a new picture reuses its memory; the padding bytes, which no
// row writer fills and a BMP save writes, must not show the old picture.
TEST(Dib, ASizedAgainBitmapHasCleanPadding)
{
    Dib d;
    ASSERT_EQ(d.SetSize(4, 3, 24), kOk);
    std::memset(d.Bits(), 0xEE, d.Stride() * 3);
    ASSERT_EQ(d.SetSize(3, 4, 24), kOk); // 9 picture bytes, 3 of padding a row
    for (int y = 0; y < 4; ++y) {
        std::memset(d.ScanLine(y), 0x11, 9);
        EXPECT_EQ(Bytes(d.ScanLine(y) + 9, d.ScanLine(y) + 12), (Bytes{0, 0, 0})) << "row " << y;
    }
}
