// The main window's view: zoom, Fit to Window, decoding the neighbouring pictures ahead,
// drag and drop, and the mouse wheel.
#include "viewer/Unit1.h"

#include "core/Result_codes.h"
#include "platform/Ini_file.h"
#include "viewer/Picture_view.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr char kViewSection[] = "View";
constexpr char kFitKey[] = "FitToWindow";
constexpr int kWheelStep = 120; // one notch of a common wheel, in eighths of a degree

// The local file a drag carries, or "".
QString DraggedFile(const QMimeData* m)
{
    if (m == nullptr || !m->hasUrls() || m->urls().isEmpty())
        return {};
    const QUrl url = m->urls().first();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

} // namespace

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
    fit_to_window_ = IniFile(settings_path_).ReadInteger(kViewSection, kFitKey, 0) != 0;
    Command(Cmd("mn_View_FitToWindow"))->setChecked(fit_to_window_);
    preload_ = std::make_unique<PRELOAD_CACHE>();
}

QString TForm1::ZoomPanel() const
{
    return picture_shown_ ? QString::fromStdString(ZoomText(zoom_state_.Factor())) : QString();
}

FIT_ROOM TForm1::FitRoom() const
{
    const QRect avail = screen()->availableGeometry();
    const int frame_w = frameGeometry().width() - width();
    return {avail.width() - frame_w - 10, MaxViewHeight(avail.height(), ChromeHeight())};
}

void TForm1::ResetZoom()
{
    double base = 1.0;
    if (fit_to_window_ && doc_.display && !doc_.display->Empty()) {
        const FIT_ROOM room = FitRoom();
        base = FitFactor(doc_.display->Width(), doc_.display->Height(), room.width, room.height);
    }
    zoom_state_.Reset(base);
    zoom_follows_fit_ = true;
}

void TForm1::PrepareView()
{
    if (fit_to_window_ && zoom_follows_fit_)
        ResetZoom(); // an edit may have changed the picture's size
    view_->PictureChanged();
    view_->SetZoom(zoom_state_.Factor());
    OfferFittedCopy();
    zoom_panel_->setText(ZoomPanel());
    zoom_panel_->setVisible(!zoom_panel_->text().isEmpty());
}

void TForm1::OfferFittedCopy()
{
    if (fitted_.picture && doc_.display && fitted_.factor == zoom_state_.Factor())
        view_->AdoptScaledCopy(doc_.display.get(), fitted_.factor, std::move(fitted_.picture));
    fitted_ = {};
}

void TForm1::ApplyZoom()
{
    RefreshView();
    // A fitted window is kept on the screen's available area.
    if (fit_to_window_ && !isMaximized() && !isFullScreen()) {
        const QRect avail = screen()->availableGeometry();
        const QRect f = frameGeometry();
        const int x = std::clamp(f.x(), avail.left(), std::max(avail.left(), avail.right() + 1 - f.width()));
        const int y = std::clamp(f.y(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - f.height()));
        if (x != f.x() || y != f.y())
            move(x, y);
    }
}

void TForm1::mn_Tests_ZoomInClick()
{
    if (picture_shown_ && zoom_state_.In()) {
        zoom_follows_fit_ = false;
        ApplyZoom();
    }
}

void TForm1::mn_Tests_ZoomOutClick()
{
    if (picture_shown_ && zoom_state_.Out()) {
        zoom_follows_fit_ = false;
        ApplyZoom();
    }
}

void TForm1::mn_View_ActualSizeClick()
{
    zoom_state_.Reset(1.0);
    zoom_follows_fit_ = false;
    if (picture_shown_)
        ApplyZoom();
}

void TForm1::mn_View_FitToWindowClick()
{
    fit_to_window_ = !fit_to_window_;
    Command(Cmd("mn_View_FitToWindow"))->setChecked(fit_to_window_);
    IniFile(settings_path_).WriteInteger(kViewSection, kFitKey, fit_to_window_ ? 1 : 0);
    ResetZoom();
    if (picture_shown_)
        ApplyZoom();
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
    preload_->Want({list[(i + 1) % n], list[(i + n - 1) % n]}, fit_to_window_ ? FitRoom() : FIT_ROOM{});
}

bool TForm1::event(QEvent* e)
{
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
        if (std::unique_ptr<TIMAGE_INFO> ready = preload_->Take(path, &fitted_)) {
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

BROWSE_RESULT TForm1::SlideShowStep()
{
    const auto n = static_cast<std::int32_t>(doc_.file_list.size());
    const std::int32_t i = doc_.current_index >= 0 && doc_.current_index < n ? doc_.current_index : 0;
    if (n > 0) {
        const std::string path = doc_.file_list[static_cast<std::size_t>(i)];
        if (std::unique_ptr<TIMAGE_INFO> ready = preload_->Take(path, &fitted_)) {
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
        if (zoom)
            up ? mn_Tests_ZoomInClick() : mn_Tests_ZoomOutClick();
        else if (Command(up ? Cmd("mn_View_PreviousFile") : Cmd("mn_View_NextFile"))->isEnabled())
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
