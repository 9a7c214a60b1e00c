#include "dialogs/Hist_form.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "dialogs/logic/Effect_rules.h"
#include "widgets/Help_window.h"
#include "widgets/Qt_bridge.h"
#include "widgets/logic/Help_file.h"

#include <QComboBox>
#include <QGridLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

int THistForm::last_channel_ = kHistRed;

namespace {

constexpr int kPlotWidth = 255;
constexpr int kPlotShownHeight = 128; // the 256 rows of the plot shown at half height

QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

THistForm::THistForm(const TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent)
    : TModalDialog(parent, &help, kHelpHistogram)
{
    setObjectName("HistForm");
    setWindowTitle("Histogram");
    setWindowFlag(Qt::WindowStaysOnTopHint);
    plot_box_ = NamedLabel("Image2", QString(), this);
    plot_box_->setFixedSize(kPlotWidth, kPlotShownHeight);
    combo_ = new QComboBox(this);
    combo_->setObjectName("FilterComboBox1");
    combo_->addItems({"Red", "Green", "Blue", " "});
    mean_ = NamedLabel("LabelMeanVal", QString(), this);
    std_dev_ = NamedLabel("LabelStdDevVal", QString(), this);
    median_ = NamedLabel("LabelMedianVal", QString(), this);
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("BitBtn2");
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(plot_box_, 0, 0, 1, 2);
    grid->addWidget(NamedLabel("LabelMean", "Mean:", this), 1, 0);
    grid->addWidget(mean_, 1, 1);
    grid->addWidget(NamedLabel("LabelStdDev", "Std. dev.:", this), 2, 0);
    grid->addWidget(std_dev_, 2, 1);
    grid->addWidget(NamedLabel("LabelMedian", "Median:", this), 3, 0);
    grid->addWidget(median_, 3, 1);
    grid->addWidget(combo_, 4, 0);
    grid->addWidget(ok_, 4, 1);

    has_picture_ = doc.display && !doc.display->Empty() && doc.display->PixelFormat() == 24 &&
                   CopyDib(*doc.display, picture_) == kOk;
    if (has_picture_)
        ComputeStatistics(picture_, stats_);
    connect(combo_, &QComboBox::activated, this, &THistForm::FilterComboBox1Change);
    combo_->setCurrentIndex(kHistRed);
    FilterComboBox1Change(kHistRed);
}

void THistForm::FilterComboBox1Change(int index)
{
    if (!has_picture_)
        return;
    if (index >= kHistRed && index <= kHistBlue) {
        Dib plot;
        if (PlotChannel(picture_, index, plot) != kOk)
            return;
        plot_box_->setPixmap(QPixmap::fromImage(
            DibView(plot).scaled(kPlotWidth, kPlotShownHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
        last_channel_ = index;
    }
    const ChannelStatistics& s = stats_[last_channel_];
    mean_->setText(QString::number(s.mean));
    std_dev_->setText(QString::number(s.std_dev));
    median_->setText(QString::number(s.median));
}
