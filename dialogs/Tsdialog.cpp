#include "dialogs/Tsdialog.h"

#include "core/Imageinfo.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"
#include "dialogs/File_chooser.h"
#include "dialogs/logic/File_chooser_rules.h"
#include "dialogs/logic/Save_dialog_rules.h"
#include "platform/Ini_file.h"
#include "widgets/Help_window.h"
#include "widgets/Qt_bridge.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeView>

#include <filesystem>

namespace {

constexpr int kWidth = 465, kHeight = 378;
constexpr int kDesignedLeft = 215, kDesignedTop = 118;

// Kept between the dialogs of one run: what the last OK accepted.
QString LowerPattern(std::int32_t index) { return QString(SaveTypes()[static_cast<std::size_t>(index)].pattern).toLower(); }

} // namespace

TSaveDlg::TSaveDlg(TIMAGE_INFO& doc, DIALOG_MEMORY& memory, const std::string& settings_path, HELP_VIEWER& help,
                   QWidget* parent)
    : TModalDialog(parent, &help, kHelpContext), doc_(doc), memory_(memory), settings_path_(settings_path)
{
    setObjectName("SaveDlg");
    setWindowTitle("Save As");
    setFixedSize(kWidth, kHeight);

    chooser_ = new TFileChooser(this);
    const auto rows = chooser_->PlaceWithNameRows(
        this, {{64, 8, 358, 22}, {429, 8, 28, 22}, {8, 36, 200, 214}, {214, 36, 243, 214}, 258, 290});
    Edit1 = rows.edit;
    FilterComboBox1 = rows.types;
    for (const SAVE_TYPE& t : SaveTypes())
        FilterComboBox1->addItem(t.text);
    Bttn_OK = new QPushButton("OK", this);
    Bttn_OK->setObjectName("Bttn_OK");
    Bttn_OK->setGeometry(380, 256, 77, 26);
    Bttn_OK->setDefault(true);
    Cancel_BitBtn = new QPushButton("Cancel", this);
    Cancel_BitBtn->setObjectName("Cancel_BitBtn");
    Cancel_BitBtn->setGeometry(380, 286, 77, 26);
    Cancel_BitBtn->setAutoDefault(false);
    Lb_Quality = MakeLabel("Lb_Quality", "Quality:", this, {8, 320, 100, 22});
    SpinQuality = new QSpinBox(this);
    SpinQuality->setObjectName("SpinQuality");
    SpinQuality->setRange(1, 100);
    SpinQuality->setGeometry(110, 320, 64, 22);
    Lb_Result = MakeLabel("Lb_Result", "", this, {8, 348, 449, 22});

    IniFile ini(settings_path_);
    RestorePosition(ini, "SaveFileDlg", QPoint(kDesignedLeft, kDesignedTop));
    const QString recent = Q(ini.ReadString("SaveFileDlg", "RecentlyVisited", ""));
    const QString& last = memory_.save.last_dir;
    if (!(!last.isEmpty() && chooser_->SetDirectory(last)) && !chooser_->SetDirectory(recent) &&
        !chooser_->SetDirectory(Q(doc_.open_directory)) && !chooser_->SetDirectory(QDir::currentPath()))
        chooser_->SetDirectory(QDir::rootPath());
    const std::int32_t index = SaveTypeIndex(ini.ReadInteger("SaveFileDlg", "Ext_Index", memory_.save.last_index));
    FilterComboBox1->setCurrentIndex(index);
    SpinQuality->setValue(StoredQuality(settings_path_));
    ShowQuality(index);
    // The name of the picture's file with the type's extension; the type's pattern without one.
    const std::string base = std::filesystem::path(doc_.current_path).filename().string();
    const SAVE_NAME prefilled = SaveNameForType(base, index);
    Edit1->setText(prefilled.kind == SAVE_NAME_KIND::kFile ? Q(prefilled.text) : LowerPattern(index));
    ShowTypeMask(index);

    connect(FilterComboBox1, &QComboBox::currentIndexChanged, this, &TSaveDlg::FilterComboBox1Change);
    connect(chooser_->FileListBox1, &QListWidget::itemClicked, this, &TSaveDlg::FileListBox1Click);
    connect(Bttn_OK, &QPushButton::clicked, this, &TSaveDlg::Bttn_OKClick);
    connect(Cancel_BitBtn, &QPushButton::clicked, this, &TSaveDlg::Cancel_BitBtnClick);
    Edit1->setFocus();
}

void TSaveDlg::ShowTypeMask(std::int32_t index)
{
    const std::string pattern = SaveTypes()[static_cast<std::size_t>(index)].pattern;
    chooser_->SetMatcher([pattern](const QString& name) { return WildcardMatches(pattern, name.toStdString()); });
}

void TSaveDlg::FilterComboBox1Change(int index)
{
    if (index < 0)
        return;
    const QString typed = Edit1->text().trimmed();
    const SAVE_NAME n = SaveNameForType(typed.toStdString(), index);
    Edit1->setText(n.kind == SAVE_NAME_KIND::kFile ? Q(n.text) : LowerPattern(index));
    ShowTypeMask(index);
    ShowQuality(index);
}

void TSaveDlg::ShowQuality(std::int32_t index)
{
    Lb_Quality->setVisible(SaveTypeHasQuality(index));
    SpinQuality->setVisible(SaveTypeHasQuality(index));
}

void TSaveDlg::FileListBox1Click()
{
    if (const QListWidgetItem* item = chooser_->FileListBox1->currentItem())
        Edit1->setText(item->text());
}

bool TSaveDlg::AskOverwrite(const QString& path)
{
    if (ask_)
        return ask_(path);
    QMessageBox box(QMessageBox::Question, "Confirmation", "File Name already existed, overwrite?",
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setObjectName("Confirmation");
    box.setWindowModality(Qt::WindowModal);
    return box.exec() == QMessageBox::Ok;
}

void TSaveDlg::Bttn_OKClick()
{
    const SAVE_NAME n = SaveNameFor(Edit1->text().toStdString(), FilterComboBox1->currentIndex());
    if (n.kind == SAVE_NAME_KIND::kNothing)
        return;
    if (n.kind == SAVE_NAME_KIND::kFilter) {
        chooser_->SetMatcher([p = n.text](const QString& name) { return WildcardMatches(p, name.toStdString()); });
        return;
    }
    // A name that ends in a type's extension is written as that type: the list shows it.
    const std::int32_t index = n.type_index;
    if (index >= 0 && index != FilterComboBox1->currentIndex()) {
        const QSignalBlocker keep_name(FilterComboBox1);
        FilterComboBox1->setCurrentIndex(index);
        ShowTypeMask(index);
        ShowQuality(index);
    }
    memory_.save.last_dir = chooser_->Directory();
    memory_.save.last_index = index;
    {
        // Stored before the overwrite question: a declined overwrite keeps them too.
        IniFile ini(settings_path_);
        ini.WriteInteger("SaveFileDlg", "Ext_Index", index);
        KeepPosition(ini, "SaveFileDlg");
        ini.WriteString("SaveFileDlg", "RecentlyVisited", chooser_->Directory().toStdString());
        if (SaveTypeHasQuality(index))
            ini.WriteInteger("SaveFileDlg", kQualityKey, SpinQuality->value());
    }
    const std::string path = ChosenPath(chooser_->Directory().toStdString(), n.text);
    if (QFileInfo::exists(Q(path)) && !AskOverwrite(Q(path)))
        return;
    if (index < 0)
        return;
    doc_.last_save_errno = 0;
    if (SaveTypeHasQuality(index))
        doc_.save_quality = SpinQuality->value();
    std::int32_t rc = PrepareSave(doc_, SaveTypes()[static_cast<std::size_t>(index)].save_code, path);
    if (rc == kOk)
        rc = doc_.Save();
    if (rc != kOk) {
        const std::string name = std::filesystem::path(path).filename().string();
        Lb_Result->setText(Q(name + ": " + ResultTextWithReason(rc, doc_.context->failure_reason)));
        chooser_->Refill();
        return;
    }
    doc_.edited = 0;
    saved_ = Q(path);
    accept();
}

void TSaveDlg::Cancel_BitBtnClick() { reject(); }
