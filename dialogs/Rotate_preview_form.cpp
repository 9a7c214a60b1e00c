#include "dialogs/Rotate_preview_form.h"

#include "core/Imageinfo.h"
#include "widgets/logic/Help_file.h"

#include <QBoxLayout>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

TRotatePVForm::TRotatePVForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent)
    : TRotatePVForm(doc, help, parent, std::make_unique<ROTATION_STATE>(doc.rotation_options))
{
}

TRotatePVForm::TRotatePVForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent,
                             std::unique_ptr<ROTATION_STATE> state)
    : TEffectForm(state->rules, doc, help, kHelpRotation, parent), state_(std::move(state))
{
    setObjectName("RotatePVForm");
    setWindowTitle("Rotate Preview");
    auto* row = new QHBoxLayout;
    auto* label = new QLabel("BackGround:", this);
    label->setObjectName("Label3");
    colour_ = new QPushButton(this);
    colour_->setObjectName("Panel1");
    colour_->setFixedSize(40, 20);
    connect(colour_, &QPushButton::clicked, this, &TRotatePVForm::Panel1Click);
    row->addWidget(label);
    row->addWidget(colour_);
    row->addStretch(1);
    Controls()->insertLayout(2, row);
    ShowColour();
}

void TRotatePVForm::ShowColour()
{
    const std::uint8_t* b = state_->background; // blue, green, red
    colour_->setStyleSheet(QString("background-color: rgb(%1, %2, %3)").arg(b[2]).arg(b[1]).arg(b[0]));
}

void TRotatePVForm::Panel1Click()
{
    std::uint8_t* b = state_->background;
    const QColor chosen = QColorDialog::getColor(QColor(b[2], b[1], b[0]), this, "BackGround");
    if (!chosen.isValid())
        return;
    b[0] = static_cast<std::uint8_t>(chosen.blue());
    b[1] = static_cast<std::uint8_t>(chosen.green());
    b[2] = static_cast<std::uint8_t>(chosen.red());
    ShowColour();
}

void TRotatePVForm::accept()
{
    accepted_ = true;
    TEffectForm::accept();
}

ROTATION_OUTCOME TRotatePVForm::Outcome() const
{
    ROTATION_OUTCOME out;
    out.accepted = accepted_;
    out.angle = Angle();
    std::copy_n(state_->background, 3, out.background);
    return out;
}
