// Writes pictures of the association window and the scan dialog, as a person sees them:
//   system_window_shots OUT_DIR
// The scan dialog shows the choices of the first SANE device (scripts/screenshot.sh
// points SANE at its test backend).
#include "dialogs/Associate_form.h"
#include "dialogs/Scan_form.h"
#include "system/sane/Scanner.h"

#include <QApplication>
#include <QListWidget>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: system_window_shots OUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);

    TAssociateF assoc("/usr/bin/ravelscope", false);
    assoc.CheckListBox1->item(14)->setCheckState(Qt::Checked);
    assoc.show();

    std::vector<SCAN_DEVICE> devices;
    std::string status;
    SCAN_CHOICES choices;
    if (!ListScanDevices(devices, status) || devices.empty() || !ReadScanChoices(devices[0].name, choices, status)) {
        std::fprintf(stderr, "no scanner: %s\n", status.c_str());
        return 1;
    }
    TScanForm scan(QString::fromStdString(devices[0].label), choices, "Color", 0);
    scan.move(assoc.frameGeometry().right() + 20, assoc.y());
    scan.show();

    int rc = 0;
    QTimer::singleShot(500, [&] {
        if (!assoc.grab().save(out + "/associate_window.png") || !scan.grab().save(out + "/scan_dialog.png"))
            rc = 1;
        app.quit();
    });
    app.exec();
    return rc;
}
