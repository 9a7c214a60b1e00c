#include "dialogs/Pixelate_form.h"

#include "core/Imageinfo.h"
#include "widgets/logic/Help_file.h"

const PIXELATE_RULES TPixelateForm::kRules;

TPixelateForm::TPixelateForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent)
    : TEffectForm(kRules, doc, help, kHelpPixelate, parent)
{
    setObjectName("PixelateForm");
    setWindowTitle("Pixelate Preview");
}
