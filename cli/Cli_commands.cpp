#include "cli/Cli_commands.h"

#include "audio/Mp3info.h"
#include "core/Imageinfo.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"
#include "dialogs/logic/Decode_run.h"
#include "ops/Hist_equal.h"

#include <sys/stat.h>

#include <cstdio>

namespace {

void Fail(const std::string& path, int rc, int sys_error = 0)
{
    std::fprintf(stderr, "%s: %s\n", path.c_str(), ResultTextWithReason(rc, sys_error).c_str());
}

// An open or save that failed, with the reason the reader or writer gave.
void Fail(const std::string& path, int rc, const std::string& reason)
{
    std::fprintf(stderr, "%s: %s\n", path.c_str(), ResultTextWithReason(rc, reason).c_str());
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

} // namespace

int Histogram(TIMAGE_INFO& doc, const std::vector<std::string>& files)
{
    if (files.size() != 1)
        return Usage();
    const std::string& path = files[0];
    int rc = doc.Open(path);
    if (rc == kOk && doc.state != kPictureOpen)
        rc = kFormatNotSupported;
    Dib* pic = rc == kOk && doc.display && !doc.display->Empty() ? doc.display.get() : nullptr;
    if (rc == kOk && (pic == nullptr || pic->SetPixelFormat(24) != kOk))
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

