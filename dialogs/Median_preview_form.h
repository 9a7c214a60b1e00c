// The median filter preview dialog: the effect-dialog base over MEDIAN_RULES, captioned "Median Preview".
#pragma once

#include "dialogs/Effect_form.h"
#include "dialogs/logic/Preview_rules.h"

class TMedianPreviewForm : public TEffectForm {
    Q_OBJECT
public:
    TMedianPreviewForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent = nullptr);

private:
    static const MEDIAN_RULES kRules;
};
