// The help window: the topics of the help file "RVS_HELP.HLP" with their index. Every
// window of the program asks it for the topic of its help context.
#pragma once

#include "widgets/Modal_dialog.h"
#include "widgets/logic/Help_file.h"

#include <QPointer>
#include <QWidget>

#include <string>
#include <utility>

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

// The program's help: the help file "RVS_HELP.HLP" beside the executable (or in
// share/ravelscope) and the one help window, created when help is first asked for. Every
// window receives it by reference and asks it for the topic of its help context.
class HELP_VIEWER : public HELP_TOPICS {
public:
    explicit HELP_VIEWER(std::string exe_dir) : dir_(std::move(exe_dir)) {}
    ~HELP_VIEWER();
    HELP_VIEWER(const HELP_VIEWER&) = delete;
    HELP_VIEWER& operator=(const HELP_VIEWER&) = delete;

    // Opens the help window at the topic of context n. Without a help file or the topic
    // nothing is shown and the result is false.
    bool ShowContext(std::int32_t n) override;
    // Opens the help window at its index.
    bool ShowIndex();
    // The help window, or null until help was first asked for (or after it was closed).
    THelpForm* Form() const { return form_; }

private:
    THelpForm* Open();

    std::string dir_;
    QPointer<THelpForm> form_;
};
