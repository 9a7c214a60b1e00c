// A picture view: a 24-bit Dib painted through a QImage over the same memory with its
// first pixel at the view's origin (one pixel in from the top left corner unless the
// window pans or centres it), with an optional selection outline over it; or, in fit
// mode, scaled whole into the view (the preview boxes). At a zoom factor below 1 the view
// paints a downscaled copy it makes once per picture and factor; above 1 every picture pixel is a sharp block, and only the part
// being painted is enlarged. The origin is in view pixels. The view reports mouse
// gestures as signals and knows nothing of the window that holds it.
#pragma once

#include "platform/Dib.h"
#include "widgets/logic/View_zoom.h"

#include <QPoint>
#include <QWidget>

#include <functional>
#include <memory>

class RECT_OBJ;

class TPictureView : public QWidget {
    Q_OBJECT
public:
    // The picture to paint, asked at every paint; null paints the background alone.
    using Source = std::function<const Dib*()>;

    explicit TPictureView(QWidget* parent = nullptr);

    void SetSource(Source source);
    // The selection outline painted while outline->drawn; null for none.
    void SetOutline(const RECT_OBJ* outline) { outline_ = outline; }
    // Scales the picture whole into the view, keeping its proportions.
    void SetFit(bool fit);
    // The view position of the picture's first pixel: (1, 1) less the pan offset.
    void SetOrigin(QPoint origin);
    QPoint Origin() const { return origin_; }
    // The zoom factor of the natural-size mode.
    void SetZoom(double factor);
    double Zoom() const { return zoom_; }
    // The picture's pixels changed: the downscaled copy is made again at the next paint.
    void PictureChanged();
    // A downscaled copy of picture at factor made elsewhere, used in place of making one.
    void AdoptScaledCopy(const Dib* picture, double factor, std::unique_ptr<Dib> copy);
    // The mapping between widget positions and picture pixels at the zoom and pan.
    VIEW_MAP Map() const;
    // Widget position → picture pixel, with the zoom and the origin applied.
    QPoint ToPicture(const QPoint& p) const;
    // The size the picture shows at the zoom factor (0 x 0 without a picture).
    QSize ShownSize() const;

signals:
    void MousePressed(Qt::MouseButton button, QPoint pos);
    void MouseMoved(Qt::MouseButtons buttons, QPoint pos);
    void MouseReleased(Qt::MouseButton button, QPoint pos);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    // The downscaled copy for the current picture and factor, made when missing; null
    // when it cannot get its memory.
    const Dib* ScaledCopy(const Dib& picture);

    Source source_;
    const RECT_OBJ* outline_ = nullptr;
    QPoint origin_{1, 1};
    bool fit_ = false;
    double zoom_ = 1.0;
    std::unique_ptr<Dib> scaled_;
    const Dib* scaled_from_ = nullptr; // the picture scaled_ was made from
    double scaled_at_ = 0.0;           // and its factor
};
