// What the window and dialog tests drive a window with: the mouse, pictures told apart by
// their colour, and the modal dialogs that exec() shows.
#pragma once

#include "viewer/tests/Picture_files.h"

#include <QApplication>
#include <QColor>
#include <QDialog>
#include <QAbstractButton>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Presses at from, moves in steps to to, releases there.
inline void Drag(QWidget* w, QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton, int steps = 4)
{
    SendMouse(w, QEvent::MouseButtonPress, from, button, button);
    for (int i = 1; i <= steps; ++i)
        SendMouse(w, QEvent::MouseMove, from + (to - from) * i / steps, Qt::NoButton, button);
    SendMouse(w, QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}

// A solid colour per letter, so the view tells the pictures apart.
inline QColor ColourOf(char letter) { return QColor((letter * 37) & 0xFF, (letter * 91) & 0xFF, (letter * 53) & 0xFF); }

// A w × h picture all of the colour of letter.
inline bool WriteLetterPicture(const std::string& path, char letter, int w, int h)
{
    const QColor c = ColourOf(letter);
    return WriteSolidPicture(path, w, h, static_cast<std::uint8_t>(c.blue()), static_cast<std::uint8_t>(c.green()),
                             static_cast<std::uint8_t>(c.red()));
}

// Runs the dialog; while it is open, drive() acts on it. A dialog drive() left open is
// closed, so a failed check never hangs in exec().
template <class D>
int RunWith(D& dialog, const std::function<void()>& drive)
{
    QTimer::singleShot(0, &dialog, [&] {
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.windowModality(), Qt::WindowModal);
        drive();
        if (dialog.isVisible())
            dialog.reject();
    });
    return dialog.Run();
}

// Drives the modal dialog of type D that the next exec() shows, then closes it if drive
// left it open.
template <class D>
void WhenOpen(QObject* context, const std::function<void(D&)>& drive)
{
    QTimer::singleShot(0, context, [drive] {
        auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
        QVERIFY(d != nullptr);
        drive(*d);
        if (d->isVisible())
            d->reject();
    });
}

// Answers the main window's next unsaved-edits question ("UnsavedEditsBox") with the
// button of that object name ("SaveButton", "SaveAsButton", "DiscardButton",
// "CancelButton"); *asked counts it. Polls until the question shows or context goes.
inline void AnswerUnsavedEdits(QObject* context, const QString& button, int* asked = nullptr)
{
    auto* poll = new QTimer(context);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, context, [poll, button, asked] {
        QWidget* box = QApplication::activeModalWidget();
        if (box == nullptr || box->objectName() != "UnsavedEditsBox" || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        auto* b = box->findChild<QAbstractButton*>(button);
        QVERIFY2(b != nullptr, qPrintable(button));
        if (asked != nullptr)
            ++*asked;
        b->click();
    });
    poll->start();
}
