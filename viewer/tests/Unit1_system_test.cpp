// The system commands from the main window: a scan over SANE's test backend becomes the
// picture through the Paste edit, the wallpaper leaves the document alone, and the
// association window greys what cannot be associated.
#include "core/Imageinfo.h"
#include "dialogs/Associate_form.h"
#include "dialogs/Scan_form.h"
#include "platform/Ini_file.h"
#include "system/Association.h"
#include "system/tests/Private_desktop.h"
#include "viewer/Unit1.h"
#include "viewer/tests/Picture_files.h"
#include "widgets/Help_window.h"
#include "widgets/logic/Rect_object.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <memory>

class TestSystemCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> root_;
    std::unique_ptr<TIMAGE_INFO> doc_;
    std::unique_ptr<RECT_OBJ> selection_;
    std::unique_ptr<HELP_VIEWER> help_;
    QStringList seen_; // the modal windows the answering timer met, by kind

    std::unique_ptr<TForm1> MakeForm()
    {
        FORM_OPTIONS o;
        o.settings_dir = root_->path().toStdString();
        auto form = std::make_unique<TForm1>(*doc_, *selection_, *help_, o);
        form->show();
        return form;
    }

    // Answers the modal windows of an acquisition as a person would: the first scanner,
    // colour mode, and "No" to saving.
    void AnswerDialogs(QTimer& timer)
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (w == nullptr)
                return;
            if (auto* input = qobject_cast<QInputDialog*>(w)) {
                seen_ << "source";
                input->setTextValue(input->comboBoxItems().value(0));
                input->accept();
            } else if (auto* scan = qobject_cast<TScanForm*>(w)) {
                seen_ << "scan";
                scan->ModeBox->setCurrentText("Color");
                scan->accept();
            } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
                seen_ << "question:" + box->text();
                box->done(QMessageBox::No);
            }
        });
        timer.start(20);
    }

private slots:
    void initTestCase()
    {
        root_ = std::make_unique<QTemporaryDir>();
        const QString sane = root_->filePath("sane");
        UsePrivateSaneConfig(sane.toStdString(), "test\n");
        std::ofstream((sane + "/test.conf").toStdString()) << "resolution 50.0\ntest-picture \"Color pattern\"\n";
        UsePrivateSystemDirs(root_->path().toStdString());
        qputenv("XDG_DATA_HOME", root_->filePath("data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", root_->filePath("config").toLocal8Bit());
        qputenv("GSETTINGS_BACKEND", "keyfile");
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    }

    void init()
    {
        doc_ = std::make_unique<TIMAGE_INFO>();
        selection_ = std::make_unique<RECT_OBJ>();
        help_ = std::make_unique<HELP_VIEWER>(RAVELSCOPE_VIEWER_DIR);
        seen_.clear();
    }

    void cleanup()
    {
        help_.reset();
        doc_.reset();
    }

    void acquireShowsTheScanAsAnUndoableEdit()
    {
        auto form = MakeForm();
        QTimer timer;
        AnswerDialogs(timer);
        form->Command("mn_Tools_Acquire")->trigger();
        QCOMPARE(seen_.value(0), QString("source")); // two test devices: asked the first time
        QCOMPARE(seen_.value(1), QString("scan"));
        QVERIFY(seen_.value(2).startsWith("question:Save"));
        QVERIFY(form->PicturePage().PictureShown());
        QCOMPARE(doc_->display->Width(), 157);
        QCOMPARE(doc_->display->Height(), 196);
        const std::uint8_t* red = doc_->display->ScanLine(6) + 3; // (1, 6) of the colour pattern
        QCOMPARE(int(red[0]), 0);
        QCOMPARE(int(red[2]), 255);
        QVERIFY(doc_->edited != 0);
        QVERIFY(doc_->current_path.empty());
        QCOMPARE(form->StatusPanel(0), QString("157 x 196 x 24 BPP"));

        IniFile ini(root_->filePath("RVS.ini").toStdString());
        QCOMPARE(ini.ReadString("Scanner", "Device", ""), std::string("test:0"));
        QCOMPARE(ini.ReadString("Scanner", "Mode", ""), std::string("Color"));

        // The source is chosen once a run; the scan is one edit on top of the first.
        seen_.clear();
        form->Command("mn_Tests_TwainAcquire")->trigger();
        QCOMPARE(seen_.value(0), QString("scan"));
        QVERIFY(form->UndoChain().CanUndo());
        form->Command("mn_Edit_Undo")->trigger();
        QCOMPARE(doc_->display->Width(), 157);
        timer.stop();
    }

    void cancellingTheSourceChoiceScansNothing()
    {
        auto form = MakeForm();
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* scan = qobject_cast<TScanForm*>(QApplication::activeModalWidget())) {
                seen_ << "scan";
                scan->ModeBox->setCurrentText("Gray");
                scan->accept();
            } else if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen_ << box->text();
                box->done(QMessageBox::No);
            } else if (auto* input = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                seen_ << "source";
                input->reject();
            }
        });
        timer.start(20);
        // Picking no source: nothing happens and nothing is shown.
        form->Command("mn_Tools_Acquire")->trigger();
        QCOMPARE(seen_, QStringList{"source"});
        QVERIFY(!form->PicturePage().PictureShown());
        timer.stop();
    }

    void wallpaperLeavesTheDocumentAlone()
    {
        const std::string path = root_->filePath("sea.ppm").toStdString();
        QVERIFY(WriteSolidPicture(path, 8, 6, 10, 20, 30));
        auto form = MakeForm();
        doc_->current_path = path;
        form->OpenCurrentPath();
        QVERIFY(form->PicturePage().PictureShown());
        form->Command("mn_Image_Mirror")->trigger();
        QVERIFY(doc_->edited != 0);
        const QString cwd = QDir::currentPath();

        form->Command("mn_Tests_WallPaperStretch")->trigger();
        QVERIFY2(form->statusBar()->currentMessage().startsWith("Wallpaper set: "),
                 qPrintable(form->statusBar()->currentMessage()));
        QVERIFY(QFile::exists(root_->filePath("data/ravelscope/wallpaper/Ravelscope_sea.png")));
        QCOMPARE(QDir::currentPath(), cwd);
        QCOMPARE(doc_->current_path, path);
        QVERIFY(doc_->edited != 0);
        QVERIFY(form->UndoChain().CanUndo());
        QVERIFY(form->Command("mn_Tools_SetWallpaper")->isEnabled());
    }

    void associationWindowGreysWhatCannotBeAssociated()
    {
        TAssociateF form(QCoreApplication::applicationFilePath().toStdString(), false);
        QCOMPARE(form.windowTitle(), QString("Associate "));
        QCOMPARE(form.CheckListBox1->count(), 51); // the 45 of old and the six newer picture types
        const auto list = AssociationList();
        for (int i = 0; i < form.CheckListBox1->count(); ++i) {
            const bool offered = (form.CheckListBox1->item(i)->flags() & Qt::ItemIsUserCheckable) != 0;
            QCOMPARE(offered, UnavailableReason(list[static_cast<std::size_t>(i)], false).empty());
        }
        QVERIFY(form.CheckListBox1->item(16)->text().startsWith(".lbm  ("));

        form.BitBtn5->click();
        QCOMPARE(form.Summary->text(), QString("Nothing ticked: nothing changed."));
        form.CheckListBox1->item(14)->setCheckState(Qt::Checked); // .ppm
        form.BitBtn5->click();
        QCOMPARE(form.Summary->text(), QString("Done: .ppm"));
        form.RemoveButton->click();
        QCOMPARE(form.Summary->text(), QString("Removed. Done: .ppm"));
    }
};

QTEST_MAIN(TestSystemCommands)
#include "Unit1_system_test.moc"
