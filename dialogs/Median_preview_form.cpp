#include "dialogs/Median_preview_form.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "widgets/logic/Help_file.h"

const MEDIAN_RULES TMedianPreviewForm::kRules;

TMedianPreviewForm::TMedianPreviewForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent)
    : TEffectForm(kRules, doc, help, kHelpMedian, parent)
{
    setObjectName("MedianPreviewForm");
    setWindowTitle("Median Preview");
}
