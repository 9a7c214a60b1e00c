#include "dialogs/Batch_output_dir_form.h"

#include "core/Imageinfo.h"
#include "dialogs/Directory_list.h"
#include "widgets/Help_window.h"
#include "widgets/logic/Help_file.h"

#include <QDir>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

TBatchOutputDirForm::TBatchOutputDirForm(TIMAGE_INFO& doc, HELP_VIEWER& help, const QString& start_dir,
                                         QWidget* parent)
    : TModalDialog(parent, &help, kHelpBatchOutputDir), doc_(doc)
{
    setObjectName("BatchOutputDirForm");
    setWindowTitle("Batch Conversion :: Browse For Output Directory");
    resize(370, 363);
    drives_ = new TDriveBox(this);
    drives_->setObjectName("DriveComboBox1");
    folders_ = new TDirectoryList(this);
    folders_->setObjectName("DirectoryListBox1");
    up_ = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogToParent), QString(), this);
    up_->setObjectName("UpDir_BitBtn");
    up_->setToolTip("Up One Level");
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("Bttn_OK");
    ok_->setDefault(true);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("Cancel");

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Folder:", this), 0, 0);
    grid->addWidget(drives_, 0, 1);
    grid->addWidget(up_, 0, 2);
    grid->addWidget(DirectoryLabel(folders_, this), 1, 0, 1, 3);
    grid->addWidget(folders_, 2, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    grid->addLayout(buttons, 3, 0, 1, 3);

    // The list's directory when it is one, else the home directory: never the process's
    // working directory by accident.
    if (!folders_->SetDirectory(start_dir))
        folders_->SetDirectory(QDir::homePath());
    drives_->Follow(folders_->Directory());
    connect(folders_, &TDirectoryList::DirectoryChanged, drives_, &TDriveBox::Follow);
    connect(drives_, &QComboBox::textActivated, folders_, [this](const QString& root) { folders_->SetDirectory(root); });
    connect(up_, &QPushButton::clicked, this, &TBatchOutputDirForm::UpDir_BitBtnClick);
    connect(ok_, &QPushButton::clicked, this, &TBatchOutputDirForm::Bttn_OKClick);
    connect(cancel_, &QPushButton::clicked, this, &TBatchOutputDirForm::CancelClick);
}

void TBatchOutputDirForm::Bttn_OKClick()
{
    doc_.batch_output_directory = folders_->Directory().toStdString();
    accept();
}

void TBatchOutputDirForm::CancelClick()
{
    doc_.batch_output_directory.clear();
    QDialog::reject();
}

void TBatchOutputDirForm::reject() { CancelClick(); }

void TBatchOutputDirForm::UpDir_BitBtnClick() { folders_->Up(); }
