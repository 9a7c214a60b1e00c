// The directory lists of the batch dialog and its output-directory chooser: the
// sub-directories of one directory, with ".." first to go up; activating an entry (double
// click, Enter) moves the list there. Read synchronously, so the list is whole as soon as
// the directory is set. The process's working directory is never changed. Also the
// drive box: the root, the home directory and the mounted volumes.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>

class TDirectoryList : public QListWidget {
    Q_OBJECT
public:
    explicit TDirectoryList(QWidget* parent = nullptr);

    // Moves the list to dir (made absolute and clean); false, and nothing changes, when
    // dir is empty or not a readable directory.
    bool SetDirectory(const QString& dir);
    const QString& Directory() const { return dir_; }
    // Moves to the parent directory; false at the root.
    bool Up();

signals:
    // The list moved to another directory.
    void DirectoryChanged(const QString& dir);

private:
    void Enter(QListWidgetItem* item);

    QString dir_;
};

// A label that shows the list's directory, kept up to date.
class QLabel;
QLabel* DirectoryLabel(TDirectoryList* list, QWidget* parent);

class TDriveBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDriveBox(QWidget* parent = nullptr);
    // Shows the entry holding dir (the longest root that is a prefix of it).
    void Follow(const QString& dir);
};
