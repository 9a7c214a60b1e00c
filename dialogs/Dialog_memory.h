// What the open and save dialogs keep from one showing to the next within a run: the
// directory and type the last OK accepted, and the open dialog's media preview. The main
// window owns one and passes it to every open and save dialog it makes, as windows receive
// the document; a fresh one is a new run. Across runs the settings file remembers.
#pragma once

#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>

class QWidget;

struct FILE_DIALOG_MEMORY {
    QString last_dir;             // the directory the last OK accepted, "" for none
    std::int32_t last_index = -1; // the type it accepted, -1 for none
};

// The media player's preview of an audio or video file: puts a paused player for path into
// host and sets *source to the picture's size (empty for audio). False when the file cannot
// be played.
using MEDIA_PREVIEW = std::function<bool(QWidget* host, const QString& path, QSize* source)>;

struct DIALOG_MEMORY {
    FILE_DIALOG_MEMORY open;
    FILE_DIALOG_MEMORY save;
    // Installed by the window that plays media; without one media files show "Preview
    // Unvailable" (an MPEG audio file its stream lines) and may still be opened.
    MEDIA_PREVIEW media_preview;
};
