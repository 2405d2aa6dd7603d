#include "cli/CommandOptions.h"

#include <QRegularExpression>

namespace tessera {

std::optional<QString> optionValue(const QStringList& arguments, qsizetype& i, const QString& name, bool& missing)
{
    const QString& a = arguments[i];
    if (a.startsWith(name + u'='))
        return a.mid(name.size() + 1);
    if (a != name)
        return std::nullopt;
    if (i + 1 >= arguments.size()) {
        missing = true;
        return QString();
    }
    return arguments[++i];
}

QString quotedArgument(const QString& argument)
{
    constexpr qsizetype kQuoted = 80;
    if (argument.size() <= kQuoted)
        return argument;
    return QStringLiteral("%1…（共 %2 个字符）").arg(argument.left(kQuoted)).arg(argument.size());
}

QString usageSynopsis(const QString& usage, const QString& help)
{
    constexpr qsizetype kLines = 3;
    const QStringList lines = usage.section(QStringLiteral("\n\n"), 0, 0).split(u'\n', Qt::SkipEmptyParts);
    QString shown = lines.mid(0, kLines).join(u'\n') + u'\n';
    if (lines.size() > kLines)
        shown += QStringLiteral("  …\n");
    return shown + QStringLiteral("完整的说明：%1\n").arg(help);
}

int usageError(QTextStream& err, const QString& command, const QString& why, const QString& usage)
{
    err << QStringLiteral("tessera %1：").arg(command) << why << u'\n'
        << usageSynopsis(usage, QStringLiteral("tessera %1 --help").arg(command));
    err.flush();
    return kExitBadUsage;
}

OptionMatch takeOption(const QStringList& arguments, qsizetype& i, std::initializer_list<NamedOption> options,
                       QString& name)
{
    for (const auto& [option, target] : options) {
        bool missing = false;
        const std::optional<QString> value = optionValue(arguments, i, option, missing);
        if (!value)
            continue;
        name = option;
        if (missing)
            return OptionMatch::MissingValue;
        *target = *value;
        return OptionMatch::Taken;
    }
    return OptionMatch::None;
}

std::optional<QSize> parseCellText(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,4})[x×X*](\\d{1,4})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return QSize(match.captured(1).toInt(), match.captured(2).toInt());
}

std::optional<QSize> parseCellSize(const QString& text, int maxSide)
{
    const std::optional<QSize> cell = parseCellText(text);
    if (!cell || cell->width() < 1 || cell->height() < 1 || cell->width() > maxSide || cell->height() > maxSide)
        return std::nullopt;
    return cell;
}

}  // namespace tessera
