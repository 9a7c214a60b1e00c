#include "dialogs/Hyper_link.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

THyperLink::THyperLink(QWidget* parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    SetColor(kUnvisited);
}

void THyperLink::SetColor(QRgb rgb)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor::fromRgb(rgb));
    setPalette(p);
}

QColor THyperLink::TextColor() const { return palette().color(QPalette::WindowText); }

bool THyperLink::Click()
{
    const bool opened = !url_.isEmpty() && QDesktopServices::openUrl(QUrl(url_));
    if (!opened)
        emit OpenFailed(url_);
    emit clicked();
    SetColor(kVisited);
    return opened;
}

void THyperLink::mouseReleaseEvent(QMouseEvent* e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        Click();
}
