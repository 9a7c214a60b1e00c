// The main window's view driven as a person would: the first view of a photo, Fit to
// Window in a window that follows the pictures or keeps the user's size, zoom around the
// pointer, panning by drag, scroll bars and keys, a selection on a scaled view cropped,
// Next and Previous from preloaded pictures, drag and drop, the wheel, the second keys.
#include "core/Imageinfo.h"
#include "dialogs/Effect_form.h"
#include "dialogs/Fs_form.h"
#include "platform/Ini_file.h"
#include "viewer/Effect_commands.h"
#include "viewer/Unit1.h"
#include "viewer/logic/Startup.h"
#include "viewer/tests/Gui_test_support.h"
#include "viewer/tests/Picture_files.h"
#include "viewer/tests/Window_test_base.h"
#include "widgets/Help_window.h"
#include "widgets/Picture_view.h"
#include "widgets/logic/Rect_object.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QWindow>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
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

void Wheel(QWidget* w, int delta, Qt::KeyboardModifiers mods, QPoint at = QPoint(20, 20))
{
    QWheelEvent e(at, w->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase,
                  false);
    QApplication::sendEvent(w, &e);
}

// The window system resizes the window, as a drag of its frame does.
void UserResize(TForm1& form, QSize size)
{
    form.windowHandle()->resize(size);
    QTRY_COMPARE(form.size(), size);
}

// The picture is shown whole in the view.
bool ShownWhole(const TForm1& form)
{
    const TPictureView* v = form.PicturePage().View();
    return v->rect().contains(QRect(v->Origin(), v->ShownSize()).adjusted(-1, -1, 1, 1));
}

// A fitted picture: whole in the view and as long as it on one side, less the margins.
bool FittedInView(const TForm1& form)
{
    const QSize shown = form.PicturePage().View()->ShownSize();
    const QSize view = form.PicturePage().View()->size();
    return ShownWhole(form) && (shown.width() == view.width() - 2 || shown.height() == view.height() - 2);
}

QColor PatternColour(int x, int y)
{
    std::uint8_t p[3];
    Pattern(x, y, p);
    return QColor(p[2], p[1], p[0]);
}

} // namespace

class TestViewZoom : public TWindowTestBase {
    Q_OBJECT

private:

    std::string Path(const char* name) const { return dir_->filePath(name).toStdString(); }
    std::string Ini() const { return settings_->filePath("RVS.ini").toStdString(); }

    // fit: the settings' "View" "FitToWindow", or -1 for a user who never chose.
    std::unique_ptr<TForm1> OpenForm(const char* name, int fit)
    {
        IniFile ini(Ini());
        ini.WriteInteger("Screen", "Width", 630);
        if (fit >= 0)
            ini.WriteInteger("View", "FitToWindow", fit);
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

    void firstViewOfAPhoto_data()
    {
        QTest::addColumn<int>("fit");
        QTest::newRow("Fit to Window never chosen: on") << -1;
        QTest::newRow("turned off: natural size") << 0;
    }

    // A 4000 x 3000 photo opens whole, in a window as large as the screen lets it be;
    // with Fit to Window turned off it shows at its natural size in a window as wide as
    // the screen, with scroll bars, not as a strip of its top left corner.
    void firstViewOfAPhoto()
    {
        QFETCH(int, fit);
        QVERIFY(WriteTestPicture(Path("photo.ppm"), 4000, 3000, Pattern));
        auto form = OpenForm("photo.ppm", fit);
        const QRect avail = form->screen()->availableGeometry();
        QVERIFY(avail.contains(form->frameGeometry()));
        QCOMPARE(form->PicturePage().FitToWindow(), fit != 0);
        QCOMPARE(form->Command("mn_View_FitToWindow")->isChecked(), fit != 0);
        if (fit != 0) {
            QVERIFY(form->PicturePage().ZoomFactor() < 0.25);
            QVERIFY(ShownWhole(*form));
            const QSize shown = form->PicturePage().View()->ShownSize();
            QVERIFY(qAbs(shown.width() * 3 - shown.height() * 4) <= 4);
            // The screen's room is used: the limiting side fills it.
            QVERIFY(form->frameGeometry().width() >= avail.width() - 12 ||
                    shown.height() == MaxViewHeight(avail.height(), form->ChromeHeight()));
            QVERIFY(form->PicturePage().HorizontalBar()->isHidden() && form->PicturePage().VerticalBar()->isHidden());
        } else {
            QCOMPARE(form->PicturePage().ZoomFactor(), 1.0);
            QCOMPARE(form->frameGeometry().width(), form->screen()->geometry().width());
            QVERIFY(form->PicturePage().HorizontalBar()->isVisible() && form->PicturePage().VerticalBar()->isVisible());
            QCOMPARE(form->PicturePage().HorizontalBar()->maximum(), 4002 - form->PicturePage().View()->width());
            QCOMPARE(form->PicturePage().View()->grab().toImage().pixelColor(1, 1), PatternColour(0, 0));
        }
    }

    // Once the user sizes the window it keeps that size while browsing, and every picture
    // is fitted into it again at each resize, until a zoom command sets the factor.
    void userSizedWindowKeepsItsSizeAndRefits()
    {
        QVERIFY(WriteTestPicture(Path("a.ppm"), 3000, 2000, Pattern));
        QVERIFY(WriteTestPicture(Path("b.ppm"), 1000, 3000, Pattern));
        WriteSolid("c.ppm", 60, 40, 50);
        auto form = OpenForm("a.ppm", -1);
        QVERIFY(!form->Sizing().Kept());
        const double followed = form->PicturePage().ZoomFactor();

        UserResize(*form, QSize(500, 400));
        QVERIFY(form->Sizing().Kept());
        QVERIFY(form->PicturePage().ZoomFactor() < followed);
        QVERIFY(FittedInView(*form));

        form->Command("mn_View_NextFile")->trigger();
        QCOMPARE(doc_->current_path, Path("b.ppm"));
        QCOMPARE(form->size(), QSize(500, 400));
        QVERIFY(FittedInView(*form));
        // A small picture keeps its size, in the middle of the window.
        form->Command("mn_View_NextFile")->trigger();
        QCOMPARE(form->size(), QSize(500, 400));
        QCOMPARE(form->PicturePage().ZoomFactor(), 1.0);
        QCOMPARE(form->PicturePage().View()->Origin(), QPoint((form->PicturePage().View()->width() - 60) / 2, (form->PicturePage().View()->height() - 40) / 2));

        form->Command("mn_View_PreviousFile")->trigger();
        const double before = form->PicturePage().ZoomFactor();
        UserResize(*form, QSize(600, 700));
        QVERIFY(form->PicturePage().ZoomFactor() > before);
        QVERIFY(FittedInView(*form));
        form->Command("mn_Tests_ZoomIn")->trigger();
        const double zoomed = form->PicturePage().ZoomFactor();
        UserResize(*form, QSize(520, 420));
        QCOMPARE(form->PicturePage().ZoomFactor(), zoomed); // the user's zoom stays

        // Maximising keeps the maximised size and fits the picture into it.
        form.reset();
        form = OpenForm("c.ppm", -1);
        form->Command("mn_View_PreviousFile")->trigger(); // b, fitted to the screen
        QVERIFY(!form->Sizing().Kept());
        form->showMaximized();
        QTRY_COMPARE(form->frameGeometry().size(), form->screen()->availableGeometry().size());
        QVERIFY(form->Sizing().Kept());
        QVERIFY(FittedInView(*form));
    }

    // The wheel with Ctrl zooms around the mouse pointer, the zoom commands around the
    // middle of the view: the picture point there stays there.
    void zoomKeepsThePointUnderThePointer()
    {
        QVERIFY(WriteTestPicture(Path("p.ppm"), 2000, 1500, Pattern));
        auto form = OpenForm("p.ppm", 0);
        TPictureView* view = form->PicturePage().View();
        form->PicturePage().HorizontalBar()->setValue(300);
        form->PicturePage().VerticalBar()->setValue(200);
        QCOMPARE(form->PicturePage().PaintedPan(), QPoint(300, 200));
        const auto near = [](QPoint a, QPoint b) { return qAbs(a.x() - b.x()) <= 1 && qAbs(a.y() - b.y()) <= 1; };

        const QPoint at(123, 87);
        QPoint under = view->ToPicture(at);
        Wheel(form.get(), 120, Qt::ControlModifier, view->mapTo(form.get(), at));
        QCOMPARE(form->PicturePage().Zoom().Steps(), 1);
        QVERIFY(near(view->ToPicture(at), under));
        for (int i = 0; i < 3; ++i)
            Wheel(form.get(), -120, Qt::ControlModifier, view->mapTo(form.get(), at));
        QCOMPARE(form->PicturePage().Zoom().Steps(), -2);
        QVERIFY(near(view->ToPicture(at), under));

        const QPoint centre = form->PicturePage().ViewCentre();
        under = view->ToPicture(centre);
        form->Command("mn_Tests_ZoomIn")->trigger();
        form->Command("mn_Tests_ZoomIn")->trigger();
        QVERIFY(near(view->ToPicture(centre), under));
        form->Command("mn_View_ActualSize")->trigger();
        QVERIFY(near(view->ToPicture(centre), under));
        // The bars show the pan the zoom left.
        QCOMPARE(form->PicturePage().HorizontalBar()->value(), form->PicturePage().PaintedPan().x());
        QCOMPARE(form->PicturePage().VerticalBar()->value(), form->PicturePage().PaintedPan().y());
    }

    // A picture larger than the view pans by a left drag while no tool is armed, by the
    // right drag, by its scroll bars and by the arrows; a selection stays on its picture
    // pixels however the view is panned.
    void panByDragScrollBarsAndArrows()
    {
        QVERIFY(WriteTestPicture(Path("a.ppm"), 2000, 1500, Pattern));
        WriteSolid("b.ppm", 30, 20, 20);
        auto form = OpenForm("a.ppm", 0);
        TPictureView* view = form->PicturePage().View();
        QScrollBar* h = form->PicturePage().HorizontalBar();
        QScrollBar* v = form->PicturePage().VerticalBar();
        QVERIFY(h->isVisible() && v->isVisible());
        QCOMPARE(h->maximum(), form->PicturePage().Layout().max_pan_x);
        QCOMPARE(v->maximum(), 1502 - view->height());

        Drag(view, {300, 300}, {200, 250});
        QCOMPARE(form->PicturePage().PaintedPan(), QPoint(100, 50));
        QCOMPARE(QPoint(h->value(), v->value()), QPoint(100, 50));
        QCOMPARE(view->grab().toImage().pixelColor(1, 1), PatternColour(100, 50));
        QCOMPARE(form->PicturePage().SelectionMode(), int(kSelectIdle));
        Drag(view, {200, 200}, {240, 200}, Qt::RightButton);
        QCOMPARE(form->PicturePage().PaintedPan(), QPoint(60, 50));

        h->setValue(h->maximum()); // the bar pans the view to the picture's right edge
        QCOMPARE(form->PicturePage().PaintedPan().x(), h->maximum());
        QCOMPARE(view->ToPicture(QPoint(view->width() - 2, 10)).x(), 1999);
        QCOMPARE(view->grab().toImage().pixelColor(view->width() - 2, 1), PatternColour(1999, 50));

        // Arrows pan by a step of the bar while the picture is larger that way.
        QTest::keyClick(form.get(), Qt::Key_Left);
        QCOMPARE(h->value(), h->maximum() - h->singleStep());
        QTest::keyClick(form.get(), Qt::Key_Down);
        QCOMPARE(v->value(), 50 + v->singleStep());
        QCOMPARE(doc_->current_path, Path("a.ppm"));
        // Page Down still browses.
        QTest::keyClick(form.get(), Qt::Key_PageDown);
        QCOMPARE(doc_->current_path, Path("b.ppm"));
        QVERIFY(h->isHidden() && v->isHidden());
        QCOMPARE(form->PicturePage().PaintedPan(), QPoint(0, 0));
        QTest::keyClick(form.get(), Qt::Key_PageUp);
        QCOMPARE(doc_->current_path, Path("a.ppm"));
        QCOMPARE(form->PicturePage().PaintedPan(), QPoint(0, 0)); // a picture opens at its top left corner

        // With the tool armed the left button draws; the selection is in picture pixels.
        h->setValue(400);
        form->Command("tb_DrawRect")->trigger();
        Drag(view, {50, 60}, {150, 160});
        QCOMPARE(form->PicturePage().PaintedPan(), QPoint(400, 0));
        QVERIFY(form->PicturePage().SelectionActive());
        const RECT_BOUNDS b = form->PicturePage().Selection().Bounds();
        QCOMPARE((QList<int>{b.left, b.top, b.right, b.bottom}), (QList<int>{449, 59, 549, 159}));
        h->setValue(420);
        const RECT_BOUNDS after = form->PicturePage().Selection().Bounds();
        QCOMPARE((QList<int>{after.left, after.right}), (QList<int>{449, 549}));
        const QColor edge = view->grab().toImage().pixelColor(view->Map().ViewX(449), 100);
        QVERIFY(edge == Qt::white || edge == Qt::black); // the outline moved with the picture
        QCOMPARE(view->Map().ViewX(449), 50 - 20);
    }

    // While the picture fits the view, the arrows and Page Up/Down browse; Home and End
    // show the first and the last picture. None of them counts as a typed key.
    void keysBrowseWhenThePictureFits()
    {
        for (const char* n : {"a.ppm", "b.ppm", "c.ppm", "d.ppm"})
            WriteSolid(n, 30, 20, static_cast<std::uint8_t>(n[0]));
        auto form = OpenForm("b.ppm", -1);
        const std::pair<Qt::Key, char> steps[] = {
            {Qt::Key_Right, 'c'}, {Qt::Key_Down, 'd'}, {Qt::Key_PageDown, 'a'}, {Qt::Key_Left, 'd'},
            {Qt::Key_Up, 'c'},    {Qt::Key_PageUp, 'b'}, {Qt::Key_Home, 'a'},    {Qt::Key_End, 'd'},
        };
        QString got, want;
        for (const auto& [key, letter] : steps) {
            QTest::keyClick(form.get(), key);
            got += QChar(ShownLevel(*doc_));
            want += QChar(letter);
        }
        QCOMPARE(got, want);
        QCOMPARE(form->windowTitle(), QString("Ravelscope -- d.ppm"));
    }

    void secondKeysRunTheirCommands_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<QString>("runs");
        const int ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier;
        QTest::newRow("Ctrl+Shift+S") << int(Qt::Key_S) << (ctrl | shift) << "save as";
        QTest::newRow("Ctrl+A stays") << int(Qt::Key_A) << ctrl << "save as";
        QTest::newRow("Ctrl+Shift+Z") << int(Qt::Key_Z) << (ctrl | shift) << "redo";
        QTest::newRow("Ctrl+Alt+Z stays") << int(Qt::Key_Z) << (ctrl | alt) << "redo";
        QTest::newRow("F11") << int(Qt::Key_F11) << 0 << "full screen";
        QTest::newRow("F stays") << int(Qt::Key_F) << 0 << "full screen";
    }

    // The keys Linux desktops use run the same commands as the keys the menus show.
    void secondKeysRunTheirCommands()
    {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(QString, runs);
        WriteSolid("a.ppm", 30, 20, 10);
        auto form = OpenForm("a.ppm", -1);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        int asked = 0;
        form->SetSaveFileChooser([&] {
            ++asked;
            return QString();
        });
        form->Command("mn_Image_Mirror")->trigger();
        form->Command("mn_Edit_Undo")->trigger();
        bool full_screen = false;
        if (runs == "full screen")
            WhenOpen<TFSForm>(form.get(), [&](TFSForm& fs) {
                full_screen = true;
                QTest::keyClick(&fs, Qt::Key_F11); // leaves as it came
                QVERIFY(!fs.isVisible());
            });
        QTest::keyClick(form.get(), Qt::Key(key), Qt::KeyboardModifiers(mods));
        QCOMPARE(asked, runs == "save as" ? 1 : 0);
        QCOMPARE(form->UndoChain().CanRedo(), runs != "redo");
        QCOMPARE(full_screen, runs == "full screen");
    }

    void fitShowsTheWholePicture()
    {
        QVERIFY(WriteTestPicture(Path("big.ppm"), 3000, 2000, Pattern));
        auto form = OpenForm("big.ppm", true);
        QVERIFY(form->PicturePage().FitToWindow());
        QVERIFY(form->Command("mn_View_FitToWindow")->isChecked());
        QVERIFY(form->PicturePage().ZoomFactor() < 1.0);
        const QSize shown = form->PicturePage().View()->ShownSize();
        QVERIFY(qAbs(shown.width() * 2000 / 3000 - shown.height()) <= 1); // proportions kept
        QVERIFY(QRect(QPoint(1, 1), shown).adjusted(0, 0, -1, -1).isValid());
        QVERIFY(QRect(QPoint(0, 0), form->PicturePage().View()->size()).contains(QRect(QPoint(1, 1), shown)));
        QVERIFY(form->screen()->availableGeometry().contains(form->frameGeometry()));
        const QString text = form->findChild<QLabel*>("ZoomPanel")->text();
        QCOMPARE(text, QString::fromStdString(ZoomText(form->PicturePage().ZoomFactor())));
        QVERIFY(text.startsWith("Zoom "));

        // W turns it off for the next picture shown and remembers that.
        form->Command("mn_View_FitToWindow")->trigger();
        QCOMPARE(IniFile(Ini()).ReadInteger("View", "FitToWindow", -1), 0);
        QCOMPARE(form->PicturePage().ZoomFactor(), 1.0);
        QVERIFY(form->findChild<QLabel*>("ZoomPanel")->isHidden());

        // A picture smaller than the screen stays at its natural size.
        QVERIFY(WriteTestPicture(Path("small.ppm"), 120, 80, Pattern));
        form->Command("mn_View_FitToWindow")->trigger();
        QCOMPARE(IniFile(Ini()).ReadInteger("View", "FitToWindow", -1), 1);
        doc_->current_path = Path("small.ppm");
        form->OpenCurrentPath();
        QCOMPARE(form->PicturePage().ZoomFactor(), 1.0);
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
        QVERIFY(form->PicturePage().ZoomFactor() != 1.0);
        const VIEW_MAP map = form->PicturePage().View()->Map();
        TPictureView* view = form->PicturePage().View();

        form->Command("tb_DrawRect")->trigger();
        const QPoint from(23, 17), to(151, 103);
        Drag(view, from, to);
        QVERIFY(form->PicturePage().SelectionActive());
        RECT_BOUNDS b = form->PicturePage().Selection().Bounds();
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
        if (form->PicturePage().ZoomFactor() > 1.0) {
            std::uint8_t expected[3];
            Pattern(b.left, b.top, expected);
            const QColor inside = painted.pixelColor(left + 1, top + 1);
            QCOMPARE(inside, QColor(expected[2], expected[1], expected[0]));
        }

        // The right edge is grabbed 4 view pixels beside it at any zoom, and dragged.
        Drag(view, QPoint(right + 4, mid_y), QPoint(right + 30, mid_y));
        b = form->PicturePage().Selection().Bounds();
        QCOMPARE(b.left, map.PictureX(from.x()));
        QCOMPARE(b.right, map.PictureX(right + 30));

        form->Command("mn_Edit_Crop")->trigger();
        // A fitted picture cropped to less than the screen shows at its natural size; a
        // zoom chosen by the user stays.
        QCOMPARE(form->PicturePage().ZoomFactor() == 1.0, fit);
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
        const QImage before = form->PicturePage().View()->grab().toImage();
        QCOMPARE(form->PicturePage().ZoomFactor(), 1.0);

        form->Command("mn_Tests_ZoomIn")->trigger();
        Wheel(form.get(), 120, Qt::ControlModifier); // Ctrl + wheel away: in
        QCOMPARE(form->PicturePage().Zoom().Steps(), 2);
        QCOMPARE(form->PicturePage().View()->ShownSize(), QSize(484, 363));
        QCOMPARE(form->findChild<QLabel*>("ZoomPanel")->text(), QString("Zoom 121%"));
        // Sharp blocks: a picture pixel's block is one colour up to its last view pixel.
        const VIEW_MAP map = form->PicturePage().View()->Map();
        const QImage zoomed = form->PicturePage().View()->grab().toImage();
        QCOMPARE(zoomed.pixelColor(map.ViewX(5), map.ViewY(5)), zoomed.pixelColor(map.ViewX(6) - 1, map.ViewY(6) - 1));
        QVERIFY(zoomed.pixelColor(map.ViewX(5), map.ViewY(5)) != zoomed.pixelColor(map.ViewX(6), map.ViewY(5)));

        form->Command("mn_Tests_ZoomOut")->trigger();
        Wheel(form.get(), -120, Qt::ControlModifier);
        QCOMPARE(form->PicturePage().ZoomFactor(), 1.0);
        QCOMPARE(form->size(), window);
        QCOMPARE(form->PicturePage().View()->grab().toImage(), before);
        QVERIFY(form->findChild<QLabel*>("ZoomPanel")->isHidden());

        for (int i = 0; i < 3; ++i)
            form->Command("mn_Tests_ZoomOut")->trigger();
        QCOMPARE(form->PicturePage().View()->ShownSize(), QSize(292, 219)); // 0.9^3
        form->Command("mn_View_ActualSize")->trigger();
        QCOMPARE(form->PicturePage().ZoomFactor(), 1.0);
        QCOMPARE(form->PicturePage().View()->grab().toImage(), before);
    }

    // While an effect dialog runs over the window, the slide show, the clipboard poll and
    // the hand-over of preloaded pictures wait: a tick on its way changes nothing (the
    // next picture is ready), the scroll bar previews the picture the dialog opened over,
    // OK applies that to the same picture, and both timers run again afterwards.
    void slideShowWaitsWhileAnEffectDialogRuns()
    {
        WriteSolid("a.ppm", 30, 20, 200);
        WriteSolid("b.ppm", 30, 20, 10);
        auto form = OpenForm("a.ppm", 0);
        form->Preloads().WaitIdle();
        QCOMPARE(form->Preloads().ReadyCount(), std::size_t{1}); // b
        form->Command("mn_Tests_SlideShow")->trigger();
        bool seen = false;
        std::uint8_t previewed = 0;
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = form->findChild<TEffectForm*>();
            QVERIFY(dialog != nullptr && dialog->isVisible());
            seen = true;
            QVERIFY(form->ModalSession().Active());
            QVERIFY(!form->SlideShowTimer()->isActive());
            QVERIFY(!form->EditCommands().ClipboardTimer()->isActive());
            form->SlideShowTimerTick();
            QCOMPARE(doc_->current_path, Path("a.ppm"));
            QCOMPARE(form->Preloads().ReadyCount(), std::size_t{1});
            QTest::keyClick(dialog->ScrollBar(), Qt::Key_Home);
            previewed = dialog->Session().Preview().ScanLine(1)[3]; // inside the frame solarize keeps
            dialog->OkButton()->click();
            if (dialog->isVisible())
                dialog->reject();
        });
        form->Command("mn_Image_Solarize")->trigger();
        QVERIFY(seen);
        QVERIFY(!form->ModalSession().Active());
        QVERIFY(form->SlideShowTimer()->isActive());
        QVERIFY(form->EditCommands().ClipboardTimer()->isActive());
        QCOMPARE(doc_->current_path, Path("a.ppm"));
        QCOMPARE(doc_->undo_length, 1);
        QCOMPARE(previewed, std::uint8_t{255 - 200}); // a's level, solarized at the lowest threshold
        QCOMPARE(doc_->display->ScanLine(1)[3], previewed);
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
            QCOMPARE(form.PicturePage().PictureShown(), good);
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
