// The main window's open and save dialogs.
#include "viewer/Unit1.h"

#include "core/Imageinfo.h"
#include "dialogs/File_chooser.h"
#include "dialogs/OFDialog.h"
#include "dialogs/Tsdialog.h"
#include "dialogs/logic/Save_dialog_rules.h"
#include "viewer/logic/Window_rules.h"
#include "widgets/Media_window.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>

void TForm1::RunOpenDialog()
{
    dialog_memory_.media_preview = PreviewMedia;
    TOFDialog dialog(dialog_memory_, settings_path_, help_, this,
                     doc_.state != kNothingOpen ? doc_.current_path : std::string());
    if (dialog.Run() != QDialog::Accepted)
        return;
    doc_.current_path = dialog.ChosenPath().toStdString();
    OpenCurrentPath();
}

bool TForm1::RunSaveDialog()
{
    TSaveDlg dialog(doc_, dialog_memory_, settings_path_, help_, this);
    if (!save_proposal_.isEmpty()) {
        // A picture no file holds: the proposed name, in its folder, as the type of its
        // extension.
        const QFileInfo proposed(save_proposal_);
        const QString ext = "." + proposed.suffix().toLower();
        for (std::size_t i = 0; i < SaveTypes().size(); ++i)
            if (ext == QLatin1String(SaveTypes()[i].ext))
                dialog.FilterComboBox1->setCurrentIndex(static_cast<int>(i));
        dialog.Chooser().SetDirectory(proposed.absolutePath());
        dialog.Edit1->setText(proposed.fileName());
    }
    if (dialog.Run() != QDialog::Accepted)
        return false;
    AfterSaveAs(dialog.SavedPath().toStdString(), doc_.save_code);
    return true;
}
