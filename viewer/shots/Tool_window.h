// The main window of a tool run (screenshots, benchmarks): its settings in a scratch
// directory with the designed width, the picture handed over as from the command line,
// shown and painted once. Needs the QApplication made first.
#pragma once

#include "core/Imageinfo.h"
#include "platform/Ini_file.h"
#include "viewer/Unit1.h"
#include "viewer/logic/Startup.h"
#include "widgets/Help_window.h"
#include "widgets/logic/Rect_object.h"

#include <QApplication>
#include <QTemporaryDir>

#include <string>

struct TOOL_WINDOW {
    explicit TOOL_WINDOW(const std::string& picture)
        : help(QCoreApplication::applicationDirPath().toStdString()), form(doc, selection, help, Options(settings, picture))
    {
        form.show();
        QApplication::processEvents();
    }

    QTemporaryDir settings;
    TIMAGE_INFO doc;
    RECT_OBJ selection;
    HELP_VIEWER help;
    TForm1 form;

private:
    static FORM_OPTIONS Options(const QTemporaryDir& dir, const std::string& picture)
    {
        IniFile(dir.path().toStdString() + "/RVS.ini").WriteInteger("Screen", "Width", 630);
        FORM_OPTIONS options;
        options.settings_dir = dir.path().toStdString();
        options.hand_off_fallback = HandOffPath(picture);
        return options;
    }
};
