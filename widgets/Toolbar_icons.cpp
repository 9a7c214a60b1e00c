#include "widgets/Toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

struct ThemeName {
    const char* ours;
    const char* theme;
};

constexpr ThemeName kThemeNames[] = {
    {"open", "document-open"}, {"save-as", "document-save-as"}, {"undo", "edit-undo"}, {"redo", "edit-redo"},
    {"print", "document-print"}, {"cut", "edit-cut"}, {"copy", "edit-copy"}, {"paste", "edit-paste"},
    {"info", "dialog-information"}, {"previous", "go-previous"}, {"next", "go-next"}, {"about", "help-about"},
};

void Arrow(QPainter& p, bool right)
{
    QPainterPath path;
    if (right) {
        path.moveTo(5, 8);
        path.lineTo(12, 8);
        path.lineTo(12, 4);
        path.lineTo(19, 11);
        path.lineTo(12, 18);
        path.lineTo(12, 14);
        path.lineTo(5, 14);
    } else {
        path.moveTo(17, 8);
        path.lineTo(10, 8);
        path.lineTo(10, 4);
        path.lineTo(3, 11);
        path.lineTo(10, 18);
        path.lineTo(10, 14);
        path.lineTo(17, 14);
    }
    path.closeSubpath();
    p.fillPath(path, QColor(40, 110, 200));
    p.drawPath(path);
}

void TurnArrow(QPainter& p, bool clockwise)
{
    QPainterPath arc;
    const QRectF box(4, 5, 14, 14);
    arc.arcMoveTo(box, clockwise ? 160 : 20);
    arc.arcTo(box, clockwise ? 160 : 20, clockwise ? -140 : 140);
    p.setPen(QPen(QColor(40, 110, 200), 2.5));
    p.drawPath(arc);
    const QPointF tip = clockwise ? QPointF(17, 9) : QPointF(5, 9);
    const QPointF a = clockwise ? QPointF(18, 3) : QPointF(4, 3);
    const QPointF b = clockwise ? QPointF(12, 9) : QPointF(10, 9);
    QPolygonF head({tip, a, b});
    p.setBrush(QColor(40, 110, 200));
    p.setPen(Qt::NoPen);
    p.drawPolygon(head);
}

void Page(QPainter& p, const QRectF& r)
{
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.drawRect(r);
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (qreal y = r.top() + 4; y < r.bottom() - 2; y += 3)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

// Drawn on a 22-unit grid, scaled to the pixmap's size.
QPixmap Draw(const QString& name, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 22.0, size / 22.0);
    p.setPen(QPen(QColor(50, 50, 50), 1));
    if (name == "open") {
        p.setBrush(QColor(230, 190, 80));
        p.drawPolygon(QPolygonF({QPointF(2, 6), QPointF(8, 6), QPointF(10, 8), QPointF(19, 8), QPointF(19, 18),
                                 QPointF(2, 18)}));
    } else if (name == "save-as") {
        p.setBrush(QColor(70, 100, 170));
        p.drawRoundedRect(QRectF(3, 3, 16, 16), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, 3, 10, 6));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(6, 12, 10, 7));
    } else if (name == "undo" || name == "redo") {
        TurnArrow(p, name == "redo");
    } else if (name == "print") {
        Page(p, QRectF(6, 2, 10, 8));
        p.setBrush(QColor(120, 120, 120));
        p.drawRoundedRect(QRectF(2, 9, 18, 8), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, 14, 10, 6));
    } else if (name == "cut") {
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.drawLine(QPointF(6, 2), QPointF(14, 14));
        p.drawLine(QPointF(16, 2), QPointF(8, 14));
        p.drawEllipse(QRectF(3, 14, 6, 6));
        p.drawEllipse(QRectF(13, 14, 6, 6));
    } else if (name == "rect") {
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawRect(QRectF(3.5, 5.5, 15, 11));
    } else if (name == "copy") {
        Page(p, QRectF(3, 2, 11, 13));
        Page(p, QRectF(8, 7, 11, 13));
    } else if (name == "paste") {
        p.setBrush(QColor(170, 120, 60));
        p.drawRoundedRect(QRectF(3, 4, 14, 16), 2, 2);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(7, 2, 6, 4));
        Page(p, QRectF(9, 9, 10, 12));
    } else if (name == "info" || name == "about") {
        p.setBrush(name == "info" ? QColor(40, 110, 200) : QColor(60, 150, 80));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(2, 2, 18, 18));
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(13);
        p.setFont(f);
        p.drawText(QRectF(2, 2, 18, 18), Qt::AlignCenter, name == "info" ? "i" : "?");
    } else if (name == "previous" || name == "next") {
        Arrow(p, name == "next");
    }
    return pm;
}

} // namespace

QIcon ToolbarIcon(const QString& name)
{
    for (const ThemeName& t : kThemeNames)
        if (name == t.ours && QIcon::hasThemeIcon(t.theme))
            return QIcon::fromTheme(t.theme);
    QIcon icon;
    for (int size : {16, 22, 32})
        icon.addPixmap(Draw(name, size));
    return icon;
}
