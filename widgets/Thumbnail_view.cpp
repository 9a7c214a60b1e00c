#include "widgets/Thumbnail_view.h"

#include "thumbnails/Thumbnail_maker.h"
#include "widgets/Qt_bridge.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>
#include <unordered_map>

namespace {

constexpr int kStateRole = Qt::UserRole + 1;
constexpr int kPad = 8; // around the thumbnail's square, inside the cell

// The cell every picture gets: the square, and a line for the name.
QSize CellSize(const QFontMetrics& fm)
{
    return {TThumbnailView::kEdge + 2 * kPad, TThumbnailView::kEdge + 2 * kPad + fm.height() + 2};
}

} // namespace

// The list of pictures and what the view knows of each: per row only its state; the
// thumbnails held sit in a map of their own (at most a few hundred).
class THUMBNAIL_MODEL : public QAbstractListModel {
public:
    using ItemState = TThumbnailView::ItemState;
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(paths.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= static_cast<int>(paths.size()))
            return {};
        const std::string& path = paths[static_cast<std::size_t>(index.row())];
        switch (role) {
        case Qt::DisplayRole:
            return QFile::decodeName(QByteArray::fromStdString(path.substr(path.rfind('/') + 1)));
        case Qt::ToolTipRole:
            return QFile::decodeName(QByteArray::fromStdString(path));
        case Qt::DecorationRole: {
            const auto found = pictures.find(index.row());
            return found != pictures.end() ? found->second : QImage();
        }
        case kStateRole:
            return static_cast<int>(states[static_cast<std::size_t>(index.row())]);
        default:
            return {};
        }
    }

    void Reset(std::vector<std::string> list)
    {
        beginResetModel();
        paths = std::move(list);
        states.assign(paths.size(), ItemState::kWaiting);
        pictures.clear();
        asked.clear();
        endResetModel();
    }

    ItemState State(int row) const { return states[static_cast<std::size_t>(row)]; }
    void Changed(int row) { emit dataChanged(index(row), index(row)); }

    std::vector<std::string> paths;
    std::vector<ItemState> states;
    std::unordered_map<int, QImage> pictures; // row -> thumbnail, for the rows kReady
    std::unordered_map<std::string, int> asked; // path -> row of what the pool was last asked for
};

namespace {

// Paints a cell: the thumbnail centred in its square (or the placeholder, or the mark of
// a refused picture) and the name under it, elided in the middle.
class THUMBNAIL_DELEGATE : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return CellSize(option.fontMetrics);
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        p->save();
        const QRect cell = option.rect;
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        const QPalette::ColorGroup group =
            (option.state & QStyle::State_Active) != 0 ? QPalette::Active : QPalette::Inactive;
        if (selected) {
            p->setRenderHint(QPainter::Antialiasing);
            p->setPen(Qt::NoPen);
            p->setBrush(option.palette.brush(group, QPalette::Highlight));
            p->drawRoundedRect(cell.adjusted(2, 2, -2, -2), 4, 4);
            p->setRenderHint(QPainter::Antialiasing, false);
        }
        const QRect square(cell.left() + kPad, cell.top() + kPad, TThumbnailView::kEdge, TThumbnailView::kEdge);
        const auto state = static_cast<TThumbnailView::ItemState>(index.data(kStateRole).toInt());
        const QColor frame = option.palette.color(group, QPalette::Mid);
        if (state == TThumbnailView::ItemState::kReady) {
            const QImage picture = index.data(Qt::DecorationRole).value<QImage>();
            QSize size = picture.size();
            if (size.width() > square.width() || size.height() > square.height())
                size.scale(square.size(), Qt::KeepAspectRatio);
            QRect at(QPoint(0, 0), size);
            at.moveCenter(square.center());
            p->setRenderHint(QPainter::SmoothPixmapTransform);
            p->drawImage(at, picture);
        } else {
            // A frame of the picture's cell; a refused picture's is crossed out.
            const QRect box = square.adjusted(24, 24, -24, -24);
            p->setPen(QPen(frame, 1, state == TThumbnailView::ItemState::kFailed ? Qt::SolidLine : Qt::DashLine));
            p->setBrush(Qt::NoBrush);
            p->drawRect(box);
            if (state == TThumbnailView::ItemState::kFailed) {
                p->setRenderHint(QPainter::Antialiasing);
                p->setPen(QPen(QColor(200, 60, 60), 2));
                p->drawLine(box.topLeft() + QPoint(12, 12), box.bottomRight() - QPoint(12, 12));
                p->drawLine(box.topRight() + QPoint(-12, 12), box.bottomLeft() + QPoint(12, -12));
            }
        }
        const QRect text(cell.left() + 2, square.bottom() + 3, cell.width() - 4, option.fontMetrics.height());
        p->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        p->drawText(text, Qt::AlignHCenter | Qt::AlignVCenter,
                    option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle,
                                                  text.width()));
        if ((option.state & QStyle::State_HasFocus) != 0) {
            p->setPen(QPen(option.palette.color(group, QPalette::Highlight), 1, Qt::DotLine));
            p->setBrush(Qt::NoBrush);
            p->drawRect(cell.adjusted(1, 1, -2, -2));
        }
        p->restore();
    }
};

} // namespace

TThumbnailView::TThumbnailView(const THUMBNAIL_CACHE& cache, QWidget* parent)
    : TThumbnailView(
          [&cache] {
              auto maker = std::make_shared<THUMBNAIL_MAKER>(cache, kThumbNormal);
              return [maker](const std::string& path, const std::atomic<bool>& cancel) {
                  return maker->Make(path, cancel);
              };
          },
          THUMBNAIL_POOL::DefaultThreads(), parent)
{
}

TThumbnailView::TThumbnailView(THUMBNAIL_POOL::JobFactory factory, int threads, QWidget* parent)
    : QListView(parent), model_(new THUMBNAIL_MODEL(this)), hold_timer_(new QTimer(this))
{
    hold_timer_->setSingleShot(true);
    connect(hold_timer_, &QTimer::timeout, this, [this] { EndHold(); });
    pool_ = std::make_unique<THUMBNAIL_POOL>(std::move(factory), threads, [this] {
        QMetaObject::invokeMethod(this, [this] { TakeResults(); }, Qt::QueuedConnection);
    });
    Setup();
}

TThumbnailView::~TThumbnailView()
{
    pool_.reset(); // joins the workers before the view and its model (a child) go
}

void TThumbnailView::Setup()
{
    setObjectName("ThumbnailView");
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // the rows wrap at the view's width
    setItemDelegate(new THUMBNAIL_DELEGATE(this));
    setModel(model_);
    const QSize cell = CellSize(fontMetrics());
    setGridSize(cell);
    verticalScrollBar()->setSingleStep(cell.height() / 3);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit OpenRequested(PathAt(index.row()));
    });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit SelectionChanged(SelectedPaths()); });
}

void TThumbnailView::SetFiles(std::vector<std::string> paths, int current)
{
    pool_->Want({});
    pool_->Take();
    model_->Reset(std::move(paths));
    holding_ = Count() > 0;
    if (holding_)
        hold_timer_->start(kFirstPaintHoldMs);
    if (current >= 0 && current < Count()) {
        const QModelIndex index = model_->index(current);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    ScheduleWanted();
}

int TThumbnailView::Count() const
{
    return static_cast<int>(model_->paths.size());
}

QString TThumbnailView::PathAt(int row) const
{
    if (row < 0 || row >= Count())
        return {};
    return QFile::decodeName(QByteArray::fromStdString(model_->paths[static_cast<std::size_t>(row)]));
}

int TThumbnailView::CurrentRow() const
{
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

void TThumbnailView::SetCurrentRow(int row)
{
    if (row >= 0 && row < Count())
        setCurrentIndex(model_->index(row));
}

QStringList TThumbnailView::SelectedPaths() const
{
    QModelIndexList rows = selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList paths;
    paths.reserve(rows.size());
    for (const QModelIndex& index : rows)
        paths.push_back(PathAt(index.row()));
    return paths;
}

TThumbnailView::ItemState TThumbnailView::StateAt(int row) const
{
    return row >= 0 && row < Count() ? model_->State(row) : ItemState::kWaiting;
}

int TThumbnailView::HeldThumbnails() const
{
    return static_cast<int>(model_->pictures.size());
}

std::pair<int, int> TThumbnailView::VisibleRows() const
{
    const int n = Count();
    const int height = viewport()->height();
    if (n == 0 || height <= 0)
        return {0, -1};
    // Rows run left to right and down: the cells' tops and bottoms only grow with the row.
    auto first_at_or_after = [&](auto reaches) {
        int lo = 0, hi = n;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (reaches(visualRect(model_->index(mid))))
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    };
    const int first = first_at_or_after([](const QRect& r) { return r.bottom() >= 0; });
    const int last = first_at_or_after([height](const QRect& r) { return r.top() >= height; }) - 1;
    return {first, std::max(first - 1, last)};
}

void TThumbnailView::ScheduleWanted()
{
    if (wanted_scheduled_)
        return;
    wanted_scheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        wanted_scheduled_ = false;
        UpdateWanted();
    });
}

void TThumbnailView::UpdateWanted()
{
    const auto [first, last] = VisibleRows();
    std::vector<std::string> wanted;
    model_->asked.clear();
    auto want = [&](int row) {
        if (model_->State(row) != ItemState::kWaiting)
            return;
        const std::string& path = model_->paths[static_cast<std::size_t>(row)];
        if (model_->asked.emplace(path, row).second)
            wanted.push_back(path);
    };
    if (last >= first) {
        const int page = last - first + 1;
        for (int row = first; row <= last; ++row)
            want(row);
        for (int row = last + 1; row <= std::min(Count() - 1, last + page); ++row)
            want(row);
        for (int row = first - 1; row >= std::max(0, first - page); --row)
            want(row);
    }
    pool_->Want(wanted);
}

void TThumbnailView::TakeResults()
{
    std::vector<THUMB_RESULT> results = pool_->Take();
    if (results.empty())
        return;
    const bool made = ApplyResults(results);
    const auto [first, last] = VisibleRows();
    DropFarThumbnails(first, last);
    if (holding_) {
        bool waiting = false;
        for (int row = first; row <= last && !waiting; ++row)
            waiting = model_->State(row) == ItemState::kWaiting;
        if (made || !waiting)
            EndHold();
    }
}

bool TThumbnailView::ApplyResults(std::vector<THUMB_RESULT>& results)
{
    bool made = false;
    for (THUMB_RESULT& r : results) {
        const auto found = model_->asked.find(r.path);
        if (found == model_->asked.end())
            continue; // no longer wanted, or of the list before
        const int row = found->second;
        model_->asked.erase(found);
        if (r.status == THUMB_RESULT::Status::kReady && r.picture && !r.picture->Empty()) {
            made = made || !r.from_cache;
            model_->pictures[row] = DibImage(std::move(r.picture));
            model_->states[static_cast<std::size_t>(row)] = ItemState::kReady;
        } else {
            model_->pictures.erase(row);
            model_->states[static_cast<std::size_t>(row)] = ItemState::kFailed;
        }
        model_->Changed(row);
    }
    return made;
}

void TThumbnailView::DropFarThumbnails(int first, int last)
{
    const std::size_t held = model_->pictures.size();
    const auto kept = static_cast<std::size_t>(kKeptThumbnails);
    if (held <= kept)
        return;
    std::vector<std::pair<int, int>> rows; // distance from the visible rows, row
    rows.reserve(held);
    for (const auto& [row, picture] : model_->pictures)
        rows.emplace_back(row < first ? first - row : row > last ? row - last : 0, row);
    std::nth_element(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(held - kept), rows.end(),
                     std::greater<>());
    for (std::size_t i = 0; i < held - kept; ++i) {
        model_->pictures.erase(rows[i].second);
        model_->states[static_cast<std::size_t>(rows[i].second)] = ItemState::kWaiting;
    }
}

void TThumbnailView::EndHold()
{
    if (!holding_)
        return;
    holding_ = false;
    hold_timer_->stop();
    viewport()->update();
}

bool TThumbnailView::viewportEvent(QEvent* e)
{
    if (e->type() == QEvent::Paint && holding_) {
        QPainter p(viewport());
        p.fillRect(viewport()->rect(), viewport()->palette().brush(viewport()->backgroundRole()));
        return true;
    }
    return QListView::viewportEvent(e);
}

void TThumbnailView::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (currentIndex().isValid())
            emit OpenRequested(PathAt(currentIndex().row()));
        e->accept();
        return;
    case Qt::Key_Escape:
        emit BackRequested();
        e->accept();
        return;
    default:
        QListView::keyPressEvent(e);
    }
}

void TThumbnailView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    ScheduleWanted();
}

void TThumbnailView::resizeEvent(QResizeEvent* e)
{
    QListView::resizeEvent(e);
    ScheduleWanted();
}
