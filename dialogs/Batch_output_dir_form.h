// The batch dialog's output-directory chooser ("Batch Conversion :: Browse For Output
// Directory"): a drive box, a folder list and an up-one-level button. It starts at the
// directory it is given; "OK" hands the folder list's directory to the document's batch
// output directory (never an empty one), "Cancel" empties it. The process's working
// directory is never changed.
#pragma once

#include "widgets/Modal_dialog.h"

#include <QString>

class HELP_VIEWER;
class QPushButton;
class TDirectoryList;
class TDriveBox;
class TIMAGE_INFO;

class TBatchOutputDirForm : public TModalDialog {
    Q_OBJECT
public:
    TBatchOutputDirForm(TIMAGE_INFO& doc, HELP_VIEWER& help, const QString& start_dir, QWidget* parent = nullptr);

    void Bttn_OKClick();
    void CancelClick();
    void UpDir_BitBtnClick();

    TDirectoryList* Folders() const { return folders_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* UpButton() const { return up_; }

protected:
    void reject() override;

private:
    TIMAGE_INFO& doc_;
    TDriveBox* drives_ = nullptr;
    TDirectoryList* folders_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
