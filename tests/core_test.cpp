// Result codes, byte-order helpers, buffers sized to the picture, the diagnostic sink and
// the picture target of the decoder context.
#include "base/Byte_order.h"
#include "dec_enc/Codec_ctx.h"
#include "base/Diagnostics.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>
#include <vector>

TEST(ResultCodes, EveryCodeHasItsText)
{
    EXPECT_STREQ(ResultText(kOpenFileError), "Open File Error.");
    EXPECT_STREQ(ResultText(kMagicError), "Magic Error");
    EXPECT_STREQ(ResultText(kDataError), "Data Error.");
    EXPECT_STREQ(ResultText(kMemoryError), "Memory Error.");
    EXPECT_STREQ(ResultText(kFormatNotSupported), "Format Not Support.");
    EXPECT_STREQ(ResultText(kCompressionNotSupported), "Compression Not Support.");
    EXPECT_STREQ(ResultText(kImageTooLarge), "Image Too Large.");
    EXPECT_STREQ(ResultText(kBitDepthNotSupported), "Bit Depth Not Support.");
    EXPECT_STREQ(ResultText(kUnknownError), "Unknown Error.");
    EXPECT_STREQ(ResultText(-42), "");
}

TEST(ByteOrder, StreamsInBothOrders)
{
    TempDir dir;
    const std::string path = dir.File("words.bin");
    {
        FilePtr out = OpenForWrite(path);
        WriteDword(kLittleEndian, 987654321u, out.get());
        WriteWord(kBigEndian, 0x1234, out.get());
        WriteDword(kBigEndian, 0xA1B2C3D4u, out.get());
    }
    EXPECT_EQ(ReadBytes(path), (Bytes{0xB1, 0x68, 0xDE, 0x3A, 0x12, 0x34, 0xA1, 0xB2, 0xC3, 0xD4}));

    FilePtr in = OpenForRead(path);
    EXPECT_EQ(ReadDword(kLittleEndian, in.get()), 987654321u);
    EXPECT_EQ(ReadWord(kBigEndian, in.get()), 0x1234);
    std::fseek(in.get(), 4, SEEK_SET);
    EXPECT_EQ(ReadWord(kLittleEndian, in.get()), 0x3412);
    EXPECT_EQ(ReadDword(kBigEndian, in.get()), 0xA1B2C3D4u);
    // Past the end every missing byte reads as 0xFF.
    EXPECT_EQ(ReadWord(kBigEndian, in.get()), 0xFFFF);
    EXPECT_EQ(ReadDword(kBigEndian, in.get()), 0xFFFFFFFFu);
}

TEST(ByteCursor, NeverRunsPastTheEnd)
{
    const Bytes data{1, 2, 3};
    ByteCursor c(data);
    EXPECT_EQ(c.Word(kBigEndian), 0x0102);
    EXPECT_EQ(c.Word(kBigEndian), 0x03FF);
    EXPECT_EQ(c.Get(), -1);
    EXPECT_TRUE(c.Take(10).empty());
    EXPECT_FALSE(c.Seek(4));
    EXPECT_TRUE(c.AtEnd());
}

TEST(ClaimFits, HoldsAClaimAgainstTheBytesThere)
{
    using namespace expansion;
    struct Case {
        std::uint64_t claimed, available;
        Expansion e;
        std::uint64_t always_fits;
        bool fits;
    } cases[] = {
        {0, 0, kWhole, 0, true},
        {1, 0, kWhole, 0, false},
        {80, 10, kStoredEighth, 0, true},
        {81, 10, kStoredEighth, 0, false},
        // Dividing rounds the claim down: up to ratio - 1 bytes more pass.
        {87, 10, kStoredEighthDiv, 0, true},
        {88, 10, kStoredEighthDiv, 0, false},
        {7, 0, kStoredEighthDiv, 0, true},
        // A fractional ratio: 63 bytes for every 2.
        {63, 2, kPcxRuns, 0, true},
        {64, 2, kPcxRuns, 0, false},
        {31, 1, kPcxRuns, 0, true},
        {32, 1, kPcxRuns, 0, false},
        // Small claims pass whatever the file holds.
        {65536, 0, kStoredHalf, 65536, true},
        {65537, 0, kStoredHalf, 65536, false},
        // No overflow at the edges of the range.
        {UINT64_MAX, UINT64_MAX, kPcxRuns, 0, true},
        {UINT64_MAX, UINT64_MAX / 65536, kUtahRuns, 0, true},
        {UINT64_MAX, UINT64_MAX / 65536 - 1, kUtahRuns, 0, false},
        {UINT64_MAX, 1u << 30, kTiffCoded, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.claimed << " in " << c.available << " at " << c.e.num << "/" << c.e.den);
        EXPECT_EQ(ClaimFits(c.claimed, c.available, c.e, c.always_fits), c.fits);
    }
}

TEST(PictureBuffers, SizedToThePictureAndCapped)
{
    CODEC_CTX ctx;
    EXPECT_EQ(ctx.decoded.capacity(), 0u) << "nothing is allocated up front";
    // A long thin picture that the old fixed buffers could not hold.
    ASSERT_EQ(ctx.ReserveDecoded(20000, 4000), kOk);
    EXPECT_GE(ctx.decoded.size(), 20000u * 4000u * 3u);
    const std::size_t cap = ctx.decoded.capacity();
    ASSERT_EQ(ctx.ReserveDecoded(16, 16), kOk);
    EXPECT_EQ(ctx.decoded.capacity(), cap) << "capacity is kept";

    struct Case {
        std::int64_t w, h;
        int want;
    } cases[] = {{0, 10, kDataError},       {10, -1, kDataError},       {20000, 20000, kImageTooLarge},
                 {1 << 30, 1 << 30, kImageTooLarge}, {INT64_MAX, 2, kImageTooLarge}, {18918, 18918, kOk}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
        CODEC_CTX fresh;
        EXPECT_EQ(fresh.ReserveDecoded(c.w, c.h), c.want);
        if (c.want != kOk) {
            EXPECT_EQ(fresh.decoded.capacity(), 0u) << "refused before allocating";
        }
    }
}

TEST(PictureBuffers, ResizeKeepsContent)
{
    PixelBuffer b;
    ASSERT_EQ(b.Reserve(10), kOk);
    for (int i = 0; i < 10; ++i)
        b.data()[i] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(b.Resize(5 << 20), kOk);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(b.data()[i], i);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.data()) % (2u << 20), 0u) << "large blocks are 2 MiB aligned";
}

namespace {

std::vector<std::string> g_lines;

} // namespace

TEST(Diagnostics, LinesReachOnlyAnInstalledSink)
{
    g_lines.clear();
    Diagnose("before %d", 1);
    SetDiagnosticSink([](const char* line) { g_lines.emplace_back(line); });
    Diagnose("got a '%s' extension\n", "Plain Text");
    Diagnose("%s", std::string(2000, 'x').c_str());
    SetDiagnosticSink(nullptr);
    Diagnose("after");
    EXPECT_EQ(g_lines, (std::vector<std::string> {"got a 'Plain Text' extension", std::string(1023, 'x')}));
}

// A reader given a direct target draws it and says so; without one it fills the decoded
// pixel buffer. A reader that loads a whole bitmap (BMP) hands that bitmap back instead.
TEST(CodecContext, ReadersFillTheTargetTheCallerGives)
{
    TempDir dir;
    const Bytes bgr {3, 2, 1, 6, 5, 4};
    WriteBytes(dir.File("a.ppm"), ToBytes("P6\n2 1\n255\n\x01\x02\x03\x04\x05\x06"));
    Dib source;
    ASSERT_EQ(source.SetSize(2, 1, 24), kOk);
    std::copy(bgr.begin(), bgr.end(), source.ScanLine(0));
    ASSERT_EQ(source.SaveToFile(dir.File("a.bmp")), kOk);
    auto row = [](const std::uint8_t* p) { return Bytes(p, p + 6); };

    const std::pair<const char*, ReaderFn> readers[] = {{"a.ppm", ReadPpm}, {"a.bmp", ReadBmp}};
    for (auto [file, reader] : readers) {
        SCOPED_TRACE(file);
        CODEC_CTX ctx;
        ctx.input_file_name = dir.File(file);
        ASSERT_EQ(reader(ctx), kOk);
        EXPECT_FALSE(ctx.drew_direct);
        EXPECT_EQ(row(ctx.DecodedRow(0)), bgr);

        Dib target;
        ctx.direct_target = &target;
        ASSERT_EQ(reader(ctx), kOk);
        EXPECT_TRUE(ctx.drew_direct);
        const Dib* drawn = ctx.handed_back ? ctx.handed_back.get() : &target;
        EXPECT_EQ(ctx.handed_back != nullptr, std::string(file) == "a.bmp");
        ASSERT_EQ(drawn->Width(), 2);
        EXPECT_EQ(row(drawn->ScanLine(0)), bgr);
    }
}

// The one whole-file text read and the one atomic text replace.
TEST(TextFiles, ReadWholeAndReplaceAtomically)
{
    TempDir dir;
    const std::string path = dir.File("notes.txt");
    std::string text = "stale";
    EXPECT_EQ(ReadTextFile(path, text), kOpenFileError);
    EXPECT_EQ(text, "");
    ASSERT_EQ(ReplaceTextFile(path, std::string("a\0b\r\n", 5)), kOk);
    ASSERT_EQ(ReadTextFile(path, text), kOk);
    EXPECT_EQ(text, std::string("a\0b\r\n", 5));
    EXPECT_EQ(ReadTextFile(path, text, 4), kImageTooLarge) << "over the caller's limit";
    EXPECT_EQ(text, "");
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadTextFile(dir.File("fifo"), text), kOpenFileError) << "refused, never waited on";
    EXPECT_EQ(ReadTextFile(dir.path(), text), kOpenFileError);

    int reason = 0;
    EXPECT_EQ(ReplaceTextFile(dir.File("no/such/dir.txt"), "x", &reason), kOpenFileError);
    EXPECT_EQ(reason, ENOENT);
}

// A mapped file reads as the file; giving back passed pages changes nothing that is read
// again; a file cut short by another program reads as zeros past its new end instead of
// ending the process with a bus error.
TEST(MappedFile, ReadsTheFileAndSurvivesItsTruncation)
{
    TempDir dir;
    const std::size_t size = std::size_t{3} << 20;
    Bytes content(size);
    for (std::size_t i = 0; i < size; ++i)
        content[i] = static_cast<std::uint8_t>(i * 7 + 1);
    WriteBytes(dir.File("f"), content);
    MappedFile m;
    ASSERT_EQ(m.Map(dir.File("f")), kOk);
    ASSERT_EQ(m.Bytes().size(), size);
    m.ReleaseBefore(size - 1);
    m.ReleaseFrom(1);
    EXPECT_TRUE(std::equal(content.begin(), content.end(), m.Bytes().begin()));

    ASSERT_EQ(truncate(dir.File("f").c_str(), 4096), 0);
    EXPECT_EQ(m.Bytes()[100], content[100]);
    EXPECT_EQ(m.Bytes()[size - 1], 0);
    EXPECT_EQ(m.Bytes()[8192], 0);

    MappedFile none;
    EXPECT_EQ(none.Map(dir.File("missing")), kOpenFileError);
    EXPECT_EQ(none.Map(dir.path()), kOpenFileError) << "a directory";
    WriteBytes(dir.File("empty"), {});
    EXPECT_EQ(none.Map(dir.File("empty")), kOk);
    EXPECT_TRUE(none.Bytes().empty());
}
