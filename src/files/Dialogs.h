#pragma once

#include <QColor>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace tessera {

// The four button sets of a message box; each has one role.
enum class MessageButtons {
    YesNoInfo,      // confirm an action: only Yes proceeds
    YesNoCancel,    // a question before an action: Yes and No proceed each their way, Cancel stops
    OkExclamation,  // a rejected input or state
    OkInfo,         // the success of a bulk operation
    Ok,             // any other notice
};

enum class MessageResult { Ok, Yes, No, Cancel };

inline const QString kDefaultMessageTitle = QStringLiteral("信息：");

// What a file dialog offers: a filter list in the "label|pattern|label|pattern" form and the
// extension added to a name typed without one.
struct FileDialogOptions {
    QString filters;
    QString defaultExtension;
    QString title = {};  // empty: the dialog's own ("打开", "另存为")
};

// What 切分大图 asks in its one dialog, and what it offers first.
struct SliceChoices {
    QSize cell{400, 300};
    QString folder;  // the folder the slices go into
    int quality = 90;
    bool pad = false;  // the last column and row padded to the whole cell with `padColour`
    QColor padColour = Qt::white;
};

// 导出为 TMX/TMJ 地图's settings: the cell size (an index into the sizes offered) and whether
// an atlas of the tiles at that size goes with the map.
struct TiledExportChoices {
    int cell = 0;
    bool atlas = false;
};

// What the atlas is, and, when `cell` is not the pictures' own size and no atlas is made, what
// engines will draw instead.
QString atlasExplanation();
QString atlasWarning(QSize cell, QSize pictures);

// How the program's logic asks the user: modal boxes. GUI thread only; background work never
// holds one. `QtDialogs` is the real one; tests answer from a queue (`ScriptedDialogs`).
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Modal message box, with `informative` text under the main text when not empty; returns the
    // button pressed.
    virtual MessageResult messageBox(const QString& text, MessageButtons buttons,
                                     const QString& title = kDefaultMessageTitle,
                                     const QString& informative = QString()) = 0;

    // Modal input box in the decimal style (only digits, "-" and "." can be typed).
    // Returns the typed text, or nothing on Cancel.
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                            const QString& initial) = 0;

    // Modal box that offers `items` in a list, `current` chosen at first. Returns the index of the
    // item chosen, or nothing on Cancel.
    virtual std::optional<int> chooseItem(const QString& prompt, const QString& title, const QStringList& items,
                                          int current) = 0;

    // Modal box asking for two whole numbers at once, each from 1 to `maximum`, under `prompt`
    // (labelled `labels`, `initial` at first). Returns both, or nothing on Cancel.
    virtual std::optional<std::pair<int, int>> inputTwoNumbers(const QString& prompt, const QString& title,
                                                               const QStringList& labels, std::pair<int, int> initial,
                                                               int maximum) = 0;

    // Open and save dialogs; return the chosen path or nothing on Cancel.
    virtual std::optional<QString> openFileDialog(const FileDialogOptions& options) = 0;
    virtual std::optional<QString> saveFileDialog(const FileDialogOptions& options) = 0;

    // Folder browser; returns the empty text on Cancel.
    virtual QString browseFolder(const QString& title) = 0;

    // 切分大图's settings for cutting `picture` (its size in pixels given), `initial` offered; nothing
    // on Cancel. The cell's sides stay within [minSide, maxSide] and the folder is not empty.
    virtual std::optional<SliceChoices> sliceDialog(const QString& picture, QSize size, const SliceChoices& initial,
                                                    int minSide, int maxSide) = 0;

    // 导出为 TMX/TMJ 地图's settings: one of `cells` (the pictures' own size first) and the atlas;
    // nothing on Cancel.
    virtual std::optional<TiledExportChoices> tiledExportDialog(const QList<QSize>& cells) = 0;

    // Modal box listing `rows` (a text for each of `columns`) under `prompt`, with a button for each of
    // `actions` and one to close it. The row chosen and the index of its action; nothing on Close.
    virtual std::optional<std::pair<int, int>> chooseRow(const QString& prompt, const QString& title,
                                                         const QStringList& columns, const QList<QStringList>& rows,
                                                         const QStringList& actions) = 0;

    // Input box whose answer is read as a whole number; nothing on Cancel.
    std::optional<int> inputNumber(const QString& prompt, const QString& title,
                                   const QString& initial);
};

// Converts an answer the usual decimal way: leading blanks, an optional sign, the digits up to the
// first other character (none gives 0); a fraction is cut off and the result clamped to 32 bits.
int decimalValue(const QString& text);

// Qt file-dialog filter ("label (*.a);;label (*)") for a "label|pattern|..." list.
QString qtFilterList(const QString& pipeList);

}  // namespace tessera
