// The real files. Nothing here ever overwrites an existing file except writeFileAtomic,
// which replaces its target as a whole or not at all; every file is written through OutputFile.
#include "files/FileErrors.h"
#include "files/OutputFile.h"
#include "files/LocalFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessera {
namespace {

QByteArray encodedPath(const QString& path)
{
    return QFile::encodeName(path);
}

bool hasWildcard(const QString& name)
{
    return name.contains(u'*') || name.contains(u'?');
}

FileResult resultOf(const OutputFile& file)
{
    return FileResult::failure(file.errorString());
}

// Writes `data` (or copies `from` when it is not empty) into a new file `to`; an existing `to` is
// never replaced.
FileResult createNoReplace(const QString& to, const QByteArray& data, const QString& from = {})
{
    OutputFile file(to, OutputFile::Kind::CreateNew);
    if (from.isEmpty()) {
        if (!file.open() || file.write(data) != data.size() || !file.commit())
            return resultOf(file);
        return FileResult::success();
    }
    const int source = ::open(encodedPath(from).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (source < 0)
        return FileResult::failure(fileErrorText(errno, FileAccess::Read));
    struct stat st {};
    if (::fstat(source, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(source);
        return FileResult::failure(QStringLiteral("不是普通文件"));
    }
    int readError = 0;
    if (file.open()) {
        char buffer[1 << 16];
        for (;;) {
            const ssize_t got = ::read(source, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                readError = errno;
            if (got <= 0 || file.write(buffer, got) != got)
                break;
        }
    }
    ::close(source);
    if (readError != 0)
        return FileResult::failure(fileErrorText(readError, FileAccess::Read));
    if (!file.isOpen() || !file.commit())
        return resultOf(file);
    return FileResult::success();
}

// One stat, links followed.
FileResult checkSource(const QString& from)
{
    struct stat st {};
    if (::stat(QFile::encodeName(from).constData(), &st) != 0)
        return FileResult::failure(QStringLiteral("源文件不存在"));
    if (S_ISDIR(st.st_mode))
        return FileResult::failure(QStringLiteral("源是一个文件夹"));
    return FileResult::success();
}

}  // namespace

bool LocalFiles::exists(const QString& pathOrPattern)
{
    const QFileInfo info(pathOrPattern);
    const QString name = info.fileName();
    if (!hasWildcard(name))
        return info.exists();
    const QDir dir = info.dir();
    return !dir.entryList({name}, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden
                                      | QDir::System)
                .isEmpty();
}

ReadResult LocalFiles::readFile(const QString& path, qint64 maxBytes)
{
    return readRegularFile(path, maxBytes);
}

bool LocalFiles::isFile(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

ReadResult LocalFiles::readHead(const QString& path, int count)
{
    return readRegularFile(path, std::numeric_limits<qint64>::max(), std::max(0, count));
}

FileResult LocalFiles::writeFileAtomic(const QString& path, const QByteArray& data, const QStringList& inputs)
{
    OutputFile file(path);
    if (!inputs.isEmpty())
        file.setInputs([&inputs] { return inputs; });
    if (!file.open() || file.write(data) != data.size() || !file.commit())
        return resultOf(file);
    return FileResult::success();
}

FileResult LocalFiles::writeNewFile(const QString& path, const QByteArray& data)
{
    if (QFileInfo(path).isDir())
        return FileResult::failure(fileErrorText(EISDIR));
    return createNoReplace(path, data);
}

FileResult LocalFiles::renameFile(const QString& from, const QString& to)
{
    // The rename first, the source looked at only when it fails: one call for each file of a batch.
    const int error = renameWithoutReplacing(from, to);
    if (error == 0)
        return FileResult::success();
    if (error == EXDEV)
        return moveFile(from, to);
    if (FileResult source = checkSource(from); !source)
        return source;
    return FileResult::failure(fileErrorText(error));
}

FileResult LocalFiles::moveFile(const QString& from, const QString& to)
{
    if (FileResult source = checkSource(from); !source)
        return source;
    // No look at the target first: the rename itself refuses one that exists (EEXIST), and so
    // does the copy across file systems.
    const int error = renameWithoutReplacing(from, to);
    if (error == 0)
        return FileResult::success();
    if (error != EXDEV)
        return FileResult::failure(fileErrorText(error));
    // Another file system: copy completely, check, then remove the source; never leave both
    // halves and never lose the only one.
    if (FileResult copied = createNoReplace(to, {}, from); !copied)
        return copied;
    if (QFileInfo(to).size() != QFileInfo(from).size()) {
        QFile::remove(to);
        return FileResult::failure(QStringLiteral("复制后的文件不完整"));
    }
    if (FileResult removed = removeFile(from); !removed) {
        QFile::remove(to);
        return FileResult::failure(QStringLiteral("源文件无法删除：%1").arg(removed.error));
    }
    return FileResult::success();
}

FileResult LocalFiles::copyFile(const QString& from, const QString& to)
{
    if (FileResult source = checkSource(from); !source)
        return source;
    return createNoReplace(to, {}, from);
}

FileResult LocalFiles::removeFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return FileResult::success();
#ifdef Q_OS_UNIX
    if (::unlink(encodedPath(path).constData()) != 0)
        return FileResult::failure(fileErrorText(errno));
    return FileResult::success();
#else
    return QFile::remove(path) ? FileResult::success() : FileResult::failure(QStringLiteral("无法删除文件"));
#endif
}

FileStatus LocalFiles::fileStatus(const QString& path)
{
    FileStatus status;
    if (path.isEmpty())
        return status;
#ifdef Q_OS_UNIX
    const QByteArray name = encodedPath(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return status;
    status.present = true;
    status.link = S_ISLNK(st.st_mode);
    if (status.link && ::stat(name.constData(), &st) != 0)
        return status;
    status.regular = S_ISREG(st.st_mode);
    status.identity = QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino);
#else
    const QFileInfo info(path);
    status.link = info.isSymLink();
    status.present = info.exists() || status.link;
    status.regular = info.isFile();
    status.identity = info.canonicalFilePath();
#endif
    return status;
}

QString LocalFiles::realFolder(const QString& folder)
{
    return QFileInfo(folder).canonicalFilePath();
}

QStringList LocalFiles::fileNames(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace tessera
