// File half of QtPlatform. Nothing here ever overwrites an existing file except writeFileAtomic,
// which replaces its target as a whole or not at all.
#include "gui/QtPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>

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

QString errnoText(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("文件或文件夹不存在");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有访问权限");
    case EEXIST:
        return QStringLiteral("目标文件已存在");
    case ENOSPC:
        return QStringLiteral("磁盘空间不足");
    case EROFS:
        return QStringLiteral("文件系统只读");
    case EISDIR:
        return QStringLiteral("这是一个文件夹");
    case ENAMETOOLONG:
        return QStringLiteral("路径太长");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QByteArray encodedPath(const QString& path)
{
    return QFile::encodeName(path);
}

bool hasWildcard(const QString& name)
{
    return name.contains(u'*') || name.contains(u'?');
}

// Renames without ever replacing an existing target. Returns 0 or an errno value.
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

// A name for a temporary file next to `target`, for copies that appear there only when complete.
QString siblingTemporary(const QString& target)
{
    const QFileInfo info(target);
    return info.absolutePath() + QDir::separator() + QStringLiteral(".") + info.fileName()
        + QStringLiteral(".") + QUuid::createUuid().toString(QUuid::Id128).left(12)
        + QStringLiteral(".part");
}

FileResult copyNoReplace(const QString& from, const QString& to)
{
    if (QFileInfo::exists(to))
        return FileResult::failure(errnoText(EEXIST));
    const QString temporary = siblingTemporary(to);
    QFile source(from);
    if (!source.copy(temporary)) {
        QFile::remove(temporary);
        return FileResult::failure(QStringLiteral("复制失败：%1").arg(source.errorString()));
    }
    if (const int error = renameNoReplace(temporary, to)) {
        QFile::remove(temporary);
        return FileResult::failure(errnoText(error));
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

namespace {

QString tooLargeText(qint64 maxBytes)
{
    return QStringLiteral("文件太大（超过 %1 MB）").arg(maxBytes / (1024 * 1024));
}

}  // namespace

ReadResult readRegularFile(const QString& path, qint64 maxBytes, qint64 headOnly)
{
    ReadResult result;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.error = errnoText(ENOENT);
        return result;
    }
    if (info.isDir()) {
        result.error = errnoText(EISDIR);
        return result;
    }
#ifdef Q_OS_UNIX
    // Non-blocking open, so that a FIFO or device named by mistake never blocks the program.
    const int fd = ::open(encodedPath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = errnoText(errno);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.error = QStringLiteral("不是普通文件");
        return result;
    }
    if (headOnly < 0 && st.st_size > maxBytes) {
        ::close(fd);
        result.error = tooLargeText(maxBytes);
        return result;
    }
    QByteArray data;
    data.reserve(static_cast<qsizetype>(headOnly >= 0 ? std::min<qint64>(headOnly, st.st_size) : st.st_size));
    char buffer[1 << 16];
    for (;;) {
        const qint64 room = headOnly >= 0 ? headOnly - data.size() : static_cast<qint64>(sizeof buffer);
        if (room <= 0)
            break;
        const ssize_t got = ::read(fd, buffer, static_cast<size_t>(std::min<qint64>(room, sizeof buffer)));
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.error = errnoText(errno);
            ::close(fd);
            return result;
        }
        if (data.size() + got > maxBytes) {
            ::close(fd);
            result.error = tooLargeText(maxBytes);
            return result;
        }
        data.append(buffer, static_cast<qsizetype>(got));
    }
    ::close(fd);
    result.data = std::move(data);
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    if (headOnly < 0 && file.size() > maxBytes) {
        result.error = tooLargeText(maxBytes);
        return result;
    }
    result.data = headOnly >= 0 ? file.read(headOnly) : file.readAll();
#endif
    result.ok = true;
    return result;
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
    if (QFileInfo(path).isDir())
        return FileResult::failure(errnoText(EISDIR));
    QSaveFile file(path);
    // Unbuffered, so that a full disk shows in the write itself and not in a flush that could
    // go unnoticed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return FileResult::failure(file.errorString());
    if (file.write(data) != data.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        file.commit();
        return FileResult::failure(why);
    }
    if (!file.commit())
        return FileResult::failure(file.errorString());
    if (QFileInfo(path).size() != data.size())
        return FileResult::failure(QStringLiteral("写入的文件不完整"));
    return FileResult::success();
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
        return FileResult::failure(errnoText(EEXIST));
    const int error = renameNoReplace(from, to);
    if (error == 0)
        return FileResult::success();
    if (error != EXDEV)
        return FileResult::failure(errnoText(error));
    // Another file system: copy completely, check, then remove the source; never leave both
    // halves and never lose the only one.
    if (FileResult copied = copyNoReplace(from, to); !copied)
        return copied;
    if (QFileInfo(to).size() != QFileInfo(from).size()) {
        QFile::remove(to);
        return FileResult::failure(QStringLiteral("复制后的文件不完整"));
    }
    if (!QFile::remove(from)) {
        QFile::remove(to);
        return FileResult::failure(QStringLiteral("无法删除源文件"));
    }
    return FileResult::success();
}

FileResult QtPlatform::copyFile(const QString& from, const QString& to)
{
    if (FileResult source = checkSource(from); !source)
        return source;
    return copyNoReplace(from, to);
}

FileResult QtPlatform::removeFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return FileResult::success();
    return file.remove() ? FileResult::success() : FileResult::failure(file.errorString());
}

}  // namespace tessera
