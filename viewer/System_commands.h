// The main window's system commands, a part of the window of their own: choosing a
// scanner and acquiring a picture from it, setting the wallpaper from the picture shown
// and the file association window. The part shows its dialogs over the window it is given
// and talks back by signals: a status text, and a scanned picture for the window to enter
// as the Paste edit.
#pragma once

#include "viewer/logic/Command_table.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class Dib;
class QAction;
class QWidget;

class TSystemCommands : public QObject {
    Q_OBJECT
public:
    // settings_path: the window's path of RVS.ini (read at each use), whose [Scanner]
    // section keeps the scanner, mode and resolution.
    TSystemCommands(QWidget* window, const std::string& settings_path);
    // Connects the commands' actions (found through `action`); the wallpaper comes from
    // `shown()`, the picture shown (null when none) and the path of its file.
    struct SHOWN {
        const Dib* picture = nullptr;
        std::string path;
    };
    void Bind(const std::function<QAction*(CommandId)>& action, std::function<SHOWN()> shown);

    // Select Source: always asks when there is more than one scanner.
    void SelectSource();
    // Acquire: the scanner chosen (asked the first time in a run), its mode and
    // resolution, then the scan behind a progress window with Cancel.
    void Acquire();
    // Set as Wallpaper with style (a WallpaperStyle) from picture, written by a document
    // of its own; null (no picture shown) does nothing.
    void SetWallpaper(const Dib* picture, const std::string& path, int style);
    // File Associations...
    void Associate();

signals:
    void StatusText(const QString& text);
    void Scanned(const Dib& picture);

private:
    // Picks a scanner and keeps it in the settings file: a single one without asking, else
    // the remembered one unless always_ask (or none is remembered). False when there is
    // none or the user cancelled.
    bool ChooseScanSource(bool always_ask);

    QWidget* window_;
    std::function<SHOWN()> shown_;
    const std::string& settings_path_;
    bool source_chosen_ = false; // the first-time source choice of the run is made
};
