// The about box ("About  Ravelscope"): the product's name, version, author and web page.
// A click on the address opens it in the browser; when nothing opens it, the address
// becomes selectable text to copy. The box keeps its screen position in the settings
// file ("AboutDlg", "Top" and "Left"); a stored position off every screen gives the
// designed one.
#pragma once

#include "widgets/Modal_dialog.h"

#include <QPoint>

#include <string>

class HELP_VIEWER;
class QLabel;
class QPushButton;
class THyperLink;
class TIMAGE_INFO;

class TAboutFrom : public TModalDialog {
    Q_OBJECT
public:
    static constexpr QPoint kDesignedPosition{373, 129};
    static constexpr const char* kVersion = "1.0.7";
    static constexpr const char* kAuthor = "The Ravelscope developers";
    static constexpr const char* kHomePage = "https://ravelscope.example.org/";

    TAboutFrom(const TIMAGE_INFO& doc, HELP_VIEWER& help, std::string settings_path, QWidget* parent = nullptr);
    // Writes the box's position.
    ~TAboutFrom() override;

    void BitBtn_OKClick() { accept(); }
    void Label3Click();
    // The cursor for a mouse at (x, y) of the box: the hand over the address label's
    // rectangle widened by one pixel above and below (edges included), else the arrow.
    void FormMouseMove(int x, int y);

    QLabel* ProductLabel() const { return label13_; }
    QLabel* VersionLabel() const { return label2_; }
    QLabel* AuthorLabel() const { return label14_; }
    THyperLink* AddressLabel() const { return label3_; }
    QPushButton* OkButton() const { return ok_; }

protected:
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void ShowAddressAsText();

    std::string settings_path_;
    QLabel* label13_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label14_ = nullptr;
    THyperLink* label3_ = nullptr;
    QPushButton* ok_ = nullptr;
};
