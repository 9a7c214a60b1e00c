// The histogram dialog: the plot of one colour channel of the picture shown and its mean,
// standard deviation and median, from its own copy of the picture made when it opens.
// It changes nothing in the document.
#pragma once

#include "ops/Hist_equal.h"
#include "widgets/Modal_dialog.h"

#include <cstdint>

class HELP_VIEWER;
class QComboBox;
class QLabel;
class QPushButton;
class TIMAGE_INFO;

class THistForm : public TModalDialog {
    Q_OBJECT
public:
    THistForm(const TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent = nullptr);

    // "Red", "Green" or "Blue" plots that channel and shows its statistics; the blank
    // item keeps the last channel's plot and shows its statistics again.
    void FilterComboBox1Change(int index);

    QComboBox* ComboBox() const { return combo_; }
    QLabel* PlotBox() const { return plot_box_; }
    QPushButton* OkButton() const { return ok_; }

private:
    Dib picture_; // the dialog's own copy of the picture it shows
    ChannelStatistics stats_[3];
    bool has_picture_ = false;
    QComboBox* combo_ = nullptr;
    QLabel* plot_box_ = nullptr;
    QLabel* mean_ = nullptr;
    QLabel* std_dev_ = nullptr;
    QLabel* median_ = nullptr;
    QPushButton* ok_ = nullptr;
    // The last channel plotted, for the program's run.
    static int last_channel_;
};
