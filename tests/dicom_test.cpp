// DICOM through GDCM: grey mapping, colour, frames and limits on hand-made data sets, and
// the sample corpus against pydicom's decode.
#include "base/Byte_order.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "tests/open_bytes.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// An explicit little-endian data set with its preamble and meta group.
class DicomBuilder {
public:
    DicomBuilder()
    {
        Bytes meta;
        Put(meta, 0x0002, 0x0001, "OB", Bytes{0, 1});
        Put(meta, 0x0002, 0x0010, "UI", Str("1.2.840.10008.1.2.1"));
        bytes_.assign(128, 0);
        bytes_.insert(bytes_.end(), {'D', 'I', 'C', 'M'});
        Bytes length(4);
        StoreDword(kLittleEndian, static_cast<std::uint32_t>(meta.size()), length.data());
        Put(bytes_, 0x0002, 0x0000, "UL", length);
        bytes_.insert(bytes_.end(), meta.begin(), meta.end());
    }
    DicomBuilder& Us(std::uint16_t g, std::uint16_t e, unsigned v)
    {
        Bytes b(2);
        StoreWord(kLittleEndian, v, b.data());
        Put(bytes_, g, e, "US", b);
        return *this;
    }
    DicomBuilder& Text(std::uint16_t g, std::uint16_t e, const char* vr, const std::string& v)
    {
        Put(bytes_, g, e, vr, Str(v, ' '));
        return *this;
    }
    DicomBuilder& Pixels(const Bytes& data, bool words)
    {
        Put(bytes_, 0x7FE0, 0x0010, words ? "OW" : "OB", data);
        return *this;
    }
    const Bytes& Done() const { return bytes_; }

private:
    static Bytes Str(const std::string& s, char pad = '\0')
    {
        Bytes b(s.begin(), s.end());
        if (b.size() % 2 != 0)
            b.push_back(static_cast<std::uint8_t>(pad));
        return b;
    }
    static void Put(Bytes& out, std::uint16_t g, std::uint16_t e, const char* vr, Bytes value)
    {
        if (value.size() % 2 != 0)
            value.push_back(0);
        std::uint8_t head[12] = {};
        StoreWord(kLittleEndian, g, head);
        StoreWord(kLittleEndian, e, head + 2);
        head[4] = static_cast<std::uint8_t>(vr[0]);
        head[5] = static_cast<std::uint8_t>(vr[1]);
        const std::string v(vr);
        const bool long_form = v == "OB" || v == "OW" || v == "UN" || v == "SQ" || v == "UT";
        if (long_form) {
            StoreDword(kLittleEndian, static_cast<std::uint32_t>(value.size()), head + 8);
            out.insert(out.end(), head, head + 12);
        } else {
            StoreWord(kLittleEndian, static_cast<std::uint32_t>(value.size()), head + 6);
            out.insert(out.end(), head, head + 8);
        }
        out.insert(out.end(), value.begin(), value.end());
    }
    Bytes bytes_;
};

struct Image {
    const char* pi = "MONOCHROME2";
    unsigned samples = 1, rows = 2, cols = 2, allocated = 16, stored = 16, high = 15, is_signed = 0;
    unsigned planar = 0;
    std::string frames, centre, width, slope, intercept;
};

Bytes Build(const Image& im, const Bytes& data)
{
    DicomBuilder b;
    b.Us(0x0028, 0x0002, im.samples).Text(0x0028, 0x0004, "CS", im.pi);
    if (im.samples == 3)
        b.Us(0x0028, 0x0006, im.planar);
    if (!im.frames.empty())
        b.Text(0x0028, 0x0008, "IS", im.frames);
    b.Us(0x0028, 0x0010, im.rows).Us(0x0028, 0x0011, im.cols);
    b.Us(0x0028, 0x0100, im.allocated).Us(0x0028, 0x0101, im.stored).Us(0x0028, 0x0102, im.high);
    b.Us(0x0028, 0x0103, im.is_signed);
    if (!im.centre.empty())
        b.Text(0x0028, 0x1050, "DS", im.centre).Text(0x0028, 0x1051, "DS", im.width);
    if (!im.slope.empty())
        b.Text(0x0028, 0x1052, "DS", im.intercept).Text(0x0028, 0x1053, "DS", im.slope);
    b.Pixels(data, im.allocated > 8);
    return b.Done();
}

Bytes Words(std::initializer_list<unsigned> v)
{
    Bytes b;
    for (unsigned w : v)
        b.insert(b.end(), {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8)});
    return b;
}

Bytes Grey(std::initializer_list<int> v)
{
    Bytes b;
    for (int g : v)
        b.resize(b.size() + 3, static_cast<std::uint8_t>(g));
    return b;
}

} // namespace

TEST(DicomRead, HandMadeDataSets)
{
    Image windowed;
    windowed.centre = "100\\40"; // only the first of several windows counts
    windowed.width = "201\\80";
    Image stretched;
    Image inverted;
    inverted.pi = "MONOCHROME1";
    Image twelve; // 12 bits stored, signed, with junk above the high bit, then rescaled
    twelve.stored = 12;
    twelve.high = 11;
    twelve.is_signed = 1;
    twelve.slope = "1";
    twelve.intercept = "2048";
    Image rgb_planar;
    rgb_planar.pi = "RGB";
    rgb_planar.samples = 3;
    rgb_planar.allocated = rgb_planar.stored = 8;
    rgb_planar.high = 7;
    rgb_planar.planar = 1;
    Image frames;
    frames.allocated = frames.stored = 8;
    frames.high = 7;
    frames.frames = "2";
    Image huge = frames;
    huge.frames.clear();
    huge.rows = huge.cols = 60000;
    Image two_samples = frames;
    two_samples.frames.clear();
    two_samples.samples = 2;
    two_samples.pi = "RGB";

    // A pixel data length of nearly 4 GiB in a file of a few hundred bytes.
    Bytes overlong = Build(stretched, Words({0, 100, 200, 50}));
    StoreDword(kLittleEndian, 0xFFFFFF00u, overlong.data() + overlong.size() - 12);
    // A sequence of undefined length whose one item claims more than the file holds.
    Bytes deep = Build(stretched, Words({0, 100, 200, 50}));
    {
        Bytes seq = {0x08, 0x00, 0x15, 0x11, 'S', 'Q', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                     0xFE, 0xFF, 0x00, 0xE0, 0x00, 0x00, 0x00, 0x40};
        const std::size_t at = 132 + 12 + 14 + 28; // after the meta group
        deep.insert(deep.begin() + static_cast<std::ptrdiff_t>(at), seq.begin(), seq.end());
    }

    constexpr int kAnyRefusal = 1; // the code does not matter, only that it is one
    // The same behind a stray item delimiter, which does not end the data set.
    Bytes delimited = overlong;
    delimited.insert(delimited.begin() + 132 + 12 + 14 + 28, {0xFE, 0xFF, 0x0D, 0xE0, 0, 0, 0, 0});
    // A stray byte inside the meta group, on which GDCM asserts: refused before or by it.
    Bytes stray = Build(stretched, Words({0, 100, 200, 50}));
    stray.insert(stray.begin() + 132 + 12 + 3, 0x00);

    struct Case {
        const char* name;
        Bytes file;
        int rc;
        Bytes want;
        int bpp;
        const char* reason = "";
    };
    const std::vector<Case> cases = {
        {"first window", Build(windowed, Words({0, 100, 200, 50})), kOk, Grey({1, 128, 255, 64}), 16},
        {"min-max stretch", Build(stretched, Words({0, 100, 200, 50})), kOk, Grey({0, 128, 255, 64}), 16},
        {"MONOCHROME1 inverted", Build(inverted, Words({0, 100, 200, 50})), kOk, Grey({255, 127, 0, 191}), 16},
        {"12 bits signed, rescaled", Build(twelve, Words({0xFFFF, 0x0001, 0x0800, 0x07FF})), kOk,
         Grey({127, 128, 0, 255}), 12},
        {"RGB planes", Build(rgb_planar, {255, 0, 0, 10, 0, 255, 0, 20, 0, 0, 255, 30}), kOk,
         {0, 0, 255, 0, 255, 0, 255, 0, 0, 30, 20, 10}, 24},
        {"first of two frames", Build(frames, {0, 255, 255, 0, 9, 9, 9, 9}), kOk, Grey({0, 255, 255, 0}), 8},
        {"pixel data shorter than a frame", Build(stretched, Words({1, 2, 3})), kDataError, {}, 0},
        {"60000 x 60000", Build(huge, {1, 2, 3, 4}), kImageTooLarge, {}, 0},
        // GDCM's assertion ends the helper, not this process.
        {"two samples a pixel", Build(two_samples, Bytes(8, 1)), kDataError, {}, 0, "the DICOM decoder crashed"},
        {"a stray byte in the meta group", stray, kAnyRefusal, {}, 0},
        {"not DICOM", Bytes(300, 0x41), kMagicError, {}, 0},
        {"a length past the end", overlong, kDataError, {}, 0},
        {"an item past the end", deep, kDataError, {}, 0},
        {"a length past the end after a delimiter", delimited, kDataError, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CODEC_CTX ctx;
        const int rc = DecodeDicomGdcm(ctx, c.file);
        if (c.rc == kAnyRefusal) {
            EXPECT_NE(rc, kOk);
            continue;
        }
        ASSERT_EQ(rc, c.rc);
        EXPECT_EQ(ctx.failure_reason, c.reason);
        if (rc != kOk)
            continue;
        EXPECT_EQ(ctx.width, 2);
        EXPECT_EQ(ctx.height, 2);
        EXPECT_EQ(ctx.bits_per_pixel, c.bpp);
        EXPECT_EQ(Bytes(ctx.decoded.data(), ctx.decoded.data() + 12), c.want);
    }
}

TEST(DicomRead, OpensThroughTheDocumentByNameAndByContent)
{
    TempDir dir;
    const Bytes file = Build(Image{}, Words({0, 100, 200, 50}));
    for (const char* name : {"scan.dcm", "scan.DIC", "IM000001"}) {
        SCOPED_TRACE(name);
        const OPENED o = OpenBytes(dir, name, file);
        ASSERT_EQ(o.rc, kOk);
        EXPECT_EQ(o.width, 2);
        EXPECT_EQ(o.bgr, Grey({0, 128, 255, 64}));
    }
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.Open(dir.File("IM000001")), kOk);
    EXPECT_EQ(doc.format_code, kFmtDicom);
}

// Several threads decode at once (the command line's -j, the preload worker, the window):
// each gets what it gets alone, and a helper crashing in one thread costs no other its
// answer.
TEST(DicomRead, SeveralThreadsAtOnce)
{
    Image rgb;
    rgb.pi = "RGB";
    rgb.samples = 3;
    rgb.allocated = rgb.stored = 8;
    rgb.high = 7;
    std::vector<Bytes> files = {Build(Image{}, Words({0, 100, 200, 50})), Build(rgb, Bytes(12, 77))};
    for (const CorpusEntry& e : CorpusEntries("dic"))
        files.push_back(ReadBytes(e.path));
    Image two_samples;
    two_samples.allocated = two_samples.stored = 8;
    two_samples.high = 7;
    two_samples.samples = 2;
    two_samples.pi = "RGB";
    const Bytes crashing = Build(two_samples, Bytes(8, 1));

    const auto decode = [](const Bytes& file, std::string& reason) {
        CODEC_CTX ctx;
        const int rc = DecodeDicomFile(ctx, file);
        reason = ctx.failure_reason;
        Bytes out = {static_cast<std::uint8_t>(-rc)};
        if (rc == kOk)
            out.insert(out.end(), ctx.decoded.data(), ctx.decoded.data() + ctx.RowBytes() * ctx.height);
        return out;
    };
    std::vector<Bytes> alone;
    std::string reason;
    for (const Bytes& f : files)
        alone.push_back(decode(f, reason));

    std::mutex mutex;
    std::vector<std::string> faults;
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < files.size(); ++i) {
                const std::size_t k = (i + t) % files.size();
                std::string why;
                if (decode(files[k], why) != alone[k]) {
                    const std::lock_guard<std::mutex> lock(mutex);
                    faults.push_back("file " + std::to_string(k) + " differs from its decode alone (" + why + ")");
                }
            }
        });
    threads.emplace_back([&] {
        for (int i = 0; i < 4; ++i) {
            std::string why;
            decode(crashing, why);
            if (why != "the DICOM decoder crashed") {
                const std::lock_guard<std::mutex> lock(mutex);
                faults.push_back("the crashing file gave \"" + why + "\"");
            }
        }
    });
    for (std::thread& t : threads)
        t.join();
    EXPECT_TRUE(faults.empty()) << faults.front();
    int status = 0;
    EXPECT_TRUE(waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD) << "a helper was left unreaped";
}

namespace {

// pydicom's pixels, mapped to 8 bits by the rules the reader documents, as a binary PPM.
const char* kPydicomScript = R"(
import io
import sys
import numpy as np
import pydicom
from pydicom.pixel_data_handlers.util import convert_color_space
raw = open(sys.argv[1], 'rb').read()
if raw[128:132] != b'DICM':  # a bare data set, perhaps after a stray byte
    raw = raw[max(raw.find(b'\x08\x00', 0, 5), 0):]
d = pydicom.dcmread(io.BytesIO(raw), force=True)
if 'TransferSyntaxUID' not in d.file_meta:
    explicit = raw[4:6].isalpha() and raw[4:6].isupper()
    d.file_meta.TransferSyntaxUID = (pydicom.uid.ExplicitVRLittleEndian if explicit
                                     else pydicom.uid.ImplicitVRLittleEndian)
a = d.pixel_array
if int(d.get('NumberOfFrames', 1) or 1) > 1:
    a = a[0]
pi = d.PhotometricInterpretation
def first(v):
    if v is None:
        return None
    return float(v[0]) if isinstance(v, pydicom.multival.MultiValue) else float(v)
if d.SamplesPerPixel == 1:
    slope = first(d.get('RescaleSlope')) or 1.0
    y = a.astype(np.float64) * slope + (first(d.get('RescaleIntercept')) or 0.0)
    c, w = first(d.get('WindowCenter')), first(d.get('WindowWidth'))
    if c is not None and w is not None and w >= 1:
        g = np.where(y <= c - 0.5 - (w - 1) / 2, 0.0,
                     np.where(y > c - 0.5 + (w - 1) / 2, 255.0, ((y - (c - 0.5)) / (w - 1) + 0.5) * 255))
    else:
        lo, hi = y.min(), y.max()
        g = (y - lo) * 255 / (hi - lo) if hi > lo else y * 0
    g = np.floor(np.clip(g, 0, 255) + 0.5).astype(np.uint8)
    if pi == 'MONOCHROME1':
        g = 255 - g
    rgb = np.stack([g, g, g], axis=-1)
else:
    if pi in ('YBR_FULL', 'YBR_FULL_422'):
        a = convert_color_space(a, 'YBR_FULL', 'RGB')
    elif d.BitsStored > 8:
        a = a >> (d.BitsStored - 8)
    rgb = a.astype(np.uint8)
h, w = rgb.shape[:2]
sys.stdout.buffer.write(b'P6\n%d %d\n255\n' % (w, h) + rgb.tobytes())
)";

} // namespace

TEST(DicomRead, CorpusMatchesPydicom)
{
    const auto entries = CorpusEntries("dic");
    if (entries.empty())
        GTEST_SKIP() << "needs the sample corpus";
    std::string python;
    for (const char* p : {"/usr/bin/python3", "python3"})
        if (RunCommand(std::string(p) + " -c 'import pydicom, numpy' 2>/dev/null") == 0) {
            python = p;
            break;
        }
    if (python.empty())
        GTEST_SKIP() << "needs pydicom (python3-pydicom)";
    TempDir dir;
    WriteBytes(dir.File("decode.py"), ToBytes(kPydicomScript));
    int compared = 0;
    for (const CorpusEntry& e : entries) {
        if (e.status == "broken")
            continue;
        SCOPED_TRACE(e.file);
        int w = 0, h = 0;
        Bytes want;
        if (!ToolDecode(python + " " + dir.File("decode.py") + " '" + e.path + "' 2>/dev/null", w, h, want))
            continue; // pydicom lacks a decoder for this one (12-bit JPEG)
        const OPENED o = OpenFile(e.path);
        ASSERT_EQ(o.rc, kOk);
        ASSERT_EQ(o.width, w);
        ASSERT_EQ(o.height, h);
        ASSERT_EQ(o.bgr.size(), want.size());
        int worst = 0;
        for (std::size_t i = 0; i < want.size(); ++i)
            worst = std::max(worst, std::abs(int(o.bgr[i]) - int(want[i])));
        EXPECT_LE(worst, 2);
        ++compared;
    }
    EXPECT_GE(compared, 10);
}
