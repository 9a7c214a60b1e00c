// ravelscope-cli: output lines, messages and exit status.
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::string Cli(const std::string& args, int* status, bool with_stderr = false)
{
    return CaptureCommand(std::string(RAVELSCOPE_CLI) + " " + args + (with_stderr ? " 2>&1" : " 2>/dev/null"),
                          status);
}

} // namespace

TEST(Cli, InfoPrintsOneLinePerFile)
{
    TempDir dir;
    WriteBytes(dir.File("a.ppm"), ToBytes("P6\n2 3\n255\n" + std::string(18, 'z')));
    WriteBytes(dir.File("b.pgm"), ToBytes("nonsense"));
    int status = -1;
    const std::string out = Cli("info '" + dir.File("a.ppm") + "'", &status);
    EXPECT_EQ(status, 0);
    const std::string head = dir.File("a.ppm") + ": portable pixmap 2 x 3, bpp: 24, compression: None, 29 bytes, ";
    const std::string ms = out.starts_with(head) && out.ends_with(" ms\n") && out.size() > head.size() + 4
                               ? out.substr(head.size(), out.size() - head.size() - 4)
                               : std::string();
    EXPECT_TRUE(!ms.empty() && ms.find_first_not_of("0123456789") == std::string::npos) << out;

    const std::string both = Cli("info '" + dir.File("a.ppm") + "' '" + dir.File("b.pgm") + "'", &status);
    EXPECT_EQ(status, 1) << "one file failed";
    EXPECT_EQ(std::count(both.begin(), both.end(), '\n'), 1) << "failures go to stderr: " << both;
    const std::string err = Cli("info '" + dir.File("b.pgm") + "'", &status, true);
    EXPECT_NE(err.find(dir.File("b.pgm") + ": Magic Error"), std::string::npos) << err;
}

TEST(Cli, ConvertPicksTheWriterByExtension)
{
    TempDir dir;
    WriteBytes(dir.File("in.ppm"), ToBytes("P6\n1 1\n255\n\x10\x20\x30"));
    int status = -1;
    Cli("convert '" + dir.File("in.ppm") + "' '" + dir.File("OUT.TGA") + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadBytes(dir.File("OUT.TGA")).size(), 18u + 3u);

    Cli("convert '" + dir.File("missing.ppm") + "' '" + dir.File("x.pgm") + "'", &status);
    EXPECT_EQ(status, 1);
}

TEST(Cli, BadUsageExitsWithTwo)
{
    for (const char* args : {"", "frobnicate x", "info", "convert a.ppm", "convert a.ppm b.xyz", "convert --nope a b"}) {
        SCOPED_TRACE(args);
        int status = -1;
        const std::string out = Cli(args, &status);
        EXPECT_EQ(status, 2);
        EXPECT_TRUE(out.empty()) << "usage goes to stderr";
    }
}
