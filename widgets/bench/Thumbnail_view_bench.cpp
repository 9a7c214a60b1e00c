// The thumbnail view standalone over a folder, and the timings of thumbnails:
//
//   ravelscope_thumbnail_view DIR [--select ROWS] [--current ROW]
//       The view in a window over DIR's file list (the document's order); prints "ready"
//       once the visible thumbnails are in. ROWS: comma-separated rows to select (the
//       screenshot script shows a multi-selection). Esc closes it.
//   ravelscope_thumbnail_view --make DIR [--threads N] [--first N]
//       The worker pool alone over DIR's file list in order: milliseconds until the first
//       N (default 40) and until all have their thumbnails, and how they came about.
//   ravelscope_thumbnail_view --bench-view DIR
//       Gives the view, shown in a 1000 x 700 window, the list of DIR; waits for the first screen, then
//       pages down to the end: the longest stall of the event loop, the time SetFiles took,
//       the visible thumbnails present at the first paint of the cells, and the time to
//       the first screen complete.
//
// The thumbnail cache is $XDG_CACHE_HOME/thumbnails (else ~/.cache/thumbnails): point
// XDG_CACHE_HOME at an empty folder for a cold run.
#include "core/Imageinfo.h"
#include "thumbnails/Thumbnail_maker.h"
#include "widgets/Thumbnail_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double ThreadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

std::vector<std::string> FileList(const char* dir)
{
    TIMAGE_INFO doc;
    std::string d = std::filesystem::absolute(dir).lexically_normal().string(); // the list is of absolute paths
    while (d.size() > 1 && d.back() == '/')
        d.pop_back();
    if (!doc.BuildFileList(d))
        std::fprintf(stderr, "%s: cannot be read\n", dir);
    return doc.file_list;
}

const char* Option(int argc, char** argv, const char* name)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return nullptr;
}

int MakeAll(const char* dir, int threads, int first)
{
    const std::vector<std::string> paths = FileList(dir);
    const THUMBNAIL_CACHE cache = THUMBNAIL_CACHE::FromEnvironment();
    std::map<ThumbRoute, int> routes;
    std::mutex routes_mutex;
    const auto start = Clock::now();
    THUMBNAIL_POOL pool(
        [&] {
            auto maker = std::make_shared<THUMBNAIL_MAKER>(cache, kThumbNormal);
            return [&, maker](const std::string& path, const std::atomic<bool>& cancel) {
                THUMB_RESULT r = maker->Make(path, cancel);
                std::lock_guard lock(routes_mutex);
                ++routes[maker->LastRoute()];
                return r;
            };
        },
        threads);
    pool.Want(paths);
    std::size_t done = 0;
    double first_ms = 0;
    int failed = 0;
    while (done < paths.size()) {
        pool.WaitForResults(Clock::now() + std::chrono::seconds(1));
        for (const THUMB_RESULT& r : pool.Take()) {
            ++done;
            failed += r.status != THUMB_RESULT::Status::kReady;
            if (done == static_cast<std::size_t>(first))
                first_ms = Ms(Clock::now() - start);
        }
    }
    const double all_ms = Ms(Clock::now() - start);
    const char* names[] = {"none", "cache", "larger cache", "failure record", "Exif thumbnail", "scaled JPEG",
                           "open"};
    std::printf("files %zu threads %d first %d: %.0f ms all: %.0f ms (%.2f ms a file) failed %d\n", paths.size(),
                pool.Threads(), first, first_ms, all_ms, all_ms / static_cast<double>(paths.size()), failed);
    for (const auto& [route, n] : routes)
        std::printf("  %s: %d\n", names[static_cast<int>(route)], n);
    return 0;
}

// The view, noting what its first paint showed.
class TBenchView : public TThumbnailView {
public:
    using TThumbnailView::TThumbnailView;
    int visible_at_first_paint = -1;
    int ready_at_first_paint = -1;
    Clock::time_point first_paint_at;

protected:
    bool viewportEvent(QEvent* e) override
    {
        const bool result = TThumbnailView::viewportEvent(e);
        if (e->type() == QEvent::Paint && visible_at_first_paint < 0 && Count() > 0 && !HoldingCells()) {
            first_paint_at = Clock::now();
            const auto [first, last] = VisibleRows();
            visible_at_first_paint = last - first + 1;
            ready_at_first_paint = 0;
            for (int row = first; row <= last; ++row)
                ready_at_first_paint += StateAt(row) != ItemState::kWaiting;
        }
        return result;
    }
};

int BenchView(const char* dir)
{
    const auto list_start = Clock::now();
    const std::vector<std::string> paths = FileList(dir);
    const double list_ms = Ms(Clock::now() - list_start);
    const THUMBNAIL_CACHE cache = THUMBNAIL_CACHE::FromEnvironment();
    TBenchView view(cache);
    view.resize(1000, 700);

    // The longest gap between ticks of a 1 ms timer: how long the event loop was held, on
    // the clock and in the thread's own CPU time (what it did in one go, however much the
    // machine's other work held it up).
    double stall = 0, stall_cpu = 0;
    auto last_tick = Clock::now();
    double last_cpu = ThreadCpuMs();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        const double cpu = ThreadCpuMs();
        stall = std::max(stall, Ms(now - last_tick));
        stall_cpu = std::max(stall_cpu, cpu - last_cpu);
        last_tick = now;
        last_cpu = cpu;
    });
    ticker.start(1);

    // The window is on screen (empty) before the list comes, as a page of a window is.
    view.show();
    double set_ms = 0, first_screen_ms = -1;
    Clock::time_point opened;
    QTimer::singleShot(500, [&] {
        last_tick = Clock::now();
        last_cpu = ThreadCpuMs();
        stall = stall_cpu = 0;
        opened = Clock::now();
        view.SetFiles(paths, 0);
        set_ms = Ms(Clock::now() - opened);
    });
    // Then: wait for the first screen, page down to the end, wait for the last screen.
    QTimer poll;
    int phase = 0;
    double stall_opening = 0, stall_cpu_opening = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (view.Count() == 0)
            return;
        const auto [first, last] = view.VisibleRows();
        bool complete = last >= first;
        for (int row = first; row <= last; ++row)
            complete = complete && view.StateAt(row) != TThumbnailView::ItemState::kWaiting;
        if (phase == 0 && complete) {
            first_screen_ms = Ms(Clock::now() - opened);
            stall_opening = stall;
            stall_cpu_opening = stall_cpu;
            phase = 1;
        } else if (phase == 1) {
            if (last >= view.Count() - 1) {
                phase = 2;
                return;
            }
            QKeyEvent page(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
            QApplication::sendEvent(&view, &page);
        } else if (phase == 2 && complete) {
            QApplication::quit();
        }
    });
    poll.start(30);
    QTimer::singleShot(600000, [] { QApplication::quit(); });
    QApplication::exec();
    std::printf("files %zu (listed in %.1f ms): SetFiles %.1f ms, first paint %.1f ms after it with %d of %d "
                "visible thumbnails, first screen complete after %.0f ms; longest stall opening %.1f ms "
                "(CPU %.1f ms), paging to the end %.1f ms (CPU %.1f ms)\n",
                paths.size(), list_ms, set_ms, Ms(view.first_paint_at - opened), view.ready_at_first_paint,
                view.visible_at_first_paint, first_screen_ms, stall_opening, stall_cpu_opening, stall, stall_cpu);
    return 0;
}

int Show(const char* dir, int argc, char** argv)
{
    const std::vector<std::string> paths = FileList(dir);
    const THUMBNAIL_CACHE cache = THUMBNAIL_CACHE::FromEnvironment();
    if (!cache.Usable())
        std::fprintf(stderr, "%s\n", cache.Refusal().c_str());
    TThumbnailView view(cache);
    view.setWindowTitle(QString("Thumbnails -- %1").arg(QString::fromLocal8Bit(dir)));
    view.resize(760, 560);
    const char* current = Option(argc, argv, "--current");
    view.SetFiles(paths, current != nullptr ? std::atoi(current) : 0);
    if (const char* rows = Option(argc, argv, "--select")) {
        for (const QString& row : QString(rows).split(',')) {
            const QModelIndex index = view.model()->index(row.toInt(), 0);
            view.selectionModel()->select(index, QItemSelectionModel::Select);
        }
    }
    QObject::connect(&view, &TThumbnailView::OpenRequested,
                     [](const QString& path) { std::printf("open %s\n", qPrintable(path)); });
    QObject::connect(&view, &TThumbnailView::BackRequested, [] { QApplication::quit(); });
    view.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const auto [first, last] = view.VisibleRows();
        for (int row = first; row <= last; ++row)
            if (view.StateAt(row) == TThumbnailView::ItemState::kWaiting)
                return;
        std::printf("ready\n");
        std::fflush(stdout);
        poll.stop();
    });
    poll.start(50);
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--make") == 0) {
        const char* threads = Option(argc, argv, "--threads");
        const char* first = Option(argc, argv, "--first");
        return MakeAll(argv[2], threads != nullptr ? std::atoi(threads) : THUMBNAIL_POOL::DefaultThreads(),
                       first != nullptr ? std::atoi(first) : 40);
    }
    QApplication app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--bench-view") == 0)
        return BenchView(argv[2]);
    if (argc >= 2 && argv[1][0] != '-')
        return Show(argv[1], argc, argv);
    std::fprintf(stderr, "usage: %s DIR | --make DIR [--threads N] [--first N] | --bench-view DIR\n", argv[0]);
    return 2;
}
