#include "viewer/Unit1.h"

#include "base/File_io.h"
#include "core/Imageinfo.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"
#include "platform/Ini_file.h"
#include "viewer/Clipboard_picture.h"
#include "viewer/Effect_commands.h"
#include "viewer/Media_page.h"
#include "viewer/System_commands.h"
#include "viewer/Text_page.h"
#include "viewer/logic/Startup.h"
#include "widgets/Help_window.h"
#include "widgets/Picture_view.h"
#include "widgets/Qt_bridge.h"
#include "widgets/Toolbar_icons.h"
#include "widgets/logic/Rect_object.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QMimeData>
#include <QScreen>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int kSlideShowMs = 5000;
constexpr int kDefaultWidth = 630;
constexpr int kDefaultHeight = 514;
constexpr char kFirstStartText[] = "This file do initial setup for Oxbel application";

bool ClipboardHasBitmap()
{
    const QMimeData* m = QGuiApplication::clipboard()->mimeData();
    return m != nullptr && m->hasImage();
}

} // namespace

// ---- the main window ----

TForm1::TForm1(TIMAGE_INFO& doc, RECT_OBJ& selection, HELP_VIEWER& help, const FORM_OPTIONS& options,
               QWidget* parent)
    : QMainWindow(parent), doc_(doc), rect_(selection), help_(help)
{
    setObjectName("Form1");
    pages_ = new QStackedWidget(this);
    pages_->setObjectName("Pages");
    BuildPicturePage();
    setCentralWidget(pages_);
    BuildCommands();
    BindHandlers();
    for (QLabel*& panel : panels_) {
        panel = new QLabel(this);
        panel->setMinimumWidth(100);
        panel->setFrameShape(QFrame::StyledPanel);
        statusBar()->addWidget(panel);
    }
    resize(kDefaultWidth, kDefaultHeight);

    rect_.Reset();
    setWindowTitle(doc_.GetName());
    toolbar_visible_ = true;
    doc_.edited = 0;
    RefreshCommands();

    settings_path_ = options.settings_dir + "/RVS.ini";
    media_page_ = new TMediaPage(settings_path_, pages_);
    pages_->addWidget(media_page_);
    connect(media_page_, &TMediaPage::LaidOut, this, [this](QSize size) {
        if (!isMaximized() && !isFullScreen() && !sizing_.Kept()) // a window the user sized keeps its size
        {
            const QSize outer = OuterSizeFor(size);
            ResizeWindow(outer.width(), outer.height());
        }
    });
    text_page_ = new TTextPage(pages_);
    pages_->addWidget(text_page_);
    connect(text_page_, &TTextPage::Loaded, this, &TForm1::ShowTextPage);
    connect(text_page_, &TTextPage::StatusText, this, [this](const QString& t) { statusBar()->showMessage(t); });
    connect(text_page_, &TTextPage::NextWanted, this, &TForm1::mn_View_NextFileClick);
    for (const char* name : {"mn_Tests_OpenRtf", "mn_Tools_OpenText"})
        connect(Command(name), &QAction::triggered, text_page_, [this] { text_page_->Open(doc_.open_directory); });
    ShowPage(picture_page_);
    IniFile ini(settings_path_);
    if (ini.Exists()) {
        const int w = ini.ReadInteger("Screen", "Width", kDefaultWidth);
        const int h = ini.ReadInteger("Screen", "Height", kDefaultHeight);
        const int top = ini.ReadInteger("Screen", "Top", 0);
        const int left = ini.ReadInteger("Screen", "Left", 0);
        resize(w, h);
        move(left, top);
        LoadRecentFiles();
    } else if (ini.WriteRaw(std::string(kFirstStartText, sizeof kFirstStartText))) {
        ini.WriteInteger("Screen", "Width", kDefaultWidth);
        ini.WriteInteger("Screen", "Height", kDefaultHeight);
        ini.WriteInteger("Screen", "Top", 0);
        ini.WriteInteger("Screen", "Left", 0);
        help_.ShowContext(kHelpMainWindow);
    }
    RebuildRecentMenu();
    SetUpView(options);

    slide_timer_ = new QTimer(this);
    slide_timer_->setInterval(kSlideShowMs);
    connect(slide_timer_, &QTimer::timeout, this, &TForm1::SlideShowTimerTick);
    RegisterModalPauses();

    const std::string path = TakeHandOff(options.hand_off_fallback);
    if (!path.empty()) {
        doc_.current_path = path;
        OpenCurrentPath();
    }
}

TForm1::~TForm1()
{
    if (!settings_saved_)
        SaveSettings();
    IniFile(settings_path_).WriteInteger("File", "SFD_Ext_Index", 1);
}

void TForm1::BuildCommands()
{
    toolbar_ = addToolBar("ToolBar");
    toolbar_->setObjectName("ToolBar1");
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(16, 16)); // thirteen buttons fit the narrowest window
    actions_.assign(kCommandCount, nullptr);
    menus_.assign(kCommandCount, nullptr);
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        const COMMAND_ROW& row = CommandRow(static_cast<CommandId>(i));
        QMenu* parent = nullptr;
        if (row.parent[0] != '\0')
            parent = menus_[static_cast<std::size_t>(*FindCommand(row.parent))];
        QAction* a = nullptr;
        switch (row.kind) {
        case CommandKind::kMenu: {
            QMenu* menu = parent != nullptr ? parent->addMenu(row.caption) : menuBar()->addMenu(row.caption);
            menus_[i] = menu;
            a = menu->menuAction();
            break;
        }
        case CommandKind::kItem:
            a = new QAction(row.caption, this);
            parent->addAction(a);
            addAction(a); // shortcuts work while the menu holding the item is hidden
            break;
        case CommandKind::kSeparator:
            parent->addSeparator();
            continue;
        case CommandKind::kAlso:
            parent->addAction(actions_[static_cast<std::size_t>(*FindCommand(row.name))]);
            continue;
        case CommandKind::kButton: {
            // The part of the hint before "|" is the tool tip, the rest the status line.
            const QString hint = row.caption;
            a = new QAction(row.icon[0] != '\0' ? ToolbarIcon(row.icon) : QIcon(), hint.section('|', 0, 0), this);
            a->setToolTip(hint.section('|', 0, 0));
            a->setStatusTip(hint.section('|', 1));
            toolbar_->addAction(a);
            break;
        }
        }
        a->setObjectName(row.name);
        if (row.shortcut[0] != '\0')
            a->setShortcut(QKeySequence(row.shortcut));
        a->setCheckable((row.flags & kCmdCheckable) != 0);
        a->setChecked((row.flags & kCmdChecked) != 0);
        a->setVisible((row.flags & kCmdHidden) == 0);
        a->setEnabled((row.flags & kCmdDisabled) == 0);
        actions_[i] = a;
    }
    for (const EXTRA_KEY& k : kExtraKeys) {
        QAction* a = actions_[static_cast<std::size_t>(k.command)];
        a->setShortcuts(a->shortcuts() << QKeySequence(k.shortcut)); // the menu shows the first
    }
}

void TForm1::BindHandlers()
{
    const std::pair<CommandId, void (TForm1::*)()> handlers[] = {
        {Cmd("mn_File_Open"), &TForm1::mn_File_OpenClick},
        {Cmd("mn_Tests_CountColorUsed"), &TForm1::mn_Tests_CountColorUsedClick},
        {Cmd("mn_View_NextFile"), &TForm1::mn_View_NextFileClick},
        {Cmd("mn_View_PreviousFile"), &TForm1::mn_View_PreviousFileClick},
        {Cmd("mn_View_FitToWindow"), &TForm1::mn_View_FitToWindowClick},
        {Cmd("tb_Open"), &TForm1::mn_File_OpenClick},
        {Cmd("tb_Previous"), &TForm1::mn_View_PreviousFileClick},
        {Cmd("tb_Next"), &TForm1::mn_View_NextFileClick},
        // The Tests menu.
        {Cmd("mn_Help_About"), &TForm1::mn_Help_AboutClick},
        {Cmd("tb_About"), &TForm1::mn_Help_AboutClick},
        {Cmd("mn_Tests_BatchConversion"), &TForm1::mn_Tests_BatchConversionClick},
        {Cmd("mn_Tests_OptionsDialog"), &TForm1::mn_Tests_OptionsDialogClick},
        // Image information and full screen.
        {Cmd("mn_Image_Info"), &TForm1::mn_Image_InfoClick},
        {Cmd("tb_Info"), &TForm1::mn_Image_InfoClick},
        {Cmd("mn_View_FullScreen"), &TForm1::mn_View_FullScreenClick},
    };
    for (const auto& [id, handler] : handlers)
        connect(Command(id), &QAction::triggered, this, handler);
    const std::pair<CommandId, std::function<void()>> commands[] = {
        {Cmd("mn_File_Save"), [this] { SaveDocument(); }},
        {Cmd("mn_File_SaveAs"), [this] { SaveDocumentAs(); }},
        {Cmd("tb_SaveAs"), [this] { SaveDocumentAs(); }},
        {Cmd("mn_Tests_SaveDialog"), [this] { SaveDocumentAs(); }},
        // Closing saves the settings (closeEvent), once an edited picture may be left.
        {Cmd("mn_File_Exit"), [this] { close(); }},
        {Cmd("mn_View_ToolBar"),
         [this] {
             toolbar_visible_ = !toolbar_visible_;
             RefreshCommands();
         }},
        {Cmd("mn_Help_Content"), [this] { help_.ShowContext(kHelpMainWindow); }},
        {Cmd("mn_Tests_ContextMenu"), [this] { help_.ShowIndex(); }},
        {Cmd("mn_Tests_SlideShow"), [this] { slide_timer_->start(); }},
        {Cmd("mn_Tests_StopSlideShow"), [this] { slide_timer_->stop(); }},
        // The media page's "Repeated Play" boxes follow.
        {Cmd("mn_Tests_KeepListening"),
         [this] {
             Command(Cmd("mn_Tests_KeepListening"))->setChecked(true);
             media_page_->SetRepeat(true);
         }},
    };
    for (const auto& [id, command] : commands)
        connect(Command(id), &QAction::triggered, this, command);
    BindSystemCommands();
    BindEffectCommands();
    // The picture page's own commands. The keys zoom around the middle of the view.
    TPicturePage* page = picture_page_;
    connect(Command(Cmd("mn_Tests_ZoomIn")), &QAction::triggered, page, [page] { page->ZoomStep(1, page->ViewCentre()); });
    connect(Command(Cmd("mn_Tests_ZoomOut")), &QAction::triggered, page, [page] { page->ZoomStep(-1, page->ViewCentre()); });
    connect(Command(Cmd("mn_View_ActualSize")), &QAction::triggered, page, &TPicturePage::ActualSize);
    connect(Command(Cmd("tb_DrawRect")), &QAction::triggered, page, &TPicturePage::DrawRectTool);
    static_assert(Cmd("mn_File_MRU4") == Cmd("mn_File_MRU0") + RECENT_FILES::kShown - 1,
                  "the recent-file items are consecutive rows");
    for (int k = 0; k < RECENT_FILES::kShown; ++k)
        connect(Command(Cmd("mn_File_MRU0") + k), &QAction::triggered, this, [this, k] { OpenRecentFile(k); });
}

void TForm1::BindEffectCommands()
{
    effects_ = new TEffectCommands(this, doc_, chain_, *picture_page_, modal_, help_);
    connect(effects_, &TEffectCommands::EditWanted, this, [this](const TEffectCommands::EDIT& edit) {
        RunEdit([&] { return edit(doc_, chain_, picture_page_->ActiveSelection()); });
    });
    connect(effects_, &TEffectCommands::StatusText, this, [this](const QString& t) { statusBar()->showMessage(t); });
    connect(effects_, &TEffectCommands::CommandsChanged, this, &TForm1::RefreshCommands);
    connect(effects_, &TEffectCommands::CaptureStarting, this, &TForm1::HideTextViewer);
    effects_->Bind([this](CommandId id) { return Command(id); });
}

void TForm1::BindSystemCommands()
{
    system_ = new TSystemCommands(this, settings_path_);
    connect(system_, &TSystemCommands::StatusText, this, [this](const QString& t) { statusBar()->showMessage(t); });
    connect(system_, &TSystemCommands::Scanned, this, &TForm1::EnterScanned);
    system_->Bind([this](CommandId id) { return Command(id); }, [this] {
        return TSystemCommands::SHOWN{picture_page_->PictureShown() ? doc_.display.get() : nullptr, doc_.current_path};
    });
}

void TForm1::EnterScanned(const Dib& picture)
{
    if (!effects_->PasteDib(picture))
        return;
    RefreshCommands();
    statusBar()->showMessage(QString("Scanned %1 x %2").arg(picture.Width()).arg(picture.Height()));
    if (QMessageBox::question(this, "Acquire", "Save the scanned picture?") == QMessageBox::Yes)
        SaveDocumentAs();
}

QAction* TForm1::Command(const QString& name) const
{
    const std::optional<CommandId> id = FindCommand(name.toStdString());
    if (!id)
        qFatal("no command named %s", qPrintable(name));
    return Command(*id);
}

// ---- commands, title, status ----

void TForm1::RefreshCommands()
{
    COMMAND_INPUTS in;
    in.picture_shown = picture_page_->PictureShown();
    in.selection = picture_page_->SelectionActive();
    in.clipboard_state = effects_->ClipboardState();
    in.clipboard_has_bitmap = ClipboardHasBitmap();
    in.toolbar_visible = toolbar_visible_;
    const REFRESH_RESULT r = UpdateCommandStates(states_, doc_, in);
    effects_->SetClipboardState(r.clipboard_state);
    ApplyStates();
}

void TForm1::ApplyStates()
{
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        const COMMAND_ROW& row = CommandRow(static_cast<CommandId>(i));
        if (row.enabled != nullptr)
            actions_[i]->setEnabled(states_.*row.enabled);
        if (row.checked != nullptr)
            actions_[i]->setChecked(states_.*row.checked);
    }
    toolbar_->setVisible(states_.toolbar_checked);
}

void TForm1::ShowTitle() { setWindowTitle(Q(TitleText(doc_))); }

void TForm1::ShowStatus()
{
    statusBar()->clearMessage();
    const STATUS_TEXTS t = StatusTexts(doc_);
    for (int i = 0; i < 3; ++i)
        panels_[i]->setText(Q(t.panel[i]));
    // The size panel widens to its text once, rather than by 10 pixels at every refresh.
    panels_[0]->setMinimumWidth(std::max(100, panels_[0]->sizeHint().width()));
    if (doc_.state != kPictureOpen)
        picture_page_->View()->hide();
}

QString TForm1::StatusPanel(int i) const { return panels_[i]->text(); }

void TForm1::ShowOpenFailure(const std::string& path, std::int32_t rc)
{
    statusBar()->showMessage(Q(FileNameOf(path)) + ": " + Q(ResultTextWithReason(rc, doc_.context->failure_reason)));
}

void TForm1::RegisterModalPauses()
{
    auto timer = [this](QTimer* t) {
        modal_.Register(
            [t] {
                const bool running = t->isActive();
                t->stop();
                return running;
            },
            [t] { t->start(); });
    };
    timer(slide_timer_);
    timer(effects_->ClipboardTimer());
}


// ---- settings and recent files ----

void TForm1::LoadRecentFiles()
{
    recent_.Load(IniFile(settings_path_));
    RebuildRecentMenu();
}

void TForm1::RebuildRecentMenu()
{
    const std::vector<std::string> captions = recent_.MenuCaptions();
    for (int k = 0; k < RECENT_FILES::kShown; ++k) {
        const bool used = k < static_cast<int>(captions.size());
        // "&" in a path would read as a mnemonic.
        QAction* item = Command(Cmd("mn_File_MRU0") + k);
        item->setText(used ? Q(captions[static_cast<std::size_t>(k)].substr(0, 4)) +
                                 Q(captions[static_cast<std::size_t>(k)].substr(4)).replace("&", "&&")
                           : QString());
        item->setVisible(used);
    }
    Command(Cmd("mn_File_MRU"))->setVisible(!captions.empty());
}

void TForm1::AddRecentFile(const std::string& path)
{
    recent_.Add(path);
    RebuildRecentMenu();
}

void TForm1::OpenRecentFile(int k)
{
    const std::string path = recent_.Entry(k);
    if (path.empty())
        return;
    if (!FileExists(path)) {
        IniFile ini(settings_path_);
        recent_.Forget(k, ini);
        RebuildRecentMenu();
        return;
    }
    if (!MayLeavePicture())
        return;
    picture_page_->DropSelection();
    const std::int32_t rc = browser_.OpenKeepingShown(doc_, path);
    if (rc != kOk) {
        ShowOpenFailure(path, rc);
        return;
    }
    picture_page_->SetPictureShown(doc_.state == kPictureOpen);
    const std::string dir = DirectoryOf(path);
    if (!dir.empty() && doc_.BuildFileList(dir, true)) {
        doc_.FindCurrent();
    } else {
        doc_.file_list.assign(1, path);
        doc_.FindCurrent();
    }
    ShowDocument();
    picture_page_->SetIdle();
    RefreshCommands();
}

void TForm1::SaveSettings()
{
    IniFile ini(settings_path_);
    if (ini.Exists())
        recent_.Save(ini);
    ini.WriteInteger("Screen", "Width", width());
    ini.WriteInteger("Screen", "Height", height());
    ini.WriteInteger("Screen", "Top", y());
    ini.WriteInteger("Screen", "Left", x());
    settings_saved_ = true;
}

void TForm1::closeEvent(QCloseEvent* e)
{
    if (!MayLeavePicture()) {
        e->ignore();
        return;
    }
    if (!settings_saved_)
        SaveSettings();
    QMainWindow::closeEvent(e);
    if (e->isAccepted())
        emit Closed();
}

// ---- opening and browsing ----

void TForm1::OpenCurrentPath()
{
    // The document's current path names the file asked for; until it opens, the shown
    // picture's path stays the document's.
    const std::string requested = doc_.current_path;
    doc_.current_path = shown_path_;
    if (!MayLeavePicture())
        return;
    const std::int32_t rc = OpenAndListStart(requested);
    if (rc == kOk)
        ShowDocument();
    picture_page_->SetIdle();
    RefreshCommands();
    if (rc != kOk)
        ShowOpenFailure(requested, rc);
}

void TForm1::ShowOpened()
{
    if (doc_.state == kNothingOpen)
        return;
    doc_.FindCurrent();
    doc_.edited = 0;
    ShowDocument();
    picture_page_->SetIdle();
    RefreshCommands();
}

void TForm1::ShowDocument()
{
    TIMAGE_INFO& doc = doc_;
    if (doc.picture_present != 0)
        HideTextViewer();
    if (doc.picture_present != 0 && doc.display && doc.state == kPictureOpen) {
        doc.rotation_angle = 0;
        picture_page_->DropSelection();
        picture_page_->SetPictureShown(true);
        CloseMedia();
        picture_page_->View()->show();
        picture_page_->ResetZoom();
        RefreshView();
        chain_.ResetChain(doc);
        shown_path_ = doc.current_path;
        AddRecentFile(doc.current_path);
    } else if (doc.picture_present != 0 && doc.format_code > 100) {
        setWindowTitle("Ravelscope -- " + Q(FileNameOf(doc.current_path)));
        picture_page_->View()->hide();
        picture_page_->SetPictureShown(false);
        chain_.ResetChain(doc);
        shown_path_ = doc.current_path;
        StartMedia();
        AddRecentFile(doc.current_path);
    }
    ShowStatus();
    PreloadNeighbours();
}

void TForm1::RefreshView()
{
    TIMAGE_INFO& doc = doc_;
    if (doc.display) {
        doc.display_width = doc.display->Width();
        doc.display_height = doc.display->Height();
    }
    picture_page_->ShowOutline();
    ShowTitle();
    picture_page_->Prepare(fitted_);
    ShowZoomPanel();
    if (!isMaximized() && !isFullScreen() && !sizing_.Kept()) {
        const QRect screen_rect = screen()->geometry();
        const int frame_w = frameGeometry().width() - width();
        const int frame_h = frameGeometry().height() - height();
        const QSize shown = picture_page_->View()->ShownSize(); // the picture at the zoom factor
        const WINDOW_FIT fit = FitWindow(shown.width(), shown.height(), screen_rect.width(),
                                         screen_rect.height(), frameGeometry().width(),
                                         frameGeometry().height(), ChromeHeight());
        ResizeWindow(fit.width - frame_w, fit.height - frame_h);
        if (fit.move_to_top || fit.move_to_left)
            move(fit.move_to_left ? screen_rect.left() : x(), fit.move_to_top ? screen_rect.top() : y());
    }
    picture_page_->LayOut();
    picture_page_->View()->update();
}

int TForm1::ChromeHeight() const
{
    const int frame_h = frameGeometry().height() - height();
    return frame_h + menuBar()->sizeHint().height() + (toolbar_visible_ ? toolbar_->sizeHint().height() : 0) +
           statusBar()->sizeHint().height() + 2;
}

void TForm1::ShowBrowseResult(const BROWSE_RESULT& r)
{
    if (r.shown) {
        ShowDocument();
        picture_page_->SetIdle();
    } else if (r.rc != kOk) {
        ShowOpenFailure(r.path, r.rc);
    }
}

void TForm1::mn_View_NextFileClick()
{
    if (!MayLeavePicture())
        return;
    ShowBrowseResult(StepFile(1));
    RefreshCommands();
}

void TForm1::mn_View_PreviousFileClick()
{
    if (!MayLeavePicture())
        return;
    ShowBrowseResult(StepFile(-1));
    RefreshCommands();
}

void TForm1::SlideShowTimerTick()
{
    // A dialog open over the window keeps the picture it was opened for (the timer is
    // stopped meanwhile; a tick already on its way ends here).
    if (modal_.Active())
        return;
    // The show waits on a picture with unsaved edits and goes on once they are saved or
    // undone.
    if (HoldsUnsavedEdits(doc_)) {
        statusBar()->showMessage("Slide show paused: the picture has unsaved edits.");
        return;
    }
    const BROWSE_RESULT r = SlideShowStep();
    ShowBrowseResult(r);
    if (doc_.file_list.empty())
        slide_timer_->stop(); // nothing is left to show
    RefreshCommands();
}


void TForm1::mn_File_OpenClick()
{
    if (!choose_file_) {
        RunOpenDialog();
        return;
    }
    const QString chosen = choose_file_();
    if (chosen.isEmpty())
        return;
    doc_.current_path = chosen.toStdString();
    OpenCurrentPath();
}


bool TForm1::SaveDocument()
{
    if (!picture_page_->PictureShown())
        return false;
    const SAVE_PLAN plan = PlanSave(doc_, chain_.File());
    if (plan.ask_name)
        return SaveDocumentAs();
    doc_.last_save_errno = 0;
    std::int32_t rc = PrepareSave(doc_, plan.save_code, plan.path);
    if (rc == kOk)
        rc = doc_.Save();
    if (rc != kOk) {
        ShowSaveFailure(plan.path, rc);
        return false;
    }
    chain_.MarkSaved(doc_);
    doc_.ReadFileFacts();
    statusBar()->showMessage("Saved " + Q(FileNameOf(plan.path)));
    ShowTitle();
    ShowStatus();
    RefreshCommands();
    return true;
}

bool TForm1::SaveDocumentAs()
{
    if (!picture_page_->PictureShown())
        return false;
    save_proposal_.clear();
    if (chain_.Untitled()) {
        // In the folder of the picture this one replaced, else where the files shown are.
        std::string folder = DirectoryOf(chain_.File().path);
        if (folder.empty())
            folder = !doc_.browse_directory.empty() ? doc_.browse_directory : QDir::homePath().toStdString();
        save_proposal_ = Q(ProposedSavePath(folder, [](const std::string& p) { return QFileInfo::exists(Q(p)); }));
    }
    bool saved = false;
    if (!choose_save_file_) {
        saved = RunSaveDialog();
    } else {
        const QString chosen = choose_save_file_();
        saved = !chosen.isEmpty() && SaveTo(chosen);
    }
    save_proposal_.clear();
    return saved;
}

void TForm1::AfterSaveAs(const std::string& path, std::int32_t save_code)
{
    chain_.SavedAs(doc_, DOC_FILE{path, FormatOfSaveCode(save_code), doc_.bits_per_pixel, save_code});
    doc_.ReadFileFacts();
    shown_path_ = path;
    // Browsing goes on from the file written, among the files of its folder.
    const std::string dir = DirectoryOf(path);
    if (!dir.empty() && doc_.BuildFileList(dir, true))
        doc_.FindCurrent();
    AddRecentFile(path);
    statusBar()->showMessage("Saved " + Q(FileNameOf(path)));
    ShowTitle();
    ShowStatus();
    RefreshCommands();
    PreloadNeighbours();
}

bool TForm1::MayLeavePicture()
{
    LeaveStep step = PlanLeave(doc_);
    if (step == LeaveStep::kAsk)
        step = PlanLeave(AskLeave());
    switch (step) {
    case LeaveStep::kGo: return true;
    case LeaveStep::kSaveThenGo: return SaveDocument();
    case LeaveStep::kSaveAsThenGo: return SaveDocumentAs();
    case LeaveStep::kAsk:
    case LeaveStep::kStay: break;
    }
    return false;
}

LeaveAnswer TForm1::AskLeave()
{
    QMessageBox box(QMessageBox::Question, "Ravelscope", Q(LeaveQuestion(doc_)), QMessageBox::NoButton, this);
    box.setObjectName("UnsavedEditsBox");
    box.setInformativeText("Discard leaves the picture without its edits; Cancel keeps both.");
    QPushButton* save = box.addButton(QMessageBox::Save);
    QPushButton* save_as = box.addButton("Save As...", QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QMessageBox::Discard);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    save->setObjectName("SaveButton");
    save_as->setObjectName("SaveAsButton");
    discard->setObjectName("DiscardButton");
    cancel->setObjectName("CancelButton");
    static_assert(kDefaultLeaveAnswer == LeaveAnswer::kCancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
    const QAbstractButton* chosen = box.clickedButton();
    if (chosen == save)
        return LeaveAnswer::kSave;
    if (chosen == save_as)
        return LeaveAnswer::kSaveAs;
    if (chosen == discard)
        return LeaveAnswer::kDiscard;
    return LeaveAnswer::kCancel;
}

// "photo.png: Open File Error. (No space left on device)": the result and the system's
// reason behind it; the file on disk is as it was.
void TForm1::ShowSaveFailure(const std::string& path, std::int32_t rc)
{
    statusBar()->showMessage(Q(FileNameOf(path)) + ": " + Q(ResultTextWithReason(rc, doc_.last_save_errno)));
}

bool TForm1::SaveTo(const QString& path)
{
    const std::string target = path.toStdString();
    std::int32_t code = SaveCodeForExtension(ExtensionOf(target));
    doc_.last_save_errno = 0;
    std::int32_t rc = code == 0 ? kFormatNotSupported : PrepareSave(doc_, code, target);
    if (rc == kOk)
        rc = doc_.Save();
    if (rc != kOk) {
        ShowSaveFailure(target, rc);
        return false;
    }
    AfterSaveAs(target, code);
    return true;
}

// ---- editing ----

void TForm1::RunEdit(const std::function<int()>& edit)
{
    int rc = kOk;
    try {
        rc = edit();
    } catch (const std::bad_alloc&) {
        rc = kMemoryError;
    } catch (...) {
        rc = kUnknownError;
    }
    if (rc != kOk) {
        statusBar()->showMessage(ResultText(rc));
        return;
    }
    ShowEdit();
}

void TForm1::ShowEdit()
{
    picture_page_->SetPictureShown(doc_.state == kPictureOpen && doc_.display != nullptr);
    shown_path_ = doc_.current_path; // "" while a picture no file holds is shown
    if (picture_page_->PictureShown())
        picture_page_->View()->show();
    RefreshView();
    ShowStatus();
    RefreshCommands();
}











void TForm1::mn_Tests_CountColorUsedClick()
{
    if (!picture_page_->PictureShown())
        return;
    const std::int32_t n = doc_.CountColors();
    if (n < 0) {
        statusBar()->showMessage(ResultText(kMemoryError));
        return;
    }
    // Shown without waiting for it, so the window goes on painting.
    auto* box = new QMessageBox(QMessageBox::Information, windowTitle(),
                                QString::asprintf("Image Has %d Unique Colors.\n\n", n), QMessageBox::Ok, this);
    box->setObjectName("CountColorsBox");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}


void TForm1::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    // The window frame is known once the window is on screen: fit the window again to the
    // picture opened during construction.
    if (!e->spontaneous() && picture_page_->PictureShown())
        RefreshView();
}

void TForm1::keyPressEvent(QKeyEvent* e)
{
    if (ViewKeyPressed(e))
        return;
    if (e->key() == Qt::Key_F1 && media_page_->Player() != nullptr) { // the media panel's own topic
        help_.ShowContext(kHelpMedia);
        return;
    }
    const QString text = e->text();
    if (text.isEmpty()) { // not a character key
        QMainWindow::keyPressEvent(e);
        return;
    }
    switch (text[0].unicode()) {
    case 8: mn_View_PreviousFileClick(); break;
    case 27: close(); return;
    case 32:
        if (media_page_->Player() != nullptr) { // Space plays and pauses a media file
            media_page_->Rules().running ? media_page_->Pause() : media_page_->Play();
            return;
        }
        mn_View_NextFileClick();
        break;
    default: break;
    }
    ++key_count_;
    setWindowTitle(Q(KeyTitleText(doc_, key_count_)));
    repaint();
}
