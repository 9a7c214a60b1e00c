// The decode-timing run of the batch dialog: loads the document's directory file list one
// entry after another, from the current file on and wrapping to the first entry after the
// last, up to 1000 loads, and logs each load's time with the running average. Also the
// per-format summary of a run and its CSV form.
#pragma once

#include "core/Imageinfo.h"
#include "dialogs/logic/Browse.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The loads of a full run.
constexpr std::int32_t kRunLoads = 1000;

// Microseconds since an arbitrary start, never going back.
class RUN_CLOCK {
public:
    virtual ~RUN_CLOCK() = default;
    virtual std::int64_t NowMicros() = 0;
};

// The monotonic clock of the system.
class STEADY_RUN_CLOCK final : public RUN_CLOCK {
public:
    std::int64_t NowMicros() override;
};

// Opens one file of the list into the document; returns kOk or the open's code.
class RUN_OPENER {
public:
    virtual ~RUN_OPENER() = default;
    virtual std::int32_t Open(TIMAGE_INFO& doc, const std::string& path) = 0;
};

// The open that keeps the shown picture (path, size and pixels) when it fails.
class KEEPING_RUN_OPENER final : public RUN_OPENER {
public:
    std::int32_t Open(TIMAGE_INFO& doc, const std::string& path) override
    {
        return browser_.OpenKeepingShown(doc, path);
    }

private:
    FILE_BROWSER browser_;
};

// One load of a run.
struct RUN_LOAD {
    std::int32_t list_index = 0; // the entry of the directory file list
    std::string path;
    std::int64_t micros = 0;     // the load's time
    std::int32_t ms = 0;         // the same, in whole milliseconds as the log shows it
    std::int32_t average_ms = 0; // the running average the log shows
    std::int32_t format_code = 0;
    std::int32_t width = 0;      // the picture's size after the load (0 for a media file)
    std::int32_t height = 0;
};

class DECODE_RUN {
public:
    DECODE_RUN(TIMAGE_INFO& doc, RUN_OPENER& opener, RUN_CLOCK& clock, std::int32_t max_loads = kRunLoads);

    // Puts the run on the current file's entry (the first entry when the current path is not
    // in the list) and clears what an earlier run left. False when the list is empty: such a
    // run loads nothing and logs nothing.
    bool Start();

    // One load: logs "Decoding file: NAME", opens the entry, calls shown (the dialog's
    // repaint and thumbnail, which the time includes) and logs
    // "index: K -- time_load: T -- avg: A" with A = floor(sum of T / K). An open that fails
    // ends the run after the file's first line; the document then still shows the picture
    // it showed. Returns false once the run has ended.
    bool Step(const std::function<void()>& shown = {});
    // Steps until the run ends.
    void Run(const std::function<void()>& shown = {});
    // Ends the run before its next load (the dialog's Stop).
    void Stop() { ended_ = true; }

    bool Ended() const { return ended_; }
    std::int32_t Loaded() const { return static_cast<std::int32_t>(loads_.size()); }
    std::int32_t MaxLoads() const { return max_loads_; }
    // The code of the open that ended the run, or kOk.
    std::int32_t FailedCode() const { return failed_code_; }
    // The path of that open, or "".
    const std::string& FailedPath() const { return failed_path_; }
    // Its result text with the reason the reader gave: "Data Error. (the file ends early)".
    std::string FailedText() const;
    // The log's lines, each without its line end.
    const std::vector<std::string>& Log() const { return log_; }
    const std::vector<RUN_LOAD>& Loads() const { return loads_; }

private:
    TIMAGE_INFO& doc_;
    RUN_OPENER& opener_;
    RUN_CLOCK& clock_;
    std::int32_t max_loads_;
    std::int32_t next_ = 0;
    std::int64_t total_ms_ = 0;
    std::int32_t failed_code_ = 0;
    std::string failed_path_;
    std::string failed_reason_;
    bool ended_ = true;
    std::vector<std::string> log_;
    std::vector<RUN_LOAD> loads_;
};

// The figures of one format over a run.
struct FORMAT_SUMMARY {
    std::string format;         // the format's name, or the file's extension when it has none
    std::int32_t files = 0;     // distinct files
    std::int32_t loads = 0;
    double mean_ms = 0.0;
    double median_ms = 0.0;     // the mean of the middle two for an even number of loads
    double megapixels_per_second = 0.0; // all pixels loaded over all the time taken; 0 without time
    bool operator==(const FORMAT_SUMMARY&) const = default;
};

// One row a format, sorted by the format's name.
std::vector<FORMAT_SUMMARY> SummariseRun(const std::vector<RUN_LOAD>& loads);

// The summary as CSV: a header line "format,files,loads,mean_ms,median_ms,megapixels_per_s"
// and a line a format; names with a comma or quote are quoted, numbers are written in the
// shortest form that reads back to the same value.
std::string SummaryCsv(const std::vector<FORMAT_SUMMARY>& rows);
// Reads what SummaryCsv wrote; false (out cleared) on anything else.
bool ParseSummaryCsv(std::string_view csv, std::vector<FORMAT_SUMMARY>& out);
// Writes the CSV to path, replacing the file only when complete. kOk or a write code;
// *sys_error (when given) gets the system's error number behind a failure, or 0.
std::int32_t SaveSummaryCsv(const std::string& path, const std::vector<FORMAT_SUMMARY>& rows, int* sys_error = nullptr);
