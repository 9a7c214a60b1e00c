// The pixelate preview dialog: the effect-dialog base over PIXELATE_RULES, captioned "Pixelate Preview".
#pragma once

#include "dialogs/Effect_form.h"
#include "dialogs/logic/Preview_rules.h"

class TPixelateForm : public TEffectForm {
    Q_OBJECT
public:
    TPixelateForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent = nullptr);

    // The document's direct-decode flag is set while the dialog is open and cleared by
    // OK only: the command applies the result when it finds the flag clear, and clears it
    // without applying when it finds it set.
    void accept() override;

private:
    static const PIXELATE_RULES kRules;
    TIMAGE_INFO& doc_;
};
