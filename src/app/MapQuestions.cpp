#include "app/MapQuestions.h"

#include "gui/Platform.h"
#include "model/TileGrid.h"

namespace tessera {

std::optional<int> askNewMapSize(Platform& platform)
{
    if (platform.messageBox(QStringLiteral("请注意保存，是否新建？"), MessageButtons::YesNoInfo) != MessageResult::Yes)
        return std::nullopt;
    const std::optional<int> size =
        platform.inputNumber(QStringLiteral("新建地图"), QStringLiteral("请输入地图大小："), QStringLiteral("25"));
    if (!size || *size < 1)
        return std::nullopt;
    if (*size > kMaxMapSize) {
        platform.messageBox(QStringLiteral("地图大小不能超过%1，请重新输入！").arg(kMaxMapSize),
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

std::optional<int> askShiftDistance(Platform& platform, ShiftDirection direction)
{
    const ShiftQuestion question = shiftQuestion(direction);
    return platform.inputNumber(question.prompt, question.title, QStringLiteral("1"));
}

}  // namespace tessera
