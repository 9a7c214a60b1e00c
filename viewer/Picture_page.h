// The main window's picture page: the picture view with a scroll bar beside it and below
// it, the zoom (with Fit to Window), the pan offset and its drag, and the selection
// rectangle's tool. It shows the document's display picture while the window says a
// picture is shown; it tells the window by signals what the window must follow (a zoom
// change, a new selection, a room that fits the picture again).
#pragma once

#include "viewer/logic/Preload_cache.h"
#include "viewer/logic/Window_rules.h"
#include "widgets/logic/Rect_object.h"
#include "widgets/logic/View_zoom.h"

#include <QPoint>
#include <QWidget>

#include <functional>

class QScrollBar;
class TIMAGE_INFO;
class TPictureView;

enum SelectionMode : int { kSelectArmed = 0, kSelectIdle = 6, kSelectPanning = 7 };

class TPicturePage : public QWidget {
    Q_OBJECT
public:
    // The page shows doc's display picture with the selection outline of selection;
    // sizing tells whether the window keeps the size the user gave it.
    TPicturePage(TIMAGE_INFO& doc, RECT_OBJ& selection, const WINDOW_SIZING& sizing, QWidget* parent);

    TPictureView* View() const { return view_; }
    QScrollBar* HorizontalBar() const { return hbar_; }
    QScrollBar* VerticalBar() const { return vbar_; }

    // Whether the document's picture is on the page (false: the background alone).
    void SetPictureShown(bool on) { shown_ = on; }
    bool PictureShown() const { return shown_; }

    // ---- zoom ----
    double ZoomFactor() const { return zoom_.Factor(); }
    const ZOOM_STATE& Zoom() const { return zoom_; }
    bool FitToWindow() const { return fit_; }
    // The room a fitted picture gets in a window that follows the pictures (the window's
    // screen less its frame and bars); in a window the user sized it is the page's own.
    void SetWindowRoom(std::function<FIT_ROOM()> room) { window_room_ = std::move(room); }
    FIT_ROOM FitRoom() const;
    // A new picture: the zoom starts at 1, or at its fit factor while Fit to Window is on,
    // and the view at the picture's top left corner.
    void ResetZoom();
    // Part of every refresh: the picture may have changed (a fitted picture that no zoom
    // command has touched is fitted again) and the view takes the zoom, with the fitted
    // copy a preload made when it is of the picture at the factor shown.
    void Prepare(FITTED_COPY& fitted);
    // One zoom step in (+1) or out (-1) around view position at; Actual Size; Fit to
    // Window on or off. Each emits ZoomChanged when the factor of a shown picture changed.
    void ZoomStep(int direction, QPoint at);
    void ActualSize();
    void SetFitToWindow(bool on);
    // After the window followed a zoom change: the picture point under view position at
    // (in the mapping before) stays there as far as the pan allows.
    void KeepPoint(const VIEW_MAP& before, QPoint at);
    // The middle of the view.
    QPoint ViewCentre() const;
    // A position of widget w over the view, or the middle of the view when outside it.
    QPoint ViewPointOr(const QWidget* w, QPoint pos) const;

    // ---- layout and pan ----
    // Places the view and its scroll bars for the picture at its zoom and the pan offset,
    // which it keeps within the picture.
    void LayOut();
    const VIEW_LAYOUT& Layout() const { return layout_; }
    QPoint PaintedPan() const { return {pan_.offset_x, pan_.offset_y}; }
    // Whether the shown picture is larger than the view across (horizontal) or down.
    bool Pans(Qt::Orientation o) const;
    // A pan step of the arrow keys.
    void PanStep(ViewKeyAction action);
    // The page's room changed while the window keeps the user's size: a fitted picture is
    // fitted again (unless a zoom command set the factor) and the view is laid out.
    void RoomChanged();

    // ---- the selection rectangle ----
    int SelectionMode() const { return selection_mode_; }
    bool SelectionActive() const { return selection_active_; }
    // The active selection, or null.
    const RECT_BOUNDS* ActiveSelection();
    void DropSelection();
    // No tool is armed: the left button pans.
    void SetIdle() { selection_mode_ = kSelectIdle; }
    // The toolbar's rectangle tool: arms drawing, or shows and hides the drawn rectangle.
    void DrawRectTool();
    // A refresh shows the outline of an active selection.
    void ShowOutline();
    const RECT_OBJ& Selection() const { return rect_; }

signals:
    // The zoom factor of a shown picture changed from the one `before` maps, around view
    // position at: the window follows (its size, the status bar) and calls KeepPoint.
    void ZoomChanged(const VIEW_MAP& before, QPoint at);
    // A fitted picture was fitted again to a changed room (the factor may be the same).
    void Refitted();
    // A rectangle was drawn or dropped by the mouse.
    void SelectionChanged();

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void MouseDown(Qt::MouseButton button, const QPoint& pos);
    void MouseMove(Qt::MouseButtons buttons, const QPoint& pos);
    void MouseUp(Qt::MouseButton button, const QPoint& pos);

    TIMAGE_INFO& doc_;
    RECT_OBJ& rect_;
    const WINDOW_SIZING& sizing_;
    std::function<FIT_ROOM()> window_room_;
    TPictureView* view_ = nullptr;
    QScrollBar* hbar_ = nullptr;
    QScrollBar* vbar_ = nullptr;
    bool shown_ = false;
    ZOOM_STATE zoom_;
    bool fit_ = false;
    bool zoom_follows_fit_ = true; // no zoom command since the picture was fitted
    PAN_STATE pan_;
    VIEW_LAYOUT layout_;
    Qt::MouseButton pan_button_ = Qt::NoButton; // the button of the pan gesture under way
    int selection_mode_ = kSelectIdle;
    bool selection_active_ = false;
    RECT_BOUNDS selection_bounds_{};
};
