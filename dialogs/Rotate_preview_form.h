// The free rotation dialog: the effect-dialog base over ROTATION_RULES, captioned "Rotate
// Preview", with a background colour button. The preview turns a reduced copy; the
// command turns the whole picture by the angle shown when the dialog is confirmed.
#pragma once

#include "dialogs/Effect_form.h"
#include "dialogs/logic/Preview_rules.h"

#include <memory>

class QPushButton;

class TRotatePVForm : public TEffectForm {
    Q_OBJECT
public:
    TRotatePVForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent = nullptr);

    // The angle of the last preview, in degrees.
    std::int32_t Angle() const { return Session().Value(); }
    // The background colour button ("Panel1"): opens the colour chooser.
    QPushButton* ColourPanel() const { return colour_; }

    // The document's rotation-cancelled flag: 0 after OK, 1 after Cancel or Esc.
    void accept() override;
    void reject() override;

private:
    // The rules exist before the base that previews through them.
    TRotatePVForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent, std::unique_ptr<ROTATION_RULES> rules);
    void Panel1Click();
    void ShowColour();

    TIMAGE_INFO& doc_;
    std::unique_ptr<ROTATION_RULES> rules_;
    QPushButton* colour_ = nullptr;
};
