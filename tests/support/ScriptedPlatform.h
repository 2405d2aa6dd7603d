#pragma once

#include "files/Platform.h"
#include "support/FaultyFiles.h"
#include "support/ScriptedDialogs.h"

namespace tessera {

namespace detail {
// Built before the Platform base that refers to them.
struct ScriptedPlatformParts {
    ScriptedDialogs scriptedDialogs;
    FaultyFiles faultyFiles;
};
}  // namespace detail

// The platform of tests and benchmarks: scripted dialogs and fault-injecting files, passed as
// the Platform, the Dialogs or the Files, with the test's side of both at hand.
class ScriptedPlatform : private detail::ScriptedPlatformParts, public Platform {
public:
    using DialogKind = ScriptedDialogs::DialogKind;
    using Shown = ScriptedDialogs::Shown;
    using FileOp = FaultyFiles::Op;

    ScriptedPlatform() : Platform(scriptedDialogs, faultyFiles) {}

    ScriptedDialogs& script() { return scriptedDialogs; }
    FaultyFiles& faults() { return faultyFiles; }
    operator Dialogs&() { return scriptedDialogs; }
    operator Files&() { return faultyFiles; }

    void answer(MessageResult button) { scriptedDialogs.answer(button); }
    void answerYes() { scriptedDialogs.answerYes(); }
    void answerNo() { scriptedDialogs.answerNo(); }
    void answerInput(const QString& text) { scriptedDialogs.answerInput(text); }
    void answerChoice(const QString& item) { scriptedDialogs.answerChoice(item); }
    void answerOpen(const QString& path) { scriptedDialogs.answerOpen(path); }
    void answerSave(const QString& path) { scriptedDialogs.answerSave(path); }
    void answerFolder(const QString& path) { scriptedDialogs.answerFolder(path); }
    void answerNumbers(int first, int second) { scriptedDialogs.answerNumbers(first, second); }
    void answerRow(int row, int action) { scriptedDialogs.answerRow(row, action); }
    void clearAnswers() { scriptedDialogs.clearAnswers(); }
    void answerCancel(DialogKind kind) { scriptedDialogs.answerCancel(kind); }
    void answerSlice(const SliceChoices& choices) { scriptedDialogs.answerSlice(choices); }
    void answerTiledExport(const QString& cell, bool atlas) { scriptedDialogs.answerTiledExport(cell, atlas); }
    const QList<Shown>& shown() const { return scriptedDialogs.shown(); }
    void clearShown() { scriptedDialogs.clearShown(); }
    int countShown(const QString& text) const { return scriptedDialogs.countShown(text); }
    QStringList messages() const { return scriptedDialogs.messages(); }
    const QStringList& unanswered() const { return scriptedDialogs.unanswered(); }
    std::size_t pendingAnswers() const { return scriptedDialogs.pendingAnswers(); }
    const FileDialogOptions& lastFileDialog() const { return scriptedDialogs.lastFileDialog; }
    int lastChoiceOffered() const { return scriptedDialogs.lastChoiceOffered; }

    void failWhen(FileOp op, std::function<bool(const QString& path)> match,
                  QString why = QStringLiteral("模拟的失败"))
    {
        faultyFiles.failWhen(op, std::move(match), std::move(why));
    }
    void clearFailures() { faultyFiles.clearFailures(); }
};

}  // namespace tessera
