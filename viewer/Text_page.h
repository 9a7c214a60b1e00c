// The main window's text page: a rich-text or plain-text file shown in place of the
// picture, read-only unless the user asks to edit it. The page reads the file itself and
// reports what went wrong as a status text; the window shows the page once a file has
// loaded (Loaded).
#pragma once

#include <QString>
#include <QTextEdit>

#include <functional>
#include <string>

class TTextPage : public QTextEdit {
    Q_OBJECT
public:
    explicit TTextPage(QWidget* parent);

    struct TEXT_CHOICE {
        QString path; // empty: cancelled
        bool read_only = true;
    };
    // Open RTF: the file chooser (starting in folder), then the file.
    void Open(const std::string& folder);
    // Shows the file's text; false (with a StatusText) when it could not be read.
    bool Load(const QString& path, bool read_only);
    // The chooser of Open RTF (a file dialog with an "Allow editing" box, unticked: the
    // text is read-only unless the box is ticked).
    void SetFileChooser(std::function<TEXT_CHOICE(const std::string& folder)> chooser)
    {
        choose_ = std::move(chooser);
    }

signals:
    // A file's text is on the page: the window shows the page.
    void Loaded();
    void StatusText(const QString& text);
    // Space over a read-only text browses as it does over a picture.
    void NextWanted();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    TEXT_CHOICE ChooseFile(const std::string& folder);

    std::function<TEXT_CHOICE(const std::string& folder)> choose_;
};
