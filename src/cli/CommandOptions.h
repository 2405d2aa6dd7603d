#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <initializer_list>
#include <optional>
#include <utility>

namespace tessera {

// The exit statuses of every command.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // a file could not be read or written, or the work failed
inline constexpr int kExitBadUsage = 2;

// The first lines of `usage` (up to its first blank line, three at most) and where the rest is:
// what a usage error shows, so that the reason is not lost above a page of help.
QString usageSynopsis(const QString& usage, const QString& help);

// Says "tessera <command>：why" and the synopsis of the command's usage on `err`; returns
// kExitBadUsage.
int usageError(QTextStream& err, const QString& command, const QString& why, const QString& usage);

// An argument as a usage error quotes it: at most 80 characters, then how long it was.
QString quotedArgument(const QString& argument);

// An option's name and where its value goes.
using NamedOption = std::pair<QString, std::optional<QString>*>;
enum class OptionMatch { None, Taken, MissingValue };
// Stores the value of argument `i` when it is one of `options` (see optionValue); `name` says which.
OptionMatch takeOption(const QStringList& arguments, qsizetype& i, std::initializer_list<NamedOption> options,
                       QString& name);

// The value of an option given as "--name value" or "--name=value"; nothing when argument `i` is
// another one. `missing` is set when the value is absent; `i` moves past a separate value.
std::optional<QString> optionValue(const QStringList& arguments, qsizetype& i, const QString& name, bool& missing);

// "宽x高" (x, X, × or *), each side of one to four digits; nothing for another text.
std::optional<QSize> parseCellText(const QString& text);
// The same, with each side from 1 to `maxSide`.
std::optional<QSize> parseCellSize(const QString& text, int maxSide);

}  // namespace tessera
