#pragma once

#include "render/TileImages.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <memory>

namespace tessera {

class TaskGroup;

// The single tiles of editing steps, loaded on the task group's cell loaders and handed back on
// the GUI thread as soon as each is decoded: the GUI thread never reads a tile file. Requests never
// wait behind a fill; their answers come by a queued call, in the order they finish. A load still
// running when this goes (a read that hangs) is no longer answered.
class CellLoads : public QObject {
public:
    // Called with the key the file had when read and its tile; a null image when nothing loads.
    using Done = std::function<void(const TileKey& key, const QImage& image)>;
    // A request's state, shared with its loader.
    struct Mailbox;

    CellLoads(TaskGroup& tasks, std::shared_ptr<TileImageCache> cache, QObject* parent = nullptr);
    ~CellLoads() override;

    // Loads the tile of `path` at `size`; `done` runs on the GUI thread.
    void request(const QString& path, QSize size, Done done);
    // Loads requested and not answered yet.
    int pending() const { return static_cast<int>(waiting_.size()); }
    // Answers every request that has finished loading; with `wait`, first blocks until none is
    // loading. For tests, benchmarks and the command line.
    void deliver(bool wait = false);

private:
    TaskGroup& tasks_;
    std::shared_ptr<TileImageCache> cache_;
    std::shared_ptr<Mailbox> mailbox_;
    QHash<quint64, Done> waiting_;
    quint64 nextId_ = 0;
};

}  // namespace tessera
