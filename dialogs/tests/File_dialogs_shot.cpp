// Shows the open dialog (previewing a picture, or a video or sound through the player) or the save dialog (for that picture) on a
// real screen and saves what it looks like:
//   file_dialogs_shot open|save PICTURE OUT.png
// scripts/screenshot.sh runs it under a virtual X server.
#include "core/Imageinfo.h"
#include "dialogs/File_chooser.h"
#include "dialogs/OFDialog.h"
#include "dialogs/Tsdialog.h"
#include "widgets/Help_window.h"
#include "widgets/Media_window.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QListWidget>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    PreferGStreamerBackend();
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: file_dialogs_shot open|save PICTURE OUT.png\n");
        return 2;
    }
    const QString which = argv[1];
    const QFileInfo picture(argv[2]);
    const QString out = argv[3];
    QTemporaryDir settings;
    const std::string ini = settings.filePath("RVS.ini").toStdString();
    HELP_VIEWER help(RAVELSCOPE_VIEWER_DIR);
    TIMAGE_INFO doc;
    DIALOG_MEMORY memory;
    std::unique_ptr<QDialog> dialog;
    if (which == "open") {
        memory.media_preview = PreviewMedia;
        // As the main window opens it over PICTURE: in PICTURE's folder, All pictures chosen.
        auto d = std::make_unique<TOFDialog>(memory, ini, help, nullptr, picture.absoluteFilePath().toStdString());
        if (doc.Open(picture.absoluteFilePath().toStdString()) != 0 || doc.state != kPictureOpen)
            d->FilterComboBox1->setCurrentIndex(2); // All files: video and sound too
        const auto items = d->Chooser().FileListBox1->findItems(picture.fileName(), Qt::MatchExactly);
        if (!items.isEmpty())
            d->Chooser().FileListBox1->setCurrentItem(items.front());
        dialog = std::move(d);
    } else {
        if (doc.Open(picture.absoluteFilePath().toStdString()) != 0)
            return 1;
        auto d = std::make_unique<TSaveDlg>(doc, memory, ini, help);
        d->Chooser().SetDirectory(picture.absolutePath());
        d->FilterComboBox1->setCurrentIndex(3); // JPEG, with its quality
        dialog = std::move(d);
    }
    dialog->show();
    int rc = 1;
    QTimer::singleShot(1500, [&] {
        rc = dialog->grab().save(out) ? 0 : 1;
        app.quit();
    });
    app.exec();
    return rc;
}
