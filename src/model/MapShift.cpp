#include "model/MapShift.h"

#include "gui/Platform.h"
#include "gui/Progress.h"
#include "model/TileGrid.h"

namespace tessera {

ShiftQuestion shiftQuestion(ShiftDirection direction)
{
    switch (direction) {
    case ShiftDirection::Left:
        return {QStringLiteral("请输入向左移动几位？"), QStringLiteral("向左移动")};
    case ShiftDirection::Right:
        return {QStringLiteral("请输入向右移动几位？"), QStringLiteral("向右移动")};
    case ShiftDirection::Up:
        return {QStringLiteral("请输入向上移动几位？"), QStringLiteral("向上移动")};
    case ShiftDirection::Down:
        break;
    }
    return {QStringLiteral("请输入向下移动几位？"), QStringLiteral("向下移动")};
}

std::optional<int> askShiftDistance(Platform& platform, ShiftDirection direction)
{
    const ShiftQuestion question = shiftQuestion(direction);
    return platform.inputNumber(question.prompt, question.title, QStringLiteral("1"));
}

namespace {

// Rows down and columns right for a shift; beyond the map's edge everything is lost alike.
std::pair<int, int> shiftOffset(ShiftDirection direction, int distance, int mapSize)
{
    const int d = static_cast<int>(std::min<long long>(distance, static_cast<long long>(mapSize) + 1));
    switch (direction) {
    case ShiftDirection::Left:
        return {0, -d};
    case ShiftDirection::Right:
        return {0, d};
    case ShiftDirection::Up:
        return {-d, 0};
    case ShiftDirection::Down:
        break;
    }
    return {d, 0};
}

}  // namespace

void shiftMapCells(CellTexts& cells, int mapSize, ShiftDirection direction, int distance, Progress& progress)
{
    const long long n = mapSize;
    if (distance < 1) {
        progress.start(n * n);
        progress.advance(n * n);
        return;
    }
    const auto [rows, columns] = shiftOffset(direction, distance, mapSize);
    shiftCellTexts(cells, mapSize, rows, columns, progress);
}

void shiftGrid(TileGrid& grid, ShiftDirection direction, int distance, Progress& progress)
{
    CellTexts cells = grid.cells();
    shiftMapCells(cells, grid.mapSize(), direction, distance, progress);
    if (distance >= 1)
        grid.replaceCells(std::move(cells));
}

}  // namespace tessera
