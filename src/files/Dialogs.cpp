#include "files/Dialogs.h"

#include <QStringList>

#include <limits>

namespace tessera {

std::optional<int> Dialogs::inputNumber(const QString& prompt, const QString& title,
                                         const QString& initial)
{
    const std::optional<QString> answer = inputBox(prompt, title, initial);
    if (!answer)
        return std::nullopt;
    return decimalValue(*answer);
}

QString atlasExplanation()
{
    return QStringLiteral("图集把各个图块缩放到单元格大小，拼成地图旁边的几张 PNG 大图，每张一个图块集："
                          "游戏引擎（如 Phaser）每个图块集一次调用即可画出整张地图。");
}

QString atlasWarning(QSize cell, QSize pictures)
{
    if (cell == pictures)
        return QString();
    return QStringLiteral("单元格 %1 × %2 与图片的大小（%3 × %4）不同：不导出图集时，Tiled 和游戏引擎按图片原大绘制图块，"
                          "会盖住相邻的单元格或填不满。")
        .arg(cell.width())
        .arg(cell.height())
        .arg(pictures.width())
        .arg(pictures.height());
}

int decimalValue(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    constexpr long long limit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    long long value = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > limit)
            value = limit;  // saturate; the clamp below settles the sign
    }
    if (negative)
        return static_cast<int>(-value);  // -2^31 at most
    return static_cast<int>(std::min<long long>(value, std::numeric_limits<int>::max()));
}

QString qtFilterList(const QString& pipeList)
{
    const QStringList parts = pipeList.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        patterns.replace(u';', u' ');
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace tessera
