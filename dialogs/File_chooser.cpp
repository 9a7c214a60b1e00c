#include "dialogs/File_chooser.h"

#include "dialogs/logic/File_chooser_rules.h"

#include <QComboBox>
#include <QEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent, const QRect& at)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(at);
    return l;
}

TFileChooser::NAME_ROWS TFileChooser::PlaceWithNameRows(QWidget* dialog, const LAYOUT& at)
{
    MakeLabel("Label3", "Look in:", dialog, {8, 8, 56, 22});
    DriveComboBox1->setGeometry(at.drive);
    UpDir_BitBtn->setGeometry(at.up_dir);
    DirectoryListBox1->setGeometry(at.tree);
    FileListBox1->setGeometry(at.files);
    MakeLabel("Label1", "File Name:", dialog, {8, at.name_y, 72, 22});
    auto* edit = new QLineEdit("*.*", dialog);
    edit->setObjectName("Edit1");
    edit->setGeometry(80, at.name_y, at.edit_width, 22);
    MakeLabel("Label2", "Files Type:", dialog, {8, at.name_y + 30, 72, 22});
    auto* types = new QComboBox(dialog);
    types->setObjectName("FilterComboBox1");
    types->setGeometry(80, at.name_y + 30, at.edit_width, 22);
    return {edit, types};
}

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
    DirectoryListBox1->header()->setStretchLastSection(false);
    DirectoryListBox1->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    DirectoryListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFileChooser::DirectoryListBox1Change);
    // The model reads directories in the background: once the path to the shown directory
    // has been read, the tree opens it and scrolls to it.
    connect(model_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        if (!dir_.isEmpty() && (dir_ == loaded || dir_.startsWith(loaded)))
            ShowInTree();
    });
    // Its sorting comes later still and moves rows: the tree follows the shown directory for
    // a moment after each change of it.
    connect(model_, &QAbstractItemModel::layoutChanged, this, &TFileChooser::FollowDirectory);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &TFileChooser::FollowDirectory);

    DirectoryListBox1->installEventFilter(this);

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
    ShowInTree();
    // The drive box shows the volume holding the directory: its longest matching root.
    int drive = 0;
    for (int i = 1; i < DriveComboBox1->count(); ++i) {
        const QString root = DriveComboBox1->itemText(i);
        if ((dir_ == root || dir_.startsWith(root.endsWith('/') ? root : root + '/')) &&
            root.size() > DriveComboBox1->itemText(drive).size())
            drive = i;
    }
    DriveComboBox1->setCurrentIndex(drive);
    Refill();
    if (changed)
        emit DirectoryChanged(dir_);
    return true;
}

void TFileChooser::ShowInTree()
{
    syncing_ = true;
    const QModelIndex at = model_->index(dir_);
    for (QModelIndex up = at.parent(); up.isValid(); up = up.parent())
        DirectoryListBox1->expand(up);
    DirectoryListBox1->setCurrentIndex(at);
    DirectoryListBox1->scrollTo(at, QAbstractItemView::PositionAtCenter);
    syncing_ = false;
    follow_.start();
}

void TFileChooser::FollowDirectory()
{
    constexpr qint64 kFollowMs = 2000;
    if (!follow_.isValid() || follow_.elapsed() > kFollowMs || scroll_pending_)
        return;
    scroll_pending_ = true;
    QTimer::singleShot(0, this, [this] {
        scroll_pending_ = false;
        DirectoryListBox1->scrollTo(DirectoryListBox1->currentIndex(), QAbstractItemView::PositionAtCenter);
    });
}

bool TFileChooser::eventFilter(QObject* watched, QEvent* e)
{
    // A tree scrolled while hidden forgets it: it scrolls again once shown.
    if (watched == DirectoryListBox1 && e->type() == QEvent::Show) {
        follow_.start();
        FollowDirectory();
    }
    return QObject::eventFilter(watched, e);
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
