#include "canvas/CellLoads.h"

#include "work/Tasks.h"

#include <QMutex>
#include <QWaitCondition>

#include <deque>
#include <utility>

namespace tessera {

struct CellLoads::Mailbox {
    QMutex mutex;  // guards what follows
    QWaitCondition loaded;
    CellLoads* owner = nullptr;  // null once the owner has gone
    std::deque<std::pair<quint64, std::pair<TileKey, QImage>>> ready;
};

CellLoads::CellLoads(TaskGroup& tasks, std::shared_ptr<TileImageCache> cache, QObject* parent)
    : QObject(parent), tasks_(tasks), cache_(std::move(cache)), mailbox_(std::make_shared<Mailbox>())
{
    mailbox_->owner = this;
}

CellLoads::~CellLoads()
{
    const QMutexLocker lock(&mailbox_->mutex);
    mailbox_->owner = nullptr;  // a queued call to this object goes with it
}

void CellLoads::request(const QString& path, QSize size, Done done)
{
    const quint64 id = ++nextId_;
    waiting_.insert(id, std::move(done));
    tasks_.cellLoaders().start([mailbox = mailbox_, cache = cache_, path, size, id] {
        const TileKey key = tileKeyFor(path, size);  // the stat too may block on a hung file system
        QImage image = cache->image(key);
        const QMutexLocker lock(&mailbox->mutex);
        const bool first = mailbox->ready.empty();
        mailbox->ready.push_back({id, {key, std::move(image)}});
        mailbox->loaded.wakeAll();
        if (first && mailbox->owner)
            QMetaObject::invokeMethod(mailbox->owner, [owner = mailbox->owner] { owner->deliver(); }, Qt::QueuedConnection);
    });
}

void CellLoads::deliver(bool wait)
{
    decltype(Mailbox::ready) ready;
    {
        QMutexLocker lock(&mailbox_->mutex);
        while (wait && mailbox_->ready.size() < static_cast<std::size_t>(waiting_.size()))
            mailbox_->loaded.wait(&mailbox_->mutex);
        ready.swap(mailbox_->ready);
    }
    for (auto& [id, loaded] : ready) {
        const Done done = waiting_.take(id);
        if (done)
            done(loaded.first, loaded.second);
    }
}

}  // namespace tessera
