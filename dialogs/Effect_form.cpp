#include "dialogs/Effect_form.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "widgets/Help_window.h"
#include "widgets/Picture_view.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr int kPreviewSide = 160; // the preview box; the picture is scaled whole into it

// The picture a dialog works on (the session copies it): the display bitmap, an empty
// one while none exists.
const Dib& Picture(const TIMAGE_INFO& doc)
{
    static const Dib kNone;
    return doc.display ? *doc.display : kNone;
}

} // namespace

TEffectForm::TEffectForm(const EFFECT_RULES& rules, const TIMAGE_INFO& doc, HELP_VIEWER& help,
                         std::int32_t help_context, QWidget* parent)
    : TModalDialog(parent, &help, help_context), session_(rules, Picture(doc))
{
    preview_ = new TPictureView(this);
    preview_->setObjectName("PreviewBox");
    preview_->setFixedSize(kPreviewSide, kPreviewSide);
    preview_->SetFit(true);
    preview_->SetSource([this]() -> const Dib* { return &session_.Preview(); });

    const EFFECT_RANGE& range = session_.Range();
    scroll_ = new QScrollBar(Qt::Horizontal, this);
    scroll_->setObjectName("ScrollBar1");
    scroll_->setRange(range.min, range.max);
    scroll_->setSingleStep(range.single_step);
    scroll_->setPageStep(range.page_step);
    scroll_->setValue(session_.Value());
    // Right increases and Left decreases (inverted controls would turn them round); the
    // bar takes focus so the keys reach it.
    scroll_->setInvertedControls(false);
    scroll_->setFocusPolicy(Qt::StrongFocus);
    value_label_ = new QLabel(QString::fromStdString(session_.ValueText()), this);
    value_label_->setObjectName("ValueLabel");
    value_label_->setTextFormat(Qt::PlainText);
    connect(scroll_, &QScrollBar::valueChanged, this, &TEffectForm::ValueChanged);

    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("Bttn_OK");
    ok_->setDefault(true);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("Bttn_Cancel");
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    controls_ = new QVBoxLayout;
    controls_->addWidget(scroll_);
    controls_->addWidget(value_label_);
    controls_->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    controls_->addLayout(buttons);
    auto* top = new QHBoxLayout(this);
    top->addWidget(preview_);
    top->addLayout(controls_, 1);
    scroll_->setFocus();
}

void TEffectForm::accept()
{
    auto out = std::make_unique<Dib>();
    result_code_ = session_.TakeResult(*out);
    result_.reset();
    if (result_code_ == kOk)
        result_ = std::move(out);
    QDialog::accept();
}

void TEffectForm::ValueChanged(int value)
{
    session_.SetValue(value);
    value_label_->setText(QString::fromStdString(session_.ValueText()));
    preview_->update();
}
