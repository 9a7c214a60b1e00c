#include "cli/Batch_pool.h"

#include "cli/Cli_convert.h"
#include "core/Imageinfo.h"
#include "base/Result_codes.h"

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

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

// Failures and the progress line, under one lock.
class Report {
public:
    Report(std::size_t total, bool progress) : total_(total), progress_(progress) {}
    void Finish(const std::string& message)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++done_;
        if (!message.empty()) {
            ++failed_;
            if (progress_)
                std::fputs("\r\033[K", stderr);
            std::fprintf(stderr, "%s\n", message.c_str());
            Draw(true);
        } else {
            Draw(done_ == total_);
        }
    }
    std::size_t Failed() const { return failed_; }

private:
    void Draw(bool force)
    {
        const auto now = std::chrono::steady_clock::now();
        if (!progress_ || (!force && now - last_draw_ < std::chrono::milliseconds(100)))
            return;
        last_draw_ = now;
        std::fprintf(stderr, "\r\033[K%zu/%zu converted, %zu failed", done_ - failed_, total_, failed_);
        std::fflush(stderr);
    }

    std::mutex mutex_;
    std::size_t total_;
    bool progress_;
    std::size_t done_ = 0, failed_ = 0;
    std::chrono::steady_clock::time_point last_draw_ {};
};

} // namespace

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
    Report report(n, progress);
    std::atomic<std::size_t> next {0};
    auto work = [&] {
        TIMAGE_INFO doc;
        for (std::size_t i = next++; i < n; i = next++) {
            std::string message = clash[i];
            if (message.empty() && ConvertOne(doc, cl, cl.files[i], outputs[i], save_code, message) == kOk)
                message.clear();
            report.Finish(message);
        }
    };
    const int jobs = static_cast<int>(
        std::min<std::size_t>(n, static_cast<std::size_t>(cl.jobs > 0 ? cl.jobs : ProcessorCount())));
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
    std::printf("%zu converted, %zu failed\n", n - report.Failed(), report.Failed());
    return report.Failed() == 0 ? 0 : 1;
}
