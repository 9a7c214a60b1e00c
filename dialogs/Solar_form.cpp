#include "dialogs/Solar_form.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "widgets/logic/Help_file.h"

const SOLAR_RULES TSolarForm::kRules;

TSolarForm::TSolarForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent)
    : TEffectForm(kRules, doc, help, kHelpSolarize, parent)
{
    setObjectName("SolarForm");
    setWindowTitle("SolarForm");
}
