// The base of the program's dialogs. Run() shows a dialog window-modal over its parent and
// waits (the main window's modal session starts when Qt blocks it, see
// viewer/logic/Modal_session.h); F1 opens the dialog's help topic; a position remembered in
// the settings file is used only while the dialog shows on a screen there.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QSize>

#include <cstdint>

class IniFile;

// What F1 opens: the program's help at a numeric help context. The help viewer
// (HELP_VIEWER) is the one implementation; a dialog without help topic gets none.
class HELP_TOPICS {
public:
    // Shows the topic of context n; false when there is none.
    virtual bool ShowContext(std::int32_t n) = 0;

protected:
    ~HELP_TOPICS() = default;
};

class TModalDialog : public QDialog {
    Q_OBJECT
public:
    // Shows the dialog window-modal (the help window stays usable) and waits for it to
    // close: QDialog::Accepted or QDialog::Rejected.
    int Run();

    std::int32_t HelpContext() const { return help_context_; }

    // True when a window at top-left pos of size size shows at least 32 × 32 pixels of
    // itself (all of a smaller window) on some screen.
    static bool OnSomeScreen(QPoint pos, QSize size);

protected:
    // help: what F1 opens, at help_context; null for a dialog without help.
    TModalDialog(QWidget* parent, HELP_TOPICS* help, std::int32_t help_context, Qt::WindowFlags flags = {});

    void SetHelpContext(std::int32_t context) { help_context_ = context; }
    // Opens the dialog's help topic; false without help or topic.
    bool ShowHelp();

    // Moves the dialog to the position of section's "Left" and "Top" (designed when they are
    // absent). A position off every screen gives the designed one, and a designed one off
    // every screen the middle of the parent (of the screen without a parent).
    void RestorePosition(const IniFile& ini, const char* section, QPoint designed);
    // Writes the dialog's position as section's "Top" and "Left".
    void KeepPosition(IniFile& ini, const char* section) const;

    // F1 opens the help topic; every other key goes to QDialog (Esc rejects, Enter presses
    // the default button).
    void keyPressEvent(QKeyEvent* e) override;

private:
    HELP_TOPICS* help_;
    std::int32_t help_context_;
};
