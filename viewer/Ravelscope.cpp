// The entry point: the document, the hand-off of a command-line path, the windows, the
// message loop.
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "dialogs/logic/Save_dialog_rules.h"
#include "platform/Ini_file.h"
#include "viewer/Unit1.h"
#include "viewer/logic/Startup.h"
#include "widgets/Help_window.h"
#include "widgets/Media_window.h"
#include "widgets/logic/Rect_object.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <exception>
#include <string>

namespace {

// Shows an exception that no command caught, then ends the run.
class TApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            Fail(e.what());
        } catch (...) {
            Fail("Unknown exception");
        }
        return false;
    }

private:
    static void Fail(const char* what)
    {
        QMessageBox::critical(nullptr, "Ravelscope", QString::fromLocal8Bit(what));
        std::exit(EXIT_FAILURE);
    }
};

} // namespace

int main(int argc, char** argv)
{
    TIMAGE_INFO document;

    // A path arrives as one argument, quoted or not by the shell.
    const std::string handed = HandOffPath(argc > 1 ? argv[1] : "");
    // The environment is set before any other thread runs.
    PreferGStreamerBackend();
    // The picture decodes while the application and its windows start.
    auto start_preload = std::make_shared<PRELOAD_CACHE>(PRELOAD_CACHE::kStartBudget);
    if (!handed.empty())
        start_preload->Want({handed});

    TApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    const std::string exe_dir = ExecutableDirectory();
    FORM_OPTIONS options;
    std::string no_settings_place;
    options.settings_dir = SettingsDirectory(exe_dir, &no_settings_place);
    const std::string settings_path = options.settings_dir + "/RVS.ini";
    if (!no_settings_place.empty())
        KeepSettingsInMemory(settings_path, no_settings_place);
    // The Save command writes JPEG, WebP, AVIF and JPEG XL at the quality the save dialog
    // last used.
    document.save_quality = StoredQuality(settings_path);
    options.hand_off_fallback = handed;
    options.start_preload = std::move(start_preload);

    int rc = 0;
    {
        // The windows, in the order of their creation; the main window is the first. Each
        // receives the document and what else it works on by reference.
        HELP_VIEWER help(exe_dir);
        TForm1 form1(document, rect_obj, help, options);
        options.start_preload.reset(); // taken by the window's first open, or of no use now
        QObject::connect(&form1, &TForm1::Closed, &app, &QApplication::quit);
        form1.show();
        rc = app.exec();
    }
    // What the run changed in the settings (the window's last writes come from its
    // destructor) reaches the file in one replacement. A failure is said in a box: the
    // window is gone, and a settings file that silently stays behind costs the next run
    // its recent files and places.
    std::string reason;
    if (IniFile(settings_path).Flush(&reason) != kOk)
        QMessageBox::warning(nullptr, "Ravelscope", QString::fromStdString(SettingsNotSavedText(settings_path, reason)));
    return rc;
}
