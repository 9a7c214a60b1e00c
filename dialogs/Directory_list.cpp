#include "dialogs/Directory_list.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStorageInfo>

TDirectoryList::TDirectoryList(QWidget* parent) : QListWidget(parent)
{
    connect(this, &QListWidget::itemActivated, this, &TDirectoryList::Enter);
}

bool TDirectoryList::SetDirectory(const QString& dir)
{
    if (dir.isEmpty())
        return false;
    const QFileInfo info(dir);
    if (!info.isDir() || !info.isReadable())
        return false;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    QDir d(clean);
    const QStringList subdirs = d.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    clear();
    if (!d.isRoot())
        addItem("..");
    addItems(subdirs);
    const bool moved = clean != dir_;
    dir_ = clean;
    if (moved)
        emit DirectoryChanged(dir_);
    return true;
}

bool TDirectoryList::Up()
{
    QDir d(dir_);
    if (dir_.isEmpty() || d.isRoot() || !d.cdUp())
        return false;
    return SetDirectory(d.path());
}

void TDirectoryList::Enter(QListWidgetItem* item)
{
    if (item == nullptr)
        return;
    if (item->text() == "..")
        Up();
    else
        SetDirectory(QDir(dir_).filePath(item->text()));
}

QLabel* DirectoryLabel(TDirectoryList* list, QWidget* parent)
{
    auto* label = new QLabel(list->Directory(), parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(40);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QObject::connect(list, &TDirectoryList::DirectoryChanged, label, [label](const QString& dir) {
        label->setText(dir);
        label->setToolTip(dir);
    });
    return label;
}

TDriveBox::TDriveBox(QWidget* parent) : QComboBox(parent)
{
    QStringList roots{"/", QDir::homePath()};
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QString r = v.rootPath();
        if (v.isValid() && v.isReady() && !roots.contains(r) && !r.startsWith("/proc") && !r.startsWith("/sys") &&
            !r.startsWith("/dev") && !r.startsWith("/run"))
            roots << r;
    }
    addItems(roots);
}

void TDriveBox::Follow(const QString& dir)
{
    int best = -1;
    qsizetype best_len = -1;
    for (int i = 0; i < count(); ++i) {
        const QString r = itemText(i);
        const bool holds = dir == r || dir.startsWith(r.endsWith('/') ? r : r + '/');
        if (holds && r.size() > best_len) {
            best = i;
            best_len = r.size();
        }
    }
    if (best >= 0) {
        const QSignalBlocker block(this);
        setCurrentIndex(best);
    }
}
