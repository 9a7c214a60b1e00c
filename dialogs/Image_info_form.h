// The image information dialog: what the document knows about the open picture (file
// name, format, compression, size in pixels and bytes, file date, colour depth, load
// time), filled once when the dialog is made. It changes nothing in the document. Its
// place on the screen is kept under "ImageInfoDlg" in the settings file.
#pragma once

#include "widgets/Modal_dialog.h"

#include <string>

class HELP_VIEWER;
class QLabel;
class QPushButton;
class TIMAGE_INFO;

class TImageInfoForm : public TModalDialog {
    Q_OBJECT
public:
    // settings_path names "RVS.ini"; the position is read here and written when the
    // dialog is destroyed.
    TImageInfoForm(const TIMAGE_INFO& doc, HELP_VIEWER& help, std::string settings_path, QWidget* parent = nullptr);
    ~TImageInfoForm() override;

    void BitBtn_OKClick();
    // The value label of a row by its name ("lb_filesize_info", ...), or null.
    QLabel* Value(const char* name) const;

private:
    std::string settings_path_;
    QPushButton* ok_ = nullptr;
};
