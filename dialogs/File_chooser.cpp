#include "dialogs/File_chooser.h"

#include "dialogs/logic/File_chooser_rules.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QListWidget>
#include <QStorageInfo>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>

TFileChooser::TFileChooser(QWidget* dialog) : QObject(dialog)
{
    DriveComboBox1 = new QComboBox(dialog);
    DriveComboBox1->setObjectName("DriveComboBox1");
    QStringList drives{"/", QDir::homePath()};
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && !drives.contains(v.rootPath()))
            drives << v.rootPath();
    DriveComboBox1->addItems(drives);
    connect(DriveComboBox1, &QComboBox::activated, this, &TFileChooser::DriveComboBox1Change);

    UpDir_BitBtn = new QToolButton(dialog);
    UpDir_BitBtn->setObjectName("UpDir_BitBtn");
    UpDir_BitBtn->setIcon(dialog->style()->standardIcon(QStyle::SP_FileDialogToParent));
    UpDir_BitBtn->setToolTip("Up One Level");
    connect(UpDir_BitBtn, &QToolButton::clicked, this, &TFileChooser::UpDir_BitBtnClick);

    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    model_->setRootPath("/");
    DirectoryListBox1 = new QTreeView(dialog);
    DirectoryListBox1->setObjectName("DirectoryListBox1");
    DirectoryListBox1->setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c)
        DirectoryListBox1->hideColumn(c);
    DirectoryListBox1->header()->hide();
    DirectoryListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFileChooser::DirectoryListBox1Change);

    FileListBox1 = new QListWidget(dialog);
    FileListBox1->setObjectName("FileListBox1");
    FileListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
}

bool TFileChooser::SetDirectory(const QString& dir)
{
    const QString clean = QDir::cleanPath(QDir(dir).absolutePath());
    const QFileInfo info(clean);
    if (dir.isEmpty() || !info.isDir() || !info.isReadable() || !info.isExecutable())
        return false;
    const bool changed = clean != dir_;
    dir_ = clean;
    UpDir_BitBtn->setEnabled(!ParentDirectory(dir_.toStdString()).empty());
    syncing_ = true;
    const QModelIndex at = model_->index(dir_);
    DirectoryListBox1->setCurrentIndex(at);
    DirectoryListBox1->scrollTo(at);
    syncing_ = false;
    Refill();
    if (changed)
        emit DirectoryChanged(dir_);
    return true;
}

QString TFileChooser::PathOf(const QString& name) const
{
    return QString::fromStdString(ChosenPath(dir_.toStdString(), name.toStdString()));
}

void TFileChooser::SetMatcher(std::function<bool(const QString&)> matcher)
{
    matcher_ = std::move(matcher);
    Refill();
}

void TFileChooser::Refill()
{
    FileListBox1->clear();
    if (dir_.isEmpty())
        return;
    QDir d(dir_);
    d.setFilter(QDir::Files);
    d.setSorting(QDir::Name | QDir::IgnoreCase);
    for (const QString& name : d.entryList())
        if (!matcher_ || matcher_(name))
            FileListBox1->addItem(name);
}

void TFileChooser::UpDir_BitBtnClick()
{
    const std::string parent = ParentDirectory(dir_.toStdString());
    if (!parent.empty())
        SetDirectory(QString::fromStdString(parent)); // an unreadable parent keeps the directory
}

void TFileChooser::DirectoryListBox1Change()
{
    if (syncing_)
        return;
    const QString path = model_->filePath(DirectoryListBox1->currentIndex());
    if (!path.isEmpty() && path != dir_ && !SetDirectory(path))
        SetDirectory(dir_); // the tree goes back to the shown directory
}

void TFileChooser::DriveComboBox1Change(int index)
{
    SetDirectory(DriveComboBox1->itemText(index));
}
