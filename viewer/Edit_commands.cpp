// The Edit part of the window's Edit, Image and Colors commands: the undo chain's steps,
// the clipboard, Crop, Print and screen capture.
#include "viewer/Effect_commands.h"

#include "base/Result_codes.h"
#include "core/Imageinfo.h"
#include "viewer/Clipboard_picture.h"
#include "viewer/Picture_page.h"
#include "viewer/logic/Image_edits.h"
#include "viewer/logic/Modal_session.h"
#include "viewer/logic/Undo_chain.h"
#include "widgets/Qt_bridge.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int kClipboardPollMs = 1000;

bool ClipboardHasBitmap()
{
    const QMimeData* m = QGuiApplication::clipboard()->mimeData();
    return m != nullptr && m->hasImage();
}

} // namespace

TEffectCommands::TEffectCommands(QMainWindow* window, TIMAGE_INFO& doc, const UNDO_CHAIN& chain, TPicturePage& page,
                                 const MODAL_SESSION& modal, HELP_VIEWER& help)
    : QObject(window), window_(window), doc_(doc), chain_(chain), page_(page), modal_(modal), help_(help)
{
    clipboard_timer_ = new QTimer(this);
    clipboard_timer_->setInterval(kClipboardPollMs);
    connect(clipboard_timer_, &QTimer::timeout, this, &TEffectCommands::ClipboardTimerTick);
}

void TEffectCommands::BindEdit(const std::function<QAction*(CommandId)>& action)
{
    const std::pair<CommandId, void (TEffectCommands::*)()> commands[] = {
        {Cmd("mn_Edit_Undo"), &TEffectCommands::Undo},
        {Cmd("mn_Edit_Redo"), &TEffectCommands::Redo},
        {Cmd("mn_Edit_Copy"), &TEffectCommands::Copy},
        {Cmd("mn_Edit_Cut"), &TEffectCommands::Cut},
        {Cmd("mn_Edit_Paste"), &TEffectCommands::Paste},
        {Cmd("mn_Edit_Crop"), &TEffectCommands::Crop},
        {Cmd("mn_Edit_ClearClipboard"), &TEffectCommands::ClearClipboard},
        {Cmd("mn_File_Print"), &TEffectCommands::Print},
        {Cmd("tb_Print"), &TEffectCommands::Print},
        {Cmd("tb_Undo"), &TEffectCommands::Undo},
        {Cmd("tb_Redo"), &TEffectCommands::Redo},
        {Cmd("tb_Copy"), &TEffectCommands::Copy},
        {Cmd("tb_Cut"), &TEffectCommands::Cut},
        {Cmd("tb_Paste"), &TEffectCommands::Paste},
        {Cmd("mn_Tests_CaptureScreen"), &TEffectCommands::CaptureScreen},
        {Cmd("mn_Tests_CaptureClient"), &TEffectCommands::CaptureClient},
        {Cmd("mn_Tests_CaptureDeskTop"), &TEffectCommands::CaptureDeskTop},
    };
    for (const auto& [id, command] : commands)
        connect(action(id), &QAction::triggered, this, command);
    clear_clipboard_ = action(Cmd("mn_Edit_ClearClipboard"));
    paste_ = action(Cmd("mn_Edit_Paste"));
    clipboard_timer_->start();
    // Besides the poll, a change of the clipboard is looked at when it happens (rather than
    // at every paint, which would ask the X server at every picture shown).
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TEffectCommands::ClipboardTimerTick);
}

void TEffectCommands::ClipboardTimerTick()
{
    if (modal_.Active() || clear_clipboard_ == nullptr)
        return;
    if (ClipboardHasBitmap() && !clear_clipboard_->isEnabled()) {
        clear_clipboard_->setEnabled(true);
        paste_->setEnabled(true);
    }
}

void TEffectCommands::Undo()
{
    if (page_.PictureShown() && chain_.CanUndo())
        emit EditWanted([](TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS*) { return chain.Undo(doc); });
}

void TEffectCommands::Redo()
{
    if (page_.PictureShown() && chain_.CanRedo())
        emit EditWanted([](TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS*) { return chain.Redo(doc); });
}

void TEffectCommands::Copy()
{
    if (!page_.PictureShown() || !doc_.display)
        return;
    const RECT_BOUNDS* sel = page_.ActiveSelection();
    const RECT_BOUNDS whole{0, 0, doc_.display->Width(), doc_.display->Height()};
    Dib area;
    if (const int rc = CopyArea(doc_, sel != nullptr ? *sel : whole, area); rc != kOk) {
        emit StatusText(ResultText(rc));
        return;
    }
    const QImage img = DibCopy(area);
    if (img.isNull()) {
        emit StatusText(ResultText(kMemoryError));
        return;
    }
    QGuiApplication::clipboard()->setImage(img);
    clipboard_state_ = 2;
    emit CommandsChanged();
}

void TEffectCommands::Cut()
{
    const RECT_BOUNDS* sel = page_.ActiveSelection();
    if (!page_.PictureShown() || sel == nullptr)
        return;
    const RECT_BOUNDS bounds = *sel;
    Dib area;
    bool cut = false;
    // The window runs the edit at once: cut tells whether it did.
    emit EditWanted([&](TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS*) {
        const int rc = CutArea(doc, chain, bounds, area);
        cut = rc == kOk;
        return rc;
    });
    if (!cut)
        return;
    QGuiApplication::clipboard()->setImage(DibCopy(area));
    clipboard_state_ = 4;
    emit CommandsChanged();
}

void TEffectCommands::Paste()
{
    const QImage src = QGuiApplication::clipboard()->image();
    if (src.isNull())
        return;
    Dib pic;
    if (const int rc = ClipboardPicture(src, pic); rc != kOk) {
        emit StatusText(ResultText(rc));
        return;
    }
    if (!PasteDib(pic))
        return;
    clipboard_state_ = 1;
    emit CommandsChanged();
}

bool TEffectCommands::PasteDib(const Dib& pic)
{
    bool pasted = false;
    emit EditWanted([&](TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS*) {
        const int rc = PastePicture(doc, chain, pic);
        pasted = rc == kOk;
        return rc;
    });
    if (!pasted)
        return false;
    page_.DropSelection();
    page_.SetIdle();
    return true;
}

void TEffectCommands::Crop()
{
    const RECT_BOUNDS* sel = page_.ActiveSelection();
    if (!page_.PictureShown() || sel == nullptr)
        return;
    const RECT_BOUNDS area = *sel;
    page_.DropSelection();
    page_.SetIdle();
    emit EditWanted([area](TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS*) {
        return CropPicture(doc, chain, area);
    });
    clipboard_state_ = 3;
    emit CommandsChanged();
}

void TEffectCommands::ClearClipboard()
{
    if (!ClipboardHasBitmap())
        return;
    QGuiApplication::clipboard()->clear();
    emit CommandsChanged();
}

void TEffectCommands::Print()
{
    if (!page_.PictureShown() || !doc_.display)
        return;
    QPrinter printer(QPrinter::HighResolution);
    // Without a printer (or with one the system cannot reach) the picture goes to a PDF file.
    if (QPrinterInfo::availablePrinters().isEmpty() || !printer.isValid()) {
        const QString path = choose_pdf_file_ ? choose_pdf_file_()
                                              : QFileDialog::getSaveFileName(window_, "Print to PDF",
                                                                             Q(doc_.open_directory), "PDF (*.pdf)");
        if (path.isEmpty())
            return;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
    }
    printer.setFullPage(true);
    // The picture's own memory: printing is done before anything can change it.
    if (doc_.display->PixelFormat() != 24 && doc_.display->SetPixelFormat(24) != kOk) {
        emit StatusText(ResultText(kMemoryError));
        return;
    }
    const Dib& d = *doc_.display;
    const QImage img = DibView(d);
    QPainter painter;
    if (img.isNull() || !painter.begin(&printer)) {
        emit StatusText("Print: the printer could not be started.");
        return;
    }
    // Four printer pixels a picture pixel while that fits the page, else the largest size
    // that fits; the picture's pixels go to the page unchanged.
    const QRect page = printer.pageLayout().fullRectPixels(printer.resolution());
    QSize size = img.size() * 4;
    if (size.width() > page.width() || size.height() > page.height())
        size = img.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.drawImage(QRect(QPoint(0, 0), size), img);
    if (!painter.end()) {
        emit StatusText("Print: the page could not be printed.");
        return;
    }
    emit StatusText(printer.outputFormat() == QPrinter::PdfFormat
                        ? "Printed to " + QFileInfo(printer.outputFileName()).fileName()
                        : QString("Printed."));
}

// ---- screen capture ----

void TEffectCommands::CaptureFromClipboard()
{
    try {
        emit CaptureStarting();
        Paste();
    } catch (...) {
        // a capture that fails changes nothing and reports nothing
    }
}

void TEffectCommands::CaptureGrabbed(const QPixmap& grab)
{
    if (grab.isNull()) {
        emit StatusText("Screen capture: nothing was captured.");
        return;
    }
    QGuiApplication::clipboard()->setImage(grab.toImage());
    CaptureFromClipboard();
}

void TEffectCommands::CaptureScreen()
{
    QPixmap grab;
    try {
        if (grab_screen_) {
            grab = grab_screen_();
        } else {
            QScreen* s = window_->screen() != nullptr ? window_->screen() : QGuiApplication::primaryScreen();
            if (s != nullptr)
                grab = s->grabWindow(0);
        }
    } catch (...) {
        grab = QPixmap();
    }
    CaptureGrabbed(grab);
}

void TEffectCommands::CaptureClient()
{
    QPixmap grab;
    try {
        const QMenuBar* bar = window_->menuBar();
        const int top = bar->isVisible() ? bar->geometry().bottom() + 1 : 0;
        grab = window_->grab(QRect(0, top, window_->width(), window_->height() - top));
    } catch (...) {
        grab = QPixmap();
    }
    CaptureGrabbed(grab);
}

void TEffectCommands::CaptureDeskTop() { CaptureFromClipboard(); }
