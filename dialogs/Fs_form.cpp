#include "dialogs/Fs_form.h"

#include "core/Imageinfo.h"
#include "dialogs/logic/Browse.h"
#include "platform/Ini_file.h"
#include "widgets/Help_window.h"
#include "widgets/Qt_bridge.h"
#include "widgets/logic/Help_file.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>

namespace {

constexpr char kSection[] = "FS";
constexpr int kLabelMargin = 8;
constexpr int kWheelStep = 120; // one notch of a wheel

QColor ColourOf(std::uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

std::uint32_t ValueOf(const QColor& c)
{
    return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
           static_cast<std::uint32_t>(c.blue()) << 16;
}

QLabel* Caption(const char* name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    QFont f = l->font();
    f.setPixelSize(13);
    f.setBold(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, Qt::white);
    l->setPalette(p);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
}

} // namespace

TFSForm::TFSForm(TIMAGE_INFO& doc, HELP_VIEWER& help, std::string settings_path, QWidget* parent)
    : TModalDialog(parent, &help, kHelpFullScreen), doc_(doc), settings_path_(std::move(settings_path))
{
    setObjectName("FSForm");
    setWindowTitle("Full Screen");
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setMouseTracking(true);
    const QScreen* s = parent != nullptr && parent->screen() != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    screen_ = s->geometry();
    setGeometry(screen_);

    label1_ = Caption("Label1", this);
    label2_ = Caption("Label2", this);
    label3_ = Caption("Label3", this);
    label3_->hide();
    panel3_ = new QWidget(this);
    panel3_->setObjectName("Panel3");
    panel3_->hide();

    popup_ = new QMenu(this);
    popup_->setObjectName("PopupMenu1");
    const std::pair<const char*, const char*> items[] = {
        {"context_menu_BG", "BackGround..."}, {"mn_context_font", "Font..."}, {"mn_context_ViewNext", "ViewNext"},
        {"mn_context_ViewPrevious", "ViewPrevious"}, {"mn_context_exit", "Exit"},
    };
    for (const auto& [name, caption] : items)
        popup_->addAction(caption)->setObjectName(name);
    connect(popup_->actions()[0], &QAction::triggered, this, &TFSForm::context_menu_BG_Click);
    connect(popup_->actions()[1], &QAction::triggered, this, &TFSForm::mn_context_fontClick);
    connect(popup_->actions()[4], &QAction::triggered, this, &TFSForm::mn_context_exitClick);

    cursor_timer_ = new QTimer(this);
    cursor_timer_->setSingleShot(true);
    cursor_timer_->setInterval(kCursorIdleMs);
    connect(cursor_timer_, &QTimer::timeout, this, [this] { setCursor(Qt::BlankCursor); });

    background_ = static_cast<std::uint32_t>(IniFile(settings_path_).ReadInteger(kSection, "BG", 0));
    ShowCurrent();
}

TFSForm::~TFSForm() { ClearMedia(); }

int TFSForm::Run()
{
    // The frameless window gets the screen's geometry and the full-screen state together:
    // either alone misplaces it without a window manager or headless.
    setGeometry(screen_);
    setWindowState(windowState() | Qt::WindowFullScreen);
    cursor_timer_->start();
    return TModalDialog::Run();
}

void TFSForm::ShowCurrent()
{
    shown_ = QImage();
    place_ = {};
    const auto count = static_cast<std::int32_t>(doc_.file_list.size());
    if (doc_.state == kPictureOpen) {
        ClearMedia();
        PictureView();
        label2_->setText(QString::fromStdString(FullscreenPositionText(doc_.current_index, count)));
    } else if (doc_.format_code > 100) {
        MediaView();
        label2_->setText(QString::fromStdString(FullscreenPositionText(doc_.current_index, count, true)));
    }
    label1_->setText(QString::fromStdString(doc_.current_path));
    PlaceLabels();
    update();
}

void TFSForm::PictureView()
{
    if (!doc_.display || doc_.display->Empty() || doc_.display->PixelFormat() != 24)
        return;
    const Dib& d = *doc_.display;
    place_ = FullscreenPlace(d.Width(), d.Height(), screen_.width(), screen_.height());
    // A view of the bitmap's rows; what is drawn is a copy of its own, scaled once here, so
    // painting never goes back to the document.
    const QImage whole = DibView(d);
    shown_ = place_.stretched ? whole.scaled(place_.width, place_.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              : whole.copy();
}

void TFSForm::MediaView()
{
    ClearMedia();
    const FS_PLACE p = FullscreenMediaPlace(doc_.format_code, 0, 0, screen_.width(), screen_.height());
    if (p.width <= 0)
        return;
    panel3_->setGeometry(p.left, p.top, p.width, p.height);
    panel3_->show();
    if (media_view_)
        media_view_(panel3_, doc_);
}

void TFSForm::PlaceMediaPanel(std::int32_t video_w, std::int32_t video_h)
{
    const FS_PLACE p = FullscreenMediaPlace(doc_.format_code, video_w, video_h, screen_.width(), screen_.height());
    if (p.width > 0)
        panel3_->setGeometry(p.left, p.top, p.width, p.height);
}

void TFSForm::ClearMedia()
{
    // The panel's content is the player's window: it goes with the file it played.
    qDeleteAll(panel3_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    panel3_->hide();
    panel3_->resize(0, panel3_->height());
}

void TFSForm::PlaceLabels()
{
    label1_->adjustSize();
    label2_->adjustSize();
    label1_->move(kLabelMargin, kLabelMargin);
    label2_->move(width() - label2_->width() - kLabelMargin, kLabelMargin);
    label3_->move(kLabelMargin, height() - label3_->height() - kLabelMargin);
    label1_->raise();
    label2_->raise();
    label3_->raise();
}

bool TFSForm::AfterStep(std::int32_t index)
{
    if (index < 0)
        return false; // nothing opened: the picture shown stays
    stepped_ = true;
    ShowCurrent();
    return true;
}

bool TFSForm::MayStep()
{
    if (!HoldsUnsavedEdits(doc_))
        return true;
    label3_->setText("Stepping paused: the picture has unsaved edits. Esc leaves full screen to save them.");
    label3_->adjustSize();
    label3_->show();
    PlaceLabels();
    return false;
}

bool TFSForm::ViewNext() { return MayStep() && AfterStep(opener_.Step(doc_, 1)); }
bool TFSForm::ViewPrevious() { return MayStep() && AfterStep(opener_.Step(doc_, -1)); }
bool TFSForm::ViewFirst() { return MayStep() && AfterStep(opener_.First(doc_)); }
bool TFSForm::ViewLast() { return MayStep() && AfterStep(opener_.Last(doc_)); }

void TFSForm::SetBackground(std::uint32_t colour)
{
    background_ = colour & 0xFFFFFF;
    IniFile(settings_path_).WriteInteger(kSection, "BG", static_cast<std::int32_t>(background_));
    update();
}

void TFSForm::context_menu_BG_Click()
{
    const QColor c = QColorDialog::getColor(ColourOf(background_), this, "BackGround");
    if (c.isValid())
        SetBackground(ValueOf(c));
}

void TFSForm::mn_context_fontClick()
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, label1_->font(), this, "Font");
    if (!ok)
        return;
    label1_->setFont(f);
    label2_->setFont(f);
    PlaceLabels();
}

void TFSForm::mn_context_exitClick() { accept(); }

void TFSForm::paintEvent(QPaintEvent* /*e*/)
{
    QPainter p(this);
    p.fillRect(rect(), ColourOf(background_));
    if (!shown_.isNull())
        p.drawImage(place_.left, place_.top, shown_);
}

void TFSForm::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    PlaceLabels(); // a window manager may settle the full-screen size after showing
}

void TFSForm::keyPressEvent(QKeyEvent* e)
{
    const int k = e->key();
    const bool ctrl = (e->modifiers() & Qt::ControlModifier) != 0;
    if (k == Qt::Key_F1) {
        ShowHelp();
    } else if (k == Qt::Key_Escape || k == Qt::Key_Return || k == Qt::Key_Enter || (ctrl && k == Qt::Key_F) ||
               k == Qt::Key_F11) { // F11 leaves full screen as it entered it
        mn_context_exitClick();
    } else if (k == Qt::Key_Space || k == Qt::Key_Right || k == Qt::Key_Down || k == Qt::Key_PageDown ||
               (ctrl && k == Qt::Key_N)) {
        ViewNext();
    } else if (k == Qt::Key_Backspace || k == Qt::Key_Left || k == Qt::Key_Up || k == Qt::Key_PageUp ||
               (ctrl && k == Qt::Key_P)) {
        ViewPrevious();
    } else if (k == Qt::Key_Home) {
        ViewFirst();
    } else if (k == Qt::Key_End) {
        ViewLast();
    } else {
        e->ignore();
    }
}

void TFSForm::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton) {
        const QPoint at = e->position().toPoint();
        popup_->popup(QPoint(x() + at.x() + 3, y() + at.y() + 30));
    }
}

void TFSForm::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        mn_context_exitClick();
}

void TFSForm::mouseMoveEvent(QMouseEvent* e)
{
    unsetCursor();
    cursor_timer_->start();
    QDialog::mouseMoveEvent(e);
}

void TFSForm::wheelEvent(QWheelEvent* e)
{
    // Down (towards the user) steps forwards, as Page Down does.
    wheel_ += e->angleDelta().y();
    while (wheel_ <= -kWheelStep) {
        wheel_ += kWheelStep;
        ViewNext();
    }
    while (wheel_ >= kWheelStep) {
        wheel_ -= kWheelStep;
        ViewPrevious();
    }
}
