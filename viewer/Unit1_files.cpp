// The main window's open and save dialogs.
#include "viewer/Unit1.h"

#include "core/Imageinfo.h"
#include "dialogs/OFDialog.h"
#include "dialogs/Tsdialog.h"
#include "viewer/Media_window.h"
#include "viewer/logic/Window_rules.h"

#include <QStatusBar>

void TForm1::RunOpenDialog()
{
    TOFDialog::SetMediaPreview(PreviewMedia);
    TOFDialog dialog(settings_path_, help_, this, doc_.state != kNothingOpen ? doc_.current_path : std::string());
    if (dialog.Run() != QDialog::Accepted)
        return;
    doc_.current_path = dialog.ChosenPath().toStdString();
    OpenCurrentPath();
}

void TForm1::RunSaveDialog()
{
    TSaveDlg dialog(doc_, settings_path_, help_, this);
    if (dialog.Run() != QDialog::Accepted)
        return;
    chain_.MarkSaved(doc_);
    statusBar()->showMessage("Saved " + QString::fromStdString(FileNameOf(dialog.SavedPath().toStdString())));
    ShowTitle();
    RefreshCommands();
}
