// The base of the effect dialogs: a preview box, a parameter scroll bar with its value
// label, OK and Cancel. The dialog's EFFECT_SESSION copies the picture when the dialog is
// made (the shown picture may change or go while it runs, the copy does not); every move
// of the scroll bar recomputes the preview through the dialog's rules. OK keeps the
// previewed picture as the dialog's result; Cancel (and Esc) leaves none. The dialog
// writes nothing into the document: the command hands the result on
// (RecordEffectResult) and applies it as an edit. F1 opens the dialog's help topic. A
// concrete dialog gives its rules, caption and help context, and may add controls of its
// own to Controls().
#pragma once

#include "dialogs/logic/Effect_rules.h"
#include "widgets/Modal_dialog.h"

#include <cstdint>
#include <memory>

class HELP_VIEWER;
class QBoxLayout;
class QLabel;
class QPushButton;
class QScrollBar;
class TIMAGE_INFO;
class TPictureView;

class TEffectForm : public TModalDialog {
    Q_OBJECT
public:
    TEffectForm(const EFFECT_RULES& rules, const TIMAGE_INFO& doc, HELP_VIEWER& help, std::int32_t help_context,
                QWidget* parent = nullptr);

    // The code of taking the result at OK (kOk, or the preview's or the sizing's code, with
    // no result then).
    std::int32_t ResultCode() const { return result_code_; }
    // The picture OK confirmed, null after Cancel or a failed preview; taken once.
    std::unique_ptr<Dib> TakeResult() { return std::move(result_); }
    const Dib* Result() const { return result_.get(); }

    void accept() override;

    const EFFECT_SESSION& Session() const { return session_; }
    QScrollBar* ScrollBar() const { return scroll_; }
    QLabel* ValueLabel() const { return value_label_; }
    TPictureView* PreviewBox() const { return preview_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

protected:
    // The column the parameter controls sit in, for a dialog's own controls.
    QBoxLayout* Controls() const { return controls_; }

private:
    void ValueChanged(int value);

    EFFECT_SESSION session_;
    std::unique_ptr<Dib> result_;
    std::int32_t result_code_ = 0;
    TPictureView* preview_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    QLabel* value_label_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QBoxLayout* controls_ = nullptr;
};
