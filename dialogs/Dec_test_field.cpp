#include "dialogs/Dec_test_field.h"

#include "core/Imageinfo.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"
#include "dialogs/Batch_output_dir_form.h"
#include "dialogs/Directory_list.h"
#include "platform/Ini_file.h"
#include "widgets/Help_window.h"
#include "widgets/Qt_bridge.h"
#include "widgets/logic/Help_file.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

#include <initializer_list>

namespace {

constexpr char kSection[] = "BatchConv";

template <class W>
W* Named(W* w, const char* name)
{
    w->setObjectName(name);
    return w;
}

// The picture scaled to w × h, read in place (no copy of the whole picture).
QImage Scaled(const Dib& d, int w, int h)
{
    return DibView(d).scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QString Number(double v) { return QString::number(v, 'f', v < 10 ? 2 : 1); }

} // namespace

TDecTestField::TDecTestField(TIMAGE_INFO& doc, HELP_VIEWER& help, std::string settings_path, QWidget* parent)
    : TModalDialog(parent, &help, kHelpBatchConversion), doc_(doc), help_(help),
      settings_path_(std::move(settings_path))
{
    setObjectName("DecTestField");
    setWindowTitle("DecTestField");
    resize(941, 630);

    // Input: drive, directory, file type, file box, files.
    drives_in_ = Named(new TDriveBox(this), "DriveComboBox1");
    dirs_in_ = Named(new TDirectoryList(this), "DirectoryListBox1");
    types_in_ = Named(new QComboBox(this), "FilterComboBox_Decoder");
    types_in_->addItem("All files (*.*)", "*.*");
    file_edit_ = Named(new QLineEdit("*.*", this), "FileEdit1");
    files_ = Named(new QListWidget(this), "FileListBox1");
    auto* input = new QGroupBox("Input", this);
    auto* in_grid = new QGridLayout(input);
    in_grid->addWidget(new QLabel("Look in:", input), 0, 0);
    in_grid->addWidget(drives_in_, 0, 1);
    in_grid->addWidget(DirectoryLabel(dirs_in_, input), 1, 0, 1, 2);
    in_grid->addWidget(dirs_in_, 2, 0, 1, 2);
    in_grid->addWidget(file_edit_, 3, 0, 1, 2);
    in_grid->addWidget(files_, 4, 0, 1, 2);
    in_grid->addWidget(new QLabel("File Type:", input), 5, 0);
    in_grid->addWidget(types_in_, 5, 1);

    // Thumbnail with its captions, and the buttons.
    thumb_box_ = Named(new QFrame(this), "ThumbBox");
    static_cast<QFrame*>(thumb_box_)->setFrameShape(QFrame::StyledPanel);
    thumb_box_->setFixedSize(kThumbBox + 2, kThumbBox + 2);
    auto* inner = new QWidget(thumb_box_);
    inner->setGeometry(1, 1, kThumbBox, kThumbBox);
    image1_ = Named(new QLabel(inner), "Image1");
    image1_->setScaledContents(true);
    image1_->setGeometry(0, 0, kThumbBox, kThumbBox);
    image1_->hide();
    no_preview_ = Named(new QLabel("No Preview Available", inner), "NoPreview");
    no_preview_->setGeometry(0, 10, kThumbBox, 20);
    no_preview_->setWordWrap(true);
    no_preview_->adjustSize();
    no_preview_->hide();
    preview_ = Named(new QCheckBox("Preview Image", this), "Preview");
    preview_->setChecked(true);
    ok_ = Named(new QPushButton("OK", this), "Bttn_OK");
    cancel_ = Named(new QPushButton("Cancel", this), "BitBtn1");
    start_ = Named(new QPushButton("Start", this), "BitBtn2");
    queue_ = Named(new QPushButton(">>", this), "BitBtn4");
    queue_->setEnabled(false);
    del_ = Named(new QPushButton("Del", this), "BitBtn5");
    auto* middle = new QVBoxLayout;
    middle->addWidget(thumb_box_, 0, Qt::AlignHCenter);
    for (auto [name, text] : {std::pair{"Lb_Width", "Width:"}, std::pair{"Lb_Height", "Height:"},
                              std::pair{"Lb_colors", "BPP:"}, std::pair{"Lb_size", "File Size:"}})
        middle->addWidget(Named(new QLabel(text, this), name));
    middle->addWidget(preview_);
    middle->addStretch();
    for (QPushButton* b : {ok_, cancel_, start_, queue_, del_})
        middle->addWidget(b);

    // The queue.
    queue_list_ = Named(new QListWidget(this), "ListBox1");
    queue_text_ = Named(new QPlainTextEdit(this), "RichEdit2");
    queue_text_->setReadOnly(true);
    auto* queue_box = new QGroupBox("Queue", this);
    auto* queue_layout = new QVBoxLayout(queue_box);
    queue_layout->addWidget(queue_list_);
    queue_layout->addWidget(queue_text_);

    // Output: directory, type, extension, and the input-directory box.
    edit1_ = Named(new QLineEdit(this), "Edit1");
    browse_out_ = Named(new QPushButton("...", this), "BitBtn3");
    browse_out_->setFixedWidth(32);
    dirs_out_ = Named(new TDirectoryList(this), "DirectoryListBox2");
    types_out_ = Named(new QComboBox(this), "FilterComboBox_Encoder");
    output_types_ = ParseFilter(kOutputTypeFilter);
    for (const FILTER_ENTRY& e : output_types_)
        types_out_->addItem(Q(e.name), Q(e.pattern));
    edit3_ = Named(new QLineEdit("Edit3", this), "Edit3");
    edit2_ = Named(new QLineEdit(this), "Edit2");
    auto* output = new QGroupBox("Output", this);
    auto* out_grid = new QGridLayout(output);
    out_grid->addWidget(new QLabel("Output Directory:", output), 0, 0, 1, 2);
    out_grid->addWidget(edit1_, 1, 0);
    out_grid->addWidget(browse_out_, 1, 1);
    out_grid->addWidget(DirectoryLabel(dirs_out_, output), 2, 0, 1, 2);
    out_grid->addWidget(dirs_out_, 3, 0, 1, 2);
    out_grid->addWidget(new QLabel("Output File Type:", output), 4, 0, 1, 2);
    out_grid->addWidget(types_out_, 5, 0, 1, 2);
    auto* ext_row = new QHBoxLayout;
    ext_row->addWidget(new QLabel("Ext.", output));
    ext_row->addWidget(edit3_);
    out_grid->addLayout(ext_row, 6, 0, 1, 2);
    out_grid->addWidget(new QLabel("Input Directory:", output), 7, 0, 1, 2);
    out_grid->addWidget(edit2_, 8, 0, 1, 2);

    // The run: log, progress, Stop, summary.
    log_ = Named(new QPlainTextEdit(this), "RichEdit1");
    log_->setReadOnly(true);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setMaximumBlockCount(4 * kRunLoads + 16);
    progress_ = Named(new QProgressBar(this), "RunProgress");
    progress_->setRange(0, kRunLoads);
    progress_->setValue(0);
    progress_->setFormat("%v / %m");
    stop_ = Named(new QPushButton("Stop", this), "StopButton");
    stop_->setEnabled(false);
    run_status_ = Named(new QLabel(this), "RunStatus");
    summary_table_ = Named(new QTableWidget(0, 6, this), "SummaryTable");
    summary_table_->setHorizontalHeaderLabels({"Format", "Files", "Loads", "Mean ms", "Median ms", "MP/s"});
    summary_table_->verticalHeader()->hide();
    summary_table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    summary_table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    summary_table_->setWordWrap(false);
    summary_table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    save_csv_ = Named(new QPushButton("Save CSV...", this), "SaveCsvButton");
    save_csv_->setEnabled(false);
    auto* run_row = new QHBoxLayout;
    run_row->addWidget(progress_, 1);
    run_row->addWidget(stop_);
    auto* summary_row = new QHBoxLayout;
    summary_row->addWidget(run_status_, 1);
    summary_row->addWidget(save_csv_);

    auto* grid = new QGridLayout(this);
    grid->addWidget(input, 0, 0, 2, 1);
    grid->addLayout(middle, 0, 1, 2, 1);
    grid->addWidget(queue_box, 0, 2);
    grid->addWidget(output, 1, 2);
    grid->addWidget(log_, 2, 0, 1, 2);
    grid->addWidget(summary_table_, 2, 2);
    grid->addLayout(run_row, 3, 0, 1, 2);
    grid->addLayout(summary_row, 3, 2);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(2, 3);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
    grid->setRowStretch(2, 2);
    dirs_in_->setMinimumHeight(60);
    files_->setMinimumHeight(60);
    queue_list_->setMinimumHeight(30);
    queue_text_->setMinimumHeight(30);

    step_timer_ = new QTimer(this);
    step_timer_->setInterval(0);
    connect(step_timer_, &QTimer::timeout, this, &TDecTestField::StepRun);

    saved_list_ = doc_.file_list;
    saved_index_ = doc_.current_index;
    saved_browse_ = doc_.browse_directory;
    // The directories of the last use, when they are still there; else the document's
    // open directory, else the working directory.
    IniFile ini(settings_path_);
    const QString read_dir = Q(ini.ReadString(kSection, "ReadDir", ""));
    const QString save_dir = Q(ini.ReadString(kSection, "SaveDir", ""));
    const QString fallback = doc_.open_directory.empty() ? QDir::currentPath() : Q(doc_.open_directory);
    if (!dirs_in_->SetDirectory(read_dir))
        dirs_in_->SetDirectory(fallback);
    if (!dirs_out_->SetDirectory(save_dir))
        dirs_out_->SetDirectory(fallback);
    drives_in_->Follow(dirs_in_->Directory());
    // The list of the starting directory, as a change of the list gives it.
    DirectoryListBox1Change(dirs_in_->Directory());
    ok_->setEnabled(true);

    connect(dirs_in_, &TDirectoryList::DirectoryChanged, this, &TDecTestField::DirectoryListBox1Change);
    connect(drives_in_, &QComboBox::textActivated, dirs_in_, [this](const QString& r) { dirs_in_->SetDirectory(r); });
    connect(file_edit_, &QLineEdit::editingFinished, this, &TDecTestField::FillFiles);
    connect(files_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            FileListBox1Click();
    });
    connect(ok_, &QPushButton::clicked, this, &TDecTestField::Bttn_OKClick);
    connect(cancel_, &QPushButton::clicked, this, &TDecTestField::reject);
    connect(queue_, &QPushButton::clicked, this, &TDecTestField::BitBtn4Click);
    connect(browse_out_, &QPushButton::clicked, this, &TDecTestField::BitBtn3Click);
    connect(dirs_out_, &TDirectoryList::DirectoryChanged, this, &TDecTestField::DirectoryListBox2Click);
    connect(dirs_out_, &QListWidget::itemClicked, this, &TDecTestField::DirectoryListBox2Click);
    connect(types_out_, &QComboBox::activated, this, &TDecTestField::FilterComboBox_EncoderChange);
    connect(stop_, &QPushButton::clicked, this, &TDecTestField::StopClick);
    connect(save_csv_, &QPushButton::clicked, this, &TDecTestField::SaveCsvClick);
}

TDecTestField::~TDecTestField()
{
    step_timer_->stop();
    // A dialog that opened nothing leaves the main window browsing where it was.
    if (!opened_) {
        doc_.file_list = std::move(saved_list_);
        doc_.current_index = saved_index_;
        doc_.browse_directory = std::move(saved_browse_);
    }
    IniFile ini(settings_path_);
    ini.WriteString(kSection, "ReadDir", dirs_in_->Directory().toStdString());
    ini.WriteString(kSection, "SaveDir", dirs_out_->Directory().toStdString());
}

bool TDecTestField::Running() const { return step_timer_->isActive(); }

QString TDecTestField::LogText() const { return log_->toPlainText(); }

void TDecTestField::DirectoryListBox1Change(const QString& dir)
{
    ok_->setEnabled(false);
    image1_->hide();
    no_preview_->hide();
    drives_in_->Follow(dir);
    doc_.browse_directory = dir.toStdString();
    doc_.BuildFileList(doc_.browse_directory);
    FillFiles();
}

void TDecTestField::FillFiles()
{
    const QSignalBlocker block(files_);
    files_->clear();
    const QString mask = file_edit_->text().trimmed().isEmpty() ? QString("*.*") : file_edit_->text().trimmed();
    const QStringList names = QDir(dirs_in_->Directory()).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& n : names)
        if (MatchesMask(n.toStdString(), mask.toStdString()))
            files_->addItem(n);
}

QString TDecTestField::SelectedPath() const
{
    const QListWidgetItem* item = files_->currentItem();
    return item == nullptr ? QString() : QDir(dirs_in_->Directory()).filePath(item->text());
}

void TDecTestField::FileListBox1Click()
{
    const QString path = SelectedPath();
    if (path.isEmpty() || Running())
        return;
    queue_->setEnabled(true);
    if (opener_.Open(doc_, path.toStdString()) != kOk)
        return; // the document, the thumbnail and "OK" stay as they were
    opened_ = true;
    doc_.open_directory = DirectoryOf(doc_.current_path);
    doc_.ReadFileFacts();
    ShowThumbnail(true);
}

bool TDecTestField::ShowThumbnail(bool enable_ok)
{
    if (doc_.state != kPictureOpen || !doc_.display || doc_.display->Empty()) {
        image1_->hide();
        no_preview_->show();
        return false;
    }
    no_preview_->hide();
    const Dib& d = *doc_.display;
    if (const std::optional<THUMB_PLACE> place = SnapToDraw(d.Width(), d.Height()))
        image1_->setGeometry(place->left, place->top, place->width, place->height);
    const QImage thumb = Scaled(d, std::max(1, image1_->width()), std::max(1, image1_->height()));
    if (thumb.isNull()) {
        if (enable_ok)
            ok_->setEnabled(false);
        return false;
    }
    image1_->setPixmap(QPixmap::fromImage(thumb));
    image1_->show();
    if (enable_ok)
        ok_->setEnabled(true);
    return true;
}

void TDecTestField::Bttn_OKClick()
{
    if (Running())
        return;
    // A current path outside the list starts the run at the list's first entry; an empty
    // list runs nothing.
    run_ = std::make_unique<DECODE_RUN>(doc_, opener_, *clock_, run_loads_);
    logged_ = 0;
    summary_.clear();
    summary_table_->setRowCount(0);
    save_csv_->setEnabled(false);
    run_status_->clear();
    if (!run_->Start()) {
        run_status_->setText("No file to load.");
        return;
    }
    progress_->setRange(0, run_->MaxLoads());
    progress_->setValue(0);
    ok_->setEnabled(false);
    stop_->setEnabled(true);
    SetInputEnabled(false);
    step_timer_->start();
}

void TDecTestField::StepRun()
{
    if (!run_)
        return;
    const bool more = run_->Step([this] {
        ShowThumbnail(false);
        repaint();
    });
    if (run_->Loaded() > 0)
        opened_ = true;
    AppendNewLogLines();
    progress_->setValue(run_->Loaded());
    if (!more)
        EndRun();
}

// The run works on the document's list of the input directory: that list stays put
// while it runs.
void TDecTestField::SetInputEnabled(bool on)
{
    for (QWidget* w : std::initializer_list<QWidget*>{drives_in_, dirs_in_, files_, file_edit_})
        w->setEnabled(on);
}

void TDecTestField::AppendNewLogLines()
{
    const std::vector<std::string>& lines = run_->Log();
    for (; logged_ < lines.size(); ++logged_)
        log_->appendPlainText(Q(lines[logged_]));
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void TDecTestField::StopClick()
{
    if (run_ && Running()) {
        run_->Stop();
        EndRun();
    }
}

void TDecTestField::EndRun()
{
    step_timer_->stop();
    stop_->setEnabled(false);
    ok_->setEnabled(true);
    SetInputEnabled(true);
    summary_ = SummariseRun(run_->Loads());
    summary_table_->setRowCount(static_cast<int>(summary_.size()));
    for (int r = 0; r < static_cast<int>(summary_.size()); ++r) {
        const FORMAT_SUMMARY& s = summary_[static_cast<std::size_t>(r)];
        const QString cells[] = {Q(s.format),           QString::number(s.files),  QString::number(s.loads),
                                 Number(s.mean_ms),     Number(s.median_ms), Number(s.megapixels_per_second)};
        for (int c = 0; c < 6; ++c)
            summary_table_->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    save_csv_->setEnabled(!summary_.empty());
    QString status = QString("%1 loads").arg(run_->Loaded());
    if (run_->FailedCode() != kOk)
        status += QString("; stopped at %1: %2")
                      .arg(QFileInfo(Q(run_->FailedPath())).fileName(), Q(run_->FailedText()));
    else if (run_->Loaded() < run_->MaxLoads())
        status += "; stopped";
    run_status_->setText(status);
}

void TDecTestField::SaveCsvClick()
{
    if (summary_.empty())
        return;
    const QString path = choose_csv_ ? choose_csv_()
                                     : QFileDialog::getSaveFileName(this, "Save Summary", dirs_out_->Directory(),
                                                                    "CSV files (*.csv)");
    if (path.isEmpty())
        return;
    int sys_error = 0;
    const std::int32_t rc = SaveSummaryCsv(path.toStdString(), summary_, &sys_error);
    run_status_->setText(rc == kOk ? "Saved " + QFileInfo(path).fileName()
                                   : QFileInfo(path).fileName() + ": " + Q(ResultTextWithReason(rc, sys_error)));
}

void TDecTestField::BitBtn3Click()
{
    {
        TBatchOutputDirForm chooser(doc_, help_, dirs_out_->Directory(), this);
        chooser.setWindowModality(Qt::WindowModal);
        chooser.exec();
    }
    edit1_->setText(Q(doc_.batch_output_directory));
    if (!doc_.batch_output_directory.empty())
        dirs_out_->SetDirectory(Q(doc_.batch_output_directory));
}

void TDecTestField::BitBtn4Click()
{
    const QString path = SelectedPath();
    if (path.isEmpty())
        return;
    queue_list_->addItem(path);
    queue_text_->appendPlainText(path);
}

void TDecTestField::DirectoryListBox2Click()
{
    edit1_->setText(dirs_out_->Directory());
    doc_.batch_output_directory = edit1_->text().toStdString();
}

void TDecTestField::FilterComboBox_EncoderChange(int index)
{
    if (index >= 0 && index < static_cast<int>(output_types_.size()))
        edit3_->setText(Q(ShownPattern(output_types_[static_cast<std::size_t>(index)])));
}

void TDecTestField::reject()
{
    StopClick();
    QDialog::reject();
}
