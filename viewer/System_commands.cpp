#include "viewer/System_commands.h"

#include "base/Result_codes.h"
#include "dialogs/Associate_form.h"
#include "dialogs/Scan_form.h"
#include "platform/Dib.h"
#include "platform/Ini_file.h"
#include "system/Wallpaper.h"
#include "system/sane/Scanner.h"

#include <QAction>
#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>
#include <utility>

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

TSystemCommands::TSystemCommands(QWidget* window, const std::string& settings_path)
    : QObject(window), window_(window), settings_path_(settings_path)
{
}

bool TSystemCommands::ChooseScanSource(bool always_ask)
{
    std::vector<SCAN_DEVICE> devices;
    std::string status;
    bool listed = false;
    RunWithProgress(window_, "Looking for scanners...", nullptr,
                    [&] { listed = ListScanDevices(devices, status); });
    if (!listed || devices.empty()) {
        emit StatusText(listed ? "No scanner found." : QString::fromStdString(status));
        return false;
    }
    IniFile ini(settings_path_);
    const std::string remembered = ini.ReadString(kScanSection, "Device", "");
    // With a single scanner nothing is asked.
    if (devices.size() == 1) {
        ini.WriteString(kScanSection, "Device", devices.front().name);
        emit StatusText(QString::fromStdString("Scanner: " + devices.front().label));
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
    const QString chosen = QInputDialog::getItem(window_, "Select Source", "Scanner:", labels, current, false, &ok);
    if (!ok)
        return false;
    ini.WriteString(kScanSection, "Device", devices[static_cast<std::size_t>(labels.indexOf(chosen))].name);
    return true;
}

void TSystemCommands::Bind(const std::function<QAction*(CommandId)>& action, std::function<SHOWN()> shown)
{
    shown_ = std::move(shown);
    for (const CommandId id : {Cmd("mn_Tests_TwainSelect"), Cmd("mn_Tools_SelectSource")})
        connect(action(id), &QAction::triggered, this, &TSystemCommands::SelectSource);
    for (const CommandId id : {Cmd("mn_Tests_TwainAcquire"), Cmd("mn_Tools_Acquire")})
        connect(action(id), &QAction::triggered, this, &TSystemCommands::Acquire);
    for (const CommandId id : {Cmd("mn_Tests_Association"), Cmd("mn_Tools_FileAssociations")})
        connect(action(id), &QAction::triggered, this, &TSystemCommands::Associate);
    const std::pair<CommandId, WallpaperStyle> wallpapers[] = {
        {Cmd("mn_Tests_WallPaperCenter"), WallpaperStyle::kCenter},
        {Cmd("mn_Tests_WallPaperTile"), WallpaperStyle::kTile},
        {Cmd("mn_Tests_WallPaperStretch"), WallpaperStyle::kStretch},
    };
    for (const auto& [id, style] : wallpapers)
        connect(action(id), &QAction::triggered, this, [this, style = style] {
            const SHOWN now = shown_();
            SetWallpaper(now.picture, now.path, static_cast<int>(style));
        });
}

void TSystemCommands::SelectSource()
{
    if (ChooseScanSource(true))
        source_chosen_ = true;
}

void TSystemCommands::Acquire()
{
    // The source is chosen on the first acquisition of a run; later ones use the remembered one.
    if (!ChooseScanSource(!source_chosen_))
        return;
    source_chosen_ = true;
    IniFile ini(settings_path_);
    const std::string device = ini.ReadString(kScanSection, "Device", "");
    SCAN_CHOICES choices;
    std::string status;
    bool read = false;
    RunWithProgress(window_, "Opening the scanner...", nullptr, [&] { read = ReadScanChoices(device, choices, status); });
    if (!read) {
        QMessageBox::information(window_, "Acquire", "Acquire Returned None\n" + QString::fromStdString(status));
        return;
    }
    TScanForm form(QString::fromStdString(device), choices,
                   QString::fromStdString(ini.ReadString(kScanSection, "Mode", "")),
                   ini.ReadInteger(kScanSection, "Resolution", 0), window_);
    if (form.Run() != QDialog::Accepted)
        return;
    const SCAN_REQUEST request = form.Request(device);
    ini.WriteString(kScanSection, "Mode", request.mode);
    ini.WriteInteger(kScanSection, "Resolution", request.resolution);

    SCAN_PROGRESS progress;
    Dib picture;
    SCAN_RESULT result;
    RunWithProgress(window_, "Scanning...", &progress, [&] { result = ScanPicture(request, progress, picture); });
    if (result.outcome != ScanOutcome::kPicture) {
        QMessageBox::information(window_, "Acquire", "Acquire Returned None\n" + QString::fromStdString(result.status));
        return;
    }
    emit Scanned(picture);
}

void TSystemCommands::SetWallpaper(const Dib* picture, const std::string& path, int style)
{
    if (picture == nullptr || picture->Empty())
        return;
    const WALLPAPER_RESULT r = ::SetWallpaper(*picture, path, static_cast<WallpaperStyle>(style));
    emit StatusText(QString::fromStdString(r.message));
}

void TSystemCommands::Associate()
{
    // The media panel plays sound and video, so their types are offered too.
    TAssociateF form(QCoreApplication::applicationFilePath().toStdString(), true, window_);
    form.Run();
}
