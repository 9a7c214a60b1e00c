#include "dialogs/About_form.h"

#include "core/Imageinfo.h"
#include "dialogs/Hyper_link.h"
#include "platform/Ini_file.h"
#include "widgets/Help_window.h"
#include "widgets/Toolbar_icons.h"
#include "widgets/logic/Help_file.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {

constexpr char kSection[] = "AboutDlg";

QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

TAboutFrom::TAboutFrom(const TIMAGE_INFO& doc, HELP_VIEWER& help, std::string settings_path, QWidget* parent)
    : TModalDialog(parent, &help, kHelpAbout), settings_path_(std::move(settings_path))
{
    setObjectName("AboutFrom");
    setWindowTitle("About  Ravelscope");
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setMouseTracking(true);

    auto* icon = NamedLabel("Image1", QString(), this);
    icon->setPixmap(ToolbarIcon("about").pixmap(33, 33));
    icon->setFixedSize(33, 33);
    icon->setScaledContents(true);
    label13_ = NamedLabel("Label13", QString::fromUtf8(doc.GetName()), this);
    label2_ = NamedLabel("Label2", kVersion, this);
    label14_ = NamedLabel("Label14", kAuthor, this);
    label3_ = new THyperLink(this);
    label3_->setObjectName("Label3");
    label3_->setText(kHomePage);
    label3_->SetURL(kHomePage);
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("BitBtn_OK");
    ok_->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(12);
    grid->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    const std::pair<QLabel*, QLabel*> rows[] = {
        {NamedLabel("Label9", "Application:", this), label13_},
        {NamedLabel("Label1", "Version:", this), label2_},
        {NamedLabel("Label10", "Author: ", this), label14_},
        {NamedLabel("Label11", "HomePage:", this), label3_},
    };
    for (int r = 0; r < 4; ++r) {
        grid->addWidget(rows[r].first, r, 1);
        grid->addWidget(rows[r].second, r, 2);
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(4, 1);
    grid->addWidget(ok_, 5, 0, 1, 3, Qt::AlignHCenter);
    setFixedSize(sizeHint().expandedTo(QSize(335, 184)));

    connect(ok_, &QPushButton::clicked, this, &TAboutFrom::BitBtn_OKClick);
    connect(label3_, &THyperLink::OpenFailed, this, &TAboutFrom::ShowAddressAsText);

    RestorePosition(IniFile(settings_path_), kSection, kDesignedPosition);
}

TAboutFrom::~TAboutFrom()
{
    IniFile ini(settings_path_);
    KeepPosition(ini, kSection);
}

void TAboutFrom::Label3Click() { label3_->Click(); }

void TAboutFrom::ShowAddressAsText()
{
    label3_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label3_->setCursor(Qt::IBeamCursor);
    label3_->setToolTip("No browser could be opened: select the address to copy it.");
}

void TAboutFrom::FormMouseMove(int x, int y)
{
    const QRect r = label3_->geometry();
    const int left = r.x(), right = r.x() + r.width();
    const int top = r.y() - 1, bottom = r.y() + r.height() + 1;
    if (x >= left && x <= right && y >= top && y <= bottom)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void TAboutFrom::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    FormMouseMove(p.x(), p.y());
    QDialog::mouseMoveEvent(e);
}
