// The save dialog: a directory, a file name and one of fifteen output types, with a quality
// for JPEG, WebP, AVIF and JPEG XL (kept in the settings file; the document's save quality,
// which the Save command uses too). The name is prefilled from the picture and its extension follows the chosen
// type. OK writes a name that ends in a type's extension as that type, forces the chosen
// type's extension onto any other name's file part, asks before overwriting, prepares the
// document through PrepareSave and calls the save dispatcher (which replaces an old file
// only when the writer succeeded). A failed save shows the result's text and keeps the
// dialog open with the document's edited flag as it was; a good one closes it.
#pragma once

#include "dialogs/Dialog_memory.h"
#include "widgets/Modal_dialog.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class HELP_VIEWER;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TFileChooser;
class TIMAGE_INFO;

class TSaveDlg : public TModalDialog {
    Q_OBJECT
public:
    static constexpr std::int32_t kHelpContext = 38;

    // memory: what the save dialogs of this run remember (the last OK's directory and type);
    // settings_path: the settings file "RVS.ini".
    TSaveDlg(TIMAGE_INFO& doc, DIALOG_MEMORY& memory, const std::string& settings_path, HELP_VIEWER& help,
             QWidget* parent = nullptr);

    // The file the accepted save wrote.
    const QString& SavedPath() const { return saved_; }
    TFileChooser& Chooser() const { return *chooser_; }
    // The overwrite question; true to overwrite. A message box by default.
    void SetOverwriteQuestion(std::function<bool(const QString& path)> ask) { ask_ = std::move(ask); }

    // Event handlers under the form's names.
    void Bttn_OKClick();
    void Cancel_BitBtnClick();
    void FilterComboBox1Change(int index);
    void FileListBox1Click();

    QLineEdit* Edit1 = nullptr;
    QComboBox* FilterComboBox1 = nullptr;
    QPushButton* Bttn_OK = nullptr;
    QPushButton* Cancel_BitBtn = nullptr;
    QLabel* Lb_Quality = nullptr;
    QSpinBox* SpinQuality = nullptr; // 1 to 100; shown for the lossy types only
    QLabel* Lb_Result = nullptr;     // why the last save failed

private:
    bool AskOverwrite(const QString& path);
    void ShowTypeMask(std::int32_t index);
    void ShowQuality(std::int32_t index);

    TIMAGE_INFO& doc_;
    DIALOG_MEMORY& memory_;
    std::string settings_path_;
    TFileChooser* chooser_ = nullptr;
    std::function<bool(const QString&)> ask_;
    QString saved_;
};
