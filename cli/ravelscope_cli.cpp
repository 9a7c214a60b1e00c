// ravelscope-cli: the headless front of the image document.
//
//   ravelscope-cli info FILE...                  one line of facts per file; an MPEG audio
//                                                file adds its frame and tag facts on
//                                                indented lines
//   ravelscope-cli convert [OP...] IN OUT        open IN, apply the operations in order,
//                                                write OUT in the format of its extension
//                                                (JPEG, WebP, AVIF and JPEG XL at --quality N,
//                                                1 to 100, default 90)
//   ravelscope-cli convert [OP...] IN... -o DIR --to EXT [-j N]
//                                                the same for many files, on N threads
//   ravelscope-cli histogram FILE                mean, standard deviation and median of
//                                                each channel
//   ravelscope-cli bench DIR [--count N] [--csv FILE]
//                                                the batch dialog's decode-timing run over
//                                                DIR's files, then a summary per format
//
// Options may stand before or after the command and the file names; "--" ends them.
// --verbose shows the library's diagnostic lines on stderr.
// Results go to stdout, failures to stderr. Exit status: 0 success, 1 a file failed,
// 2 bad usage.
#include "audio/Mp3info.h"
#include "core/Commit_edit.h"
#include "core/Diagnostics.h"
#include "core/Imageinfo.h"
#include "core/Replace_file.h"
#include "core/Result_codes.h"
#include "dialogs/logic/Decode_run.h"
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

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

const char kUsage[] =
    "usage: ravelscope-cli info FILE...\n"
    "       ravelscope-cli convert [OPERATION...] IN OUT\n"
    "       ravelscope-cli convert [OPERATION...] IN... -o DIR --to EXT [-j N]\n"
    "       ravelscope-cli histogram FILE\n"
    "       ravelscope-cli bench DIR [--count N] [--csv FILE]\n"
    "       ravelscope-cli --help | --version\n"
    "operations, applied in order: --gamma G, --solarize T, --equalize, --background RRGGBB,\n"
    "--rotate ANGLE, --edge, --median N, --pixelate N, --explode N, --mirror, --flip,\n"
    "--rotate-left, --rotate-right, --negative, --grayscale, --reduce-colors, --swap RBG|BGR|BRG|GRB|GBR\n"
    "OUT's extension (or EXT) picks the format: .bmp .dcx .gif .jpg .pat .pcx .png .pgm .ppm .sun\n"
    ".tga .tif .xwd .webp .avif .jxl (any case).\n"
    "--quality N            convert: the lossy writers' quality, 1 (smallest) to 100 (best); default 90\n"
    "--lossless             convert: WebP, AVIF and JPEG XL keep every pixel\n"
    "-o DIR, --output DIR   write each IN as DIR/<name of IN without extension>.EXT\n"
    "--to EXT               the output format of -o\n"
    "-j N, --jobs N         convert N files at a time (default: one per processor)\n"
    "--count N              bench: loads of the run, wrapping around DIR's files (default 1000)\n"
    "--csv FILE             bench: save the per-format summary as CSV\n"
    "--verbose              diagnostics of the readers and writers on stderr\n"
    "Options may come before or after the file names; \"--\" ends the options.\n";

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

int BadUsage(const std::string& why)
{
    std::fprintf(stderr, "ravelscope-cli: %s\n", why.c_str());
    return Usage();
}

void Fail(const std::string& path, int rc, int sys_error = 0)
{
    std::fprintf(stderr, "%s: %s\n", path.c_str(), ResultTextWithReason(rc, sys_error).c_str());
}

// An open or save that failed, with the reason the reader or writer gave.
void Fail(const std::string& path, int rc, const std::string& reason)
{
    std::fprintf(stderr, "%s: %s\n", path.c_str(), ResultTextWithReason(rc, reason).c_str());
}

// The command line, taken apart.
struct Step {
    const Operation* op;
    std::vector<std::string> args;
};

struct CommandLine {
    bool help = false;
    bool version = false;
    bool verbose = false; // diagnostics on stderr
    std::string command;
    std::vector<std::string> files;
    std::vector<Step> steps;
    bool has_output_dir = false;
    std::string output_dir;
    std::string to; // output extension of a batch, without its dot
    int jobs = 0;   // 0: one per processor
    std::int32_t count = 0; // loads of a bench run; 0: kRunLoads
    std::string csv;        // where bench saves its summary
    std::int32_t quality = 0; // convert: the lossy writers' quality; 0: the default
    bool lossless = false;    // convert: the writers that can keep every pixel do
};

const Operation* FindOperation(const std::string& word)
{
    for (const Operation& op : Operations())
        if (word == op.option)
            return &op;
    return nullptr;
}

// Parses the words after the program's name. Returns 0, or 2 after a message on stderr.
int ParseCommandLine(int argc, char** argv, CommandLine& cl)
{
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (options_done || word.size() < 2 || word[0] != '-') {
            if (cl.command.empty())
                cl.command = word;
            else
                cl.files.push_back(word);
            continue;
        }
        if (word == "--") {
            options_done = true;
            continue;
        }
        if (word == "-h" || word == "--help") {
            cl.help = true;
            continue;
        }
        if (word == "--version") {
            cl.version = true;
            continue;
        }
        if (word == "--verbose") {
            cl.verbose = true;
            continue;
        }
        if (word == "--lossless") {
            cl.lossless = true;
            continue;
        }
        // Options with a value take it from the next word, or after "=" ("--to=png", "-j4").
        std::string name = word, value;
        bool inline_value = false;
        if (const std::size_t eq = word.find('='); word.starts_with("--") && eq != std::string::npos) {
            name = word.substr(0, eq);
            value = word.substr(eq + 1);
            inline_value = true;
        } else if ((word.starts_with("-j") || word.starts_with("-o")) && word.size() > 2) {
            name = word.substr(0, 2);
            value = word.substr(2);
            inline_value = true;
        }
        if (name == "-o" || name == "--output" || name == "--to" || name == "-j" || name == "--jobs"
            || name == "--count" || name == "--csv" || name == "--quality") {
            if (!inline_value) {
                if (i + 1 >= argc)
                    return BadUsage(name + " needs a value");
                value = argv[++i];
            }
            if (name == "--to") {
                cl.to = value.starts_with('.') ? value.substr(1) : value;
            } else if (name == "--count") {
                if (!ParseInt(value, 1, 100000000, cl.count))
                    return BadUsage("--count takes a number of loads from 1 to 100000000");
            } else if (name == "--quality") {
                if (!ParseInt(value, 1, 100, cl.quality))
                    return BadUsage("--quality takes a number from 1 to 100");
            } else if (name == "--csv") {
                if (value.empty())
                    return BadUsage("--csv needs a file name");
                cl.csv = value;
            } else if (name == "-j" || name == "--jobs") {
                std::int32_t n = 0;
                if (!ParseInt(value, 1, 1024, n))
                    return BadUsage(name + " takes a number of jobs from 1 to 1024");
                cl.jobs = n;
            } else {
                cl.has_output_dir = true;
                cl.output_dir = value;
            }
            continue;
        }
        const Operation* op = FindOperation(word);
        if (op == nullptr || i + op->arguments >= argc)
            return BadUsage("unknown or incomplete operation " + word);
        cl.steps.push_back({op, std::vector<std::string>(argv + i + 1, argv + i + 1 + op->arguments)});
        i += op->arguments;
    }
    return 0;
}

int Histogram(TIMAGE_INFO& doc, const std::vector<std::string>& files)
{
    if (files.size() != 1)
        return Usage();
    const std::string& path = files[0];
    int rc = doc.Open(path);
    if (rc == kOk && doc.state != kPictureOpen)
        rc = kFormatNotSupported;
    Dib* pic = rc == kOk ? EditTarget(doc) : nullptr;
    if (rc == kOk && pic == nullptr)
        rc = kDataError;
    if (rc != kOk) {
        Fail(path, rc, doc.context->failure_reason);
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

// The frame and tag facts of an MPEG audio file on indented lines under its info line;
// false (after a message) when the file cannot be read as a regular file.
bool PrintMp3Facts(const std::string& path)
{
    CMP3INFO mp3;
    if (mp3.Parse(path) == 0) {
        std::fprintf(stderr, "%s: %s (not a readable regular file)\n", path.c_str(), ResultText(kOpenFileError));
        return false;
    }
    static const char* const kChannels[4] = {"stereo", "joint stereo", "dual channel", "single channel"};
    if (mp3.flags & CMP3INFO::kHasFrames)
        std::printf("  %s layer %d, %d kbit/s, %d Hz, %s, %u frames, %d:%02d (%d s)\n",
                    MpegVersionName(mp3.version_code), mp3.layer, mp3.bit_rate, mp3.sample_rate,
                    kChannels[mp3.channel_mode & 3], mp3.frame_count, mp3.length / 60, mp3.length % 60, mp3.length);
    else
        std::printf("  no MPEG audio frames\n");
    if (mp3.flags & CMP3INFO::kHasTag) {
        const std::string genre = mp3.GenreName()[0] != '\0' ? std::string(" (") + mp3.GenreName() + ")" : "";
        std::printf("  title \"%s\", artist \"%s\", album \"%s\", year \"%s\", comment \"%s\", track %d, genre %d%s\n",
                    TextAsUtf8(mp3.title).c_str(), TextAsUtf8(mp3.artist).c_str(), TextAsUtf8(mp3.album).c_str(),
                    TextAsUtf8(mp3.year).c_str(), TextAsUtf8(mp3.comment).c_str(), mp3.track, mp3.genre,
                    genre.c_str());
    } else {
        std::printf("  no ID3v1 tag\n");
    }
    return true;
}

// The facts a file carries beside its size and depth, on an indented line, for the formats
// that state them and for animations and pictures with a colour profile.
void PrintPictureFacts(const TIMAGE_INFO& doc)
{
    const TIMAGE_INFO::PICTURE_FACTS& f = doc.facts;
    const bool modern = doc.format_code == kFmtWebp || doc.format_code == kFmtAvif || doc.format_code == kFmtHeif ||
                        doc.format_code == kFmtJxl || doc.format_code == kFmtApng;
    if (!modern && f.frame_count < 2 && f.icc_bytes == 0)
        return;
    std::string line = "  ";
    if (f.bits_per_sample > 0)
        line += std::to_string(f.bits_per_sample) + " bits a sample, ";
    line += f.alpha ? "alpha" : "no alpha";
    if (f.frame_count > 0) {
        char buf[96];
        std::snprintf(buf, sizeof buf, ", %d frames, %lld.%03lld s, ", f.frame_count,
                      static_cast<long long>(f.duration_ms / 1000), static_cast<long long>(f.duration_ms % 1000));
        line += buf;
        line += f.loop_count == 0 ? "loops forever" : f.loop_count < 0 ? "loops unknown"
                                                    : "plays " + std::to_string(f.loop_count) + " times";
    }
    line += f.icc_bytes > 0 ? ", ICC profile, " + std::to_string(f.icc_bytes) + " bytes" : ", no ICC profile";
    const CODEC_CTX::PICTURE_META& m = doc.context->meta;
    if (m.colour_primaries >= 0)
        line += ", colour primaries " + std::to_string(m.colour_primaries) + ", transfer " +
                std::to_string(m.transfer_characteristics) + ", matrix " + std::to_string(m.matrix_coefficients) +
                (m.full_range ? ", full range" : ", limited range");
    std::printf("%s\n", line.c_str());
}

int Info(TIMAGE_INFO& doc, const std::vector<std::string>& files)
{
    if (files.empty())
        return Usage();
    int status = 0;
    for (const std::string& path : files) {
        const int rc = doc.Open(path);
        if (rc != kOk) {
            Fail(path, rc, doc.context->failure_reason);
            status = 1;
            continue;
        }
        if (doc.state == kMediaOpen) {
            std::printf("%s: %s media file, %lld bytes\n", path.c_str(), FormatName(doc.format_code),
                        static_cast<long long>(doc.file_size));
            if (doc.format_code == kFmtMp3 && !PrintMp3Facts(path))
                status = 1;
            continue;
        }
        std::printf("%s: %s %d x %d, bpp: %d, compression: %s, %lld bytes, %d ms\n", path.c_str(),
                    FormatName(doc.format_code), doc.display_width, doc.display_height, doc.bits_per_pixel,
                    doc.context->compression_name.c_str(), static_cast<long long>(doc.file_size),
                    doc.last_load_time);
        PrintPictureFacts(doc);
    }
    return status;
}

// The decode-timing run over a directory, from its first file: the run's log, then one line
// a format. A failed open ends the run as in the dialog and makes the status 1.
int Bench(TIMAGE_INFO& doc, const CommandLine& cl)
{
    if (cl.files.size() != 1)
        return BadUsage("bench needs one directory");
    const std::string dir = AbsolutePath(cl.files[0]);
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !doc.BuildFileList(dir)) {
        Fail(cl.files[0], kOpenFileError);
        return 1;
    }
    KEEPING_RUN_OPENER opener;
    STEADY_RUN_CLOCK clock;
    DECODE_RUN run(doc, opener, clock, cl.count > 0 ? cl.count : kRunLoads);
    if (run.Start()) {
        while (!run.Ended()) {
            const std::size_t before = run.Log().size();
            run.Step();
            for (std::size_t i = before; i < run.Log().size(); ++i)
                std::printf("%s\n", run.Log()[i].c_str());
        }
    }
    const std::vector<FORMAT_SUMMARY> summary = SummariseRun(run.Loads());
    std::printf("%d loads of %zu files\n", run.Loaded(), doc.file_list.size());
    for (const FORMAT_SUMMARY& r : summary)
        std::printf("%s: %d files, %d loads, mean %.3f ms, median %.3f ms, %.3f megapixels/s\n", r.format.c_str(),
                    r.files, r.loads, r.mean_ms, r.median_ms, r.megapixels_per_second);
    int status = 0;
    std::fflush(stdout); // the failure follows the log when both go to one file
    if (run.FailedCode() != kOk) {
        std::fprintf(stderr, "%s: %s\n", run.FailedPath().c_str(), run.FailedText().c_str());
        status = 1;
    }
    if (!cl.csv.empty()) {
        int sys_error = 0;
        if (const int rc = SaveSummaryCsv(cl.csv, summary, &sys_error); rc != kOk) {
            Fail(cl.csv, rc, sys_error);
            status = 1;
        }
    }
    return status;
}

// Opens in, applies the steps and saves out with the writer of save_code. Returns kOk,
// or fills message with the line that says what failed.
int ConvertOne(TIMAGE_INFO& doc, const CommandLine& cl, const std::string& in, const std::string& out,
               std::int32_t save_code, std::string& message)
{
    const std::vector<Step>& steps = cl.steps;
    // JPEG, WebP, AVIF and JPEG XL take the quality from the document (PrepareSave).
    doc.save_quality = cl.quality != 0 ? cl.quality : 90;
    // A plain conversion to a writer that reads only the display bitmap lets the reader
    // decode straight into it: one picture-sized buffer instead of two.
    doc.direct_decode = steps.empty() && SaveReadsDisplay(save_code) ? 1 : 0;
    doc.edited = 0;
    int rc = doc.Open(in);
    if (rc == kOk && doc.state != kPictureOpen)
        rc = kFormatNotSupported; // a media file has no picture to convert
    if (rc != kOk) {
        message = in + ": " + ResultTextWithReason(rc, doc.context->failure_reason);
        return rc;
    }
    for (const Step& s : steps)
        if (rc = s.op->apply(doc, s.args); rc != kOk) {
            message = in + ": " + s.op->option + " failed: " + ResultText(rc);
            return rc;
        }
    rc = PrepareSave(doc, save_code, out);
    doc.context->lossless = cl.lossless;
    if (rc == kOk)
        rc = doc.Save();
    if (rc == kFormatNotSupported) {
        message = out + ": this build has no " + SaveFormatName(save_code) + " writer (" + ResultText(rc) + ")";
        return rc;
    }
    if (rc != kOk) {
        message = out + ": " + ResultTextWithReason(rc, doc.context->failure_reason);
        return rc;
    }
    doc.edited = 0;
    return kOk;
}

int ConvertSingle(TIMAGE_INFO& doc, const CommandLine& cl)
{
    if (cl.files.size() != 2)
        return BadUsage(cl.files.size() > 2 ? "several inputs need -o DIR and --to EXT" : "convert needs IN and OUT");
    if (!cl.to.empty())
        return BadUsage("--to needs -o DIR");
    const std::string& in = cl.files[0];
    const std::string& out = cl.files[1];
    const std::int32_t save_code = SaveCodeForExtension(ExtensionOf(out));
    if (save_code == 0) {
        std::fprintf(stderr, "ravelscope-cli: %s: unknown output format\n", out.c_str());
        return Usage();
    }
    std::string message;
    if (ConvertOne(doc, cl, in, out, save_code, message) != kOk) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    return 0;
}

// Processors this process may run on.
int ProcessorCount()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// The name part of a path without its extension.
std::string StemOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string ext = ExtensionOf(name);
    return name.substr(0, name.size() - ext.size());
}

// Converts every input into the output directory on several threads, each with a document
// of its own (the library keeps no state shared between documents). Failures are reported
// as they happen and counted; a terminal sees a progress line.
int ConvertBatch(const CommandLine& cl)
{
    if (cl.files.empty())
        return BadUsage("convert -o DIR needs at least one input");
    if (cl.to.empty())
        return BadUsage("convert -o DIR needs --to EXT");
    const std::int32_t save_code = SaveCodeForExtension("." + cl.to);
    if (save_code == 0) {
        std::fprintf(stderr, "ravelscope-cli: --to %s: unknown output format\n", cl.to.c_str());
        return Usage();
    }
    const std::string dir = cl.output_dir.empty() ? "." : cl.output_dir;
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0 && mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "%s: %s\n", dir.c_str(), std::strerror(errno));
        return 1;
    }
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "%s: not a directory\n", dir.c_str());
        return 1;
    }

    // Two inputs of one name would write one output: the later ones are refused.
    const std::size_t n = cl.files.size();
    std::vector<std::string> outputs(n);
    std::vector<std::string> clash(n);
    std::map<std::string, std::size_t> first_of;
    for (std::size_t i = 0; i < n; ++i) {
        outputs[i] = (dir.ends_with('/') ? dir : dir + "/") + StemOf(cl.files[i]) + "." + cl.to;
        auto [it, fresh] = first_of.emplace(outputs[i], i);
        if (!fresh)
            clash[i] = outputs[i] + ": also the output of " + cl.files[it->second] + "; " + cl.files[i] + " skipped";
    }

    const bool progress = isatty(STDERR_FILENO) == 1;
    std::mutex report;
    std::atomic<std::size_t> next{0};
    std::size_t done = 0, failed = 0;
    auto last_draw = std::chrono::steady_clock::time_point{};
    auto draw = [&](bool force) { // under the report lock
        const auto now = std::chrono::steady_clock::now();
        if (!progress || (!force && now - last_draw < std::chrono::milliseconds(100)))
            return;
        last_draw = now;
        std::fprintf(stderr, "\r\033[K%zu/%zu converted, %zu failed", done - failed, n, failed);
        std::fflush(stderr);
    };
    auto finish = [&](const std::string& message) {
        std::lock_guard<std::mutex> lock(report);
        ++done;
        if (!message.empty()) {
            ++failed;
            if (progress)
                std::fputs("\r\033[K", stderr);
            std::fprintf(stderr, "%s\n", message.c_str());
            draw(true);
        } else {
            draw(done == n);
        }
    };
    auto work = [&] {
        TIMAGE_INFO doc;
        for (std::size_t i = next++; i < n; i = next++) {
            std::string message = clash[i];
            if (message.empty() && ConvertOne(doc, cl, cl.files[i], outputs[i], save_code, message) == kOk)
                message.clear();
            finish(message);
        }
    };
    const int jobs = static_cast<int>(std::min<std::size_t>(n, static_cast<std::size_t>(cl.jobs > 0 ? cl.jobs : ProcessorCount())));
    std::vector<std::thread> threads;
    try {
        for (int t = 1; t < jobs; ++t)
            threads.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer threads than asked for: the ones there are share the files.
    }
    work();
    for (std::thread& t : threads)
        t.join();
    if (progress)
        std::fputs("\r\033[K", stderr);
    std::printf("%zu converted, %zu failed\n", n - failed, failed);
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    CommandLine cl;
    if (int rc = ParseCommandLine(argc, argv, cl); rc != 0)
        return rc;
    if (cl.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (cl.version) {
        std::printf("ravelscope-cli %s\n", RAVELSCOPE_VERSION);
        return 0;
    }
    if (cl.verbose)
        SetDiagnosticSink(DiagnoseToStderr);
    if (cl.command.empty())
        return Usage();
    if (!cl.steps.empty() && cl.command != "convert")
        return BadUsage("operations apply to convert only");
    if ((cl.has_output_dir || !cl.to.empty() || cl.jobs != 0) && cl.command != "convert")
        return BadUsage("-o, --to and -j apply to convert only");
    if ((cl.quality != 0 || cl.lossless) && cl.command != "convert")
        return BadUsage("--quality and --lossless apply to convert only");
    if ((cl.count != 0 || !cl.csv.empty()) && cl.command != "bench")
        return BadUsage("--count and --csv apply to bench only");
    if (cl.command == "convert" && cl.has_output_dir)
        return ConvertBatch(cl);
    TIMAGE_INFO doc;
    pImageInfo = &doc;
    int status = 2;
    if (cl.command == "info")
        status = Info(doc, cl.files);
    else if (cl.command == "histogram")
        status = Histogram(doc, cl.files);
    else if (cl.command == "convert")
        status = ConvertSingle(doc, cl);
    else if (cl.command == "bench")
        status = Bench(doc, cl);
    else
        status = BadUsage("unknown command " + cl.command);
    pImageInfo = nullptr;
    return status;
}
