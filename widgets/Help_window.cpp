#include "widgets/Help_window.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QSplitter>
#include <QTextBrowser>
#include <QUrl>

namespace {

const char* kStyle = "<style>h1{font-size:large} kbd{font-family:monospace;font-weight:bold}"
                     "td{padding-right:12px}</style>";

} // namespace

THelpForm::THelpForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("HelpForm");
    setWindowTitle("Ravelscope Help");
    resize(760, 520);
    auto* split = new QSplitter(this);
    index_ = new QListWidget(split);
    index_->setObjectName("HelpIndex");
    browser_ = new QTextBrowser(split);
    browser_->setObjectName("HelpBrowser");
    browser_->setOpenLinks(false);
    split->setStretchFactor(1, 3);
    split->setSizes({190, 570});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
    connect(index_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < static_cast<int>(file_.Topics().size()))
            ShowContext(file_.Topics()[static_cast<std::size_t>(row)].context);
    });
    // Links between topics are written "topic:N"; "index" shows the index.
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.scheme() == "topic")
            ShowContext(url.path().toInt());
        else if (url.scheme() == "index" || url.toString() == "index")
            ShowIndex();
    });
}

bool THelpForm::LoadFile(const std::string& path)
{
    if (!file_.Load(path))
        return false;
    index_->clear();
    for (const HELP_TOPIC& t : file_.Topics())
        index_->addItem(QString::fromStdString(t.title));
    return true;
}

bool THelpForm::ShowContext(std::int32_t context)
{
    const HELP_TOPIC* t = file_.Topic(context);
    if (t == nullptr)
        return false;
    current_ = context;
    browser_->setHtml(QString(kStyle) + "<h1>" + QString::fromStdString(t->title).toHtmlEscaped() + "</h1>" +
                      QString::fromStdString(t->body));
    const QSignalBlocker block(index_);
    for (std::size_t i = 0; i < file_.Topics().size(); ++i)
        if (file_.Topics()[i].context == context)
            index_->setCurrentRow(static_cast<int>(i));
    return true;
}

void THelpForm::ShowIndex()
{
    current_ = 0;
    QString html = QString(kStyle) + "<h1>Index</h1><ul>";
    for (const HELP_TOPIC& t : file_.Topics())
        html += QString("<li><a href=\"topic:%1\">%2</a></li>")
                    .arg(t.context)
                    .arg(QString::fromStdString(t.title).toHtmlEscaped());
    browser_->setHtml(html + "</ul>");
    const QSignalBlocker block(index_);
    index_->setCurrentRow(-1);
}

HELP_VIEWER::~HELP_VIEWER() { delete form_; }

THelpForm* HELP_VIEWER::Open()
{
    if (form_)
        return form_;
    const std::string path = FindHelpFile(dir_);
    if (path.empty())
        return nullptr;
    auto* form = new THelpForm();
    form->setAttribute(Qt::WA_DeleteOnClose);
    if (!form->LoadFile(path)) {
        delete form;
        return nullptr;
    }
    form_ = form;
    return form;
}

bool HELP_VIEWER::ShowContext(std::int32_t n)
{
    THelpForm* form = Open();
    if (form == nullptr || !form->ShowContext(n))
        return false;
    form->show();
    form->raise();
    return true;
}

bool HELP_VIEWER::ShowIndex()
{
    THelpForm* form = Open();
    if (form == nullptr)
        return false;
    form->ShowIndex();
    form->show();
    form->raise();
    return true;
}
