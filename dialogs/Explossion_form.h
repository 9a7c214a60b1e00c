// The explosion preview dialog: the effect-dialog base over EXPLOSION_RULES, captioned "Explossion Preview".
#pragma once

#include "dialogs/Effect_form.h"
#include "dialogs/logic/Preview_rules.h"

class TExplossionFrm : public TEffectForm {
    Q_OBJECT
public:
    TExplossionFrm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent = nullptr);

    // The document's direct-decode flag is set while the dialog is open and cleared by
    // OK only, as in the pixelate dialog; OK takes the picture the preview showed.
    void accept() override;

private:
    static const EXPLOSION_RULES kRules;
    TIMAGE_INFO& doc_;
};
