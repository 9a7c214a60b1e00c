// The gamma correction preview dialog: the effect-dialog base over GAMMA_RULES, captioned "Gamma".
#pragma once

#include "dialogs/Effect_form.h"
#include "dialogs/logic/Preview_rules.h"

class TGammaForm : public TEffectForm {
    Q_OBJECT
public:
    TGammaForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent = nullptr);

private:
    static const GAMMA_RULES kRules;
};
