// File half of QtPlatform. Nothing here ever overwrites an existing file except writeFileAtomic,
// which replaces its target as a whole or not at all.
#include "gui/FileErrors.h"
#include "gui/QtPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Renames without ever replacing an existing target. Returns 0 or an errno value. Not QFile::rename:
// it tests for the target and then renames, so a file appearing in between is replaced.
int renameNoReplace(const QString& from, const QString& to)
{
#if defined(Q_OS_LINUX) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, encodedPath(from).constData(), AT_FDCWD,
                    encodedPath(to).constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
#ifdef Q_OS_UNIX
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing target.
    if (::link(encodedPath(from).constData(), encodedPath(to).constData()) == 0) {
        ::unlink(encodedPath(from).constData());
        return 0;
    }
    if (errno == EEXIST || errno == ENOENT || errno == EXDEV)
        return errno;
#endif
    if (QFileInfo::exists(to))
        return EEXIST;
    return QFile::rename(from, to) ? 0 : EIO;
}

// `target`'s folder and a fresh partial name for it.
QString partialPathFor(const QString& target)
{
    const QFileInfo info(target);
    return info.absolutePath() + QDir::separator() + partialFileName(info.fileName());
}

#ifdef Q_OS_UNIX
int writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t put = ::write(fd, data, static_cast<size_t>(std::min<qint64>(size, 1 << 20)));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += put;
        size -= put;
    }
    return 0;
}

// Creates `path` (never an existing one) and fills it from `data`, or from `sourceFd` when that is
// >= 0. On failure nothing is left at `path`. Returns 0 or an errno value and whether reading failed.
int createFilled(const QString& path, const QByteArray& data, int sourceFd, bool sync, mode_t mode,
                 FileAccess& failedAt)
{
    failedAt = FileAccess::Write;
    const QByteArray name = encodedPath(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return errno;
    int error = 0;
    if (sourceFd < 0) {
        error = writeAll(fd, data.constData(), data.size());
    } else {
        char buffer[1 << 16];
        for (;;) {
            const ssize_t got = ::read(sourceFd, buffer, sizeof buffer);
            if (got == 0)
                break;
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                failedAt = FileAccess::Read;
                break;
            }
            if ((error = writeAll(fd, buffer, got)) != 0)
                break;
        }
    }
    if (error == 0 && sync && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        ::unlink(name.constData());
    return error;
}
#endif

// Writes `data` (or copies `from` when it is not empty) under a partial name next to `to`, then
// renames it into place; an existing `to` is never replaced.
FileResult createNoReplace(const QString& to, const QByteArray& data, const QString& from = {})
{
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return FileResult::failure(fileErrorText(EEXIST));
    const QString temporary = partialPathFor(to);
#ifdef Q_OS_UNIX
    int sourceFd = -1;
    if (!from.isEmpty()) {
        sourceFd = ::open(encodedPath(from).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (sourceFd < 0)
            return FileResult::failure(fileErrorText(errno, FileAccess::Read));
        struct stat st {};
        if (::fstat(sourceFd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(sourceFd);
            return FileResult::failure(QStringLiteral("不是普通文件"));
        }
    }
    FileAccess failedAt = FileAccess::Write;
    const int error = createFilled(temporary, data, sourceFd, false, 0666, failedAt);
    if (sourceFd >= 0)
        ::close(sourceFd);
    if (error != 0)
        return FileResult::failure(fileErrorText(error, failedAt));
#else
    if (!from.isEmpty()) {
        if (!QFile::copy(from, temporary)) {
            QFile::remove(temporary);
            return FileResult::failure(QStringLiteral("复制失败"));
        }
    } else {
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(data) != data.size()) {
            file.remove();
            return FileResult::failure(QStringLiteral("写入失败"));
        }
    }
#endif
    if (const int error = renameNoReplace(temporary, to)) {
        QFile::remove(temporary);
        return FileResult::failure(fileErrorText(error));
    }
    return FileResult::success();
}

FileResult checkSource(const QString& from)
{
    const QFileInfo info(from);
    if (!info.exists())
        return FileResult::failure(QStringLiteral("源文件不存在"));
    if (info.isDir())
        return FileResult::failure(QStringLiteral("源是一个文件夹"));
    return FileResult::success();
}

}  // namespace

bool QtPlatform::exists(const QString& pathOrPattern)
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

ReadResult QtPlatform::readFile(const QString& path, qint64 maxBytes)
{
    return readRegularFile(path, maxBytes);
}

bool QtPlatform::isFile(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

ReadResult QtPlatform::readHead(const QString& path, int count)
{
    return readRegularFile(path, std::numeric_limits<qint64>::max(), std::max(0, count));
}

FileResult QtPlatform::writeFileAtomic(const QString& path, const QByteArray& data)
{
    const QFileInfo info(path);
    if (info.isDir())
        return FileResult::failure(fileErrorText(EISDIR));
#ifdef Q_OS_UNIX
    // Written whole and synced under a partial name, then renamed over the old file, whose
    // permissions it keeps. Not QSaveFile, which gives the same guarantee: its failures come as
    // English text that cannot tell a full disk from a read-only one, and the errno here can.
    const QString real = info.isSymLink() ? info.symLinkTarget() : path;
    struct stat old {};
    const mode_t mode = ::stat(encodedPath(real).constData(), &old) == 0 ? (old.st_mode & 07777) : 0666;
    const QString temporary = partialPathFor(real);
    FileAccess failedAt = FileAccess::Write;
    if (const int error = createFilled(temporary, data, -1, true, mode, failedAt))
        return FileResult::failure(fileErrorText(error));
    if (mode != 0666)
        ::chmod(encodedPath(temporary).constData(), mode);
    if (::rename(encodedPath(temporary).constData(), encodedPath(real).constData()) != 0) {
        const int error = errno;
        ::unlink(encodedPath(temporary).constData());
        return FileResult::failure(fileErrorText(error));
    }
    return FileResult::success();
#else
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
        file.cancelWriting();
        file.commit();
        return FileResult::failure(QStringLiteral("写入失败"));
    }
    if (!file.commit())
        return FileResult::failure(QStringLiteral("写入失败"));
    return FileResult::success();
#endif
}

FileResult QtPlatform::writeNewFile(const QString& path, const QByteArray& data)
{
    if (QFileInfo(path).isDir())
        return FileResult::failure(fileErrorText(EISDIR));
    return createNoReplace(path, data);
}

FileResult QtPlatform::renameFile(const QString& from, const QString& to)
{
    return moveFile(from, to);
}

FileResult QtPlatform::moveFile(const QString& from, const QString& to)
{
    if (FileResult source = checkSource(from); !source)
        return source;
    if (QFileInfo::exists(to))
        return FileResult::failure(fileErrorText(EEXIST));
    const int error = renameNoReplace(from, to);
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

FileResult QtPlatform::copyFile(const QString& from, const QString& to)
{
    if (FileResult source = checkSource(from); !source)
        return source;
    return createNoReplace(to, {}, from);
}

FileResult QtPlatform::removeFile(const QString& path)
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

FileStatus QtPlatform::fileStatus(const QString& path)
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

QString QtPlatform::realFolder(const QString& folder)
{
    return QFileInfo(folder).canonicalFilePath();
}

QStringList QtPlatform::fileNames(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace tessera
