// The solarize preview dialog: the effect-dialog base over SOLAR_RULES, captioned "SolarForm".
#pragma once

#include "dialogs/Effect_form.h"
#include "dialogs/logic/Preview_rules.h"

class TSolarForm : public TEffectForm {
    Q_OBJECT
public:
    TSolarForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent = nullptr);

private:
    static const SOLAR_RULES kRules;
};
