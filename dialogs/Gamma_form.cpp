#include "dialogs/Gamma_form.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "widgets/logic/Help_file.h"

const GAMMA_RULES TGammaForm::kRules;

TGammaForm::TGammaForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent)
    : TEffectForm(kRules, doc, help, kHelpGamma, parent)
{
    setObjectName("GammaForm");
    setWindowTitle("Gamma");
}
