// The scan dialog: the source's mode, resolution and paper source, then "Scan". The
// values start from what the device offers and what was used last.
#pragma once

#include "system/sane/Scanner.h"
#include "widgets/Modal_dialog.h"

class QComboBox;
class QLabel;

class TScanForm : public TModalDialog {
    Q_OBJECT
public:
    TScanForm(const QString& device_label, const SCAN_CHOICES& choices, const QString& last_mode,
              int last_resolution, QWidget* parent = nullptr);

    QComboBox* ModeBox = nullptr;
    QComboBox* ResolutionBox = nullptr;
    QComboBox* SourceBox = nullptr;

    // The choices made, as a request for device.
    SCAN_REQUEST Request(const std::string& device) const;
};
