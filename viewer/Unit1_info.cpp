// The main window's Image > Info and View > Full Screen.
#include "core/Imageinfo.h"
#include "dialogs/Fs_form.h"
#include "dialogs/Image_info_form.h"
#include "viewer/Media_page.h"
#include "viewer/Unit1.h"
#include "widgets/Media_window.h"

void TForm1::mn_Image_InfoClick()
{
    if (!picture_page_->PictureShown())
        return;
    TImageInfoForm form(doc_, help_, settings_path_, this);
    form.Run();
}

void TForm1::mn_View_FullScreenClick()
{
    if (doc_.picture_present == 0)
        return;
    bool stepped = false;
    {
        TFSForm form(doc_, help_, settings_path_, this);
        form.SetMediaView([&form](QWidget* panel, const TIMAGE_INFO& doc) {
            auto* player = TMediaWindow::Create(panel, QString::fromStdString(doc.current_path));
            player->setGeometry(panel->rect());
            QObject::connect(player, &TMediaWindow::FrameSizeChanged, &form, [&form, player](QSize size) {
                form.PlaceMediaPanel(size.width(), size.height());
                player->setGeometry(form.MediaPanel()->rect());
            });
            player->show();
            player->Play();
        });
        // One player for the program: the panel's pauses while the viewer plays.
        if (media_page_->Player() != nullptr && doc_.format_code > 100)
            media_page_->Pause();
        form.Run();
        stepped = form.Stepped();
    }
    // The viewer hands the document back as it last showed it: a picture stepped to is
    // shown as a fresh open (no undo step); without a step nothing changed here.
    if (stepped) {
        ShowDocument();
        picture_page_->SetIdle();
    }
    RefreshCommands();
}
