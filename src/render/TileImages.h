#pragma once

#include "imaging/ImageCodec.h"

#include <QByteArrayView>
#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>

namespace tessera {

// What identifies a decoded tile: the file as it was on disk, and the size it was decoded for.
struct TileKey {
    QString path;
    qint64 fileSize = -1;
    qint64 modified = 0;  // milliseconds since the epoch
    QSize size;

    bool isValid() const { return fileSize >= 0; }
    friend bool operator==(const TileKey&, const TileKey&) = default;
};
size_t qHash(const TileKey& key, size_t seed = 0);

// The key of the file at `path` now; invalid when there is no regular file there.
TileKey tileKeyFor(const QString& path, QSize size);

class HelperThreads;

// Milliseconds of a clock that never goes back, from 1 on.
qint64 steadyMilliseconds();
struct ReadResult;

// Decoded tiles, bounded in memory, keyed by path, file size, modification time and tile size.
// Thread-safe; missing tiles are decoded outside the lock, on the caller's threads, within the
// process's budgets for tile files and decodes (never on Qt's global pool: waiting for budget
// there would block the image scaling that the holder of the budget waits for).
class TileImageCache {
public:
    // Room for a 200 × 200 map of distinct 40 × 30 tiles.
    static constexpr qint64 kDefaultBytes = 200LL * 200 * 40 * 30 * 4;

    // What reads a tile file's bytes: `readRegularFile` unless replaced (tests make reads hang).
    using Reader = std::function<ReadResult(const QString& path)>;

    explicit TileImageCache(qint64 maxBytes = kDefaultBytes);
    // Before any load.
    void setReader(Reader reader) { reader_ = std::move(reader); }

    // The tile for each key, decoding those not cached on `helpers` and the calling thread; null
    // where nothing loads.
    QList<QImage> images(const QList<TileKey>& keys, HelperThreads& helpers);
    // One tile, decoded on the calling thread when not cached. While the file's read runs,
    // `readingSince` holds when it began (`steadyMilliseconds`), else 0.
    QImage image(const TileKey& key, std::atomic<qint64>* readingSince = nullptr);
    // The tile when it is cached or kept, else a null image; never reads the file.
    QImage cached(const TileKey& key);

    // Decodes performed so far (cache misses that read a file).
    qint64 decodeCount() const { return decodes_; }
    void clear();

    // Tiles held elsewhere anyway (the canvas keeps them): found here too at no cost, until
    // `forgetKept`.
    void keep(const TileKey& key, const QImage& image);
    void forgetKept();

private:
    QList<QImage> load(const QList<TileKey>& keys, HelperThreads* helpers, std::atomic<qint64>* readingSince = nullptr);

    mutable QMutex mutex_;
    QCache<TileKey, QImage> cache_;
    QHash<TileKey, QImage> kept_;
    std::atomic<qint64> decodes_ = 0;
    Reader reader_;
};

}  // namespace tessera
