// The thumbnail view on its own: thumbnails appear from a real cache and maker, refused
// pictures are marked, the keys and the mouse select and open, and the pool is asked for
// what is visible first, with what scrolled away cancelled and memory held bounded.
#include "tests/jpeg_fixtures.h"
#include "tests/test_support.h"
#include "viewer/tests/Gui_test_support.h"
#include "widgets/Thumbnail_view.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

// Jobs that make a 1 x 1 picture after a pause (cancelled as soon as they are told), and
// note the rows they were asked for ("row123").
class FAKE_JOBS {
public:
    explicit FAKE_JOBS(int pause_ms, bool from_cache = false) : pause_ms_(pause_ms), from_cache_(from_cache) {}
    THUMBNAIL_POOL::JobFactory Factory()
    {
        return [this] {
            return [this](const std::string& path, const std::atomic<bool>& cancel) {
                {
                    std::lock_guard lock(m_);
                    asked_.push_back(std::stoi(path.substr(3)));
                }
                THUMB_RESULT r;
                for (int ms = 0; ms < pause_ms_; ++ms) {
                    if (cancel.load()) {
                        std::lock_guard lock(m_);
                        ++cancelled_;
                        r.status = THUMB_RESULT::Status::kCancelled;
                        return r;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                r.status = THUMB_RESULT::Status::kReady;
                r.from_cache = from_cache_;
                r.picture = std::make_unique<Dib>();
                if (r.picture->SetSize(1, 1, 24) != 0)
                    r.status = THUMB_RESULT::Status::kFailed;
                return r;
            };
        };
    }
    std::vector<int> Asked()
    {
        std::lock_guard lock(m_);
        return asked_;
    }
    int Cancelled()
    {
        std::lock_guard lock(m_);
        return cancelled_;
    }

private:
    const int pause_ms_;
    const bool from_cache_;
    std::mutex m_;
    std::vector<int> asked_;
    int cancelled_ = 0;
};

std::vector<std::string> FakeRows(int n)
{
    std::vector<std::string> paths;
    for (int i = 0; i < n; ++i)
        paths.push_back("row" + std::to_string(i));
    return paths;
}

bool VisibleDone(const TThumbnailView& view)
{
    const auto [first, last] = view.VisibleRows();
    for (int row = first; row <= last; ++row)
        if (view.StateAt(row) == TThumbnailView::ItemState::kWaiting)
            return false;
    return last >= first;
}

QPoint CellCentre(const TThumbnailView& view, int row)
{
    return view.visualRect(view.model()->index(row, 0)).center();
}

void Click(TThumbnailView& view, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, CellCentre(view, row));
}

QStringList Paths(const std::vector<std::string>& all, std::initializer_list<int> rows)
{
    QStringList out;
    for (const int r : rows)
        out << QString::fromStdString(all[static_cast<std::size_t>(r)]);
    return out;
}

} // namespace

class ThumbnailViewTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir_ = std::make_unique<TempDir>();
        cache_ = std::make_unique<THUMBNAIL_CACHE>(dir_->path() + "/cache/thumbnails");
        paths_.clear();
        // Pictures of a colour each, every other one a JPEG.
        for (char letter = 'a'; letter <= 'l'; ++letter) {
            const int w = 160 + 10 * (letter - 'a');
            const std::string path = dir_->File(std::string(1, letter) + (letter % 2 ? ".ppm" : ".jpg"));
            if (letter % 2) {
                QVERIFY(WriteLetterPicture(path, letter, w, 120));
            } else {
                const QColor c = ColourOf(letter);
                const auto b = static_cast<std::uint8_t>(c.blue()), g = static_cast<std::uint8_t>(c.green()),
                           r = static_cast<std::uint8_t>(c.red());
                WriteBytes(path, SolidJpeg(w, 120, b, g, r));
            }
            paths_.push_back(path);
        }
        paths_.push_back(dir_->File("m_refused.jpg"));
        WriteBytes(paths_.back(), ToBytes("not a picture"));
    }

    void cleanup()
    {
        cache_.reset();
        dir_.reset();
    }

    void thumbnailsAppearAndRefusedPicturesAreMarked()
    {
        TThumbnailView view(*cache_);
        view.resize(760, 560);
        view.SetFiles(paths_, 0);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(VisibleDone(view), 30000);
        const auto [first, last] = view.VisibleRows();
        QCOMPARE(first, 0);
        QVERIFY(last >= 8);
        const QImage shot = view.viewport()->grab().toImage();
        for (int row = first; row <= std::min(last, 11); ++row) {
            QCOMPARE(view.StateAt(row), TThumbnailView::ItemState::kReady);
            // The middle of the cell's square shows the picture's colour.
            const QRect cell = view.visualRect(view.model()->index(row, 0));
            const QColor got = shot.pixelColor(cell.left() + 8 + 64, cell.top() + 8 + 64);
            const QColor want = ColourOf(static_cast<char>('a' + row));
            QVERIFY2(std::abs(got.red() - want.red()) < 8 && std::abs(got.green() - want.green()) < 8 &&
                         std::abs(got.blue() - want.blue()) < 8,
                     qPrintable(QString("row %1: %2 for %3").arg(row).arg(got.name(), want.name())));
        }
        view.scrollToBottom();
        QTRY_COMPARE_WITH_TIMEOUT(view.StateAt(12), TThumbnailView::ItemState::kFailed, 30000);
        // The thumbnails went to the shared cache: a second view finds them there.
        TThumbnailView again(*cache_);
        again.resize(760, 560);
        again.SetFiles(paths_, 0);
        again.show();
        QTRY_VERIFY_WITH_TIMEOUT(VisibleDone(again), 30000);
        THUMB_SOURCE source;
        QVERIFY(ReadThumbSource(paths_[0], source));
        QVERIFY(QFile::exists(QString::fromStdString(cache_->ThumbnailPath(source.uri, kThumbNormal))));
    }

    void keysMoveOpenAndGoBack()
    {
        FAKE_JOBS jobs(0);
        TThumbnailView view(jobs.Factory(), 1);
        view.resize(760, 560);
        view.SetFiles(paths_, 2);
        view.show();
        QSignalSpy open(&view, &TThumbnailView::OpenRequested);
        QSignalSpy back(&view, &TThumbnailView::BackRequested);
        QCOMPARE(view.CurrentRow(), 2);
        QCOMPARE(view.SelectedPaths(), Paths(paths_, {2}));
        QTest::keyClick(&view, Qt::Key_Right);
        QCOMPARE(view.CurrentRow(), 3);
        const int per_line = view.visualRect(view.model()->index(1, 0)).left() -
                             view.visualRect(view.model()->index(0, 0)).left();
        QVERIFY(per_line > 0);
        QTest::keyClick(&view, Qt::Key_Down);
        QVERIFY(view.CurrentRow() > 3);
        QTest::keyClick(&view, Qt::Key_End);
        QCOMPARE(view.CurrentRow(), view.Count() - 1);
        QTest::keyClick(&view, Qt::Key_Home);
        QCOMPARE(view.CurrentRow(), 0);
        QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(view.SelectedPaths(), Paths(paths_, {0, 1, 2}));
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(open.count(), 1);
        QCOMPARE(open.takeFirst().at(0).toString(), QString::fromStdString(paths_[2]));
        QTest::keyClick(&view, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(open.count(), 1);
        QTest::keyClick(&view, Qt::Key_Escape);
        QCOMPARE(back.count(), 1);
    }

    void mouseSelectsAndOpens()
    {
        FAKE_JOBS jobs(0);
        TThumbnailView view(jobs.Factory(), 1);
        view.resize(760, 560);
        view.SetFiles(paths_, -1);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy selection(&view, &TThumbnailView::SelectionChanged);
        QSignalSpy open(&view, &TThumbnailView::OpenRequested);
        Click(view, 2);
        QCOMPARE(view.SelectedPaths(), Paths(paths_, {2}));
        Click(view, 5, Qt::ControlModifier);
        QCOMPARE(view.SelectedPaths(), Paths(paths_, {2, 5}));
        Click(view, 8, Qt::ShiftModifier); // from the last click on, the rest kept
        QCOMPARE(view.SelectedPaths(), Paths(paths_, {2, 5, 6, 7, 8}));
        Click(view, 6, Qt::ControlModifier);
        QCOMPARE(view.SelectedPaths(), Paths(paths_, {2, 5, 7, 8}));
        QVERIFY(selection.count() >= 4);
        QCOMPARE(selection.last().at(0).toStringList(), Paths(paths_, {2, 5, 7, 8}));
        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view.SelectedPaths().size(), static_cast<qsizetype>(paths_.size()));
        QCOMPARE(selection.last().at(0).toStringList().size(), static_cast<qsizetype>(paths_.size()));
        Click(view, 1);
        QCOMPARE(view.SelectedPaths(), Paths(paths_, {1}));
        Click(view, 3); // a double click's first press and release
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, CellCentre(view, 3));
        QCOMPARE(open.count(), 1);
        QCOMPARE(open.takeFirst().at(0).toString(), QString::fromStdString(paths_[3]));
    }

    // One slow worker: the first screen is asked for first, in order; after a jump to the
    // end the bottom rows come next and the work for the top is cancelled.
    void asksForWhatIsVisibleFirstAndCancelsWhatScrolledAway()
    {
        FAKE_JOBS jobs(60);
        TThumbnailView view(jobs.Factory(), 1);
        view.resize(760, 560);
        view.SetFiles(FakeRows(600), 0);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(VisibleDone(view), 30000);
        const auto [first, last] = view.VisibleRows();
        const std::vector<int> start = jobs.Asked();
        QVERIFY(static_cast<int>(start.size()) > last);
        for (int row = first; row <= last; ++row)
            QCOMPARE(start[static_cast<std::size_t>(row)], row);

        const std::size_t before = jobs.Asked().size();
        view.scrollToBottom();
        QTRY_VERIFY_WITH_TIMEOUT(VisibleDone(view), 30000);
        const auto [bottom_first, bottom_last] = view.VisibleRows();
        QCOMPARE(bottom_last, 599);
        const std::vector<int> after = jobs.Asked();
        // At most the jobs started before the jump took effect are of the top; then the bottom.
        std::size_t at = before;
        while (at < after.size() && after[at] < bottom_first)
            ++at;
        QVERIFY(at <= before + 2);
        const std::vector<int> since(after.begin() + static_cast<std::ptrdiff_t>(before), after.end());
        for (int row = bottom_first; row <= bottom_last; ++row)
            QVERIFY(std::find(since.begin(), since.end(), row) != since.end());
        QVERIFY(jobs.Cancelled() + static_cast<int>(after.size()) < 600);
    }

    // After SetFiles the cells wait for the visible thumbnails when they come quickly, and
    // show their placeholders when they do not.
    void holdsTheCellsBackForCachedThumbnailsOnly()
    {
        for (const bool cached : {true, false}) {
            FAKE_JOBS jobs(cached ? 1 : 200, cached);
            TThumbnailView view(jobs.Factory(), 1);
            view.resize(760, 560);
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
            view.SetFiles(FakeRows(100), 0);
            QVERIFY(view.HoldingCells());
            const QImage held = view.viewport()->grab().toImage();
            QCOMPARE(held.pixelColor(CellCentre(view, 0)), view.viewport()->palette().color(QPalette::Base));
            QTRY_VERIFY_WITH_TIMEOUT(!view.HoldingCells(), 30000);
            if (cached)
                QVERIFY(VisibleDone(view)); // all at once
            else
                QVERIFY(!VisibleDone(view)); // placeholders first
        }
    }

    void holdsOnlyTheThumbnailsNearTheView()
    {
        FAKE_JOBS jobs(0);
        TThumbnailView view(jobs.Factory(), 2);
        view.resize(760, 560);
        view.SetFiles(FakeRows(3000), 0);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(VisibleDone(view), 30000);
        int peak = 0;
        while (view.VisibleRows().second < view.Count() - 1) {
            view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + view.viewport()->height());
            QTRY_VERIFY_WITH_TIMEOUT(VisibleDone(view), 30000);
            peak = std::max(peak, view.HeldThumbnails());
        }
        QVERIFY(peak > 100);
        QVERIFY(peak <= TThumbnailView::kKeptThumbnails);
        // The top was let go; scrolling back brings it again.
        QCOMPARE(view.StateAt(0), TThumbnailView::ItemState::kWaiting);
        view.scrollToTop();
        QTRY_COMPARE_WITH_TIMEOUT(view.StateAt(0), TThumbnailView::ItemState::kReady, 30000);
    }

private:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<THUMBNAIL_CACHE> cache_;
    std::vector<std::string> paths_;
};

QTEST_MAIN(ThumbnailViewTest)
#include "Thumbnail_view_test.moc"
