// The scanner over SANE's test backend, end to end. The backend's configuration is written
// to a temporary directory before SANE starts; "--empty-config" gives it an empty test.conf
// (SANE keeps the first configuration for the life of a process).
#include "system/sane/Scanner.h"

#include "base/Result_codes.h"
#include "platform/Dib.h"
#include "system/tests/Private_desktop.h"

#include <gtest/gtest.h>
#include <sane/sane.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include <csignal>
#include <dlfcn.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct PIXEL {
    int x, y;
    std::uint32_t rgb; // 0xRRGGBB
};

std::uint32_t RgbAt(const Dib& d, int x, int y)
{
    const std::uint8_t* p = d.ScanLine(y) + 3 * x; // blue, green, red
    return static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[0];
}

struct SCAN_CASE {
    const char* name;
    std::vector<std::pair<std::string, std::string>> options;
    int width, height; // 0: not checked
    std::vector<PIXEL> pixels;
};

// The colour pattern: a grey (0x55) grid line every fifth row and column; between them
// bands of black, red, black, green, black, blue rising to the right. At 16 bits the
// pattern is a red ramp whose samples differ in their two bytes; at 1 bit, blocks of
// 16 pixels in the eight colours of the three bits.
const SCAN_CASE kCases[] = {
    {"Gray8", {{"mode", "Gray"}, {"test-picture", "Color pattern"}}, 157, 196,
     {{0, 0, 0x555555}, {1, 1, 0x000000}, {1, 6, 0xFFFFFF}, {6, 1, 0x010101}}},
    {"Color8", {{"mode", "Color"}, {"test-picture", "Color pattern"}}, 157, 196,
     {{0, 0, 0x555555}, {1, 6, 0xFF0000}, {6, 6, 0xFE0000}, {1, 16, 0x00FF00}, {1, 26, 0x0000FF}, {6, 1, 0x010000}}},
    {"Color16", {{"mode", "Color"}, {"depth", "16"}, {"test-picture", "Color pattern"}}, 157, 196,
     {{0, 0, 0x555555}, {6, 6, 0x020000}, {60, 40, 0x380000}, {69, 4, 0x410000}}},
    {"Color1", {{"mode", "Color"}, {"depth", "1"}, {"test-picture", "Color pattern"}}, 157, 196,
     {{8, 5, 0x000000}, {24, 5, 0x0000FF}, {40, 5, 0x00FF00}, {72, 5, 0xFF0000}, {120, 5, 0xFFFFFF}}},
    {"Gray1Pattern", {{"mode", "Gray"}, {"depth", "1"}, {"test-picture", "Color pattern"}}, 157, 196,
     {{0, 0, 0xFFFFFF}, {16, 0, 0x000000}, {0, 16, 0x000000}, {16, 16, 0xFFFFFF}}},
    {"Gray1White", {{"mode", "Gray"}, {"depth", "1"}, {"test-picture", "Solid white"}}, 157, 196,
     {{0, 0, 0xFFFFFF}, {156, 195, 0xFFFFFF}}},
    {"Gray1Black", {{"mode", "Gray"}, {"depth", "1"}, {"test-picture", "Solid black"}}, 157, 196,
     {{0, 0, 0x000000}, {156, 195, 0x000000}}},
    {"ThreePass", {{"mode", "Color"}, {"three-pass", "yes"}, {"test-picture", "Color pattern"}}, 157, 196,
     {{0, 0, 0x555555}, {1, 6, 0xFF0000}, {1, 16, 0x00FF00}, {1, 26, 0x0000FF}}},
    {"ThreePassBlueFirst",
     {{"mode", "Color"}, {"three-pass", "yes"}, {"three-pass-order", "BGR"}, {"test-picture", "Color pattern"}}, 157,
     196, {{1, 6, 0xFF0000}, {1, 16, 0x00FF00}, {1, 26, 0x0000FF}}},
    {"HandScanner", {{"mode", "Color"}, {"hand-scanner", "yes"}, {"test-picture", "Color pattern"}}, 0, 0,
     {{0, 0, 0x555555}, {1, 6, 0xFF0000}, {1, 16, 0x00FF00}, {1, 26, 0x0000FF}}},
};

// A request to the test device. The backend keeps option values from one open to the
// next within a process, so every request first puts back what other tests change.
SCAN_REQUEST TestRequest(const std::vector<std::pair<std::string, std::string>>& options)
{
    SCAN_REQUEST rq;
    rq.device = "test";
    rq.options = {{"read-return-value", "Default"}, {"read-delay", "no"}, {"read-limit", "no"},
                  {"hand-scanner", "no"}, {"mode", "Color"}, {"three-pass", "no"}, {"depth", "8"},
                  {"test-picture", "Solid black"}};
    rq.options.insert(rq.options.end(), options.begin(), options.end());
    return rq;
}

class ScanTable : public testing::TestWithParam<SCAN_CASE> {};

TEST_P(ScanTable, PatternPixels)
{
    const SCAN_CASE& c = GetParam();
    const SCAN_REQUEST rq = TestRequest(c.options);
    SCAN_PROGRESS progress;
    Dib d;
    const SCAN_RESULT r = ScanPicture(rq, progress, d);
    ASSERT_EQ(r.outcome, ScanOutcome::kPicture) << r.status;
    EXPECT_EQ(r.rc, kOk);
    if (c.width != 0) {
        EXPECT_EQ(d.Width(), c.width);
        EXPECT_EQ(d.Height(), c.height);
    } else {
        EXPECT_EQ(progress.expected.load(), -1) << "the hand scanner's height is unknown until the end";
        EXPECT_GT(d.Height(), 26);
    }
    for (const PIXEL& p : c.pixels)
        EXPECT_EQ(RgbAt(d, p.x, p.y), p.rgb) << "at (" << p.x << ", " << p.y << ")";
}

INSTANTIATE_TEST_SUITE_P(TestBackend, ScanTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SCAN_CASE>& i) { return std::string(i.param.name); });

TEST(Scanner, ListsTheTestDevicesAndTheirChoices)
{
    std::vector<SCAN_DEVICE> devices;
    std::string status;
    ASSERT_TRUE(ListScanDevices(devices, status)) << status;
    bool found = false;
    for (const SCAN_DEVICE& d : devices)
        found = found || d.name == "test:0";
    EXPECT_TRUE(found);

    SCAN_CHOICES choices;
    ASSERT_TRUE(ReadScanChoices("test:0", choices, status)) << status;
    EXPECT_EQ(choices.modes, (std::vector<std::string>{"Gray", "Color"}));
    EXPECT_EQ(choices.resolution, 50); // from test.conf
    EXPECT_NE(std::find(choices.resolutions.begin(), choices.resolutions.end(), 50), choices.resolutions.end());
    EXPECT_FALSE(choices.sources.empty());
}

TEST(Scanner, FailuresGiveNoneWithAStatus)
{
    struct FAIL_CASE {
        const char* device;
        std::vector<std::pair<std::string, std::string>> options;
    };
    const FAIL_CASE cases[] = {
        {"bogus:nothing", {}},
        {"test", {{"mode", "Sepia"}}},
        {"test", {{"no-such-option", "1"}}},
    };
    for (const FAIL_CASE& c : cases) {
        SCAN_REQUEST rq = TestRequest(c.options);
        rq.device = c.device;
        SCAN_PROGRESS progress;
        Dib d;
        const SCAN_RESULT r = ScanPicture(rq, progress, d);
        EXPECT_EQ(r.outcome, ScanOutcome::kNone) << c.device;
        EXPECT_NE(r.rc, kOk) << c.device;
        EXPECT_FALSE(r.status.empty()) << c.device;
    }
}

// Runs a scan in a child process and returns its result, or nothing when the child did not
// answer within the time. The test backend ends its reader thread with an asynchronous
// cancel; one that lands while the reader is inside malloc leaves the arena locked and the
// backend's own sane_cancel waits forever (seen about once in 80 runs on a loaded machine).
// A read error ends the scan while the reader still runs, so that case runs here.
std::optional<SCAN_RESULT> ScanInChild(const SCAN_REQUEST& rq, int timeout_ms)
{
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        SCAN_PROGRESS progress;
        Dib d;
        const SCAN_RESULT r = ScanPicture(rq, progress, d);
        const std::string line = std::to_string(static_cast<int>(r.outcome)) + " " + std::to_string(r.rc) + " " + r.status;
        [[maybe_unused]] const ssize_t n = write(fds[1], line.data(), line.size());
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    pollfd pfd{fds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool ended = false;
    while (!ended) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buf[512];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0)
            ended = true;
        else
            text.append(buf, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (!ended)
        kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    if (!ended || text.empty())
        return std::nullopt;
    SCAN_RESULT r;
    const std::size_t a = text.find(' ');
    const std::size_t b = text.find(' ', a + 1);
    r.outcome = static_cast<ScanOutcome>(std::stoi(text.substr(0, a)));
    r.rc = std::stoi(text.substr(a + 1, b - a - 1));
    r.status = b == std::string::npos ? "" : text.substr(b + 1);
    return r;
}

TEST(Scanner, ReadErrorGivesNoneWithAStatus)
{
    SCAN_REQUEST rq = TestRequest({{"read-return-value", "SANE_STATUS_IO_ERROR"}});
    std::optional<SCAN_RESULT> r;
    for (int attempt = 0; attempt < 3 && !r; ++attempt)
        r = ScanInChild(rq, 10000);
    ASSERT_TRUE(r.has_value()) << "the test backend hung three times";
    EXPECT_EQ(r->outcome, ScanOutcome::kNone);
    EXPECT_NE(r->rc, kOk);
    EXPECT_NE(r->status.find("The scan stopped"), std::string::npos) << r->status;
}

TEST(Scanner, CancelDuringADelayedReadGivesNone)
{
    SCAN_REQUEST rq = TestRequest({{"read-delay", "yes"}, {"read-delay-duration", "200000"},
                                   {"read-limit", "yes"}, {"read-limit-size", "1024"}});
    SCAN_PROGRESS progress;
    Dib d;
    SCAN_RESULT r;
    std::atomic<bool> ended{false};
    std::thread worker([&] {
        r = ScanPicture(rq, progress, d);
        ended = true;
    });
    while (progress.bytes.load() == 0 && !ended.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    progress.cancel = true;
    worker.join();
    EXPECT_EQ(r.outcome, ScanOutcome::kNone);
    EXPECT_EQ(r.status, "Cancelled");
    EXPECT_LT(progress.bytes.load(), 157 * 196 * 3);

    // The device is usable again afterwards.
    SCAN_PROGRESS again;
    rq = TestRequest({});
    EXPECT_EQ(ScanPicture(rq, again, d).outcome, ScanOutcome::kPicture);
}

TEST(EmptyConfig, ScanIsOnePixel)
{
    const SCAN_REQUEST rq = TestRequest({});
    SCAN_PROGRESS progress;
    Dib d;
    const SCAN_RESULT r = ScanPicture(rq, progress, d);
    ASSERT_EQ(r.outcome, ScanOutcome::kPicture) << r.status;
    EXPECT_EQ(d.Width(), 1);
    EXPECT_EQ(d.Height(), 1);
}

// SANE's test backend leaks its reader's buffer when a scan is cancelled while the reader
// waits (its thread is cancelled mid-read). Pinning the backend in memory keeps its frames
// named in the leak report after sane_exit() unloads it, so that this one leak can be
// suppressed while any leak of ours is still reported.
void PinTestBackend()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&sane_init), &info) == 0 || info.dli_fname == nullptr)
        return;
    const std::filesystem::path backend =
        std::filesystem::path(info.dli_fname).parent_path() / "sane" / "libsane-test.so.1";
    dlopen(backend.c_str(), RTLD_NOW | RTLD_NODELETE);
}

} // namespace

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libsane-test.so\n";
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    PinTestBackend();
    bool empty = false;
    for (int i = 1; i < argc; ++i)
        empty = empty || std::strcmp(argv[i], "--empty-config") == 0;
    char dir_template[] = "/tmp/ravelscope-sane-XXXXXX";
    const char* dir = mkdtemp(dir_template);
    if (dir == nullptr)
        return 2;
    UsePrivateSaneConfig(dir, "test\n");
    std::ofstream(std::string(dir) + "/test.conf") << (empty ? "" : "resolution 50.0\n");
    const int rc = RUN_ALL_TESTS();
    std::filesystem::remove_all(dir);
    return rc;
}
