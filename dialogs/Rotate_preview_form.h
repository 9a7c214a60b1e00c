// The free rotation dialog: the effect-dialog base over ROTATION_RULES, captioned "Rotate
// Preview", with a background colour button that starts at the document's rotation
// background. The preview turns a reduced copy; the command turns the whole picture by the
// angle shown when the dialog is confirmed (Outcome()).
#pragma once

#include "dialogs/Effect_form.h"
#include "dialogs/logic/Preview_rules.h"

#include <algorithm>
#include <cstdint>
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

    // What the dialog hands back: confirmed (OK) or not (Cancel, Esc), the angle and the
    // background colour. The dialog writes nothing into the document.
    ROTATION_OUTCOME Outcome() const;

    void accept() override;

private:
    // The dialog's background colour (blue, green, red) and the rules that read it at every
    // preview: both exist before the base that previews through them.
    struct ROTATION_STATE {
        explicit ROTATION_STATE(const std::uint8_t* from) { std::copy_n(from, 3, background); }
        std::uint8_t background[3] = {};
        ROTATION_RULES rules{background};
    };
    TRotatePVForm(TIMAGE_INFO& doc, HELP_VIEWER& help, QWidget* parent, std::unique_ptr<ROTATION_STATE> state);
    void Panel1Click();
    void ShowColour();

    std::unique_ptr<ROTATION_STATE> state_;
    bool accepted_ = false;
    QPushButton* colour_ = nullptr;
};
