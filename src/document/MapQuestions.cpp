#include "document/MapQuestions.h"

#include "files/Dialogs.h"
#include "model/TileGrid.h"

#include <algorithm>

namespace tessera {

std::optional<int> askNewMapSize(Dialogs& dialogs)
{
    if (dialogs.messageBox(QStringLiteral("请注意保存，是否新建？"), MessageButtons::YesNoInfo) != MessageResult::Yes)
        return std::nullopt;
    const std::optional<int> size =
        dialogs.inputNumber(QStringLiteral("新建地图"), QStringLiteral("请输入地图大小："), QStringLiteral("25"));
    if (!size || *size < 1)
        return std::nullopt;
    if (*size > kMaxMapSize) {
        dialogs.messageBox(QStringLiteral("地图大小不能超过%1，请重新输入！").arg(kMaxMapSize),
                            MessageButtons::OkExclamation);
        return std::nullopt;
    }
    return size;
}

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

std::optional<int> askShiftDistance(Dialogs& dialogs, ShiftDirection direction)
{
    const ShiftQuestion question = shiftQuestion(direction);
    return dialogs.inputNumber(question.prompt, question.title, QStringLiteral("1"));
}

namespace {

BatchStart askBatchStart(Dialogs& dialogs, const TileGrid& grid, const QString& question, const QString& folderTitle)
{
    if (dialogs.messageBox(question, MessageButtons::YesNoInfo) != MessageResult::Yes)
        return {BatchStart::Declined, {}};
    const QString folder = dialogs.browseFolder(folderTitle);
    if (folder.isEmpty())
        return {BatchStart::Cancelled, {}};
    if (grid.mapSize() < 1) {
        dialogs.messageBox(QStringLiteral("行数不能小于1，请重新输入！"), MessageButtons::OkExclamation);
        return {BatchStart::NoMap, folder};
    }
    return {BatchStart::Go, folder};
}

}  // namespace

BatchStart askBatchRenameStart(Dialogs& dialogs, const TileGrid& grid)
{
    return askBatchStart(dialogs, grid, QStringLiteral("是否更换文件名？"), QStringLiteral("请选择更名之后存放的文件夹："));
}

BatchStart askBatchMoveStart(Dialogs& dialogs, const TileGrid& grid)
{
    return askBatchStart(dialogs, grid, QStringLiteral("是否移动文件？"), QStringLiteral("请选择存放文件夹："));
}

std::optional<int> askToFillMap(Dialogs& dialogs, const TileGrid& map, int rows, int columns)
{
    const auto taken = std::count_if(map.cells().begin(), map.cells().end(), [](const QString& c) { return !c.isEmpty(); });
    if (taken > 0
        && dialogs.messageBox(QStringLiteral("地图上已有的 %1 个图块将被替换，是否覆盖？").arg(taken), MessageButtons::YesNoInfo)
               != MessageResult::Yes)
        return std::nullopt;
    const int mapSize = std::max({map.mapSize(), rows, columns});
    if (mapSize > map.mapSize()
        && dialogs.messageBox(QStringLiteral("地图将扩大为 %1 × %1，是否继续？").arg(mapSize), MessageButtons::YesNoInfo)
               != MessageResult::Yes)
        return std::nullopt;
    return mapSize;
}

}  // namespace tessera
