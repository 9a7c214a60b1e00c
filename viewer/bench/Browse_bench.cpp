// Next File on a directory of 4000 × 3000 pictures: the document's own Open of each file
// against the whole key press (Space) to painted picture in the main window, and the time
// from process start to the first painted picture. Runs offscreen; prints milliseconds.
//   ravelscope_browse_bench [ROUNDS]
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

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Milliseconds since the process started (the kernel counts in clock ticks).
double SinceProcessStart()
{
    std::ifstream stat("/proc/self/stat");
    std::string field;
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    std::istringstream rest(line.substr(close + 2));
    unsigned long long start_ticks = 0;
    for (int i = 3; i <= 22 && rest >> field; ++i)
        if (i == 22)
            start_ticks = std::stoull(field);
    std::ifstream uptime_file("/proc/uptime");
    double uptime = 0;
    uptime_file >> uptime;
    return uptime * 1000.0 - static_cast<double>(start_ticks) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char** argv)
{
    const double at_main = SinceProcessStart();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 6;

    QTemporaryDir scratch;
    const std::string dir = scratch.path().toStdString();
    const char* names[] = {"a.ppm", "b.ppm", "c.ppm"};
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(dir + "/" + names[i]);
        if (!WriteTestPicture(files.back(), 4000, 3000, [i](int x, int y, std::uint8_t* p) {
                p[0] = static_cast<std::uint8_t>(x + i * 40);
                p[1] = static_cast<std::uint8_t>(y);
                p[2] = static_cast<std::uint8_t>((x ^ y) + i);
            })) {
            std::fprintf(stderr, "cannot write %s\n", files.back().c_str());
            return 1;
        }
    }

    // The document alone, cycling through the files as browsing does.
    std::vector<double> open_ms;
    {
        TIMAGE_INFO doc;
        for (int r = 0; r < rounds + 1; ++r)
            for (const std::string& f : files) {
                const Clock::time_point t0 = Clock::now();
                if (doc.Open(f) != kOk)
                    return 1;
                if (r > 0) // the first round sizes the buffers
                    open_ms.push_back(Ms(Clock::now() - t0));
            }
    }

    // The window: the first picture through the command-line hand-off, then Space.
    const Clock::time_point app_start = Clock::now();
    TIMAGE_INFO document;
    QApplication app(argc, argv);
    QTemporaryDir settings;
    IniFile(settings.filePath("RVS.ini").toStdString()).WriteInteger("Screen", "Width", 630);
    FORM_OPTIONS options;
    options.settings_dir = settings.path().toStdString();
    options.hand_off_fallback = HandOffPath(files[0]);
    HELP_VIEWER help(""); // no help file: the settings exist, so none is asked for
    TForm1 form(document, rect_obj, help, options);
    form.show();
    form.repaint();
    // Start-up as the program runs it: loading, then application, window, open and paint.
    const double first_paint_ms = at_main + Ms(Clock::now() - app_start);

    std::vector<double> key_ms;
    for (int r = 0; r < rounds + 1; ++r)
        for (std::size_t i = 0; i < files.size(); ++i) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
            const Clock::time_point t0 = Clock::now();
            QApplication::sendEvent(&form, &press); // Next File, then the window repaints at once
            if (r > 0)
                key_ms.push_back(Ms(Clock::now() - t0));
        }

    const double open = Median(open_ms);
    const double key = Median(key_ms);
    std::printf("pictures: 3 x 4000 x 3000 PPM, %d rounds, medians; Fit to Window %s\n", rounds,
                form.PicturePage().FitToWindow() ? "on (the default)" : "off");
    std::printf("document Open:                   %8.2f ms\n", open);
    std::printf("key press to painted picture:    %8.2f ms\n", key);
    std::printf("GUI share on top of Open:        %8.1f %%\n", open > 0 ? (key - open) / open * 100.0 : 0.0);
    std::printf("process start to first painted picture: %8.2f ms (of it, loading until main: %.0f ms)\n",
                first_paint_ms, at_main);
    return 0;
}
