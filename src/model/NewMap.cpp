#include "model/NewMap.h"

#include "gui/Platform.h"

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

}  // namespace tessera
