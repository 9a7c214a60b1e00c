// The options dialog ("Option"): a foreground and a background colour, each picked with
// the colour chooser. The colours live for the run; nothing else in the program reads
// them yet.
#pragma once

#include "widgets/Modal_dialog.h"

#include <QColor>

#include <functional>

class HELP_VIEWER;
class QPushButton;

class TOptionsForm : public TModalDialog {
    Q_OBJECT
public:
    // Asks for a colour starting from the one given; an invalid colour cancels.
    using ColorChooser = std::function<QColor(const QColor& initial)>;

    explicit TOptionsForm(HELP_VIEWER& help, QWidget* parent = nullptr);

    void FG_BitBtnClick();
    void BG_BitBtnClick();

    // The chooser of the "..." buttons; the colour dialog by default.
    void SetColorChooser(ColorChooser chooser) { choose_ = std::move(chooser); }

    static QColor Foreground() { return foreground_; }
    static QColor Background() { return background_; }

    QPushButton* ForegroundButton() const { return fg_; }
    QPushButton* BackgroundButton() const { return bg_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    QColor Choose(const QColor& initial);

    ColorChooser choose_;
    QPushButton* fg_ = nullptr;
    QPushButton* bg_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    static QColor foreground_;
    static QColor background_;
};
