#include "canvas/TileFill.h"

#include <QEvent>
#include <QHash>
#include <QWidget>
#include <QMutex>
#include <QWaitCondition>

#include <atomic>

namespace tessera {

struct TileFill::Run {
    CellTexts cells;
    int mapSize = 0;
    QSize tileSize;
    std::shared_ptr<TileImageCache> cache;
    std::atomic<bool> cancelled{false};  // nothing more of it is drawn; loads not begun are dropped

    QMutex mutex;  // guards what follows
    QWaitCondition changed;  // a load answered, or the fill was cancelled
    CellRange visible;
    std::vector<LoadedTile> ready;
    TileFill* owner = nullptr;  // draws what is ready, on its thread; null once cancelled
    bool done = false;  // every load has answered or been left to its loader

    // Under the mutex: has the owner draw what is ready.
    void wakeOwner()
    {
        if (owner)
            QMetaObject::invokeMethod(owner, [fill = owner] { fill->drain(); }, Qt::QueuedConnection);
    }
};

namespace {

// How often the planner looks for reads that hang while it has nothing else to do.
constexpr unsigned long kLookMs = 100;

// One file being loaded for the fill.
struct Load {
    int slot = 0;
    std::atomic<qint64> reading{0};  // when its stat or read began (`steadyMilliseconds`); 0 outside them
    bool answered = false;  // under the run's mutex
};

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
    std::int64_t cellCount(int slot) const
    {
        return offsets_[static_cast<std::size_t>(slot) + 1] - offsets_[static_cast<std::size_t>(slot)];
    }
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

// Loads one file on a loader and hands its tile to the run as soon as it is decoded.
void loadOne(const std::shared_ptr<TileFill::Run>& run, Load& load, const QString& path, std::vector<int> cells)
{
    if (run->cancelled.load(std::memory_order_relaxed))
        return;
    load.reading.store(steadyMilliseconds());
    const TileKey key = tileKeyFor(path, run->tileSize);  // the stat too may hang
    load.reading.store(0);
    QImage image = run->cache->image(key, &load.reading);
    const QMutexLocker lock(&run->mutex);
    load.answered = true;
    run->changed.wakeAll();
    if (run->cancelled.load(std::memory_order_relaxed))
        return;
    if (run->ready.empty())
        run->wakeOwner();
    run->ready.push_back(LoadedTile{key, std::move(image), std::move(cells)});
}

// The planner: keeps the loaders busy with the files of the cells in view first, then their
// neighbourhood, then the rest, until every file has answered or hangs in a read. A read that
// hangs past the grace is left to its loader: its cells count as done (they stay empty, as for an
// unreadable file), and its tile is still drawn if it comes while the fill is current.
void fill(const std::shared_ptr<TileFill::Run>& runShared, LoaderThreads& loaders, TaskProgress& progress)
{
    TileFill::Run& run = *runShared;
    const auto n = static_cast<std::int64_t>(run.mapSize);
    progress.start(n * n);
    FillPlan plan(run.cells, run.mapSize);
    progress.advance(plan.emptyCells());
    // Enough in flight to keep every loader busy, few enough that the view's order holds.
    const std::size_t window = 2 * static_cast<std::size_t>(loaders.maxThreads());
    std::vector<std::shared_ptr<Load>> waiting;
    std::vector<int> batch;
    bool allPicked = false;
    QMutexLocker lock(&run.mutex);
    while (!progress.cancelled()) {
        const qint64 hungBefore = steadyMilliseconds() - kHungReadGraceMs;
        std::int64_t cells = 0;
        std::erase_if(waiting, [&](const std::shared_ptr<Load>& load) {
            const qint64 reading = load->reading.load();
            const bool over = load->answered || (reading != 0 && reading < hungBefore);
            if (over)
                cells += plan.cellCount(load->slot);
            return over;
        });
        progress.advance(cells);
        while (!allPicked && waiting.size() < window) {
            batch.clear();
            const std::size_t room = window - waiting.size();
            plan.pickIn(run.visible, room, batch);
            if (batch.empty())
                plan.pickIn(around(run.visible), room, batch);
            if (batch.empty())
                plan.pickRest(room, batch);
            allPicked = batch.empty();
            for (const int slot : batch) {
                auto load = std::make_shared<Load>();
                load->slot = slot;
                waiting.push_back(load);
                loaders.start([runShared, load, path = plan.path(slot), cells = plan.cellsOf(slot)]() mutable {
                    loadOne(runShared, *load, path, std::move(cells));
                });
            }
        }
        if (allPicked && waiting.empty())
            break;
        loaders.unblock();  // loads queued behind reads that hang begin on other threads
        run.changed.wait(&run.mutex, kLookMs);
    }
    run.done = true;
    run.wakeOwner();
}

}  // namespace

TileFill::TileFill(TaskGroup& tasks, std::shared_ptr<TileImageCache> cache, TileSink& sink, QObject* parent)
    : QObject(parent), tasks_(tasks), cache_(std::move(cache)), sink_(sink)
{
}

TileFill::~TileFill()
{
    stopRun();
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
    run->cache = cache_;
    run->visible = visible_;
    run->owner = this;
    mapSize_ = mapSize;
    edited_.assign(cells.size(), false);
    run_ = run;
    task_ = new Task(
        tasks_, [run, &loaders = tasks_.loaders()](TaskProgress& progress) { fill(run, loaders, progress); }, this);
    emit started(task_->progress());
}

void TileFill::stopRun()
{
    if (!run_)
        return;
    const QMutexLocker lock(&run_->mutex);
    run_->cancelled = true;
    run_->owner = nullptr;
    run_->changed.wakeAll();
}

void TileFill::cancel()
{
    stopRun();
    if (task_) {
        task_->cancel();
        retire(task_);
    }
    run_.reset();
    std::vector<bool>().swap(edited_);
}

void TileFill::retire(Task* task)
{
    if (task == task_)
        task_ = nullptr;
    // Not deleted here: this may run inside the task's own signal.
    if (task->isFinished())
        task->deleteLater();
    else
        connect(task, &Task::finished, task, &QObject::deleteLater);
}

bool TileFill::running() const
{
    return task_ != nullptr;
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
    if (task_)
        task_->wait();
    drain();
}

void TileFill::drain()
{
    if (!run_)
        return;
    std::vector<LoadedTile> tiles;
    bool done = false;
    {
        const QMutexLocker lock(&run_->mutex);
        tiles.swap(run_->ready);
        done = run_->done;
    }
    for (LoadedTile& tile : tiles)
        std::erase_if(tile.cells, [this](int cell) { return edited_[static_cast<std::size_t>(cell)]; });
    if (!tiles.empty())
        sink_.drawLoaded(tiles);
    if (done && task_) {
        retire(task_);
        emit finished();
    }
}

}  // namespace tessera
