#include "support/ScriptedDialogs.h"

#include <QFileInfo>

#include <algorithm>

namespace tessera {

int ScriptedDialogs::countShown(const QString& text) const
{
    return static_cast<int>(
        std::count_if(shown_.begin(), shown_.end(), [&](const Shown& s) { return s.text == text; }));
}

QStringList ScriptedDialogs::messages() const
{
    QStringList texts;
    for (const Shown& s : shown_) {
        if (s.kind == DialogKind::Message)
            texts << s.text;
    }
    return texts;
}

ScriptedDialogs::~ScriptedDialogs()
{
    QStringList leftOver;
    for (std::size_t kind = 0; kind < kKinds; ++kind)
        if (!answers_[kind].empty())
            leftOver << QStringLiteral("%1 × kind %2").arg(answers_[kind].size()).arg(kind);
    if (!leftOver.isEmpty() && onUnusedAnswers)
        onUnusedAnswers(leftOver.join(QStringLiteral(", ")));
}

std::size_t ScriptedDialogs::pendingAnswers() const
{
    std::size_t count = 0;
    for (const std::deque<Answer>& q : answers_)
        count += q.size();
    return count;
}

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::next(const Shown& shown)
{
    shown_.append(shown);
    std::deque<Answer>& answers = queue(shown.kind);
    if (answers.empty()) {
        unanswered_ << shown.text;
        return std::nullopt;
    }
    const Answer a = answers.front();
    answers.pop_front();
    if (a.cancel)
        return std::nullopt;
    return a;
}

std::optional<QString> ScriptedDialogs::textAnswer(const Shown& shown)
{
    const std::optional<Answer> a = next(shown);
    return a ? std::optional(a->text) : std::nullopt;
}

MessageResult ScriptedDialogs::messageBox(const QString& text, MessageButtons buttons, const QString& title,
                                           const QString& informative)
{
    if (beforeMessage)
        beforeMessage(text);
    Shown shown{DialogKind::Message, title, text, buttons};
    shown.informative = informative;
    if (buttons != MessageButtons::YesNoInfo && buttons != MessageButtons::YesNoCancel) {
        shown_.append(shown);
        return MessageResult::Ok;
    }
    const MessageResult unanswered = buttons == MessageButtons::YesNoCancel ? MessageResult::Cancel : MessageResult::No;
    return next(shown).value_or(Answer{unanswered}).button;
}

std::optional<QString> ScriptedDialogs::inputBox(const QString& prompt, const QString& title,
                                                  const QString& initial)
{
    return textAnswer({DialogKind::Input, title, prompt, MessageButtons::Ok, initial});
}

std::optional<std::pair<int, int>> ScriptedDialogs::inputTwoNumbers(const QString& prompt, const QString& title,
                                                                   const QStringList& labels, std::pair<int, int> initial,
                                                                   int maximum)
{
    Shown shown{DialogKind::TwoNumbers, title, prompt, MessageButtons::Ok,
                QStringLiteral("%1 %2").arg(initial.first).arg(initial.second)};
    shown.informative = labels.join(u' ');
    const std::optional<Answer> a = next(shown);
    if (!a)
        return std::nullopt;
    // Like the real box: each number stays within its range.
    return std::pair(std::clamp(a->numbers.first, 1, maximum), std::clamp(a->numbers.second, 1, maximum));
}

std::optional<int> ScriptedDialogs::chooseItem(const QString& prompt, const QString& title,
                                                const QStringList& items, int current)
{
    lastChoiceOffered = current;
    const std::optional<QString> item = textAnswer({DialogKind::Choice, title, prompt});
    if (!item || !items.contains(*item))
        return std::nullopt;
    return static_cast<int>(items.indexOf(*item));
}

std::optional<std::pair<int, int>> ScriptedDialogs::chooseRow(const QString& prompt, const QString& title,
                                                             const QStringList&, const QList<QStringList>& rows,
                                                             const QStringList& actions)
{
    Shown shown{DialogKind::Rows, title, prompt};
    for (const QStringList& row : rows)
        shown.informative += row.join(QStringLiteral(" | ")) + u'\n';
    const std::optional<Answer> a = next(shown);
    if (!a || a->numbers.first >= rows.size() || a->numbers.second >= actions.size())
        return std::nullopt;
    return a->numbers;
}

std::optional<QString> ScriptedDialogs::openFileDialog(const FileDialogOptions& options)
{
    lastFileDialog = options;
    return textAnswer({DialogKind::OpenFile, {}, options.filters});
}

std::optional<QString> ScriptedDialogs::saveFileDialog(const FileDialogOptions& options)
{
    lastFileDialog = options;
    std::optional<QString> path = textAnswer({DialogKind::SaveFile, {}, options.filters});
    // Like the real dialog: a name typed without an extension gets the default one.
    if (path && !options.defaultExtension.isEmpty() && QFileInfo(*path).suffix().isEmpty())
        *path += u'.' + options.defaultExtension;
    return path;
}

QString ScriptedDialogs::browseFolder(const QString& title)
{
    return textAnswer({DialogKind::Folder, title, title}).value_or(QString());
}

std::optional<SliceChoices> ScriptedDialogs::sliceDialog(const QString& picture, QSize size,
                                                         const SliceChoices& initial, int, int)
{
    lastSliceOffered = initial;
    const std::optional<Answer> a = next({DialogKind::Slice, {}, picture, MessageButtons::Ok,
                                          QStringLiteral("%1x%2").arg(size.width()).arg(size.height())});
    return a ? std::optional(a->slice) : std::nullopt;
}

std::optional<TiledExportChoices> ScriptedDialogs::tiledExportDialog(const QList<QSize>& cells)
{
    QStringList items;
    for (const QSize& cell : cells)
        items << QStringLiteral("%1 × %2").arg(cell.width()).arg(cell.height());
    const Shown shown{DialogKind::TiledExport, QStringLiteral("导出为 TMX/TMJ 地图"), items.join(u'\n')};
    const std::optional<Answer> a = next(shown);
    if (!a)
        return std::nullopt;
    const qsizetype cell = items.indexOf(a->text);
    if (cell < 0) {
        unanswered_ << QStringLiteral("no size %1 offered").arg(a->text);
        return std::nullopt;
    }
    return TiledExportChoices{static_cast<int>(cell), a->numbers.first != 0};
}

}  // namespace tessera
