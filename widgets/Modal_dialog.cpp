#include "widgets/Modal_dialog.h"

#include "platform/Ini_file.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QRect>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int kMinVisible = 32; // pixels of a window that must be on a screen

} // namespace

TModalDialog::TModalDialog(QWidget* parent, HELP_TOPICS* help, std::int32_t help_context, Qt::WindowFlags flags)
    : QDialog(parent, flags), help_(help), help_context_(help_context)
{
}

int TModalDialog::Run()
{
    setWindowModality(Qt::WindowModal);
    return exec();
}

bool TModalDialog::ShowHelp() { return help_ != nullptr && help_->ShowContext(help_context_); }

bool TModalDialog::OnSomeScreen(QPoint pos, QSize size)
{
    const QRect box(pos, size);
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect on = s->geometry().intersected(box);
        if (on.width() >= std::min(kMinVisible, size.width()) && on.height() >= std::min(kMinVisible, size.height()))
            return true;
    }
    return false;
}

void TModalDialog::RestorePosition(const IniFile& ini, const char* section, QPoint designed)
{
    const QPoint stored(ini.ReadInteger(section, "Left", designed.x()), ini.ReadInteger(section, "Top", designed.y()));
    if (OnSomeScreen(stored, size())) {
        move(stored);
    } else if (OnSomeScreen(designed, size())) {
        move(designed);
    } else {
        const QWidget* over = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
        const QRect area = over != nullptr  ? over->frameGeometry()
                           : screen() != nullptr ? screen()->availableGeometry()
                                                 : QRect(QPoint(0, 0), size());
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TModalDialog::KeepPosition(IniFile& ini, const char* section) const
{
    ini.WriteInteger(section, "Top", y());
    ini.WriteInteger(section, "Left", x());
}

void TModalDialog::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_F1) {
        ShowHelp();
        return;
    }
    QDialog::keyPressEvent(e);
}
