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

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::next(const Shown& shown)
{
    shown_.append(shown);
    if (answers_.empty()) {
        unanswered_ << shown.text;
        return std::nullopt;
    }
    Answer a = answers_.front();
    answers_.pop_front();
    return a;
}

std::optional<QString> ScriptedDialogs::textAnswer(const Shown& shown)
{
    const std::optional<Answer> a = next(shown);
    if (a && a->kind == Answer::Text)
        return a->text;
    return std::nullopt;
}

MessageResult ScriptedDialogs::messageBox(const QString& text, MessageButtons buttons, const QString& title,
                                           const QString& informative)
{
    Shown shown{DialogKind::Message, title, text, buttons};
    shown.informative = informative;
    if (buttons != MessageButtons::YesNoInfo) {
        shown_.append(shown);
        return MessageResult::Ok;
    }
    const std::optional<Answer> a = next(shown);
    if (a && a->kind == Answer::Button)
        return a->button;
    return MessageResult::No;
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
    const std::optional<QString> text = textAnswer(shown);
    const QStringList parts = text ? text->split(u' ') : QStringList();
    if (parts.size() != 2)
        return std::nullopt;
    // Like the real box: each number stays within its range.
    return std::pair(std::clamp(parts[0].toInt(), 1, maximum), std::clamp(parts[1].toInt(), 1, maximum));
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
    const QStringList answer = textAnswer(shown).value_or(QString()).split(u' ');
    if (answer.size() != 2 || answer[0].toInt() >= rows.size() || answer[1].toInt() >= actions.size())
        return std::nullopt;
    return std::pair(answer[0].toInt(), answer[1].toInt());
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
    if (a && a->kind == Answer::Slice)
        return a->slice;
    return std::nullopt;
}

}  // namespace tessera
