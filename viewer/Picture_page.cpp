#include "viewer/Picture_page.h"

#include "core/Imageinfo.h"
#include "widgets/Picture_view.h"

#include <QEvent>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

TPicturePage::TPicturePage(TIMAGE_INFO& doc, RECT_OBJ& selection, const WINDOW_SIZING& sizing, QWidget* parent)
    : QWidget(parent), doc_(doc), rect_(selection), sizing_(sizing)
{
    setObjectName("ViewArea");
    view_ = new TPictureView(this);
    view_->SetSource([this]() -> const Dib* { return shown_ ? doc_.display.get() : nullptr; });
    view_->SetOutline(&rect_);
    connect(view_, &TPictureView::MousePressed, this, &TPicturePage::MouseDown);
    connect(view_, &TPictureView::MouseMoved, this, &TPicturePage::MouseMove);
    connect(view_, &TPictureView::MouseReleased, this, &TPicturePage::MouseUp);
    hbar_ = new QScrollBar(Qt::Horizontal, this);
    hbar_->setObjectName("HorzScrollBar");
    vbar_ = new QScrollBar(Qt::Vertical, this);
    vbar_->setObjectName("VertScrollBar");
    for (QScrollBar* bar : {hbar_, vbar_}) {
        bar->setFocusPolicy(Qt::NoFocus); // the keys stay with the window
        bar->hide();
    }
    // The bars show the pan offset; moving one pans the view.
    connect(hbar_, &QScrollBar::valueChanged, this, [this](int v) {
        pan_.offset_x = v;
        pan_.End();
        LayOut();
    });
    connect(vbar_, &QScrollBar::valueChanged, this, [this](int v) {
        pan_.offset_y = v;
        pan_.End();
        LayOut();
    });
    view_->installEventFilter(this); // shown or hidden: laid out again
}

bool TPicturePage::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == view_ && (e->type() == QEvent::Show || e->type() == QEvent::Hide))
        LayOut();
    return false;
}

void TPicturePage::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    RoomChanged();
}

// ---- zoom ----

FIT_ROOM TPicturePage::FitRoom() const
{
    if (sizing_.Kept() || !window_room_)
        return {width() - 2 * kViewMargin, height() - 2 * kViewMargin};
    return window_room_();
}

void TPicturePage::ResetZoom()
{
    double base = 1.0;
    if (fit_ && doc_.display && !doc_.display->Empty()) {
        const FIT_ROOM room = FitRoom();
        base = FitFactor(doc_.display->Width(), doc_.display->Height(), room.width, room.height);
    }
    zoom_.Reset(base);
    zoom_follows_fit_ = true;
    pan_ = PAN_STATE{};
}

void TPicturePage::Prepare(FITTED_COPY& fitted)
{
    if (fit_ && zoom_follows_fit_)
        ResetZoom(); // an edit may have changed the picture's size
    view_->PictureChanged();
    view_->SetZoom(zoom_.Factor());
    if (fitted.picture && doc_.display && fitted.factor == zoom_.Factor())
        view_->AdoptScaledCopy(doc_.display.get(), fitted.factor, std::move(fitted.picture));
    fitted = {};
}

void TPicturePage::RoomChanged()
{
    if (shown_ && fit_ && sizing_.Kept()) {
        if (zoom_follows_fit_) {
            const double was = zoom_.Factor();
            ResetZoom();
            if (zoom_.Factor() != was)
                view_->SetZoom(zoom_.Factor());
        }
        emit Refitted();
    }
    LayOut();
}

void TPicturePage::ZoomStep(int direction, QPoint at)
{
    if (!shown_)
        return;
    const VIEW_MAP before = view_->Map();
    if (!(direction > 0 ? zoom_.In() : zoom_.Out()))
        return;
    zoom_follows_fit_ = false;
    emit ZoomChanged(before, at);
}

void TPicturePage::ActualSize()
{
    const VIEW_MAP before = view_->Map();
    zoom_.Reset(1.0);
    zoom_follows_fit_ = false;
    if (shown_)
        emit ZoomChanged(before, ViewCentre());
}

void TPicturePage::SetFitToWindow(bool on)
{
    const VIEW_MAP before = view_->Map();
    fit_ = on;
    ResetZoom();
    if (shown_)
        emit ZoomChanged(before, ViewCentre());
}

void TPicturePage::KeepPoint(const VIEW_MAP& before, QPoint at)
{
    const QSize shown = view_->ShownSize();
    pan_.offset_x = PanKeeping(at.x(), before.origin_x, before.shown_w, shown.width(), layout_.max_pan_x);
    pan_.offset_y = PanKeeping(at.y(), before.origin_y, before.shown_h, shown.height(), layout_.max_pan_y);
    pan_.End();
    LayOut();
}

QPoint TPicturePage::ViewCentre() const { return {layout_.view_w / 2, layout_.view_h / 2}; }

QPoint TPicturePage::ViewPointOr(const QWidget* w, QPoint pos) const
{
    const QPoint at = view_->mapFrom(w, pos);
    return view_->rect().contains(at) ? at : ViewCentre();
}

// ---- layout and pan ----

void TPicturePage::LayOut()
{
    const QSize shown = shown_ && !view_->isHidden() ? view_->ShownSize() : QSize();
    const int bar_w = vbar_->sizeHint().width();
    const int bar_h = hbar_->sizeHint().height();
    layout_ = LayOutPicture(shown.width(), shown.height(), width(), height(), bar_w, bar_h);
    pan_.Clamp(layout_.max_pan_x, layout_.max_pan_y);
    view_->setGeometry(0, 0, layout_.view_w, layout_.view_h);
    hbar_->setGeometry(0, layout_.view_h, layout_.view_w, bar_h);
    vbar_->setGeometry(layout_.view_w, 0, bar_w, layout_.view_h);
    const auto set_bar = [](QScrollBar* bar, bool on, int max, int page, int value) {
        const QSignalBlocker quiet(bar); // the pan is set already
        bar->setRange(0, max);
        bar->setPageStep(std::max(1, page));
        bar->setSingleStep(std::max(1, page / 10));
        bar->setValue(value);
        bar->setVisible(on);
    };
    set_bar(hbar_, layout_.h_bar, layout_.max_pan_x, layout_.view_w, pan_.offset_x);
    set_bar(vbar_, layout_.v_bar, layout_.max_pan_y, layout_.view_h, pan_.offset_y);
    // A window the user sized shows a smaller picture in its middle.
    const bool centred = sizing_.Kept();
    view_->SetOrigin({PictureOrigin(shown.width(), layout_.view_w, pan_.offset_x, layout_.max_pan_x, centred),
                      PictureOrigin(shown.height(), layout_.view_h, pan_.offset_y, layout_.max_pan_y, centred)});
}

bool TPicturePage::Pans(Qt::Orientation o) const
{
    if (!shown_ || view_->isHidden())
        return false;
    return o == Qt::Horizontal ? layout_.h_bar : layout_.v_bar;
}

void TPicturePage::PanStep(ViewKeyAction action)
{
    switch (action) {
    case ViewKeyAction::kPanLeft: hbar_->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case ViewKeyAction::kPanRight: hbar_->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case ViewKeyAction::kPanUp: vbar_->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case ViewKeyAction::kPanDown: vbar_->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    default: break;
    }
}

// ---- the selection rectangle ----

const RECT_BOUNDS* TPicturePage::ActiveSelection()
{
    if (!selection_active_)
        return nullptr;
    selection_bounds_ = rect_.Bounds();
    return &selection_bounds_;
}

void TPicturePage::DropSelection()
{
    selection_active_ = false;
    rect_.Reset();
    view_->update();
}

void TPicturePage::ShowOutline()
{
    if (selection_active_ && !rect_.drawn)
        rect_.Toggle();
}

void TPicturePage::DrawRectTool()
{
    rect_.style = 0;
    if (selection_active_) {
        rect_.Toggle();
    } else {
        selection_mode_ = kSelectArmed;
        rect_.mode = kRectDraw;
    }
    view_->update();
}

void TPicturePage::MouseDown(Qt::MouseButton button, const QPoint& pos)
{
    const QPoint p = view_->ToPicture(pos);
    rect_.band = HandleBand(zoom_.Factor());
    if (button == Qt::LeftButton && selection_mode_ == kSelectArmed) {
        rect_.Press(p.x(), p.y());
        if (rect_.mode == kRectDraw)
            view_->setCursor(Qt::ArrowCursor);
    } else if ((button == Qt::RightButton || (button == Qt::LeftButton && selection_mode_ == kSelectIdle)) &&
               shown_ && selection_mode_ != kSelectPanning) {
        // The right button pans always, the left one while no tool is armed.
        selection_mode_ = kSelectPanning;
        pan_button_ = button;
        pan_.Begin(pos.x(), pos.y());
        if (layout_.max_pan_x > 0 || layout_.max_pan_y > 0)
            view_->setCursor(Qt::ClosedHandCursor);
    }
}

void TPicturePage::MouseMove(Qt::MouseButtons buttons, const QPoint& pos)
{
    const QPoint p = view_->ToPicture(pos);
    rect_.band = HandleBand(zoom_.Factor());
    if ((buttons & Qt::LeftButton) && selection_mode_ == kSelectArmed) {
        if (rect_.DragTo(p.x(), p.y(), doc_.display_width, doc_.display_height))
            view_->update();
    } else if ((buttons & pan_button_) && selection_mode_ == kSelectPanning) {
        if (pan_.Move(pos.x(), pos.y(), layout_.max_pan_x, layout_.max_pan_y))
            LayOut();
    } else if (buttons == Qt::NoButton && selection_mode_ == kSelectArmed) {
        static const Qt::CursorShape kShapes[] = {Qt::ArrowCursor, Qt::SizeVerCursor, Qt::SizeHorCursor,
                                                  Qt::SizeFDiagCursor, Qt::SizeBDiagCursor};
        view_->setCursor(kShapes[static_cast<int>(rect_.CursorAt(p.x(), p.y()))]);
    }
}

void TPicturePage::MouseUp(Qt::MouseButton button, const QPoint& /*pos*/)
{
    if (button == Qt::LeftButton && selection_mode_ == kSelectArmed) {
        selection_active_ = rect_.Release();
        view_->update();
        emit SelectionChanged();
    } else if (button == pan_button_ && selection_mode_ == kSelectPanning) {
        pan_.End();
        pan_button_ = Qt::NoButton;
        selection_mode_ = selection_active_ ? kSelectArmed : kSelectIdle;
        view_->setCursor(Qt::ArrowCursor);
        view_->update();
    }
}
