#include "support/ScriptedPlatform.h"

#include <QFileInfo>

#include <algorithm>

namespace tessera {

void ScriptedPlatform::failWhen(FileOp op, std::function<bool(const QString&)> match, QString why)
{
    failures_.append({op, std::move(match), std::move(why)});
}

int ScriptedPlatform::countShown(const QString& text) const
{
    return static_cast<int>(
        std::count_if(shown_.begin(), shown_.end(), [&](const Shown& s) { return s.text == text; }));
}

QStringList ScriptedPlatform::messages() const
{
    QStringList texts;
    for (const Shown& s : shown_) {
        if (s.kind == DialogKind::Message)
            texts << s.text;
    }
    return texts;
}

std::optional<ScriptedPlatform::Answer> ScriptedPlatform::next(const Shown& shown)
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

std::optional<QString> ScriptedPlatform::textAnswer(const Shown& shown)
{
    const std::optional<Answer> a = next(shown);
    if (a && a->kind == Answer::Text)
        return a->text;
    return std::nullopt;
}

MessageResult ScriptedPlatform::messageBox(const QString& text, MessageButtons buttons,
                                           const QString& title)
{
    const Shown shown{DialogKind::Message, title, text, buttons};
    if (buttons != MessageButtons::YesNoInfo) {
        shown_.append(shown);
        return MessageResult::Ok;
    }
    const std::optional<Answer> a = next(shown);
    if (a && a->kind == Answer::Button)
        return a->button;
    return MessageResult::No;
}

std::optional<QString> ScriptedPlatform::inputBox(const QString& prompt, const QString& title,
                                                  const QString& initial)
{
    return textAnswer({DialogKind::Input, title, prompt, MessageButtons::Ok, initial});
}

std::optional<int> ScriptedPlatform::chooseItem(const QString& prompt, const QString& title,
                                                const QStringList& items, int current)
{
    lastChoiceOffered = current;
    const std::optional<QString> item = textAnswer({DialogKind::Choice, title, prompt});
    if (!item || !items.contains(*item))
        return std::nullopt;
    return static_cast<int>(items.indexOf(*item));
}

std::optional<QString> ScriptedPlatform::openFileDialog(const FileDialogOptions& options)
{
    lastFileDialog = options;
    return textAnswer({DialogKind::OpenFile, {}, options.filters});
}

std::optional<QString> ScriptedPlatform::saveFileDialog(const FileDialogOptions& options)
{
    lastFileDialog = options;
    std::optional<QString> path = textAnswer({DialogKind::SaveFile, {}, options.filters});
    // Like the real dialog: a name typed without an extension gets the default one.
    if (path && !options.defaultExtension.isEmpty() && QFileInfo(*path).suffix().isEmpty())
        *path += u'.' + options.defaultExtension;
    return path;
}

QString ScriptedPlatform::browseFolder(const QString& title)
{
    return textAnswer({DialogKind::Folder, title, title}).value_or(QString());
}

const ScriptedPlatform::Failure* ScriptedPlatform::failureFor(FileOp op, const QString& path) const
{
    for (const Failure& f : failures_) {
        if (f.op == op && f.match(path))
            return &f;
    }
    return nullptr;
}

ReadResult ScriptedPlatform::readFile(const QString& path, qint64 maxBytes)
{
    if (const Failure* f = failureFor(FileOp::Read, path))
        return {false, {}, f->why};
    return QtPlatform::readFile(path, maxBytes);
}

ReadResult ScriptedPlatform::readHead(const QString& path, int count)
{
    if (const Failure* f = failureFor(FileOp::Read, path))
        return {false, {}, f->why};
    return QtPlatform::readHead(path, count);
}

FileResult ScriptedPlatform::writeFileAtomic(const QString& path, const QByteArray& data, const QStringList& inputs)
{
    if (const Failure* f = failureFor(FileOp::Write, path))
        return FileResult::failure(f->why);
    return QtPlatform::writeFileAtomic(path, data, inputs);
}

FileResult ScriptedPlatform::writeNewFile(const QString& path, const QByteArray& data)
{
    if (const Failure* f = failureFor(FileOp::Write, path))
        return FileResult::failure(f->why);
    return QtPlatform::writeNewFile(path, data);
}

FileResult ScriptedPlatform::renameFile(const QString& from, const QString& to)
{
    if (const Failure* f = failureFor(FileOp::Rename, from))
        return FileResult::failure(f->why);
    return QtPlatform::renameFile(from, to);
}

FileResult ScriptedPlatform::moveFile(const QString& from, const QString& to)
{
    if (const Failure* f = failureFor(FileOp::Move, from))
        return FileResult::failure(f->why);
    return QtPlatform::moveFile(from, to);
}

FileResult ScriptedPlatform::copyFile(const QString& from, const QString& to)
{
    if (const Failure* f = failureFor(FileOp::Copy, from))
        return FileResult::failure(f->why);
    return QtPlatform::copyFile(from, to);
}

}  // namespace tessera
