// The main window's Tests menu (and the Tools menu's copies of its items): the batch run,
// the about box, the options dialog, and showing the text page.
#include "core/Imageinfo.h"
#include "dialogs/About_form.h"
#include "dialogs/Dec_test_field.h"
#include "dialogs/Options_form.h"
#include "viewer/Text_page.h"
#include "viewer/Unit1.h"
#include "widgets/Picture_view.h"

#include <QStackedWidget>

#include <algorithm>

namespace {

constexpr int kTextMinWidth = 630;
constexpr int kTextMinHeight = 514;

} // namespace

void TForm1::mn_Help_AboutClick()
{
    TAboutFrom box(doc_, help_, settings_path_, this);
    box.Run();
}

void TForm1::mn_Tests_OptionsDialogClick()
{
    TOptionsForm form(help_, this);
    form.Run();
}


void TForm1::mn_Tests_BatchConversionClick()
{
    // The run loads its files into the document.
    if (!MayLeavePicture())
        return;
    bool opened = false;
    {
        TDecTestField form(doc_, help_, settings_path_, this);
        form.Run();
        opened = form.OpenedFile();
    }
    // The dialog's loads changed the document: show it as an open does.
    if (opened)
        ShowOpened();
}

// ---- the text viewer ----

void TForm1::ShowTextPage()
{
    picture_page_->DropSelection();
    CloseMedia();
    picture_page_->View()->hide();
    // A window fitted to a small picture grows to the default size to give the text room.
    if (!isMaximized() && !isFullScreen() && (width() < kTextMinWidth || height() < kTextMinHeight))
        resize(std::max(width(), kTextMinWidth), std::max(height(), kTextMinHeight));
    ShowPage(text_page_);
    text_page_->setFocus();
}

void TForm1::HideTextViewer()
{
    if (pages_->currentWidget() == text_page_) {
        ShowPage(picture_page_);
        if (picture_page_->PictureShown())
            picture_page_->View()->show();
    }
}
