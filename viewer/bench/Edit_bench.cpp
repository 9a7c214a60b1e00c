// The main window's edits on a 4096 × 4096 picture: each command's operation alone on a
// bitmap against the whole command (menu action to repainted view, the undo step
// included), and the window's share over the operation. Runs offscreen; prints
// milliseconds (medians): wall-clock, and the CPU time of the window's thread, which other
// processes on a busy machine do not inflate (a wait for the chain's worker is not in it).
//
// Each command starts after a pause of 200 ms, as a person gives the window between two
// commands: the undo chain uses such pauses to fault in the memory of the next snapshot.
// With --back-to-back the commands follow each other at once.
//   ravelscope_edit_bench [ROUNDS] [--back-to-back]
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "ops/Edgedetection.h"
#include "ops/Hist_equal.h"
#include "ops/Pixel_commands.h"
#include "viewer/Unit1.h"
#include "viewer/bench/Bench_timing.h"
#include "viewer/shots/Tool_window.h"
#include "viewer/tests/Picture_files.h"
#include "widgets/Picture_view.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Reads and writes a block larger than any cache, so that the operation alone and the
// whole command both start with the picture out of the caches (a fresh copy of the
// picture would otherwise give the operation alone a head start).
void EvictCaches()
{
    static std::vector<std::uint8_t> block(std::size_t{256} << 20, 1);
    for (std::size_t i = 0; i < block.size(); i += 64)
        block[i] = static_cast<std::uint8_t>(block[i] + 1);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const bool back_to_back = argc > 2 && std::string(argv[2]) == "--back-to-back";
    const auto pause = [back_to_back] {
        if (!back_to_back)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EvictCaches();
    };
    constexpr int kSide = 4096;

    QTemporaryDir scratch;
    const std::string file = scratch.path().toStdString() + "/big.ppm";
    if (!WriteTestPicture(file, kSide, kSide, [](int x, int y, std::uint8_t* p) {
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = static_cast<std::uint8_t>(x ^ y);
        })) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }

    QApplication app(argc, argv);
    TOOL_WINDOW window(file);
    TForm1& form = window.form;
    const TIMAGE_INFO& doc = window.doc;

    Dib work;
    // The operations' output bitmap, sized before the first round: the operation alone is
    // timed without a fresh allocation.
    Dib out;
    if (out.SetSize(kSide, kSide, 24) != kOk)
        return 1;
    struct Row {
        const char* command;
        std::function<void(Dib&)> op;
    } rows[] = {
        {"mn_Image_Mirror", [](Dib& d) { Mirror(d); }},
        {"mn_Image_VerticalFlip", [](Dib& d) { FlipVertical(d); }},
        {"mn_Image_RotateLeft", [&out](Dib& d) { (void)RotateLeft(d, out); }},
        {"mn_Colors_Negative", [](Dib& d) { Negative(d); }},
        {"mn_Colors_GrayScale", [](Dib& d) { GrayScale(d); }},
        {"mn_Colors_HistogramEqualization", [](Dib& d) { (void)EqualizeHistogram(d, d); }},
        {"mn_Tests_EdgeDetection", [&out](Dib& d) { (void)out.SetSize(d.Width(), d.Height(), 24); DetectEdges(d, out); }},
    };
    std::printf("%-34s %8s %10s %6s %8s %10s %6s\n", "command", "op ms", "command ms", "share", "op cpu",
                "command cpu", "share");
    for (const Row& r : rows) {
        std::vector<double> op, whole, op_cpu, whole_cpu;
        for (int i = 0; i < rounds; ++i) {
            if (work.SetSize(kSide, kSide, 24) != kOk)
                return 1;
            for (int y = 0; y < kSide; ++y)
                std::copy(doc.display->ScanLine(y), doc.display->ScanLine(y) + kSide * 3, work.ScanLine(y));
            pause();
            Clock::time_point t = Clock::now();
            double c = ThreadCpuMs();
            r.op(work);
            op.push_back(Ms(Clock::now() - t));
            op_cpu.push_back(ThreadCpuMs() - c);

            pause();
            t = Clock::now();
            c = ThreadCpuMs();
            form.Command(r.command)->trigger();
            form.PicturePage().View()->repaint();
            whole.push_back(Ms(Clock::now() - t));
            whole_cpu.push_back(ThreadCpuMs() - c);
        }
        const double o = Median(op), w = Median(whole), oc = Median(op_cpu), wc = Median(whole_cpu);
        std::printf("%-34s %8.1f %10.1f %5.0f%% %8.1f %10.1f %5.0f%%\n", r.command, o, w, 100.0 * (w - o) / o, oc, wc,
                    100.0 * (wc - oc) / oc);
    }
    std::vector<double> undo, undo_cpu;
    for (int i = 0; i < rounds; ++i) {
        pause();
        const Clock::time_point t = Clock::now();
        const double c = ThreadCpuMs();
        form.Command("mn_Edit_Undo")->trigger();
        form.PicturePage().View()->repaint();
        undo.push_back(Ms(Clock::now() - t));
        undo_cpu.push_back(ThreadCpuMs() - c);
    }
    std::printf("%-34s %8s %10.1f %6s %8s %10.1f\n", "mn_Edit_Undo", "-", Median(undo), "", "-", Median(undo_cpu));
    return 0;
}
