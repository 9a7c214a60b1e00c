// The image information dialog and the full-screen viewer, driven through the main
// window's commands and exec() on a 1024 x 768 screen.
#include "core/Imageinfo.h"
#include "dialogs/Fs_form.h"
#include "dialogs/Image_info_form.h"
#include "platform/Ini_file.h"
#include "viewer/Unit1.h"
#include "viewer/tests/Gui_test_support.h"
#include "viewer/tests/Picture_files.h"
#include "viewer/tests/Window_test_base.h"
#include "widgets/Help_window.h"
#include "widgets/Media_window.h"
#include "widgets/logic/Rect_object.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QDate>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <functional>
#include <memory>

namespace {

// Runs body on the dialog of type W once its exec() shows it, then makes sure it closes;
// seen tells that body ran.
template <class W>
void WhenShown(QObject* context, bool& seen, std::function<void(W*)> body)
{
    WhenOpen<W>(context, [&seen, body](W& w) {
        seen = true;
        body(&w);
    });
}

void Wheel(QWidget* w, int delta)
{
    QWheelEvent e(QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

QString PlaceText(const FS_PLACE& p) { return QString("%1,%2 %3x%4").arg(p.left).arg(p.top).arg(p.width).arg(p.height); }

} // namespace

class TestInfoFullscreen : public TWindowTestBase {
    Q_OBJECT

private:

    std::string Path(const char* name) const { return dir_->filePath(name).toStdString(); }
    std::string SettingsPath() const { return settings_->filePath("RVS.ini").toStdString(); }

    // A picture of one colour, named after its letter.
    bool WriteLetter(const char* name, int w, int h)
    {
        return WriteLetterPicture(Path(name), name[0], w, h);
    }

    // The main window showing the named picture of the test directory.
    std::unique_ptr<TForm1> OpenForm(const char* name)
    {
        IniFile(SettingsPath()).WriteInteger("Screen", "Width", 630);
        FORM_OPTIONS o;
        o.settings_dir = settings_->path().toStdString();
        auto form = std::make_unique<TForm1>(*doc_, *selection_, *help_, o);
        form->show();
        doc_->current_path = Path(name);
        form->OpenCurrentPath();
        return form;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1024, 768));
    }

    void init()
    {
        MakeFixture();
    }

    void cleanup()
    {
        DropFixture();
    }

    // Image > Info and its button show the open picture's facts; Esc closes; the dialog's
    // place is kept; F1 opens its help topic.
    void infoShowsTheFacts()
    {
        QVERIFY(WriteLetter("a.ppm", 40, 30));
        auto form = OpenForm("a.ppm");
        const qint64 bytes = QFileInfo(dir_->filePath("a.ppm")).size();
        bool seen = false;
        WhenShown<TImageInfoForm>(form.get(), seen, [&](TImageInfoForm* d) {
            QCOMPARE(d->windowTitle(), "Image Information");
            QCOMPARE(d->windowModality(), Qt::WindowModal);
            QCOMPARE(d->Value("lb_filename_info")->text(), "a.ppm");
            QCOMPARE(d->Value("lb_filetype_info")->text(), "Portable Pixmap Utilities");
            QCOMPARE(d->Value("lb_imagesize_info")->text(), "40 x 30 Pixels");
            QCOMPARE(d->Value("lb_filesize_info")->text(),
                     QString::asprintf("%.2f KB (%lld Bytes)", static_cast<double>(bytes) / 1024, bytes));
            QCOMPARE(d->Value("lb_Color_info")->text(), "24 BPP");
            QVERIFY(d->Value("lb_timeload_info")->text().endsWith(" ms."));
            QVERIFY(d->Value("lb_filedatetime_info")->text().contains(QString::number(QDate::currentDate().year())));
            QTest::keyClick(d, Qt::Key_F1);
            QVERIFY(help_->Form() != nullptr);
            QCOMPARE(help_->Form()->CurrentContext(), 33);
            d->move(50, 60);
            QTest::keyClick(d, Qt::Key_Escape);
            QVERIFY(!d->isVisible());
        });
        form->Command("mn_Image_Info")->trigger();
        QVERIFY(seen);
        const IniFile ini(SettingsPath());
        QCOMPARE(ini.ReadInteger("ImageInfoDlg", "Left", 0), 50);
        QCOMPARE(ini.ReadInteger("ImageInfoDlg", "Top", 0), 60);

        seen = false;
        WhenShown<TImageInfoForm>(form.get(), seen, [&](TImageInfoForm* d) { QCOMPARE(d->pos(), QPoint(50, 60)); });
        form->Command("tb_Info")->trigger();
        QVERIFY(seen);
    }

    // Sizes of 2 GiB and more, an edited picture and facts the document lacks.
    void infoAtTheEdges()
    {
        QVERIFY(WriteLetter("a.ppm", 4, 3));
        QCOMPARE(doc_->Open(Path("a.ppm")), 0);
        doc_->file_size = 5000000000LL;
        doc_->edited = 1;
        doc_->load_timing = 0;
        {
            TImageInfoForm d(*doc_, *help_, SettingsPath());
            QCOMPARE(d.Value("lb_filesize_info")->text(), "4768.37 MB (5000000000 Bytes)");
            QCOMPARE(d.Value("lb_Color_info")->text(), "24 BPP (Modified)");
            QCOMPARE(d.Value("lb_timeload_info")->text(), "---");
            QCOMPARE(d.pos(), QPoint(377, 165)); // no settings yet: the designed place
        }
        doc_->format_code = kFmtMp3;
        doc_->bits_per_pixel = 0;
        TImageInfoForm d(*doc_, *help_, SettingsPath());
        QCOMPARE(d.Value("lb_filetype_info")->text(), "---");
        QCOMPARE(d.Value("lb_Color_info")->text(), "---");
    }

    // The viewer covers the screen, fits the oversize picture, wraps at both ends and
    // hands the last picture back to the main window as a fresh open.
    void fullScreenStepsAndWraps()
    {
        QVERIFY(WriteLetter("a.ppm", 800, 600));
        QVERIFY(WriteLetter("b.ppm", 40, 30));
        QVERIFY(WriteLetter("c.ppm", 1200, 1100));
        auto form = OpenForm("b.ppm");
        bool seen = false;
        WhenShown<TFSForm>(form.get(), seen, [&](TFSForm* fs) {
            QCOMPARE(fs->geometry(), QRect(0, 0, 1024, 768));
            QVERIFY(fs->isFullScreen());
            QVERIFY(fs->windowFlags() & Qt::FramelessWindowHint);
            QCOMPARE(fs->PositionLabel()->text(), "2/3");
            QCOMPARE(fs->PathLabel()->text().toStdString(), Path("b.ppm"));
            QCOMPARE(PlaceText(fs->Place()), "492,369 40x30");

            QTest::keyClick(fs, Qt::Key_Space);
            QCOMPARE(fs->PositionLabel()->text(), "3/3");
            QCOMPARE(PlaceText(fs->Place()), "93,0 837x768");
            QCOMPARE(fs->Shown().size(), QSize(837, 768)); // scaled once, drawn as it is
            QCOMPARE(fs->grab().toImage().pixelColor(512, 384), ColourOf('c'));
            QCOMPARE(fs->grab().toImage().pixelColor(40, 384), QColor(Qt::black)); // the background

            QTest::keyClick(fs, Qt::Key_Space);
            QCOMPARE(fs->PositionLabel()->text(), "1/3");
            QCOMPARE(PlaceText(fs->Place()), "112,84 800x600");
            QTest::keyClick(fs, Qt::Key_Backspace);
            QCOMPARE(fs->PositionLabel()->text(), "3/3");
            QTest::keyClick(fs, Qt::Key_Escape);
            QVERIFY(!fs->isVisible());
        });
        form->Command("mn_View_FullScreen")->trigger();
        QVERIFY(seen);
        QCOMPARE(form->windowTitle(), "Ravelscope -- c.ppm");
        QCOMPARE(doc_->current_path, Path("c.ppm"));
        QVERIFY(!form->UndoChain().CanUndo());
    }

    void fullScreenKeys_data()
    {
        QTest::addColumn<QString>("steps"); // one key a letter, applied in order
        QTest::addColumn<QString>("want");  // the position after each
        // R right, D down, N page down, L left, U up, P page up, H home, E end, w wheel
        // down, W wheel up, n Ctrl+N, p Ctrl+P
        QTest::newRow("arrows") << "RDLU" << "2/4 3/4 2/4 1/4";
        QTest::newRow("pages wrap") << "PNN" << "4/4 1/4 2/4";
        QTest::newRow("home and end") << "EH" << "4/4 1/4";
        QTest::newRow("wheel") << "wwW" << "2/4 3/4 2/4";
        QTest::newRow("control keys") << "npp" << "2/4 1/4 4/4";
    }

    void fullScreenKeys()
    {
        QFETCH(QString, steps);
        QFETCH(QString, want);
        for (const char* n : {"a.ppm", "b.ppm", "c.ppm", "d.ppm"})
            QVERIFY(WriteLetter(n, 8, 6));
        auto form = OpenForm("a.ppm");
        TFSForm fs(*doc_, *help_, SettingsPath(), form.get());
        fs.show();
        QStringList got;
        for (const QChar s : steps) {
            switch (s.unicode()) {
            case 'R': QTest::keyClick(&fs, Qt::Key_Right); break;
            case 'D': QTest::keyClick(&fs, Qt::Key_Down); break;
            case 'N': QTest::keyClick(&fs, Qt::Key_PageDown); break;
            case 'L': QTest::keyClick(&fs, Qt::Key_Left); break;
            case 'U': QTest::keyClick(&fs, Qt::Key_Up); break;
            case 'P': QTest::keyClick(&fs, Qt::Key_PageUp); break;
            case 'H': QTest::keyClick(&fs, Qt::Key_Home); break;
            case 'E': QTest::keyClick(&fs, Qt::Key_End); break;
            case 'w': Wheel(&fs, -120); break;
            case 'W': Wheel(&fs, 120); break;
            case 'n': QTest::keyClick(&fs, Qt::Key_N, Qt::ControlModifier); break;
            case 'p': QTest::keyClick(&fs, Qt::Key_P, Qt::ControlModifier); break;
            default: QFAIL("unknown step");
            }
            got << fs.PositionLabel()->text();
        }
        QCOMPARE(got.join(' '), want);
    }

    void fullScreenLeaves_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Enter") << 0;
        QTest::newRow("keypad Enter") << 1;
        QTest::newRow("Ctrl+F") << 2;
        QTest::newRow("double click") << 3;
        QTest::newRow("context menu Exit") << 4;
        QTest::newRow("F11, the key that entered it") << 5;
    }

    void fullScreenLeaves()
    {
        QFETCH(int, how);
        QVERIFY(WriteLetter("a.ppm", 8, 6));
        auto form = OpenForm("a.ppm");
        TFSForm fs(*doc_, *help_, SettingsPath(), form.get());
        bool seen = false;
        WhenShown<TFSForm>(form.get(), seen, [&](TFSForm* w) {
            switch (how) {
            case 0: QTest::keyClick(w, Qt::Key_Return); break;
            case 1: QTest::keyClick(w, Qt::Key_Enter, Qt::KeypadModifier); break;
            case 2: QTest::keyClick(w, Qt::Key_F, Qt::ControlModifier); break;
            case 3: QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100)); break;
            case 5: QTest::keyClick(w, Qt::Key_F11); break;
            default: w->ContextMenu()->findChild<QAction*>("mn_context_exit")->trigger(); break;
            }
            QVERIFY(!w->isVisible());
        });
        QCOMPARE(fs.Run(), int(QDialog::Accepted));
        QVERIFY(seen);
    }

    // Nothing else in the list opens: a step tries each entry once and stops, and the main
    // window gets back its picture with its edit and undo step as they were.
    void fullScreenBrokenListKeepsThePicture()
    {
        QVERIFY(WriteLetter("a.ppm", 40, 30));
        QFile::copy(dir_->filePath("a.ppm"), dir_->filePath("a-copy.txt")); // not listed
        auto form = OpenForm("a.ppm");
        for (const char* n : {"b.ppm", "c.png"}) {
            QFile f(dir_->filePath(n));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("broken");
        }
        QVERIFY(doc_->BuildFileList(dir_->path().toStdString()));
        doc_->FindCurrent();
        form->Command("mn_Colors_Negative")->trigger();
        QVERIFY(form->UndoChain().CanUndo());
        QVERIFY(QFile::remove(dir_->filePath("a.ppm"))); // the shown file is gone too
        bool seen = false;
        WhenShown<TFSForm>(form.get(), seen, [&](TFSForm* fs) {
            QCOMPARE(fs->PositionLabel()->text(), "1/3");
            QVERIFY(!fs->ViewNext());
            QVERIFY(!fs->ViewPrevious());
            QTest::keyClick(fs, Qt::Key_End);
            QCOMPARE(fs->PositionLabel()->text(), "1/3");
            QCOMPARE(PlaceText(fs->Place()), "492,369 40x30");
            QVERIFY(!fs->Stepped());
            doc_->file_list.clear(); // an empty list stops as well
            QVERIFY(!fs->ViewNext());
        });
        form->Command("mn_View_FullScreen")->trigger();
        QVERIFY(seen);
        QCOMPARE(form->windowTitle().section(" -- ", 1).remove('*').trimmed(), "a.ppm");
        QCOMPARE(doc_->current_path, Path("a.ppm"));
        QCOMPARE(doc_->edited, std::uint8_t{1});
        QVERIFY(form->UndoChain().CanUndo());
        const QColor a = ColourOf('a');
        QCOMPARE(QColor(doc_->display->ScanLine(0)[2], doc_->display->ScanLine(0)[1], doc_->display->ScanLine(0)[0]),
                 QColor(255 - a.red(), 255 - a.green(), 255 - a.blue()));
    }

    // The background colour is kept for the next viewer; the cursor hides when the mouse
    // rests and comes back when it moves; F1 opens the viewer's help topic.
    void fullScreenBackgroundCursorHelp()
    {
        QVERIFY(WriteLetter("a.ppm", 40, 30));
        auto form = OpenForm("a.ppm");
        {
            TFSForm fs(*doc_, *help_, SettingsPath(), form.get());
            QCOMPARE(fs.Background(), 0u);
            fs.SetBackground(0x0000FF); // red in the settings' order
        }
        QCOMPARE(IniFile(SettingsPath()).ReadInteger("FS", "BG", -1), 255);
        TFSForm fs(*doc_, *help_, SettingsPath(), form.get());
        fs.show();
        QCOMPARE(fs.Background(), 0xFFu);
        QCOMPARE(fs.grab().toImage().pixelColor(5, 400), QColor(255, 0, 0));

        fs.CursorTimer()->setInterval(1);
        fs.CursorTimer()->start();
        QTRY_COMPARE(fs.cursor().shape(), Qt::BlankCursor);
        QMouseEvent move(QEvent::MouseMove, QPointF(300, 300), fs.mapToGlobal(QPointF(300, 300)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&fs, &move);
        QCOMPARE(fs.cursor().shape(), Qt::ArrowCursor);

        QTest::keyClick(&fs, Qt::Key_F1);
        QVERIFY(help_->Form() != nullptr);
        QCOMPARE(help_->Form()->CurrentContext(), 27);
    }

    // A media file goes to the player given, on a panel placed for its kind, shows its
    // place as "2 / 2", and the player's window goes when the viewer steps on.
    void fullScreenMediaSeam()
    {
        QVERIFY(WriteLetter("a.ppm", 40, 30));
        QFile mp3(dir_->filePath("m.mp3"));
        QVERIFY(mp3.open(QIODevice::WriteOnly));
        mp3.close();
        auto form = OpenForm("a.ppm"); // the sound is listed beside the picture
        TFSForm fs(*doc_, *help_, SettingsPath(), form.get());
        int played = 0;
        fs.SetMediaView([&](QWidget* panel, const TIMAGE_INFO& doc) {
            ++played;
            new QLabel(QString::fromStdString(doc.current_path), panel);
        });
        fs.show();
        QVERIFY(fs.ViewNext());
        QCOMPARE(played, 1);
        QCOMPARE(fs.PositionLabel()->text(), "2 / 2");
        QCOMPARE(fs.MediaPanel()->geometry(), QRect(1, 288, 512, 28));
        QVERIFY(fs.MediaPanel()->isVisible());
        QVERIFY(fs.Shown().isNull());
        QVERIFY(fs.ViewNext());
        QCOMPARE(fs.PositionLabel()->text(), "1/2");
        QVERIFY(!fs.MediaPanel()->isVisible());
        QVERIFY(fs.MediaPanel()->findChildren<QLabel*>().isEmpty());
    }
    // Through View > Full Screen with the real player: a video stepped to plays in the
    // panel, which takes the frame's size once the first frame arrives; stepping away
    // closes the player.
    void fullScreenPlaysAVideo()
    {
        if (QStandardPaths::findExecutable("ffmpeg").isEmpty())
            QSKIP("ffmpeg is not installed: no clip to play");
        QProcess make;
        make.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                              "testsrc=size=160x120:rate=25:duration=3", "-c:v", "mjpeg", dir_->filePath("v.avi")});
        QVERIFY(make.waitForFinished(60000) && make.exitCode() == 0);
        QVERIFY(WriteLetter("a.ppm", 40, 30));
        auto form = OpenForm("a.ppm");
        bool seen = false;
        QString skipped;
        QPointer<TMediaWindow> player;
        WhenShown<TFSForm>(form.get(), seen, [&](TFSForm* fs) {
            QTest::keyClick(fs, Qt::Key_Space);
            QCOMPARE(fs->PositionLabel()->text(), "2 / 2");
            const QList<TMediaWindow*> players = fs->MediaPanel()->findChildren<TMediaWindow*>();
            QCOMPARE(players.size(), 1);
            player = players[0];
            QTRY_VERIFY_WITH_TIMEOUT(player->FramesReceived() > 3 || !player->ErrorString().isEmpty(), 10000);
            if (!player->ErrorString().isEmpty()) {
                skipped = "the player cannot play MJPEG AVI: " + player->ErrorString();
                QTest::keyClick(fs, Qt::Key_Escape);
                return;
            }
            QVERIFY(player->IsPlaying());
            QCOMPARE(fs->MediaPanel()->geometry(), QRect(432, 324, 160, 120));
            QCOMPARE(player->geometry(), QRect(0, 0, 160, 120));
            const QImage shown = fs->grab().toImage();
            QVERIFY(shown.pixelColor(512, 384) != QColor(Qt::black) || shown.pixelColor(440, 330) != QColor(Qt::black));
            QTest::keyClick(fs, Qt::Key_Space);
            QCOMPARE(fs->PositionLabel()->text(), "1/2");
            QVERIFY(player.isNull());
            QTest::keyClick(fs, Qt::Key_Escape);
        });
        form->Command("mn_View_FullScreen")->trigger();
        QVERIFY(seen);
        if (!skipped.isEmpty())
            QSKIP(qPrintable(skipped));
        QCOMPARE(doc_->current_path, Path("a.ppm"));
    }
};

QTEST_MAIN(TestInfoFullscreen)
#include "Info_fullscreen_test.moc"
