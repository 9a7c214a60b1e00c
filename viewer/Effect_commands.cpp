#include "viewer/Effect_commands.h"

#include "core/Imageinfo.h"
#include "dialogs/Explossion_form.h"
#include "dialogs/Gamma_form.h"
#include "dialogs/Hist_form.h"
#include "dialogs/Median_preview_form.h"
#include "dialogs/Pixelate_form.h"
#include "dialogs/Rotate_preview_form.h"
#include "dialogs/Solar_form.h"
#include "viewer/logic/Image_edits.h"

#include <cstdint>

TEffectCommands::TEffectCommands(QWidget* window, TIMAGE_INFO& doc, HELP_VIEWER& help)
    : QObject(window), window_(window), doc_(doc), help_(help)
{
}

void TEffectCommands::RunEffectDialog(TEffectForm& form)
{
    form.Run();
    RecordEffectResult(doc_, form.TakeResult());
    if (doc_.dialog_accepted != 0)
        emit EditWanted(ApplyEffectResult);
    ClearEffectResult(doc_);
}

void TEffectCommands::Gamma()
{
    TGammaForm form(doc_, help_, window_);
    RunEffectDialog(form);
}

void TEffectCommands::Solarize()
{
    TSolarForm form(doc_, help_, window_);
    RunEffectDialog(form);
}

void TEffectCommands::MedianFilter()
{
    TMedianPreviewForm form(doc_, help_, window_);
    RunEffectDialog(form);
}

void TEffectCommands::Pixelate()
{
    TPixelateForm form(doc_, help_, window_);
    RunEffectDialog(form);
}

void TEffectCommands::Explosion()
{
    TExplossionFrm form(doc_, help_, window_);
    RunEffectDialog(form);
}

void TEffectCommands::Histogram()
{
    THistForm form(doc_, help_, window_);
    form.Run();
}

void TEffectCommands::Rotate()
{
    TRotatePVForm form(doc_, help_, window_);
    form.Run();
    const ROTATION_OUTCOME outcome = form.Outcome();
    RecordRotationOutcome(doc_, outcome);
    const std::int32_t angle = outcome.angle;
    if (outcome.accepted && angle != 0)
        emit EditWanted([angle](TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS*) {
            return RotatePictureBy(doc, chain, angle, doc.rotation_options);
        });
}
