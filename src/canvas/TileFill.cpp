#include "canvas/TileFill.h"

#include <QEvent>
#include <QHash>
#include <QWidget>
#include <QMutex>
#include <QtConcurrent/QtConcurrentMap>

#include <deque>

namespace tessera {

struct TileFill::Run {
    CellTexts cells;
    int mapSize = 0;
    QSize tileSize;

    QMutex mutex;  // guards what follows
    CellRange visible;
    std::deque<std::vector<LoadedTile>> ready;
    bool done = false;
};

namespace {

// Files to load in one step: few while the view waits, so that it fills in quickly.
constexpr std::size_t kViewBatch = 32;
constexpr std::size_t kRestBatch = 128;

// The distinct files of a map and the cells that show each.
class FillPlan {
public:
    FillPlan(const CellTexts& cells, int mapSize) : n_(mapSize), slotOfCell_(cells.size(), -1)
    {
        QHash<QString, int> slotOf;
        std::vector<int> counts;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (cells[i].isEmpty())
                continue;
            auto it = slotOf.constFind(cells[i]);
            if (it == slotOf.constEnd()) {
                it = slotOf.insert(cells[i], static_cast<int>(paths_.size()));
                paths_.append(cells[i]);
                counts.push_back(0);
            }
            slotOfCell_[i] = *it;
            ++counts[static_cast<std::size_t>(*it)];
        }
        offsets_.assign(counts.size() + 1, 0);
        for (std::size_t s = 0; s < counts.size(); ++s)
            offsets_[s + 1] = offsets_[s] + counts[s];
        order_.resize(static_cast<std::size_t>(offsets_.back()));
        std::vector<int> next(offsets_.begin(), offsets_.end() - 1);
        for (std::size_t i = 0; i < slotOfCell_.size(); ++i) {
            if (const int s = slotOfCell_[i]; s >= 0)
                order_[static_cast<std::size_t>(next[static_cast<std::size_t>(s)]++)] = static_cast<int>(i);
        }
        picked_.assign(paths_.size(), false);
    }

    qsizetype emptyCells() const { return static_cast<qsizetype>(slotOfCell_.size()) - offsets_.back(); }
    const QString& path(int slot) const { return paths_[slot]; }
    std::vector<int> cellsOf(int slot) const
    {
        return {order_.begin() + offsets_[static_cast<std::size_t>(slot)],
                order_.begin() + offsets_[static_cast<std::size_t>(slot) + 1]};
    }

    // Adds files not picked yet, of the cells in `area` row by row, until `batch` holds `max`.
    void pickIn(const CellRange& area, std::size_t max, std::vector<int>& batch)
    {
        for (int r = std::max(1, area.firstRow); r <= std::min(n_, area.lastRow); ++r) {
            for (int c = std::max(1, area.firstColumn); c <= std::min(n_, area.lastColumn); ++c) {
                if (batch.size() >= max)
                    return;
                take(static_cast<std::size_t>(r - 1) * static_cast<std::size_t>(n_) + static_cast<std::size_t>(c - 1),
                     batch);
            }
        }
    }

    // The same for the rest of the map, column by column.
    void pickRest(std::size_t max, std::vector<int>& batch)
    {
        const auto n = static_cast<std::size_t>(n_);
        for (; restCursor_ < n * n && batch.size() < max; ++restCursor_)
            take((restCursor_ % n) * n + restCursor_ / n, batch);
    }

private:
    void take(std::size_t cell, std::vector<int>& batch)
    {
        const int s = slotOfCell_[cell];
        if (s >= 0 && !picked_[static_cast<std::size_t>(s)]) {
            picked_[static_cast<std::size_t>(s)] = true;
            batch.push_back(s);
        }
    }

    int n_;
    std::vector<int> slotOfCell_;  // -1 for an empty cell
    QStringList paths_;
    std::vector<int> offsets_;  // the cells of slot s are order_[offsets_[s] .. offsets_[s + 1])
    std::vector<int> order_;
    std::vector<bool> picked_;
    std::size_t restCursor_ = 0;
};

CellRange around(const CellRange& view)
{
    if (view.isEmpty())
        return view;
    const int rows = view.lastRow - view.firstRow + 1;
    const int columns = view.lastColumn - view.firstColumn + 1;
    return {view.firstRow - rows, view.lastRow + rows, view.firstColumn - columns, view.lastColumn + columns};
}

// The worker: plans, then loads batch after batch until everything is loaded or it is cancelled.
void fill(TileFill::Run& run, TileImageCache& cache, QThreadPool& loaders, TaskProgress& progress)
{
    const auto n = static_cast<std::int64_t>(run.mapSize);
    progress.start(n * n);
    FillPlan plan(run.cells, run.mapSize);
    progress.advance(plan.emptyCells());
    std::vector<int> batch;
    while (!progress.cancelled()) {
        CellRange visible;
        {
            const QMutexLocker lock(&run.mutex);
            visible = run.visible;
        }
        batch.clear();
        plan.pickIn(visible, kViewBatch, batch);
        if (batch.empty())
            plan.pickIn(around(visible), kRestBatch, batch);
        if (batch.empty())
            plan.pickRest(kRestBatch, batch);
        if (batch.empty())
            break;
        QStringList paths;
        for (const int s : batch)
            paths.append(plan.path(s));
        const QSize size = run.tileSize;
        const QList<LoadedTile> files = QtConcurrent::blockingMapped(&loaders, paths, [size, &cache](const QString& path) {
            const TileKey key = tileKeyFor(path, size);
            return LoadedTile{key, cache.image(key), {}};
        });
        std::vector<LoadedTile> loaded;
        loaded.reserve(batch.size());
        std::int64_t cells = 0;
        for (std::size_t i = 0; i < batch.size(); ++i) {
            loaded.push_back(files[static_cast<qsizetype>(i)]);
            loaded.back().cells = plan.cellsOf(batch[i]);
            cells += static_cast<std::int64_t>(loaded.back().cells.size());
        }
        bool first = false;
        {
            const QMutexLocker lock(&run.mutex);
            first = run.ready.empty();
            run.ready.push_back(std::move(loaded));
        }
        progress.advance(cells);
        if (first)
            progress.wake();
    }
    {
        const QMutexLocker lock(&run.mutex);
        run.done = true;
    }
    progress.wake();
}

}  // namespace

TileFill::TileFill(TaskGroup& tasks, std::shared_ptr<TileImageCache> cache, TileSink& sink, QObject* parent)
    : QObject(parent), tasks_(tasks), cache_(std::move(cache)), sink_(sink)
{
}

TileFill::~TileFill()
{
    // Every fill's task is a child: all are asked to stop first, then joined as they go.
    for (Task* task : findChildren<Task*>(Qt::FindDirectChildrenOnly))
        task->cancel();
}

void TileFill::start(const CellTexts& cells, int mapSize, QSize tileSize)
{
    cancel();
    auto run = std::make_shared<Run>();
    run->cells = cells;
    run->mapSize = mapSize;
    run->tileSize = tileSize;
    run->visible = visible_;
    mapSize_ = mapSize;
    edited_.assign(cells.size(), false);
    run_ = run;
    task_ = new Task(
        tasks_, [run, cache = cache_, &loaders = tasks_.loaders()](TaskProgress& progress) { fill(*run, *cache, loaders, progress); },
        this);
    connect(task_, &Task::woken, this, &TileFill::drain);
    emit started(task_->progress());
}

void TileFill::cancel()
{
    if (!run_)
        return;
    task_->cancel();
    retire(task_);
    run_.reset();
    std::vector<bool>().swap(edited_);
}

void TileFill::retire(Task* task)
{
    if (task == task_)
        task_ = nullptr;
    disconnect(task, &Task::woken, this, nullptr);
    // Not deleted here: this may run inside the task's own signal.
    if (task->isFinished())
        task->deleteLater();
    else
        connect(task, &Task::finished, task, &QObject::deleteLater);
}

bool TileFill::running() const
{
    return run_ != nullptr;
}

void TileFill::setVisible(const CellRange& visible)
{
    visible_ = visible;
    if (run_) {
        const QMutexLocker lock(&run_->mutex);
        run_->visible = visible;
    }
}

bool TileFill::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Paint || type == QEvent::Move || type == QEvent::Show) {
        if (const auto* widget = qobject_cast<QWidget*>(watched))
            setVisible(cellsMeeting(widget->visibleRegion().boundingRect(), mapSize_));
    }
    return QObject::eventFilter(watched, event);
}

void TileFill::markEdited(int row, int column)
{
    if (!run_ || row < 1 || column < 1 || row > mapSize_ || column > mapSize_)
        return;
    edited_[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(mapSize_) + static_cast<std::size_t>(column - 1)] =
        true;
}

void TileFill::waitForDone()
{
    if (!run_)
        return;
    task_->wait();
    drain();
}

void TileFill::drain()
{
    if (!run_)
        return;
    std::deque<std::vector<LoadedTile>> batches;
    bool done = false;
    {
        const QMutexLocker lock(&run_->mutex);
        batches.swap(run_->ready);
        done = run_->done;
    }
    for (std::vector<LoadedTile>& batch : batches) {
        for (LoadedTile& tile : batch)
            std::erase_if(tile.cells, [this](int cell) { return edited_[static_cast<std::size_t>(cell)]; });
        sink_.drawLoaded(batch);
    }
    if (done) {
        run_.reset();
        std::vector<bool>().swap(edited_);
        retire(task_);
        emit finished();
    }
}

}  // namespace tessera
