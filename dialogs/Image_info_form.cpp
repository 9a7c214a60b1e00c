#include "dialogs/Image_info_form.h"

#include "core/Imageinfo.h"
#include "dialogs/logic/Image_info_rules.h"
#include "platform/Ini_file.h"
#include "widgets/Help_window.h"
#include "widgets/Qt_bridge.h"
#include "widgets/logic/Help_file.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <filesystem>
#include <vector>

namespace {

constexpr int kClientWidth = 307;
constexpr int kClientHeight = 281;
constexpr int kDesignedLeft = 377;
constexpr int kDesignedTop = 165;
constexpr char kSection[] = "ImageInfoDlg";

} // namespace

TImageInfoForm::TImageInfoForm(const TIMAGE_INFO& doc, HELP_VIEWER& help, std::string settings_path, QWidget* parent)
    : TModalDialog(parent, &help, kHelpImageInfo), settings_path_(std::move(settings_path))
{
    setObjectName("ImageInfoForm");
    setWindowTitle("Image Information");
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);

    const CODEC_CTX& ctx = *doc.context;
    // A value stays "---" when the document has nothing to say for it.
    auto text = [](const std::string& s) { return s.empty() ? QString("---") : Q(s); };
    struct ROW {
        const char* caption_name;
        const char* caption;
        const char* value_name;
        QString value;
    };
    // The document's file (after a Save As the file written); a pasted, scanned or
    // captured picture has none, so nothing of a file is told.
    const bool file = !doc.current_path.empty();
    const auto of_file = [&](const std::string& s) { return text(file ? s : std::string()); };
    std::vector<ROW> rows = {
        {"lf_filename", "File name:", "lb_filename_info",
         of_file(std::filesystem::path(doc.current_path).filename().string())},
        {"lb_directory", "File Type:", "lb_filetype_info", of_file(InfoFormatName(doc.format_code))},
        {"lb_compression", "Compression:", "lb_compression_info", of_file(ctx.compression_name)},
        {"lb_imagesize", "Image size:", "lb_imagesize_info", text(InfoImageSizeText(doc.display_width, doc.display_height))},
        {"lb_filesize", "File size:", "lb_filesize_info", of_file(InfoFileSizeText(doc.file_size))},
        {"lb_filedatetime", "File date/time:", "lb_filedatetime_info",
         of_file(InfoDateTimeText(doc.month, doc.day, doc.year, doc.hour, doc.minute, doc.second))},
        {"lb_Color", "Color:", "lb_Color_info",
         text(InfoColorText(doc.bits_per_pixel, doc.edited != 0, ctx.bits_per_pixel, ctx.out_bits_per_pixel))},
        {"lb_TimeLoad", "Time loaded:", "lb_timeload_info", text(InfoLoadTimeText(doc.load_timing != 0, doc.last_load_time))},
    };
    // What the newer formats and animations say besides.
    const TIMAGE_INFO::PICTURE_FACTS& f = doc.facts;
    if (const std::string samples = InfoSamplesText(f.bits_per_sample, f.alpha, f.icc_bytes); !samples.empty())
        rows.push_back({"lb_Samples", "Samples:", "lb_samples_info", text(samples)});
    if (f.frame_count > 0)
        rows.push_back({"lb_Animation", "Animation:", "lb_animation_info",
                        text(InfoAnimationText(f.frame_count, f.duration_ms, f.loop_count))});
    // A JPEG that says how the camera was held tells it (the picture is shown turned back).
    if (doc.format_code == kFmtJpeg && doc.orientation != 0)
        rows.push_back({"lb_Orientation", "Orientation:", "lb_orientation_info", text(InfoOrientationName(doc.orientation))});

    auto* grid = new QGridLayout(this);
    int r = 0;
    for (const ROW& row : rows) {
        auto* caption = new QLabel(row.caption, this);
        caption->setObjectName(row.caption_name);
        auto* value = new QLabel(row.value, this);
        value->setObjectName(row.value_name);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setWordWrap(true);
        grid->addWidget(caption, r, 0, Qt::AlignTop);
        grid->addWidget(value, r, 1, Qt::AlignTop);
        ++r;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(r++, 1);
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("BitBtn_OK");
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &TImageInfoForm::BitBtn_OKClick);
    grid->addWidget(ok_, r, 0, 1, 2, Qt::AlignHCenter);

    RestorePosition(IniFile(settings_path_), kSection, QPoint(kDesignedLeft, kDesignedTop));
}

TImageInfoForm::~TImageInfoForm()
{
    IniFile ini(settings_path_);
    KeepPosition(ini, kSection);
}

void TImageInfoForm::BitBtn_OKClick() { accept(); }

QLabel* TImageInfoForm::Value(const char* name) const { return findChild<QLabel*>(name); }
