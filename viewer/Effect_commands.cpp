#include "viewer/Effect_commands.h"

#include "core/Imageinfo.h"
#include "dialogs/Explossion_form.h"
#include "dialogs/Gamma_form.h"
#include "dialogs/Hist_form.h"
#include "dialogs/Median_preview_form.h"
#include "dialogs/Pixelate_form.h"
#include "dialogs/Rotate_preview_form.h"
#include "dialogs/Solar_form.h"
#include "viewer/Picture_page.h"
#include "viewer/logic/Image_edits.h"

#include <QAction>
#include <QMainWindow>

#include <cstdint>
#include <utility>

void TEffectCommands::Bind(const std::function<QAction*(CommandId)>& action)
{
    BindEdit(action);
    const std::pair<CommandId, void (TEffectCommands::*)()> dialogs[] = {
        {Cmd("mn_Colors_Gamma"), &TEffectCommands::Gamma},
        {Cmd("mn_Image_Solarize"), &TEffectCommands::Solarize},
        {Cmd("mn_Image_Pixelate"), &TEffectCommands::Pixelate},
        {Cmd("mn_Image_Explosion"), &TEffectCommands::Explosion},
        {Cmd("mn_Colors_Histogram"), &TEffectCommands::Histogram},
        {Cmd("mn_Image_Rotate"), &TEffectCommands::Rotate},
        {Cmd("mn_Tests_MedianFilter"), &TEffectCommands::MedianFilter},
    };
    for (const auto& [id, command] : dialogs)
        connect(action(id), &QAction::triggered, this, [this, command = command] {
            if (page_.PictureShown())
                (this->*command)();
        });
    const std::pair<CommandId, ImageCommand> image_commands[] = {
        {Cmd("mn_Image_Mirror"), ImageCommand::kMirror},
        {Cmd("mn_Image_VerticalFlip"), ImageCommand::kVerticalFlip},
        {Cmd("mn_Image_RotateLeft"), ImageCommand::kRotateLeft},
        {Cmd("mn_Image_RotateRight"), ImageCommand::kRotateRight},
        {Cmd("mn_Colors_Negative"), ImageCommand::kNegative},
        {Cmd("mn_Colors_GrayScale"), ImageCommand::kGrayScale},
        {Cmd("mn_Colors_ReduceColors"), ImageCommand::kReduceColors},
        {Cmd("mn_Colors_HistogramEqualization"), ImageCommand::kHistogramEqualization},
        {Cmd("mn_Tests_SwapRBG"), ImageCommand::kSwapRBG},
        {Cmd("mn_Tests_SwapBGR"), ImageCommand::kSwapBGR},
        {Cmd("mn_Tests_SwapBRG"), ImageCommand::kSwapBRG},
        {Cmd("mn_Tests_SwapGRB"), ImageCommand::kSwapGRB},
        {Cmd("mn_Tests_SwapGBR"), ImageCommand::kSwapGBR},
        {Cmd("mn_Tests_EdgeDetection"), ImageCommand::kEdgeDetection},
    };
    for (const auto& [id, cmd] : image_commands)
        connect(action(id), &QAction::triggered, this, [this, cmd = cmd] { RunImageCommand(cmd); });
}

void TEffectCommands::RunImageCommand(ImageCommand cmd)
{
    if (!page_.PictureShown())
        return;
    emit EditWanted([cmd](TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS* selection) {
        return ::RunImageCommand(doc, chain, cmd, selection);
    });
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
