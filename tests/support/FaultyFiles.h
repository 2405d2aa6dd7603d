#pragma once

#include "files/LocalFiles.h"

#include <QList>

#include <functional>
#include <mutex>
#include <optional>

namespace tessera {

// Files for tests and benchmarks: the real local files (tests use temporary folders), but any
// operation on a chosen path can be made to fail. Thread-safe like every Files: the test may add
// failures on its thread while background work reads them on another.
class FaultyFiles final : public Files {
public:
    enum class Op { Read, Write, Rename, Move, Copy };

    // Makes every later `op` on a path accepted by `match` fail with `why`. `match` may be called
    // on any thread.
    void failWhen(Op op, std::function<bool(const QString& path)> match, QString why = QStringLiteral("模拟的失败"));
    void clearFailures();

    bool exists(const QString& pathOrPattern) override { return real_.exists(pathOrPattern); }
    ReadResult readFile(const QString& path, qint64 maxBytes = std::numeric_limits<qint64>::max()) override;
    bool isFile(const QString& path) override { return real_.isFile(path); }
    ReadResult readHead(const QString& path, int count) override;
    FileResult writeFileAtomic(const QString& path, const QByteArray& data,
                               const QStringList& inputs = {}) override;
    FileResult renameFile(const QString& from, const QString& to) override;
    FileResult renameIn(OpenFolders& folders, const QString& from, const QString& to) override;
    FileResult moveFile(const QString& from, const QString& to) override;
    FileResult copyFile(const QString& from, const QString& to) override;
    FileResult writeNewFile(const QString& path, const QByteArray& data) override;
    FileResult removeFile(const QString& path) override { return real_.removeFile(path); }
    FileStatus fileStatus(const QString& path) override { return real_.fileStatus(path); }
    void lookAt(std::span<const QString> paths, std::span<FileLook> looks) override { real_.lookAt(paths, looks); }
    // A path whose read is to fail is unreadable.
    void readHeads(std::span<const QString> paths, std::span<FileLook> looks) override;
    QString realFolder(const QString& folder) override { return real_.realFolder(folder); }
    QStringList fileNames(const QString& folder) override { return real_.fileNames(folder); }

private:
    struct Failure {
        Op op;
        std::function<bool(const QString&)> match;
        QString why;
    };

    // Why `op` on `path` is to fail; nothing when it is not.
    std::optional<QString> failureFor(Op op, const QString& path) const;
    // The injected failure of `op` on `path`, else what `call` gives.
    template <typename Result, typename Call>
    Result unlessFailing(Op op, const QString& path, Call call);

    LocalFiles real_;
    mutable std::mutex lock_;
    QList<Failure> failures_;
};

}  // namespace tessera
