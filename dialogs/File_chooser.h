// The directory half of the open and save dialogs: the drive box (the root, the home
// directory and the mounted volumes), "Up One Level", the directory tree and the file
// list. The list is filled at once from the directory, files only, sorted by name ignoring
// case, through the dialog's matcher. The chooser keeps its directory itself; the process's
// working directory is never read for it nor changed.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QString>

#include <functional>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;
class QTreeView;
class QWidget;

// A plain-text label with an object name, placed at at.
QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent, const QRect& at);

class TFileChooser : public QObject {
    Q_OBJECT
public:
    // Creates the controls as children of dialog; the dialog places them.
    explicit TFileChooser(QWidget* dialog);

    // Where the open and save dialogs put the chooser and the rows below it: "Look in:" and
    // the drive box, "Up One Level", the tree and the file list, then "File Name:" with its
    // edit (starting at "*.*") at name_y and "Files Type:" with its box 30 pixels lower.
    struct LAYOUT {
        QRect drive, up_dir, tree, files;
        int name_y;
        int edit_width;
    };
    struct NAME_ROWS {
        QLineEdit* edit;
        QComboBox* types;
    };
    NAME_ROWS PlaceWithNameRows(QWidget* dialog, const LAYOUT& at);

    // Shows dir (made absolute and clean). False when it cannot be listed; nothing changes then.
    bool SetDirectory(const QString& dir);
    const QString& Directory() const { return dir_; }
    // The path of a name of the file list.
    QString PathOf(const QString& name) const;
    // Which file names the list shows; the list is refilled.
    void SetMatcher(std::function<bool(const QString& name)> matcher);
    void Refill();

    QComboBox* DriveComboBox1 = nullptr;
    QToolButton* UpDir_BitBtn = nullptr;
    QTreeView* DirectoryListBox1 = nullptr;
    QListWidget* FileListBox1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

signals:
    // The shown directory changed (drive box, tree, Up One Level or SetDirectory).
    void DirectoryChanged(const QString& dir);

private:
    void ShowInTree();
    void FollowDirectory();
    void UpDir_BitBtnClick();
    void DirectoryListBox1Change();
    void DriveComboBox1Change(int index);

    QFileSystemModel* model_ = nullptr;
    QString dir_;
    std::function<bool(const QString&)> matcher_;
    bool syncing_ = false;
    bool scroll_pending_ = false;
    QElapsedTimer follow_; // since the shown directory last changed
};
