// The Tests menu's windows driven as a person would: the batch dialog's preview, run, Stop,
// CSV and output-directory chooser; the about box and its link; the options colours; and
// from the main window, screen capture into the undo chain, the text viewer, and the batch
// dialog handing its last picture back to the window.
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "dialogs/About_form.h"
#include "dialogs/Batch_output_dir_form.h"
#include "dialogs/Dec_test_field.h"
#include "dialogs/Directory_list.h"
#include "dialogs/Hyper_link.h"
#include "dialogs/Options_form.h"
#include "platform/Ini_file.h"
#include "viewer/Effect_commands.h"
#include "viewer/Text_page.h"
#include "viewer/Unit1.h"
#include "viewer/tests/Gui_test_support.h"
#include "viewer/tests/Picture_files.h"
#include "viewer/tests/Window_test_base.h"
#include "widgets/Help_window.h"
#include "widgets/Picture_view.h"
#include "widgets/logic/Help_file.h"
#include "widgets/logic/Rect_object.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

namespace {

// A clock that moves only when told.
class FAKE_CLOCK final : public RUN_CLOCK {
public:
    std::int64_t NowMicros() override
    {
        // Each load reads the clock twice (start, end); the end of load k is k's duration on.
        const std::int64_t t = now;
        if (reads++ % 2 == 0 && !durations.empty())
            now += durations[(reads / 2) % durations.size()];
        return t;
    }
    std::vector<std::int64_t> durations;
    std::int64_t now = 5'000'000;
    std::size_t reads = 0;
};

// Runs f on the modal window that the next exec() shows, then closes it if f left it open.
void WhenModal(const std::function<void(QWidget*)>& f)
{
    WhenOpen<QDialog>(qApp, [f](QDialog& d) { f(&d); });
}

// Records the addresses the desktop is asked to open.
class URL_SINK : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};

// With RAVELSCOPE_SHOT_DIR set (scripts/screenshot.sh), saves the window as
// it is drawn to NAME.png there.
void Shot(QWidget* w, const char* name)
{
    const QByteArray dir = qgetenv("RAVELSCOPE_SHOT_DIR");
    if (dir.isEmpty())
        return;
    QTest::qWait(50);
    QVERIFY(w->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(QString(name) + ".png")));
}

QImage Solid(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

} // namespace

class TestTestsMenu : public TWindowTestBase {
    Q_OBJECT

    std::string Path(const QString& name) const { return dir_->filePath(name).toStdString(); }
    std::string SettingsPath() const { return settings_->filePath("RVS.ini").toStdString(); }

    // 40 × 30 pictures of grey level 'a', 'b', ... after their first letter; a name with
    // "bad" holds a broken header.
    void WriteFiles(const QStringList& names, int w = 40, int h = 30)
    {
        for (const QString& n : names) {
            if (n.contains("bad")) {
                QFile f(dir_->filePath(n));
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("P6 broken");
                continue;
            }
            const auto level = static_cast<std::uint8_t>(n[0].toLatin1());
            QVERIFY(WriteTestPicture(Path(n), w, h, [=](int, int, std::uint8_t* p) { p[0] = p[1] = p[2] = level; },
                                     n.endsWith(".pgm")));
        }
    }

    std::unique_ptr<TForm1> MakeForm()
    {
        IniFile(SettingsPath()).WriteInteger("Screen", "Width", 630);
        FORM_OPTIONS o;
        o.settings_dir = settings_->path().toStdString();
        auto form = std::make_unique<TForm1>(*doc_, *selection_, *help_, o);
        form->show();
        return form;
    }

    std::unique_ptr<TDecTestField> MakeBatch()
    {
        IniFile(SettingsPath()).WriteString("BatchConv", "ReadDir", dir_->path().toStdString());
        auto form = std::make_unique<TDecTestField>(*doc_, *help_, SettingsPath());
        form->show();
        return form;
    }

    void ClickFile(TDecTestField& form, const QString& name)
    {
        const QList<QListWidgetItem*> hits = form.Files()->findItems(name, Qt::MatchExactly);
        QVERIFY2(hits.size() == 1, qPrintable(name));
        form.Files()->setCurrentItem(hits.first());
    }

    void RunToEnd(TDecTestField& form)
    {
        QTest::mouseClick(form.OkButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!form.Running(), 60000);
    }

private slots:
    void init()
    {
        MakeFixture();
        QGuiApplication::clipboard()->clear();
    }

    void cleanup() { DropFixture(); }

    // ---- the batch dialog ----

    // Started on the last file the run wraps to the first, logs the pairs with the
    // running floor mean, and ends after the broken file's first line with the document
    // still on the picture before it.
    void batchRunLogsWrapsAndStopsAtABrokenFile()
    {
        WriteFiles({"a.ppm", "b.ppm", "c_bad.ppm", "d.ppm"});
        auto form = MakeBatch();
        FAKE_CLOCK clock;
        clock.durations = {3000, 4000, 6500};
        form->SetRunClock(&clock);
        ClickFile(*form, "d.ppm");
        QVERIFY(form->OkButton()->isEnabled());
        RunToEnd(*form);
        QCOMPARE(form->LogText(), QString("Decoding file: d.ppm\n"
                                          "index: 1 -- time_load: 3 -- avg: 3\n"
                                          "Decoding file: a.ppm\n"
                                          "index: 2 -- time_load: 4 -- avg: 3\n"
                                          "Decoding file: b.ppm\n"
                                          "index: 3 -- time_load: 6 -- avg: 4\n"
                                          "Decoding file: c_bad.ppm"));
        QCOMPARE(QString::fromStdString(doc_->current_path), QString::fromStdString(Path("b.ppm")));
        QCOMPARE(doc_->display->ScanLine(0)[0], std::uint8_t{'b'});
        QVERIFY(form->RunStatus()->text().contains("c_bad.ppm"));
        QCOMPARE(form->Progress()->value(), 3);
        QVERIFY(form->OkButton()->isEnabled());
        QVERIFY(form->OpenedFile());
    }

    // An empty list runs nothing; a current path outside the list starts at the first entry.
    void batchRunOfAnEmptyListAndOfAPathOutsideIt()
    {
        QDir(dir_->path()).mkdir("empty");
        WriteFiles({"a.ppm", "b.ppm"});
        auto form = MakeBatch();
        form->SetRunLoads(3);
        form->InputDirs()->SetDirectory(dir_->filePath("empty"));
        QVERIFY(doc_->file_list.empty());
        form->Bttn_OKClick();
        QVERIFY(!form->Running());
        QVERIFY(form->LogText().isEmpty());
        QVERIFY(!form->OpenedFile());

        form->InputDirs()->SetDirectory(dir_->path());
        doc_->current_path = "/nowhere/x.ppm";
        form->Bttn_OKClick();
        QTRY_VERIFY(!form->Running());
        QStringList names;
        for (const QString& line : form->LogText().split('\n'))
            if (line.startsWith("Decoding file: "))
                names << line.mid(15);
        QCOMPARE(names, (QStringList{"a.ppm", "b.ppm", "a.ppm"}));
    }

    // Stop ends a long run between loads; the summary saved as CSV reads back the same.
    void batchStopAndCsvRoundTrip()
    {
        WriteFiles({"a.ppm", "b.pgm"});
        auto form = MakeBatch();
        ClickFile(*form, "a.ppm");
        QTest::mouseClick(form->OkButton(), Qt::LeftButton);
        QVERIFY(form->Running());
        QVERIFY(!form->OkButton()->isEnabled());
        QVERIFY(!form->Files()->isEnabled()); // the run's list stays put
        QTRY_VERIFY(form->LastRun()->Loaded() >= 4);
        QTest::mouseClick(form->StopButton(), Qt::LeftButton);
        QVERIFY(!form->Running());
        QVERIFY(form->Files()->isEnabled());
        const std::int32_t loaded = form->LastRun()->Loaded();
        QVERIFY(loaded < kRunLoads);
        QCOMPARE(form->Progress()->value(), loaded);
        QTest::qWait(20);
        QCOMPARE(form->LastRun()->Loaded(), loaded); // nothing runs on after Stop
        QCOMPARE(form->Summary().size(), std::size_t{2});
        QCOMPARE(form->SummaryTable()->rowCount(), 2);
        Shot(form.get(), "batch_dialog");

        const QString csv = dir_->filePath("summary.csv");
        form->SetCsvFileChooser([&] { return csv; });
        QTest::mouseClick(form->SaveCsvButton(), Qt::LeftButton);
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        std::vector<FORMAT_SUMMARY> back;
        QVERIFY(ParseSummaryCsv(f.readAll().toStdString(), back));
        QVERIFY(back == form->Summary());
    }

    // The thumbnail fits a large picture into the box, a small one keeps the thumbnail's
    // place; a file that fails to preview changes nothing; "OK" goes off with a directory
    // change and on with the next preview.
    void batchPreview()
    {
        WriteFiles({"a.ppm"}, 170, 85);
        WriteFiles({"s.ppm"}, 20, 10);
        WriteFiles({"x_bad.ppm"});
        QDir(dir_->path()).mkdir("sub");
        auto form = MakeBatch();
        ClickFile(*form, "a.ppm");
        QCOMPARE(form->Thumbnail()->geometry(), QRect(0, 21, 85, 42));
        QVERIFY(form->Thumbnail()->isVisible());
        ClickFile(*form, "s.ppm");
        QCOMPARE(form->Thumbnail()->geometry(), QRect(0, 21, 85, 42));
        const std::string shown = doc_->current_path;
        ClickFile(*form, "x_bad.ppm");
        QCOMPARE(doc_->current_path, shown);
        QCOMPARE(doc_->display->Width(), 20);
        QVERIFY(form->Thumbnail()->isVisible());

        QTest::mouseClick(form->QueueButton(), Qt::LeftButton);
        QCOMPARE(form->Queue()->item(0)->text(), dir_->filePath("x_bad.ppm"));

        form->InputDirs()->SetDirectory(dir_->filePath("sub"));
        QVERIFY(!form->OkButton()->isEnabled());
        QVERIFY(!form->Thumbnail()->isVisible());
        form->InputDirs()->Up();
        ClickFile(*form, "a.ppm");
        QVERIFY(form->OkButton()->isEnabled());
    }

    // The chooser starts at the output list's directory, goes up without touching the
    // working directory, and OK hands over a directory; Cancel empties it. The two
    // directories come back in the next dialog.
    void batchOutputDirectoryAndSettings()
    {
        QDir(dir_->path()).mkpath("out/deep");
        const QString cwd = QDir::currentPath();
        {
            auto form = MakeBatch();
            form->OutputDirs()->SetDirectory(dir_->filePath("out/deep"));
            WhenModal([&](QWidget* w) {
                auto* chooser = qobject_cast<TBatchOutputDirForm*>(w);
                QVERIFY(chooser != nullptr);
                QCOMPARE(chooser->Folders()->Directory(), dir_->filePath("out/deep"));
                Shot(chooser, "batch_output_dir");
                QTest::mouseClick(chooser->UpButton(), Qt::LeftButton);
                QTest::mouseClick(chooser->OkButton(), Qt::LeftButton);
            });
            QTest::mouseClick(form->OutputDirButton(), Qt::LeftButton);
            QCOMPARE(QDir::currentPath(), cwd);
            QCOMPARE(form->OutputDirEdit()->text(), dir_->filePath("out"));
            QCOMPARE(QString::fromStdString(doc_->batch_output_directory), dir_->filePath("out"));
            QCOMPARE(form->OutputDirs()->Directory(), dir_->filePath("out"));

            WhenModal([](QWidget* w) { QTest::mouseClick(static_cast<TBatchOutputDirForm*>(w)->CancelButton(), Qt::LeftButton); });
            QTest::mouseClick(form->OutputDirButton(), Qt::LeftButton);
            QVERIFY(form->OutputDirEdit()->text().isEmpty());
            QVERIFY(doc_->batch_output_directory.empty());
            QCOMPARE(form->OutputDirs()->Directory(), dir_->filePath("out"));

            form->OutputTypes()->setCurrentIndex(3);
            form->FilterComboBox_EncoderChange(3);
            QCOMPARE(form->ExtEdit()->text(), QString("*.jpg"));
        }
        IniFile ini(SettingsPath());
        QCOMPARE(QString::fromStdString(ini.ReadString("BatchConv", "SaveDir", "")), dir_->filePath("out"));
        TDecTestField again(*doc_, *help_, SettingsPath());
        QCOMPARE(again.InputDirs()->Directory(), dir_->path());
        QCOMPARE(again.OutputDirs()->Directory(), dir_->filePath("out"));
    }

    // ---- the about box and the options ----

    void aboutBoxTextsCursorLinkAndPosition()
    {
        URL_SINK sink;
        QDesktopServices::setUrlHandler("https", &sink, "Open");
        {
            TAboutFrom box(*doc_, *help_, SettingsPath());
            box.show();
            QCOMPARE(box.windowTitle(), QString("About  Ravelscope"));
            QCOMPARE(box.ProductLabel()->text(), QString("Ravelscope"));
            QCOMPARE(box.VersionLabel()->text(), QString("1.0.7"));
            QCOMPARE(box.pos(), TAboutFrom::kDesignedPosition);
            Shot(&box, "about_box");

            const QRect r = box.AddressLabel()->geometry();
            const int right = r.x() + r.width(), bottom = r.y() + r.height();
            const struct {
                QPoint at;
                bool hand;
            } cases[] = {
                {{r.x(), r.y() - 1}, true},       {{right, bottom + 1}, true},  {{r.x() + 3, r.y() + 2}, true},
                {{r.x() - 1, r.y() + 2}, false},  {{right + 1, r.y() + 2}, false},
                {{r.x() + 3, r.y() - 2}, false},  {{r.x() + 3, bottom + 2}, false},
            };
            for (const auto& c : cases) {
                box.FormMouseMove(c.at.x(), c.at.y());
                QCOMPARE(box.cursor().shape() == Qt::PointingHandCursor, c.hand);
            }

            QCOMPARE(box.AddressLabel()->TextColor(), QColor::fromRgb(THyperLink::kUnvisited));
            QTest::mouseClick(box.AddressLabel(), Qt::LeftButton);
            QCOMPARE(sink.opened, QList<QUrl>{QUrl(TAboutFrom::kHomePage)});
            QCOMPARE(box.AddressLabel()->TextColor(), QColor::fromRgb(THyperLink::kVisited));
            box.move(150, 90);
        }
        QDesktopServices::unsetUrlHandler("https");
        {
            TAboutFrom box(*doc_, *help_, SettingsPath());
            QCOMPARE(box.pos(), QPoint(150, 90));
        }
        IniFile(SettingsPath()).WriteInteger("AboutDlg", "Left", -30000);
        TAboutFrom box(*doc_, *help_, SettingsPath());
        QCOMPARE(box.pos(), TAboutFrom::kDesignedPosition);
    }

    // A link that nothing opens leaves its address to be selected and copied.
    void linkWithoutAnOpenerBecomesSelectable()
    {
        TAboutFrom box(*doc_, *help_, SettingsPath());
        box.AddressLabel()->SetURL(QString());
        QVERIFY(!box.AddressLabel()->Click());
        QVERIFY(box.AddressLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);
    }

    void optionsKeepTheChosenColours()
    {
        TOptionsForm form(*help_);
        form.show();
        Shot(&form, "options");
        QColor answer = Qt::red;
        form.SetColorChooser([&](const QColor&) { return answer; });
        QTest::mouseClick(form.ForegroundButton(), Qt::LeftButton);
        answer = QColor(); // cancelled
        QTest::mouseClick(form.BackgroundButton(), Qt::LeftButton);
        QCOMPARE(TOptionsForm::Foreground(), QColor(Qt::red));
        QCOMPARE(TOptionsForm::Background(), QColor(Qt::white));
    }

    // F1 opens each window's own help topic, which the help file holds.
    void f1OpensEachWindowsTopic()
    {
        TDecTestField batch(*doc_, *help_, SettingsPath());
        TBatchOutputDirForm chooser(*doc_, *help_, dir_->path());
        TAboutFrom about(*doc_, *help_, SettingsPath());
        TOptionsForm options(*help_);
        const std::pair<QWidget*, int> cases[] = {{&batch, kHelpBatchConversion},
                                                  {&chooser, kHelpBatchOutputDir},
                                                  {&about, kHelpAbout},
                                                  {&options, kHelpOptions}};
        for (const auto& [w, context] : cases) {
            w->show();
            QTest::keyClick(w, Qt::Key_F1);
            QVERIFY(help_->Form() != nullptr);
            QCOMPARE(help_->Form()->CurrentContext(), context);
            QVERIFY(w->isVisible());
        }
        QVERIFY(help_->ShowContext(kHelpTextViewer));
    }

    // ---- from the main window ----

    // The three captures bring a picture of the grab's size in as one edit; the clipboard
    // holds the grab. Later edits and undo work at that size.
    void captureEntersAsAnEdit_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addRow("DeskTop") << "mn_Tests_CaptureDeskTop";
        QTest::addRow("Client") << "mn_Tests_CaptureClient";
        QTest::addRow("Screen") << "mn_Tests_CaptureScreen";
    }

    void captureEntersAsAnEdit()
    {
        QFETCH(QString, item);
        WriteFiles({"a.ppm"});
        auto form = MakeForm();
        doc_->current_path = Path("a.ppm");
        form->OpenCurrentPath();
        QGuiApplication::clipboard()->setImage(Solid(37, 23, QColor(10, 200, 30)));
        form->Command(item)->trigger();
        const QImage held = QGuiApplication::clipboard()->image();
        QVERIFY(!held.isNull());
        const int w = held.width(), h = held.height();
        if (item == "mn_Tests_CaptureDeskTop")
            QCOMPARE(QSize(w, h), QSize(37, 23));
        QCOMPARE(QSize(doc_->display->Width(), doc_->display->Height()), QSize(w, h));
        QCOMPARE(QSize(doc_->context->width, doc_->context->height), QSize(w, h));
        QVERIFY(form->UndoChain().CanUndo());

        form->Command("mn_Image_RotateLeft")->trigger();
        QCOMPARE(QSize(doc_->display->Width(), doc_->display->Height()), QSize(h, w));
        form->Command("mn_Colors_Negative")->trigger();
        form->Command("mn_Edit_Undo")->trigger();
        form->Command("mn_Edit_Undo")->trigger();
        QCOMPARE(QSize(doc_->display->Width(), doc_->display->Height()), QSize(w, h));
        form->Command("mn_Edit_Undo")->trigger();
        QCOMPARE(QSize(doc_->display->Width(), doc_->display->Height()), QSize(40, 30));
    }

    void desktopCaptureWithAnEmptyClipboardChangesNothing()
    {
        WriteFiles({"a.ppm"});
        auto form = MakeForm();
        doc_->current_path = Path("a.ppm");
        form->OpenCurrentPath();
        form->Command("mn_Tests_CaptureDeskTop")->trigger();
        QCOMPARE(doc_->display->Width(), 40);
        QVERIFY(!form->UndoChain().CanUndo());
    }

    // A screen grab that gives nothing says so and changes nothing: the picture and the
    // clipboard's earlier picture stay, no edit is pushed.
    void failedScreenGrabChangesNothing()
    {
        WriteFiles({"a.ppm"});
        auto form = MakeForm();
        doc_->current_path = Path("a.ppm");
        form->OpenCurrentPath();
        QGuiApplication::clipboard()->setImage(Solid(37, 23, QColor(10, 200, 30)));
        form->EditCommands().SetScreenGrabber([] { return QPixmap(); });
        form->Command("mn_Tests_CaptureScreen")->trigger();
        QCOMPARE(QSize(doc_->display->Width(), doc_->display->Height()), QSize(40, 30));
        QVERIFY(!form->UndoChain().CanUndo());
        QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(37, 23));
        QCOMPARE(form->statusBar()->currentMessage(), QString("Screen capture: nothing was captured."));
    }

    // Open RTF covers the picture area with the text (formats through the cursor, markup
    // shown as it is), read-only when ticked; cancelling changes nothing; a picture opened
    // afterwards takes the area back.
    void openRtfCoversTheViewUntilAPictureOpens()
    {
        WriteFiles({"a.ppm"});
        QFile rtf(dir_->filePath("note.rtf"));
        QVERIFY(rtf.open(QIODevice::WriteOnly));
        rtf.write("{\\rtf1{\\fonttbl{\\f0 Arial;}}Plain {\\b Bold} caf\\'e9 <b>x</b>\\par}");
        rtf.close();
        auto form = MakeForm();
        doc_->current_path = Path("a.ppm");
        form->OpenCurrentPath();
        const QRect view_area = form->centralWidget()->geometry(); // the view and its scroll bars

        form->TextPage().SetFileChooser([](const std::string&) { return TTextPage::TEXT_CHOICE{}; });
        form->Command("mn_Tests_OpenRtf")->trigger();
        QVERIFY(!form->TextPage().isVisible());
        QVERIFY(form->PicturePage().View()->isVisible());

        const QString path = rtf.fileName();
        form->TextPage().SetFileChooser([&](const std::string&) { return TTextPage::TEXT_CHOICE{path, true}; });
        form->Command("mn_Tests_OpenRtf")->trigger();
        QTextEdit* text = &form->TextPage();
                QVERIFY(text->isVisible());
        QVERIFY(!form->PicturePage().View()->isVisible());
        const QRect text_area(text->mapTo(form.get(), QPoint(0, 0)), text->size());
        QCOMPARE(text_area, form->centralWidget()->geometry());
        QVERIFY(text_area.contains(view_area));
        QVERIFY(text->isReadOnly());
        QVERIFY(!text->document()->isModified());
        QCOMPARE(text->toPlainText(), QString::fromUtf8("Plain Bold caf\u00e9 <b>x</b>\n"));
        QTextCursor c(text->document());
        c.setPosition(8); // inside "Bold"
        QCOMPARE(c.charFormat().fontWeight(), int(QFont::Bold));
        c.setPosition(20); // inside "<b>x</b>": text, not markup
        QCOMPARE(c.charFormat().fontWeight(), int(QFont::Normal));
        Shot(form.get(), "text_viewer");

        form->resize(form->width() + 40, form->height() + 30);
        QCOMPARE(text->width(), form->width());

        form->TextPage().SetFileChooser([&](const std::string&) { return TTextPage::TEXT_CHOICE{path, false}; });
        form->Command("mn_Tools_OpenText")->trigger();
        QVERIFY(!text->isReadOnly());

        form->SetOpenFileChooser([&] { return dir_->filePath("a.ppm"); });
        form->Command("mn_File_Open")->trigger();
        QVERIFY(!text->isVisible());
        QVERIFY(form->PicturePage().View()->isVisible());
    }

    // Over the text viewer (read-only unless asked otherwise, and holding the focus) the
    // browsing keys still browse: the next or previous picture takes the area back.
    void textViewerLeavesTheBrowsingKeysToTheWindow_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("shown");
        QTest::newRow("N") << int(Qt::Key_N) << "b.ppm";
        QTest::newRow("Space") << int(Qt::Key_Space) << "b.ppm";
        QTest::newRow("P") << int(Qt::Key_P) << "c.ppm";
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << "c.ppm";
    }

    void textViewerLeavesTheBrowsingKeysToTheWindow()
    {
        QFETCH(int, key);
        QFETCH(QString, shown);
        WriteFiles({"a.ppm", "b.ppm", "c.ppm"});
        QFile txt(dir_->filePath("note.txt"));
        QVERIFY(txt.open(QIODevice::WriteOnly));
        txt.write("Some words\n");
        txt.close();
        auto form = MakeForm();
        doc_->current_path = Path("a.ppm");
        form->OpenCurrentPath();
        form->activateWindow(); // N and P are shortcuts of the active window
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->TextPage().SetFileChooser([&](const std::string&) { return TTextPage::TEXT_CHOICE{txt.fileName()}; });
        form->Command("mn_Tools_OpenText")->trigger();
        QTextEdit* text = &form->TextPage();
        QVERIFY(text->isReadOnly());
        QVERIFY(text->hasFocus());
        QTest::keyClick(text, static_cast<Qt::Key>(key));
        QCOMPARE(doc_->current_path, Path(shown));
        QVERIFY(!text->isVisible());
        QVERIFY(form->PicturePage().View()->isVisible());
        QCOMPARE(text->toPlainText(), QString("Some words\n"));
    }

    // The batch dialog from the menu: the window shows what the dialog loaded last once it
    // closes, with browsing going on from there.
    void batchDialogHandsItsPictureToTheWindow()
    {
        WriteFiles({"a.ppm", "b.ppm", "c.ppm"});
        auto form = MakeForm();
        IniFile(SettingsPath()).WriteString("BatchConv", "ReadDir", dir_->path().toStdString());
        WhenModal([&](QWidget* w) {
            auto* batch = qobject_cast<TDecTestField*>(w);
            QVERIFY(batch != nullptr);
            ClickFile(*batch, "b.ppm");
        });
        form->Command("mn_Tests_BatchConversion")->trigger();
        QVERIFY(form->PicturePage().PictureShown());
        QCOMPARE(form->windowTitle().section(" -- ", 1), QString("b.ppm"));
        form->Command("mn_View_NextFile")->trigger();
        QCOMPARE(form->windowTitle().section(" -- ", 1), QString("c.ppm"));
    }

    // Help > About and the about button open the box; the Tools menu carries the capture
    // items; the "none" items do nothing.
    void menuItems()
    {
        auto form = MakeForm();
        for (const char* name : {"mn_Help_About", "tb_About"}) {
            QString title;
            WhenModal([&](QWidget* w) { title = w->windowTitle(); });
            form->Command(name)->trigger();
            QCOMPARE(title, QString("About  Ravelscope"));
        }
        QString options;
        WhenModal([&](QWidget* w) { options = w->windowTitle(); });
        form->Command("mn_Tests_OptionsDialog")->trigger();
        QCOMPARE(options, QString("Option"));

        const QList<QAction*> tools = form->Command("mn_Tools_ScreenCapture")->menu()->actions();
        for (const char* name : {"mn_Tests_CaptureScreen", "mn_Tests_CaptureClient", "mn_Tests_CaptureDeskTop"})
            QVERIFY2(tools.contains(form->Command(name)), name);
        // The working commands of the hidden menu are in the visible ones too, following
        // the picture like their neighbours.
        const std::pair<const char*, const char*> shown_in[] = {
            {"mn_Image_Effects", "mn_Tests_MedianFilter"}, {"mn_Image_Effects", "mn_Tests_EdgeDetection"},
            {"mn_Colors", "mn_Tests_SwapColorRGB"},        {"mn_Colors", "mn_Tests_CountColorUsed"},
            {"mn_Tools", "mn_Tests_BatchConversion"},      {"mn_Tools", "mn_Tests_OptionsDialog"},
        };
        for (const auto& [menu, item] : shown_in) {
            QVERIFY2(form->Command(menu)->menu()->actions().contains(form->Command(item)), item);
            QVERIFY2(form->Command(item)->isVisible(), item);
        }
        for (const char* name : {"mn_Tests_MedianFilter", "mn_Tests_EdgeDetection", "mn_Tests_SwapColorRGB"})
            QVERIFY2(!form->Command(name)->isEnabled(), name); // no picture yet

        QGuiApplication::clipboard()->setImage(Solid(5, 5, Qt::blue));
        for (const char* name : {"mn_Tests_ScreenCapture", "mn_Tests_Options", "mn_Tests_Password",
                                 "mn_Tests_Help", "mn_Tests_FilesAssociation"}) {
            form->Command(name)->trigger();
            QVERIFY2(QApplication::activeModalWidget() == nullptr, name);
            QVERIFY2(doc_->state == kNothingOpen, name);
        }
    }
};

QTEST_MAIN(TestTestsMenu)
#include "Tests_menu_test.moc"
