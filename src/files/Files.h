#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <limits>
#include <span>

namespace tessera {

class OpenFolders;

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

// What a batch finds at a path: its status (as FileStatus, the identity as numbers) and, for a
// regular file, its first bytes.
struct FileLook {
    bool present = false;
    bool link = false;
    bool regular = false;
    std::uint64_t device = 0;  // device and inode: the same for every path that leads to one file
    std::uint64_t inode = 0;
    int headSize = -1;  // how many bytes of `head` were read; -1 when not read or unreadable
    std::array<char, 16> head{};
};

struct ReadResult {
    bool ok = false;
    QByteArray data;
    QString error;
};

// How the program changes or reads the user's files (the map path file, the picture files a batch
// renames, moves, copies or writes). Thread-safe: any thread may call any operation, concurrently;
// background work holds a `Files&` and nothing else of the platform. `LocalFiles` is the real one;
// tests wrap it in `FaultyFiles`, which makes chosen operations fail. Reading tile pictures for
// display (`readRegularFile`) and browsing folders in the chooser go to the file system directly:
// they change nothing and need no injected failure.
class Files {
public:
    virtual ~Files() = default;

    // `exists` also matches a wildcard pattern ("*", "?") in the last path component.
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
    // Both fail when the target exists; `moveFile` also works across file systems. Success means
    // the file is at `to` and no longer at `from`; on failure it stays at `from`. `moveFile` refuses
    // a folder at `from`; `renameFile` is for a file the caller has just found to be one, and does
    // not look at it again before renaming.
    virtual FileResult renameFile(const QString& from, const QString& to) = 0;
    // As renameFile, the two names found in folders that `folders` holds open: for many renames
    // among a few folders.
    virtual FileResult renameIn(OpenFolders& folders, const QString& from, const QString& to) = 0;
    virtual FileResult moveFile(const QString& from, const QString& to) = 0;
    // Fails when the target exists.
    virtual FileResult copyFile(const QString& from, const QString& to) = 0;
    // Creates a file with this content; fails when the path exists. A partial file is only ever
    // left under a partial name (see partialFileName).
    virtual FileResult writeNewFile(const QString& path, const QByteArray& data) = 0;
    // Removes a file the program wrote itself (a temporary one).
    virtual FileResult removeFile(const QString& path) = 0;
    virtual FileStatus fileStatus(const QString& path) = 0;
    // Each path looked at as `fileStatus` would, for many files at once: a path whose last part is
    // no link costs one stat relative to its folder, which is opened once for the paths after it
    // that share it. `looks` as many as `paths`.
    virtual void lookAt(std::span<const QString> paths, std::span<FileLook> looks) = 0;
    // Then the first bytes (as readHead would, up to 16) of each that `lookAt` found regular: an
    // open and a read relative to its folder.
    virtual void readHeads(std::span<const QString> paths, std::span<FileLook> looks) = 0;
    // The folder's path with every symbolic link resolved; empty when it does not exist.
    virtual QString realFolder(const QString& folder) = 0;
    // The names of the files in a folder, hidden ones included.
    virtual QStringList fileNames(const QString& folder) = 0;
};

// Reads a whole regular file without ever blocking on a FIFO or device; thread-safe. Files larger
// than `maxBytes` are refused. With `headOnly` >= 0 only that many first bytes are read.
ReadResult readRegularFile(const QString& path, qint64 maxBytes = std::numeric_limits<qint64>::max(),
                           qint64 headOnly = -1);

// How long a read of a user's file may run before it is taken for one that never returns (a
// frozen network mount): then nothing waits for it any longer.
inline constexpr int kHungReadGraceMs = 500;

// `readRegularFile` for pictures shown (tiles, the chooser's preview), never opening a file twice
// at once: a read of a file already being read shares that read's result, or fails at once when
// that read has run for longer than `kHungReadGraceMs`. (A second open of a file whose read hangs
// may block for good, past any signal, on some file systems.)
ReadResult readShownFile(const QString& path, qint64 maxBytes);

// 0 when the folder's names can be listed, else why not (an errno value): QDir lists an unreadable
// folder as empty.
int folderListingError(const QString& folder);

// folder + native separator + name, without doubling a separator the folder ends with.
QString joinFolder(const QString& folder, const QString& name);

// The hidden name (".name.<12 hex digits>.part") under which a copy or write is made next to its
// target until it is complete, and back: the target's name, or the empty text for other names.
QString partialFileName(const QString& targetName);
QString partialTargetName(const QString& fileName);

}  // namespace tessera
