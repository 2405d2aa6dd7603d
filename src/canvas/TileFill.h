#pragma once

#include "canvas/CanvasGeometry.h"
#include "render/TileImages.h"
#include "work/Tasks.h"
#include "model/TileGrid.h"

#include <QObject>

#include <memory>
#include <vector>

namespace tessera {

// One loaded tile and the cells that show it (row-major indices, row * mapSize + column, from 0).
struct LoadedTile {
    TileKey key;
    QImage image;  // null when nothing could be loaded
    std::vector<int> cells;
};

// Where loaded tiles are drawn, on the GUI thread.
class TileSink {
public:
    virtual ~TileSink() = default;
    virtual void drawLoaded(const std::vector<LoadedTile>& batch) = 0;
};

// Loads the tiles of a full redraw in the background and hands them to a `TileSink` as each is
// decoded: first the cells in view, then their neighbourhood, then the rest column by column
// (rows within), each distinct file once, on the task group's loaders. A slow tile holds back no
// other; a read that hangs past the grace is left to its loader (its cells count as done and
// stay empty; its tile is drawn if it still comes while the fill is current), so the fill ends.
// Cells that an editing step drew on after the fill began (`markEdited`) keep what that step
// drew. Each fill's planner is a `Task` of the group, a child of this object; it holds the cache
// and the snapshot it reads. A cancelled fill ends on its own and goes; the destructor joins
// those still running.
class TileFill : public QObject {
    Q_OBJECT

public:
    // A fill's state, shared with its worker.
    struct Run;

    TileFill(TaskGroup& tasks, std::shared_ptr<TileImageCache> cache, TileSink& sink, QObject* parent = nullptr);
    ~TileFill() override;

    // Cancels any running fill and starts one over a snapshot of the cells.
    void start(const CellTexts& cells, int mapSize, QSize tileSize);
    // Stops the running fill; nothing more of it is drawn.
    void cancel();
    // The fill has not ended yet (tiles left to hung reads may still come after it has).
    bool running() const;

    // The cells in view now; the fill loads those it has not loaded yet next.
    void setVisible(const CellRange& visible);
    void markEdited(int row, int column);

    // Blocks until the running fill has loaded everything and draws what is left. For tests,
    // benchmarks and the command line.
    void waitForDone();

    // Installed on the canvas widget: follows what of it is in view.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A fill started; its progress stays valid for as long as the pointer is held.
    void started(std::shared_ptr<const WorkProgress> progress);
    void finished();

private:
    void drain();
    // Nothing more of the current run is drawn, and its planner stops.
    void stopRun();
    // Lets a cancelled or finished fill's task go once its work has ended.
    void retire(Task* task);

    TaskGroup& tasks_;
    std::shared_ptr<TileImageCache> cache_;
    TileSink& sink_;
    std::shared_ptr<Run> run_;  // the current fill's, until cancelled
    Task* task_ = nullptr;  // its planner's while it runs, a child
    std::vector<bool> edited_;
    int mapSize_ = 0;
    CellRange visible_;
};

}  // namespace tessera
