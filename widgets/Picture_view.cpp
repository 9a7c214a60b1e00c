#include "widgets/Picture_view.h"

#include "platform/Dib.h"
#include "widgets/Qt_bridge.h"
#include "widgets/logic/Rect_object.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include <cstdint>
#include <vector>

namespace {

// The bitmap as a QImage over the same memory; a null image when there is none.
QImage ImageOver(const Dib* d)
{
    if (d == nullptr || d->Empty() || d->PixelFormat() != 24)
        return {};
    return DibView(*d);
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

void TPictureView::SetZoom(double factor)
{
    if (factor == zoom_)
        return;
    zoom_ = factor;
    update();
}

void TPictureView::PictureChanged()
{
    scaled_from_ = nullptr;
    scaled_.reset();
    update();
}

void TPictureView::AdoptScaledCopy(const Dib* picture, double factor, std::unique_ptr<Dib> copy)
{
    scaled_ = std::move(copy);
    scaled_from_ = scaled_ ? picture : nullptr;
    scaled_at_ = factor;
    update();
}

VIEW_MAP TPictureView::Map() const
{
    const Dib* d = source_ ? source_() : nullptr;
    const bool present = d != nullptr && !d->Empty();
    return VIEW_MAP::Make(present ? d->Width() : 0, present ? d->Height() : 0, zoom_, origin_.x(), origin_.y());
}

QPoint TPictureView::ToPicture(const QPoint& p) const
{
    if (zoom_ == 1.0)
        return p - origin_;
    const RECT_POINT r = Map().ToPicture(p.x(), p.y());
    return {r.x, r.y};
}

QSize TPictureView::ShownSize() const
{
    const VIEW_MAP m = Map();
    return {m.shown_w, m.shown_h};
}

const Dib* TPictureView::ScaledCopy(const Dib& picture)
{
    const VIEW_MAP m = VIEW_MAP::Make(picture.Width(), picture.Height(), zoom_, 0, 0);
    if (scaled_from_ == &picture && scaled_at_ == zoom_ && scaled_->Width() == m.shown_w &&
        scaled_->Height() == m.shown_h)
        return scaled_.get();
    scaled_from_ = nullptr;
    if (!scaled_)
        scaled_ = std::make_unique<Dib>();
    if (ScaleDownArea(picture, m.shown_w, m.shown_h, *scaled_) != 0)
        return nullptr;
    scaled_from_ = &picture;
    scaled_at_ = zoom_;
    return scaled_.get();
}

void TPictureView::SetOrigin(QPoint origin)
{
    if (origin == origin_)
        return;
    origin_ = origin;
    update();
}

void TPictureView::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    const QRect area = e->rect();
    p.fillRect(area, palette().window());
    const Dib* picture = source_ ? source_() : nullptr;
    QImage img = ImageOver(picture);
    if (img.isNull())
        return;
    if (fit_) {
        const QSize size = img.size().scaled(this->size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, img);
        return;
    }
    const VIEW_MAP map = VIEW_MAP::Make(img.width(), img.height(), zoom_, origin_.x(), origin_.y());
    const QPoint origin(map.origin_x, map.origin_y);
    // Only the part of the picture inside the area being painted is drawn.
    const QRect target = area.intersected(QRect(origin, QSize(map.shown_w, map.shown_h)));
    if (!target.isEmpty()) {
        if (map.Natural()) {
            p.drawImage(target, img, target.translated(-origin));
        } else if (zoom_ < 1.0) {
            img = ImageOver(ScaledCopy(*picture));
            if (!img.isNull())
                p.drawImage(target, img, target.translated(-origin));
        } else {
            // Each view pixel takes the picture pixel the mapping gives it: sharp blocks
            // whose edges are where the selection outline's corners go.
            QImage blocks(target.size(), QImage::Format_BGR888);
            if (!blocks.isNull()) {
                std::vector<int> column(static_cast<std::size_t>(target.width()));
                for (int x = 0; x < target.width(); ++x)
                    column[static_cast<std::size_t>(x)] = 3 * map.PictureX(target.left() + x);
                for (int y = 0; y < target.height(); ++y) {
                    const std::uint8_t* src = picture->ScanLine(map.PictureY(target.top() + y));
                    std::uint8_t* out = blocks.scanLine(y);
                    for (const int c : column) {
                        out[0] = src[c];
                        out[1] = src[c + 1];
                        out[2] = src[c + 2];
                        out += 3;
                    }
                }
                p.drawImage(target.topLeft(), blocks);
            }
        }
    }
    if (outline_ != nullptr && outline_->drawn) {
        QPolygon outline;
        for (const RECT_POINT& c : outline_->corners) {
            const RECT_POINT v = map.ToView(c.x, c.y);
            outline << QPoint(v.x, v.y);
        }
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
