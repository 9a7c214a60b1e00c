// A picture view: a 24-bit Dib painted through a QImage over the same memory, one pixel
// a pixel, one pixel in from the view's top left corner and shifted by the pan offset,
// with an optional selection outline over it; or, in fit mode, scaled whole into the
// view (the preview boxes). The view reports mouse gestures as signals and knows nothing
// of the window that holds it.
#pragma once

#include <QPoint>
#include <QWidget>

#include <functional>

class Dib;
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
    void SetPan(QPoint pan);
    QPoint Pan() const { return pan_; }
    // Widget position → picture pixel, with the pan offset applied (natural size).
    QPoint ToPicture(const QPoint& p) const { return p - QPoint(1, 1) + pan_; }

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
    Source source_;
    const RECT_OBJ* outline_ = nullptr;
    QPoint pan_;
    bool fit_ = false;
};
