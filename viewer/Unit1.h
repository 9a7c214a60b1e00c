// The main window: menus, toolbar, status bar, the picture view with its selection
// rectangle and panning, opening and browsing, the slide show, settings and recent files.
#pragma once

#include "dialogs/Dialog_memory.h"
#include "dialogs/logic/Browse.h"
#include "viewer/logic/Command_table.h"
#include "viewer/logic/Image_edits.h"
#include "viewer/logic/Modal_session.h"
#include "viewer/logic/Preload_cache.h"
#include "viewer/logic/Recent_files.h"
#include "viewer/logic/Undo_chain.h"
#include "viewer/logic/Unsaved_edits.h"
#include "viewer/logic/Window_rules.h"
#include "viewer/Picture_page.h"

#include <QMainWindow>
#include <QPixmap>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Dib;
class HELP_VIEWER;
class QAction;
class QLabel;
class QMenu;
class QStackedWidget;
class QTimer;
class QToolBar;
class RECT_OBJ;
class TEffectCommands;
class TMediaPage;
class TIMAGE_INFO;
class TPicturePage;
class TSystemCommands;
class TTextPage;

// What the main window needs from its surroundings.
struct FORM_OPTIONS {
    std::string settings_dir;      // where "RVS.ini" lives
    std::string hand_off_fallback; // the command-line path when "~tmp.xb" could not be written
    // A cache already decoding the start picture while the application starts, or null.
    std::shared_ptr<PRELOAD_CACHE> start_preload;
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // The window works on the document, the selection rectangle and the help it is given.
    TForm1(TIMAGE_INFO& doc, RECT_OBJ& selection, HELP_VIEWER& help, const FORM_OPTIONS& options,
           QWidget* parent = nullptr);
    ~TForm1() override;

    void RefreshCommands();
    void ShowTitle();
    void ShowStatus();
    void LoadRecentFiles();
    void AddRecentFile(const std::string& path);
    void OpenRecentFile(int k);
    void SaveSettings();
    // Opens the document's current path (set by the caller) in place of the picture shown,
    // once the picture may be left (MayLeavePicture); the shown picture stays when it may
    // not or when the open fails.
    void OpenCurrentPath();
    void ShowOpened();
    void ShowDocument();
    void RefreshView();

    // Menu and toolbar handlers.
    void mn_File_OpenClick();
    void mn_Tests_CountColorUsedClick();
    void mn_View_NextFileClick();
    void mn_View_PreviousFileClick();
    void SlideShowTimerTick();

    // Image information and the full-screen viewer (Unit1_info.cpp).
    void mn_Image_InfoClick();
    void mn_View_FullScreenClick();

    // State the view and the commands of other windows read.
    // The picture page: the view, its zoom, pan and selection.
    TPicturePage& PicturePage() const { return *picture_page_; }
    const RECENT_FILES& RecentFiles() const { return recent_; }
    const std::string& SettingsPath() const { return settings_path_; }
    QTimer* SlideShowTimer() const { return slide_timer_; }
    // While a window-modal dialog runs over the window: the slide show, the clipboard poll
    // and the hand-over of preloaded pictures wait.
    const MODAL_SESSION& ModalSession() const { return modal_; }
    QString StatusPanel(int i) const;
    // The action of a command: a menu item, a submenu's entry or a toolbar button.
    QAction* Command(CommandId id) const { return actions_[static_cast<std::size_t>(id)]; }
    // The same by name ("mn_View_NextFile", "tb_Next", ...); a name the command table
    // does not hold ends the program with a message.
    QAction* Command(const QString& name) const;
    // The outer height of everything but the picture view.
    int ChromeHeight() const;
    // Replaces the open dialog of File > Open by a chooser of a path; an empty answer cancels.
    void SetOpenFileChooser(std::function<QString()> chooser) { choose_file_ = std::move(chooser); }
    // Replaces the save dialog of Save As and of a Save without a path by a chooser of a
    // path (saved in the format of its extension); an empty answer cancels.
    void SetSaveFileChooser(std::function<QString()> chooser) { choose_save_file_ = std::move(chooser); }
    // The path the Save As under way proposes (a picture no file holds: "Untitled.png" in
    // the folder of the picture it replaced); "" when it proposes none.
    const QString& SaveProposal() const { return save_proposal_; }

    // ---- keeping edits ----
    // Before the picture shown is left (browsing, opening another file, closing): true to
    // go on. A picture with unsaved edits asks first ("UnsavedEditsBox": Save, Save As...,
    // Discard, Cancel, Cancel the default); Save and Save As go on only when the picture
    // was written.
    bool MayLeavePicture();
    // Save: writes the document's file in its format, or the type of the last Save As;
    // Save As when no file holds the picture or Save does not write its format. True when
    // the picture was written.
    bool SaveDocument();
    // Save As: the save dialog (or the chooser); afterwards the document is the file
    // written. True when the picture was written.
    bool SaveDocumentAs();
    const UNDO_CHAIN& UndoChain() const { return chain_; }
    // The Edit, Image and Colors commands.
    TEffectCommands& EditCommands() const { return *effects_; }

    // ---- the central area: one page at a time of the picture view (with its scroll
    // bars), the media page and the text viewer ----
    // Plays the document's media file: the media page replaces the picture view.
    void StartMedia();
    // Closes the media page's player (a picture is opened).
    void CloseMedia();
    TMediaPage& MediaPage() const { return *media_page_; }

private:
    // Shows one page of the central area; the others give up their room, so that the
    // largest page does not hold the window's minimum size.
    void ShowPage(QWidget* page);
    // The window's outer size for a central area of the given size.
    QSize OuterSizeFor(QSize central);
    QStackedWidget* pages_ = nullptr;
    TMediaPage* media_page_ = nullptr;

public:
    // ---- the Tests menu: batch run, about box, options, screen capture, text viewer ----
    void mn_Help_AboutClick();
    void mn_Tests_BatchConversionClick();
    void mn_Tests_OptionsDialogClick();
    // The text page: a rich-text or plain-text file shown over the picture area.
    TTextPage& TextPage() const { return *text_page_; }

    // ---- view: zoom, Fit to Window, preloading, drag and drop, the wheel (Unit1_view.cpp) ----
    void mn_View_FitToWindowClick();
    PRELOAD_CACHE& Preloads() { return *preload_; }
    // The window started from the command line holds the neighbours' decoding back until
    // it has painted its first picture, so that the worker does not share the processor
    // with the first paint.
    bool event(QEvent* e) override;
    const WINDOW_SIZING& Sizing() const { return sizing_; }

signals:
    // The window closed: the run ends.
    void Closed();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // view area
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    // The next (+1) or previous (-1) entry of the list: a ready preload when there is one,
    // else an open through the browser.
    BROWSE_RESULT StepFile(int direction);
    // The first and the last picture of the directory list (Home, End).
    void ShowFirstFile();
    void ShowLastFile();
    // The slide show's tick, from a ready preload when there is one.
    BROWSE_RESULT SlideShowStep();
    // Asks the preload cache for the neighbours of the shown entry.
    void PreloadNeighbours();
    // The picture page's zoom factor changed from the one `before` maps: the window size
    // and the status bar follow, and the picture point under view position `at` stays
    // there as far as the pan allows.
    void ApplyZoom(const VIEW_MAP& before, QPoint at);
    // Arrows, Page Up, Page Down, Home and End: browsing, or panning a picture larger than
    // the view. False for other keys.
    bool ViewKeyPressed(QKeyEvent* e);
    // The room a fitted picture gets in a window that follows the pictures: the screen's
    // available area less the window frame, the window rules' margin and the menus,
    // toolbar and status bar.
    FIT_ROOM WindowFitRoom() const;
    // The zoom panel follows the picture page's factor.
    void ShowZoomPanel();
    // The open and save dialogs (Unit1_files.cpp): the open dialog's accepted file is opened
    // keeping the shown picture on failure; a good save marks the picture saved.
    void RunOpenDialog();
    bool RunSaveDialog();
    // A successful Save As: the document becomes the file written (path, format, title,
    // directory list, recent files) and Save writes there with save_code.
    void AfterSaveAs(const std::string& path, std::int32_t save_code);
    LeaveAnswer AskLeave();

    void BuildCommands();
    void BindHandlers();
    void RebuildRecentMenu();
    void ShowSaveFailure(const std::string& path, std::int32_t rc);
    void ShowOpenFailure(const std::string& path, std::int32_t rc);
    void ShowBrowseResult(const BROWSE_RESULT& r);
    void ApplyStates();
    // Runs an edit of the picture; shows the result, or its failure in the status bar.
    void RunEdit(const std::function<int()>& edit);
    void ShowEdit();
    bool SaveTo(const QString& path);
    // The Edit, Image and Colors commands: a part of the window's own, whose edits the
    // window runs (RunEdit).
    TEffectCommands* effects_ = nullptr;
    void BindEffectCommands();
    // Scanner, wallpaper and file association: a part of the window's own.
    TSystemCommands* system_ = nullptr;
    void BindSystemCommands();
    // A scanned picture enters as the Paste edit; then Save As is offered.
    void EnterScanned(const Dib& picture);

    TIMAGE_INFO& doc_;
    RECT_OBJ& rect_;
    HELP_VIEWER& help_;
    TPicturePage* picture_page_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QLabel* panels_[3] = {};
    QTimer* slide_timer_ = nullptr;
    std::vector<QAction*> actions_; // one per row of the command table
    std::vector<QMenu*> menus_;     // the menu of each menu row, null for the others
    COMMAND_STATES states_;
    FILE_BROWSER browser_;
    RECENT_FILES recent_;
    std::string settings_path_;
    DIALOG_MEMORY dialog_memory_; // what the open and save dialogs keep within the run
    std::function<QString()> choose_file_;
    std::function<QString()> choose_save_file_;
    QString save_proposal_;
    UNDO_CHAIN chain_;
    MODAL_SESSION modal_;
    std::optional<MODAL_SESSION::SCOPE> modal_run_; // while the window is blocked by a dialog
    void RegisterModalPauses();
    // The Tests menu's state.
    void HideTextViewer();
    // A text has loaded: the text page takes the central area.
    void ShowTextPage();
    TTextPage* text_page_ = nullptr;
    std::string shown_path_; // the file of the picture on screen
    bool toolbar_visible_ = true;
    bool settings_saved_ = false;
    std::int32_t key_count_ = 0;
    // view area
    // The picture page, bound to the window.
    void BuildPicturePage();
    // Resizes the window to an outer size it asks for itself (not the user's size).
    void ResizeWindow(int w, int h);
    void SetUpView(const FORM_OPTIONS& options);
    // Opens path and lists its directory, taking the start picture from the start-up
    // preload when it has it.
    std::int32_t OpenAndListStart(const std::string& path);
    std::shared_ptr<PRELOAD_CACHE> start_preload_;
    bool neighbours_held_ = false; // until the first paint of a window started with a path
    QLabel* zoom_panel_ = nullptr;
    int wheel_steps_ = 0; // eighths of a degree not yet turned into a step
    std::unique_ptr<PRELOAD_CACHE> preload_;
    FITTED_COPY fitted_; // from the last preload taken, until the view takes it
    WINDOW_SIZING sizing_;
    QTimer* preload_timer_ = nullptr; // asks for the neighbours again once resizing stops
};
