#include "dialogs/Explossion_form.h"

#include "core/Imageinfo.h"
#include "core/Result_codes.h"
#include "viewer/logic/Help_file.h"

const EXPLOSION_RULES TExplossionFrm::kRules;

TExplossionFrm::TExplossionFrm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent)
    : TEffectForm(kRules, doc, help, kHelpExplosion, parent), doc_(doc)
{
    setObjectName("ExplossionFrm");
    setWindowTitle("Explossion Preview");
    doc_.direct_decode = 1;
}

void TExplossionFrm::accept()
{
    TEffectForm::accept();
    if (ResultCode() == kOk)
        doc_.direct_decode = 0;
}
