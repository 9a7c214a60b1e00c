// The main window driven as a person would: command-line hand-off, browsing, the slide
// show, recent files across a restart, the selection rectangle, panning, help.
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "dialogs/Effect_form.h"
#include "dialogs/Hist_form.h"
#include "dialogs/Rotate_preview_form.h"
#include "ops/Rotation.h"
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
#include <QClipboard>
#include <QDialog>
#include <QImage>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QLabel>
#include <QComboBox>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrinterInfo>
#include <QtEndian>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

#include <cstring>
#include <memory>

namespace {

// Blue across, green down, their product (wrapping) in red.
void Gradient(int x, int y, std::uint8_t* p)
{
    p[0] = static_cast<std::uint8_t>(x * 8);
    p[1] = static_cast<std::uint8_t>(y * 12);
    p[2] = static_cast<std::uint8_t>(x * y);
}

QColor ViewPixel(TForm1& form, int x, int y) { return form.PicturePage().View()->grab().toImage().pixelColor(x, y); }

} // namespace

class TestMainWindow : public TWindowTestBase {
    Q_OBJECT

private:
    QString start_dir_;

    std::string Path(const char* name) const { return dir_->filePath(name).toStdString(); }

    // Writes solid-coloured 40 × 30 pictures named after their letter ("a.ppm", ...).
    void WriteLetters(std::initializer_list<const char*> names)
    {
        for (const char* n : names)
            QVERIFY(WriteLetterPicture(Path(n), n[0], 40, 30));
    }

    // RVS.ini present, so the window starts without the first-start help; fit false turns
    // Fit to Window off.
    void WriteSettings(bool fit = true)
    {
        IniFile ini(settings_->filePath("RVS.ini").toStdString());
        ini.WriteInteger("Screen", "Width", 630);
        if (!fit)
            ini.WriteInteger("View", "FitToWindow", 0);
    }

    std::unique_ptr<TForm1> MakeForm(const std::string& fallback = {})
    {
        FORM_OPTIONS o;
        o.settings_dir = settings_->path().toStdString();
        o.hand_off_fallback = fallback;
        auto form = std::make_unique<TForm1>(*doc_, *selection_, *help_, o);
        form->show();
        return form;
    }

    // A window that opened nothing, showing a pasted w × h picture of one colour.
    std::unique_ptr<TForm1> FormWithPastedSolid(int w, int h, QColor colour)
    {
        WriteSettings();
        auto form = MakeForm();
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(colour);
        QGuiApplication::clipboard()->setImage(img);
        form->Command("mn_Edit_Paste")->trigger();
        return form;
    }

    // A window showing the picture name of the test directory.
    std::unique_ptr<TForm1> OpenForm(const char* name)
    {
        auto form = MakeForm(HandOffPath(Path(name)));
        return form;
    }

    QString ShownName(TForm1& form) const { return form.windowTitle().section(" -- ", 1); }

    // The document's display bitmap as an image (what the view paints).
    QImage ShownImage() const
    {
        const Dib& d = *doc_->display;
        QImage img(d.Width(), d.Height(), QImage::Format_BGR888);
        for (int y = 0; y < d.Height(); ++y)
            std::memcpy(img.scanLine(y), d.ScanLine(y), static_cast<std::size_t>(d.Width()) * 3);
        return img;
    }

private slots:
    void init()
    {
        start_dir_ = QDir::currentPath();
        MakeFixture();
    }

    // A test that put a picture on the clipboard leaves none for the next.
    void cleanup()
    {
        QGuiApplication::clipboard()->clear();
        DropFixture();
        QDir::setCurrent(start_dir_);
    }

    void openFromCommandLine_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("relative");
        QTest::addColumn<bool>("pgm");
        QTest::newRow("relative name, PPM") << "photo.ppm" << true << false;
        QTest::newRow("absolute path with a space, PGM") << "with space.pgm" << false << true;
    }

    void openFromCommandLine()
    {
        QFETCH(QString, name);
        QFETCH(bool, relative);
        QFETCH(bool, pgm);
        const std::string path = Path(name.toUtf8().constData());
        QVERIFY(WriteTestPicture(
            path, 64, 48, [](int x, int y, std::uint8_t* p) { p[0] = p[1] = p[2] = static_cast<std::uint8_t>(x + y); },
            pgm));
        WriteSettings();
        QDir::setCurrent(relative ? dir_->path() : QDir::rootPath());
        const QString cwd = QDir::currentPath();
        const std::string kept = HandOffPath(relative ? name.toStdString() : path);
        QVERIFY(QFile::exists(dir_->filePath(kHandOffFile)));
        auto form = MakeForm(kept);

        QCOMPARE(form->windowTitle(), "Ravelscope -- " + name);
        QCOMPARE(form->StatusPanel(0), QString("64 x 48 x %1 BPP").arg(pgm ? 8 : 24));
        QCOMPARE(ViewPixel(*form, 1 + 10, 1 + 5), QColor(15, 15, 15));
        QVERIFY(!QFile::exists(dir_->filePath(kHandOffFile)));
        QCOMPARE(QDir::currentPath(), cwd); // nothing changes the working directory
        QCOMPARE(doc_->browse_directory, dir_->path().toStdString());
        QVERIFY(form->Command("mn_File_Print")->isEnabled());
    }

    void staleHandOffIsDeletedWithoutArgument()
    {
        WriteLetters({"a.ppm"});
        WriteSettings();
        QDir::setCurrent(dir_->path());
        QFile stale(kHandOffFile);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(Path("a.ppm").c_str());
        stale.close();
        const std::string kept = HandOffPath("");
        QVERIFY(kept.empty());
        QVERIFY(!QFile::exists(kHandOffFile));
        auto form = MakeForm(kept);
        QCOMPARE(form->windowTitle(), QString("Ravelscope"));
        QVERIFY(!form->PicturePage().PictureShown());
        QVERIFY(!form->Command("mn_File_Save")->isEnabled());
    }

    void menusAndToolbarFollowTheCommandTable()
    {
        WriteSettings();
        auto form = MakeForm();
        QToolBar* toolbar = form->findChild<QToolBar*>("ToolBar1");
        for (std::size_t i = 0; i < kCommandCount; ++i) {
            const COMMAND_ROW& row = CommandRow(static_cast<CommandId>(i));
            if (!NamesCommand(row))
                continue;
            QAction* a = form->Command(static_cast<CommandId>(i));
            QVERIFY2(a != nullptr, row.name);
            QCOMPARE(a->objectName(), QString(row.name));
            QCOMPARE(a->shortcut(), QKeySequence(row.shortcut));
            QCOMPARE(a->shortcut().toString(QKeySequence::PortableText), QString(row.shortcut));
            if (row.kind == CommandKind::kButton) {
                QVERIFY2(toolbar->actions().contains(a), row.name);
                QCOMPARE(a->toolTip(), QString(row.caption).section('|', 0, 0));
                continue;
            }
            if (row.caption[0] != '\0')
                QCOMPARE(a->text(), QString(row.caption));
            const QList<QAction*> siblings = row.parent[0] == '\0'
                                                 ? form->menuBar()->actions()
                                                 : form->Command(row.parent)->menu()->actions();
            QVERIFY2(siblings.contains(a), row.name);
        }
        // The slide-show items are in the View menu too.
        QVERIFY(form->Command("mn_View")->menu()->actions().contains(form->Command("mn_Tests_SlideShow")));
        QVERIFY(!form->Command("tb_Spacer")->isEnabled());
        QVERIFY(form->Command("mn_Tests_KeepListening")->isChecked());
    }

    void nextAndPreviousWrapAround()
    {
        WriteLetters({"a.ppm", "b.ppm", "c.ppm"});
        WriteSettings();
        auto form = OpenForm("a.ppm");
        QCOMPARE(ShownName(*form), QString("a.ppm"));
        const char* forward[] = {"b.ppm", "c.ppm", "a.ppm"};
        for (const char* n : forward) {
            form->Command("mn_View_NextFile")->trigger();
            QCOMPARE(ShownName(*form), QString(n));
            QCOMPARE(ViewPixel(*form, 5, 5), ColourOf(n[0]));
        }
        form->Command("tb_Previous")->trigger();
        QCOMPARE(ShownName(*form), QString("c.ppm"));
        form->Command("mn_View_PreviousFile")->trigger();
        QCOMPARE(ShownName(*form), QString("b.ppm"));
    }

    // A sound named on the command line has its place among the files of its folder: Next
    // and Previous step through the sounds (and pictures) there.
    void soundFromTheCommandLineIsBrowsed()
    {
        for (const char* n : {"s1.mp3", "s2.mp3", "s3.wav"}) {
            QFile f(dir_->filePath(n));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        WriteSettings();
        auto form = OpenForm("s1.mp3");
        QCOMPARE(doc_->state, std::uint8_t{kMediaOpen});
        QCOMPARE(doc_->current_index, 0);
        QVERIFY(form->Command("mn_View_NextFile")->isEnabled());
        form->Command("mn_View_NextFile")->trigger();
        QCOMPARE(doc_->current_path, Path("s2.mp3"));
        form->Command("tb_Previous")->trigger();
        form->Command("tb_Previous")->trigger();
        QCOMPARE(doc_->current_path, Path("s3.wav"));
        QCOMPARE(doc_->state, std::uint8_t{kMediaOpen});
    }

    void keysBrowseAndCount()
    {
        WriteLetters({"a.ppm", "b.ppm"});
        WriteSettings();
        auto form = OpenForm("a.ppm");
        QTest::keyClick(form.get(), Qt::Key_Space);
        QCOMPARE(doc_->current_path, Path("b.ppm"));
        QCOMPARE(form->windowTitle(), QString::fromStdString(Path("b.ppm")) + " -- 2 / 2 -- 1");
        QTest::keyClick(form.get(), Qt::Key_Backspace);
        QCOMPARE(doc_->current_path, Path("a.ppm"));
        QCOMPARE(form->windowTitle(), QString::fromStdString(Path("a.ppm")) + " -- 1 / 2 -- 2");
        QTest::keyClick(form.get(), Qt::Key_X); // any character key counts
        QCOMPARE(form->windowTitle(), QString::fromStdString(Path("a.ppm")) + " -- 1 / 2 -- 3");
        QSignalSpy closed(form.get(), &TForm1::Closed);
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QCOMPARE(closed.count(), 1);
    }

    void failingFileIsDroppedFromList()
    {
        WriteLetters({"a.ppm", "c.ppm", "d.ppm"});
        QFile bad(dir_->filePath("b.ppm"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a picture");
        bad.close();
        WriteSettings();
        auto form = OpenForm("a.ppm");
        QCOMPARE(doc_->file_list.size(), std::size_t{4});
        form->Command("mn_View_NextFile")->trigger();
        QCOMPARE(ShownName(*form), QString("c.ppm"));
        QCOMPARE(doc_->file_list.size(), std::size_t{3});
        QCOMPARE(doc_->current_index, 1);
        // Previous skips a failing file without dropping it.
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("P6 garbage");
        bad.close();
        doc_->BuildFileList(dir_->path().toStdString());
        doc_->FindCurrent();
        form->Command("mn_View_PreviousFile")->trigger();
        QCOMPARE(ShownName(*form), QString("a.ppm"));
        QCOMPARE(doc_->file_list.size(), std::size_t{4});
    }

    void failedOpenKeepsPictureAndSaysWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong magic") << "bad.ppm" << QByteArray("XX 1 1 255\n...") << int(kMagicError)
                                     << "no P3 or P6 signature";
        QTest::newRow("listed but not opened") << "paint.lbm" << QByteArray("FORM") << int(kDataError)
                                               << "neither its name nor its first bytes are of a format Ravelscope reads";
        QTest::newRow("missing file") << "gone.ppm" << QByteArray() << int(kOpenFileError)
                                      << "No such file or directory";
    }

    void failedOpenKeepsPictureAndSaysWhy()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, rc);
        QFETCH(QString, reason);
        WriteLetters({"a.ppm"});
        if (!bytes.isEmpty()) {
            QFile f(dir_->filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        WriteSettings();
        auto form = OpenForm("a.ppm");
        form->SetOpenFileChooser([&] { return dir_->filePath(name); });
        form->Command("mn_File_Open")->trigger();
        QCOMPARE(form->statusBar()->currentMessage(), name + ": " + ResultText(rc) + " (" + reason + ")");
        QCOMPARE(ShownName(*form), QString("a.ppm"));
        QCOMPARE(doc_->current_path, Path("a.ppm"));
        QCOMPARE(doc_->context->width, 40);
        QCOMPARE(ViewPixel(*form, 5, 5), ColourOf('a'));
        QVERIFY(form->PicturePage().PictureShown());
        // The picture as read is still the one a Save writes.
        QCOMPARE(doc_->context->decoded.data()[0], static_cast<std::uint8_t>(ColourOf('a').blue()));
    }

    void slideShowTicks()
    {
        WriteLetters({"a.ppm", "b.ppm"});
        WriteSettings();
        auto form = OpenForm("a.ppm");
        form->Command("mn_Tests_SlideShow")->trigger();
        QVERIFY(form->SlideShowTimer()->isActive());
        QCOMPARE(form->SlideShowTimer()->interval(), 5000);
        const char* shown[] = {"a.ppm", "b.ppm", "a.ppm", "b.ppm"};
        for (const char* n : shown) {
            form->SlideShowTimerTick();
            QCOMPARE(ShownName(*form), QString(n));
        }
        form->Command("mn_Tests_StopSlideShow")->trigger();
        QVERIFY(!form->SlideShowTimer()->isActive());
    }

    void slideShowStopsWhenNothingOpens()
    {
        WriteLetters({"a.ppm"});
        WriteSettings();
        auto form = OpenForm("a.ppm");
        QFile::remove(dir_->filePath("a.ppm"));
        form->Command("mn_Tests_SlideShow")->trigger();
        form->SlideShowTimerTick();
        QVERIFY(doc_->file_list.empty());
        QVERIFY(!form->SlideShowTimer()->isActive());
        QCOMPARE(ShownName(*form), QString("a.ppm"));
    }

    void recentFilesSurviveRestart()
    {
        WriteLetters({"a.ppm", "b.ppm"});
        WriteSettings();
        {
            auto form = OpenForm("a.ppm");
            form->Command("mn_View_NextFile")->trigger();
            form->Command("mn_File_Exit")->trigger();
        }
        IniFile ini(settings_->filePath("RVS.ini").toStdString());
        QCOMPARE(ini.ReadInteger("MRU", "max_index_string", -1), 2);
        QCOMPARE(ini.ReadString("MRU", "File_1", ""), Path("b.ppm"));
        QCOMPARE(ini.ReadInteger("File", "SFD_Ext_Index", 0), 1);

        doc_->file_list.clear();
        auto form = MakeForm();
        QVERIFY(form->Command("mn_File_MRU")->isVisible());
        QCOMPARE(form->Command("mn_File_MRU0")->text(), "&0  " + QString::fromStdString(Path("b.ppm")));
        QCOMPARE(form->Command("mn_File_MRU1")->text(), "&1  " + QString::fromStdString(Path("a.ppm")));
        QVERIFY(!form->Command("mn_File_MRU2")->isVisible());

        form->Command("mn_File_MRU1")->trigger();
        QCOMPARE(ShownName(*form), QString("a.ppm"));
        QCOMPARE(doc_->file_list.size(), std::size_t{2});
        QCOMPARE(form->Command("mn_File_MRU0")->text(), "&0  " + QString::fromStdString(Path("a.ppm")));

        // A recent file that is gone is forgotten without a word.
        QFile::remove(dir_->filePath("b.ppm"));
        form->Command("mn_File_MRU1")->trigger();
        QCOMPARE(form->RecentFiles().Count(), 1);
        QVERIFY(!form->Command("mn_File_MRU1")->isVisible());
        QCOMPARE(ShownName(*form), QString("a.ppm"));
    }

    void firstStartWritesSettingsAndOpensHelp()
    {
        auto form = MakeForm();
        QFile f(settings_->filePath("RVS.ini"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith(QByteArray("This file do initial setup for Oxbel application\0", 49)));
        IniFile ini(f.fileName().toStdString());
        QCOMPARE(ini.ReadInteger("Screen", "Height", 0), 514);
        QVERIFY(help_->Form() != nullptr);
        QCOMPARE(help_->Form()->CurrentContext(), int(kHelpMainWindow));
        QVERIFY(!form->Command("mn_File_MRU")->isVisible());
    }

    void geometryIsRestored()
    {
        IniFile ini(settings_->filePath("RVS.ini").toStdString());
        ini.WriteInteger("Screen", "Width", 500);
        ini.WriteInteger("Screen", "Height", 400);
        auto form = MakeForm();
        QCOMPARE(form->size(), QSize(500, 400));
        form->resize(520, 410);
        form->close();
        QCOMPARE(ini.ReadInteger("Screen", "Width", 0), 520);
        QCOMPARE(ini.ReadInteger("Screen", "Height", 0), 410);
    }

    void windowFitsPicture_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("want_w");
        QTest::newRow("small") << 200 << 100 << 360;
        QTest::newRow("wide") << 600 << 100 << 610;
        QTest::newRow("taller") << 300 << 250 << 360;
    }

    void windowFitsPicture()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, want_w);
        QVERIFY(WriteSolidPicture(Path("p.ppm"), w, h, 1, 2, 3));
        WriteSettings();
        auto form = OpenForm("p.ppm");
        QCOMPARE(form->frameGeometry().width(), want_w);
        QCOMPARE(form->frameGeometry().height(), h + form->ChromeHeight());
    }

    void selectionDrawnMovedAndResized()
    {
        QVERIFY(WriteSolidPicture(Path("p.ppm"), 200, 150, 90, 90, 90));
        WriteSettings();
        auto form = OpenForm("p.ppm");
        QWidget* view = form->PicturePage().View();
        QVERIFY(!form->Command("mn_Edit_Crop")->isEnabled());
        // Idle after an open: the left button does nothing until the selection is armed.
        Drag(view, {11, 11}, {51, 41}, Qt::LeftButton);
        QVERIFY(!form->PicturePage().SelectionActive());

        form->Command("tb_DrawRect")->trigger();
        QCOMPARE(form->PicturePage().SelectionMode(), int(kSelectArmed));
        Drag(view, {51, 41}, {11, 11}, Qt::LeftButton); // drawn backwards, normalised on release
        QVERIFY(form->PicturePage().SelectionActive());
        RECT_BOUNDS b = selection_->Bounds();
        QCOMPARE((QList<int>{b.left, b.top, b.right, b.bottom}), (QList<int>{10, 10, 50, 40}));
        QVERIFY(form->Command("mn_Edit_Crop")->isEnabled());
        QVERIFY(selection_->drawn);
        // The outline is on screen: the view's pixel on the edge is no longer the picture's.
        QVERIFY(ViewPixel(*form, 1 + 30, 1 + 10) != QColor(90, 90, 90));

        Drag(view, {31, 26}, {51, 36}, Qt::LeftButton); // inside: moves by (20, 10)
        b = selection_->Bounds();
        QCOMPARE((QList<int>{b.left, b.top, b.right, b.bottom}), (QList<int>{30, 20, 70, 50}));

        Drag(view, {51, 21}, {51, 6}, Qt::LeftButton); // the top edge: up to y 5
        b = selection_->Bounds();
        QCOMPARE((QList<int>{b.left, b.top, b.right, b.bottom}), (QList<int>{30, 5, 70, 50}));

        Drag(view, {71, 51}, {81, 61}, Qt::LeftButton); // the bottom-right corner follows the mouse
        QCOMPARE(selection_->corners[RECT_OBJ::kBR], (RECT_POINT{80, 60}));
        QCOMPARE(selection_->corners[RECT_OBJ::kTR], (RECT_POINT{80, 5}));
        Drag(view, {81, 61}, {300, 300}, Qt::LeftButton); // ... up to the picture's last pixel
        QCOMPARE(selection_->corners[RECT_OBJ::kBR], (RECT_POINT{199, 149}));

        // Hovering over an edge shows the sizing cursor.
        SendMouse(view, QEvent::MouseMove, {31, 30}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(view->cursor().shape(), Qt::SizeHorCursor);

        Drag(view, {6, 140}, {7, 141}, Qt::LeftButton); // a 1 × 1 drag outside drops the selection
        QVERIFY(!form->PicturePage().SelectionActive());
        QVERIFY(!form->Command("mn_Edit_Crop")->isEnabled());

        // Opening a picture drops the selection and disarms it.
        form->Command("tb_DrawRect")->trigger();
        Drag(view, {11, 11}, {51, 41}, Qt::LeftButton);
        QVERIFY(form->PicturePage().SelectionActive());
        doc_->current_path = Path("p.ppm");
        form->OpenCurrentPath();
        QVERIFY(!form->PicturePage().SelectionActive());
        QCOMPARE(form->PicturePage().SelectionMode(), int(kSelectIdle));
    }

    void largePictureIsPanned()
    {
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        const int w = screen.width() + 300, h = screen.height() + 300;
        QVERIFY(WriteTestPicture(Path("big.ppm"), w, h, [](int x, int y, std::uint8_t* p) {
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = 0;
        }));
        WriteSettings(false);
        auto form = OpenForm("big.ppm");
        QCOMPARE(form->y(), QGuiApplication::primaryScreen()->geometry().top());
        QWidget* view = form->PicturePage().View();
        QCOMPARE(ViewPixel(*form, 1, 1), QColor(0, 0, 0));
        Drag(view, {200, 200}, {150, 170}, Qt::RightButton);
        QCOMPARE(form->PicturePage().PaintedPan(), QPoint(50, 30));
        QCOMPARE(ViewPixel(*form, 1, 1), QColor(0, 30, 50));
        QCOMPARE(form->PicturePage().SelectionMode(), int(kSelectIdle));
        // The next gesture goes on from there; a drag past the picture's start stops there.
        Drag(view, {200, 200}, {190, 200}, Qt::RightButton);
        QCOMPARE(form->PicturePage().PaintedPan(), QPoint(60, 30));
        Drag(view, {200, 200}, {400, 200}, Qt::RightButton, 1);
        QCOMPARE(form->PicturePage().PaintedPan(), QPoint(0, 30));
        // The display bitmap is not touched by panning.
        QCOMPARE(doc_->display->ScanLine(0)[0], std::uint8_t{0});
        // A picture opened again starts unpanned.
        doc_->current_path = Path("big.ppm");
        form->OpenCurrentPath();
        QCOMPARE(form->PicturePage().PaintedPan(), QPoint(0, 0));
    }

    void narrowPictureNeverPansSideways()
    {
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        QVERIFY(WriteSolidPicture(Path("tall.ppm"), 100, screen.height() + 200, 1, 2, 3));
        WriteSettings(false);
        auto form = OpenForm("tall.ppm");
        Drag(form->PicturePage().View(), {50, 200}, {10, 150}, Qt::RightButton);
        QCOMPARE(form->PicturePage().PaintedPan(), QPoint(0, 50));
    }

    void commandsFollowDocument()
    {
        WriteLetters({"a.ppm"});
        QVERIFY(WriteTestPicture(Path("g.pgm"), 30, 20, [](int, int, std::uint8_t* p) { p[0] = p[1] = p[2] = 5; }, true));
        WriteSettings();
        auto form = MakeForm();
        QVERIFY(!form->Command("mn_File_Save")->isEnabled());
        QVERIFY(!form->Command("mn_View_FullScreen")->isEnabled());
        QVERIFY(!form->Command("tb_Info")->isEnabled());
        QVERIFY(!form->Command("mn_Tests")->isVisible());

        doc_->current_path = Path("a.ppm");
        form->OpenCurrentPath();
        QVERIFY(form->Command("mn_Colors_ReduceColors")->isEnabled());
        QVERIFY(form->Command("mn_View_NextFile")->isEnabled());
        QVERIFY(form->Command("mn_Edit_Copy")->isEnabled());
        QVERIFY(!form->Command("mn_Edit_Undo")->isEnabled());
        form->Command("mn_View_NextFile")->trigger();
        QCOMPARE(ShownName(*form), QString("g.pgm"));
        QVERIFY(!form->Command("mn_Colors_ReduceColors")->isEnabled()); // 8 bits

        QFile::remove(dir_->filePath("a.ppm"));
        doc_->BuildFileList(dir_->path().toStdString());
        form->RefreshCommands();
        QVERIFY(!form->Command("mn_View_NextFile")->isEnabled());
        QVERIFY(!form->Command("tb_Previous")->isEnabled());

        form->Command("mn_View_ToolBar")->trigger();
        QVERIFY(!form->findChild<QToolBar*>("ToolBar1")->isVisible());
        QVERIFY(!form->Command("mn_View_ToolBar")->isChecked());
        form->Command("mn_View_ToolBar")->trigger();
        QVERIFY(form->findChild<QToolBar*>("ToolBar1")->isVisible());
    }

    void clipboardPollEnablesPaste()
    {
        WriteSettings();
        auto form = MakeForm();
        QGuiApplication::clipboard()->clear();
        form->RefreshCommands();
        QVERIFY(!form->Command("mn_Edit_ClearClipboard")->isEnabled());
        QCOMPARE(form->EditCommands().ClipboardTimer()->interval(), 1000);
        QVERIFY(form->EditCommands().ClipboardTimer()->isActive());
        QImage img(4, 4, QImage::Format_RGB32);
        img.fill(Qt::red);
        QGuiApplication::clipboard()->setImage(img);
        form->EditCommands().ClipboardTimerTick();
        QVERIFY(form->Command("mn_Edit_ClearClipboard")->isEnabled());
        QVERIFY(form->Command("mn_Edit_Paste")->isEnabled());
    }

    void statusAndTitleAfterSave()
    {
        WriteLetters({"a.ppm"});
        WriteSettings();
        auto form = OpenForm("a.ppm");
        QCOMPARE(form->StatusPanel(0), QString("40 x 30 x 24 BPP"));
        QVERIFY(form->StatusPanel(1).endsWith(" KB"));
        doc_->edited = 1;
        QVERIFY(doc_->context->work.Reserve(40 * 30 * 3) == kOk);
        std::memcpy(doc_->context->work.data(), doc_->context->decoded.data(), 40 * 30 * 3);
        form->ShowTitle();
        QCOMPARE(form->windowTitle(), QString("Ravelscope -- *a.ppm"));
        form->Command("mn_File_Save")->trigger();
        QCOMPARE(form->windowTitle(), QString("Ravelscope -- a.ppm"));
    }

    // Every image command is wired: it changes the picture as one undoable step, and the
    // picture a save writes is the one shown.
    void imageCommandsAreUndoableSteps_data()
    {
        QTest::addColumn<QString>("command");
        for (const char* c : {"mn_Image_Mirror", "mn_Image_VerticalFlip", "mn_Image_RotateLeft",
                              "mn_Image_RotateRight", "mn_Colors_Negative", "mn_Colors_GrayScale",
                              "mn_Colors_ReduceColors", "mn_Colors_HistogramEqualization", "mn_Tests_SwapRBG",
                              "mn_Tests_SwapBGR", "mn_Tests_SwapBRG", "mn_Tests_SwapGRB", "mn_Tests_SwapGBR",
                              "mn_Tests_EdgeDetection"})
            QTest::newRow(c) << c;
    }

    void imageCommandsAreUndoableSteps()
    {
        QFETCH(QString, command);
        QVERIFY(WriteTestPicture(Path("p.ppm"), 30, 20, Gradient));
        WriteSettings();
        auto form = OpenForm("p.ppm");
        const QImage before = ShownImage();
        QVERIFY(!form->Command("tb_Undo")->isEnabled());
        form->Command(command)->trigger();
        QCOMPARE(doc_->undo_length, 1);
        QVERIFY(ShownImage() != before);
        QVERIFY(form->Command("tb_Undo")->isEnabled());
        QVERIFY(!form->Command("tb_Redo")->isEnabled());
        QVERIFY(form->windowTitle().contains("*"));
        form->SetSaveFileChooser([this] { return QString::fromStdString(Path("out.ppm")); });
        form->Command("mn_File_SaveAs")->trigger();
        QCOMPARE(QImage(QString::fromStdString(Path("out.ppm"))).convertToFormat(QImage::Format_BGR888), ShownImage());
        QCOMPARE(form->windowTitle(), QString("Ravelscope -- out.ppm")); // the document is the file written
        form->Command("mn_Edit_Undo")->trigger();
        QCOMPARE(ShownImage(), before);
        QCOMPARE(form->windowTitle(), QString("Ravelscope -- *out.ppm")); // out.ppm holds the edit
        QVERIFY(form->Command("mn_Edit_Redo")->isEnabled());
        QCOMPARE(form->PicturePage().View()->width() > 0, true);
    }

    // Copy puts the selection on the clipboard; Paste makes the clipboard's picture (alpha
    // laid over white) an undoable edit; Crop cuts down to the selection.
    void clipboardCopyPasteAndCrop()
    {
        QVERIFY(WriteTestPicture(Path("p.ppm"), 60, 40, [](int x, int y, std::uint8_t* p) {
            p[0] = static_cast<std::uint8_t>(x * 4);
            p[1] = static_cast<std::uint8_t>(y * 6);
            p[2] = 100;
        }));
        WriteSettings();
        auto form = OpenForm("p.ppm");
        form->Command("tb_DrawRect")->trigger();
        Drag(form->PicturePage().View(), {11, 6}, {31, 16}, Qt::LeftButton); // picture pixels (10, 5) to (30, 15)
        QVERIFY(form->PicturePage().SelectionActive());
        form->Command("mn_Edit_Copy")->trigger();
        const QImage copied = QGuiApplication::clipboard()->image();
        QCOMPARE(copied.size(), QSize(20, 10));
        QCOMPARE(copied.pixelColor(0, 0), QColor(100, 30, 40));
        QCOMPARE(copied.pixelColor(19, 9), QColor(100, 84, 116));
        QCOMPARE(form->EditCommands().ClipboardState(), 2);
        QCOMPARE(doc_->undo_length, 0);

        form->Command("mn_Edit_Crop")->trigger();
        QCOMPARE(ShownImage(), copied.convertToFormat(QImage::Format_BGR888));
        QVERIFY(!form->PicturePage().SelectionActive());

        // After Crop and Undo, Crop waits for a selection; one Draw A Rectangle and a drag
        // make one, which stays and crops.
        form->Command("mn_Edit_Undo")->trigger();
        QCOMPARE(ShownImage().size(), QSize(60, 40));
        QVERIFY(!form->Command("mn_Edit_Crop")->isEnabled());
        form->Command("tb_DrawRect")->trigger();
        Drag(form->PicturePage().View(), {11, 6}, {21, 11}, Qt::LeftButton); // picture pixels (10, 5) to (20, 10)
        QVERIFY(form->PicturePage().SelectionActive());
        QVERIFY(form->Command("mn_Edit_Crop")->isEnabled());
        form->Command("mn_Edit_Crop")->trigger();
        QCOMPARE(ShownImage().size(), QSize(10, 5));

        // Copy without a selection copies the whole picture.
        QVERIFY(form->Command("mn_Edit_Copy")->isEnabled());
        form->Command("mn_Edit_Copy")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_BGR888), ShownImage());

        QImage semi(3, 2, QImage::Format_ARGB32);
        semi.fill(QColor(0, 0, 0, 0));
        semi.setPixelColor(1, 1, QColor(255, 0, 0));
        QGuiApplication::clipboard()->setImage(semi);
        form->EditCommands().ClipboardTimerTick();
        form->Command("mn_Edit_Paste")->trigger();
        const QImage pasted = ShownImage();
        QCOMPARE(pasted.size(), QSize(3, 2));
        QCOMPARE(pasted.pixelColor(0, 0), QColor(Qt::white));
        QCOMPARE(pasted.pixelColor(1, 1), QColor(255, 0, 0));
        QVERIFY(form->windowTitle().contains("*"));
        QCOMPARE(doc_->undo_position, 2);
        form->Command("mn_Edit_Undo")->trigger();
        form->Command("mn_Edit_Undo")->trigger();
        QCOMPARE(ShownImage().size(), QSize(60, 40));
        QVERIFY(!form->windowTitle().contains("*"));

        // A picture past the 1 GiB cap (as 24-bit pixels) is refused and changes nothing.
        QImage huge(20000, 18000, QImage::Format_Mono);
        QVERIFY(!huge.isNull());
        QGuiApplication::clipboard()->setImage(huge);
        form->Command("mn_Edit_Paste")->trigger();
        QCOMPARE(form->statusBar()->currentMessage(), QString("Image Too Large."));
        QCOMPARE(ShownImage().size(), QSize(60, 40));
        QCOMPARE(doc_->undo_position, 0);
        QCOMPARE(doc_->undo_length, 2);
    }

    // With nothing open a pasted picture is a document without a file: Save asks for a name.
    void pasteWithNothingOpenSavesUnderAChosenName()
    {
        auto form = FormWithPastedSolid(4, 3, QColor(1, 2, 3));
        QVERIFY(form->PicturePage().PictureShown());
        QVERIFY(!form->Command("mn_Edit_Undo")->isEnabled());
        int asked = 0;
        form->SetSaveFileChooser([&] {
            ++asked;
            return QString::fromStdString(Path("named.ppm"));
        });
        QDir::setCurrent(dir_->path());
        form->Command("mn_File_Save")->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(QImage(QString::fromStdString(Path("named.ppm"))).pixelColor(3, 2), QColor(1, 2, 3));
        QVERIFY(!QFile::exists(QString::fromStdString(Path(".bmp"))));
    }

    // A save that fails says why in the status bar and leaves no file behind.
    void failedSaveNamesTheSystemsReason()
    {
        auto form = FormWithPastedSolid(2, 2, QColor(9, 8, 7));
        QVERIFY(form->PicturePage().PictureShown());
        form->SetSaveFileChooser([&] { return QString::fromStdString(Path("missing/x.png")); });
        form->Command("mn_File_Save")->trigger();
        QCOMPARE(form->statusBar()->currentMessage(), QString("x.png: Open File Error. (No such file or directory)"));
        QVERIFY(!QFile::exists(QString::fromStdString(Path("missing"))));
    }

    // The effect dialogs through their commands: Esc changes nothing; OK applies exactly the
    // preview shown, on the selection only when there is one.
    void effectDialogsApplyThePreviewOnOk_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("outcome"); // 0 Esc, 1 OK, 2 OK with a selection
        const std::pair<const char*, const char*> dialogs[] = {{"mn_Colors_Gamma", "Gamma"},
                                                               {"mn_Image_Solarize", "SolarForm"},
                                                               {"mn_Tests_MedianFilter", "Median Preview"},
                                                               {"mn_Image_Pixelate", "Pixelate Preview"},
                                                               {"mn_Image_Explosion", "Explossion Preview"}};
        for (const auto& [command, caption] : dialogs)
            for (int outcome : {0, 1, 2})
                QTest::addRow("%s %d", command, outcome) << command << caption << outcome;
    }

    void effectDialogsApplyThePreviewOnOk()
    {
        QFETCH(QString, command);
        QFETCH(QString, caption);
        QFETCH(int, outcome);
        QVERIFY(WriteTestPicture(Path("p.ppm"), 40, 30, [](int x, int y, std::uint8_t* p) {
            p[0] = static_cast<std::uint8_t>(x * 8 + y);
            p[1] = static_cast<std::uint8_t>(y * 12);
            p[2] = static_cast<std::uint8_t>(x * y * 3);
        }));
        WriteSettings();
        auto form = OpenForm("p.ppm");
        if (outcome == 2) {
            form->Command("tb_DrawRect")->trigger();
            Drag(form->PicturePage().View(), {11, 6}, {31, 16}, Qt::LeftButton); // picture pixels (10, 5) to (30, 15)
            QVERIFY(form->PicturePage().SelectionActive());
            const RECT_BOUNDS b = selection_->Bounds();
            QCOMPARE((QList<int>{b.left, b.top, b.right, b.bottom}), (QList<int>{10, 5, 30, 15}));
        }
        const QImage before = ShownImage();
        QImage preview;
        bool seen = false;
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = form->findChild<TEffectForm*>();
            QVERIFY(dialog != nullptr && dialog->isVisible());
            seen = true;
            QCOMPARE(dialog->windowTitle(), caption);
            QCOMPARE(dialog->windowModality(), Qt::WindowModal);
            QTest::keyClick(dialog->ScrollBar(), Qt::Key_Right);
            QCOMPARE(dialog->ValueLabel()->text().toStdString(), dialog->Session().ValueText());
            const Dib& p = dialog->Session().Preview();
            preview = QImage(p.Width(), p.Height(), QImage::Format_BGR888);
            for (int y = 0; y < p.Height(); ++y)
                std::memcpy(preview.scanLine(y), p.ScanLine(y), static_cast<std::size_t>(p.Width()) * 3);
            if (outcome == 0)
                QTest::keyClick(dialog->ScrollBar(), Qt::Key_Escape);
            else
                dialog->OkButton()->click();
            if (dialog->isVisible())
                dialog->reject();
        });
        form->Command(command)->trigger();
        QVERIFY(seen);
        QCOMPARE(doc_->direct_decode, std::uint8_t{0});
        const QImage after = ShownImage();
        if (outcome == 0) {
            QCOMPARE(after, before);
            QCOMPARE(doc_->undo_length, 0);
            return;
        }
        QCOMPARE(doc_->undo_length, 1);
        QVERIFY(preview != before);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inside = outcome == 1 || (x >= 10 && x < 30 && y >= 5 && y < 15);
                QCOMPARE(after.pixelColor(x, y), (inside ? preview : before).pixelColor(x, y));
            }
    }

    // F1 in each editing dialog opens its own help topic, which names the undo budget;
    // Esc then leaves picture and chain alone.
    void editingDialogsOpenTheirHelpTopic_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("topic");
        QTest::addColumn<QString>("title");
        QTest::newRow("gamma") << "mn_Colors_Gamma" << 11 << "Gamma Correction";
        QTest::newRow("median") << "mn_Tests_MedianFilter" << 13 << "Median Filter";
        QTest::newRow("rotate") << "mn_Image_Rotate" << 43 << "Rotate...";
        QTest::newRow("explosion") << "mn_Image_Explosion" << 44 << "Explosion";
        QTest::newRow("pixelate") << "mn_Image_Pixelate" << 45 << "Pixelate";
        QTest::newRow("histogram") << "mn_Colors_Histogram" << 47 << "Histogram...";
        QTest::newRow("solarize") << "mn_Image_Solarize" << 54 << "Solarize";
    }

    void editingDialogsOpenTheirHelpTopic()
    {
        QFETCH(QString, command);
        QFETCH(int, topic);
        QFETCH(QString, title);
        QVERIFY(WriteTestPicture(Path("p.ppm"), 40, 30, [](int x, int y, std::uint8_t* p) {
            p[0] = static_cast<std::uint8_t>(x * 6);
            p[1] = static_cast<std::uint8_t>(y * 8);
            p[2] = 90;
        }));
        WriteSettings();
        auto form = OpenForm("p.ppm");
        const QImage before = ShownImage();
        bool seen = false;
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            seen = true;
            QCOMPARE(dialog->windowModality(), Qt::WindowModal);
            QTest::keyClick(dialog, Qt::Key_F1);
            QVERIFY(dialog->isVisible());
            QVERIFY(help_->Form() != nullptr && help_->Form()->isVisible());
            QCOMPARE(help_->Form()->CurrentContext(), topic);
            const QString text = help_->Form()->Browser()->toPlainText();
            QVERIFY2(text.contains(title), qPrintable(text));
            QVERIFY(text.contains("512 MiB"));
            QTest::keyClick(dialog, Qt::Key_Escape);
            if (dialog->isVisible())
                dialog->reject();
        });
        form->Command(command)->trigger();
        QVERIFY(seen);
        QCOMPARE(ShownImage(), before);
        QCOMPARE(doc_->undo_length, 0);
    }

    // Without a printer, Print writes a PDF whose page holds the picture's exact pixels.
    void printWithoutPrinterWritesThePixelsToAPdf()
    {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("a printer is installed: printing would reach it");
        QVERIFY(WriteTestPicture(Path("p.ppm"), 30, 20, Gradient));
        WriteSettings();
        auto form = OpenForm("p.ppm");
        const QString pdf_path = QString::fromStdString(Path("out.pdf"));
        form->EditCommands().SetPdfFileChooser([&] { return pdf_path; });
        form->Command("mn_File_Print")->trigger();
        QFile f(pdf_path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray pdf = f.readAll();
        const qsizetype image = pdf.indexOf("/Subtype /Image");
        QVERIFY(image >= 0);
        const qsizetype dict_end = pdf.indexOf(">>", image);
        const QByteArray dict = pdf.mid(image, dict_end - image);
        QVERIFY(dict.contains("/Width 30"));
        QVERIFY(dict.contains("/Height 20"));
        QVERIFY(dict.contains("/FlateDecode"));
        const qsizetype start = pdf.indexOf("stream", dict_end) + 6;
        const qsizetype data = start + (pdf[start] == '\r' ? 2 : 1);
        const qsizetype end = pdf.indexOf("endstream", data);
        const int bytes = 30 * 20 * 3;
        QByteArray packed(4, 0);
        qToBigEndian<quint32>(bytes, packed.data());
        const QByteArray rgb = qUncompress(packed + pdf.mid(data, end - data));
        QCOMPARE(rgb.size(), bytes);
        const QImage shown = ShownImage().convertToFormat(QImage::Format_RGB888);
        for (int y = 0; y < 20; ++y)
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(shown.constScanLine(y)), 90), rgb.mid(y * 90, 90));
    }

    // The histogram dialog shows the statistics of the channel chosen and changes nothing.
    void histogramDialogShowsChannelStatistics()
    {
        QVERIFY(WriteTestPicture(Path("p.ppm"), 2, 1, [](int x, int, std::uint8_t* p) {
            p[2] = x == 0 ? 0 : 255; // red
            p[1] = x == 0 ? 0 : 2;   // green
            p[0] = 7;                // blue
        }));
        WriteSettings();
        auto form = OpenForm("p.ppm");
        bool seen = false;
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = form->findChild<THistForm*>();
            QVERIFY(dialog != nullptr && dialog->isVisible());
            seen = true;
            QCOMPARE(dialog->windowTitle(), QString("Histogram"));
            QCOMPARE(dialog->windowModality(), Qt::WindowModal);
            const auto values = [&] {
                return QStringList{dialog->findChild<QLabel*>("LabelMeanVal")->text(),
                                   dialog->findChild<QLabel*>("LabelStdDevVal")->text(),
                                   dialog->findChild<QLabel*>("LabelMedianVal")->text()};
            };
            QCOMPARE(dialog->ComboBox()->currentText(), QString("Red"));
            QCOMPARE(values(), (QStringList{"127", "180", "255"}));
            QVERIFY(!dialog->PlotBox()->pixmap().isNull());
            dialog->FilterComboBox1Change(1);
            QCOMPARE(values(), (QStringList{"1", "1", "2"}));
            dialog->FilterComboBox1Change(3); // the blank item: the green channel again
            QCOMPARE(values(), (QStringList{"1", "1", "2"}));
            QTest::keyClick(dialog, Qt::Key_Escape);
            if (dialog->isVisible())
                dialog->reject();
        });
        form->Command("mn_Colors_Histogram")->trigger();
        QVERIFY(seen);
        QCOMPARE(doc_->undo_length, 0);
        QVERIFY(!form->windowTitle().contains("*"));
    }

    // Rotate...: Esc after moving the angle changes nothing; OK turns the whole picture by
    // the angle shown onto the enlarged canvas, as one step.
    void rotateDialogTurnsByTheAngleShown_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("Esc") << false;
        QTest::newRow("OK") << true;
    }

    void rotateDialogTurnsByTheAngleShown()
    {
        QFETCH(bool, ok);
        QVERIFY(WriteTestPicture(Path("p.ppm"), 300, 100, [](int x, int y, std::uint8_t* p) {
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = 9;
        }));
        WriteSettings();
        auto form = OpenForm("p.ppm");
        int angle = 0;
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = form->findChild<TRotatePVForm*>();
            QVERIFY(dialog != nullptr && dialog->isVisible());
            QCOMPARE(dialog->windowTitle(), QString("Rotate Preview"));
            for (int i = 0; i < 15; ++i)
                QTest::keyClick(dialog->ScrollBar(), Qt::Key_Right);
            angle = dialog->Angle();
            QCOMPARE(dialog->ValueLabel()->text(), QString::number(angle));
            const Dib& preview = dialog->Session().Preview();
            QVERIFY(std::max(preview.Width(), preview.Height()) <= 201); // a reduced copy turned
            if (ok)
                dialog->OkButton()->click();
            else
                QTest::keyClick(dialog->ScrollBar(), Qt::Key_Escape);
            if (dialog->isVisible())
                dialog->reject();
        });
        form->Command("mn_Image_Rotate")->trigger();
        QCOMPARE(angle, 30);
        int w = 0, h = 0;
        RotatedSize(300, 100, ok ? 30 : 0, w, h);
        QCOMPARE(doc_->display->Width(), ok ? w : 300);
        QCOMPARE(doc_->display->Height(), ok ? h : 100);
        QCOMPARE(doc_->undo_length, ok ? 1 : 0);
    }

    void countColorUsedSaysTheCount()
    {
        QVERIFY(WriteTestPicture(Path("p.ppm"), 8, 8, [](int x, int, std::uint8_t* p) {
            p[0] = p[1] = p[2] = x < 4 ? 0 : 200;
        }));
        WriteSettings();
        auto form = OpenForm("p.ppm");
        form->Command("mn_Tests_CountColorUsed")->trigger();
        auto* box = form->findChild<QMessageBox*>("CountColorsBox");
        QVERIFY(box != nullptr);
        QCOMPARE(box->text(), QString("Image Has 2 Unique Colors.\n\n"));
        box->close();
    }

    void helpOpensTopicsAndIndex()
    {
        WriteSettings();
        auto form = MakeForm();
        QVERIFY(help_->Form() == nullptr);
        form->Command("mn_Help_Content")->trigger();
        QVERIFY(help_->Form() != nullptr && help_->Form()->isVisible());
        QCOMPARE(help_->Form()->CurrentContext(), int(kHelpMainWindow));
        QVERIFY(help_->Form()->Browser()->toPlainText().contains("The main window"));
        emit help_->Form()->Browser()->anchorClicked(QUrl("topic:105"));
        QCOMPARE(help_->Form()->CurrentContext(), 105);
        QVERIFY(help_->Form()->Browser()->toPlainText().contains("Backspace"));
        emit help_->Form()->Browser()->anchorClicked(QUrl("topic:110"));
        QVERIFY(help_->Form()->Browser()->toPlainText().contains("Untitled"));
        form->Command("mn_Tests_ContextMenu")->trigger();
        QCOMPARE(help_->Form()->CurrentContext(), 0);
        QVERIFY(help_->Form()->Browser()->toPlainText().contains("Slide show"));
        QVERIFY(!help_->ShowContext(9999));
    }
};

QTEST_MAIN(TestMainWindow)
#include "Unit1_test.moc"
