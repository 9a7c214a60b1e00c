#include "dialogs/OFDialog.h"

#include "audio/Mp3info.h"
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "dialogs/File_chooser.h"
#include "dialogs/logic/File_chooser_rules.h"
#include "dialogs/logic/Open_dialog_rules.h"
#include "platform/Ini_file.h"
#include "widgets/Help_window.h"
#include "widgets/Picture_view.h"
#include "widgets/Qt_bridge.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>

#include <filesystem>

namespace {

constexpr int kClientWidth = 518, kClientHeight = 288;
constexpr int kDesignedLeft = 297, kDesignedTop = 184;
constexpr QRect kPanelRest(378, 82, 129, 1); // the media host while no player is shown
constexpr QRect kAudioPanel(378, 82, 129, 85);
constexpr QRect kHeightLine(360, 190, 154, 18); // the second information line

// Kept between the dialogs of one run: what the last OK accepted.

} // namespace

TOFDialog::TOFDialog(DIALOG_MEMORY& memory, const std::string& settings_path, HELP_VIEWER& help, QWidget* parent,
                     const std::string& shown_picture)
    : TModalDialog(parent, &help, kHelpContext), memory_(memory), settings_path_(settings_path),
      preview_doc_(std::make_unique<TIMAGE_INFO>())
{
    setObjectName("OFDialog");
    setWindowTitle("Open File Dialog");
    setFixedSize(kClientWidth, kClientHeight);

    chooser_ = new TFileChooser(this);
    const auto rows = chooser_->PlaceWithNameRows(
        this, {{64, 8, 256, 22}, {326, 8, 28, 22}, {8, 36, 160, 180}, {174, 36, 180, 180}, 224, 274});
    Edit1 = rows.edit;
    FilterComboBox1 = rows.types;
    for (const OPEN_TYPE& t : OpenTypes())
        FilterComboBox1->addItem(Q(t.text));

    Preview = new QCheckBox("Preview Image", this);
    Preview->setObjectName("Preview");
    Preview->setChecked(true);
    Preview->setGeometry(378, 40, 130, 22);
    Image1 = new TPictureView(this);
    Image1->setObjectName("Image1");
    Image1->SetFit(true);
    Image1->SetSource([this]() -> const Dib* { return picture_shown_ ? preview_doc_->display.get() : nullptr; });
    Image1->setGeometry(378, 82, 85, 85);
    Image1->hide();
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(kPanelRest);
    Lb_Width = MakeLabel("Lb_Width", "", this, {360, 172, 154, 18});
    Lb_Height = MakeLabel("Lb_Height", "", this, kHeightLine);
    Lb_colors = MakeLabel("Lb_colors", "", this, {360, 208, 154, 18});
    Lb_size = MakeLabel("Lb_size", "", this, {360, 226, 154, 18});
    MakeLabel("Label4", " ", this, {370, 244, 8, 8});

    Bttn_OK = new QPushButton("OK", this);
    Bttn_OK->setObjectName("Bttn_OK");
    Bttn_OK->setGeometry(370, 254, 66, 26);
    Bttn_OK->setAutoDefault(false);
    Bttn_OK->setEnabled(false);
    Cancel_BitBtn = new QPushButton("Cancel", this);
    Cancel_BitBtn->setObjectName("Cancel_BitBtn");
    Cancel_BitBtn->setGeometry(442, 254, 66, 26);
    Cancel_BitBtn->setAutoDefault(false);

    IniFile ini(settings_path_);
    RestorePosition(ini, "OpenFileDlg", QPoint(kDesignedLeft, kDesignedTop));
    preview_doc_->load_timing = 1;
    const QString recent = Q(ini.ReadString("Dir", "RecentlyVisited", ""));
    const QString shown_dir = shown_picture.empty() ? QString() : Q(DirectoryOf(shown_picture));
    bool placed = false;
    for (const QString& dir : {shown_dir, memory_.open.last_dir, recent, QDir::homePath()})
        if (!placed && !dir.isEmpty())
            placed = chooser_->SetDirectory(dir);
    if (!placed)
        chooser_->SetDirectory(QDir::rootPath());
    const std::int32_t index = OpenTypeIndex(ini.ReadInteger("File", "Ext_Index", memory_.open.last_index));
    FilterComboBox1->setCurrentIndex(index);
    FilterComboBox1Change(index);

    connect(chooser_, &TFileChooser::DirectoryChanged, this, &TOFDialog::DirectoryListBox1Change);
    connect(chooser_->FileListBox1, &QListWidget::currentItemChanged, this, &TOFDialog::FileListBox1Click);
    connect(chooser_->FileListBox1, &QListWidget::itemActivated, this, &TOFDialog::FileListBox1DblClick);
    connect(FilterComboBox1, &QComboBox::currentIndexChanged, this, &TOFDialog::FilterComboBox1Change);
    connect(Edit1, &QLineEdit::returnPressed, this, &TOFDialog::Edit1Enter);
    connect(Preview, &QCheckBox::clicked, this, &TOFDialog::PreviewClick);
    connect(Bttn_OK, &QPushButton::clicked, this, &TOFDialog::Bttn_OKClick);
    connect(Cancel_BitBtn, &QPushButton::clicked, this, &TOFDialog::Bttn_CancelClick);
    chooser_->FileListBox1->setFocus();
}

TOFDialog::~TOFDialog()
{
    ClearMediaPreview();
    IniFile ini(settings_path_);
    KeepPosition(ini, "OpenFileDlg");
}

void TOFDialog::SetLines(const QString& w, const QString& h, const QString& c, const QString& s)
{
    Lb_Height->setWordWrap(false);
    Lb_Height->setGeometry(kHeightLine);
    // A long line (an MPEG stream's) is cut at the dialog's edge; its tip shows it whole.
    const std::pair<QLabel*, const QString*> lines[] = {{Lb_Width, &w}, {Lb_Height, &h}, {Lb_colors, &c}, {Lb_size, &s}};
    for (const auto& [label, text] : lines) {
        label->setText(*text);
        label->setToolTip(*text);
    }
}

void TOFDialog::DirectoryListBox1Change(const QString& /*dir*/)
{
    Bttn_OK->setEnabled(false);
    previewed_.clear();
    picture_shown_ = false;
    Image1->hide();
    ClearMediaPreview();
}

void TOFDialog::FilterComboBox1Change(int index)
{
    Edit1->setText(Q(OpenTypeMask(index)));
    chooser_->SetMatcher([index](const QString& name) { return OpenTypeMatches(index, name.toStdString()); });
}

void TOFDialog::FileListBox1Click()
{
    const QListWidgetItem* item = chooser_->FileListBox1->currentItem();
    if (item != nullptr)
        PreviewFile(chooser_->PathOf(item->text()));
}

void TOFDialog::FileListBox1DblClick()
{
    if (!previewed_.isEmpty())
        Bttn_OKClick();
}

bool TOFDialog::PreviewFile(const QString& path)
{
    ClearMediaPreview();
    previewed_.clear();
    Bttn_OK->setEnabled(false);
    TIMAGE_INFO& d = *preview_doc_;
    d.direct_decode = 1;
    std::int32_t rc = kUnknownError;
    try {
        rc = d.Open(path.toStdString());
    } catch (...) {
        rc = kUnknownError;
    }
    d.direct_decode = 0;
    if (rc != kOk) {
        picture_shown_ = false;
        Image1->hide();
        Image1->resize(0, Image1->height());
        // The lines below say why, wrapped over the room of the three: "Data Error.
        // (Photoshop is not a format Ravelscope reads)".
        SetLines("Preview Unvailable", Q(ResultTextWithReason(rc, d.context->failure_reason)), "", "");
        Lb_Height->setWordWrap(true);
        Lb_Height->setGeometry(kHeightLine.adjusted(0, 0, 0, 2 * kHeightLine.height()));
        return false;
    }
    if (d.format_code > 100) {
        MediaPreviewOf(path);
    } else if (!d.display || d.picture_present == 0) {
        picture_shown_ = false;
        Image1->hide();
        SetLines("No Preview Available", "", "", "");
        return false;
    } else {
        const PREVIEW_PLACE at = PreviewPlace(d.display->Width(), d.display->Height());
        Image1->setGeometry(at.left, at.top, at.width, at.height);
        fitted_ = at.fitted;
        picture_shown_ = true;
        Image1->show(); // whatever the check box says, as a new preview does
        Image1->update();
        d.display_width = d.display->Width();
        d.display_height = d.display->Height();
        ShowInformationLines();
    }
    previewed_ = path;
    Bttn_OK->setEnabled(true);
    return true;
}

void TOFDialog::MediaPreviewOf(const QString& path)
{
    const TIMAGE_INFO& d = *preview_doc_;
    picture_shown_ = false;
    Image1->hide();
    QSize source;
    const bool playing = memory_.media_preview && memory_.media_preview(Panel1, path, &source);
    if (playing) {
        if (!source.isEmpty()) {
            const PREVIEW_PLACE at = PreviewPlace(source.width(), source.height());
            Panel1->setGeometry(at.left, at.top, at.width, at.height);
        } else {
            Panel1->setGeometry(kAudioPanel);
        }
        for (QWidget* player : Panel1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            player->setGeometry(Panel1->rect());
        Panel1->show();
    }
    if (playing && d.format_code == kFmtMpeg) {
        SetLines(Q(OpenWidthLine(source.width())), Q(OpenHeightLine(source.height())), "",
                 Q(OpenSizeLine(d.file_size_kb)));
        return;
    }
    ShowInformationLines();
    if (!playing && d.format_code != kFmtMp3)
        SetLines("Preview Unvailable", Lb_Height->text(), Lb_colors->text(), Lb_size->text());
}

void TOFDialog::ClearMediaPreview()
{
    // One player at a time: the previous one goes before the next preview and with the dialog.
    const QList<QWidget*> players = Panel1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* w : players)
        delete w;
    Panel1->setGeometry(kPanelRest);
}

void TOFDialog::ShowInformationLines()
{
    const TIMAGE_INFO& d = *preview_doc_;
    const CODEC_CTX& ctx = *d.context;
    QString w, h, c;
    if (d.state == kMediaOpen) {
        if (d.format_code == kFmtMp3) {
            const CMP3INFO info(ctx.input_file_name);
            w = Q(std::filesystem::path(ctx.input_file_name).filename().string());
            h = Q(OpenMpegLine(info.version_code, info.bit_rate, info.sample_rate));
            c = Q(OpenLengthLine(info.length));
        }
    } else {
        w = Q(OpenWidthLine(ctx.width));
        h = Q(OpenHeightLine(ctx.height));
        if (d.bits_per_pixel != 0)
            c = Q(OpenBppLine(ctx.bits_per_pixel));
    }
    SetLines(w, h, c, Q(OpenSizeLine(d.file_size_kb)));
}

void TOFDialog::Bttn_OKClick()
{
    if (previewed_.isEmpty())
        return;
    memory_.open.last_dir = chooser_->Directory();
    memory_.open.last_index = OpenTypeStoredIndex(FilterComboBox1->currentIndex());
    IniFile ini(settings_path_);
    ini.WriteInteger("File", "Ext_Index", memory_.open.last_index);
    ini.WriteString("Dir", "RecentlyVisited", DirectoryOf(previewed_.toStdString()));
    chosen_ = previewed_;
    accept();
}

void TOFDialog::Bttn_CancelClick() { reject(); }

void TOFDialog::PreviewClick() { Image1->setVisible(Preview->isChecked() && picture_shown_); }

void TOFDialog::Edit1Enter()
{
    const QString typed = Edit1->text().trimmed();
    if (typed.isEmpty())
        return;
    if (typed.contains('*') || typed.contains('?')) {
        chooser_->SetMatcher([p = typed.toStdString()](const QString& name) {
            return WildcardMatches(p, name.toStdString());
        });
        return;
    }
    const QString path = chooser_->PathOf(typed);
    if (QFileInfo(path).isDir()) {
        chooser_->SetDirectory(path);
        return;
    }
    if (PreviewFile(path))
        Bttn_OKClick();
}
