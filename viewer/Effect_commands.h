// The main window's Edit, Image and Colors commands, a part of the window of their own.
// Edit (Edit_commands.cpp): Undo and Redo, Cut, Copy, Paste, Crop, Clear Clipboard, the
// clipboard's poll, Print and the Tests menu's screen captures. Image and Colors: the
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
#include <QPixmap>
#include <QString>

#include <functional>

class Dib;
class HELP_VIEWER;
class MODAL_SESSION;
class QAction;
class QMainWindow;
class QTimer;
class TPicturePage;
class TEffectForm;
class TIMAGE_INFO;
class UNDO_CHAIN;

class TEffectCommands : public QObject {
    Q_OBJECT
public:
    using EDIT = std::function<int(TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS* selection)>;

    // The commands work on the picture shown on page, whose selection they use; chain is
    // the window's undo chain; while modal runs, the clipboard's poll waits.
    TEffectCommands(QMainWindow* window, TIMAGE_INFO& doc, const UNDO_CHAIN& chain, TPicturePage& page,
                    const MODAL_SESSION& modal, HELP_VIEWER& help);
    // Connects the commands' actions (found through `action`); each does nothing while no
    // picture is shown.
    void Bind(const std::function<QAction*(CommandId)>& action);

    // ---- Edit ----
    void Undo();
    void Redo();
    // Without a selection the whole picture is copied.
    void Copy();
    void Cut();
    void Paste();
    void Crop();
    void ClearClipboard();
    // The 24-bit picture becomes the picture shown through the Paste edit; false when the
    // edit failed (its status is shown).
    bool PasteDib(const Dib& pic);
    // Prints the picture; without a printer it goes to a PDF file.
    void Print();
    // "Screen" grabs the whole screen, "Client" the window below its menu bar, "DeskTop"
    // takes the clipboard's picture; the first two put their grab on the clipboard. The
    // picture then enters as a Paste does (one edit of the undo chain).
    void CaptureScreen();
    void CaptureClient();
    void CaptureDeskTop();
    // The clipboard's poll: a picture put there by another program enables Paste.
    void ClipboardTimerTick();
    QTimer* ClipboardTimer() const { return clipboard_timer_; }
    // What the last Edit command did with the clipboard (the command states' input).
    int ClipboardState() const { return clipboard_state_; }
    void SetClipboardState(int state) { clipboard_state_ = state; }
    // The PDF file Print writes when no printer is installed (a plain file dialog by
    // default); an empty answer cancels.
    void SetPdfFileChooser(std::function<QString()> chooser) { choose_pdf_file_ = std::move(chooser); }
    // Replaces the screen's grab of the Screen capture (tests: a grab that gives nothing).
    void SetScreenGrabber(std::function<QPixmap()> grab) { grab_screen_ = std::move(grab); }

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
    void StatusText(const QString& text);
    // The clipboard or its state changed: the command states follow.
    void CommandsChanged();
    // A capture is about to enter: the text page gives way to the picture.
    void CaptureStarting();

private:
    void BindEdit(const std::function<QAction*(CommandId)>& action);
    // Runs the dialog and asks for its confirmed result to be applied.
    void RunEffectDialog(TEffectForm& form);

    // A grab that gave nothing is reported and changes nothing; else it goes on the
    // clipboard and enters as the Paste edit.
    void CaptureGrabbed(const QPixmap& grab);
    void CaptureFromClipboard();

    QMainWindow* window_;
    TIMAGE_INFO& doc_;
    const UNDO_CHAIN& chain_;
    TPicturePage& page_;
    const MODAL_SESSION& modal_;
    HELP_VIEWER& help_;
    QTimer* clipboard_timer_ = nullptr;
    QAction* clear_clipboard_ = nullptr; // the actions the clipboard's poll enables
    QAction* paste_ = nullptr;
    int clipboard_state_ = 0;
    std::function<QString()> choose_pdf_file_;
    std::function<QPixmap()> grab_screen_;
};
