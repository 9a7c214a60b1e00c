// The batch dialog ("DecTestField"): a decode-timing run over the pictures of one
// directory. The user picks an input directory and a file in it, sees its thumbnail, and
// "OK" loads up to 1000 files of the document's directory list from that file on (wrapping
// to the first after the last), logging each file's name and its load time with the
// running average. The run is stepped by a timer so the window stays live: a progress bar
// and "Stop" go with it, and it ends with a per-format summary that can be saved as CSV.
// The output directory, output type and queue are recorded only; a run writes no files,
// and "Start", "Del", "Preview Image" and the input-directory box have no action.
//
// Every load goes through the open that keeps the shown picture, so a file that fails
// leaves the document on the picture before it. OpenedFile() tells the main window that
// the document changed and is to be shown again when the dialog has closed.
#pragma once

#include "dialogs/logic/Batch_dialog_rules.h"
#include "dialogs/logic/Decode_run.h"
#include "widgets/Modal_dialog.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class HELP_VIEWER;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class TDirectoryList;
class TDriveBox;
class TIMAGE_INFO;

class TDecTestField : public TModalDialog {
    Q_OBJECT
public:
    // settings_path: the settings file whose "BatchConv" keys hold the two directories.
    TDecTestField(TIMAGE_INFO& doc, HELP_VIEWER& help, std::string settings_path, QWidget* parent = nullptr);
    // Writes "ReadDir" and "SaveDir" of "BatchConv".
    ~TDecTestField() override;

    void DirectoryListBox1Change(const QString& dir);
    void FileListBox1Click();
    void Bttn_OKClick();
    void StopClick();
    void BitBtn3Click();
    void BitBtn4Click();
    void DirectoryListBox2Click();
    void FilterComboBox_EncoderChange(int index);
    void SaveCsvClick();

    bool Running() const;
    // True once a preview or a run has opened a file into the document.
    bool OpenedFile() const { return opened_; }
    // The last run, or null before the first.
    const DECODE_RUN* LastRun() const { return run_.get(); }
    const std::vector<FORMAT_SUMMARY>& Summary() const { return summary_; }
    QString LogText() const;

    // The clock of the runs (the system's steady clock by default); not owned.
    void SetRunClock(RUN_CLOCK* clock) { clock_ = clock; }
    // The loads of a run (1000 by default).
    void SetRunLoads(std::int32_t n) { run_loads_ = n; }
    // Where "Save CSV..." writes; an empty answer cancels. A file dialog by default.
    void SetCsvFileChooser(std::function<QString()> chooser) { choose_csv_ = std::move(chooser); }

    TDirectoryList* InputDirs() const { return dirs_in_; }
    TDirectoryList* OutputDirs() const { return dirs_out_; }
    QListWidget* Files() const { return files_; }
    QLabel* Thumbnail() const { return image1_; }
    QLabel* NoPreview() const { return no_preview_; }
    QWidget* ThumbBox() const { return thumb_box_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* StopButton() const { return stop_; }
    QPushButton* QueueButton() const { return queue_; }
    QPushButton* OutputDirButton() const { return browse_out_; }
    QPushButton* SaveCsvButton() const { return save_csv_; }
    QLineEdit* OutputDirEdit() const { return edit1_; }
    QLineEdit* ExtEdit() const { return edit3_; }
    QComboBox* OutputTypes() const { return types_out_; }
    QListWidget* Queue() const { return queue_list_; }
    QProgressBar* Progress() const { return progress_; }
    QTableWidget* SummaryTable() const { return summary_table_; }
    QLabel* RunStatus() const { return run_status_; }

protected:
    void reject() override;

private:
    void FillFiles();
    // Shows the document's picture as the thumbnail; enable_ok as the preview does.
    bool ShowThumbnail(bool enable_ok);
    void StepRun();
    void EndRun();
    void AppendNewLogLines();
    void SetInputEnabled(bool on);
    QString SelectedPath() const;

    TIMAGE_INFO& doc_;
    HELP_VIEWER& help_;
    std::string settings_path_;
    KEEPING_RUN_OPENER opener_;
    STEADY_RUN_CLOCK steady_;
    RUN_CLOCK* clock_ = &steady_;
    std::int32_t run_loads_ = kRunLoads;
    std::unique_ptr<DECODE_RUN> run_;
    std::size_t logged_ = 0; // lines of the run's log already shown
    std::vector<FORMAT_SUMMARY> summary_;
    std::vector<FILTER_ENTRY> output_types_;
    std::function<QString()> choose_csv_;
    bool opened_ = false;
    std::vector<std::string> saved_list_; // the document's browsing when the dialog opened
    std::int32_t saved_index_ = -1;
    std::string saved_browse_;

    TDriveBox* drives_in_ = nullptr;
    TDirectoryList* dirs_in_ = nullptr;
    QListWidget* files_ = nullptr;
    QLineEdit* file_edit_ = nullptr;
    QComboBox* types_in_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* queue_ = nullptr;
    QPushButton* del_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* save_csv_ = nullptr;
    QListWidget* queue_list_ = nullptr;
    QPlainTextEdit* queue_text_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QWidget* thumb_box_ = nullptr;
    QLabel* image1_ = nullptr;
    QLabel* no_preview_ = nullptr;
    QLineEdit* edit1_ = nullptr;
    QPushButton* browse_out_ = nullptr;
    TDirectoryList* dirs_out_ = nullptr;
    QComboBox* types_out_ = nullptr;
    QLineEdit* edit3_ = nullptr;
    QCheckBox* preview_ = nullptr;
    QLineEdit* edit2_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTableWidget* summary_table_ = nullptr;
    QLabel* run_status_ = nullptr;
    QTimer* step_timer_ = nullptr;
};
