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

void shiftGrid(TileGrid& grid, ShiftDirection direction, int distance, Progress& progress)
{
    const long long n = grid.mapSize();
    if (distance < 1) {
        progress.start(n * n);
        progress.advance(n * n);
        return;
    }
    // Beyond the map's edge everything is lost alike.
    const int d = static_cast<int>(std::min<long long>(distance, n + 1));
    switch (direction) {
    case ShiftDirection::Left:
        grid.shiftCells(0, -d, progress);
        break;
    case ShiftDirection::Right:
        grid.shiftCells(0, d, progress);
        break;
    case ShiftDirection::Up:
        grid.shiftCells(-d, 0, progress);
        break;
    case ShiftDirection::Down:
        grid.shiftCells(d, 0, progress);
        break;
    }
}

}  // namespace tessera
