// The pixelate preview dialog: the effect-dialog base over PIXELATE_RULES, captioned "Pixelate Preview".
#pragma once

#include "dialogs/Effect_form.h"
#include "dialogs/logic/Preview_rules.h"

class TPixelateForm : public TEffectForm {
    Q_OBJECT
public:
    TPixelateForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent = nullptr);

private:
    static const PIXELATE_RULES kRules;
};
