#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace tessera {

// Cell pitch on the edit canvas; it does not follow the tile size.
inline constexpr int kCellWidth = 40;
inline constexpr int kCellHeight = 30;
// Width of the ruler margin around the canvas on the ruler board.
inline constexpr int kRulerMargin = 20;

struct Cell {
    int row;
    int column;
    friend bool operator==(const Cell&, const Cell&) = default;
};

// The cell's rectangle on the canvas.
inline QRect cellRect(int row, int column)
{
    return QRect((column - 1) * kCellWidth, (row - 1) * kCellHeight, kCellWidth, kCellHeight);
}

inline QSize canvasSize(int mapSize)
{
    return QSize(mapSize * kCellWidth, mapSize * kCellHeight);
}

inline QSize rulerBoardSize(int mapSize)
{
    return canvasSize(mapSize) + QSize(2 * kRulerMargin, 2 * kRulerMargin);
}

// The hit test: the cell whose closed rectangle holds (x, y), the lowest column and then the
// lowest row winning on shared edges; nothing outside the map. Constant time.
std::optional<Cell> cellAt(double x, double y, int mapSize);

// The cells whose rectangles meet `area`, as an inclusive range (empty when `area` misses them).
struct CellRange {
    int firstRow = 1, lastRow = 0, firstColumn = 1, lastColumn = 0;
    bool isEmpty() const { return firstRow > lastRow || firstColumn > lastColumn; }
};
CellRange cellsMeeting(const QRect& area, int mapSize);

// Maxima of the canvas scroll bars (their minimum is 1).
inline int horizontalScrollMaximum(int canvasWidth, int viewportWidth)
{
    return canvasWidth - viewportWidth + 42;
}
inline int verticalScrollMaximum(int canvasHeight, int viewportHeight)
{
    return canvasHeight - viewportHeight + 38;
}

// Where the canvas stands in the viewport for scroll positions (p, q).
inline QPoint canvasPosition(int p, int q)
{
    return QPoint(21 - p, 21 - q);
}

}  // namespace tessera
