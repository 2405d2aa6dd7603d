#pragma once

#include "files/Files.h"

namespace tessera {

// The real files: the local file system, every write through OutputFile. Holds no state.
class LocalFiles final : public Files {
public:
    bool exists(const QString& pathOrPattern) override;
    ReadResult readFile(const QString& path, qint64 maxBytes = std::numeric_limits<qint64>::max()) override;
    bool isFile(const QString& path) override;
    ReadResult readHead(const QString& path, int count) override;
    FileResult writeFileAtomic(const QString& path, const QByteArray& data,
                               const QStringList& inputs = {}) override;
    FileResult renameFile(const QString& from, const QString& to) override;
    FileResult renameIn(OpenFolders& folders, const QString& from, const QString& to) override;
    FileResult moveFile(const QString& from, const QString& to) override;
    FileResult copyFile(const QString& from, const QString& to) override;
    FileResult writeNewFile(const QString& path, const QByteArray& data) override;
    FileResult removeFile(const QString& path) override;
    FileStatus fileStatus(const QString& path) override;
    void lookAt(std::span<const QString> paths, std::span<FileLook> looks) override;
    void readHeads(std::span<const QString> paths, std::span<FileLook> looks) override;
    QString realFolder(const QString& folder) override;
    QStringList fileNames(const QString& folder) override;
};

}  // namespace tessera
