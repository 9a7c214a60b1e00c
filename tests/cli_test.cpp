// ravelscope-cli: output lines, messages and exit status.
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <regex>

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
    EXPECT_TRUE(std::regex_match(
        out, std::regex(dir.File("a.ppm") + ": portable pixmap 2 x 3, bpp: 24, compression: None, 29 bytes, [0-9]+ ms\n")))
        << out;

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

// The library's diagnostic lines (colour reduction's stages here) reach stderr only with
// --verbose, which may stand anywhere on the line.
TEST(Cli, VerboseShowsDiagnostics)
{
    TempDir dir;
    WriteBytes(dir.File("in.ppm"), ToBytes("P6\n2 1\n255\n\x10\x20\x30\x40\x50\x60"));
    const std::string in = "'" + dir.File("in.ppm") + "' ";
    const std::string out = "'" + dir.File("out.gif") + "'";
    for (const std::string& args : {"convert " + in + out, "--verbose convert " + in + out,
                                     "convert " + in + out + " --verbose", "convert --verbose " + in + out}) {
        SCOPED_TRACE(args);
        int status = -1;
        const std::string said = Cli(args, &status, true);
        EXPECT_EQ(status, 0);
        const bool verbose = args.find("--verbose") != std::string::npos;
        EXPECT_EQ(said.find("Histogram done\n") != std::string::npos, verbose) << said;
        if (!verbose)
            EXPECT_EQ(said, "");
    }
}
