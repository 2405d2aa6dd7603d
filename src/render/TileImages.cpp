#include "render/TileImages.h"

#include "files/Files.h"
#include "work/HelperThreads.h"
#include "imaging/MemoryBudget.h"

#include <QDateTime>
#include <QFileInfo>

#include <chrono>

namespace tessera {
namespace {
struct Decoded {
    QImage image;
    bool read = false;
};

// The bytes of tile files held at once by all loaders, files up to 4 MB not counted. Taken
// before the decode budget and never while holding it, so that neither waits on the other.
MemoryBudget& tileFileBudget()
{
    static MemoryBudget budget(128LL * 1024 * 1024, 4LL * 1024 * 1024);
    return budget;
}

Decoded loadAndDecode(const TileKey& key, const TileImageCache::Reader& reader, std::atomic<qint64>* readingSince)
{
    // Refused before it takes budget: a huge (or sparse) file would hold every other large one back.
    if (key.fileSize > kMaxTileFileBytes)
        return {};
    const MemoryBudget::Lease held = tileFileBudget().take(key.fileSize);
    if (readingSince)
        readingSince->store(steadyMilliseconds());
    const ReadResult file = reader ? reader(key.path) : readShownFile(key.path, kMaxTileFileBytes);
    if (readingSince)
        readingSince->store(0);
    if (!file.ok)
        return {};
    return {decodeTileImage(file.data, key.size), true};
}

}  // namespace

qint64 steadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() + 1;
}

size_t qHash(const TileKey& key, size_t seed)
{
    return qHashMulti(seed, key.path, key.fileSize, key.modified, key.size.width(), key.size.height());
}

TileKey tileKeyFor(const QString& path, QSize size)
{
    TileKey key;
    key.path = path;
    key.size = size;
    if (path.isEmpty())
        return key;
    const QFileInfo info(path);
    if (!info.isFile())
        return key;
    key.fileSize = info.size();
    key.modified = info.lastModified().toMSecsSinceEpoch();
    return key;
}

TileImageCache::TileImageCache(qint64 maxBytes) : cache_(static_cast<qsizetype>(std::max<qint64>(1, maxBytes / 1024))) {}

QList<QImage> TileImageCache::images(const QList<TileKey>& keys, HelperThreads& helpers)
{
    return load(keys, &helpers);
}

QList<QImage> TileImageCache::load(const QList<TileKey>& keys, HelperThreads* helpers, std::atomic<qint64>* readingSince)
{
    QList<QImage> result(keys.size());
    QList<qsizetype> missing;
    {
        const QMutexLocker lock(&mutex_);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            if (!keys[i].isValid())
                continue;
            if (const QImage* cached = cache_.object(keys[i]))
                result[i] = *cached;
            else if (const auto kept = kept_.constFind(keys[i]); kept != kept_.constEnd())
                result[i] = *kept;
            else
                missing.append(i);
        }
    }
    if (missing.isEmpty())
        return result;
    QList<TileKey> toDecode;
    toDecode.reserve(missing.size());
    for (qsizetype i : missing)
        toDecode.append(keys[i]);
    QList<Decoded> decoded(missing.size());
    const auto decode = [&, out = decoded.data()](int k) { out[k] = loadAndDecode(toDecode.at(k), reader_, readingSince); };
    if (helpers && missing.size() > 1)
        helpers->forEach(static_cast<int>(missing.size()), decode);
    else
        for (int k = 0; k < missing.size(); ++k)
            decode(k);
    const QMutexLocker lock(&mutex_);
    for (qsizetype k = 0; k < missing.size(); ++k) {
        const Decoded& d = decoded[k];
        if (d.read)
            ++decodes_;
        result[missing[k]] = d.image;
        if (!d.image.isNull()) {
            // Cost in kilobytes, at least one.
            const auto cost = std::max<qsizetype>(1, d.image.sizeInBytes() / 1024);
            cache_.insert(toDecode[k], new QImage(d.image), cost);
        }
    }
    return result;
}

void TileImageCache::clear()
{
    const QMutexLocker lock(&mutex_);
    cache_.clear();
}

void TileImageCache::keep(const TileKey& key, const QImage& image)
{
    const QMutexLocker lock(&mutex_);
    kept_.insert(key, image);
}

void TileImageCache::forgetKept()
{
    const QMutexLocker lock(&mutex_);
    kept_.clear();
}

QImage TileImageCache::image(const TileKey& key, std::atomic<qint64>* readingSince)
{
    return load({key}, nullptr, readingSince).constFirst();
}

QImage TileImageCache::cached(const TileKey& key)
{
    const QMutexLocker lock(&mutex_);
    if (const QImage* image = cache_.object(key))
        return *image;
    return kept_.value(key);
}

}  // namespace tessera
