// The open dialog with preview: a click on a file decodes it into a document the dialog
// owns and shows a thumbnail with its width, height, depth and size (or, for audio and
// video, the media preview). OK, or a double click after a good preview, remembers the
// type and directory in the settings and hands the chosen path back; the main window then
// opens it with the open that keeps the shown picture on failure. Cancel changes nothing.
#pragma once

#include "dialogs/Dialog_memory.h"
#include "widgets/Modal_dialog.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class HELP_VIEWER;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidgetItem;
class QPushButton;
class TFileChooser;
class TIMAGE_INFO;
class TPictureView;

class TOFDialog : public TModalDialog {
    Q_OBJECT
public:
    static constexpr std::int32_t kHelpContext = 25;

    // memory: what the open dialogs of this run remember (the last OK's directory and type,
    // the media preview); settings_path: the settings file "RVS.ini"; shown_picture: the
    // path of the picture the main window shows ("" for none). The dialog starts in that
    // picture's directory, else in the one the last OK accepted, else in the one the
    // settings file remembers, else in the home directory; never in the working directory.
    // The type list starts on the type the settings file remembers, else on "All
    // pictures", its first entry.
    TOFDialog(DIALOG_MEMORY& memory, const std::string& settings_path, HELP_VIEWER& help, QWidget* parent = nullptr,
              const std::string& shown_picture = {});
    ~TOFDialog() override;

    // The file accepted by OK.
    const QString& ChosenPath() const { return chosen_; }
    // The document the previews decode into.
    const TIMAGE_INFO& PreviewDocument() const { return *preview_doc_; }
    TFileChooser& Chooser() const { return *chooser_; }

    // Event handlers under the form's names.
    void FileListBox1Click();
    void FileListBox1DblClick();
    void Bttn_OKClick();
    void Bttn_CancelClick();
    void DirectoryListBox1Change(const QString& dir);
    void FilterComboBox1Change(int index);
    void PreviewClick();
    void Edit1Enter();

    QComboBox* FilterComboBox1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Bttn_OK = nullptr;
    QPushButton* Cancel_BitBtn = nullptr;
    QCheckBox* Preview = nullptr;
    TPictureView* Image1 = nullptr;
    QWidget* Panel1 = nullptr;
    QLabel* Lb_Width = nullptr;
    QLabel* Lb_Height = nullptr;
    QLabel* Lb_colors = nullptr;
    QLabel* Lb_size = nullptr;

private:
    // Decodes path into the dialog's document and shows it; true when OK may accept it.
    bool PreviewFile(const QString& path);
    void MediaPreviewOf(const QString& path);
    void ClearMediaPreview();
    void ShowInformationLines();
    void SetLines(const QString& w, const QString& h, const QString& c, const QString& s);

    DIALOG_MEMORY& memory_;
    std::string settings_path_;
    std::unique_ptr<TIMAGE_INFO> preview_doc_;
    TFileChooser* chooser_ = nullptr;
    QString previewed_; // the file of the last good preview, "" when none
    QString chosen_;
    bool picture_shown_ = false;
    bool fitted_ = false;
};
