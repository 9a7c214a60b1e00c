// The toolbar's icons: the desktop theme's where it has one, else drawn here.
#pragma once

#include <QIcon>
#include <QString>

// name: "open", "save-as", "undo", "redo", "print", "cut", "rect", "copy", "paste", "info",
// "previous", "next", "about".
QIcon ToolbarIcon(const QString& name);
