#include "assembly/AssemblyGridGuess.h"

#include <QMap>

#include <cmath>
#include <cstdlib>

namespace tessera {
SliceShapes classifySlices(const std::vector<QSize>& sizes, const QStringList& paths)
{
    SliceShapes shapes;
    if (sizes.empty())
        return shapes;
    // The commonest size names the map in a refusal; the first slice of each size stands for it.
    QMap<QPair<int, int>, int> count, first;
    QMap<int, int> widths, heights;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const QPair<int, int> key(sizes[i].width(), sizes[i].height());
        if (!count.contains(key))
            first.insert(key, static_cast<int>(i));
        ++count[key];
        ++widths[sizes[i].width()];
        ++heights[sizes[i].height()];
    }
    QPair<int, int> common = count.firstKey();
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        if (it.value() > count.value(common))
            common = it.key();
    auto refuse = [&](QPair<int, int> other) {
        shapes.failure = {FailureKind::SliceSizesDiffer,
                          {paths.value(first.value(common)), paths.value(first.value(other))},
                          {},
                          {common.first, common.second, other.first, other.second}};
        shapes.failure.work = FailedWork::AutoAssembly;
        return shapes;
    };
    // A size that is neither W nor the one narrower width (or height) of the last column (row).
    shapes.full = QSize(widths.lastKey(), heights.lastKey());
    shapes.narrowWidth = widths.size() > 1 ? widths.firstKey() : 0;
    shapes.lowHeight = heights.size() > 1 ? heights.firstKey() : 0;
    for (auto it = count.cbegin(); it != count.cend(); ++it) {
        const bool width = it.key().first == shapes.full.width() || (widths.size() == 2 && it.key().first == shapes.narrowWidth);
        const bool height = it.key().second == shapes.full.height() || (heights.size() == 2 && it.key().second == shapes.lowHeight);
        if (!width || !height)
            return refuse(it.key());
    }
    for (const QSize& s : sizes)
        ++shapes.counts[shapes.shapeOf(s)];
    const int n = static_cast<int>(sizes.size());
    const int slack = std::max(2, n / 20);
    const int full = shapes.counts[FullSlice], narrow = shapes.counts[NarrowSlice];
    const int low = shapes.counts[LowSlice], corner = shapes.counts[CornerSlice];
    const QPair<int, int> cornerKey(shapes.narrowWidth, shapes.lowHeight);
    const QPair<int, int> narrowKey(shapes.narrowWidth, shapes.full.height());
    const QPair<int, int> lowKey(shapes.full.width(), shapes.lowHeight);
    // One corner at most; it needs a narrow column or a low row to sit in.
    if (corner > 1 || (corner == 1 && narrow == 0 && low == 0 && full > 0))
        return refuse(cornerKey);
    // The last column holds one slice per row: never more than the rest of the map.
    if (narrow + corner > full + low + slack)
        return refuse(narrow > 0 ? narrowKey : cornerKey);
    if (low + corner > full + narrow + slack)
        return refuse(low > 0 ? lowKey : cornerKey);
    if (narrow > 0 && low > 0 && std::abs(full - narrow * low) > slack + narrow + low)
        return refuse(narrow < low ? narrowKey : lowKey);
    return shapes;
}

AssemblyGrid guessGrid(const SliceShapes& shapes, QSize reference)
{
    const int n = shapes.counts[0] + shapes.counts[1] + shapes.counts[2] + shapes.counts[3];
    if (n == 0 || shapes.full.isEmpty())
        return {};
    const double W = shapes.full.width(), H = shapes.full.height();
    const double aspect = reference.isEmpty() ? 0 : static_cast<double>(reference.width()) / reference.height();
    // The narrow column has one slice a row; below it, in the low row, the corner.
    const int rowsFromNarrow = shapes.narrowWidth > 0 ? shapes.counts[NarrowSlice] + (shapes.lowHeight > 0 ? 1 : 0) : 0;
    const int columnsFromLow = shapes.lowHeight > 0 ? shapes.counts[LowSlice] + (shapes.narrowWidth > 0 ? 1 : 0) : 0;
    AssemblyGrid best;
    double bestScore = 1e300;
    for (int rows = 1; rows <= kMaxMapSize; ++rows) {
        if (rows > n + 2)
            break;
        for (int columns = 1; columns <= kMaxMapSize; ++columns) {
            const int cells = rows * columns;
            if (cells > n + n / 4 + 4)
                break;
            double score = std::abs(cells - n);
            if (rowsFromNarrow > 0)
                score += 3.0 * std::abs(rows - rowsFromNarrow);
            if (columnsFromLow > 0)
                score += 3.0 * std::abs(columns - columnsFromLow);
            if (aspect > 0) {
                // How many columns (rows) the width (height) is off from the reference's shape.
                const double width = (columns - 1) * W + shapes.lastWidth();
                const double height = (rows - 1) * H + shapes.lastHeight();
                score += 4.0 * (std::abs(height * aspect - width) / W + std::abs(width / aspect - height) / H);
            }
            if (score < bestScore) {
                bestScore = score;
                best = {rows, columns};
            }
        }
    }
    return best;
}

}  // namespace tessera
