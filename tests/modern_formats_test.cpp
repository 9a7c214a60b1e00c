// WebP, AVIF, HEIF, JPEG XL and animated PNG, and the frames of animations: files made here
// by each format's own encoder, read by us and by the format's own decoder.
#include "base/Byte_order.h"
#include "core/Picture_types.h"
#include "base/Result_codes.h"
#include "core/Sniff.h"
#include "dec_enc/Frame_source.h"
#include "tests/peers.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

namespace {

// The files the encoders start from: an odd-sized opaque picture, one with graded alpha
// (16-bit for the 10-bit encoders) and three animation frames with transparency, each
// covering another part of the canvas.
class Sources {
public:
    Sources()
    {
        // No gamma chunk: our PNG reader lays alpha over white in linear light when there
        // is one, and the encoders' own decoders write none.
        const std::string plain = " -define png:exclude-chunk=gAMA,cHRM,bKGD ";
        Run("convert -size 97x61 plasma:fractal -seed 7 -depth 8" + plain + dir.File("opaque.png"));
        Run("convert -size 33x17 gradient:orange-navy -alpha set -channel A -fx 'i/w' -depth 8" + plain +
            dir.File("alpha.png"));
        Run("convert -size 31x19 gradient:red-blue -depth 16" + plain + dir.File("deep.png"));
        Run("convert -size 1x1 xc:'#3080c0' -depth 8" + plain + dir.File("one.png"));
        const char* draws[3] = {"rectangle 0,0 19,13", "rectangle 4,3 11,9", "circle 14,7 17,7"};
        const char* fills[3] = {"'rgba(200,40,30,0.6)'", "'#20a040'", "'#3050ff'"};
        for (int i = 0; i < 3; ++i)
            Run("convert -size 20x14 xc:none -fill " + std::string(fills[i]) + " -draw '" + draws[i] +
                "' -depth 8" + plain + Frame(i));
    }
    std::string File(const std::string& name) const { return dir.File(name); }
    std::string Frame(int i) const { return dir.File("f" + std::to_string(i) + ".png"); }
    std::string Frames() const { return Frame(0) + " " + Frame(1) + " " + Frame(2); }

    static void Run(const std::string& command)
    {
        ASSERT_EQ(RunCommand(command + " >/dev/null 2>&1"), 0) << command;
    }

    TempDir dir;
};

struct Picture {
    int rc = kUnknownError;
    int w = 0, h = 0;
    std::int32_t format = -1;
    Bytes bgr;
    TIMAGE_INFO::PICTURE_FACTS facts;
};

Picture OpenPicture(const std::string& path)
{
    TIMAGE_INFO doc;
    Picture p;
    p.rc = doc.Open(path);
    if (p.rc == kOk) {
        p.w = doc.display_width;
        p.h = doc.display_height;
        p.format = doc.format_code;
        p.bgr = DisplayPixels(doc);
        p.facts = doc.facts;
    }
    return p;
}

Bytes DibPixels(const Dib& d)
{
    Bytes out;
    for (int y = 0; y < d.Height(); ++y)
        out.insert(out.end(), d.ScanLine(y), d.ScanLine(y) + std::size_t(d.Width()) * 3);
    return out;
}

std::unique_ptr<FrameSource> SourceOf(const std::string& path, std::size_t budget = kDefaultFrameBudget)
{
    int rc = kUnknownError;
    std::string reason;
    auto source = OpenFrameSource(ReadBytes(path), rc, &reason, budget);
    EXPECT_EQ(rc, kOk) << path << ": " << reason;
    return source;
}

// Every frame of a source, composed.
std::vector<Bytes> AllFrames(FrameSource& s)
{
    std::vector<Bytes> frames;
    Dib d;
    for (std::int32_t k = 0; k < s.FrameCount(); ++k) {
        EXPECT_EQ(s.DecodeFrame(k, d), kOk) << "frame " << k << ": " << s.FailureReason();
        frames.push_back(DibPixels(d));
    }
    return frames;
}

std::string Cli(const std::string& args, int* status = nullptr)
{
    return CaptureCommand(std::string(RAVELSCOPE_CLI) + " " + args + " 2>&1", status);
}

} // namespace

// Our decode of each encoder's file against the same encoder's own decoder, read back
// through our PNG reader (which lays alpha over white the way the new readers do).
TEST(ModernReaders, DecodeAsTheFormatsOwnDecoders)
{
    Sources src;
    struct Case {
        const char* name;
        const char* source;
        const char* encode; // {in} {out}
        const char* decode; // {out} {ref}: to a PNG
        std::int32_t format;
        std::int32_t bits;
        bool alpha;
        int tolerance = 0; // 10 and 12 bits: the reference is a 16-bit PNG, rounded by libpng
    };
    const Case cases[] = {
        {"lossy.webp", "opaque.png", "cwebp -quiet -q 70 {in} -o {out}", "dwebp -quiet {out} -o {ref}", kFmtWebp, 8, false},
        {"lossless.webp", "opaque.png", "cwebp -quiet -lossless {in} -o {out}", "dwebp -quiet {out} -o {ref}", kFmtWebp, 8, false},
        {"alpha.webp", "alpha.png", "cwebp -quiet -q 80 {in} -o {out}", "dwebp -quiet {out} -o {ref}", kFmtWebp, 8, true},
        {"one.webp", "one.png", "cwebp -quiet {in} -o {out}", "dwebp -quiet {out} -o {ref}", kFmtWebp, 8, false},
        {"eight.avif", "opaque.png", "avifenc -s 10 {in} {out}", "avifdec -d 8 {out} {ref}", kFmtAvif, 8, false},
        {"ten.avif", "opaque.png", "avifenc -s 10 -d 10 {in} {out}", "avifdec -d 8 {out} {ref}", kFmtAvif, 10, false},
        {"twelve.avif", "alpha.png", "avifenc -s 10 -d 12 -y 444 {in} {out}", "avifdec -d 8 {out} {ref}", kFmtAvif, 12, true},
        {"one.avif", "one.png", "avifenc -s 10 {in} {out}", "avifdec -d 8 {out} {ref}", kFmtAvif, 8, false},
        {"eight.heic", "opaque.png", "heif-enc -q 70 {in} -o {out}", "heif-convert {out} {ref}", kFmtHeif, 8, false},
        {"alpha.heic", "alpha.png", "heif-enc -q 70 {in} -o {out}", "heif-convert {out} {ref}", kFmtHeif, 8, true},
        {"ten.heif", "deep.png", "heif-enc -b 10 {in} -o {out}", "heif-convert {out} {ref}", kFmtHeif, 10, false, 1},
        {"lossy.jxl", "opaque.png", "cjxl -q 75 {in} {out}", "djxl {out} {ref}", kFmtJxl, 8, false},
        {"lossless.jxl", "opaque.png", "cjxl -d 0 {in} {out}", "djxl {out} {ref}", kFmtJxl, 8, false},
        {"alpha.jxl", "alpha.png", "cjxl -d 0 {in} {out}", "djxl {out} {ref}", kFmtJxl, 8, true},
        {"box.jxl", "opaque.png", "cjxl -q 90 --container=1 {in} {out}", "djxl {out} {ref}", kFmtJxl, 8, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto fill = [&](std::string cmd) {
            for (auto [key, value] : {std::pair<std::string, std::string>{"{in}", src.File(c.source)},
                                      {"{out}", src.File(c.name)},
                                      {"{ref}", src.File(std::string(c.name) + ".ref.png")}})
                for (std::size_t at; (at = cmd.find(key)) != std::string::npos;)
                    cmd.replace(at, key.size(), value);
            return cmd;
        };
        Sources::Run(fill(c.encode));
        Sources::Run(fill(c.decode));
        const Picture ours = OpenPicture(src.File(c.name));
        const Picture theirs = OpenPicture(src.File(std::string(c.name) + ".ref.png"));
        ASSERT_EQ(ours.rc, kOk);
        ASSERT_EQ(theirs.rc, kOk);
        EXPECT_EQ(ours.format, c.format);
        EXPECT_EQ(ours.facts.bits_per_sample, c.bits);
        EXPECT_EQ(ours.facts.alpha, c.alpha);
        EXPECT_EQ(ours.facts.frame_count, 0);
        ASSERT_EQ(ours.w, theirs.w);
        ASSERT_EQ(ours.h, theirs.h);
        EXPECT_LE(MaxDifference(ours.bgr, theirs.bgr), c.tolerance);
    }
}

// The container's rotation is applied once; the Exif orientation the file also carries
// (6: turn clockwise) is not applied on top of it.
TEST(ModernReaders, HeifTurnsByItsRotationPropertyAndNotByExif)
{
    Sources src;
    // A red block in the top left corner of a 40 × 24 picture, with Exif orientation 6.
    Sources::Run("convert -size 40x24 xc:white -fill red -draw 'rectangle 0,0 9,5' -quality 95 " + src.File("w.jpg"));
    Bytes jpeg = ReadBytes(src.File("w.jpg"));
    const Bytes exif = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                        0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
    jpeg.insert(jpeg.begin() + 2, exif.begin(), exif.end());
    WriteBytes(src.File("six.jpg"), jpeg);
    Sources::Run("heif-enc -q 90 " + src.File("six.jpg") + " -o " + src.File("plain.heic"));
    // irot 1: a quarter turn anticlockwise.
    Sources::Run("python3 " RAVELSCOPE_SOURCE_DIR "/tests/heif_rotate.py " + src.File("plain.heic") + " " +
                 src.File("turned.heic") + " 1");
    Sources::Run("heif-convert " + src.File("turned.heic") + " " + src.File("turned.png"));
    const Picture ours = OpenPicture(src.File("turned.heic"));
    const Picture theirs = OpenPicture(src.File("turned.png"));
    ASSERT_EQ(ours.rc, kOk);
    ASSERT_EQ(ours.w, 24);
    ASSERT_EQ(ours.h, 40);
    EXPECT_EQ(MaxDifference(ours.bgr, theirs.bgr), 0);
    auto red_at = [&](int x, int y) {
        const std::uint8_t* p = ours.bgr.data() + (std::size_t(y) * 24 + std::size_t(x)) * 3;
        return p[2] > 200 && p[1] < 60 && p[0] < 60;
    };
    EXPECT_TRUE(red_at(1, 38)) << "the top left corner turned anticlockwise ends bottom left";
    EXPECT_FALSE(red_at(22, 1)) << "Exif's clockwise turn was not applied";
}

// HEVC decoding runs in the decoding helper: after HEIF files were opened, and a damaged
// one refused with libheif's reason, libheif was never loaded into this process.
TEST(ModernReaders, HeifDecodesOutsideThisProcess)
{
    Sources src;
    Sources::Run("heif-enc -q 70 " + src.File("opaque.png") + " -o " + src.File("x.heic"));
    ASSERT_EQ(OpenPicture(src.File("x.heic")).rc, kOk);
    Bytes cut = ReadBytes(src.File("x.heic"));
    cut.resize(cut.size() / 2);
    WriteBytes(src.File("cut.heic"), cut);
    TIMAGE_INFO doc;
    EXPECT_NE(doc.Open(src.File("cut.heic")), kOk);
    ASSERT_NE(doc.context, nullptr);
    EXPECT_FALSE(doc.context->failure_reason.empty());
    std::ifstream maps("/proc/self/maps");
    const std::string mapped((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
    EXPECT_EQ(mapped.find("libheif"), std::string::npos);
}

// Each format's animations: frame counts, delays and plays as the encoder was told, and
// every frame composed as the encoder's input (lossless) or as another decoder composes it.
TEST(FrameSources, FramesDelaysAndLoopsAsEncoded)
{
    Sources src;
    // The encoder's input, composed over white, is what a lossless animation must show.
    std::vector<Bytes> inputs;
    for (int i = 0; i < 3; ++i) {
        const Picture p = OpenPicture(src.Frame(i));
        ASSERT_EQ(p.rc, kOk);
        inputs.push_back(p.bgr);
    }
    Sources::Run("img2webp -lossless -loop 5 -d 40 " + src.Frame(0) + " -d 90 " + src.Frame(1) + " " + src.Frame(2) +
                 " -o " + src.File("a.webp"));
    Sources::Run("avifenc -l -s 10 --timescale 4 " + src.Frames() + " " + src.File("a.avif"));
    // GIF: the second frame is taken away again (previous), the third's rectangle cleared
    // (background) before the fourth.
    Sources::Run("convert -delay 7 -dispose none " + src.Frame(0) + " -delay 30 -dispose previous " + src.Frame(1) +
                 " -delay 0 -dispose background " + src.Frame(2) + " -delay 7 -dispose none " + src.Frame(1) +
                 " -loop 3 " + src.File("a.gif"));
    Sources::Run("apngasm " + src.File("a.apng") + " " + src.Frames() + " 3 20 -l2 -z0");
    Sources::Run("cjxl -d 0 " + src.File("a.gif") + " " + src.File("a.jxl"));

    struct Case {
        const char* file;
        FrameSource::Format kind;
        std::vector<std::int32_t> delays;
        std::int32_t plays;
        bool as_input; // frames equal the encoder's input
    };
    const Case cases[] = {
        {"a.webp", FrameSource::Format::Webp, {40, 90, 90}, 5, true},
        {"a.avif", FrameSource::Format::Avif, {250, 250, 250}, 0, false},
        {"a.gif", FrameSource::Format::Gif, {70, 300, 0, 70}, 3, false},
        {"a.apng", FrameSource::Format::Apng, {150, 150, 150}, 2, true},
        // From the GIF: the frame of no delay is merged into the next; no loop count is kept.
        {"a.jxl", FrameSource::Format::Jxl, {70, 300, 70}, 0, false},
    };
    std::map<std::string, std::vector<Bytes>> decoded;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto s = SourceOf(src.File(c.file));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->Kind(), c.kind);
        EXPECT_EQ(s->Width(), 20);
        EXPECT_EQ(s->Height(), 14);
        ASSERT_EQ(s->FrameCount(), std::int32_t(c.delays.size()));
        for (std::int32_t k = 0; k < s->FrameCount(); ++k)
            EXPECT_EQ(s->DelayMs(k), c.delays[std::size_t(k)]) << "frame " << k;
        EXPECT_EQ(s->LoopCount(), c.plays);
        decoded[c.file] = AllFrames(*s);
        if (c.as_input) {
            for (std::size_t k = 0; k < 3; ++k)
                EXPECT_EQ(MaxDifference(decoded[c.file][k], inputs[k]), 0) << "frame " << k;
        }

        // The single picture is the first frame, and the document knows the animation.
        const Picture first = OpenPicture(src.File(c.file));
        ASSERT_EQ(first.rc, kOk);
        EXPECT_EQ(first.facts.frame_count, s->FrameCount());
        EXPECT_EQ(first.facts.loop_count, c.plays);
        std::int64_t total = 0;
        for (std::int32_t d : c.delays)
            total += d;
        EXPECT_EQ(first.facts.duration_ms, total);
        if (c.kind != FrameSource::Format::Gif) { // the GIF reader shows its first image as it always has
            EXPECT_EQ(first.bgr, decoded[c.file][0]);
        }
    }

    // GIF disposal against ImageMagick's composition of the same file.
    Sources::Run("convert " + src.File("a.gif") + " -coalesce -define png:exclude-chunk=gAMA,cHRM,bKGD " +
                 src.File("coalesced-%d.png"));
    for (std::size_t k = 0; k < 4; ++k) {
        const Picture im = OpenPicture(src.File("coalesced-" + std::to_string(k) + ".png"));
        ASSERT_EQ(im.rc, kOk);
        EXPECT_EQ(decoded["a.gif"][k], im.bgr) << "GIF frame " << k;
        if (k != 2) {
            EXPECT_EQ(decoded["a.jxl"][k == 3 ? 2 : k], im.bgr) << "JPEG XL frame " << k << " (lossless from the GIF)";
        }
    }
    // AVIF sequences against the library's own tool, frame by frame.
    for (std::size_t k = 0; k < 3; ++k) {
        const std::string ref = src.File("avif-" + std::to_string(k) + ".png");
        Sources::Run("avifdec -d 8 --index " + std::to_string(k) + " " + src.File("a.avif") + " " + ref);
        EXPECT_EQ(MaxDifference(decoded["a.avif"][k], OpenPicture(ref).bgr), 0) << "AVIF frame " << k;
    }
    // The frame counts and durations the WebP muxer reads from the file.
    const std::string mux = CaptureCommand("webpmux -info " + src.File("a.webp"));
    EXPECT_NE(mux.find("Number of frames: 3"), std::string::npos) << mux;
    EXPECT_NE(mux.find("Loop Count : 5"), std::string::npos) << mux;
    EXPECT_EQ(OpenPicture(src.File("a.apng")).format, kFmtApng);
    WriteBytes(src.File("b.png"), ReadBytes(src.File("a.apng")));
    EXPECT_EQ(OpenPicture(src.File("b.png")).format, kFmtApng) << "a .png holding acTL";
}

// Stepping backwards, jumping and a memory budget give the frames that stepping forward
// gives; what the source holds stays within the budget and its canvases.
TEST(FrameSources, RandomAccessMatchesSequentialWithinBudget)
{
    TempDir dir;
    // 40 frames of a moving square; the even ones restore the previous canvas.
    std::string cmd = "convert -size 64x48 xc:white -delay 5";
    for (int i = 0; i < 40; ++i)
        cmd += std::string(" \\( -size 12x10 xc:'rgb(") + std::to_string(i * 6) + ",90,200)' -repage +" +
               std::to_string(i) + "+" + std::to_string(i % 37) + " -dispose " + (i % 2 ? "none" : "previous") +
               " \\)";
    Sources::Run(cmd + " " + dir.File("many.gif"));
    Sources::Run("convert " + dir.File("many.gif") + " -coalesce " + dir.File("m-%02d.png"));
    Sources::Run("img2webp -lossy -q 50 " + dir.File("m-") + "*.png -o " + dir.File("many.webp"));

    for (const char* name : {"many.gif", "many.webp"}) {
        SCOPED_TRACE(name);
        auto forward = SourceOf(dir.File(name));
        ASSERT_TRUE(forward);
        ASSERT_EQ(forward->FrameCount(), 41);
        const std::vector<Bytes> frames = AllFrames(*forward);
        const std::size_t canvas = std::size_t(forward->Width()) * std::size_t(forward->Height()) * 4;
        for (std::size_t budget : {std::size_t{0}, canvas * 2, kDefaultFrameBudget}) {
            auto s = SourceOf(dir.File(name), budget);
            ASSERT_TRUE(s);
            Dib d;
            for (std::int32_t k : {40, 3, 20, 39, 0, 17, 17, 33, 2}) {
                ASSERT_EQ(s->DecodeFrame(k, d), kOk) << "frame " << k;
                EXPECT_EQ(DibPixels(d), frames[std::size_t(k)]) << "frame " << k << ", budget " << budget;
            }
            EXPECT_LE(s->HeldBytes(), budget + 4 * canvas + 64 * 1024) << "budget " << budget;
        }
        Dib d;
        EXPECT_EQ(forward->DecodeFrame(41, d), kDataError);
        EXPECT_EQ(forward->DecodeFrame(-1, d), kDataError);
    }
}

TEST(FrameSources, ShownDelaysFollowTheBrowsers)
{
    const std::pair<std::int32_t, std::int32_t> cases[] = {{0, 100}, {10, 100}, {11, 11}, {20, 20}, {1500, 1500}};
    for (auto [stored, shown] : cases)
        EXPECT_EQ(ShownDelayMs(stored), shown) << stored;
}

// Damaged animations: a source refuses what it cannot use and keeps the frames it can.
TEST(FrameSources, DamagedFilesKeepWhatTheyCan)
{
    Sources src;
    Sources::Run("convert -delay 10 " + src.Frames() + " " + src.File("a.gif"));
    Sources::Run("apngasm " + src.File("a.apng") + " " + src.Frames() + " -z0");
    Sources::Run("img2webp -lossless " + src.Frames() + " -o " + src.File("a.webp"));
    for (const char* name : {"a.gif", "a.apng", "a.webp"}) {
        SCOPED_TRACE(name);
        const Bytes whole = ReadBytes(src.File(name));
        for (std::size_t cut : {std::size_t{6}, whole.size() / 3, whole.size() - 9}) {
            int rc = kOk;
            auto s = OpenFrameSource(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(cut)), rc);
            if (!s) {
                EXPECT_NE(rc, kOk);
                continue;
            }
            Dib d;
            for (std::int32_t k = 0; k < s->FrameCount(); ++k)
                if (s->DecodeFrame(k, d) != kOk) {
                    EXPECT_FALSE(s->FailureReason().empty());
                    if (k > 0) {
                        EXPECT_EQ(s->DecodeFrame(k - 1, d), kOk) << "an earlier frame after a failure";
                    }
                    break;
                }
        }
    }
    // Canvases of billions of pixels are refused before anything is allocated for them: a
    // GIF's when its first image cannot fill them, an animated PNG's past the cap.
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x2C, 0, 0, 0, 0, 0xFF, 0xFF,
                 0xFF, 0xFF, 0, 2, 2, 0x4C, 0x01, 0, 0x3B};
    int rc = kOk;
    EXPECT_FALSE(OpenFrameSource(gif, rc));
    EXPECT_EQ(rc, kDataError);
    // A first image without data that would grow the screen to 54 million pixels.
    EXPECT_FALSE(OpenFrameSource(
        ReadBytes(RAVELSCOPE_SOURCE_DIR "/fuzz/regressions/frames/gif-canvas-grown-by-an-empty-first-image.gif"), rc));
    EXPECT_EQ(rc, kDataError);
    Bytes png = ReadBytes(src.File("a.apng"));
    StoreDword(kBigEndian, 1u << 30, png.data() + 16);
    EXPECT_FALSE(OpenFrameSource(png, rc));
    EXPECT_EQ(rc, kImageTooLarge);
}

// Each new format under a name that does not tell, found by its first bytes; truncated
// files fail with a code, never a picture.
TEST(ModernReaders, RecognisedByContentAndRefusedWhenCut)
{
    Sources src;
    Sources::Run("cwebp -quiet " + src.File("opaque.png") + " -o " + src.File("x.webp"));
    Sources::Run("avifenc -s 10 " + src.File("opaque.png") + " " + src.File("x.avif"));
    Sources::Run("heif-enc " + src.File("opaque.png") + " -o " + src.File("x.heic"));
    Sources::Run("cjxl -d 0 " + src.File("opaque.png") + " " + src.File("x.jxl"));
    Sources::Run("cjxl -d 0 --container=1 " + src.File("opaque.png") + " " + src.File("y.jxl"));
    const std::pair<const char*, std::int32_t> cases[] = {
        {"x.webp", kFmtWebp}, {"x.avif", kFmtAvif}, {"x.heic", kFmtHeif}, {"x.jxl", kFmtJxl}, {"y.jxl", kFmtJxl}};
    for (auto [name, format] : cases) {
        SCOPED_TRACE(name);
        const Bytes bytes = ReadBytes(src.File(name));
        EXPECT_EQ(SniffFormat(bytes), format);
        WriteBytes(src.File("unnamed.dat"), bytes);
        const Picture p = OpenPicture(src.File("unnamed.dat"));
        EXPECT_EQ(p.rc, kOk);
        EXPECT_EQ(p.format, format);
        WriteBytes(src.File("wrong.jpg"), bytes);
        EXPECT_EQ(OpenPicture(src.File("wrong.jpg")).format, format) << "a known name on other bytes";
        const std::string ext = name + 1;
        for (std::size_t cut : {std::size_t{3}, std::size_t{40}, bytes.size() / 2}) {
            WriteBytes(src.File("cut" + ext), Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut)));
            EXPECT_NE(OpenPicture(src.File("cut" + ext)).rc, kOk) << cut << " bytes";
        }
    }
    // A general brand names AVIF through its compatible brands, HEIF without them.
    const auto ftyp = [](const char* major, const char* compatible) {
        Bytes b = {0, 0, 0, 24, 'f', 't', 'y', 'p'};
        b.insert(b.end(), major, major + 4);
        b.insert(b.end(), {0, 0, 0, 0});
        b.insert(b.end(), compatible, compatible + 8);
        return b;
    };
    EXPECT_EQ(SniffFormat(ftyp("mif1", "miafavif")), kFmtAvif);
    EXPECT_EQ(SniffFormat(ftyp("msf1", "avismiaf")), kFmtAvif);
    EXPECT_EQ(SniffFormat(ftyp("mif1", "miafheic")), kFmtHeif);
    EXPECT_EQ(SniffFormat(ftyp("isom", "mp41avc1")), -1) << "a video is no picture";
}

// The writers through the command line, read back by the formats' own decoders: lossless
// keeps every pixel, lossy follows the quality.
TEST(ModernWriters, ReadBackByTheFormatsOwnDecoders)
{
    TempDir dir;
    const int w = 45, h = 29;
    Sources::Run("convert -size 45x29 plasma:fractal -seed 5 -depth 8 " + dir.File("in.ppm"));
    const Bytes pixels = OpenPicture(dir.File("in.ppm")).bgr;
    struct Case {
        const char* out;
        const char* options;
        const char* decode; // {out} {ref}: to a PNG
        double min_psnr;    // 99: exact
    };
    const Case cases[] = {
        {"l.webp", "--lossless", "dwebp -quiet {out} -o {ref}", 99},
        {"q.webp", "--quality 95", "dwebp -quiet {out} -o {ref}", 25},
        {"l.avif", "--lossless", "avifdec {out} {ref}", 99},
        {"q.avif", "--quality 95", "avifdec {out} {ref}", 25},
        {"l.jxl", "--lossless", "djxl {out} {ref}", 99},
        {"q.jxl", "--quality=95", "djxl {out} {ref}", 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out);
        int status = -1;
        const std::string out = dir.File(c.out), ref = out + ".png";
        Cli("convert " + std::string(c.options) + " " + dir.File("in.ppm") + " " + out, &status);
        ASSERT_EQ(status, 0);
        std::string cmd = c.decode;
        cmd.replace(cmd.find("{out}"), 5, out);
        cmd.replace(cmd.find("{ref}"), 5, ref);
        Sources::Run(cmd);
        const Picture back = OpenPicture(ref);
        ASSERT_EQ(back.rc, kOk);
        ASSERT_EQ(back.w, w);
        ASSERT_EQ(back.h, h);
        if (c.min_psnr >= 99)
            EXPECT_EQ(back.bgr, pixels);
        else
            EXPECT_GE(Psnr(back.bgr, pixels), c.min_psnr);
        if (c.min_psnr < 99) { // a lower quality makes a smaller file
            Cli("convert --quality 20 " + dir.File("in.ppm") + " " + dir.File(std::string("low-") + c.out), &status);
            ASSERT_EQ(status, 0);
            EXPECT_LT(ReadBytes(dir.File(std::string("low-") + c.out)).size(), ReadBytes(out).size());
        }
    }
    int status = -1;
    const std::string bad = Cli("convert --quality 0 " + dir.File("in.ppm") + " " + dir.File("x.webp"), &status);
    EXPECT_EQ(status, 2) << bad;
    Cli("info --lossless " + dir.File("in.ppm"), &status);
    EXPECT_EQ(status, 2) << "--lossless belongs to convert";
}

// The new extensions are listed, offered and browsable; info names the facts.
TEST(ModernReaders, ListedOfferedAndDescribed)
{
    Sources src;
    for (const char* ext : {".webp", ".avif", ".heic", ".heif", ".hif", ".jxl", ".apng"}) {
        EXPECT_GE(PictureFormatOf(ext), 0) << ext;
        WriteBytes(src.File(std::string("x") + ext), {});
    }
    TIMAGE_INFO doc;
    ASSERT_TRUE(doc.BuildFileList(src.dir.path()));
    for (const char* ext : {".webp", ".avif", ".heic", ".heif", ".hif", ".jxl", ".apng"})
        EXPECT_NE(std::find(doc.file_list.begin(), doc.file_list.end(), src.File(std::string("x") + ext)),
                  doc.file_list.end())
            << ext;

    Sources::Run("img2webp -loop 0 -d 250 " + src.Frames() + " -o " + src.File("a.webp"));
    const std::string info = Cli("info " + src.File("a.webp"));
    EXPECT_NE(info.find(": WebP 20 x 14,"), std::string::npos) << info;
    EXPECT_NE(info.find("  8 bits a sample, alpha, 3 frames, 0.750 s, loops forever, no ICC profile"),
              std::string::npos)
        << info;
}

namespace {

// A PNG chunk: length, type, data, CRC.
void PutPngChunk(Bytes& png, const char* type, const Bytes& data)
{
    Bytes head(8);
    StoreDword(kBigEndian, static_cast<std::uint32_t>(data.size()), head.data());
    std::memcpy(head.data() + 4, type, 4);
    png.insert(png.end(), head.begin(), head.end());
    png.insert(png.end(), data.begin(), data.end());
    uLong crc = crc32(0, head.data() + 4, 4);
    if (!data.empty())
        crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    Bytes tail(4);
    StoreDword(kBigEndian, static_cast<std::uint32_t>(crc), tail.data());
    png.insert(png.end(), tail.begin(), tail.end());
}

struct APNG_PIECE {
    std::uint32_t x, y, w, h;
    std::uint8_t rgba[4];
    std::uint8_t dispose, blend;
};

// An 8 × 8 RGBA animated PNG of solid-coloured frames.
Bytes MakeApng(const std::vector<APNG_PIECE>& pieces)
{
    Bytes png = {137, 80, 78, 71, 13, 10, 26, 10};
    Bytes ihdr(13, 0);
    StoreDword(kBigEndian, 8, ihdr.data());
    StoreDword(kBigEndian, 8, ihdr.data() + 4);
    ihdr[8] = 8;
    ihdr[9] = 6;
    PutPngChunk(png, "IHDR", ihdr);
    Bytes actl(8, 0);
    StoreDword(kBigEndian, static_cast<std::uint32_t>(pieces.size()), actl.data());
    PutPngChunk(png, "acTL", actl);
    std::uint32_t sequence = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const APNG_PIECE& p = pieces[i];
        Bytes fctl(26, 0);
        StoreDword(kBigEndian, sequence++, fctl.data());
        StoreDword(kBigEndian, p.w, fctl.data() + 4);
        StoreDword(kBigEndian, p.h, fctl.data() + 8);
        StoreDword(kBigEndian, p.x, fctl.data() + 12);
        StoreDword(kBigEndian, p.y, fctl.data() + 16);
        StoreWord(kBigEndian, 1, fctl.data() + 20);
        StoreWord(kBigEndian, 10, fctl.data() + 22);
        fctl[24] = p.dispose;
        fctl[25] = p.blend;
        PutPngChunk(png, "fcTL", fctl);
        Bytes raw;
        for (std::uint32_t y = 0; y < p.h; ++y) {
            raw.push_back(0);
            for (std::uint32_t x = 0; x < p.w; ++x)
                raw.insert(raw.end(), p.rgba, p.rgba + 4);
        }
        uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
        Bytes packed(packed_size);
        compress(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()));
        packed.resize(packed_size);
        if (i == 0) {
            PutPngChunk(png, "IDAT", packed);
        } else {
            Bytes fdat(4);
            StoreDword(kBigEndian, sequence++, fdat.data());
            fdat.insert(fdat.end(), packed.begin(), packed.end());
            PutPngChunk(png, "fdAT", fdat);
        }
    }
    PutPngChunk(png, "IEND", {});
    return png;
}

} // namespace

// The blend and dispose operations of animated PNG, on solid frames whose every outcome is
// known: over and source blending, disposal to the previous canvas and to transparent.
TEST(FrameSources, AnimatedPngBlendsAndDisposes)
{
    enum : std::uint8_t { kNone = 0, kBackground = 1, kPrevious = 2, kSource = 0, kOver = 1 };
    const Bytes png = MakeApng({
        {0, 0, 8, 8, {255, 0, 0, 255}, kNone, kSource},        // red everywhere
        {2, 2, 4, 4, {0, 0, 255, 128}, kPrevious, kOver},      // half blue over it, then taken away
        {0, 0, 4, 4, {0, 255, 0, 255}, kBackground, kSource},  // green, then cleared
        {6, 6, 2, 2, {9, 9, 9, 0}, kNone, kSource},            // transparent replaces red
    });
    int rc = kUnknownError;
    auto s = OpenFrameSource(png, rc);
    ASSERT_TRUE(s) << rc;
    ASSERT_EQ(s->FrameCount(), 4);
    EXPECT_EQ(s->DelayMs(2), 100);
    struct Expect {
        std::int32_t frame;
        int x, y;
        std::uint8_t b, g, r;
    };
    const Expect expects[] = {
        {0, 3, 3, 0, 0, 255},     {1, 3, 3, 128, 0, 127}, {1, 0, 0, 0, 0, 255}, {2, 3, 3, 0, 255, 0},
        {2, 5, 5, 0, 0, 255},     {3, 1, 1, 255, 255, 255}, {3, 5, 5, 0, 0, 255}, {3, 7, 7, 255, 255, 255},
    };
    Dib d;
    for (const Expect& e : expects) {
        ASSERT_EQ(s->DecodeFrame(e.frame, d), kOk);
        const std::uint8_t* p = d.ScanLine(e.y) + e.x * 3;
        EXPECT_EQ((std::array<int, 3>{p[0], p[1], p[2]}), (std::array<int, 3>{e.b, e.g, e.r}))
            << "frame " << e.frame << " at " << e.x << "," << e.y;
    }
    // The single picture is the first frame; the file is animated PNG by its chunks.
    TempDir dir;
    WriteBytes(dir.File("solid.png"), png);
    const Picture first = OpenPicture(dir.File("solid.png"));
    ASSERT_EQ(first.rc, kOk);
    EXPECT_EQ(first.format, kFmtApng);
    EXPECT_EQ(first.facts.frame_count, 4);
    EXPECT_EQ(first.facts.duration_ms, 400);
}
