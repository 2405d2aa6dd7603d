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
