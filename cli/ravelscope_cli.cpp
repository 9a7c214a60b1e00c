// ravelscope-cli: the headless front of the image document.
//
//   ravelscope-cli info FILE...        one line of facts per file
//   ravelscope-cli convert [OP...] IN OUT  open IN, apply the operations in order, write OUT
//                                          in the format of its extension
//   ravelscope-cli histogram FILE      mean, standard deviation and median of each channel
//
// --verbose, anywhere on the line, shows the library's diagnostic lines on stderr.
// Results go to stdout, failures to stderr. Exit status: 0 success, 1 a file failed,
// 2 bad usage.
#include "core/Commit_edit.h"
#include "core/Diagnostics.h"
#include "core/Imageinfo.h"
#include "core/Result_codes.h"
#include "ops/Edgedetection.h"
#include "ops/Explssn.h"
#include "ops/Hist_equal.h"
#include "ops/Medfltr.h"
#include "ops/Ops_common.h"
#include "ops/Pixel_commands.h"
#include "ops/Pixelize.h"
#include "ops/Rcd.h"
#include "ops/Rotation.h"
#include "ops/Solarized.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kUsage[] =
    "usage: ravelscope-cli info FILE...\n"
    "       ravelscope-cli convert [OPERATION...] IN OUT\n"
    "       ravelscope-cli histogram FILE\n"
    "operations, applied in order: --gamma G, --solarize T, --equalize, --background RRGGBB,\n"
    "--rotate ANGLE, --edge, --median N, --pixelate N, --explode N, --mirror, --flip,\n"
    "--rotate-left, --rotate-right, --negative, --grayscale, --reduce-colors, --swap RBG|BGR|BRG|GRB|GBR\n"
    "OUT's extension picks the format: .bmp .dcx .gif .jpg .pat .pcx .png .pgm .ppm .sun .tga\n"
    ".tif .xwd (any case).\n"
    "--verbose, anywhere on the line, shows the readers' and writers' diagnostic lines on stderr.\n";

// An edit applied to the open picture between open and save.
struct Operation {
    const char* option; // "--name"
    int arguments;      // how many words follow it
    std::function<int(TIMAGE_INFO&, const std::vector<std::string>&)> apply;
};

using Args = std::vector<std::string>;

// Parses a whole decimal number; false when the word is not one.
bool ParseInt(const std::string& word, long lo, long hi, std::int32_t& out)
{
    char* end = nullptr;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || v < lo || v > hi)
        return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

bool ParseDouble(const std::string& word, double& out)
{
    char* end = nullptr;
    out = std::strtod(word.c_str(), &end);
    return !word.empty() && *end == '\0' && out == out;
}

// The display bitmap at 24 bits, ready to be edited.
Dib* EditTarget(TIMAGE_INFO& doc)
{
    if (!doc.display || doc.display->Empty())
        return nullptr;
    if (doc.display->PixelFormat() != 24 && doc.display->SetPixelFormat(24) != kOk)
        return nullptr;
    return doc.display.get();
}

// Commits an edit of the display bitmap. The command line never goes back to the picture
// as read, so the first edit takes over the decoded pixel buffer as the working one: its
// memory is already faulted in, where a fresh buffer of the same size would cost the
// kernel a page fault and a zero fill for each of its pages.
int Commit(TIMAGE_INFO& doc)
{
    if (doc.context && doc.edited == 0 && doc.context->work.capacity() == 0)
        std::swap(doc.context->work, doc.context->decoded);
    return CommitEdit(doc);
}

// Runs an operation from the display bitmap into a temporary one, which then becomes the
// display bitmap, and commits the edit.
int ThroughTemporary(TIMAGE_INFO& doc, const std::function<int(const Dib&, Dib&)>& op)
{
    Dib* pic = EditTarget(doc);
    if (pic == nullptr)
        return kDataError;
    auto out = std::make_unique<Dib>();
    if (const int rc = op(*pic, *out); rc != kOk)
        return rc;
    doc.display = std::move(out);
    return Commit(doc);
}

// Runs an in-place operation on the display bitmap and commits the edit.
int InPlace(TIMAGE_INFO& doc, const std::function<int(Dib&)>& op)
{
    Dib* pic = EditTarget(doc);
    if (pic == nullptr)
        return kDataError;
    if (const int rc = op(*pic); rc != kOk)
        return rc;
    return Commit(doc);
}

// The same for operations that cannot fail.
int InPlace(TIMAGE_INFO& doc, void (*op)(Dib&))
{
    return InPlace(doc, [op](Dib& p) {
        op(p);
        return kOk;
    });
}

// Reduces the picture to at most 256 colours and shows the reduced picture.
int ReduceColors(TIMAGE_INFO& doc)
{
    if (EditTarget(doc) == nullptr)
        return kDataError;
    if (int rc = Commit(doc); rc != kOk) // the reduction reads the working pixel buffer
        return rc;
    CODEC_CTX& ctx = *doc.context;
    TRCD rcd;
    if (int rc = rcd.ReduceColorDepth(ctx); rc != kOk)
        return rc;
    Dib& pic = *doc.display;
    const std::uint8_t* index = ctx.index.data();
    for (int y = 0; y < pic.Height(); ++y) {
        std::uint8_t* p = pic.ScanLine(y);
        for (int x = 0; x < pic.Width(); ++x, p += 3, ++index)
            std::memcpy(p, ctx.palette + 3 * *index, 3);
    }
    return Commit(doc);
}

// Operations that convert offers; each returns a result code.
const std::vector<Operation>& Operations()
{
    static const std::vector<Operation> ops = {
        {"--gamma", 1,
         [](TIMAGE_INFO& doc, const Args& a) -> int {
             double g = 0;
             if (!ParseDouble(a[0], g) || g < 0.0 || g > 100.0)
                 return kDataError;
             // Table operations work in place: no second picture-sized bitmap to fault in.
             return InPlace(doc, [g](Dib& p) { return GammaCorrect(p, p, g); });
         }},
        {"--solarize", 1,
         [](TIMAGE_INFO& doc, const Args& a) -> int {
             std::int32_t t = 0;
             if (!ParseInt(a[0], 0, 256, t))
                 return kDataError;
             return InPlace(doc, [t](Dib& p) {
                 Solarize(p, p, t);
                 return kOk;
             });
         }},
        {"--equalize", 0,
         [](TIMAGE_INFO& doc, const Args&) -> int {
             return InPlace(doc, [](Dib& p) { return EqualizeHistogram(p, p); });
         }},
        {"--rotate", 1,
         [](TIMAGE_INFO& doc, const Args& a) -> int {
             double angle = 0;
             if (!ParseDouble(a[0], angle) || angle < -3600.0 || angle > 3600.0)
                 return kDataError;
             const std::uint8_t bg[3] = {static_cast<std::uint8_t>(doc.fill_colour & 0xFF),
                                         static_cast<std::uint8_t>((doc.fill_colour >> 8) & 0xFF),
                                         static_cast<std::uint8_t>((doc.fill_colour >> 16) & 0xFF)};
             return ThroughTemporary(doc, [&](const Dib& s, Dib& d) { return RotateBitmap(s, d, angle, bg); });
         }},
        {"--background", 1,
         [](TIMAGE_INFO& doc, const Args& a) -> int {
             // RRGGBB; kept as blue, green, red in pixel order.
             char* end = nullptr;
             const unsigned long rgb = std::strtoul(a[0].c_str(), &end, 16);
             if (a[0].size() != 6 || *end != '\0')
                 return kDataError;
             doc.fill_colour = static_cast<std::uint32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
             return kOk;
         }},
        {"--edge", 0,
         [](TIMAGE_INFO& doc, const Args&) -> int {
             return ThroughTemporary(doc, [](const Dib& s, Dib& d) -> int {
                 // The edge picture's frame keeps the white of a new bitmap.
                 if (const int rc = d.SetSize(s.Width(), s.Height(), 24); rc != kOk)
                     return rc;
                 FillBitmap(d, 255, 255, 255);
                 DetectEdges(s, d);
                 return kOk;
             });
         }},
        {"--median", 1,
         [](TIMAGE_INFO& doc, const Args& a) -> int {
             std::int32_t n = 0;
             if (!ParseInt(a[0], 1, 255, n))
                 return kDataError;
             return ThroughTemporary(doc, [n](const Dib& s, Dib& d) { return MedianFilter(s, d, n); });
         }},
        {"--pixelate", 1,
         [](TIMAGE_INFO& doc, const Args& a) -> int {
             std::int32_t n = 0;
             if (!ParseInt(a[0], 1, 1 << 20, n))
                 return kDataError;
             return ThroughTemporary(doc, [n](const Dib& s, Dib& d) { return Pixelate(s, d, n); });
         }},
        {"--explode", 1,
         [](TIMAGE_INFO& doc, const Args& a) -> int {
             std::int32_t n = 0;
             if (!ParseInt(a[0], 1, 255, n))
                 return kDataError;
             return ThroughTemporary(doc, [n](const Dib& s, Dib& d) { return Explode(s, d, n); });
         }},
        {"--mirror", 0, [](TIMAGE_INFO& doc, const Args&) -> int { return InPlace(doc, Mirror); }},
        {"--flip", 0, [](TIMAGE_INFO& doc, const Args&) -> int { return InPlace(doc, FlipVertical); }},
        {"--rotate-left", 0,
         [](TIMAGE_INFO& doc, const Args&) -> int {
             return ThroughTemporary(doc, [](const Dib& s, Dib& d) { return RotateLeft(s, d); });
         }},
        {"--rotate-right", 0,
         [](TIMAGE_INFO& doc, const Args&) -> int {
             return ThroughTemporary(doc, [](const Dib& s, Dib& d) { return RotateRight(s, d); });
         }},
        {"--reduce-colors", 0, [](TIMAGE_INFO& doc, const Args&) -> int { return ReduceColors(doc); }},
        {"--negative", 0, [](TIMAGE_INFO& doc, const Args&) -> int { return InPlace(doc, Negative); }},
        {"--grayscale", 0, [](TIMAGE_INFO& doc, const Args&) -> int { return InPlace(doc, GrayScale); }},
        {"--swap", 1,
         [](TIMAGE_INFO& doc, const Args& a) -> int {
             int order[3];
             if (!SwapOrder(a[0].c_str(), order))
                 return kDataError;
             return InPlace(doc, [&order](Dib& p) {
                 SwapChannels(p, order);
                 return kOk;
             });
         }},
    };
    return ops;
}

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

void Fail(const std::string& path, int rc)
{
    std::fprintf(stderr, "%s: %s\n", path.c_str(), ResultText(rc));
}

int Histogram(TIMAGE_INFO& doc, int argc, char** argv)
{
    if (argc != 1)
        return Usage();
    const std::string path = argv[0];
    int rc = doc.Open(path);
    if (rc == kOk && doc.state != kPictureOpen)
        rc = kFormatNotSupported;
    Dib* pic = rc == kOk ? EditTarget(doc) : nullptr;
    if (rc == kOk && pic == nullptr)
        rc = kDataError;
    if (rc != kOk) {
        Fail(path, rc);
        return 1;
    }
    ChannelStatistics stats[3];
    ComputeStatistics(*pic, stats);
    static const char* const kNames[3] = {"red", "green", "blue"};
    for (int c = 0; c < 3; ++c)
        std::printf("%s: mean %d, std. dev. %d, median %d\n", kNames[c], stats[c].mean, stats[c].std_dev,
                    stats[c].median);
    return 0;
}

int Info(TIMAGE_INFO& doc, int argc, char** argv)
{
    if (argc < 1)
        return Usage();
    int status = 0;
    for (int i = 0; i < argc; ++i) {
        const std::string path = argv[i];
        const int rc = doc.Open(path);
        if (rc != kOk) {
            Fail(path, rc);
            status = 1;
            continue;
        }
        if (doc.state == kMediaOpen) {
            std::printf("%s: %s media file, %lld bytes\n", path.c_str(), FormatName(doc.format_code),
                        static_cast<long long>(doc.file_size));
            continue;
        }
        std::printf("%s: %s %d x %d, bpp: %d, compression: %s, %lld bytes, %d ms\n", path.c_str(),
                    FormatName(doc.format_code), doc.display_width, doc.display_height, doc.bits_per_pixel,
                    doc.context->compression_name.c_str(), static_cast<long long>(doc.file_size),
                    doc.last_load_time);
    }
    return status;
}

int Convert(TIMAGE_INFO& doc, int argc, char** argv)
{
    struct Step {
        const Operation* op;
        std::vector<std::string> args;
    };
    std::vector<Step> steps;
    int i = 0;
    while (i < argc && std::strncmp(argv[i], "--", 2) == 0) {
        const Operation* found = nullptr;
        for (const Operation& op : Operations())
            if (std::strcmp(op.option, argv[i]) == 0)
                found = &op;
        if (found == nullptr || i + found->arguments >= argc) {
            std::fprintf(stderr, "ravelscope-cli: unknown or incomplete operation %s\n", argv[i]);
            return Usage();
        }
        steps.push_back({found, std::vector<std::string>(argv + i + 1, argv + i + 1 + found->arguments)});
        i += 1 + found->arguments;
    }
    if (argc - i != 2)
        return Usage();
    const std::string in = argv[i];
    const std::string out = argv[i + 1];
    const std::int32_t save_code = SaveCodeForExtension(ExtensionOf(out));
    if (save_code == 0) {
        std::fprintf(stderr, "ravelscope-cli: %s: unknown output format\n", out.c_str());
        return Usage();
    }
    // A plain conversion to a writer that reads only the display bitmap lets the reader
    // decode straight into it: one picture-sized buffer instead of two.
    doc.direct_decode = steps.empty() && SaveReadsDisplay(save_code) ? 1 : 0;
    int rc = doc.Open(in);
    if (rc == kOk && doc.state != kPictureOpen)
        rc = kFormatNotSupported; // a media file has no picture to convert
    if (rc != kOk) {
        Fail(in, rc);
        return 1;
    }
    for (const Step& s : steps)
        if (rc = s.op->apply(doc, s.args); rc != kOk) {
            std::fprintf(stderr, "%s: %s failed: %s\n", in.c_str(), s.op->option, ResultText(rc));
            return 1;
        }
    rc = PrepareSave(doc, save_code, out);
    if (rc == kOk)
        rc = doc.Save();
    if (rc == kFormatNotSupported) {
        std::fprintf(stderr, "%s: this build has no %s writer (%s)\n", out.c_str(), SaveFormatName(save_code),
                     ResultText(rc));
        return 1;
    }
    if (rc != kOk) {
        Fail(out, rc);
        return 1;
    }
    doc.edited = 0;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    const auto verbose = std::remove_if(args.begin() + 1, args.end(),
                                        [](const char* a) { return std::strcmp(a, "--verbose") == 0; });
    if (verbose != args.end())
        SetDiagnosticSink(DiagnoseToStderr);
    args.erase(verbose, args.end());
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    if (argc < 2)
        return Usage();
    TIMAGE_INFO doc;
    pImageInfo = &doc;
    const std::string command = argv[1];
    int status = 2;
    if (command == "info")
        status = Info(doc, argc - 2, argv + 2);
    else if (command == "histogram")
        status = Histogram(doc, argc - 2, argv + 2);
    else if (command == "convert")
        status = Convert(doc, argc - 2, argv + 2);
    else
        status = Usage();
    pImageInfo = nullptr;
    return status;
}
