#include "canvas/TileWalk.h"

#include "gui/Progress.h"

#include <QHash>

#include <vector>

namespace tessera {

void walkTiles(int mapSize, const std::function<const QString&(int, int)>& textOf, QSize tileSize,
               TileImageCache& cache, Progress& progress,
               const std::function<std::uint32_t(const TileKey&, const QImage&)>& addImage,
               const std::function<void(int, int, std::uint32_t)>& draw)
{
    const int n = mapSize;
    progress.start(static_cast<std::int64_t>(n) * n);

    constexpr std::uint32_t kNothing = UINT32_MAX;
    constexpr qsizetype kDecodeBatch = 64;
    constexpr std::int64_t kCellBatch = 8192;
    struct Pending {
        int row;
        int column;
        int slot;
    };
    QHash<QString, int> slotOf;           // path → slot
    QList<TileKey> keys;                  // per slot
    std::vector<std::uint32_t> imageOf;   // per slot: handle, or kNothing
    QList<int> unresolved;                // slots not decoded yet
    std::vector<Pending> pending;         // cells waiting for their batch
    std::int64_t visited = 0;

    auto flush = [&] {
        if (!unresolved.isEmpty()) {
            QList<TileKey> batch;
            for (int slot : unresolved)
                batch.append(keys[slot]);
            const QList<QImage> images = cache.images(batch);
            for (qsizetype i = 0; i < unresolved.size(); ++i)
                imageOf[static_cast<std::size_t>(unresolved[i])] =
                    images[i].isNull() ? kNothing : addImage(batch[i], images[i]);
            unresolved.clear();
        }
        for (const Pending& p : pending) {
            const std::uint32_t image = imageOf[static_cast<std::size_t>(p.slot)];
            if (image != kNothing)
                draw(p.row, p.column, image);
        }
        pending.clear();
        progress.advance(visited);
        visited = 0;
    };

    for (int c = 1; c <= n; ++c) {
        for (int r = 1; r <= n; ++r) {
            ++visited;
            const QString& text = textOf(r, c);
            if (!text.isEmpty()) {
                auto it = slotOf.constFind(text);
                if (it == slotOf.constEnd()) {
                    it = slotOf.insert(text, static_cast<int>(keys.size()));
                    keys.append(tileKeyFor(text, tileSize));
                    imageOf.push_back(kNothing);
                    unresolved.append(*it);
                }
                pending.push_back({r, c, *it});
            }
            if (unresolved.size() >= kDecodeBatch || visited >= kCellBatch)
                flush();
        }
    }
    flush();
}

}  // namespace tessera
