#pragma once

#include "files/Dialogs.h"

#include <QList>
#include <QStringList>

#include <deque>

namespace tessera {

// Dialogs for tests and benchmarks: answered from a queue set up beforehand, every one shown
// recorded. GUI thread only, like every Dialogs.
class ScriptedDialogs final : public Dialogs {
public:
    enum class DialogKind { Message, Input, TwoNumbers, Choice, OpenFile, SaveFile, Folder, Slice, Rows };

    struct Shown {
        DialogKind kind;
        QString title;
        QString text;  // message text or prompt
        MessageButtons buttons = MessageButtons::Ok;
        QString initial = {};  // the text an input box offered; a two-number box's "first second"
        QString informative = {};  // a message box's text under its main text; a list's rows, one a line
    };

    // Answers, taken in order. A plain OK box needs none; it is answered OK.
    void answer(MessageResult button) { answers_.push_back({Answer::Button, button, {}}); }
    void answerYes() { answer(MessageResult::Yes); }
    void answerNo() { answer(MessageResult::No); }
    // The text typed into an input box, the item chosen from a list, or the path chosen in a file dialog or folder browser.
    void answerText(const QString& text) { answers_.push_back({Answer::Text, {}, text}); }
    // The two numbers of a two-number box, as the real box gives them (each within its range).
    void answerNumbers(int first, int second) { answerText(QStringLiteral("%1 %2").arg(first).arg(second)); }
    // The row chosen in a list of rows and the index of the action pressed.
    void answerRow(int row, int action) { answerNumbers(row, action); }
    void answerCancel() { answers_.push_back({Answer::Cancel, {}, {}}); }
    // The settings confirmed in 切分大图's dialog.
    void answerSlice(const SliceChoices& choices) { answers_.push_back({Answer::Slice, {}, {}, choices}); }
    void clearAnswers() { answers_.clear(); }

    const QList<Shown>& shown() const { return shown_; }
    void clearShown() { shown_.clear(); }
    // How many boxes showed exactly this text.
    int countShown(const QString& text) const;
    QStringList messages() const;
    // Dialogs shown with no answer queued for them, and answers left over.
    const QStringList& unanswered() const { return unanswered_; }
    std::size_t pendingAnswers() const { return answers_.size(); }

    MessageResult messageBox(const QString& text, MessageButtons buttons, const QString& title = kDefaultMessageTitle,
                             const QString& informative = QString()) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& initial) override;
    std::optional<int> chooseItem(const QString& prompt, const QString& title, const QStringList& items,
                                  int current) override;
    std::optional<std::pair<int, int>> inputTwoNumbers(const QString& prompt, const QString& title,
                                                       const QStringList& labels, std::pair<int, int> initial,
                                                       int maximum) override;
    std::optional<std::pair<int, int>> chooseRow(const QString& prompt, const QString& title, const QStringList& columns,
                                                 const QList<QStringList>& rows, const QStringList& actions) override;
    std::optional<QString> openFileDialog(const FileDialogOptions& options) override;
    std::optional<QString> saveFileDialog(const FileDialogOptions& options) override;
    QString browseFolder(const QString& title) override;
    std::optional<SliceChoices> sliceDialog(const QString& picture, QSize size, const SliceChoices& initial,
                                            int minSide, int maxSide) override;

    // The options passed to the last file dialog, and the item a choice box offered first.
    FileDialogOptions lastFileDialog;
    // What the last 切分大图 dialog offered first.
    SliceChoices lastSliceOffered;
    int lastChoiceOffered = -1;

private:
    struct Answer {
        enum Kind { Button, Text, Cancel, Slice } kind;
        MessageResult button;
        QString text;
        SliceChoices slice = {};
    };

    std::optional<Answer> next(const Shown& shown);
    std::optional<QString> textAnswer(const Shown& shown);

    std::deque<Answer> answers_;
    QList<Shown> shown_;
    QStringList unanswered_;
};

}  // namespace tessera
