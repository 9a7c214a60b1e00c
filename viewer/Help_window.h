// The help window: the topics of the help file "RVS_HELP.HLP" with their index. Every
// window of the program asks it for the topic of its help context.
#pragma once

#include "viewer/logic/Help_file.h"

#include <QWidget>

#include <string>

class QListWidget;
class QTextBrowser;

class THelpForm : public QWidget {
    Q_OBJECT
public:
    explicit THelpForm(QWidget* parent = nullptr);
    // Reads the help file; false when it cannot be read.
    bool LoadFile(const std::string& path);
    // Shows the topic of a context; false when the file has none.
    bool ShowContext(std::int32_t context);
    // Shows the index of all topics.
    void ShowIndex();
    std::int32_t CurrentContext() const { return current_; }
    QTextBrowser* Browser() const { return browser_; }

private:
    HELP_FILE file_;
    QListWidget* index_ = nullptr;
    QTextBrowser* browser_ = nullptr;
    std::int32_t current_ = 0;
};

// The directory whose help file the program uses (the executable's).
void SetHelpDirectory(const std::string& exe_dir);
// Opens the help window at the topic of context n. Without a help file nothing happens
// and the result is false.
bool ShowHelpContext(std::int32_t n);
// Opens the help window at its index.
bool ShowHelpIndex();
// The help window, or null until help was first asked for.
THelpForm* HelpForm();
