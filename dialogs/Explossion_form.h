// The explosion preview dialog: the effect-dialog base over EXPLOSION_RULES, captioned "Explossion Preview".
#pragma once

#include "dialogs/Effect_form.h"
#include "dialogs/logic/Preview_rules.h"

class TExplossionFrm : public TEffectForm {
    Q_OBJECT
public:
    TExplossionFrm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent = nullptr);

private:
    static const EXPLOSION_RULES kRules;
};
