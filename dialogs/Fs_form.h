// The full-screen viewer: the document's picture alone on a borderless window over the
// whole screen, with its path at the top left and its place in the directory list
// ("2/3") at the top right. Keys, the wheel and the context menu step through the
// directory; a file that fails is skipped, and one round without success keeps the
// picture shown. Pictures that fit are shown at their size, larger ones fitted by the side
// that limits them (scaled smoothly once per picture), centred. The background colour is
// kept under "FS" "BG" in the settings file. Leaving hands the document back as it was
// last shown: the caller shows it when Stepped() says the picture changed. A picture with
// unsaved edits is never stepped away from: stepping pauses on it and says so (Label3).
#pragma once

#include "dialogs/logic/Fullscreen_rules.h"
#include "widgets/Modal_dialog.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>

class HELP_VIEWER;
class QLabel;
class QMenu;
class QTimer;
class TIMAGE_INFO;

class TFSForm : public TModalDialog {
    Q_OBJECT
public:
    // Plays the document's media file in the panel given (the media window's host, placed
    // and sized already); called for each media file shown, after the panel's previous
    // content was cleared. Without one, a media file shows its path and place only.
    using MEDIA_VIEW = std::function<void(QWidget* panel, const TIMAGE_INFO& doc)>;

    TFSForm(TIMAGE_INFO& doc, HELP_VIEWER& help, std::string settings_path, QWidget* parent = nullptr);
    ~TFSForm() override;

    // Who plays media files (see MEDIA_VIEW); set before Run().
    void SetMediaView(MEDIA_VIEW view) { media_view_ = std::move(view); }
    // Covers the screen, shows the document's picture (or media) and waits until the
    // viewer is left. Window-modal, so the help window stays usable.
    int Run();
    // True once a step opened another file: the document's picture is not the one the
    // viewer was given.
    bool Stepped() const { return stepped_; }

    // Stepping; false when no entry of the list opened or the picture shown has unsaved
    // edits (the picture shown stays).
    bool ViewNext();
    bool ViewPrevious();
    bool ViewFirst();
    bool ViewLast();
    void context_menu_BG_Click();
    void mn_context_fontClick();
    void mn_context_exitClick();
    // The background colour, 0x00BBGGRR.
    std::uint32_t Background() const { return background_; }
    void SetBackground(std::uint32_t colour);
    // Where the picture is drawn and how large, in window coordinates.
    const FS_PLACE& Place() const { return place_; }
    // The picture as drawn (already scaled to Place()); null for media.
    const QImage& Shown() const { return shown_; }
    QLabel* PathLabel() const { return label1_; }
    QLabel* PositionLabel() const { return label2_; }
    // Says why stepping paused; hidden until it does.
    QLabel* NoteLabel() const { return label3_; }
    QWidget* MediaPanel() const { return panel3_; }
    // Sizes the media panel to a video's frame once the player knows it (centred; fitted
    // when larger than the screen).
    void PlaceMediaPanel(std::int32_t video_w, std::int32_t video_h);
    QMenu* ContextMenu() const { return popup_; }
    // The mouse cursor hides after this much time without a move.
    static constexpr int kCursorIdleMs = 2000;
    QTimer* CursorTimer() const { return cursor_timer_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    void ShowCurrent();
    void PictureView();
    void MediaView();
    void ClearMedia();
    bool AfterStep(std::int32_t index);
    // False, with the note shown, while the picture has unsaved edits.
    bool MayStep();
    void PlaceLabels();

    TIMAGE_INFO& doc_;
    std::string settings_path_;
    FULLSCREEN_OPENER opener_;
    MEDIA_VIEW media_view_;
    QRect screen_;
    FS_PLACE place_;
    QImage shown_;
    std::uint32_t background_ = 0;
    int wheel_ = 0; // wheel movement not yet turned into a step
    bool stepped_ = false;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label3_ = nullptr;
    QWidget* panel3_ = nullptr;
    QMenu* popup_ = nullptr;
    QTimer* cursor_timer_ = nullptr;
};
