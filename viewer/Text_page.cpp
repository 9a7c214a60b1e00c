#include "viewer/Text_page.h"

#include "base/Result_codes.h"
#include "viewer/logic/Rtf_reader.h"
#include "viewer/logic/Window_rules.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QTextCharFormat>
#include <QTextCursor>

TTextPage::TTextPage(QWidget* parent) : QTextEdit(parent)
{
    setObjectName("RichEdit1");
    setAcceptRichText(false);
}

TTextPage::TEXT_CHOICE TTextPage::ChooseFile(const std::string& folder)
{
    QFileDialog dialog(window(), "Open", QString::fromStdString(folder), "Rich Text Files (*.rtf);;Text Files (*.txt)");
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

void TTextPage::Open(const std::string& folder)
{
    const TEXT_CHOICE choice = choose_ ? choose_(folder) : ChooseFile(folder);
    if (!choice.path.isEmpty())
        Load(choice.path, choice.read_only);
}

bool TTextPage::Load(const QString& path, bool read_only)
{
    const QString name = QString::fromStdString(FileNameOf(path.toStdString()));
    RICH_TEXT text;
    const std::int32_t rc = ReadRichTextFile(path.toStdString(), text);
    if (rc != kOk) {
        emit StatusText(name + ": " + QString::fromStdString(TextFileResultText(rc)));
        return false;
    }
    // The runs go in through a cursor with their formats: the text is never read as markup.
    clear();
    QTextCursor cursor(document());
    for (const TEXT_RUN& run : text.runs) {
        QTextCharFormat f;
        f.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(run.italic);
        f.setFontUnderline(run.underline);
        f.setFontPointSize(run.half_points / 2.0);
        cursor.insertText(QString::fromStdString(run.text), f);
    }
    moveCursor(QTextCursor::Start);
    setReadOnly(read_only);
    document()->setModified(false);
    emit Loaded();
    if (text.truncated)
        emit StatusText(name + ": the text is shown up to where the file breaks off.");
    return true;
}

void TTextPage::keyPressEvent(QKeyEvent* e)
{
    // A read-only text edit would scroll a page with Space; N, P and Backspace reach the
    // window by themselves.
    if (isReadOnly() && e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier) {
        emit NextWanted();
        return;
    }
    QTextEdit::keyPressEvent(e);
}
