// The main window's Tests menu (and the Tools menu's copies of its items): the batch run,
// the about box, the options dialog, screen capture and the text viewer.
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "dialogs/About_form.h"
#include "dialogs/Dec_test_field.h"
#include "dialogs/Options_form.h"
#include "viewer/Unit1.h"
#include "viewer/logic/Rtf_reader.h"
#include "viewer/logic/Window_rules.h"
#include "widgets/Picture_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>

namespace {

constexpr int kTextMinWidth = 630;
constexpr int kTextMinHeight = 514;

// While the text viewer is read-only, Space browses as it does over a picture (a
// read-only text edit would scroll a page with it); N, P and Backspace reach the window
// by themselves.
class TEXT_VIEWER_KEYS : public QObject {
public:
    explicit TEXT_VIEWER_KEYS(TForm1* form) : QObject(form), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        auto* text = qobject_cast<QTextEdit*>(watched);
        if (text == nullptr || !text->isReadOnly() || e->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier)
            return false;
        form_->mn_View_NextFileClick();
        return true;
    }

private:
    TForm1* form_;
};

} // namespace

void TForm1::mn_Help_AboutClick()
{
    TAboutFrom box(doc_, help_, settings_path_, this);
    box.Run();
}

void TForm1::mn_Tests_OptionsDialogClick()
{
    TOptionsForm form(help_, this);
    form.Run();
}


void TForm1::mn_Tests_BatchConversionClick()
{
    // The run loads its files into the document.
    if (!MayLeavePicture())
        return;
    bool opened = false;
    {
        TDecTestField form(doc_, help_, settings_path_, this);
        form.Run();
        opened = form.OpenedFile();
    }
    // The dialog's loads changed the document: show it as an open does.
    if (opened)
        ShowOpened();
}

// ---- the text viewer ----

TForm1::TEXT_CHOICE TForm1::ChooseTextFile()
{
    QFileDialog dialog(this, "Open", QString::fromStdString(doc_.open_directory),
                       "Rich Text Files (*.rtf);;Text Files (*.txt)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    auto* editable = new QCheckBox("Allow editing", &dialog);
    editable->setObjectName("AllowEditingBox");
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(editable, grid->rowCount(), 0, 1, -1);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().constFirst(), !editable->isChecked()};
}

void TForm1::mn_Tests_OpenRtfClick()
{
    const TEXT_CHOICE choice = choose_text_file_ ? choose_text_file_() : ChooseTextFile();
    if (choice.path.isEmpty())
        return;
    RICH_TEXT text;
    const std::int32_t rc = ReadRichTextFile(choice.path.toStdString(), text);
    if (rc != kOk) {
        statusBar()->showMessage(QString::fromStdString(FileNameOf(choice.path.toStdString())) + ": " +
                                 QString::fromStdString(TextFileResultText(rc)));
        return;
    }
    if (text_viewer_ == nullptr) {
        text_viewer_ = new QTextEdit(pages_);
        text_viewer_->setObjectName("RichEdit1");
        text_viewer_->setAcceptRichText(false);
        pages_->addWidget(text_viewer_);
        text_viewer_->installEventFilter(new TEXT_VIEWER_KEYS(this));
    }
    // The runs go in through a cursor with their formats: the text is never read as markup.
    text_viewer_->clear();
    QTextCursor cursor(text_viewer_->document());
    for (const TEXT_RUN& run : text.runs) {
        QTextCharFormat f;
        f.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(run.italic);
        f.setFontUnderline(run.underline);
        f.setFontPointSize(run.half_points / 2.0);
        cursor.insertText(QString::fromStdString(run.text), f);
    }
    text_viewer_->moveCursor(QTextCursor::Start);
    text_viewer_->setReadOnly(choice.read_only);
    text_viewer_->document()->setModified(false);
    picture_page_->DropSelection();
    CloseMedia();
    picture_page_->View()->hide();
    // A window fitted to a small picture grows to the default size to give the text room.
    if (!isMaximized() && !isFullScreen() && (width() < kTextMinWidth || height() < kTextMinHeight))
        resize(std::max(width(), kTextMinWidth), std::max(height(), kTextMinHeight));
    ShowPage(text_viewer_);
    text_viewer_->setFocus();
    if (text.truncated)
        statusBar()->showMessage(QString::fromStdString(FileNameOf(choice.path.toStdString())) +
                                 ": the text is shown up to where the file breaks off.");
}

void TForm1::HideTextViewer()
{
    if (text_viewer_ != nullptr && pages_->currentWidget() == text_viewer_) {
        ShowPage(picture_page_);
        if (picture_page_->PictureShown())
            picture_page_->View()->show();
    }
}
