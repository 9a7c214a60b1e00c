// The main window's view driven as a person would: Fit to Window, zoom, a selection on a
// scaled view cropped, Next and Previous from preloaded pictures, drag and drop, the wheel.
#include "core/Imageinfo.h"
#include "platform/Ini_file.h"
#include "viewer/Help_window.h"
#include "viewer/Picture_view.h"
#include "viewer/Unit1.h"
#include "viewer/logic/Rect_object.h"
#include "viewer/logic/Startup.h"
#include "viewer/tests/Gui_test_support.h"
#include "viewer/tests/Picture_files.h"
#include "viewer/tests/Window_test_base.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

#include <utime.h>

#include <memory>

namespace {

// Every pixel its own colour, kept clear of the outline's white and black.
void Pattern(int x, int y, std::uint8_t* p)
{
    p[0] = static_cast<std::uint8_t>(20 + x % 200);
    p[1] = static_cast<std::uint8_t>(20 + y % 200);
    p[2] = static_cast<std::uint8_t>(20 + (x / 200) * 13 + (y / 200) * 7);
}

void Wheel(QWidget* w, int delta, Qt::KeyboardModifiers mods)
{
    QWheelEvent e(QPointF(20, 20), w->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

} // namespace

class TestViewZoom : public TWindowTestBase {
    Q_OBJECT

private:

    std::string Path(const char* name) const { return dir_->filePath(name).toStdString(); }
    std::string Ini() const { return settings_->filePath("RVS.ini").toStdString(); }

    std::unique_ptr<TForm1> OpenForm(const char* name, bool fit)
    {
        IniFile ini(Ini());
        ini.WriteInteger("Screen", "Width", 630);
        ini.WriteInteger("View", "FitToWindow", fit ? 1 : 0);
        FORM_OPTIONS o;
        o.settings_dir = settings_->path().toStdString();
        o.hand_off_fallback = HandOffPath(Path(name));
        auto form = std::make_unique<TForm1>(*doc_, *selection_, *help_, o);
        form->show();
        return form;
    }

    void WriteSolid(const char* name, int w, int h, std::uint8_t level)
    {
        QVERIFY(WriteSolidPicture(Path(name), w, h, level, level, level));
    }

    static std::uint8_t ShownLevel(const TIMAGE_INFO& doc) { return doc.display->ScanLine(0)[0]; }

private slots:
    void init()
    {
        MakeFixture();
    }

    void cleanup()
    {
        DropFixture();
    }

    void fitShowsTheWholePicture()
    {
        QVERIFY(WriteTestPicture(Path("big.ppm"), 3000, 2000, Pattern));
        auto form = OpenForm("big.ppm", true);
        QVERIFY(form->FitToWindow());
        QVERIFY(form->Command("mn_View_FitToWindow")->isChecked());
        QVERIFY(form->ZoomFactor() < 1.0);
        const QSize shown = form->View()->ShownSize();
        QVERIFY(qAbs(shown.width() * 2000 / 3000 - shown.height()) <= 1); // proportions kept
        QVERIFY(QRect(QPoint(1, 1), shown).adjusted(0, 0, -1, -1).isValid());
        QVERIFY(QRect(QPoint(0, 0), form->View()->size()).contains(QRect(QPoint(1, 1), shown)));
        QVERIFY(form->screen()->availableGeometry().contains(form->frameGeometry()));
        const QString text = form->findChild<QLabel*>("ZoomPanel")->text();
        QCOMPARE(text, QString::fromStdString(ZoomText(form->ZoomFactor())));
        QVERIFY(text.startsWith("Zoom "));

        // W turns it off for the next picture shown and remembers that.
        form->Command("mn_View_FitToWindow")->trigger();
        QCOMPARE(IniFile(Ini()).ReadInteger("View", "FitToWindow", -1), 0);
        QCOMPARE(form->ZoomFactor(), 1.0);
        QVERIFY(form->findChild<QLabel*>("ZoomPanel")->isHidden());

        // A picture smaller than the screen stays at its natural size.
        QVERIFY(WriteTestPicture(Path("small.ppm"), 120, 80, Pattern));
        form->Command("mn_View_FitToWindow")->trigger();
        QCOMPARE(IniFile(Ini()).ReadInteger("View", "FitToWindow", -1), 1);
        doc_->current_path = Path("small.ppm");
        form->OpenCurrentPath();
        QCOMPARE(form->ZoomFactor(), 1.0);
    }

    void selectionCropsTheOutlinedPixels_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<bool>("fit");
        QTest::addColumn<int>("zoom_ins");
        QTest::newRow("fitted 3000 x 2000") << 3000 << 2000 << true << 0;
        QTest::newRow("enlarged 1.1^8") << 90 << 60 << false << 8;
    }

    // The outline drawn on the scaled view encloses exactly the picture pixels Crop keeps,
    // whatever the zoom.
    void selectionCropsTheOutlinedPixels()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(bool, fit);
        QFETCH(int, zoom_ins);
        QVERIFY(WriteTestPicture(Path("p.ppm"), w, h, Pattern));
        auto form = OpenForm("p.ppm", fit);
        for (int i = 0; i < zoom_ins; ++i)
            form->Command("mn_Tests_ZoomIn")->trigger();
        QVERIFY(form->ZoomFactor() != 1.0);
        const VIEW_MAP map = form->View()->Map();
        TPictureView* view = form->View();

        form->Command("tb_DrawRect")->trigger();
        const QPoint from(23, 17), to(151, 103);
        Drag(view, from, to);
        QVERIFY(form->SelectionActive());
        RECT_BOUNDS b = form->Selection().Bounds();
        QCOMPARE(b.left, map.PictureX(from.x()));
        QCOMPARE(b.top, map.PictureY(from.y()));
        QCOMPARE(b.right, map.PictureX(to.x()));
        QCOMPARE(b.bottom, map.PictureY(to.y()));

        // The outline sits on the edges of the first and one past the last pixel kept.
        const QImage painted = view->grab().toImage();
        const auto on_outline = [&](int x, int y) {
            const QColor c = painted.pixelColor(x, y);
            return c == Qt::white || c == Qt::black;
        };
        const int left = map.ViewX(b.left), right = map.ViewX(b.right);
        const int top = map.ViewY(b.top), bottom = map.ViewY(b.bottom);
        const int mid_y = (top + bottom) / 2, mid_x = (left + right) / 2;
        QVERIFY(on_outline(left, mid_y) && on_outline(right, mid_y));
        QVERIFY(on_outline(mid_x, top) && on_outline(mid_x, bottom));
        QVERIFY(!on_outline(left + 1, mid_y + 1) && !on_outline(left - 1, mid_y + 1));
        // Inside the outline the view shows the picture pixel the mapping names.
        if (form->ZoomFactor() > 1.0) {
            std::uint8_t expected[3];
            Pattern(b.left, b.top, expected);
            const QColor inside = painted.pixelColor(left + 1, top + 1);
            QCOMPARE(inside, QColor(expected[2], expected[1], expected[0]));
        }

        // The right edge is grabbed 4 view pixels beside it at any zoom, and dragged.
        Drag(view, QPoint(right + 4, mid_y), QPoint(right + 30, mid_y));
        b = form->Selection().Bounds();
        QCOMPARE(b.left, map.PictureX(from.x()));
        QCOMPARE(b.right, map.PictureX(right + 30));

        form->Command("mn_Edit_Crop")->trigger();
        // A fitted picture cropped to less than the screen shows at its natural size; a
        // zoom chosen by the user stays.
        QCOMPARE(form->ZoomFactor() == 1.0, fit);
        const Dib& cropped = *doc_->display;
        QCOMPARE(cropped.Width(), b.right - b.left);
        QCOMPARE(cropped.Height(), b.bottom - b.top);
        for (int y = 0; y < cropped.Height(); ++y)
            for (int x = 0; x < cropped.Width(); ++x) {
                std::uint8_t expected[3];
                Pattern(b.left + x, b.top + y, expected);
                const std::uint8_t* got = cropped.ScanLine(y) + 3 * x;
                if (got[0] != expected[0] || got[1] != expected[1] || got[2] != expected[2])
                    QFAIL(qPrintable(QString("pixel %1, %2 of the crop").arg(x).arg(y)));
            }
    }

    void zoomInThenOutReturnsFactorAndView()
    {
        QVERIFY(WriteTestPicture(Path("p.ppm"), 400, 300, Pattern));
        auto form = OpenForm("p.ppm", false);
        const QSize window = form->size();
        const QImage before = form->View()->grab().toImage();
        QCOMPARE(form->ZoomFactor(), 1.0);

        form->Command("mn_Tests_ZoomIn")->trigger();
        Wheel(form.get(), 120, Qt::ControlModifier); // Ctrl + wheel away: in
        QCOMPARE(form->Zoom().Steps(), 2);
        QCOMPARE(form->View()->ShownSize(), QSize(484, 363));
        QCOMPARE(form->findChild<QLabel*>("ZoomPanel")->text(), QString("Zoom 121%"));
        // Sharp blocks: a picture pixel's block is one colour up to its last view pixel.
        const VIEW_MAP map = form->View()->Map();
        const QImage zoomed = form->View()->grab().toImage();
        QCOMPARE(zoomed.pixelColor(map.ViewX(5), map.ViewY(5)), zoomed.pixelColor(map.ViewX(6) - 1, map.ViewY(6) - 1));
        QVERIFY(zoomed.pixelColor(map.ViewX(5), map.ViewY(5)) != zoomed.pixelColor(map.ViewX(6), map.ViewY(5)));

        form->Command("mn_Tests_ZoomOut")->trigger();
        Wheel(form.get(), -120, Qt::ControlModifier);
        QCOMPARE(form->ZoomFactor(), 1.0);
        QCOMPARE(form->size(), window);
        QCOMPARE(form->View()->grab().toImage(), before);
        QVERIFY(form->findChild<QLabel*>("ZoomPanel")->isHidden());

        for (int i = 0; i < 3; ++i)
            form->Command("mn_Tests_ZoomOut")->trigger();
        QCOMPARE(form->View()->ShownSize(), QSize(292, 219)); // 0.9^3
        form->Command("mn_View_ActualSize")->trigger();
        QCOMPARE(form->ZoomFactor(), 1.0);
        QCOMPARE(form->View()->grab().toImage(), before);
    }

    void nextTakesPreloadsAndRereadsReplacedFiles()
    {
        WriteSolid("a.ppm", 30, 20, 10);
        WriteSolid("b.ppm", 30, 20, 20);
        WriteSolid("c.ppm", 30, 20, 30);
        auto form = OpenForm("a.ppm", false);
        form->Preloads().WaitIdle();
        QCOMPARE(form->Preloads().ReadyCount(), std::size_t{2}); // b and c

        form->Command("mn_View_NextFile")->trigger();
        QCOMPARE(doc_->current_path, Path("b.ppm"));
        QCOMPARE(ShownLevel(*doc_), 20);
        QCOMPARE(form->StatusPanel(0), QString("30 x 20 x 24 BPP"));
        QVERIFY(form->windowTitle().endsWith("b.ppm"));
        QCOMPARE(doc_->current_index, 1);

        // c is replaced after it was preloaded: Next shows the new file.
        form->Preloads().WaitIdle();
        WriteSolid("c.ppm", 50, 40, 99);
        struct utimbuf t {2000000000, 2000000000};
        QCOMPARE(utime(Path("c.ppm").c_str(), &t), 0);
        Wheel(form.get(), -120, Qt::NoModifier); // the wheel towards the user: Next
        QCOMPARE(doc_->current_path, Path("c.ppm"));
        QCOMPARE(ShownLevel(*doc_), 99);
        QCOMPARE(doc_->display_width, 50);

        form->Preloads().WaitIdle();
        Wheel(form.get(), 120, Qt::NoModifier);
        QCOMPARE(doc_->current_path, Path("b.ppm"));
        QCOMPARE(ShownLevel(*doc_), 20);
        form->Command("mn_View_PreviousFile")->trigger();
        QCOMPARE(ShownLevel(*doc_), 10);

        // A preload that failed stays silent; stepping there reports it as any open would.
        form->Preloads().WaitIdle();
        QVERIFY(WriteSolidPicture(Path("b.ppm"), 1, 1, 0, 0, 0));
        QFile broken(QString::fromStdString(Path("b.ppm")));
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write("P6 broken");
        broken.close();
        form->Command("mn_View_NextFile")->trigger();
        QCOMPARE(doc_->current_path, Path("c.ppm")); // b dropped from the list, as without preloading
        QCOMPARE(doc_->file_list.size(), std::size_t{2});
    }

    void slideShowTakesPreloads()
    {
        WriteSolid("a.ppm", 30, 20, 10);
        WriteSolid("b.ppm", 30, 20, 20);
        WriteSolid("c.ppm", 30, 20, 30);
        auto form = OpenForm("a.ppm", false);
        for (const int level : {10, 20, 30, 10}) { // from the current entry on, wrapping
            form->Preloads().WaitIdle();
            form->SlideShowTimerTick();
            QCOMPARE(ShownLevel(*doc_), level);
        }
        QCOMPARE(doc_->current_index, 1);
    }

    // The start picture decoded while the application started is the one shown; a broken
    // one is reported as any open would.
    void startPictureComesFromTheStartPreload()
    {
        WriteSolid("a.ppm", 30, 20, 10);
        WriteSolid("b.ppm", 30, 20, 20);
        QFile broken(dir_->filePath("c.ppm"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("P6 broken");
        broken.close();
        IniFile(Ini()).WriteInteger("Screen", "Width", 630);
        for (const char* name : {"b.ppm", "c.ppm"}) {
            FORM_OPTIONS o;
            o.settings_dir = settings_->path().toStdString();
            o.hand_off_fallback = HandOffPath(Path(name));
            o.start_preload = std::make_shared<PRELOAD_CACHE>();
            o.start_preload->Want({Path(name)});
            o.start_preload->WaitIdle();
            const bool good = name[0] == 'b';
            QCOMPARE(o.start_preload->ReadyCount(), std::size_t{good ? 1u : 0u});
            TForm1 form(*doc_, *selection_, *help_, o);
            QCOMPARE(o.start_preload->ReadyCount(), std::size_t{0}); // taken
            QCOMPARE(form.PictureShown(), good);
            if (good) {
                QCOMPARE(ShownLevel(*doc_), 20);
                QCOMPARE(doc_->file_list.size(), std::size_t{3});
                QCOMPARE(doc_->current_index, 1);
            } else {
                QVERIFY(form.statusBar()->currentMessage().startsWith("c.ppm: "));
            }
        }
    }

    void dropOpensTheFileAndListsItsFolder()
    {
        WriteSolid("a.ppm", 30, 20, 10);
        QTemporaryDir other;
        const QString dropped = other.filePath("x.ppm");
        QVERIFY(WriteSolidPicture(dropped.toStdString(), 40, 30, 77, 77, 77));
        QVERIFY(WriteSolidPicture(other.filePath("y.ppm").toStdString(), 40, 30, 88, 88, 88));
        auto form = OpenForm("a.ppm", false);

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(dropped)});
        QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(30, 30), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &drop);
        QCOMPARE(doc_->current_path, dropped.toStdString());
        QCOMPARE(ShownLevel(*doc_), 77);
        QCOMPARE(doc_->file_list.size(), std::size_t{2});

        QMimeData text;
        text.setText("not a file");
        QDragEnterEvent refused(QPoint(30, 30), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        refused.setAccepted(false);
        QApplication::sendEvent(form.get(), &refused);
        QVERIFY(!refused.isAccepted());
    }
};

QTEST_MAIN(TestViewZoom)
#include "View_zoom_window_test.moc"
