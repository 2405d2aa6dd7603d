#include "model/TileGrid.h"

#include "files/Progress.h"

#include <QStringList>

namespace tessera {
namespace {
const QString kNoText;
}

TileGrid::BulkChange::~BulkChange()
{
    if (--grid_.bulkDepth_ == 0 && grid_.bulkTouched_) {
        grid_.bulkTouched_ = false;
        emit grid_.cellsChanged();
    }
}

const QString& TileGrid::cellText(int row, int column) const
{
    return contains(row, column) ? cells_[indexOf(row, column)] : kNoText;
}

void TileGrid::setCellText(int row, int column, const QString& text)
{
    if (!contains(row, column))
        return;
    cells_[indexOf(row, column)] = text;
    if (bulkDepth_ > 0)
        bulkTouched_ = true;
    else
        emit cellChanged(row, column);
}

void TileGrid::resize(int mapSize)
{
    emit aboutToRebuild();
    size_ = std::max(0, mapSize);
    std::vector<QString>().swap(cells_);
    cells_.resize(static_cast<std::size_t>(size_) * static_cast<std::size_t>(size_));
    emit rebuilt();
}

void TileGrid::rebuild()
{
    resize(size_);
}

void shiftCellTexts(CellTexts& cells, int mapSize, int rows, int columns, Progress& progress)
{
    const long long n = std::max(0, mapSize);
    if (cells.size() != static_cast<std::size_t>(n * n))
        return;
    progress.start(n * n);
    // Destination order keeps every source unread until it is moved: walk away from the shift.
    const bool backwardRows = rows > 0;
    const bool backwardColumns = columns > 0;
    for (long long i = 0; i < n; ++i) {
        const long long r = backwardRows ? n - 1 - i : i;
        const long long fromRow = r - rows;
        for (long long j = 0; j < n; ++j) {
            const long long c = backwardColumns ? n - 1 - j : j;
            const long long fromColumn = c - columns;
            QString& target = cells[static_cast<std::size_t>(r * n + c)];
            if (fromRow >= 0 && fromRow < n && fromColumn >= 0 && fromColumn < n)
                target = std::move(cells[static_cast<std::size_t>(fromRow * n + fromColumn)]);
            else
                target = QString();
            if (target == kEmptyMarker)
                target = QString();
        }
        progress.advance(n);
    }
}

bool TileGrid::replaceCells(CellTexts cells)
{
    if (cells.size() != cells_.size())
        return false;
    cells_ = std::move(cells);
    touchedAll();
    return true;
}

CellTexts TileGrid::exchangeCells(int mapSize, CellTexts cells)
{
    Q_ASSERT(cells.size() == static_cast<std::size_t>(mapSize) * static_cast<std::size_t>(mapSize));
    if (mapSize == size_) {
        cells_.swap(cells);
        touchedAll();
        return cells;
    }
    emit aboutToRebuild();
    size_ = mapSize;
    cells_.swap(cells);
    emit rebuilt();
    return cells;
}

void TileGrid::touchedAll()
{
    if (size_ == 0)
        return;
    if (bulkDepth_ > 0)
        bulkTouched_ = true;
    else
        emit cellsChanged();
}

}  // namespace tessera
