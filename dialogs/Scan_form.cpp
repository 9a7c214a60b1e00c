#include "dialogs/Scan_form.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

namespace {

QComboBox* Box(QWidget* parent, const std::vector<std::string>& items, const std::string& current,
               const QString& preferred)
{
    auto* box = new QComboBox(parent);
    for (const std::string& s : items)
        box->addItem(QString::fromStdString(s));
    int at = box->findText(preferred);
    if (at < 0)
        at = box->findText(QString::fromStdString(current));
    if (at >= 0)
        box->setCurrentIndex(at);
    box->setEnabled(box->count() > 1);
    return box;
}

} // namespace

TScanForm::TScanForm(const QString& device_label, const SCAN_CHOICES& choices, const QString& last_mode,
                     int last_resolution, QWidget* parent)
    : TModalDialog(parent, nullptr, 0)
{
    setObjectName("ScanForm");
    setWindowTitle("Acquire");
    auto* form = new QFormLayout(this);
    form->addRow("Source:", new QLabel(device_label, this));
    ModeBox = Box(this, choices.modes, choices.mode, last_mode);
    ModeBox->setObjectName("ModeBox");
    form->addRow("Mode:", ModeBox);
    std::vector<std::string> dpi;
    for (const int r : choices.resolutions)
        dpi.push_back(std::to_string(r));
    ResolutionBox = Box(this, dpi, std::to_string(choices.resolution),
                        last_resolution > 0 ? QString::number(last_resolution) : QString());
    ResolutionBox->setObjectName("ResolutionBox");
    form->addRow("Resolution (dpi):", ResolutionBox);
    SourceBox = Box(this, choices.sources, choices.source, QString());
    SourceBox->setObjectName("SourceBox");
    form->addRow("Paper source:", SourceBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText("Scan");
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

SCAN_REQUEST TScanForm::Request(const std::string& device) const
{
    SCAN_REQUEST r;
    r.device = device;
    r.mode = ModeBox->currentText().toStdString();
    r.source = SourceBox->count() > 1 ? SourceBox->currentText().toStdString() : std::string();
    r.resolution = ResolutionBox->currentText().toInt();
    return r;
}
