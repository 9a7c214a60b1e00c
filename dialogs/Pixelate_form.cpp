#include "dialogs/Pixelate_form.h"

#include "core/Imageinfo.h"
#include "core/Result_codes.h"
#include "viewer/logic/Help_file.h"

const PIXELATE_RULES TPixelateForm::kRules;

TPixelateForm::TPixelateForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent)
    : TEffectForm(kRules, doc, help, kHelpPixelate, parent), doc_(doc)
{
    setObjectName("PixelateForm");
    setWindowTitle("Pixelate Preview");
    doc_.direct_decode = 1;
}

void TPixelateForm::accept()
{
    TEffectForm::accept();
    if (ResultCode() == kOk)
        doc_.direct_decode = 0;
}
