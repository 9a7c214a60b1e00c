#include "dialogs/logic/Decode_run.h"

#include "base/File_io.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

std::int64_t STEADY_RUN_CLOCK::NowMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

DECODE_RUN::DECODE_RUN(TIMAGE_INFO& doc, RUN_OPENER& opener, RUN_CLOCK& clock, std::int32_t max_loads)
    : doc_(doc), opener_(opener), clock_(clock), max_loads_(max_loads)
{
}

bool DECODE_RUN::Start()
{
    log_.clear();
    loads_.clear();
    total_ms_ = 0;
    failed_code_ = kOk;
    failed_path_.clear();
    failed_reason_.clear();
    ended_ = doc_.file_list.empty() || max_loads_ <= 0;
    if (ended_)
        return false;
    // A current path missing from the list (-1) starts at the first entry, not at an index
    // left over from an earlier list.
    const std::int32_t found = doc_.FindCurrent();
    next_ = found >= 0 ? found : 0;
    return true;
}

std::string DECODE_RUN::FailedText() const
{
    return ResultTextWithReason(failed_code_, failed_reason_);
}

bool DECODE_RUN::Step(const std::function<void()>& shown)
{
    const auto count = static_cast<std::int32_t>(doc_.file_list.size());
    if (ended_ || Loaded() >= max_loads_ || count == 0) {
        ended_ = true;
        return false;
    }
    if (next_ >= count)
        next_ = 0;
    RUN_LOAD load;
    load.list_index = next_;
    load.path = doc_.file_list[static_cast<std::size_t>(next_)];
    log_.push_back("Decoding file: " + std::filesystem::path(load.path).filename().string());

    const std::int64_t start = clock_.NowMicros();
    const std::int32_t rc = opener_.Open(doc_, load.path);
    if (rc != kOk) {
        failed_code_ = rc;
        failed_path_ = load.path;
        failed_reason_ = doc_.context ? doc_.context->failure_reason : std::string();
        ended_ = true;
        return false;
    }
    // The list's position follows the shown file, so browsing goes on from it.
    doc_.current_index = next_;
    next_ = next_ + 1 < count ? next_ + 1 : 0;
    if (shown)
        shown();
    load.micros = std::max<std::int64_t>(0, clock_.NowMicros() - start);
    load.ms = static_cast<std::int32_t>(std::min<std::int64_t>(load.micros / 1000, 0x7FFFFFFF));
    total_ms_ += load.ms;
    const auto k = static_cast<std::int64_t>(loads_.size()) + 1;
    load.average_ms = static_cast<std::int32_t>(total_ms_ / k);
    load.format_code = doc_.format_code;
    if (doc_.display) {
        load.width = doc_.context->width;
        load.height = doc_.context->height;
    }
    log_.push_back("index: " + std::to_string(k) + " -- time_load: " + std::to_string(load.ms)
                   + " -- avg: " + std::to_string(load.average_ms));
    loads_.push_back(std::move(load));
    if (Loaded() >= max_loads_)
        ended_ = true;
    return !ended_;
}

void DECODE_RUN::Run(const std::function<void()>& shown)
{
    while (Step(shown)) {
    }
}

std::vector<FORMAT_SUMMARY> SummariseRun(const std::vector<RUN_LOAD>& loads)
{
    struct GATHER {
        std::set<std::string> files;
        std::vector<std::int64_t> micros;
        double pixels = 0.0;
    };
    std::map<std::string, GATHER> by_format;
    for (const RUN_LOAD& l : loads) {
        std::string name = FormatName(l.format_code);
        if (name.empty())
            name = ExtensionOf(l.path);
        GATHER& g = by_format[name];
        g.files.insert(l.path);
        g.micros.push_back(l.micros);
        g.pixels += static_cast<double>(l.width) * static_cast<double>(l.height);
    }
    std::vector<FORMAT_SUMMARY> rows;
    for (auto& [name, g] : by_format) {
        FORMAT_SUMMARY r;
        r.format = name;
        r.files = static_cast<std::int32_t>(g.files.size());
        r.loads = static_cast<std::int32_t>(g.micros.size());
        std::sort(g.micros.begin(), g.micros.end());
        std::int64_t total = 0;
        for (const std::int64_t m : g.micros)
            total += m;
        const std::size_t n = g.micros.size();
        r.mean_ms = static_cast<double>(total) / (static_cast<double>(n) * 1000.0);
        r.median_ms = n % 2 == 1 ? static_cast<double>(g.micros[n / 2]) / 1000.0
                                 : static_cast<double>(g.micros[n / 2 - 1] + g.micros[n / 2]) / 2000.0;
        r.megapixels_per_second = total > 0 ? g.pixels / static_cast<double>(total) : 0.0;
        rows.push_back(std::move(r));
    }
    return rows;
}

namespace {

constexpr std::string_view kCsvHeader = "format,files,loads,mean_ms,median_ms,megapixels_per_s";

std::string Number(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string Quoted(const std::string& s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string q = "\"";
    for (const char c : s) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + "\"";
}

// Splits one CSV line into fields; false on a broken quote.
bool SplitCsvLine(std::string_view line, std::vector<std::string>& fields)
{
    fields.clear();
    std::size_t i = 0;
    while (true) {
        std::string field;
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (true) {
                if (i >= line.size())
                    return false;
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            if (i < line.size() && line[i] != ',')
                return false;
        } else {
            while (i < line.size() && line[i] != ',')
                field += line[i++];
        }
        fields.push_back(std::move(field));
        if (i >= line.size())
            return true;
        ++i; // the comma
    }
}

template <typename T>
bool ParseNumber(const std::string& s, T& v)
{
    const auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    return res.ec == std::errc() && res.ptr == s.data() + s.size();
}

} // namespace

std::string SummaryCsv(const std::vector<FORMAT_SUMMARY>& rows)
{
    std::string csv(kCsvHeader);
    csv += '\n';
    for (const FORMAT_SUMMARY& r : rows)
        csv += Quoted(r.format) + ',' + std::to_string(r.files) + ',' + std::to_string(r.loads) + ','
            + Number(r.mean_ms) + ',' + Number(r.median_ms) + ',' + Number(r.megapixels_per_second) + '\n';
    return csv;
}

bool ParseSummaryCsv(std::string_view csv, std::vector<FORMAT_SUMMARY>& out)
{
    out.clear();
    std::vector<FORMAT_SUMMARY> rows;
    std::vector<std::string> fields;
    bool header = true;
    while (!csv.empty()) {
        const std::size_t end = csv.find('\n');
        std::string_view line = csv.substr(0, end);
        csv.remove_prefix(end == std::string_view::npos ? csv.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (header) {
            if (line != kCsvHeader)
                return false;
            header = false;
            continue;
        }
        if (line.empty())
            continue;
        FORMAT_SUMMARY r;
        if (!SplitCsvLine(line, fields) || fields.size() != 6 || !ParseNumber(fields[1], r.files)
            || !ParseNumber(fields[2], r.loads) || !ParseNumber(fields[3], r.mean_ms)
            || !ParseNumber(fields[4], r.median_ms) || !ParseNumber(fields[5], r.megapixels_per_second))
            return false;
        r.format = fields[0];
        rows.push_back(std::move(r));
    }
    if (header)
        return false;
    out = std::move(rows);
    return true;
}

std::int32_t SaveSummaryCsv(const std::string& path, const std::vector<FORMAT_SUMMARY>& rows, int* sys_error)
{
    const std::string csv = SummaryCsv(rows);
    return ReplaceFileWith(path, [&](const std::string& write_path) {
        FilePtr f = OpenForWrite(write_path);
        if (!f || std::fwrite(csv.data(), 1, csv.size(), f.get()) != csv.size())
            return static_cast<int>(kOpenFileError);
        return FinishWrite(std::move(f));
    }, sys_error);
}
