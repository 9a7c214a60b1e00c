#include "viewer/Unit1.h"

#include "core/Imageinfo.h"
#include "core/Result_codes.h"
#include "platform/Ini_file.h"
#include "viewer/Help_window.h"
#include "viewer/Toolbar_icons.h"
#include "viewer/logic/Rect_object.h"
#include "viewer/logic/Startup.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kSlideShowMs = 5000;
constexpr int kClipboardPollMs = 1000;
constexpr int kDefaultWidth = 630;
constexpr int kDefaultHeight = 514;
constexpr char kFirstStartText[] = "This file do initial setup for Oxbel application";

QString Q(const std::string& s) { return QString::fromStdString(s); }

bool ClipboardHasBitmap()
{
    const QMimeData* m = QGuiApplication::clipboard()->mimeData();
    return m != nullptr && m->hasImage();
}

// The display bitmap as a QImage over the same memory; a null image when there is none.
QImage DisplayImage()
{
    if (pImageInfo == nullptr || !pImageInfo->display || pImageInfo->display->Empty() ||
        pImageInfo->display->PixelFormat() != 24)
        return {};
    Dib& d = *pImageInfo->display;
    return QImage(d.Bits(), d.Width(), d.Height(), static_cast<qsizetype>(d.Stride()), QImage::Format_BGR888);
}

} // namespace

// ---- the picture view ----

TPictureView::TPictureView(TForm1* form) : QWidget(form), form_(form)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QPoint TPictureView::ToPicture(const QPoint& p) const { return p - QPoint(1, 1) + form_->PaintedPan(); }

void TPictureView::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    const QRect area = e->rect();
    p.fillRect(area, palette().window());
    const QImage img = form_->PictureShown() ? DisplayImage() : QImage();
    if (img.isNull())
        return;
    const QPoint origin = QPoint(1, 1) - form_->PaintedPan();
    // Only the part of the picture inside the area being painted is drawn.
    const QRect target = area.intersected(QRect(origin, img.size()));
    if (!target.isEmpty())
        p.drawImage(target, img, target.translated(-origin));
    if (rect_obj.drawn) {
        QPolygon outline;
        for (const RECT_POINT& c : rect_obj.corners)
            outline << QPoint(c.x, c.y) + origin;
        p.setBrush(Qt::NoBrush);
        // A light line under a dark broken one stays visible on any picture.
        p.setPen(QPen(Qt::white, 1));
        p.drawPolygon(outline);
        p.setPen(QPen(Qt::black, 1, rect_obj.style == 1 ? Qt::DotLine : Qt::DashLine));
        p.drawPolygon(outline);
    }
}

void TPictureView::mousePressEvent(QMouseEvent* e) { form_->Image1MouseDown(e->button(), e->position().toPoint()); }
void TPictureView::mouseMoveEvent(QMouseEvent* e) { form_->Image1MouseMove(e->buttons(), e->position().toPoint()); }
void TPictureView::mouseReleaseEvent(QMouseEvent* e) { form_->Image1MouseUp(e->button(), e->position().toPoint()); }

// ---- the main window ----

TForm1::TForm1(const FORM_OPTIONS& options, QWidget* parent)
    : QMainWindow(parent), exe_dir_(options.exe_dir)
{
    setObjectName("Form1");
    SetHelpDirectory(exe_dir_);
    view_ = new TPictureView(this);
    setCentralWidget(view_);
    BuildMenus();
    BuildToolBar();
    for (QLabel*& panel : panels_) {
        panel = new QLabel(this);
        panel->setMinimumWidth(100);
        panel->setFrameShape(QFrame::StyledPanel);
        statusBar()->addWidget(panel);
    }
    resize(kDefaultWidth, kDefaultHeight);

    selection_mode_ = kSelectIdle;
    rect_obj.Reset();
    setWindowTitle(pImageInfo->GetName());
    picture_shown_ = false;
    toolbar_visible_ = true;
    pImageInfo->edited = 0;
    RefreshCommands();

    settings_path_ = options.settings_dir + "/RVS.ini";
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
        ShowHelpContext(kHelpMainWindow);
    }
    RebuildRecentMenu();

    slide_timer_ = new QTimer(this);
    slide_timer_->setInterval(kSlideShowMs);
    connect(slide_timer_, &QTimer::timeout, this, &TForm1::SlideShowTimerTick);
    clipboard_timer_ = new QTimer(this);
    clipboard_timer_->setInterval(kClipboardPollMs);
    connect(clipboard_timer_, &QTimer::timeout, this, &TForm1::ClipboardTimerTick);
    clipboard_timer_->start();
    // Besides the poll, a change of the clipboard is looked at when it happens (rather than
    // at every paint, which would ask the X server at every picture shown).
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TForm1::ClipboardTimerTick);

    const std::string path = TakeHandOff(options.hand_off_fallback);
    if (!path.empty()) {
        pImageInfo->current_path = path;
        OpenCurrentPath();
    }
}

TForm1::~TForm1()
{
    if (!settings_saved_)
        SaveSettings();
    IniFile(settings_path_).WriteInteger("File", "SFD_Ext_Index", 1);
}

QAction* TForm1::AddItem(QMenu* menu, const QString& name, const QString& caption, const QKeySequence& key,
                         void (TForm1::*handler)())
{
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    if (!key.isEmpty())
        a->setShortcut(key);
    if (handler != nullptr)
        connect(a, &QAction::triggered, this, handler);
    if (menu != nullptr)
        menu->addAction(a);
    addAction(a); // shortcuts work while the menu holding the item is hidden
    commands_[name] = a;
    return a;
}

void TForm1::BuildMenus()
{
    QMenuBar* bar = menuBar();
    file_menu_ = bar->addMenu("&File");
    AddItem(file_menu_, "mn_File_Open", "Open...", QKeySequence("Ctrl+O"), &TForm1::mn_File_OpenClick);
    AddItem(file_menu_, "mn_File_Save", "Save", QKeySequence("Ctrl+S"), &TForm1::mn_File_SaveClick);
    AddItem(file_menu_, "mn_File_SaveAs", "Save As...", QKeySequence("Ctrl+A"));
    AddItem(file_menu_, "mn_File_Print", "Print...", QKeySequence("Ctrl+P"));
    recent_menu_ = file_menu_->addMenu("&MRU");
    recent_menu_->menuAction()->setObjectName("mn_File_MRU");
    commands_["mn_File_MRU"] = recent_menu_->menuAction();
    for (int k = 0; k < RECENT_FILES::kShown; ++k) {
        recent_items_[k] = AddItem(recent_menu_, QString("mn_File_MRU%1").arg(k), QString());
        connect(recent_items_[k], &QAction::triggered, this, [this, k] { OpenRecentFile(k); });
    }
    file_menu_->addSeparator();
    AddItem(file_menu_, "mn_File_Exit", "Exit", QKeySequence("Ctrl+Q"), &TForm1::mn_File_ExitClick);

    QMenu* edit = bar->addMenu("&Edit");
    AddItem(edit, "mn_Edit_Redo", "Redo", QKeySequence("Ctrl+Alt+Z"));
    AddItem(edit, "mn_Edit_Undo", "Undo", QKeySequence("Ctrl+Z"));
    edit->addSeparator();
    AddItem(edit, "mn_Edit_Copy", "Copy", QKeySequence("Ctrl+C"));
    AddItem(edit, "mn_Edit_Cut", "Cut", QKeySequence("Ctrl+X"));
    AddItem(edit, "mn_Edit_Paste", "Paste", QKeySequence("Ctrl+V"));
    AddItem(edit, "mn_Edit_Delete", "Delete", QKeySequence(Qt::Key_Delete));
    AddItem(edit, "mn_Edit_Crop", "Crop", QKeySequence("Ctrl+Y"));
    edit->addSeparator();
    AddItem(edit, "mn_Edit_ClearClipboard", "Clear Clipboard");

    QMenu* image = bar->addMenu("&Image");
    AddItem(image, "mn_Image_Info", "Info", QKeySequence("Shift+I"));
    image->addSeparator();
    AddItem(image, "mn_Image_VerticalFlip", "Vertical &Flip", QKeySequence("Ctrl+I"));
    AddItem(image, "mn_Image_Mirror", "Mirror", QKeySequence("Ctrl+M"));
    AddItem(image, "mn_Image_RotateLeft", "Rotate Left", QKeySequence("Ctrl+L"));
    AddItem(image, "mn_Image_RotateRight", "Rotate Right", QKeySequence("Ctrl+R"));
    AddItem(image, "mn_Image_Rotate", "Rotate...");
    QMenu* effects = image->addMenu("Effects");
    AddItem(effects, "mn_Image_Explosion", "Explosion...");
    AddItem(effects, "mn_Image_Pixelate", "Pixelate...");
    AddItem(effects, "mn_Image_Solarize", "Solarize...");

    QMenu* colors = bar->addMenu("&Colors");
    AddItem(colors, "mn_Colors_Negative", "Negative");
    AddItem(colors, "mn_Colors_GrayScale", "Gray Scale");
    AddItem(colors, "mn_Colors_Gamma", "Gammar Correction...");
    AddItem(colors, "mn_Colors_ReduceColors", "Reduce Colors (To 256 colors)");
    QMenu* histogram = colors->addMenu("Histogram");
    AddItem(histogram, "mn_Colors_Histogram", "Histogram...");
    AddItem(histogram, "mn_Colors_HistogramEqualization", "Histogram Equalization");

    QMenu* view = bar->addMenu("&View");
    AddItem(view, "mn_View_FullScreen", "Full Screen...", QKeySequence(Qt::Key_F));
    view->addSeparator();
    AddItem(view, "mn_View_NextFile", "Next File", QKeySequence(Qt::Key_N), &TForm1::mn_View_NextFileClick);
    AddItem(view, "mn_View_PreviousFile", "Previous File", QKeySequence(Qt::Key_P),
            &TForm1::mn_View_PreviousFileClick);
    view->addSeparator();
    QAction* toolbar = AddItem(view, "mn_View_ToolBar", "ToolBar", {}, &TForm1::mn_View_ToolBarClick);
    toolbar->setCheckable(true);
    toolbar->setChecked(true);

    QMenu* help = bar->addMenu("&Help");
    AddItem(help, "mn_Help_About", "&About...");
    AddItem(help, "mn_Help_Content", "&Content", {}, &TForm1::mn_Help_ContentClick);

    // The developer menu: laid out hidden. Its slide-show items are also in the View menu.
    tests_menu_ = bar->addMenu("Tests");
    tests_menu_->menuAction()->setObjectName("mn_Tests");
    commands_["mn_Tests"] = tests_menu_->menuAction();
    tests_menu_->menuAction()->setVisible(false);
    QMenu* dev1 = tests_menu_->addMenu("Developing1");
    AddItem(dev1, "mn_Tests_FilesAssociation", "Files Association...");
    AddItem(dev1, "mn_Tests_Help", "Help");
    QMenu* swap = dev1->addMenu("Swap Color RGB");
    swap->menuAction()->setObjectName("mn_Tests_SwapColorRGB");
    commands_["mn_Tests_SwapColorRGB"] = swap->menuAction();
    AddItem(swap, "mn_Tests_SwapRBG", "RGB --> RBG");
    AddItem(swap, "mn_Tests_SwapBGR", "RGB --> BGR");
    AddItem(swap, "mn_Tests_SwapBRG", "RGB --> BRG");
    AddItem(swap, "mn_Tests_SwapGRB", "RGB --> GRB");
    AddItem(swap, "mn_Tests_SwapGBR", "RGB --> GBR");
    AddItem(dev1, "mn_Tests_BatchConversion", "Batch Conversion...");
    AddItem(dev1, "mn_Tests_Password", "password...");
    QAction* keep = AddItem(dev1, "mn_Tests_KeepListening", "Keep Listenning to Music While Viewing", {},
                            &TForm1::mn_Tests_KeepListeningClick);
    keep->setCheckable(true);
    keep->setChecked(true);
    AddItem(dev1, "mn_Tests_ScreenCapture", "Screen Capture...", QKeySequence(Qt::Key_F5));
    AddItem(dev1, "mn_Tests_CountColorUsed", "Count Color Used");
    AddItem(dev1, "mn_Tests_EdgeDetection", "Edge Detection");
    QMenu* dev2 = tests_menu_->addMenu("Developing2");
    for (const char* caption : {"Scroll Down", "Record Image1", "Test Drag", "Test Drag 1", "test gif",
                                "View Next SHort Cut", "search path", "test quantization", "test decompress"})
        AddItem(dev2, QString("mn_Tests_") + QString(caption).remove(' '), caption);
    QMenu* capture = dev2->addMenu("ScreenCapture");
    AddItem(capture, "mn_Tests_CaptureScreen", "Screen");
    AddItem(capture, "mn_Tests_CaptureClient", "Client");
    AddItem(capture, "mn_Tests_CaptureDeskTop", "DeskTop");
    QMenu* dev3 = tests_menu_->addMenu("Developing3");
    AddItem(dev3, "mn_Tests_RectStyle", "rect style = flickle");
    AddItem(dev3, "mn_Tests_ZoomIn", "Zoom In (10%)", QKeySequence(Qt::Key_Plus), &TForm1::mn_Tests_ZoomInClick);
    AddItem(dev3, "mn_Tests_ZoomOut", "Zoom Out (10%)", QKeySequence(Qt::Key_Minus), &TForm1::mn_Tests_ZoomOutClick);
    AddItem(dev3, "mn_Tests_SaveDialog", "Save Dialog");
    AddItem(dev3, "mn_Tests_Options", "&Options");
    AddItem(dev3, "mn_Tests_LoadMidi", "Load MIDI...");
    AddItem(dev3, "mn_Tests_PlayMidi", "Play MIDI");
    AddItem(dev3, "mn_Tests_MciOpen", "MCI Open");
    AddItem(dev3, "mn_Tests_OptionsDialog", "Options...");
    AddItem(dev3, "mn_Tests_ContextMenu", "Context Menu", {}, &TForm1::mn_Tests_ContextMenuClick);
    QMenu* wallpaper = dev3->addMenu("Wall Paper");
    wallpaper->menuAction()->setObjectName("mn_Tests_WallPaper");
    commands_["mn_Tests_WallPaper"] = wallpaper->menuAction();
    AddItem(wallpaper, "mn_Tests_WallPaperCenter", "Center");
    AddItem(wallpaper, "mn_Tests_WallPaperTile", "Tile");
    AddItem(wallpaper, "mn_Tests_WallPaperStretch", "Stretch");
    QMenu* twain = dev3->addMenu("TWAIN");
    AddItem(twain, "mn_Tests_TwainSelect", "Select...");
    AddItem(twain, "mn_Tests_TwainAcquire", "Acquire...");
    QMenu* ready = tests_menu_->addMenu("Ready for Testing");
    QAction* start = AddItem(ready, "mn_Tests_SlideShow", "SlideShow", {}, &TForm1::mn_Tests_SlideShowClick);
    QAction* stop =
        AddItem(ready, "mn_Tests_StopSlideShow", "Stop SlideShow", {}, &TForm1::mn_Tests_StopSlideShowClick);
    AddItem(ready, "mn_Tests_OpenRtf", "Open RTF...");
    AddItem(ready, "mn_Tests_MedianFilter", "Median Filter...");
    AddItem(tests_menu_, "mn_Tests_Association", "Association...");
    view->addSeparator();
    view->addAction(start);
    view->addAction(stop);
}

void TForm1::BuildToolBar()
{
    toolbar_ = addToolBar("ToolBar");
    toolbar_->setObjectName("ToolBar1");
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(16, 16)); // thirteen buttons fit the narrowest window
    struct Button {
        const char* name;
        const char* icon;
        const char* hint; // the part before "|" is the tool tip, the rest the status line
        void (TForm1::*handler)();
    };
    const Button buttons[] = {
        {"tb_Open", "open", "Open|", &TForm1::mn_File_OpenClick},
        {"tb_SaveAs", "save-as", "Save As", nullptr},
        {"tb_Undo", "undo", "Undo Last Change", nullptr},
        {"tb_Redo", "redo", "Redo Last Change", nullptr},
        {"tb_Print", "print", "Print|", nullptr},
        {"tb_Cut", "cut", "", nullptr},
        {"tb_DrawRect", "rect", "Draw A Rectangle", &TForm1::tb_DrawRectClick},
        {"tb_Copy", "copy", "Copy|", nullptr},
        {"tb_Paste", "paste", "Paste|", nullptr},
        {"tb_Info", "info", "Image Information", nullptr},
        {"tb_Previous", "previous", "Display Previous", &TForm1::mn_View_PreviousFileClick},
        {"tb_Next", "next", "Display Next", &TForm1::mn_View_NextFileClick},
        {"tb_About", "about", "About", nullptr},
    };
    for (const Button& b : buttons) {
        const QString hint = b.hint;
        auto* a = new QAction(ToolbarIcon(b.icon), hint.section('|', 0, 0), this);
        a->setObjectName(b.name);
        a->setToolTip(hint.section('|', 0, 0));
        a->setStatusTip(hint.section('|', 1));
        if (b.handler != nullptr)
            connect(a, &QAction::triggered, this, b.handler);
        toolbar_->addAction(a);
        commands_[b.name] = a;
    }
    auto* spacer = new QAction(this);
    spacer->setObjectName("tb_Spacer");
    spacer->setEnabled(false);
    toolbar_->addAction(spacer);
}

QAction* TForm1::Command(const QString& name) const
{
    const auto it = commands_.find(name);
    return it == commands_.end() ? nullptr : it->second;
}

void TForm1::SetEnabled(const char* name, bool on)
{
    if (QAction* a = Command(name))
        a->setEnabled(on);
}

// ---- commands, title, status ----

void TForm1::RefreshCommands()
{
    COMMAND_INPUTS in;
    in.picture_shown = picture_shown_;
    in.selection = selection_active_;
    in.clipboard_state = clipboard_state_;
    in.clipboard_has_bitmap = ClipboardHasBitmap();
    in.toolbar_visible = toolbar_visible_;
    const REFRESH_RESULT r = UpdateCommandStates(states_, *pImageInfo, in);
    clipboard_state_ = r.clipboard_state;
    if (r.drop_selection)
        DropSelection();
    ApplyStates();
}

void TForm1::ApplyStates()
{
    const COMMAND_STATES& s = states_;
    SetEnabled("mn_File_Print", s.print);
    SetEnabled("tb_Print", s.print);
    SetEnabled("tb_DrawRect", s.draw_rect);
    SetEnabled("tb_Copy", s.copy_button);
    SetEnabled("tb_Paste", s.paste_button);
    SetEnabled("tb_Cut", s.cut_button);
    SetEnabled("mn_File_Save", s.save);
    SetEnabled("tb_SaveAs", s.save);
    SetEnabled("mn_File_SaveAs", s.save_as);
    SetEnabled("mn_Image_VerticalFlip", s.vflip);
    SetEnabled("mn_Image_Mirror", s.mirror);
    SetEnabled("mn_Image_RotateLeft", s.rotate_left);
    SetEnabled("mn_Image_RotateRight", s.rotate_right);
    SetEnabled("mn_Image_Rotate", s.rotate);
    SetEnabled("mn_Image_Pixelate", s.pixelate);
    SetEnabled("mn_Image_Explosion", s.explosion);
    SetEnabled("mn_Colors_Histogram", s.histogram);
    SetEnabled("mn_Tests_MedianFilter", s.median);
    SetEnabled("mn_Image_Solarize", s.solarize);
    SetEnabled("mn_Image_Info", s.info);
    SetEnabled("mn_Tests_WallPaper", s.wallpaper);
    SetEnabled("mn_View_FullScreen", s.full_screen);
    SetEnabled("mn_Edit_Copy", s.copy);
    SetEnabled("mn_Edit_Cut", s.cut);
    SetEnabled("mn_Edit_Delete", s.del);
    SetEnabled("mn_Edit_Crop", s.crop);
    SetEnabled("mn_Edit_Paste", s.paste);
    SetEnabled("mn_Edit_ClearClipboard", s.clear_clipboard);
    SetEnabled("mn_Edit_Undo", s.undo);
    SetEnabled("tb_Undo", s.undo);
    SetEnabled("mn_Edit_Redo", s.redo);
    SetEnabled("tb_Redo", s.redo);
    SetEnabled("mn_Colors_Negative", s.negative);
    SetEnabled("mn_Colors_GrayScale", s.gray_scale);
    SetEnabled("mn_Colors_HistogramEqualization", s.hist_equal);
    SetEnabled("mn_Colors_Gamma", s.gamma);
    SetEnabled("mn_Tests_CountColorUsed", s.count_colors);
    SetEnabled("mn_Tests_SwapColorRGB", s.swap_colors);
    SetEnabled("mn_Colors_ReduceColors", s.reduce_colors);
    SetEnabled("mn_View_NextFile", s.next_file);
    SetEnabled("tb_Next", s.next_file);
    SetEnabled("mn_View_PreviousFile", s.previous_file);
    SetEnabled("tb_Previous", s.previous_file);
    SetEnabled("tb_Info", s.info);
    Command("mn_View_ToolBar")->setChecked(s.toolbar_checked);
    toolbar_->setVisible(s.toolbar_checked);
}

void TForm1::ShowTitle() { setWindowTitle(Q(TitleText(*pImageInfo))); }

void TForm1::ShowStatus()
{
    statusBar()->clearMessage();
    const STATUS_TEXTS t = StatusTexts(*pImageInfo);
    for (int i = 0; i < 3; ++i)
        panels_[i]->setText(Q(t.panel[i]));
    // The size panel widens to its text once, rather than by 10 pixels at every refresh.
    panels_[0]->setMinimumWidth(std::max(100, panels_[0]->sizeHint().width()));
    if (pImageInfo->state != kPictureOpen)
        view_->hide();
}

QString TForm1::StatusPanel(int i) const { return panels_[i]->text(); }

void TForm1::ShowOpenFailure(const std::string& path, std::int32_t rc)
{
    statusBar()->showMessage(Q(FileNameOf(path)) + ": " + ResultText(rc));
}

void TForm1::ClipboardTimerTick()
{
    if (ClipboardHasBitmap() && !Command("mn_Edit_ClearClipboard")->isEnabled()) {
        SetEnabled("mn_Edit_ClearClipboard", true);
        SetEnabled("mn_Edit_Paste", true);
    }
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
        recent_items_[k]->setText(used ? Q(captions[static_cast<std::size_t>(k)].substr(0, 4)) +
                                             Q(captions[static_cast<std::size_t>(k)].substr(4)).replace("&", "&&")
                                       : QString());
        recent_items_[k]->setVisible(used);
    }
    recent_menu_->menuAction()->setVisible(!captions.empty());
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
    DropSelection();
    const std::int32_t rc = browser_.OpenKeepingShown(*pImageInfo, path);
    if (rc != kOk) {
        ShowOpenFailure(path, rc);
        return;
    }
    picture_shown_ = pImageInfo->state == kPictureOpen;
    const std::string dir = DirectoryOf(path);
    if (!dir.empty() && chdir(dir.c_str()) == 0) {
        pImageInfo->BuildFileList();
        pImageInfo->FindCurrent();
    } else {
        pImageInfo->file_list.assign(1, path);
        pImageInfo->FindCurrent();
    }
    ShowDocument();
    selection_mode_ = kSelectIdle;
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
    const std::string requested = pImageInfo->current_path;
    pImageInfo->current_path = shown_path_;
    const std::int32_t rc = browser_.OpenAndList(*pImageInfo, requested);
    if (rc == kOk)
        ShowDocument();
    selection_mode_ = kSelectIdle;
    RefreshCommands();
    if (rc != kOk)
        ShowOpenFailure(requested, rc);
}

void TForm1::ShowOpened()
{
    if (pImageInfo->state == kNothingOpen)
        return;
    pImageInfo->FindCurrent();
    pImageInfo->edited = 0;
    ShowDocument();
    selection_mode_ = kSelectIdle;
    RefreshCommands();
}

void TForm1::DropSelection()
{
    selection_active_ = false;
    rect_obj.Reset();
    view_->update();
}

void TForm1::ShowDocument()
{
    TIMAGE_INFO& doc = *pImageInfo;
    if (doc.picture_present != 0 && doc.display && doc.state == kPictureOpen) {
        doc.rotation_angle = 0;
        DropSelection();
        picture_shown_ = true;
        view_->show();
        RefreshView();
        doc.current_state = doc.context.get();
        doc.context->prev_state = doc.context->next_state = nullptr;
        doc.undo_position = doc.undo_length = 0;
        shown_path_ = doc.current_path;
        AddRecentFile(doc.current_path);
    } else if (doc.picture_present != 0 && doc.format_code > 100) {
        setWindowTitle("Ravelscope -- " + Q(FileNameOf(doc.current_path)));
        view_->hide();
        picture_shown_ = false;
        shown_path_ = doc.current_path;
        AddRecentFile(doc.current_path);
    }
    ShowStatus();
}

void TForm1::RefreshView()
{
    TIMAGE_INFO& doc = *pImageInfo;
    if (doc.display) {
        doc.display_width = doc.display->Width();
        doc.display_height = doc.display->Height();
    }
    if (selection_active_ && !rect_obj.drawn)
        rect_obj.Toggle();
    ShowTitle();
    if (!isMaximized() && !isFullScreen()) {
        const QRect screen_rect = screen()->geometry();
        const int frame_w = frameGeometry().width() - width();
        const int frame_h = frameGeometry().height() - height();
        const WINDOW_FIT fit = FitWindow(doc.display_width, doc.display_height, screen_rect.width(),
                                         screen_rect.height(), frameGeometry().width(),
                                         frameGeometry().height(), ChromeHeight());
        resize(fit.width - frame_w, fit.height - frame_h);
        if (fit.move_to_top)
            move(x(), screen_rect.top());
    }
    pan_.reset_pending = true;
    view_->update();
}

int TForm1::ChromeHeight() const
{
    const int frame_h = frameGeometry().height() - height();
    return frame_h + menuBar()->sizeHint().height() + (toolbar_visible_ ? toolbar_->sizeHint().height() : 0) +
           statusBar()->sizeHint().height() + 2;
}

QPoint TForm1::PaintedPan() const
{
    return pan_.reset_pending ? QPoint() : QPoint(pan_.offset_x, pan_.offset_y);
}

void TForm1::ShowBrowseResult(const BROWSE_RESULT& r)
{
    if (r.shown) {
        ShowDocument();
        selection_mode_ = kSelectIdle;
    } else if (r.rc != kOk) {
        ShowOpenFailure(r.path, r.rc);
    }
}

void TForm1::mn_View_NextFileClick()
{
    ShowBrowseResult(browser_.Next(*pImageInfo));
    RefreshCommands();
}

void TForm1::mn_View_PreviousFileClick()
{
    ShowBrowseResult(browser_.Previous(*pImageInfo));
    RefreshCommands();
}

void TForm1::SlideShowTimerTick()
{
    const BROWSE_RESULT r = browser_.SlideShowTick(*pImageInfo);
    ShowBrowseResult(r);
    if (pImageInfo->file_list.empty())
        slide_timer_->stop(); // nothing is left to show
    RefreshCommands();
}

void TForm1::mn_Tests_SlideShowClick() { slide_timer_->start(); }
void TForm1::mn_Tests_StopSlideShowClick() { slide_timer_->stop(); }
void TForm1::mn_Tests_KeepListeningClick()
{
    repeat_play_ = true;
    Command("mn_Tests_KeepListening")->setChecked(true);
}

void TForm1::mn_File_OpenClick()
{
    QString chosen;
    if (choose_file_) {
        chosen = choose_file_();
    } else {
        char cwd[4096];
        const QString start = getcwd(cwd, sizeof cwd) != nullptr ? QString::fromLocal8Bit(cwd) : QString();
        chosen = QFileDialog::getOpenFileName(this, "Open", start);
    }
    if (chosen.isEmpty())
        return;
    pImageInfo->current_path = chosen.toStdString();
    OpenCurrentPath();
}

void TForm1::mn_File_SaveClick()
{
    const std::int32_t rc = pImageInfo->SaveCommand();
    if (rc != kOk) {
        statusBar()->showMessage(QString("Save: ") + ResultText(rc));
        return;
    }
    ShowTitle();
    RefreshCommands();
}

void TForm1::mn_File_ExitClick()
{
    SaveSettings();
    close();
}

void TForm1::mn_View_ToolBarClick()
{
    toolbar_visible_ = !toolbar_visible_;
    RefreshCommands();
}

void TForm1::mn_Help_ContentClick() { ShowHelpContext(kHelpMainWindow); }
void TForm1::mn_Tests_ContextMenuClick() { ShowHelpIndex(); }

void TForm1::mn_Tests_ZoomInClick()
{
    if (zoom_ * 1.1 <= 10)
        zoom_ *= 1.1;
    RefreshView();
}

void TForm1::mn_Tests_ZoomOutClick()
{
    if (zoom_ * 0.9 >= 0.1)
        zoom_ *= 0.9;
    RefreshView();
}

void TForm1::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    // The window frame is known once the window is on screen: fit the window again to the
    // picture opened during construction.
    if (!e->spontaneous() && picture_shown_)
        RefreshView();
}

void TForm1::keyPressEvent(QKeyEvent* e)
{
    const QString text = e->text();
    if (text.isEmpty()) { // not a character key
        QMainWindow::keyPressEvent(e);
        return;
    }
    switch (text[0].unicode()) {
    case 8: mn_View_PreviousFileClick(); break;
    case 27: close(); return;
    case 32: mn_View_NextFileClick(); break;
    default: break;
    }
    ++key_count_;
    setWindowTitle(Q(KeyTitleText(*pImageInfo, key_count_)));
    repaint();
}

// ---- the selection rectangle and panning ----

void TForm1::tb_DrawRectClick()
{
    rect_obj.style = 0;
    if (selection_active_) {
        rect_obj.Toggle();
    } else {
        selection_mode_ = kSelectArmed;
        rect_obj.mode = kRectDraw;
    }
    view_->update();
}

void TForm1::Image1MouseDown(Qt::MouseButton button, const QPoint& pos)
{
    const QPoint p = view_->ToPicture(pos);
    if (button == Qt::LeftButton && selection_mode_ == kSelectArmed) {
        rect_obj.Press(p.x(), p.y());
        if (rect_obj.mode == kRectDraw)
            view_->setCursor(Qt::ArrowCursor);
    } else if (button == Qt::RightButton && picture_shown_) {
        selection_mode_ = kSelectPanning;
        pan_.Begin(pos.x(), pos.y());
    }
}

void TForm1::Image1MouseMove(Qt::MouseButtons buttons, const QPoint& pos)
{
    const QPoint p = view_->ToPicture(pos);
    if ((buttons & Qt::LeftButton) && selection_mode_ == kSelectArmed) {
        if (rect_obj.DragTo(p.x(), p.y(), pImageInfo->display_width, pImageInfo->display_height))
            view_->update();
    } else if ((buttons & Qt::RightButton) && selection_mode_ == kSelectPanning) {
        const QRect s = screen()->geometry();
        if (pan_.Move(pos.x(), pos.y(), pImageInfo->display_width, pImageInfo->display_height, s.width(),
                      MaxViewHeight(s.height(), ChromeHeight())))
            view_->update();
    } else if (buttons == Qt::NoButton && selection_mode_ == kSelectArmed) {
        static const Qt::CursorShape kShapes[] = {Qt::ArrowCursor, Qt::SizeVerCursor, Qt::SizeHorCursor,
                                                  Qt::SizeFDiagCursor, Qt::SizeBDiagCursor};
        view_->setCursor(kShapes[static_cast<int>(rect_obj.CursorAt(p.x(), p.y()))]);
    }
}

void TForm1::Image1MouseUp(Qt::MouseButton button, const QPoint& /*pos*/)
{
    if (button == Qt::LeftButton && selection_mode_ == kSelectArmed) {
        selection_active_ = rect_obj.Release();
        view_->update();
        RefreshCommands();
    } else if (button == Qt::RightButton && selection_mode_ == kSelectPanning) {
        pan_.End();
        selection_mode_ = selection_active_ ? kSelectArmed : kSelectIdle;
        view_->update();
    }
}
