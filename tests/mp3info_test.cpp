// CMP3INFO: the frame walk and the ID3v1 tag over synthesized bytes, files that are not
// regular, real clips against ffprobe, and the sample corpus.
#include "audio/Mp3info.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

namespace {

// Version bits: 3 MPEG 1, 2 MPEG 2, 0 MPEG 2.5, 1 reserved. Layer bits: 1 layer 3,
// 2 layer 2, 3 layer 1, 0 reserved.
Bytes Header(int version_bits, int layer_bits, int rate_index, int rate_bits, int padding = 0, int b3 = 0x44)
{
    return {0xFF, static_cast<std::uint8_t>(0xE0 | version_bits << 3 | layer_bits << 1 | 1),
            static_cast<std::uint8_t>(rate_index << 4 | rate_bits << 2 | padding << 1), static_cast<std::uint8_t>(b3)};
}

// count frames of `length` bytes each: the header and zeros.
Bytes Frames(const Bytes& header, std::size_t length, int count)
{
    Bytes out;
    for (int i = 0; i < count; ++i) {
        out.insert(out.end(), header.begin(), header.end());
        out.resize(out.size() + length - header.size());
    }
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Zeros(std::size_t n) { return Bytes(n, 0); }

// An ID3v2.4 header declaring `size` bytes of tag body (which follow as zeros), and ten
// footer bytes more when the footer flag is set.
Bytes Id3v2(std::uint32_t size, bool footer)
{
    Bytes out = {'I', 'D', '3', 4, 0, static_cast<std::uint8_t>(footer ? 0x10 : 0),
                 static_cast<std::uint8_t>(size >> 21 & 0x7F), static_cast<std::uint8_t>(size >> 14 & 0x7F),
                 static_cast<std::uint8_t>(size >> 7 & 0x7F), static_cast<std::uint8_t>(size & 0x7F)};
    out.resize(out.size() + size + (footer ? 10 : 0));
    return out;
}

// A 128-byte ID3v1 tag; byte 125 and 126 as given (0 and n: track n).
Bytes Id3v1(const std::string& title, const std::string& comment, std::uint8_t b125, std::uint8_t b126,
            std::uint8_t genre)
{
    Bytes tag(128, 0);
    const auto put = [&tag](const std::string& text, std::size_t at) { std::copy(text.begin(), text.end(), tag.begin() + at); };
    put("TAG", 0);
    put(title, 3);
    put("Artist", 33);
    put("Album", 63);
    put("1999", 93);
    put(comment, 97);
    tag[125] = b125;
    tag[126] = b126;
    tag[127] = genre;
    return tag;
}

const Bytes kMpeg1Layer3 = Header(3, 1, 9, 0); // 128 kbit/s, 44100 Hz: 417 bytes

} // namespace

TEST(Mp3Info, FrameWalk)
{
    struct Case {
        const char* name;
        Bytes bytes;
        std::uint32_t frames;
        std::uint8_t version;
        std::int32_t layer, bit_rate, sample_rate, length;
    } cases[] = {
        // 1000 × 417 × 8 / 128000 = 26.06 s, read across several of the file reader's windows.
        {"MPEG 1 layer 3", Frames(kMpeg1Layer3, 417, 1000), 1000, 3, 3, 128, 44100, 26},
        // Padded frames are one byte longer: 600 × 418 × 8 / 128000 = 15.675 s.
        {"padding", Frames(Header(3, 1, 9, 0, 1), 418, 600), 600, 3, 3, 128, 44100, 15},
        // 48 bytes at 32 kbit/s and 32000 Hz: 510 × 48 × 8 / 32000 = 6.12 s.
        {"MPEG 1 layer 1", Frames(Header(3, 3, 1, 2), 48, 510), 510, 3, 1, 32, 32000, 6},
        // 144000 × 64 / 48000 = 192 bytes: 300 × 192 × 8 / 64000 = 7.2 s.
        {"MPEG 1 layer 2", Frames(Header(3, 2, 4, 1), 192, 300), 300, 3, 2, 64, 48000, 7},
        // 72000 × 64 / 22050 = 208 bytes: 400 × 208 × 8 / 64000 = 10.4 s.
        {"MPEG 2 layer 3", Frames(Header(2, 1, 8, 0), 208, 400), 400, 2, 3, 64, 22050, 10},
        // 72000 × 8 / 8000 = 72 bytes: 200 × 72 × 8 / 8000 = 14.4 s.
        {"MPEG 2.5 layer 3", Frames(Header(0, 1, 1, 2), 72, 200), 200, 1, 3, 8, 8000, 14},
        // MPEG 2 layer 1 at 48 kbit/s, 24000 Hz: (12000 × 48 / 24000) × 4 = 96 bytes; 4.16 s.
        {"MPEG 2 layer 1", Frames(Header(2, 3, 2, 1), 96, 260), 260, 2, 1, 48, 24000, 4},
        // 128, 192 and 320 kbit/s: mean 213 in whole kbit/s; 0.0261 + 0.0261 + 0.0261 s.
        {"VBR mean",
         Cat({Frames(Header(3, 1, 9, 0), 417, 1), Frames(Header(3, 1, 11, 0), 626, 1),
              Frames(Header(3, 1, 14, 0), 1044, 1)}),
         3, 3, 3, 213, 44100, 0},
        // The first header sets version and layer; with no sample rate it is not counted.
        {"reserved version", Frames(Header(1, 1, 9, 0), 417, 10), 0, 0, 3, 0, 0, 0},
        {"reserved sample rate", Frames(Header(3, 1, 9, 3), 417, 10), 0, 3, 3, 0, 0, 0},
        // Layer bits 00 and rate index 15 are no frames: the search passes over them.
        {"layer 00", Cat({Frames(Header(3, 0, 9, 0), 4, 2000), Frames(kMpeg1Layer3, 417, 2)}), 2, 3, 3, 128, 44100, 0},
        {"rate index 15", Cat({Frames(Header(3, 1, 15, 0), 4, 2000), Frames(kMpeg1Layer3, 417, 2)}), 2, 3, 3, 128, 44100,
         0},
        {"only rate index 15", Frames(Header(3, 1, 15, 0), 4, 2000), 0, 0, 0, 0, 0, 0},
        // Free format (index 0): counted, no rate, no time; the walk steps past the header.
        {"free format", Frames(Header(3, 1, 0, 0), 4, 100), 100, 3, 3, 0, 44100, 0},
        // The search looks at 10001 positions: 0 to 10000.
        {"sync at 10000", Cat({Zeros(10000), Frames(kMpeg1Layer3, 417, 400)}), 400, 3, 3, 128, 44100, 10},
        {"sync at 10001", Cat({Zeros(10001), Frames(kMpeg1Layer3, 417, 400)}), 0, 0, 0, 0, 0, 0},
        // A leading ID3v2 tag larger than the search is skipped by its declared size.
        {"ID3v2", Cat({Id3v2(30000, false), Frames(kMpeg1Layer3, 417, 400)}), 400, 3, 3, 128, 44100, 10},
        {"ID3v2 with footer", Cat({Id3v2(30000, true), Frames(kMpeg1Layer3, 417, 400)}), 400, 3, 3, 128, 44100, 10},
        {"ID3v2 past the end", Cat({Id3v2(30000, false)}), 0, 0, 0, 0, 0, 0},
        {"empty", {}, 0, 0, 0, 0, 0, 0},
        {"truncated header", {0xFF, 0xFB, 0x90}, 0, 0, 0, 0, 0, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMP3INFO from_bytes;
        from_bytes.ParseBytes(c.bytes);
        WriteBytes(dir.File("a.mp3"), c.bytes);
        CMP3INFO info;
        ASSERT_EQ(info.Parse(dir.File("a.mp3")), 1);
        EXPECT_EQ(info.file_name, dir.File("a.mp3"));
        EXPECT_EQ(info.frame_count, c.frames);
        EXPECT_EQ(info.version_code, c.version);
        EXPECT_EQ(info.layer, c.layer);
        EXPECT_EQ(info.bit_rate, c.bit_rate);
        EXPECT_EQ(info.sample_rate, c.sample_rate);
        EXPECT_EQ(info.length, c.length);
        EXPECT_EQ(info.flags, c.frames ? CMP3INFO::kHasFrames : 0u);
        EXPECT_EQ(info.genre, 255);
        // The walk over memory sees the same file.
        EXPECT_EQ(from_bytes.frame_count, info.frame_count);
        EXPECT_EQ(from_bytes.length, info.length);
        EXPECT_EQ(from_bytes.bit_rate, info.bit_rate);
        EXPECT_EQ(from_bytes.flags, info.flags);
        EXPECT_EQ(from_bytes.file_name, "");
    }
}

TEST(Mp3Info, HeaderBitsOfTheFirstFrame)
{
    // Dual channel, copyright, original, emphasis 01; CRC present (protection bit 0).
    Bytes h = Header(3, 1, 9, 0, 0, 0x80 | 0x08 | 0x04 | 0x01);
    h[1] &= 0xFE;
    CMP3INFO info;
    info.ParseBytes(Frames(h, 417, 3));
    EXPECT_EQ(info.channel_mode, 2);
    EXPECT_EQ(info.copyright, 1);
    EXPECT_EQ(info.original, 1);
    EXPECT_EQ(info.emphasis, 1);
    EXPECT_EQ(info.protection_bit, 0);
}

TEST(Mp3Info, Id3v1Tag)
{
    const std::string comment30 = "A comment of thirty characters";
    struct Case {
        const char* name;
        Bytes bytes;
        std::uint32_t flags;
        std::string title, comment, year;
        std::int32_t track, genre;
        const char* genre_name;
    } cases[] = {
        {"with track", Cat({Frames(kMpeg1Layer3, 417, 5), Id3v1("Song", comment30.substr(0, 28), 0, 7, 17)}),
         CMP3INFO::kHasTag | CMP3INFO::kHasFrames, "Song", comment30.substr(0, 28), "1999", 7, 17, "Rock"},
        {"without track", Cat({Frames(kMpeg1Layer3, 417, 5), Id3v1("Song", comment30, 'r', 's', 67)}),
         CMP3INFO::kHasTag | CMP3INFO::kHasFrames, "Song", comment30, "1999", 0, 67, "Psychadelic"},
        // Texts keep their trailing blanks and fill their whole width without a zero.
        {"full title", Id3v1(std::string(28, 'x') + "  ", "", 0, 0, 118), CMP3INFO::kHasTag,
         std::string(28, 'x') + "  ", "", "1999", 0, 118, "Rhytmic Soul"},
        {"tag only", Id3v1("T", "c", 0, 1, 147), CMP3INFO::kHasTag, "T", "c", "1999", 1, 147, "SynthPop"},
        {"genre 200", Id3v1("T", "", 0, 0, 200), CMP3INFO::kHasTag, "T", "", "1999", 0, 200, ""},
        {"genre 148", Id3v1("T", "", 0, 0, 148), CMP3INFO::kHasTag, "T", "", "1999", 0, 148, ""},
        // Under 128 bytes there is no room for a tag, whatever the bytes say.
        {"TAG at the start of 127 bytes", Cat({ToBytes("TAG"), Zeros(124)}), 0, "", "", "", 0, 255, ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("t.mp3"), c.bytes);
        CMP3INFO info;
        ASSERT_EQ(info.Parse(dir.File("t.mp3")), 1);
        EXPECT_EQ(info.flags, c.flags);
        EXPECT_EQ(info.title, c.title);
        EXPECT_EQ(info.comment, c.comment);
        EXPECT_EQ(info.year, c.year);
        EXPECT_EQ(info.artist, c.flags & CMP3INFO::kHasTag ? "Artist" : "");
        EXPECT_EQ(info.album, c.flags & CMP3INFO::kHasTag ? "Album" : "");
        EXPECT_EQ(info.track, c.track);
        EXPECT_EQ(info.genre, c.genre);
        EXPECT_STREQ(info.GenreName(), c.genre_name);
    }
    EXPECT_STREQ(CMP3INFO::GenreName(0), "Blues");
    EXPECT_STREQ(CMP3INFO::GenreName(-1), "");
}

TEST(Mp3Info, FilesThatAreNotRegularAreRefusedAtOnce)
{
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("fifo.mp3").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", dir.File("zero.mp3").c_str()), 0);
    ASSERT_EQ(mkdir(dir.File("dir.mp3").c_str(), 0700), 0);
    for (const char* name : {"fifo.mp3", "zero.mp3", "dir.mp3", "missing.mp3"}) {
        SCOPED_TRACE(name);
        CMP3INFO info;
        info.title = "stale";
        EXPECT_EQ(info.Parse(dir.File(name)), 0);
        EXPECT_EQ(info.title, "");
        EXPECT_EQ(info.file_name, "");
        EXPECT_EQ(info.genre, 255);
    }
}

TEST(Mp3Info, TextAsUtf8)
{
    struct Case {
        std::string in, out;
    } cases[] = {
        {"plain <b>x</b>", "plain <b>x</b>"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},                          // valid UTF-8 stays
        {"caf\xE9", "caf\xC3\xA9"},                              // Latin-1 é
        {"\xC3", "\xC3\x83"},                                    // a sequence cut short
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                        // an overlong form
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},            // a surrogate
        {"\xF0\x9F\x8E\xB5 song", "\xF0\x9F\x8E\xB5 song"},      // four bytes
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextAsUtf8(c.in), c.out) << c.in;
}

// Clips encoded by ffmpeg: the walk's length is ffprobe's duration truncated to seconds.
TEST(Mp3Info, RealClipsMatchFfprobe)
{
    if (!HaveTool("ffmpeg") || !HaveTool("ffprobe"))
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    struct Case {
        const char* name;
        const char* options;
        std::uint8_t version;
        std::int32_t sample_rate;
        bool big_id3v2; // a 40000-byte ID3v2 tag before the audio
    } cases[] = {
        {"cbr44", "-t 5 -ar 44100 -b:a 128k", 3, 44100, false},
        {"cbr22", "-t 3 -ar 22050 -b:a 64k", 2, 22050, false},
        {"cbr11", "-t 4 -ar 11025 -b:a 32k", 1, 11025, false},
        {"vbr48", "-t 6 -ar 48000 -q:a 4", 3, 48000, false},
        {"tagged", "-t 4 -ar 44100 -b:a 96k", 3, 44100, true},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".mp3");
        ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 " +
                             std::string(c.options) + " -c:a libmp3lame -write_id3v2 0 -y '" + path + "'"),
                  0);
        if (c.big_id3v2)
            WriteBytes(path, Cat({Id3v2(40000, false), ReadBytes(path)}));
        const double seconds = std::atof(
            CaptureCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'").c_str());
        ASSERT_GT(seconds, 1.0);
        CMP3INFO info;
        ASSERT_EQ(info.Parse(path), 1);
        EXPECT_EQ(info.version_code, c.version);
        EXPECT_EQ(info.layer, 3);
        EXPECT_EQ(info.sample_rate, c.sample_rate);
        EXPECT_NEAR(info.length, std::floor(seconds), 1.0) << "ffprobe says " << seconds << " s";
    }
}

// Every MPEG audio file of the sample corpus is walked to its end; the good ones have frames.
TEST(Mp3Info, CorpusFilesEndCleanly)
{
    const auto entries = CorpusEntries("mp3");
    if (entries.empty())
        GTEST_SKIP() << "no sample corpus";
    for (const CorpusEntry& e : entries) {
        SCOPED_TRACE(e.file);
        CMP3INFO info;
        ASSERT_EQ(info.Parse(e.path), 1);
        if (e.status == "ok") {
            EXPECT_GT(info.frame_count, 0u);
            EXPECT_GT(info.sample_rate, 0);
            EXPECT_GT(info.bit_rate, 0);
        }
        EXPECT_GE(info.length, 0);
    }
}
