// A link label: underlined, blue until clicked and purple after, with the hand cursor. A
// click opens its address with the desktop's handler for it (the browser for a web page).
#pragma once

#include <QLabel>
#include <QString>

class THyperLink : public QLabel {
    Q_OBJECT
public:
    static constexpr QRgb kUnvisited = 0x0000FF; // blue
    static constexpr QRgb kVisited = 0x800080;   // purple

    explicit THyperLink(QWidget* parent = nullptr);

    void SetURL(const QString& url) { url_ = url; }
    const QString& URL() const { return url_; }
    // Opens the address, reports the click, and turns the label purple. Returns false when
    // nothing could open the address.
    bool Click();
    QColor TextColor() const;

signals:
    void clicked();
    // Nothing opened the address (no browser, no desktop handler).
    void OpenFailed(const QString& url);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void SetColor(QRgb rgb);

    QString url_;
};
