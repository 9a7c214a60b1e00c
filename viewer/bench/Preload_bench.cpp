// Stepping through a folder of 4000 x 3000 JPEG photos in the main window: the decode of
// one photo, key press (Space) to painted picture once the next photo is preloaded, the
// same with Fit to Window on, and the process's peak memory while stepping. Runs
// offscreen; prints milliseconds and MiB.
//   ravelscope_preload_bench [FILES]
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "platform/Ini_file.h"
#include "viewer/Unit1.h"
#include "viewer/bench/Bench_timing.h"
#include "viewer/logic/Startup.h"
#include "viewer/tests/Picture_files.h"
#include "widgets/Help_window.h"
#include "widgets/logic/Rect_object.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A field of /proc/self/status in MiB ("VmHWM", "VmRSS").
double StatusMiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atof(line.c_str() + std::strlen(field) + 1) / 1024.0;
    return 0;
}

// A photo-like picture: smooth gradients with some texture, so the JPEG is of a camera's size.
bool WritePhoto(const std::string& ppm, const std::string& jpeg, int seed)
{
    if (!WriteTestPicture(ppm, 4000, 3000, [seed](int x, int y, std::uint8_t* p) {
            const double t = std::sin((x + seed * 300) * 0.003) * std::cos(y * 0.004);
            const int noise = ((x * 7919 + y * 104729 + seed) >> 3) & 15;
            p[0] = static_cast<std::uint8_t>(90 + 80 * t + noise);
            p[1] = static_cast<std::uint8_t>(110 + 60 * std::cos(x * 0.002 + seed) + noise);
            p[2] = static_cast<std::uint8_t>(120 + 50 * std::sin(y * 0.005 - seed) + noise);
        }))
        return false;
    TIMAGE_INFO doc;
    return doc.Open(ppm) == kOk && PrepareSave(doc, kSaveJpeg, jpeg) == kOk && doc.Save() == kOk &&
           std::remove(ppm.c_str()) == 0;
}

// Steps through the folder with Space, waiting for the preloads between the steps as a
// person looking at each photo does; the key presses' milliseconds.
std::vector<double> StepAll(TForm1& form, std::size_t steps, std::size_t& most_held)
{
    std::vector<double> ms;
    for (std::size_t i = 0; i < steps; ++i) {
        form.Preloads().WaitIdle();
        most_held = std::max(most_held, form.Preloads().BytesHeld());
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
        const Clock::time_point t0 = Clock::now();
        QApplication::sendEvent(&form, &press); // Next File, then the window repaints at once
        ms.push_back(Ms(Clock::now() - t0));
    }
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int count = argc > 1 ? std::max(3, std::atoi(argv[1])) : 8;

    QTemporaryDir scratch;
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/photo%02d.jpg", i);
        files.push_back(scratch.path().toStdString() + name);
        if (!WritePhoto(scratch.path().toStdString() + "/tmp.ppm", files.back(), i)) {
            std::fprintf(stderr, "cannot write %s\n", files.back().c_str());
            return 1;
        }
    }

    std::vector<double> open_ms;
    {
        TIMAGE_INFO doc;
        for (const std::string& f : files) {
            const Clock::time_point t0 = Clock::now();
            if (doc.Open(f) != kOk)
                return 1;
            open_ms.push_back(Ms(Clock::now() - t0));
        }
    }

    TIMAGE_INFO document;
    QApplication app(argc, argv);
    QTemporaryDir settings;
    const std::string ini = settings.filePath("RVS.ini").toStdString();
    IniFile(ini).WriteInteger("Screen", "Width", 630);
    IniFile(ini).WriteInteger("View", "FitToWindow", 0); // natural size first, then fitted
    FORM_OPTIONS options;
    options.settings_dir = settings.path().toStdString();
    const double rss_before = StatusMiB("VmRSS");
    double peak = 0;
    std::vector<double> natural_ms, fit_ms;
    std::size_t held = 0;
    {
        options.hand_off_fallback = HandOffPath(files[0]);
        HELP_VIEWER help("");
        TForm1 form(document, rect_obj, help, options);
        form.show();
        QApplication::processEvents(); // the window is exposed: repaints paint from here on
        form.repaint();
        natural_ms = StepAll(form, 2 * files.size(), held);
        peak = StatusMiB("VmHWM");
        form.Command("mn_View_FitToWindow")->trigger();
        std::size_t fit_held = 0;
        fit_ms = StepAll(form, files.size(), fit_held);
    }

    std::printf("photos: %d x 4000 x 3000 JPEG, medians\n", count);
    std::printf("decoding one photo (document Open):          %8.2f ms\n", Median(open_ms));
    std::printf("key press to painted picture, preloaded:     %8.2f ms (max %.2f)\n", Median(natural_ms),
                *std::max_element(natural_ms.begin(), natural_ms.end()));
    std::printf("the same with Fit to Window on:              %8.2f ms (max %.2f)\n", Median(fit_ms),
                *std::max_element(fit_ms.begin(), fit_ms.end()));
    if (getenv("RAVELSCOPE_BENCH_ALL") != nullptr)
        for (const double t : natural_ms)
            std::printf("  step %.2f ms\n", t);
    std::printf("peak memory stepping at natural size: %.0f MiB (%.0f MiB before the window; preloads held at most "
                "%.0f MiB, budget %.0f MiB)\n",
                peak, rss_before, static_cast<double>(held) / (1 << 20),
                static_cast<double>(PRELOAD_CACHE::kDefaultBudget) / (1 << 20));
    return 0;
}
