// The main window's Image and Colors commands, a part of the window of their own: the
// commands whose work the library does (flips, quarter turns, colour commands, channel
// swaps, equalization, edge detection, colour reduction) and the dialog-driven ones
// (Gamma Correction, Solarize, Median Filter, Pixelate, Explosion, Rotate and the
// histogram). Each dialog runs window-modal over the window; the dialog copies the
// picture it works on, so nothing the window does meanwhile reaches it. A confirmed
// outcome goes back to the window as an edit to run (EditWanted), which the window runs
// through its undo chain on the selection or the whole picture.
#pragma once

#include "viewer/logic/Command_table.h"
#include "viewer/logic/Image_edits.h"
#include "widgets/logic/Rect_object.h"

#include <QObject>

#include <functional>

class HELP_VIEWER;
class QAction;
class QWidget;
class TEffectForm;
class TIMAGE_INFO;
class UNDO_CHAIN;

class TEffectCommands : public QObject {
    Q_OBJECT
public:
    using EDIT = std::function<int(TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS* selection)>;

    TEffectCommands(QWidget* window, TIMAGE_INFO& doc, HELP_VIEWER& help);
    // Connects the commands' actions (found through `action`); each does nothing while
    // `picture_shown` says no picture is shown.
    void Bind(const std::function<QAction*(CommandId)>& action, std::function<bool()> picture_shown);

    // A command the library carries out on the picture.
    void RunImageCommand(ImageCommand cmd);

    void Gamma();
    void Solarize();
    void MedianFilter();
    void Pixelate();
    void Explosion();
    void Rotate();
    void Histogram();

signals:
    void EditWanted(const TEffectCommands::EDIT& edit);

private:
    // Runs the dialog and asks for its confirmed result to be applied.
    void RunEffectDialog(TEffectForm& form);

    QWidget* window_;
    std::function<bool()> picture_shown_;
    TIMAGE_INFO& doc_;
    HELP_VIEWER& help_;
};
