// The main window's view: the view area with its scroll bars, zoom, Fit to Window, the
// window's size, decoding the neighbouring pictures ahead, drag and drop, the mouse wheel
// and the keys that browse or pan.
#include "viewer/Unit1.h"

#include "base/Result_codes.h"
#include "platform/Ini_file.h"
#include "viewer/Media_page.h"
#include "widgets/Picture_view.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QKeyEvent>
#include <QLayout>
#include <QMimeData>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <functional>

namespace {

constexpr char kViewSection[] = "View";
constexpr char kFitKey[] = "FitToWindow";
constexpr int kWheelStep = 120; // one notch of a common wheel, in eighths of a degree
// How long the window waits after the last resize before the neighbours are decoded
// again for the new room (a drag of the frame resizes many times).
constexpr int kPreloadAfterResizeMs = 300;

// The local file a drag carries, or "".
QString DraggedFile(const QMimeData* m)
{
    if (m == nullptr || !m->hasUrls() || m->urls().isEmpty())
        return {};
    const QUrl url = m->urls().first();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

} // namespace

void TForm1::BuildPicturePage()
{
    picture_page_ = new TPicturePage(doc_, rect_, sizing_, pages_);
    pages_->addWidget(picture_page_);
    picture_page_->SetWindowRoom([this] { return WindowFitRoom(); });
    connect(picture_page_, &TPicturePage::ZoomChanged, this, &TForm1::ApplyZoom);
    connect(picture_page_, &TPicturePage::SelectionChanged, this, &TForm1::RefreshCommands);
    preload_timer_ = new QTimer(this);
    preload_timer_->setSingleShot(true);
    preload_timer_->setInterval(kPreloadAfterResizeMs);
    connect(preload_timer_, &QTimer::timeout, this, &TForm1::PreloadNeighbours);
    connect(picture_page_, &TPicturePage::Refitted, this, [this] {
        ShowZoomPanel();
        preload_timer_->start(); // fitted copies for the new room
    });
}

void TForm1::ShowPage(QWidget* page)
{
    for (int i = 0; i < pages_->count(); ++i) {
        QWidget* w = pages_->widget(i);
        const QSizePolicy::Policy policy = w == page ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        w->setSizePolicy(policy, policy);
    }
    pages_->setCurrentWidget(page);
}

QSize TForm1::OuterSizeFor(QSize central)
{
    // The layout places the bars; what it leaves beside the central area is theirs.
    layout()->invalidate();
    layout()->activate();
    return central + size() - pages_->size();
}

void TForm1::StartMedia()
{
    ShowPage(media_page_);
    media_page_->Start(doc_.current_path, doc_.format_code);
}

void TForm1::CloseMedia()
{
    media_page_->Close();
    if (pages_->currentWidget() == media_page_)
        ShowPage(picture_page_);
}


void TForm1::ResizeWindow(int w, int h)
{
    sizing_.Asked(w, h);
    resize(w, h);
    if (size() != QSize(w, h))
        sizing_.Asked(width(), height()); // what the window's minimum size allowed
}

void TForm1::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    // The window system's resizes of the shown window: the user's, or a maximise. The
    // window's own size is the one it now has (the event may carry an earlier one).
    if (e->spontaneous() && isVisible() && !sizing_.Kept()) {
        sizing_.Reported(width(), height());
        if (sizing_.Kept())
            picture_page_->RoomChanged(); // the page was resized before the window knew
    }
}

void TForm1::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && (isMaximized() || isFullScreen()) && !sizing_.Kept()) {
        sizing_.StateChanged(true);
        picture_page_->RoomChanged();
    }
}

void TForm1::SetUpView(const FORM_OPTIONS& options)
{
    start_preload_ = options.start_preload;
    neighbours_held_ = start_preload_ != nullptr;
    setAcceptDrops(true);
    zoom_panel_ = new QLabel(this);
    zoom_panel_->setObjectName("ZoomPanel");
    zoom_panel_->setFrameShape(QFrame::StyledPanel);
    zoom_panel_->hide();
    statusBar()->addWidget(zoom_panel_);
    // On unless the user turned it off: a photo opens whole.
    const bool fit = IniFile(settings_path_).ReadInteger(kViewSection, kFitKey, 1) != 0;
    picture_page_->SetFitToWindow(fit);
    Command(Cmd("mn_View_FitToWindow"))->setChecked(fit);
    preload_ = std::make_unique<PRELOAD_CACHE>();
}

void TForm1::ShowZoomPanel()
{
    const bool shown = picture_page_->PictureShown();
    zoom_panel_->setText(shown ? QString::fromStdString(ZoomText(picture_page_->ZoomFactor())) : QString());
    zoom_panel_->setVisible(!zoom_panel_->text().isEmpty());
}

FIT_ROOM TForm1::WindowFitRoom() const
{
    const QRect avail = screen()->availableGeometry();
    const int frame_w = frameGeometry().width() - width();
    return {avail.width() - frame_w - 10, MaxViewHeight(avail.height(), ChromeHeight())};
}

void TForm1::ApplyZoom(const VIEW_MAP& before, QPoint at)
{
    RefreshView();
    picture_page_->KeepPoint(before, at);
    // A fitted window is kept on the screen's available area.
    if (picture_page_->FitToWindow() && !isMaximized() && !isFullScreen() && !sizing_.Kept()) {
        const QRect avail = screen()->availableGeometry();
        const QRect f = frameGeometry();
        const int x = std::clamp(f.x(), avail.left(), std::max(avail.left(), avail.right() + 1 - f.width()));
        const int y = std::clamp(f.y(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - f.height()));
        if (x != f.x() || y != f.y())
            move(x, y);
    }
}

void TForm1::mn_View_FitToWindowClick()
{
    const bool fit = !picture_page_->FitToWindow();
    Command(Cmd("mn_View_FitToWindow"))->setChecked(fit);
    IniFile(settings_path_).WriteInteger(kViewSection, kFitKey, fit ? 1 : 0);
    picture_page_->SetFitToWindow(fit);
    PreloadNeighbours(); // with or without fitted copies now
}

// ---- decoding ahead ----

void TForm1::PreloadNeighbours()
{
    if (neighbours_held_)
        return; // asked again once the window has painted
    const std::vector<std::string>& list = doc_.file_list;
    const auto at = std::find(list.begin(), list.end(), doc_.current_path);
    if (list.size() < 2 || at == list.end() || doc_.state == kNothingOpen) {
        preload_->Want({});
        return;
    }
    const std::size_t n = list.size();
    const auto i = static_cast<std::size_t>(at - list.begin());
    preload_->Want({list[(i + 1) % n], list[(i + n - 1) % n]}, picture_page_->FitToWindow() ? picture_page_->FitRoom() : FIT_ROOM{});
}

bool TForm1::event(QEvent* e)
{
    // Qt blocks the window while a window-modal dialog over it runs (nested ones included):
    // the one place where the modal session starts and ends.
    if (e->type() == QEvent::WindowBlocked && !modal_run_)
        modal_run_.emplace(modal_.Run());
    else if (e->type() == QEvent::WindowUnblocked)
        modal_run_.reset();
    const bool done = QMainWindow::event(e);
    if (neighbours_held_ && e->type() == QEvent::Paint) {
        // Posted, so that it runs after the painted window reaches the screen.
        QTimer::singleShot(0, this, [this] {
            if (!neighbours_held_)
                return;
            neighbours_held_ = false;
            PreloadNeighbours();
        });
    }
    return done;
}

std::int32_t TForm1::OpenAndListStart(const std::string& requested)
{
    std::shared_ptr<PRELOAD_CACHE> start = std::move(start_preload_); // used once
    const std::string path = AbsolutePath(requested);
    std::unique_ptr<TIMAGE_INFO> ready = start ? start->Take(path) : nullptr;
    if (!ready)
        return browser_.OpenAndList(doc_, requested);
    AdoptPreloaded(doc_, *ready);
    const std::string dir = DirectoryOf(path);
    if (!dir.empty() && doc_.BuildFileList(dir, true))
        doc_.FindCurrent();
    return kOk;
}

BROWSE_RESULT TForm1::StepFile(int direction)
{
    const std::vector<std::string>& list = doc_.file_list;
    const auto n = static_cast<std::int32_t>(list.size());
    const std::int32_t i = doc_.current_index;
    if (n > 1 && i >= 0 && i < n) {
        const std::string path = list[static_cast<std::size_t>((i + direction + n) % n)];
        if (std::unique_ptr<TIMAGE_INFO> ready = modal_.Active() ? nullptr : preload_->Take(path, &fitted_)) {
            AdoptPreloaded(doc_, *ready);
            preload_->Dispose(std::move(ready)); // the picture shown before
            BROWSE_RESULT r;
            r.shown = true;
            r.rc = kOk;
            r.path = path;
            return r;
        }
    }
    return direction > 0 ? browser_.Next(doc_) : browser_.Previous(doc_);
}

void TForm1::ShowFirstFile()
{
    if (!MayLeavePicture())
        return;
    ShowBrowseResult(browser_.First(doc_));
    RefreshCommands();
}

void TForm1::ShowLastFile()
{
    if (!MayLeavePicture())
        return;
    ShowBrowseResult(browser_.Last(doc_));
    RefreshCommands();
}

bool TForm1::ViewKeyPressed(QKeyEvent* e)
{
    if ((e->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    ViewKey key = ViewKey::kLeft;
    switch (e->key()) {
    case Qt::Key_Left: key = ViewKey::kLeft; break;
    case Qt::Key_Right: key = ViewKey::kRight; break;
    case Qt::Key_Up: key = ViewKey::kUp; break;
    case Qt::Key_Down: key = ViewKey::kDown; break;
    case Qt::Key_PageUp: key = ViewKey::kPageUp; break;
    case Qt::Key_PageDown: key = ViewKey::kPageDown; break;
    case Qt::Key_Home: key = ViewKey::kHome; break;
    case Qt::Key_End: key = ViewKey::kEnd; break;
    default: return false;
    }
    // Browsing follows the enabled state of Next File and Previous File.
    const bool browse = Command(Cmd("mn_View_NextFile"))->isEnabled();
    const ViewKeyAction action = ActionOfViewKey(key, picture_page_->Pans(Qt::Horizontal), picture_page_->Pans(Qt::Vertical));
    switch (action) {
    case ViewKeyAction::kPrevious:
        if (Command(Cmd("mn_View_PreviousFile"))->isEnabled())
            mn_View_PreviousFileClick();
        break;
    case ViewKeyAction::kNext:
        if (browse)
            mn_View_NextFileClick();
        break;
    case ViewKeyAction::kFirst:
        if (browse)
            ShowFirstFile();
        break;
    case ViewKeyAction::kLast:
        if (browse)
            ShowLastFile();
        break;
    case ViewKeyAction::kPanLeft:
    case ViewKeyAction::kPanRight:
    case ViewKeyAction::kPanUp:
    case ViewKeyAction::kPanDown: picture_page_->PanStep(action); break;
    }
    return true;
}

BROWSE_RESULT TForm1::SlideShowStep()
{
    const auto n = static_cast<std::int32_t>(doc_.file_list.size());
    const std::int32_t i = doc_.current_index >= 0 && doc_.current_index < n ? doc_.current_index : 0;
    if (n > 0) {
        const std::string path = doc_.file_list[static_cast<std::size_t>(i)];
        if (std::unique_ptr<TIMAGE_INFO> ready = modal_.Active() ? nullptr : preload_->Take(path, &fitted_)) {
            AdoptPreloaded(doc_, *ready);
            preload_->Dispose(std::move(ready));
            doc_.current_index = i + 1; // the tick after shows the entry after
            BROWSE_RESULT r;
            r.shown = true;
            r.rc = kOk;
            r.path = path;
            return r;
        }
    }
    return browser_.SlideShowTick(doc_);
}

// ---- the wheel, drag and drop ----

void TForm1::wheelEvent(QWheelEvent* e)
{
    wheel_steps_ += e->angleDelta().y();
    const bool zoom = (e->modifiers() & Qt::ControlModifier) != 0;
    while (std::abs(wheel_steps_) >= kWheelStep) {
        const bool up = wheel_steps_ > 0;
        wheel_steps_ += up ? -kWheelStep : kWheelStep;
        if (zoom) {
            // Around the mouse pointer when it is over the picture's view.
            picture_page_->ZoomStep(up ? 1 : -1, picture_page_->ViewPointOr(this, e->position().toPoint()));
        } else if (Command(up ? Cmd("mn_View_PreviousFile") : Cmd("mn_View_NextFile"))->isEnabled())
            up ? mn_View_PreviousFileClick() : mn_View_NextFileClick();
    }
    e->accept();
}

void TForm1::dragEnterEvent(QDragEnterEvent* e)
{
    if (!DraggedFile(e->mimeData()).isEmpty())
        e->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* e)
{
    const QString path = DraggedFile(e->mimeData());
    if (path.isEmpty())
        return;
    e->acceptProposedAction();
    doc_.current_path = path.toStdString();
    OpenCurrentPath();
}
