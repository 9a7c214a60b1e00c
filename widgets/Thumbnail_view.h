// The thumbnail view: the pictures of a file list as a grid of thumbnails, each with its
// file name under it, for seeing a folder at a glance and picking pictures out of it.
//
// Thumbnails come from the shared cache (thumbnails/Thumbnail_cache.h) or are made on a
// worker pool: the visible ones first, then a screen ahead and a screen behind; work for
// pictures scrolled out of that range is cancelled. Until its thumbnail arrives a picture
// shows a placeholder frame; a picture the readers refuse shows a crossed-out frame. The
// user-interface thread never reads, stats or decodes a file: the grid is a list model of
// uniform cells, and at most kKeptThumbnails thumbnails, those nearest the visible ones,
// stay in memory. After SetFiles the cells are held back (the view paints its background
// alone, and the event loop runs on) until the visible pictures' thumbnails are in, a
// thumbnail had to be made (the cache does not know the folder), or kFirstPaintHoldMs
// passed: a folder seen before shows whole at once, a new one shows its placeholders.
//
// Keys: the arrows, Page Up, Page Down, Home and End move (with Shift they extend the
// selection), Ctrl+A selects all, Enter opens the current picture, Esc goes back. Mouse: a
// click selects one picture, Ctrl+click adds or removes one, Shift+click selects the
// range, a double click opens. The view reports these as signals and knows nothing of the
// window that holds it.
#pragma once

#include "thumbnails/Thumbnail_cache.h"
#include "thumbnails/Thumbnail_pool.h"

#include <QListView>
#include <QStringList>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class QTimer;
class THUMBNAIL_MODEL;

class TThumbnailView : public QListView {
    Q_OBJECT
public:
    static constexpr int kEdge = 128; // the cache's normal size
    static constexpr int kKeptThumbnails = 800;
    static constexpr int kFirstPaintHoldMs = 100;

    // Normal-size thumbnails from and into cache, which must outlive the view.
    explicit TThumbnailView(const THUMBNAIL_CACHE& cache, QWidget* parent = nullptr);
    // Thumbnails made by the jobs of factory on threads workers.
    TThumbnailView(THUMBNAIL_POOL::JobFactory factory, int threads, QWidget* parent = nullptr);
    ~TThumbnailView() override;

    // The pictures to show, in this order (absolute paths, such as the document's file
    // list). current, when it is in range, becomes the current picture, selected and
    // scrolled into view. The thumbnails of the list before are dropped.
    void SetFiles(std::vector<std::string> paths, int current = -1);
    int Count() const;
    QString PathAt(int row) const;
    int CurrentRow() const;
    void SetCurrentRow(int row);
    // The selected pictures' paths in list order.
    QStringList SelectedPaths() const;

    enum class ItemState { kWaiting, kReady, kFailed };
    ItemState StateAt(int row) const;
    // The number of thumbnails held in memory.
    int HeldThumbnails() const;
    // The first and last row with any part in view; (0, -1) for none.
    std::pair<int, int> VisibleRows() const;
    // True while the cells are held back after SetFiles.
    bool HoldingCells() const { return holding_; }

signals:
    void OpenRequested(const QString& path);
    void BackRequested();
    void SelectionChanged(const QStringList& paths);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void Setup();
    // Asks the pool again at the next turn of the event loop (once, however often called).
    void ScheduleWanted();
    // The visible pictures without a thumbnail, then a screen ahead and one behind.
    void UpdateWanted();
    // Moves the pool's results into the model.
    void TakeResults();
    // Moves results into the model; true when one was made rather than found in the cache.
    bool ApplyResults(std::vector<THUMB_RESULT>& results);
    // Paints the cells from now on.
    void EndHold();
    // Drops the thumbnails farthest from rows first..last beyond kKeptThumbnails.
    void DropFarThumbnails(int first, int last);

    THUMBNAIL_MODEL* model_; // a child of the view
    std::unique_ptr<THUMBNAIL_POOL> pool_;
    bool wanted_scheduled_ = false;
    bool holding_ = false;
    QTimer* hold_timer_ = nullptr;
};
