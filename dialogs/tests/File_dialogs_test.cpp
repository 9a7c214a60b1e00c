// The open and save dialogs driven through exec() as a person would, alone and from the
// main window: previews never touch the main window's document, OK and the settings, the
// name rules, every output type read back, and saves that must not cost the old file.
#include "core/Commit_edit.h"
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "core/Sniff.h"
#include "dialogs/File_chooser.h"
#include "dialogs/OFDialog.h"
#include "dialogs/Tsdialog.h"
#include "dialogs/logic/Open_dialog_rules.h"
#include "dialogs/logic/Save_dialog_rules.h"
#include "platform/Ini_file.h"
#include "viewer/Media_page.h"
#include "viewer/Unit1.h"
#include "viewer/tests/Gui_test_support.h"
#include "viewer/tests/Picture_files.h"
#include "widgets/Help_window.h"
#include "widgets/Media_window.h"
#include "widgets/Picture_view.h"
#include "widgets/Qt_bridge.h"
#include "widgets/logic/Rect_object.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstring>
#include <functional>
#include <memory>

namespace {

// A picture whose every pixel differs from its neighbours: blue x*20, green y*30, red 7.
bool WriteGradient(const std::string& path, int w, int h)
{
    return WriteTestPicture(path, w, h, [](int x, int y, std::uint8_t* p) {
        p[0] = static_cast<std::uint8_t>(x * 20);
        p[1] = static_cast<std::uint8_t>(y * 30);
        p[2] = 7;
    });
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QListWidgetItem* Item(QListWidget* list, const QString& name)
{
    const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.front();
}

QStringList Names(QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

// Answers the overwrite question that appears next with the given button.
void AnswerNextQuestion(QMessageBox::StandardButton answer, int* asked)
{
    QTimer::singleShot(0, [answer, asked] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        QCOMPARE(box->windowTitle(), QString("Confirmation"));
        QCOMPARE(box->text(), QString("File Name already existed, overwrite?"));
        ++*asked;
        box->button(answer)->click();
    });
}

// The main window over a document of its own, showing a picture mirrored once (an edit
// not saved).
struct MIRRORED_WINDOW {
    MIRRORED_WINDOW(const std::string& settings_dir, HELP_VIEWER& help, const std::string& picture)
        : form(doc, selection, help, Options(settings_dir))
    {
        form.show();
        doc.current_path = picture;
        form.OpenCurrentPath();
        form.Command("mn_Image_Mirror")->trigger();
    }

    TIMAGE_INFO doc;
    RECT_OBJ selection;
    TForm1 form;

private:
    static FORM_OPTIONS Options(const std::string& settings_dir)
    {
        FORM_OPTIONS options;
        options.settings_dir = settings_dir;
        return options;
    }
};

} // namespace

class TestFileDialogs : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QTemporaryDir> settings_;
    std::unique_ptr<HELP_VIEWER> help_;
    DIALOG_MEMORY memory_; // what the main window keeps for its open and save dialogs
    QString start_dir_;

    std::string Path(const QString& name) const { return dir_->filePath(name).toStdString(); }
    std::string Settings() const { return settings_->filePath("RVS.ini").toStdString(); }

    // A document holding a w × h gradient read from "src.ppm", edited.
    std::unique_ptr<TIMAGE_INFO> EditedDocument(int w, int h)
    {
        auto doc = std::make_unique<TIMAGE_INFO>();
        if (!WriteGradient(Path("src.ppm"), w, h) || doc->Open(Path("src.ppm")) != kOk || CommitEdit(*doc) != kOk)
            return nullptr;
        return doc;
    }

private slots:
    void init()
    {
        start_dir_ = QDir::currentPath();
        dir_ = std::make_unique<QTemporaryDir>();
        settings_ = std::make_unique<QTemporaryDir>();
        help_ = std::make_unique<HELP_VIEWER>(RAVELSCOPE_VIEWER_DIR);
        memory_ = {};
    }

    void cleanup()
    {
        help_.reset();
        QCOMPARE(QDir::currentPath(), start_dir_); // nothing changes the working directory
    }

    void screenIs1024x768() { QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1024, 768)); }

    void openDialogStartsFromTheSettings_data()
    {
        const QString all = QString::fromStdString(OpenTypeMask(0));
        QTest::addColumn<int>("stored"); // -2: no settings file
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("mask");
        QTest::newRow("no settings") << -2 << 0 << all;
        QTest::newRow("AVI entry stored") << 0 << 0 << all;
        QTest::newRow("BMP stored") << 5 << 6 << "*.bmp";
        QTest::newRow("PPM stored") << 27 << 28 << "*.ppm";
        QTest::newRow("all files") << 1 << 2 << "*";
        QTest::newRow("all pictures") << 46 << 0 << all;
        QTest::newRow("past the list") << 99 << 0 << all;
    }

    void openDialogStartsFromTheSettings()
    {
        QFETCH(int, stored);
        QFETCH(int, index);
        QFETCH(QString, mask);
        for (const char* n : {"a.ppm", "B.PPM", "c.bmp", "noext"})
            QVERIFY(WriteGradient(Path(n), 2, 2));
        if (stored != -2) {
            IniFile ini(Settings());
            ini.WriteInteger("File", "Ext_Index", stored);
            ini.WriteString("Dir", "RecentlyVisited", dir_->path().toStdString());
        }
        TOFDialog d(memory_, Settings(), *help_);
        QCOMPARE(d.pos(), QPoint(297, 184));
        QCOMPARE(d.windowTitle(), QString("Open File Dialog"));
        QCOMPARE(d.FilterComboBox1->itemText(0), QString("All pictures"));
        QCOMPARE(d.FilterComboBox1->currentIndex(), index);
        QCOMPARE(d.Edit1->text(), mask);
        QVERIFY(!d.Bttn_OK->isEnabled());
        if (stored == -2) {
            QCOMPARE(d.Chooser().Directory(), QDir::cleanPath(QDir::homePath())); // not the working one
            return;
        }
        QCOMPARE(d.Chooser().Directory(), dir_->path());
        const QStringList want = index == 28  ? QStringList{"a.ppm", "B.PPM"}
                                 : index == 2 ? QStringList{"a.ppm", "B.PPM", "c.bmp", "noext"}
                                 : index == 6 ? QStringList{"c.bmp"}
                                              : QStringList{"a.ppm", "B.PPM", "c.bmp"};
        QCOMPARE(Names(d.Chooser().FileListBox1), want);
    }

    // The shown picture's directory comes first, then this run's last OK, then the
    // settings file's, then home.
    void openDialogStartsWhereThePictureIs()
    {
        QVERIFY(QDir(dir_->path()).mkdir("shown"));
        QVERIFY(QDir(dir_->path()).mkdir("remembered"));
        QVERIFY(WriteGradient(Path("shown/p.ppm"), 2, 2));
        IniFile(Settings()).WriteString("Dir", "RecentlyVisited", Path("remembered"));
        {
            TOFDialog d(memory_, Settings(), *help_, nullptr, Path("shown/p.ppm"));
            QCOMPARE(d.Chooser().Directory(), dir_->filePath("shown"));
        }
        TOFDialog d(memory_, Settings(), *help_, nullptr, Path("gone/p.ppm"));
        QCOMPARE(d.Chooser().Directory(), dir_->filePath("remembered"));
    }

    // The 85 × 85 box at (378, 82): small pictures at their size, larger ones fitted.
    void previewPlacesThePictureAndWritesItsLines_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<bool>("grey");
        QTest::addColumn<QRect>("place");
        QTest::newRow("40 x 30") << 40 << 30 << false << QRect(400, 109, 40, 30);
        QTest::newRow("170 x 85") << 170 << 85 << false << QRect(378, 103, 85, 42);
        QTest::newRow("10 x 90 grey") << 10 << 90 << true << QRect(416, 82, 9, 85);
        QTest::newRow("85 x 85") << 85 << 85 << false << QRect(378, 82, 85, 85);
    }

    void previewPlacesThePictureAndWritesItsLines()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(bool, grey);
        QFETCH(QRect, place);
        const QString name = grey ? "p.pgm" : "p.ppm";
        QVERIFY(WriteTestPicture(Path(name), w, h, [](int, int, std::uint8_t* p) { p[0] = p[1] = p[2] = 9; }, grey));
        IniFile(Settings()).WriteInteger("File", "Ext_Index", 1);
        IniFile(Settings()).WriteString("Dir", "RecentlyVisited", dir_->path().toStdString());
        TOFDialog d(memory_, Settings(), *help_);
        RunWith(d, [&] {
            d.Chooser().FileListBox1->setCurrentItem(Item(d.Chooser().FileListBox1, name));
            QVERIFY(d.Bttn_OK->isEnabled());
            QVERIFY(d.Image1->isVisible());
            QCOMPARE(d.Image1->geometry(), place);
            QCOMPARE(d.Lb_Width->text(), QString("Width:\t%1").arg(w));
            QCOMPARE(d.Lb_Height->text(), QString("Height:\t%1").arg(h));
            QCOMPARE(d.Lb_colors->text(), QString(grey ? "BPP:\t8" : "BPP:\t24"));
            const double kb = static_cast<double>(QFileInfo(dir_->filePath(name)).size()) / 1024.0;
            QCOMPARE(d.Lb_size->text(), QString("Size:\t%1 KB").arg(kb, 0, 'f', 2));
            // The check box hides the preview; the next good preview shows it again.
            d.Preview->click();
            QVERIFY(!d.Image1->isVisible());
            d.Chooser().FileListBox1->setCurrentItem(nullptr);
            d.Chooser().FileListBox1->setCurrentItem(Item(d.Chooser().FileListBox1, name));
            QVERIFY(d.Image1->isVisible());
        });
    }

    // Audio and video go to the media player's preview when one is installed: one player
    // at a time, placed like a picture, gone with the next preview. Without a player the
    // file may still be opened.
    void mediaFilesUseThePlayersPreview()
    {
        WriteBytes(dir_->filePath("clip.avi"), "RIFF");
        QVERIFY(WriteGradient(Path("p.ppm"), 2, 2));
        IniFile(Settings()).WriteInteger("File", "Ext_Index", 1);
        IniFile(Settings()).WriteString("Dir", "RecentlyVisited", dir_->path().toStdString());
        int players = 0;
        for (bool installed : {false, true}) {
            if (installed)
                memory_.media_preview = [&](QWidget* host, const QString& path, QSize* source) {
                    ++players;
                    (new QLabel(path, host))->show();
                    *source = QSize(170, 85);
                    return true;
                };
            TOFDialog d(memory_, Settings(), *help_);
            RunWith(d, [&] {
                QListWidget* list = d.Chooser().FileListBox1;
                list->setCurrentItem(Item(list, "clip.avi"));
                QVERIFY(d.Bttn_OK->isEnabled());
                QVERIFY(!d.Image1->isVisible());
                if (!installed) {
                    QCOMPARE(d.Lb_Width->text(), QString("Preview Unvailable"));
                    return;
                }
                QCOMPARE(d.Panel1->geometry(), QRect(378, 103, 85, 42));
                QCOMPARE(d.Panel1->findChildren<QLabel*>().size(), 1);
                list->setCurrentItem(Item(list, "p.ppm"));
                list->setCurrentItem(Item(list, "clip.avi"));
                QCOMPARE(d.Panel1->findChildren<QLabel*>().size(), 1);
                list->setCurrentItem(Item(list, "p.ppm"));
                QVERIFY(d.Panel1->findChildren<QLabel*>().isEmpty());
                QVERIFY(d.Image1->isVisible());
            });
        }
        memory_.media_preview = nullptr;
        QCOMPARE(players, 2);
    }

    // Through File > Open: a broken file, a double click on it and Cancel leave the main
    // window's picture, path, edits and undo steps as they were; OK (here a double click
    // after a good preview) opens the file and stores the directory and type.
    void previewsAndCancelLeaveTheMainWindowAlone()
    {
        QVERIFY(WriteGradient(Path("a.ppm"), 12, 9));
        QVERIFY(WriteSolidPicture(Path("b.ppm"), 6, 4, 1, 2, 3));
        WriteBytes(dir_->filePath("bad.ppm"), "P6 9 9 255\n\x01\x02");
        {
            IniFile ini(Settings());
            ini.WriteInteger("Screen", "Width", 630);
            ini.WriteInteger("File", "Ext_Index", 27);
            ini.WriteString("Dir", "RecentlyVisited", dir_->path().toStdString());
        }
        MIRRORED_WINDOW window(settings_->path().toStdString(), *help_, Path("a.ppm"));
        TIMAGE_INFO& doc = window.doc;
        TForm1& form = window.form;
        QCOMPARE(doc.edited, std::uint8_t{1});
        const std::uint8_t mirrored = doc.display->ScanLine(0)[0]; // blue of (0, 0): was x = 11
        QCOMPARE(mirrored, std::uint8_t{220});

        WhenOpen<TOFDialog>(&form, [&](TOFDialog& d) {
            QListWidget* list = d.Chooser().FileListBox1;
            QCOMPARE(Names(list), (QStringList{"a.ppm", "b.ppm", "bad.ppm"}));
            list->setCurrentItem(Item(list, "b.ppm"));
            QVERIFY(d.Bttn_OK->isEnabled());
            QListWidgetItem* bad = Item(list, "bad.ppm");
            list->setCurrentItem(bad);
            QCOMPARE(d.Lb_Width->text(), QString("Preview Unvailable"));
            QCOMPARE(d.Lb_Height->text(), QString("Data Error. (the file is too short for the picture its header describes)"));
            QCOMPARE(d.Lb_size->text(), QString());
            QVERIFY(!d.Bttn_OK->isEnabled());
            QVERIFY(!d.Image1->isVisible());
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(bad).center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(bad).center());
            QVERIFY(d.isVisible()); // no accepting a file that did not preview
            list->setCurrentItem(Item(list, "b.ppm"));
            QVERIFY(d.Bttn_OK->isEnabled());
            QTest::mouseClick(d.Cancel_BitBtn, Qt::LeftButton);
        });
        form.Command("mn_File_Open")->trigger();
        QCOMPARE(doc.current_path, Path("a.ppm"));
        QCOMPARE(doc.edited, std::uint8_t{1});
        QCOMPARE(doc.undo_length, 1);
        QCOMPARE(doc.display->Width(), 12);
        QCOMPARE(doc.display->ScanLine(0)[0], mirrored);
        QCOMPARE(form.windowTitle().section(" -- ", 1), QString("*a.ppm"));
        QVERIFY(!IniFile(Settings()).ValueExists("File", "Ext_Index") ||
                IniFile(Settings()).ReadInteger("File", "Ext_Index", -1) == 27);

        // The same through the toolbar button, now choosing a type and accepting.
        QVERIFY(QDir(dir_->path()).mkdir("sub"));
        QVERIFY(WriteSolidPicture(Path("sub/c.bmp.ppm"), 3, 3, 4, 5, 6));
        WhenOpen<TOFDialog>(&form, [&](TOFDialog& d) {
            d.FilterComboBox1->setCurrentIndex(2); // All files
            QVERIFY(d.Chooser().SetDirectory(dir_->filePath("sub")));
            QListWidget* list = d.Chooser().FileListBox1;
            QListWidgetItem* c = Item(list, "c.bmp.ppm");
            QVERIFY(c != nullptr);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(c).center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(c).center());
        });
        int asked = 0;
        AnswerUnsavedEdits(&form, "DiscardButton", &asked); // the mirrored picture is left
        form.Command("tb_Open")->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(doc.current_path, Path("sub/c.bmp.ppm"));
        QCOMPARE(doc.edited, std::uint8_t{0});
        QCOMPARE(doc.display->Width(), 3);
        QCOMPARE(form.windowTitle().section(" -- ", 1), QString("c.bmp.ppm"));
        IniFile ini(Settings());
        QCOMPARE(ini.ReadInteger("File", "Ext_Index", -1), 1);
        QCOMPARE(Q(ini.ReadString("Dir", "RecentlyVisited", "")), dir_->filePath("sub"));
    }

    // Real clips through File > Open and the real player: a paused MJPEG AVI shows its first
    // frame in a box placed by the frame's size, an MP3 previews as audio with its stream
    // lines, one player at a time, and Cancel leaves the main window's picture alone.
    void realMediaPreviewsAndCancel()
    {
        if (QStandardPaths::findExecutable("ffmpeg").isEmpty())
            QSKIP("ffmpeg is not installed: no clips to preview");
        const auto make = [&](const char* name, const QStringList& args) {
            QProcess p;
            p.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args +
                                  QStringList{dir_->filePath(name)});
            return p.waitForFinished(60000) && p.exitCode() == 0;
        };
        QVERIFY(make("v.avi", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-c:v", "mjpeg"}));
        QVERIFY(make("s.mp3", {"-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-c:a", "libmp3lame",
                               "-b:a", "128k", "-ar", "44100"}));
        QVERIFY(WriteGradient(Path("a.ppm"), 12, 9));
        IniFile(Settings()).WriteInteger("File", "Ext_Index", 1);
        IniFile(Settings()).WriteString("Dir", "RecentlyVisited", dir_->path().toStdString());
        MIRRORED_WINDOW window(settings_->path().toStdString(), *help_, Path("a.ppm"));
        TIMAGE_INFO& doc = window.doc;
        TForm1& form = window.form;
        const std::uint8_t mirrored = doc.display->ScanLine(0)[0];

        QString skipped;
        QPointer<TMediaWindow> last;
        WhenOpen<TOFDialog>(&form, [&](TOFDialog& d) {
            QListWidget* list = d.Chooser().FileListBox1;
            list->setCurrentItem(Item(list, "v.avi"));
            QList<TMediaWindow*> players = d.Panel1->findChildren<TMediaWindow*>();
            if (players.size() != 1 || players[0]->SourceRect().isEmpty()) {
                skipped = "the player cannot play MJPEG AVI";
                return;
            }
            QVERIFY(d.Bttn_OK->isEnabled());
            QCOMPARE(d.Panel1->geometry(), QRect(378, 93, 85, 63)); // 160 x 120 fitted to 85
            QCOMPARE(players[0]->geometry(), QRect(0, 0, 85, 63));
            QVERIFY(!players[0]->IsPlaying());
            const QImage frame = players[0]->grab().toImage();
            QVERIFY(frame.pixelColor(42, 31) != QColor(Qt::black) || frame.pixelColor(10, 10) != QColor(Qt::black));
            QPointer<TMediaWindow> video = players[0];
            list->setCurrentItem(Item(list, "s.mp3"));
            QVERIFY(video.isNull());
            players = d.Panel1->findChildren<TMediaWindow*>();
            QCOMPARE(players.size(), 1);
            QVERIFY(players[0]->SourceRect().isEmpty());
            QCOMPARE(d.Lb_Width->text(), QString("s.mp3"));
            QVERIFY(d.Lb_Height->text().startsWith("MPEG 1.0 128 kbps 44100 Hz"));
            last = players[0];
            QTest::mouseClick(d.Cancel_BitBtn, Qt::LeftButton);
        });
        form.Command("mn_File_Open")->trigger();
        if (!skipped.isEmpty())
            QSKIP(qPrintable(skipped));
        QVERIFY(last.isNull()); // the player went with the dialog
        QCOMPARE(doc.current_path, Path("a.ppm"));
        QCOMPARE(doc.edited, std::uint8_t{1});
        QCOMPARE(doc.display->Width(), 12);
        QCOMPARE(doc.display->ScanLine(0)[0], mirrored);
        QVERIFY(form.MediaPage().Player() == nullptr);
    }

    // OK writes both keys; a dialog of a later run starts on that directory and type.
    void okIsRememberedByTheNextDialog()
    {
        QVERIFY(QDir(dir_->path()).mkdir("pics"));
        for (const char* n : {"pics/x.ppm", "pics/Y.PPM", "pics/z.pgm"})
            QVERIFY(WriteGradient(Path(n), 2, 2));
        const QString pics = dir_->filePath("pics");
        {
            TOFDialog d(memory_, Settings(), *help_);
            QCOMPARE(RunWith(d,
                             [&] {
                                 QVERIFY(d.Chooser().SetDirectory(pics));
                                 d.FilterComboBox1->setCurrentIndex(28);
                                 QCOMPARE(d.Edit1->text(), QString("*.ppm"));
                                 QCOMPARE(Names(d.Chooser().FileListBox1), (QStringList{"x.ppm", "Y.PPM"}));
                                 d.Edit1->setText("Y.PPM"); // Enter on a typed name opens it
                                 QTest::keyClick(d.Edit1, Qt::Key_Return);
                             }),
                     int(QDialog::Accepted));
            QCOMPARE(d.ChosenPath(), pics + "/Y.PPM");
        }
        IniFile ini(Settings());
        QCOMPARE(ini.ReadInteger("File", "Ext_Index", -1), 27);
        QCOMPARE(Q(ini.ReadString("Dir", "RecentlyVisited", "")), pics);
        QCOMPARE(ini.ReadInteger("OpenFileDlg", "Left", -1), 297);
        memory_.open = {}; // a new run
        TOFDialog again(memory_, Settings(), *help_);
        QCOMPARE(again.Chooser().Directory(), pics);
        QCOMPARE(again.FilterComboBox1->currentIndex(), 28);
        QCOMPARE(Names(again.Chooser().FileListBox1), (QStringList{"x.ppm", "Y.PPM"}));
    }

    void upOneLevelStopsAtTheRootAndKeepsAFailedDirectory()
    {
        QVERIFY(QDir(dir_->path()).mkpath("a/b"));
        WriteBytes(dir_->filePath("a/file"), "x");
        memory_.save = {}; // a new run
        TIMAGE_INFO doc;
        TSaveDlg d(doc, memory_, Settings(), *help_);
        TFileChooser& c = d.Chooser();
        QVERIFY(c.SetDirectory(dir_->filePath("a/b")));
        QVERIFY(c.UpDir_BitBtn->isEnabled());
        c.UpDir_BitBtn->click();
        QCOMPARE(c.Directory(), dir_->filePath("a"));
        QVERIFY(!c.SetDirectory(dir_->filePath("gone")));
        QVERIFY(!c.SetDirectory(dir_->filePath("a/file")));
        QCOMPARE(c.Directory(), dir_->filePath("a"));
        QVERIFY(c.SetDirectory("/"));
        QVERIFY(!c.UpDir_BitBtn->isEnabled());
        c.UpDir_BitBtn->click();
        QCOMPARE(c.Directory(), QString("/"));
    }

    void f1OpensTheDialogsHelpTopic()
    {
        TIMAGE_INFO doc;
        TOFDialog open(memory_, Settings(), *help_);
        RunWith(open, [&] { QTest::keyClick(open.Edit1, Qt::Key_F1); });
        QVERIFY(help_->Form() != nullptr);
        QCOMPARE(help_->Form()->CurrentContext(), 25);
        TSaveDlg save(doc, memory_, Settings(), *help_);
        RunWith(save, [&] {
            QTest::keyClick(save.Edit1, Qt::Key_F1);
            QVERIFY(save.isVisible());
        });
        QCOMPARE(help_->Form()->CurrentContext(), 38);
    }

    void saveDialogStartsFromTheSettings()
    {
        auto doc = EditedDocument(4, 3);
        QVERIFY(doc);
        {
            TSaveDlg d(*doc, memory_, Settings(), *help_);
            QCOMPARE(d.pos(), QPoint(215, 118));
            QCOMPARE(d.windowTitle(), QString("Save As"));
            QCOMPARE(d.FilterComboBox1->currentIndex(), 5);
            QCOMPARE(d.Edit1->text(), QString("src.pcx"));
            d.FilterComboBox1->setCurrentIndex(6);
            QCOMPARE(d.Edit1->text(), QString("src.png"));
        }
        IniFile(Settings()).WriteInteger("SaveFileDlg", "Ext_Index", 0);
        TIMAGE_INFO pasted; // no file holds it yet
        TSaveDlg d(pasted, memory_, Settings(), *help_);
        QCOMPARE(d.FilterComboBox1->currentIndex(), 0);
        QCOMPARE(d.Edit1->text(), QString("*.bmp"));
    }

    // Each type written through the dialog reads back with our own readers at the edited
    // (cropped) size, pixel for pixel where the format keeps them.
    void everySaveTypeReadsBack_data()
    {
        QTest::addColumn<int>("type");
        for (std::size_t i = 0; i < SaveTypes().size(); ++i)
            QTest::newRow(SaveTypes()[i].ext) << static_cast<int>(i);
    }

    void everySaveTypeReadsBack()
    {
        QFETCH(int, type);
        auto doc = EditedDocument(12, 9);
        QVERIFY(doc);
        // A crop to 5 x 4 from (2, 1): the context still remembers the 12 x 9 picture read.
        auto cropped = std::make_unique<Dib>();
        QCOMPARE(cropped->SetSize(5, 4, 24), int(kOk));
        for (int y = 0; y < 4; ++y)
            std::memcpy(cropped->ScanLine(y), doc->display->ScanLine(y + 1) + 3 * 2, 15);
        doc->display = std::move(cropped);
        QCOMPARE(CommitEdit(*doc), int(kOk));
        const SAVE_TYPE& t = SaveTypes()[static_cast<std::size_t>(type)];
        TSaveDlg d(*doc, memory_, Settings(), *help_);
        const int rc = RunWith(d, [&] {
            QVERIFY(d.Chooser().SetDirectory(dir_->path()));
            d.FilterComboBox1->setCurrentIndex(type);
            d.Edit1->setText("out");
            QTest::mouseClick(d.Bttn_OK, Qt::LeftButton);
        });
        QCOMPARE(rc, int(QDialog::Accepted));
        const QString out = dir_->filePath(QString("out") + t.ext);
        QCOMPARE(d.SavedPath(), out);
        QCOMPARE(doc->edited, std::uint8_t{0});
        TIMAGE_INFO back;
        QCOMPARE(back.Open(out.toStdString()), int(kOk));
        QCOMPARE(back.display->Width(), 5);
        QCOMPARE(back.display->Height(), 4);
        if (SaveTypeHasQuality(type) || t.save_code == kSavePgm)
            return; // lossy, or grey
        for (int y = 0; y < 4; ++y)
            QVERIFY2(std::memcmp(back.display->ScanLine(y), doc->display->ScanLine(y), 15) == 0,
                     qPrintable(QString("row %1").arg(y)));
    }

    // What OK does with the typed name: the extension of the file part, filters, nothing.
    void typedNamesDecideWhatOkDoes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("written"); // "" when nothing may be written
        QTest::addColumn<int>("format");      // of the file written, by its first bytes
        QTest::addColumn<int>("shown");       // the type the list shows after OK
        QTest::newRow("extension from the file part") << "v2.d/photo" << 6 << "v2.d/photo.png" << int(kFmtPng) << 6;
        QTest::newRow("type's extension in capitals") << "photo.PNG" << 6 << "photo.PNG" << int(kFmtPng) << 6;
        QTest::newRow("a type's extension chooses the type") << "cli_resave.jpg" << 0 << "cli_resave.jpg"
                                                              << int(kFmtJpeg) << 3;
        QTest::newRow("another spelling of one") << "photo.jpeg" << 11 << "photo.jpeg" << int(kFmtJpeg) << 3;
        QTest::newRow("unknown extension replaced") << "notes.xyz" << 0 << "notes.bmp" << int(kFmtBmp) << 0;
        QTest::newRow("pattern filters") << "*.pgm" << 5 << "" << -1 << 5;
        QTest::newRow("empty name") << "" << 5 << "" << -1 << 5;
    }

    void typedNamesDecideWhatOkDoes()
    {
        QFETCH(QString, typed);
        QFETCH(int, type);
        QFETCH(QString, written);
        QFETCH(int, format);
        QFETCH(int, shown);
        QVERIFY(QDir(dir_->path()).mkdir("v2.d"));
        auto doc = EditedDocument(3, 2);
        QVERIFY(doc);
        QVERIFY(WriteGradient(Path("keep.pgm"), 1, 1));
        const QStringList before = QDir(dir_->path()).entryList(QDir::Files);
        TSaveDlg d(*doc, memory_, Settings(), *help_);
        const int rc = RunWith(d, [&] {
            QVERIFY(d.Chooser().SetDirectory(dir_->path()));
            d.FilterComboBox1->setCurrentIndex(type);
            d.Edit1->setText(typed);
            QTest::mouseClick(d.Bttn_OK, Qt::LeftButton);
            QCOMPARE(d.Lb_Result->text(), QString());
            if (written.isEmpty()) {
                QVERIFY(d.isVisible());
                if (!typed.isEmpty())
                    QCOMPARE(Names(d.Chooser().FileListBox1), QStringList{"keep.pgm"});
            }
        });
        if (written.isEmpty()) {
            QCOMPARE(rc, int(QDialog::Rejected));
            QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), before);
            QCOMPARE(QDir(dir_->filePath("v2.d")).entryList(QDir::Files), QStringList());
            return;
        }
        QCOMPARE(rc, int(QDialog::Accepted));
        QCOMPARE(d.SavedPath(), dir_->filePath(written));
        QCOMPARE(SniffFile(Path(written)), format);
        QCOMPARE(d.FilterComboBox1->currentIndex(), shown);
        QCOMPARE(IniFile(Settings()).ReadInteger("SaveFileDlg", "Ext_Index", -1), shown);
        QVERIFY(!QFile::exists(dir_->filePath("v2.png")));
    }

    // The quality: shown with the lossy types only (JPEG, WebP, AVIF, JPEG XL), 90 at first,
    // kept in the settings file for the next dialog and for the Save command (the
    // document's save quality), and in the file (ImageMagick reads it back from the
    // quantisation tables). A typed ".webp" with PNG chosen writes WebP at that quality.
    void jpegQualityIsOfferedKeptAndWritten()
    {
        auto doc = EditedDocument(16, 16);
        QVERIFY(doc);
        {
            TSaveDlg d(*doc, memory_, Settings(), *help_);
            QCOMPARE(d.SpinQuality->value(), 90);
            const int rc = RunWith(d, [&] {
                QVERIFY(!d.SpinQuality->isVisible()); // PCX first
                for (int i = 0; i < d.FilterComboBox1->count(); ++i) {
                    d.FilterComboBox1->setCurrentIndex(i);
                    const std::int32_t code = SaveTypes()[static_cast<std::size_t>(i)].save_code;
                    const bool lossy = code == kSaveJpeg || code == kSaveWebp || code == kSaveAvif || code == kSaveJxl;
                    QCOMPARE(d.SpinQuality->isVisible(), lossy);
                }
                d.FilterComboBox1->setCurrentIndex(3);
                QVERIFY(d.SpinQuality->isVisible());
                QVERIFY(d.findChild<QLabel*>("Lb_Quality")->isVisible());
                d.FilterComboBox1->setCurrentIndex(6);
                QVERIFY(!d.SpinQuality->isVisible());
                d.FilterComboBox1->setCurrentIndex(3);
                d.SpinQuality->setValue(35);
                QVERIFY(d.Chooser().SetDirectory(dir_->path()));
                d.Edit1->setText("q35");
                QTest::mouseClick(d.Bttn_OK, Qt::LeftButton);
            });
            QCOMPARE(rc, int(QDialog::Accepted));
        }
        QCOMPARE(doc->save_quality, 35);
        QCOMPARE(IniFile(Settings()).ReadInteger("SaveFileDlg", "Quality", -1), 35);
        QCOMPARE(StoredQuality(Settings()), 35);
        QProcess identify;
        identify.start("identify", {"-format", "%Q", dir_->filePath("q35.jpg")});
        QVERIFY2(identify.waitForFinished(), "ImageMagick (scripts/deps.sh) is needed");
        QCOMPARE(QString(identify.readAllStandardOutput()), QString("35"));
        TSaveDlg again(*doc, memory_, Settings(), *help_);
        QCOMPARE(again.SpinQuality->value(), 35);
        const int rc = RunWith(again, [&] {
            QVERIFY(again.Chooser().SetDirectory(dir_->path()));
            again.FilterComboBox1->setCurrentIndex(6); // PNG
            again.Edit1->setText("q.webp");
            QTest::mouseClick(again.Bttn_OK, Qt::LeftButton);
        });
        QCOMPARE(rc, int(QDialog::Accepted));
        QCOMPARE(again.FilterComboBox1->currentIndex(), 12);
        QCOMPARE(doc->context->quality, 35);
        QFile webp(dir_->filePath("q.webp"));
        QVERIFY(webp.open(QIODevice::ReadOnly));
        const QByteArray head = webp.read(12);
        QVERIFY(head.startsWith("RIFF") && head.mid(8, 4) == "WEBP");
    }

    // A declined overwrite and a writer that fails both leave the old bytes; the failure is
    // shown in the dialog, which stays open with the picture still marked edited.
    void oldFilesSurviveDeclinedAndFailedSaves()
    {
        auto doc = EditedDocument(4, 4);
        QVERIFY(doc);
        const QByteArray old = "old bytes";
        WriteBytes(dir_->filePath("keep.png"), old);
        WriteBytes(dir_->filePath("wide.gif"), old);
        int asked = 0;
        TSaveDlg d(*doc, memory_, Settings(), *help_);
        RunWith(d, [&] {
            QVERIFY(d.Chooser().SetDirectory(dir_->path()));
            d.FilterComboBox1->setCurrentIndex(6);
            d.Edit1->setText("keep");
            AnswerNextQuestion(QMessageBox::Cancel, &asked);
            QTest::mouseClick(d.Bttn_OK, Qt::LeftButton);
            QCOMPARE(asked, 1);
            QVERIFY(d.isVisible());
            QCOMPARE(d.Edit1->text(), QString("keep")); // as typed
            QCOMPARE(IniFile(Settings()).ReadInteger("SaveFileDlg", "Ext_Index", -1), 6); // stored before asking
        });
        QCOMPARE(ReadAll(dir_->filePath("keep.png")), old);

        // GIF stores sides up to 65535 pixels: a 70000 x 1 picture makes its writer fail.
        auto wide = std::make_unique<TIMAGE_INFO>();
        QCOMPARE(wide->display->SetSize(70000, 1, 24), int(kOk));
        wide->state = kPictureOpen;
        wide->picture_present = 1;
        QCOMPARE(CommitEdit(*wide), int(kOk));
        TSaveDlg w(*wide, memory_, Settings(), *help_);
        RunWith(w, [&] {
            QVERIFY(w.Chooser().SetDirectory(dir_->path()));
            w.FilterComboBox1->setCurrentIndex(2);
            w.Edit1->setText("wide");
            AnswerNextQuestion(QMessageBox::Ok, &asked);
            QTest::mouseClick(w.Bttn_OK, Qt::LeftButton);
            QCOMPARE(asked, 2);
            QVERIFY(w.isVisible());
            QCOMPARE(w.Lb_Result->text(), QString("wide.gif: ") + ResultText(kImageTooLarge));
            QCOMPARE(wide->edited, std::uint8_t{1});
        });
        QCOMPARE(ReadAll(dir_->filePath("wide.gif")), old);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden).size(), 3); // no temporary left
    }

    // Tests > Save Dialog is the same dialog; a good save clears the title's edited mark.
    void mainWindowSavesThroughTheDialog()
    {
        QVERIFY(WriteGradient(Path("a.ppm"), 6, 5));
        IniFile(Settings()).WriteInteger("Screen", "Width", 630);
        MIRRORED_WINDOW window(settings_->path().toStdString(), *help_, Path("a.ppm"));
        TForm1& form = window.form;
        QVERIFY(form.windowTitle().contains("*"));
        WhenOpen<TSaveDlg>(&form, [&](TSaveDlg& d) {
            QCOMPARE(d.Chooser().Directory(), dir_->path());
            d.FilterComboBox1->setCurrentIndex(6);
            QCOMPARE(d.Edit1->text(), QString("a.png"));
            QTest::mouseClick(d.Bttn_OK, Qt::LeftButton);
        });
        form.Command("mn_Tests_SaveDialog")->trigger();
        QVERIFY(QFile::exists(dir_->filePath("a.png")));
        QVERIFY(!form.windowTitle().contains("*"));
        QCOMPARE(QImage(dir_->filePath("a.png")).pixelColor(0, 0), QColor(7, 0, 100));
    }
};

QTEST_MAIN(TestFileDialogs)
#include "File_dialogs_test.moc"
