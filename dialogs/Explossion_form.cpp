#include "dialogs/Explossion_form.h"

#include "core/Imageinfo.h"
#include "widgets/logic/Help_file.h"

const EXPLOSION_RULES TExplossionFrm::kRules;

TExplossionFrm::TExplossionFrm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent)
    : TEffectForm(kRules, doc, help, kHelpExplosion, parent)
{
    setObjectName("ExplossionFrm");
    setWindowTitle("Explossion Preview");
}
