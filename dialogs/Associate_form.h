// The file association window: the extensions with check boxes, those the program cannot
// open greyed with the reason, "Associate" and "Remove Associations". The work is
// system/Association; the window shows its summary.
#pragma once

#include "widgets/Modal_dialog.h"

#include <string>

class QListWidget;
class QPushButton;
class QLabel;

class TAssociateF : public TModalDialog {
    Q_OBJECT
public:
    // exe_path: the program the desktop entry starts; media_playback: whether sound and
    // video open in the program.
    TAssociateF(std::string exe_path, bool media_playback, QWidget* parent = nullptr);

    QListWidget* CheckListBox1 = nullptr;
    QPushButton* BitBtn5 = nullptr; // "Associate"
    QPushButton* BitBtn1 = nullptr; // "Cancel"
    QPushButton* RemoveButton = nullptr;
    QLabel* Summary = nullptr;

    void BitBtn5Click();
    void RemoveClick();
    // The indices of the ticked entries, in list order.
    std::vector<int> Ticked() const;

private:
    std::string exe_path_;
    bool media_playback_;
};
