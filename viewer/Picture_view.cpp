#include "viewer/Picture_view.h"

#include "platform/Dib.h"
#include "viewer/logic/Rect_object.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

namespace {

// The bitmap as a QImage over the same memory; a null image when there is none.
QImage ImageOver(const Dib* d)
{
    if (d == nullptr || d->Empty() || d->PixelFormat() != 24)
        return {};
    return QImage(d->Bits(), d->Width(), d->Height(), static_cast<qsizetype>(d->Stride()), QImage::Format_BGR888);
}

} // namespace

TPictureView::TPictureView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPictureView::SetSource(Source source)
{
    source_ = std::move(source);
    update();
}

void TPictureView::SetFit(bool fit)
{
    fit_ = fit;
    update();
}

void TPictureView::SetPan(QPoint pan)
{
    if (pan == pan_)
        return;
    pan_ = pan;
    update();
}

void TPictureView::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    const QRect area = e->rect();
    p.fillRect(area, palette().window());
    const QImage img = ImageOver(source_ ? source_() : nullptr);
    if (img.isNull())
        return;
    if (fit_) {
        const QSize size = img.size().scaled(this->size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, img);
        return;
    }
    const QPoint origin = QPoint(1, 1) - pan_;
    // Only the part of the picture inside the area being painted is drawn.
    const QRect target = area.intersected(QRect(origin, img.size()));
    if (!target.isEmpty())
        p.drawImage(target, img, target.translated(-origin));
    if (outline_ != nullptr && outline_->drawn) {
        QPolygon outline;
        for (const RECT_POINT& c : outline_->corners)
            outline << QPoint(c.x, c.y) + origin;
        p.setBrush(Qt::NoBrush);
        // A light line under a dark broken one stays visible on any picture.
        p.setPen(QPen(Qt::white, 1));
        p.drawPolygon(outline);
        p.setPen(QPen(Qt::black, 1, outline_->style == 1 ? Qt::DotLine : Qt::DashLine));
        p.drawPolygon(outline);
    }
}

void TPictureView::mousePressEvent(QMouseEvent* e) { emit MousePressed(e->button(), e->position().toPoint()); }
void TPictureView::mouseMoveEvent(QMouseEvent* e) { emit MouseMoved(e->buttons(), e->position().toPoint()); }
void TPictureView::mouseReleaseEvent(QMouseEvent* e) { emit MouseReleased(e->button(), e->position().toPoint()); }
