#include "dialogs/Associate_form.h"

#include "system/Association.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TAssociateF::TAssociateF(std::string exe_path, bool media_playback, QWidget* parent)
    : TModalDialog(parent, nullptr, 0), exe_path_(std::move(exe_path)), media_playback_(media_playback)
{
    setObjectName("AssociateF");
    setWindowTitle("Associate ");
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(
        "Ravelscope opens the ticked types for you alone; the program that opened them before "
        "stays second and returns after Remove Associations.\n"
        ".bmp and .dib, .au and .snd, .mpg and .mpeg share a type; .mac is listed twice.",
        this);
    note->setWordWrap(true);
    layout->addWidget(note);
    CheckListBox1 = new QListWidget(this);
    CheckListBox1->setObjectName("CheckListBox1");
    const auto list = AssociationList();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const ASSOC_EXT& e = list[i];
        QString text = QString::fromLatin1(e.ext);
        const std::string why = UnavailableReason(e, media_playback_);
        const int shared = SharedTypeOf(static_cast<int>(i));
        if (!why.empty())
            text += "  (" + QString::fromStdString(why) + ")";
        else if (shared >= 0 && std::string_view(list[static_cast<std::size_t>(shared)].ext) != e.ext)
            text += QString("  (same type as %1)").arg(list[static_cast<std::size_t>(shared)].ext);
        auto* item = new QListWidgetItem(text, CheckListBox1);
        item->setToolTip(QString::fromLatin1(e.mime));
        if (why.empty()) {
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        } else {
            item->setFlags(Qt::NoItemFlags); // greyed, not tickable
        }
    }
    layout->addWidget(CheckListBox1, 1);
    Summary = new QLabel(this);
    Summary->setObjectName("Summary");
    Summary->setWordWrap(true);
    Summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(Summary);
    auto* buttons = new QHBoxLayout;
    BitBtn5 = new QPushButton("Associate", this);
    BitBtn5->setObjectName("BitBtn5");
    RemoveButton = new QPushButton("Remove Associations", this);
    RemoveButton->setObjectName("RemoveButton");
    BitBtn1 = new QPushButton("Cancel", this);
    BitBtn1->setObjectName("BitBtn1");
    buttons->addWidget(BitBtn5);
    buttons->addWidget(RemoveButton);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    layout->addLayout(buttons);
    connect(BitBtn5, &QPushButton::clicked, this, &TAssociateF::BitBtn5Click);
    connect(RemoveButton, &QPushButton::clicked, this, &TAssociateF::RemoveClick);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    resize(360, 480);
}

std::vector<int> TAssociateF::Ticked() const
{
    std::vector<int> out;
    for (int i = 0; i < CheckListBox1->count(); ++i)
        if (CheckListBox1->item(i)->checkState() == Qt::Checked)
            out.push_back(i);
    return out;
}

void TAssociateF::BitBtn5Click()
{
    const std::vector<int> ticked = Ticked();
    if (ticked.empty()) {
        Summary->setText("Nothing ticked: nothing changed.");
        return;
    }
    const ASSOC_REPORT r = Associate(ticked, exe_path_, AssocPathsFromEnvironment(), media_playback_);
    Summary->setText(QString::fromStdString(r.Summary()).trimmed());
}

void TAssociateF::RemoveClick()
{
    const ASSOC_REPORT r = RemoveAssociations(AssocPathsFromEnvironment());
    const QString text = QString::fromStdString(r.Summary()).trimmed();
    Summary->setText(text.isEmpty() ? "No association of Ravelscope was found." : "Removed. " + text);
}
