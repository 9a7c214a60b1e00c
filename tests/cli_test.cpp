// ravelscope-cli: output lines, messages and exit status.
#include "base/Byte_order.h"
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "tests/test_support.h"
#include "viewer/logic/Image_edits.h"
#include "viewer/logic/Undo_chain.h"

#include <gtest/gtest.h>

#include <cctype>

#include <algorithm>

#include <sys/stat.h>

namespace {

std::string Cli(const std::string& args, int* status, bool with_stderr = false)
{
    return CaptureCommand(std::string(RAVELSCOPE_CLI) + " " + args + (with_stderr ? " 2>&1" : " 2>/dev/null"),
                          status);
}

// A path in single quotes for the shell. (Built by appending: GCC 12 misreports
// `"'" + path + "'"` at -O3 as an overlapping copy.)
std::string Quoted(const std::string& path)
{
    std::string q(1, '\'');
    q += path;
    q += '\'';
    return q;
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
    for (const char* args : {"", "frobnicate x", "info", "convert a.ppm", "convert a.ppm b.xyz", "convert --nope a b",
                             "convert a b c", "convert a.ppm -o d", "convert a.ppm -o d --to xyz",
                             "convert a.ppm b.ppm --to png", "convert a.ppm -o d --to png -j 0", "convert a -o",
                             "info --mirror a.ppm", "histogram a.ppm -o d", "bench", "bench d e",
                             "bench d --count 0", "bench d --count", "info a.ppm --csv x.csv"}) {
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
        if (!verbose) {
            EXPECT_EQ(said, "");
        }
    }
}

TEST(Cli, HelpAndVersionExitWithZero)
{
    for (const char* args : {"--help", "-h", "convert --help", "info a b -h"}) {
        SCOPED_TRACE(args);
        int status = -1;
        const std::string out = Cli(args, &status);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(out.starts_with("usage: ravelscope-cli")) << out;
    }
    int status = -1;
    const std::string out = Cli("--version", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "ravelscope-cli 1.07\n");
}

TEST(Cli, OptionsMayFollowTheFileNames)
{
    TempDir dir;
    WriteBytes(dir.File("in.ppm"), ToBytes("P6\n2 1\n255\n\x01\x02\x03\x04\x05\x06"));
    int status = -1;
    for (const char* order : {"--mirror --verbose IN OUT", "IN OUT --mirror", "IN --mirror OUT", "--mirror -- IN OUT"}) {
        SCOPED_TRACE(order);
        std::string args = std::string("convert ") + order;
        args.replace(args.find("IN"), 2, Quoted(dir.File("in.ppm")));
        args.replace(args.find("OUT"), 3, Quoted(dir.File("out.ppm")));
        std::remove(dir.File("out.ppm").c_str());
        Cli(args, &status);
        EXPECT_EQ(status, 0);
        int w = 0, h = 0;
        Bytes px;
        ASSERT_TRUE(ParsePpm(ReadBytes(dir.File("out.ppm")), w, h, px));
        EXPECT_EQ(px, (Bytes{6, 5, 4, 3, 2, 1})) << "mirrored";
    }
}

TEST(Cli, FailedSavesNameTheSystemsReason)
{
    TempDir dir;
    WriteBytes(dir.File("in.ppm"), ToBytes("P6\n1 1\n255\nabc"));
    mkdir(dir.File("taken.ppm").c_str(), 0755);
    const std::pair<std::string, std::string> cases[] = {
        {dir.File("taken.ppm"), "Open File Error. (Is a directory)"},
        {dir.File("gone/x.ppm"), "Open File Error. (No such file or directory)"},
    };
    for (const auto& [out, reason] : cases) {
        int status = -1;
        const std::string err = Cli("convert '" + dir.File("in.ppm") + "' '" + out + "'", &status, true);
        EXPECT_EQ(status, 1);
        EXPECT_EQ(err, out + ": " + reason + "\n");
    }
}

// Every command that shows a failed open says why, after the result's text.
TEST(Cli, FailedOpensNameTheReason)
{
    TempDir dir;
    WriteBytes(dir.File("x.psd"), ToBytes(std::string("8BPS\0\1", 6) + std::string(20, '\0')));
    WriteBytes(dir.File("cut.tga"), Bytes(10, 0));
    mkdir(dir.File("bench").c_str(), 0755);
    WriteBytes(dir.File("bench/b.pgm"), ToBytes("nonsense"));
    const std::pair<std::string, std::string> cases[] = {
        {"info " + Quoted(dir.File("x.psd")), dir.File("x.psd") + ": Data Error. (Photoshop is not a format Ravelscope reads)"},
        {"convert " + Quoted(dir.File("cut.tga")) + " " + Quoted(dir.File("out.png")),
         dir.File("cut.tga") + ": Data Error. (the file ends inside its header)"},
        {"bench " + Quoted(dir.File("bench")), dir.File("bench/b.pgm") + ": Magic Error (no P2 or P5 signature)"},
    };
    for (const auto& [args, line] : cases) {
        SCOPED_TRACE(args);
        int status = -1;
        const std::string err = CaptureCommand(std::string(RAVELSCOPE_CLI) + " " + args + " 2>&1 >/dev/null", &status);
        EXPECT_EQ(status, 1);
        EXPECT_NE(err.find(line + "\n"), std::string::npos) << err;
    }
}

TEST(Cli, ConvertsManyFilesIntoADirectory)
{
    TempDir dir;
    mkdir(dir.File("in").c_str(), 0755);
    mkdir(dir.File("in/sub").c_str(), 0755);
    std::string inputs;
    for (int i = 0; i < 12; ++i) {
        const int w = 5 + i, h = 3 + i % 4;
        const std::string name = dir.File("in/p" + std::to_string(i) + (i % 2 ? ".ppm" : ".pgm"));
        const Bytes px = PatternPixels(w, h);
        std::string head = (i % 2 ? "P6\n" : "P5\n") + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        Bytes file(head.begin(), head.end());
        file.insert(file.end(), px.begin(), px.begin() + static_cast<std::ptrdiff_t>(px.size() / (i % 2 ? 1 : 3)));
        WriteBytes(name, file);
        inputs += " '" + name + "'";
    }
    WriteBytes(dir.File("in/broken.ppm"), ToBytes("P6\n9 9\n"));
    WriteBytes(dir.File("in/sub/p3.ppm"), ToBytes("P6\n1 1\n255\nabc"));
    inputs += " '" + dir.File("in/broken.ppm") + "' '" + dir.File("in/sub/p3.ppm") + "'";

    // One thread and four give the same files: the documents of the threads share nothing.
    for (const char* jobs : {"1", "4"}) {
        SCOPED_TRACE(jobs);
        const std::string out = dir.File(std::string("out") + jobs);
        int status = -1;
        const std::string summary =
            Cli("convert --negative" + inputs + " -o '" + out + "' --to png -j " + jobs, &status);
        EXPECT_EQ(status, 1) << "two inputs failed";
        EXPECT_EQ(summary, "12 converted, 2 failed\n");
        const std::string err = Cli("convert" + inputs + " -o '" + out + "' --to png -j" + jobs, &status, true);
        EXPECT_NE(err.find(dir.File("in/broken.ppm") + ": "), std::string::npos) << err;
        EXPECT_NE(err.find(dir.File("in/sub/p3.ppm") + " skipped"), std::string::npos) << "same output name: " << err;
        EXPECT_EQ(err.find('\r'), std::string::npos) << "no progress line off a terminal";
    }
    for (int i = 0; i < 12; ++i) {
        std::string name = "p";
        name += std::to_string(i);
        name += ".png";
        SCOPED_TRACE(name);
        const Bytes one = ReadBytes(dir.File("out1/" + name));
        EXPECT_FALSE(one.empty());
        EXPECT_EQ(one, ReadBytes(dir.File("out4/" + name)));
    }
    int status = -1;
    Cli("convert '" + dir.File("in/p1.ppm") + "' -o '" + dir.File("in/p0.pgm") + "' --to png", &status);
    EXPECT_EQ(status, 1) << "the output directory is a file";
}

TEST(Cli, BenchRunsTheDecodeTimingRunOverADirectory)
{
    TempDir dir;
    WriteBytes(dir.File("a.ppm"), ToBytes("P6\n2 3\n255\n" + std::string(18, 'z')));
    WriteBytes(dir.File("b.pgm"), ToBytes("P5\n4 1\n255\nzzzz"));
    int status = -1;
    const std::string out = Cli("bench '" + dir.path() + "' --count 3 --csv '" + dir.File("s.csv") + "'", &status);
    EXPECT_EQ(status, 0);
    // Times vary: every run of digits reads as "#".
    std::string shape;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(out[i])) == 0) {
            shape += out[i];
            continue;
        }
        shape += '#';
        while (i + 1 < out.size() && std::isdigit(static_cast<unsigned char>(out[i + 1])) != 0)
            ++i;
    }
    const std::string runs = "Decoding file: a.ppm\nindex: # -- time_load: # -- avg: #\n"
                             "Decoding file: b.pgm\nindex: # -- time_load: # -- avg: #\n"
                             "Decoding file: a.ppm\nindex: # -- time_load: # -- avg: #\n"
                             "# loads of # files\n";
    EXPECT_TRUE(shape.starts_with(runs)) << out;
    EXPECT_NE(out.find("\nportable greymap: 1 files, 1 loads, "), std::string::npos) << out;
    EXPECT_NE(out.find("\nportable pixmap: 1 files, 2 loads, "), std::string::npos) << out;
    EXPECT_NE(out.find("3 loads of 2 files\n"), std::string::npos) << out;
    const Bytes csv = ReadBytes(dir.File("s.csv"));
    EXPECT_EQ(std::string(csv.begin(), csv.end()).rfind("format,files,loads,mean_ms,median_ms,megapixels_per_s\n"
                                                        "portable greymap,1,1,", 0),
              0u);

    // A broken file ends the run after its line, named on stderr.
    WriteBytes(dir.File("b.pgm"), ToBytes("nonsense"));
    const std::string failed = Cli("bench '" + dir.path() + "'", &status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(failed.find("Decoding file: b.pgm\n"), std::string::npos) << failed;
    EXPECT_NE(failed.find(dir.File("b.pgm") + ": "), std::string::npos) << failed;
    EXPECT_EQ(failed.find("index: 2"), std::string::npos) << failed;
}

TEST(Cli, InfoOnMediaFiles)
{
    TempDir dir;
    // 400 frames of MPEG 1 layer 3 at 128 kbit/s, 44100 Hz, joint stereo (10.4 s), then an
    // ID3v1 tag with a Latin-1 title, track 3 and genre 17.
    Bytes song;
    for (int i = 0; i < 400; ++i) {
        const std::uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x44};
        song.insert(song.end(), header, header + 4);
        song.resize(song.size() + 413);
    }
    Bytes tag(128, 0);
    const std::string fields = "TAG<b>Caf\xE9</b>";
    std::copy(fields.begin(), fields.end(), tag.begin());
    tag[126] = 3;
    tag[127] = 17;
    song.insert(song.end(), tag.begin(), tag.end());
    WriteBytes(dir.File("song.mp3"), song);
    WriteBytes(dir.File("clip.wav"), Bytes(1234, 0));

    int status = -1;
    const std::string out = Cli("info '" + dir.File("clip.wav") + "' '" + dir.File("song.mp3") + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, dir.File("clip.wav") + ": audio media file, 1234 bytes\n" + dir.File("song.mp3") +
                       ": MPEG audio media file, 166928 bytes\n"
                       "  MPEG 1 layer 3, 128 kbit/s, 44100 Hz, joint stereo, 400 frames, 0:10 (10 s)\n"
                       "  title \"<b>Caf\xC3\xA9</b>\", artist \"\", album \"\", year \"\", comment \"\", track 3, "
                       "genre 17 (Rock)\n");

    // Missing media files, and a FIFO that would block a plain read, fail without a hang.
    ASSERT_EQ(mkfifo(dir.File("fifo.mp3").c_str(), 0600), 0);
    for (const char* name : {"missing.mp3", "missing.wav", "fifo.mp3"}) {
        const std::string err = Cli("info '" + dir.File(name) + "'", &status, true);
        EXPECT_EQ(status, 1) << name;
        EXPECT_NE(err.find(dir.File(name) + ": "), std::string::npos) << err;
    }
}

// Options in getopt_long's forms: "--x=v", a short option's value joined to it, and
// operations between the file names.
TEST(Cli, OptionsTakeTheirValuesInEveryForm)
{
    TempDir dir;
    WriteBytes(dir.File("a.ppm"), ToBytes("P6\n2 1\n255\n\x01\x02\x03\x04\x05\x06"));
    int status = -1;
    const std::string a = Quoted(dir.File("a.ppm"));
    Cli("convert --swap=BGR " + a + " --mirror -o" + Quoted(dir.File("o")) + " -j1 --to=ppm", &status);
    ASSERT_EQ(status, 0);
    int w = 0, h = 0;
    Bytes px;
    ASSERT_TRUE(ParsePpm(ReadBytes(dir.File("o/a.ppm")), w, h, px));
    EXPECT_EQ(px, (Bytes{4, 5, 6, 1, 2, 3})) << "channels swapped, then mirrored";
    Cli("convert --rotate=-90 " + a + " --output=" + Quoted(dir.File("o")) + " --jobs=2 --to .pgm", &status);
    EXPECT_EQ(status, 0);
    const Bytes pgm = ReadBytes(dir.File("o/a.pgm"));
    EXPECT_NE(std::string(pgm.begin(), pgm.end()).find("\n1 2\n"), std::string::npos) << "turned on its side";
    Cli("convert --gamma= " + a + " " + Quoted(dir.File("b.ppm")), &status);
    EXPECT_EQ(status, 1) << "an empty value is a failed operation";
}

// Each operation is the viewer's command of the same name: the same picture comes out.
TEST(Cli, OperationsMakeWhatTheViewersCommandsMake)
{
    TempDir dir;
    const int w = 7, h = 5;
    const Bytes px = PatternPixels(w, h);
    Bytes file = ToBytes("P6\n7 5\n255\n");
    for (std::size_t i = 0; i < px.size(); i += 3)
        file.insert(file.end(), {px[i + 2], px[i + 1], px[i]});
    WriteBytes(dir.File("in.ppm"), file);
    const std::pair<const char*, ImageCommand> cases[] = {
        {"--mirror", ImageCommand::kMirror},         {"--flip", ImageCommand::kVerticalFlip},
        {"--rotate-left", ImageCommand::kRotateLeft}, {"--rotate-right", ImageCommand::kRotateRight},
        {"--negative", ImageCommand::kNegative},     {"--grayscale", ImageCommand::kGrayScale},
        {"--swap GRB", ImageCommand::kSwapGRB},      {"--equalize", ImageCommand::kHistogramEqualization},
        {"--edge", ImageCommand::kEdgeDetection},    {"--reduce-colors", ImageCommand::kReduceColors},
    };
    for (const auto& [op, cmd] : cases) {
        SCOPED_TRACE(op);
        int status = -1;
        Cli(std::string("convert ") + op + " " + Quoted(dir.File("in.ppm")) + " " + Quoted(dir.File("out.ppm")),
            &status);
        ASSERT_EQ(status, 0);
        int ow = 0, oh = 0;
        Bytes out;
        ASSERT_TRUE(ParsePpm(ReadBytes(dir.File("out.ppm")), ow, oh, out));
        TIMAGE_INFO doc;
        LoadPicture(doc, w, h, px);
        UNDO_CHAIN chain;
        ASSERT_EQ(chain.ResetChain(doc), kOk);
        ASSERT_EQ(RunImageCommand(doc, chain, cmd, nullptr), kOk);
        EXPECT_EQ(out, DisplayPixels(doc));
    }
}

// A picture the document refuses (more than 4096 pixels both ways) converts as a stream.
TEST(Cli, APictureTooLargeForTheDocumentConvertsAsAStream)
{
    TempDir dir;
    const int side = 4097;
    Bytes pgm = ToBytes("P5\n4097 4097\n255\n");
    pgm.resize(pgm.size() + static_cast<std::size_t>(side) * side, 0x80);
    WriteBytes(dir.File("big.pgm"), pgm);
    int status = -1;
    const std::string err = Cli("info " + Quoted(dir.File("big.pgm")), &status, true);
    EXPECT_NE(err.find("Image Too Large."), std::string::npos) << err;
    Cli("convert " + Quoted(dir.File("big.pgm")) + " " + Quoted(dir.File("big.png")), &status);
    ASSERT_EQ(status, 0);
    const Bytes png = ReadBytes(dir.File("big.png"));
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(LoadDword(kBigEndian, png.data() + 16), 4097u);
    EXPECT_EQ(LoadDword(kBigEndian, png.data() + 20), 4097u);
    if (HaveTool("pngcheck")) {
        EXPECT_EQ(RunCommand("pngcheck -q " + Quoted(dir.File("big.png")) + " >/dev/null"), 0);
    }
}
