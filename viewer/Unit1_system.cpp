// The main window's system commands: acquiring a picture from a scanner, setting the
// wallpaper and the file association window.
#include "viewer/Unit1.h"

#include "core/Imageinfo.h"
#include "core/Result_codes.h"
#include "dialogs/Associate_form.h"
#include "dialogs/Scan_form.h"
#include "platform/Dib.h"
#include "platform/Ini_file.h"
#include "system/Wallpaper.h"
#include "system/sane/Scanner.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

constexpr char kScanSection[] = "Scanner";

// Runs work on a worker thread behind a modal progress dialog; Cancel sets the progress's
// cancel flag (when there is one) and the dialog stays until the work has ended, so the
// window cannot be used or closed while SANE is busy.
void RunWithProgress(QWidget* parent, const QString& label, SCAN_PROGRESS* progress,
                     const std::function<void()>& work)
{
    std::atomic<bool> done{false};
    QProgressDialog dialog(label, progress != nullptr ? "Cancel" : QString(), 0, 0, parent);
    dialog.setObjectName("ScanProgress");
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(0);
    if (progress == nullptr)
        dialog.setCancelButton(nullptr);
    // Cancel only asks the worker to stop; the dialog closes when it has.
    QObject::disconnect(&dialog, &QProgressDialog::canceled, &dialog, &QProgressDialog::cancel);
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] {
        if (progress != nullptr)
            progress->cancel = true;
        dialog.setLabelText("Cancelling...");
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        if (done.load()) {
            dialog.done(0);
            return;
        }
        if (progress != nullptr && progress->expected.load() > 0) {
            dialog.setMaximum(1000);
            dialog.setValue(static_cast<int>(progress->bytes.load() * 1000 / progress->expected.load()));
        }
    });
    std::thread worker([&] {
        work();
        done = true;
    });
    poll.start(50);
    while (!done.load())
        dialog.exec(); // a stray close of the dialog does not end the wait
    poll.stop();
    worker.join();
}

} // namespace

bool TForm1::ChooseScanSource(bool always_ask)
{
    std::vector<SCAN_DEVICE> devices;
    std::string status;
    bool listed = false;
    RunWithProgress(this, "Looking for scanners...", nullptr,
                    [&] { listed = ListScanDevices(devices, status); });
    if (!listed || devices.empty()) {
        statusBar()->showMessage(listed ? "No scanner found." : QString::fromStdString(status));
        return false;
    }
    IniFile ini(settings_path_);
    const std::string remembered = ini.ReadString(kScanSection, "Device", "");
    // With a single scanner nothing is asked.
    if (devices.size() == 1) {
        ini.WriteString(kScanSection, "Device", devices.front().name);
        statusBar()->showMessage(QString::fromStdString("Scanner: " + devices.front().label));
        return true;
    }
    if (!always_ask)
        for (const SCAN_DEVICE& d : devices)
            if (d.name == remembered)
                return true;
    QStringList labels;
    int current = 0;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        labels << QString::fromStdString(devices[i].label + "  [" + devices[i].name + "]");
        if (devices[i].name == remembered)
            current = static_cast<int>(i);
    }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(this, "Select Source", "Scanner:", labels, current, false, &ok);
    if (!ok)
        return false;
    ini.WriteString(kScanSection, "Device", devices[static_cast<std::size_t>(labels.indexOf(chosen))].name);
    return true;
}

void TForm1::mn_Tests_TwainSelectClick()
{
    if (ChooseScanSource(true))
        scan_source_chosen_ = true;
}

void TForm1::mn_Tests_TwainAcquireClick()
{
    // The source is chosen on the first acquisition of a run; later ones use the remembered one.
    if (!ChooseScanSource(!scan_source_chosen_))
        return;
    scan_source_chosen_ = true;
    IniFile ini(settings_path_);
    const std::string device = ini.ReadString(kScanSection, "Device", "");
    SCAN_CHOICES choices;
    std::string status;
    bool read = false;
    RunWithProgress(this, "Opening the scanner...", nullptr, [&] { read = ReadScanChoices(device, choices, status); });
    if (!read) {
        QMessageBox::information(this, "Acquire", "Acquire Returned None\n" + QString::fromStdString(status));
        return;
    }
    TScanForm form(QString::fromStdString(device), choices,
                   QString::fromStdString(ini.ReadString(kScanSection, "Mode", "")),
                   ini.ReadInteger(kScanSection, "Resolution", 0), this);
    if (form.exec() != QDialog::Accepted)
        return;
    const SCAN_REQUEST request = form.Request(device);
    ini.WriteString(kScanSection, "Mode", request.mode);
    ini.WriteInteger(kScanSection, "Resolution", request.resolution);

    SCAN_PROGRESS progress;
    Dib picture;
    SCAN_RESULT result;
    RunWithProgress(this, "Scanning...", &progress, [&] { result = ScanPicture(request, progress, picture); });
    if (result.outcome != ScanOutcome::kPicture) {
        QMessageBox::information(this, "Acquire", "Acquire Returned None\n" + QString::fromStdString(result.status));
        return;
    }
    if (!PasteDib(picture))
        return;
    RefreshCommands();
    statusBar()->showMessage(QString("Scanned %1 x %2").arg(picture.Width()).arg(picture.Height()));
    if (QMessageBox::question(this, "Acquire", "Save the scanned picture?") == QMessageBox::Yes)
        mn_File_SaveAsClick();
}

void TForm1::SetWallpaperClick(int style)
{
    if (!picture_shown_ || !doc_.display || doc_.display->Empty())
        return;
    const WALLPAPER_RESULT r = SetWallpaper(*doc_.display, doc_.current_path, static_cast<WallpaperStyle>(style));
    statusBar()->showMessage(QString::fromStdString(r.message));
}

void TForm1::mn_Tests_WallPaperCenterClick() { SetWallpaperClick(static_cast<int>(WallpaperStyle::kCenter)); }
void TForm1::mn_Tests_WallPaperTileClick() { SetWallpaperClick(static_cast<int>(WallpaperStyle::kTile)); }
void TForm1::mn_Tests_WallPaperStretchClick() { SetWallpaperClick(static_cast<int>(WallpaperStyle::kStretch)); }

void TForm1::mn_Tests_AssociationClick()
{
    // The media panel plays sound and video, so their types are offered too.
    TAssociateF form(QCoreApplication::applicationFilePath().toStdString(), true, this);
    form.exec();
}
