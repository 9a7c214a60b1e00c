#include "dialogs/Options_form.h"

#include "widgets/Help_window.h"
#include "widgets/logic/Help_file.h"

#include <QColorDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {

// The colour on its button.
void ShowColour(QPushButton* b, const QColor& c)
{
    QPixmap swatch(24, 12);
    swatch.fill(c);
    b->setIcon(QIcon(swatch));
}

} // namespace

QColor TOptionsForm::foreground_ = Qt::black;
QColor TOptionsForm::background_ = Qt::white;

TOptionsForm::TOptionsForm(HELP_VIEWER& help, QWidget* parent) : TModalDialog(parent, &help, kHelpOptions)
{
    setObjectName("OptionsForm");
    setWindowTitle("Option");
    resize(281, 267);
    move(326, 127);
    fg_ = new QPushButton("...", this);
    fg_->setObjectName("FG_BitBtn");
    bg_ = new QPushButton("...", this);
    bg_->setObjectName("BG_BitBtn");
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("OK_BitBtn");
    ok_->setDefault(true);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("Cancel_BitBtn");

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Fore Ground", this), 0, 0);
    grid->addWidget(fg_, 0, 1);
    grid->addWidget(new QLabel("Back Ground", this), 1, 0);
    grid->addWidget(bg_, 1, 1);
    grid->setRowStretch(2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    grid->addLayout(buttons, 3, 0, 1, 2);

    ShowColour(fg_, foreground_);
    ShowColour(bg_, background_);
    connect(fg_, &QPushButton::clicked, this, &TOptionsForm::FG_BitBtnClick);
    connect(bg_, &QPushButton::clicked, this, &TOptionsForm::BG_BitBtnClick);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

QColor TOptionsForm::Choose(const QColor& initial)
{
    return choose_ ? choose_(initial) : QColorDialog::getColor(initial, this);
}

void TOptionsForm::FG_BitBtnClick()
{
    if (const QColor c = Choose(foreground_); c.isValid()) {
        foreground_ = c;
        ShowColour(fg_, c);
    }
}

void TOptionsForm::BG_BitBtnClick()
{
    if (const QColor c = Choose(background_); c.isValid()) {
        background_ = c;
        ShowColour(bg_, c);
    }
}
