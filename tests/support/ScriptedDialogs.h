#pragma once

#include "files/Dialogs.h"

#include <QList>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>

namespace tessera {

enum class DialogKind { Message, Input, TwoNumbers, Choice, OpenFile, SaveFile, Folder, Slice, Rows, TiledExport };

// Dialogs for tests and benchmarks: answered from a queue set up beforehand, every one shown
// recorded. GUI thread only, like every Dialogs.
class ScriptedDialogs final : public Dialogs {
public:
    using DialogKind = tessera::DialogKind;

    struct Shown {
        DialogKind kind;
        QString title;
        QString text;  // message text or prompt
        MessageButtons buttons = MessageButtons::Ok;
        QString initial = {};  // the text an input box offered; a two-number box's "first second"
        QString informative = {};  // a message box's text under its main text; a list's rows, one a line
    };

    // Answers, each kind of box taking its own in order; an answer left unused fails the test.
    // A plain OK box needs none; it is answered OK.
    void answer(MessageResult button) { queue(DialogKind::Message).push_back({button}); }
    void answerYes() { answer(MessageResult::Yes); }
    void answerNo() { answer(MessageResult::No); }
    // The text typed into an input box, the item chosen from a list, the path chosen in a file
    // dialog or a folder browser.
    void answerInput(const QString& text) { answerText(DialogKind::Input, text); }
    void answerChoice(const QString& item) { answerText(DialogKind::Choice, item); }
    void answerOpen(const QString& path) { answerText(DialogKind::OpenFile, path); }
    void answerSave(const QString& path) { answerText(DialogKind::SaveFile, path); }
    void answerFolder(const QString& path) { answerText(DialogKind::Folder, path); }
    // The two numbers of a two-number box, as the real box gives them (each within its range).
    void answerNumbers(int first, int second) { queue(DialogKind::TwoNumbers).push_back({.numbers = {first, second}}); }
    // The row chosen in a list of rows and the index of the action pressed.
    void answerRow(int row, int action) { queue(DialogKind::Rows).push_back({.numbers = {row, action}}); }
    void answerCancel(DialogKind kind) { queue(kind).push_back({.cancel = true}); }
    // The settings confirmed in 切分大图's dialog.
    void answerSlice(const SliceChoices& choices) { queue(DialogKind::Slice).push_back({.slice = choices}); }
    // The cell size (by its text, "（默认）" left out) and the atlas of 导出为 TMX/TMJ 地图's dialog.
    void answerTiledExport(const QString& cell, bool atlas)
    {
        queue(DialogKind::TiledExport).push_back({.text = cell, .numbers = {atlas, 0}});
    }
    void clearAnswers() { answers_ = {}; }
    // Called with the kinds of the answers left unused when the double goes; tests fail there.
    static inline std::function<void(const QString& leftOver)> onUnusedAnswers;
    ~ScriptedDialogs() override;

    const QList<Shown>& shown() const { return shown_; }
    void clearShown() { shown_.clear(); }
    // How many boxes showed exactly this text.
    int countShown(const QString& text) const;
    QStringList messages() const;
    // Dialogs shown with no answer queued for them, and answers left over.
    const QStringList& unanswered() const { return unanswered_; }
    std::size_t pendingAnswers() const;

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
    // Shown with the sizes offered, one a line, as its text.
    std::optional<TiledExportChoices> tiledExportDialog(const QList<QSize>& cells) override;

    // Called with a message box's text before it is answered.
    std::function<void(const QString& text)> beforeMessage;
    // The options passed to the last file dialog, and the item a choice box offered first.
    FileDialogOptions lastFileDialog;
    // What the last 切分大图 dialog offered first.
    SliceChoices lastSliceOffered;
    int lastChoiceOffered = -1;

private:
    static constexpr std::size_t kKinds = static_cast<std::size_t>(DialogKind::TiledExport) + 1;
    struct Answer {
        MessageResult button = MessageResult::Ok;
        QString text = {};
        std::pair<int, int> numbers = {};
        SliceChoices slice = {};
        bool cancel = false;
    };

    std::deque<Answer>& queue(DialogKind kind) { return answers_[static_cast<std::size_t>(kind)]; }
    void answerText(DialogKind kind, const QString& text) { queue(kind).push_back({.text = text}); }
    // The answer for a box shown; none when there is none or it is a cancel.
    std::optional<Answer> next(const Shown& shown);
    std::optional<QString> textAnswer(const Shown& shown);

    std::array<std::deque<Answer>, kKinds> answers_;
    QList<Shown> shown_;
    QStringList unanswered_;
};

}  // namespace tessera
