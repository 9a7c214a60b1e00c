// Edits and files through the real window: Save after Save As writes the file saved as; a
// pasted, captured or scanned picture never writes over the file it replaced; every way of
// leaving an edited picture asks, and each answer does what it says; the slide show and
// the full-screen viewer pause on an edited picture. Nothing is written unless asked.
#include "core/Imageinfo.h"
#include "dialogs/File_chooser.h"
#include "dialogs/Fs_form.h"
#include "dialogs/Image_info_form.h"
#include "dialogs/Scan_form.h"
#include "dialogs/Tsdialog.h"
#include "platform/Ini_file.h"
#include "viewer/Effect_commands.h"
#include "viewer/Unit1.h"
#include "viewer/tests/Gui_test_support.h"
#include "viewer/tests/Window_test_base.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <cstring>
#include <fstream>
#include <memory>

namespace {

// Blue across, green down: a mirror or a turn changes every row.
void Gradient(int x, int y, std::uint8_t* p)
{
    p[0] = static_cast<std::uint8_t>(x * 8);
    p[1] = static_cast<std::uint8_t>(y * 12);
    p[2] = 40;
}

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QImage ImageOf(const Dib& d)
{
    QImage img(d.Width(), d.Height(), QImage::Format_BGR888);
    for (int y = 0; y < d.Height(); ++y)
        std::memcpy(img.scanLine(y), d.ScanLine(y), static_cast<std::size_t>(d.Width()) * 3);
    return img;
}

// The picture a file holds, read by the program's own readers.
QImage FileImage(const QString& path)
{
    TIMAGE_INFO doc;
    return doc.Open(path.toStdString()) == kOk && doc.display ? ImageOf(*doc.display) : QImage();
}

} // namespace

class TestUnsavedEdits : public TWindowTestBase {
    Q_OBJECT

private:
    QString File(const char* name) const { return dir_->filePath(name); }
    std::string Path(const char* name) const { return File(name).toStdString(); }
    QImage Shown() const { return ImageOf(*doc_->display); }
    QString Title(TForm1& form) const { return form.windowTitle().section(" -- ", 1); }
    QStringList Files() const
    {
        return QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    }

    // a.ppm (a gradient) and b.ppm; the settings name b.ppm as a recent file.
    void WriteFolder()
    {
        QVERIFY(WriteTestPicture(Path("a.ppm"), 30, 20, Gradient));
        QVERIFY(WriteLetterPicture(Path("b.ppm"), 'b', 30, 20));
        IniFile ini(settings_->filePath("RVS.ini").toStdString());
        ini.WriteInteger("Screen", "Width", 630);
        ini.WriteInteger("MRU", "max_index_string", 1);
        ini.WriteString("MRU", "File_0", Path("b.ppm"));
    }

    std::unique_ptr<TForm1> OpenForm(const char* name)
    {
        FORM_OPTIONS o;
        o.settings_dir = settings_->path().toStdString();
        o.hand_off_fallback = Path(name);
        auto form = std::make_unique<TForm1>(*doc_, *selection_, *help_, o);
        form->show();
        return form;
    }

    // The file name and type Image > Info tells.
    QStringList InfoFile(TForm1& form)
    {
        QStringList told;
        WhenOpen<TImageInfoForm>(&form, [&](TImageInfoForm& d) {
            told << d.Value("lb_filename_info")->text() << d.Value("lb_filetype_info")->text();
        });
        form.Command("mn_Image_Info")->trigger();
        return told;
    }

    // Acquires the SANE test backend's colour pattern, answering the scan's windows: the
    // first source, colour, and "No" to saving at once.
    void Acquire(TForm1& form)
    {
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [] {
            QWidget* w = QApplication::activeModalWidget();
            if (auto* input = qobject_cast<QInputDialog*>(w)) {
                input->setTextValue(input->comboBoxItems().value(0));
                input->accept();
            } else if (auto* scan = qobject_cast<TScanForm*>(w)) {
                scan->ModeBox->setCurrentText("Color");
                scan->accept();
            } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
                box->done(QMessageBox::No);
            }
        });
        answer.start(20);
        form.Command("mn_Tools_Acquire")->trigger();
    }

private slots:
    void initTestCase()
    {
        // SANE's test backend for Acquire; SANE reads its configuration once a process.
        static QTemporaryDir sane;
        std::ofstream(sane.filePath("dll.conf").toStdString()) << "test\n";
        std::ofstream(sane.filePath("test.conf").toStdString())
            << "resolution 50.0\ntest-picture \"Color pattern\"\n";
        qputenv("SANE_CONFIG_DIR", (sane.path() + ":").toLocal8Bit());
    }

    void init() { MakeFixture(); }

    void cleanup()
    {
        QGuiApplication::clipboard()->clear();
        DropFixture();
    }

    // After a Save As the document is the file written: its name in the title, its type,
    // and Save writes there; the file opened first keeps its bytes.
    void saveAfterSaveAsWritesTheFileSavedAs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("PNG") << "rotated.png";
        QTest::newRow("TIFF: a type Save does not write over an opened file") << "rotated.tif";
        QTest::newRow("JPEG with a capital extension") << "rotated.JPG";
    }

    void saveAfterSaveAsWritesTheFileSavedAs()
    {
        QFETCH(QString, name);
        WriteFolder();
        const QByteArray original = FileBytes(File("a.ppm"));
        auto form = OpenForm("a.ppm");
        form->Command("mn_Image_RotateRight")->trigger();
        form->SetSaveFileChooser([&] { return File(name.toUtf8().constData()); });
        form->Command("mn_File_SaveAs")->trigger();
        QCOMPARE(form->windowTitle(), "Ravelscope -- " + name);
        QCOMPARE(doc_->current_path, File(name.toUtf8().constData()).toStdString());
        QCOMPARE(form->StatusPanel(0), QString("20 x 30 x 24 BPP"));
        QVERIFY(form->StatusPanel(1).endsWith("KB"));
        QCOMPARE(InfoFile(*form).value(0), name);

        form->SetSaveFileChooser([] {
            QTest::qFail("Save asked for a name", __FILE__, __LINE__);
            return QString();
        });
        form->Command("mn_Image_Mirror")->trigger();
        QCOMPARE(form->windowTitle(), "Ravelscope -- *" + name);
        form->Command("mn_File_Save")->trigger();
        QCOMPARE(form->windowTitle(), "Ravelscope -- " + name);
        const QImage saved = FileImage(File(name.toUtf8().constData()));
        QCOMPARE(saved.size(), QSize(20, 30));
        if (!name.endsWith("JPG")) // lossy
            QCOMPARE(saved, Shown());
        QCOMPARE(FileBytes(File("a.ppm")), original);
        QCOMPARE(Files(), (QStringList{"a.ppm", "b.ppm", name}));
    }

    // A picture that comes from outside (the clipboard, a capture, a scanner) is untitled:
    // Save asks for a name, proposing one in the folder of the picture it replaced, and
    // the picture's file is never written. Undo back across it gives the file again.
    void newPicturesNeverWriteOverTheFileTheyReplace_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Paste") << "mn_Edit_Paste";
        QTest::newRow("Capture Screen") << "mn_Tests_CaptureScreen";
        QTest::newRow("Capture Client") << "mn_Tests_CaptureClient";
        QTest::newRow("Capture DeskTop") << "mn_Tests_CaptureDeskTop";
        QTest::newRow("Acquire") << "mn_Tools_Acquire";
    }

    void newPicturesNeverWriteOverTheFileTheyReplace()
    {
        QFETCH(QString, command);
        WriteFolder();
        const QByteArray original = FileBytes(File("a.ppm"));
        auto form = OpenForm("a.ppm");
        QImage pasted(7, 5, QImage::Format_RGB32);
        pasted.fill(QColor(200, 10, 30));
        QGuiApplication::clipboard()->setImage(pasted);
        form->EditCommands().ClipboardTimerTick();
        if (command == "mn_Tools_Acquire")
            Acquire(*form);
        else
            form->Command(command)->trigger();
        QVERIFY(doc_->display->Width() != 30);
        QCOMPARE(form->windowTitle(), QString("Ravelscope -- *Untitled"));
        QVERIFY(doc_->current_path.empty());
        QCOMPARE(form->StatusPanel(1), QString());
        QCOMPARE(InfoFile(*form), (QStringList{"---", "---"}));
        const QImage picture = Shown();

        // Save: the chooser is asked, with the proposal; cancelling writes nothing.
        QStringList proposals;
        form->SetSaveFileChooser([&] {
            proposals << form->SaveProposal();
            return QString();
        });
        form->Command("mn_File_Save")->trigger();
        QCOMPARE(proposals, QStringList{File("Untitled.png")});
        QCOMPARE(Files(), (QStringList{"a.ppm", "b.ppm"}));
        QVERIFY(doc_->edited != 0);

        // Undo gives the file's own picture under its name; Redo the new one, untitled.
        form->Command("mn_Edit_Undo")->trigger();
        QCOMPARE(form->windowTitle(), QString("Ravelscope -- a.ppm"));
        form->Command("mn_Edit_Redo")->trigger();
        QCOMPARE(form->windowTitle(), QString("Ravelscope -- *Untitled"));

        form->SetSaveFileChooser([&] { return form->SaveProposal(); });
        form->Command("mn_File_Save")->trigger();
        QCOMPARE(form->windowTitle(), QString("Ravelscope -- Untitled.png"));
        QCOMPARE(FileImage(File("Untitled.png")), picture);
        QCOMPARE(FileBytes(File("a.ppm")), original);
        QCOMPARE(Files(), (QStringList{"a.ppm", "b.ppm", "Untitled.png"}));
    }

    // Save on an untitled picture opens the real save dialog on the proposal: the folder
    // of the picture replaced, "Untitled.png", PNG.
    void saveDialogOpensOnTheProposal()
    {
        WriteFolder();
        QVERIFY(WriteLetterPicture(Path("Untitled.png"), 'u', 2, 2)); // taken: the next name is proposed
        auto form = OpenForm("a.ppm");
        QImage img(4, 3, QImage::Format_RGB32);
        img.fill(Qt::green);
        QGuiApplication::clipboard()->setImage(img);
        form->Command("mn_Edit_Paste")->trigger();
        bool seen = false;
        WhenOpen<TSaveDlg>(form.get(), [&](TSaveDlg& d) {
            seen = true;
            QCOMPARE(d.Chooser().Directory(), dir_->path());
            QCOMPARE(d.Edit1->text(), QString("Untitled 2.png"));
            QCOMPARE(d.FilterComboBox1->currentText(), QString("Portable Network Graphics files (*.png)"));
            d.Cancel_BitBtn->click();
        });
        form->Command("mn_File_Save")->trigger();
        QVERIFY(seen);
        QCOMPARE(Files(), (QStringList{"a.ppm", "b.ppm", "Untitled.png"}));
    }

    // Every way of leaving an edited picture asks first. Save writes the picture's file and
    // goes on, Save As writes the file chosen and goes on, Discard goes on without writing,
    // Cancel keeps the picture with its edits and writes nothing.
    void everyWayOfLeavingAsks_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("answer");
        const char* ways[] = {"View > Next File", "Display Previous", "N",      "Space", "Backspace",
                              "Right",            "Home",             "End",    "wheel", "File > Open",
                              "recent file",      "drop",             "Esc",    "Ctrl+Q", "File > Exit",
                              "close the window"};
        for (const char* way : ways)
            for (const char* answer : {"SaveButton", "SaveAsButton", "DiscardButton", "CancelButton"})
                QTest::addRow("%s, %s", way, answer) << way << answer;
    }

    void everyWayOfLeavingAsks()
    {
        QFETCH(QString, way);
        QFETCH(QString, answer);
        WriteFolder();
        const QByteArray original = FileBytes(File("a.ppm"));
        auto form = OpenForm("a.ppm");
        form->Command("mn_Image_Mirror")->trigger();
        const QImage edited = Shown();
        QSignalSpy closed(form.get(), &TForm1::Closed);
        form->SetSaveFileChooser([&] { return File("as.ppm"); });
        form->SetOpenFileChooser([&] { return File("b.ppm"); });
        int asked = 0;
        AnswerUnsavedEdits(form.get(), answer, &asked);

        const bool closing = way == "Esc" || way == "Ctrl+Q" || way == "File > Exit" || way == "close the window";
        if (way == "N" || way == "Ctrl+Q") { // shortcuts go to the active window
            form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(form.get()));
        }
        if (way == "View > Next File") {
            form->Command("mn_View_NextFile")->trigger();
        } else if (way == "Display Previous") {
            form->Command("tb_Previous")->trigger();
        } else if (way == "N") {
            QTest::keyClick(form.get(), Qt::Key_N);
        } else if (way == "Space") {
            QTest::keyClick(form.get(), Qt::Key_Space);
        } else if (way == "Backspace") {
            QTest::keyClick(form.get(), Qt::Key_Backspace);
        } else if (way == "Right" || way == "Home" || way == "End") {
            QTest::keyClick(form.get(), way == "Right" ? Qt::Key_Right : way == "Home" ? Qt::Key_Home : Qt::Key_End);
        } else if (way == "wheel") {
            QWheelEvent e(QPointF(20, 20), form->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(form.get(), &e);
        } else if (way == "File > Open") {
            form->Command("mn_File_Open")->trigger();
        } else if (way == "recent file") {
            QCOMPARE(form->Command("mn_File_MRU1")->text(), "&1  " + File("b.ppm"));
            form->Command("mn_File_MRU1")->trigger();
        } else if (way == "drop") {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(File("b.ppm"))});
            QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form.get(), &enter);
            QDropEvent drop(QPointF(30, 30), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form.get(), &drop);
        } else if (way == "Esc") {
            QTest::keyClick(form.get(), Qt::Key_Escape);
        } else if (way == "Ctrl+Q") {
            QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
        } else if (way == "File > Exit") {
            form->Command("mn_File_Exit")->trigger();
        } else {
            form->close();
        }
        QCOMPARE(asked, 1);

        const QStringList files = Files();
        if (answer == "CancelButton") {
            QCOMPARE(closed.count(), 0);
            QVERIFY(form->isVisible());
            QCOMPARE(doc_->current_path, Path("a.ppm"));
            QCOMPARE(doc_->edited, std::uint8_t{1});
            QCOMPARE(Shown(), edited);
            QVERIFY(form->UndoChain().CanUndo());
            QCOMPARE(FileBytes(File("a.ppm")), original);
            QCOMPARE(files, (QStringList{"a.ppm", "b.ppm"}));
            return;
        }
        // Left: the window closed, or it shows a file as read.
        if (closing) {
            QCOMPARE(closed.count(), 1);
        } else {
            QCOMPARE(doc_->edited, std::uint8_t{0});
            QVERIFY(!form->UndoChain().CanUndo());
            QCOMPARE(Shown(), FileImage(QString::fromStdString(doc_->current_path)));
            QVERIFY(!form->windowTitle().contains("*"));
        }
        if (answer == "SaveButton") {
            QCOMPARE(FileImage(File("a.ppm")), edited);
            QCOMPARE(files, (QStringList{"a.ppm", "b.ppm"}));
        } else if (answer == "SaveAsButton") {
            QCOMPARE(FileImage(File("as.ppm")), edited);
            QCOMPARE(FileBytes(File("a.ppm")), original);
            QCOMPARE(files, (QStringList{"a.ppm", "as.ppm", "b.ppm"}));
        } else {
            QCOMPARE(FileBytes(File("a.ppm")), original);
            QCOMPARE(files, (QStringList{"a.ppm", "b.ppm"}));
        }
    }

    // A save that fails or is cancelled from the question keeps the picture and its edits.
    void aFailedSaveCancelsTheLeave_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("Save As cancelled") << "SaveAsButton" << "";
        QTest::newRow("Save As into a missing folder") << "SaveAsButton" << "missing/x.ppm";
        QTest::newRow("Save of an untitled picture, cancelled") << "SaveButton" << "";
    }

    void aFailedSaveCancelsTheLeave()
    {
        QFETCH(QString, answer);
        QFETCH(QString, chosen);
        WriteFolder();
        auto form = OpenForm("a.ppm");
        if (answer == "SaveButton") {
            QImage img(3, 3, QImage::Format_RGB32);
            img.fill(Qt::red);
            QGuiApplication::clipboard()->setImage(img);
            form->Command("mn_Edit_Paste")->trigger();
        } else {
            form->Command("mn_Image_Mirror")->trigger();
        }
        const QImage edited = Shown();
        const QString title = form->windowTitle();
        form->SetSaveFileChooser([&] { return chosen.isEmpty() ? QString() : File(chosen.toUtf8().constData()); });
        int asked = 0;
        AnswerUnsavedEdits(form.get(), answer, &asked);
        form->Command("mn_View_NextFile")->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(Shown(), edited);
        QCOMPARE(form->windowTitle(), title);
        QCOMPARE(Files(), (QStringList{"a.ppm", "b.ppm"}));
    }

    // The slide show and the full-screen viewer pause on an edited picture rather than drop
    // it; a picture as read is not asked about.
    void slideShowAndFullScreenPauseOnAnEditedPicture()
    {
        WriteFolder();
        const QByteArray original = FileBytes(File("a.ppm"));
        auto form = OpenForm("a.ppm");
        form->Command("mn_Tests_SlideShow")->trigger();
        form->Command("mn_Image_Mirror")->trigger();
        const QImage edited = Shown();
        form->SlideShowTimerTick();
        QCOMPARE(Title(*form), QString("*a.ppm"));
        QCOMPARE(form->statusBar()->currentMessage(), QString("Slide show paused: the picture has unsaved edits."));
        QVERIFY(form->SlideShowTimer()->isActive());

        bool seen = false;
        WhenOpen<TFSForm>(form.get(), [&](TFSForm& fs) {
            seen = true;
            QVERIFY(!fs.NoteLabel()->isVisible());
            QTest::keyClick(&fs, Qt::Key_Space);
            QVERIFY(!fs.ViewPrevious());
            QCOMPARE(doc_->current_path, Path("a.ppm"));
            QVERIFY(fs.NoteLabel()->isVisible());
            QVERIFY(fs.NoteLabel()->text().contains("unsaved edits"));
            QTest::keyClick(&fs, Qt::Key_Escape);
        });
        form->Command("mn_View_FullScreen")->trigger();
        QVERIFY(seen);
        QCOMPARE(Shown(), edited);
        QCOMPARE(Title(*form), QString("*a.ppm"));
        QVERIFY(form->UndoChain().CanUndo());
        QCOMPARE(FileBytes(File("a.ppm")), original);

        // Undone back to the file: the show goes on.
        form->Command("mn_Edit_Undo")->trigger();
        form->SlideShowTimerTick();
        QCOMPARE(Title(*form), QString("a.ppm")); // the show starts at the current entry
        form->SlideShowTimerTick();
        QCOMPARE(Title(*form), QString("b.ppm"));
    }
};

QTEST_MAIN(TestUnsavedEdits)
#include "Unsaved_edits_window_test.moc"
