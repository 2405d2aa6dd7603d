#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <limits>
#include <optional>

namespace tessera {

// The four button sets of a message box; each has one role.
enum class MessageButtons {
    YesNoInfo,      // confirm an action: only Yes proceeds
    OkExclamation,  // a rejected input or state
    OkInfo,         // the success of a bulk operation
    Ok,             // any other notice
};

enum class MessageResult { Ok, Yes, No };

inline const QString kDefaultMessageTitle = QStringLiteral("信息：");

// What a file dialog offers: a filter list in the "label|pattern|label|pattern" form and the
// extension added to a name typed without one.
struct FileDialogOptions {
    QString filters;
    QString defaultExtension;
};

// Outcome of a file operation; `error` says why it failed, in words for the user.
struct FileResult {
    bool ok = false;
    QString error;

    static FileResult success() { return {true, {}}; }
    static FileResult failure(QString why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

// What is at a path. `present` and `link` look at the path itself, the rest at what it leads to.
struct FileStatus {
    bool present = false;  // something is there, a dangling link too
    bool link = false;     // the path itself is a symbolic link
    bool regular = false;  // it leads to a regular file
    QString identity;      // the same for every path that leads to one file (device and inode)
};

struct ReadResult {
    bool ok = false;
    QByteArray data;
    QString error;
};

// How the program's logic asks the user (dialogs) and changes or reads the user's files (the map
// path file, the picture files a batch renames, moves, copies or writes). `QtPlatform` is the real
// one; tests use `ScriptedPlatform`, which answers from a queue and can make file operations fail.
// Reading tile pictures for display (`readRegularFile`, `readPictureCorner`) and browsing folders in
// the chooser go to the file system directly: they change nothing and need no scripted failure.
class Platform {
public:
    virtual ~Platform() = default;

    // Modal message box; returns the button pressed.
    virtual MessageResult messageBox(const QString& text, MessageButtons buttons,
                                     const QString& title = kDefaultMessageTitle) = 0;

    // Modal input box in the decimal style (only digits, "-" and "." can be typed).
    // Returns the typed text, or nothing on Cancel.
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                            const QString& initial) = 0;

    // Modal box that offers `items` in a list, `current` chosen at first. Returns the index of the
    // item chosen, or nothing on Cancel.
    virtual std::optional<int> chooseItem(const QString& prompt, const QString& title, const QStringList& items,
                                          int current) = 0;

    // Open and save dialogs; return the chosen path or nothing on Cancel.
    virtual std::optional<QString> openFileDialog(const FileDialogOptions& options) = 0;
    virtual std::optional<QString> saveFileDialog(const FileDialogOptions& options) = 0;

    // Folder browser; returns the empty text on Cancel.
    virtual QString browseFolder(const QString& title) = 0;

    // Files. `exists` also matches a wildcard pattern ("*", "?") in the last path component.
    virtual bool exists(const QString& pathOrPattern) = 0;
    // A file larger than `maxBytes` is refused before anything is read.
    virtual ReadResult readFile(const QString& path,
                                qint64 maxBytes = std::numeric_limits<qint64>::max()) = 0;
    // Whether a regular file is at exactly this path (no wildcards).
    virtual bool isFile(const QString& path) = 0;
    // The first `count` bytes of a regular file (fewer when it is shorter); failure as readFile.
    virtual ReadResult readHead(const QString& path, int count) = 0;
    // Replaces the file's whole content atomically through OutputFile: the old file stays whole on
    // failure, and is never replaced when the user may not write it or it is one of `inputs`.
    virtual FileResult writeFileAtomic(const QString& path, const QByteArray& data,
                                       const QStringList& inputs = {}) = 0;
    // Both fail when the target exists; `moveFile` also works across file systems.
    virtual FileResult renameFile(const QString& from, const QString& to) = 0;
    virtual FileResult moveFile(const QString& from, const QString& to) = 0;
    // Fails when the target exists.
    virtual FileResult copyFile(const QString& from, const QString& to) = 0;
    // Creates a file with this content; fails when the path exists. A partial file is only ever
    // left under a partial name (see partialFileName).
    virtual FileResult writeNewFile(const QString& path, const QByteArray& data) = 0;
    // Removes a file the program wrote itself (a temporary one).
    virtual FileResult removeFile(const QString& path) = 0;
    virtual FileStatus fileStatus(const QString& path) = 0;
    // The folder's path with every symbolic link resolved; empty when it does not exist.
    virtual QString realFolder(const QString& folder) = 0;
    // The names of the files in a folder, hidden ones included.
    virtual QStringList fileNames(const QString& folder) = 0;

    // Input box whose answer is read as a whole number; nothing on Cancel.
    std::optional<int> inputNumber(const QString& prompt, const QString& title,
                                   const QString& initial);
};

// Converts an answer the usual decimal way: leading blanks, an optional sign, the digits up to the
// first other character (none gives 0); a fraction is cut off and the result clamped to 32 bits.
int decimalValue(const QString& text);

// Reads a whole regular file without ever blocking on a FIFO or device; thread-safe. Files larger
// than `maxBytes` are refused. With `headOnly` >= 0 only that many first bytes are read.
ReadResult readRegularFile(const QString& path, qint64 maxBytes = std::numeric_limits<qint64>::max(),
                           qint64 headOnly = -1);

// The top-left `size` pixels of the picture in a regular file (less when it is smaller), decoded
// straight from the file without reading it whole; null when it is no picture. Thread-safe.
QImage readPictureCorner(const QString& path, QSize size);

// 0 when the folder's names can be listed, else why not (an errno value): QDir lists an unreadable
// folder as empty.
int folderListingError(const QString& folder);

// folder + native separator + name, without doubling a separator the folder ends with.
QString joinFolder(const QString& folder, const QString& name);

// The hidden name (".name.<12 hex digits>.part") under which a copy or write is made next to its
// target until it is complete, and back: the target's name, or the empty text for other names.
QString partialFileName(const QString& targetName);
QString partialTargetName(const QString& fileName);

// Qt file-dialog filter ("label (*.a);;label (*)") for a "label|pattern|..." list.
QString qtFilterList(const QString& pipeList);

}  // namespace tessera
