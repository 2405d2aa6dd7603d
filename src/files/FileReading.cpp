// Reading files for display, never blocking on a FIFO or device, and the words for file errors.
#include "files/FileErrors.h"
#include "files/Files.h"

#include <QFile>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QWaitCondition>

#include <memory>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <dirent.h>
#endif

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessera {

// Why a file operation failed, in words for the user; never a path.
QString fileErrorText(int error, FileAccess access)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("文件或文件夹不存在");
    case EACCES:
        return access == FileAccess::Read ? QStringLiteral("没有读取权限") : QStringLiteral("没有写入权限");
    case EPERM:
        return QStringLiteral("文件不可更改");
    case EEXIST:
        return QStringLiteral("目标文件已存在");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘空间不足");
    case EROFS:
        return QStringLiteral("文件系统只读");
    case EISDIR:
        return QStringLiteral("这是一个文件夹");
    case ENOTDIR:
        return QStringLiteral("路径中有一项不是文件夹");
    case ENAMETOOLONG:
        return QStringLiteral("路径太长");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("文件正在使用");
    case EFBIG:
        return QStringLiteral("文件太大");
    case ELOOP:
        return QStringLiteral("符号链接层次太多");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("打开的文件太多");
    case EIO:
        return QStringLiteral("读写磁盘出错");
    default:
        return QStringLiteral("系统错误（代码%1）").arg(error);
    }
}

namespace {

QString tooLargeText(qint64 maxBytes)
{
    return QStringLiteral("文件太大（超过 %1 MB）").arg(maxBytes / (1024 * 1024));
}

#ifdef Q_OS_UNIX
// Reads what `fd` holds: `headOnly` bytes at most when it is not negative; more than `maxBytes`
// is refused. Returns 0, an errno value, or -1 for too much.
int readAllOf(int fd, qint64 size, qint64 maxBytes, qint64 headOnly, QByteArray& data)
{
    data.reserve(static_cast<qsizetype>(headOnly >= 0 ? std::min<qint64>(headOnly, size) : size));
    char buffer[1 << 16];
    for (;;) {
        const qint64 room = headOnly >= 0 ? headOnly - data.size() : static_cast<qint64>(sizeof buffer);
        if (room <= 0)
            return 0;
        const ssize_t got = ::read(fd, buffer, static_cast<size_t>(std::min<qint64>(room, sizeof buffer)));
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (data.size() + got > maxBytes)
            return -1;
        data.append(buffer, static_cast<qsizetype>(got));
    }
}
#endif

}  // namespace

ReadResult readRegularFile(const QString& path, qint64 maxBytes, qint64 headOnly)
{
    ReadResult result;
#ifdef Q_OS_UNIX
    // Non-blocking open, so that a FIFO or device named by mistake never blocks the program; the
    // open and fstat say all that a stat beforehand would (one file of a batch is a few calls).
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = fileErrorText(errno, FileAccess::Read);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.error = S_ISDIR(st.st_mode) ? fileErrorText(EISDIR, FileAccess::Read) : QStringLiteral("不是普通文件");
        return result;
    }
    if (headOnly < 0 && st.st_size > maxBytes) {
        ::close(fd);
        result.error = tooLargeText(maxBytes);
        return result;
    }
    QByteArray data;
    const int error = readAllOf(fd, st.st_size, maxBytes, headOnly, data);
    if (error != 0) {
        ::close(fd);
        result.error = error < 0 ? tooLargeText(maxBytes) : fileErrorText(error, FileAccess::Read);
        return result;
    }
    ::close(fd);
    result.data = std::move(data);
#else
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        result.error = fileErrorText(info.exists() ? EISDIR : ENOENT, FileAccess::Read);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("无法打开文件");
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

namespace {

// A read of one file in progress, shared by every reader of that file meanwhile.
struct SharedRead {
    QDeadlineTimer hung{kHungReadGraceMs};  // from then on nobody waits for it
    bool done = false;
    ReadResult result;
};

struct SharedReads {
    QMutex mutex;  // guards what follows
    QWaitCondition done;
    QHash<QString, std::shared_ptr<SharedRead>> running;
};

}  // namespace

ReadResult readShownFile(const QString& path, qint64 maxBytes)
{
    static auto* const reads = new SharedReads;  // never destroyed: a hung reader may still come back
    QMutexLocker lock(&reads->mutex);
    if (const std::shared_ptr<SharedRead> read = reads->running.value(path)) {
        while (!read->done) {
            if (!reads->done.wait(&reads->mutex, read->hung)) {
                ReadResult hung;
                hung.error = QStringLiteral("读取文件没有响应");
                return hung;
            }
        }
        return read->result;
    }
    const auto read = std::make_shared<SharedRead>();
    reads->running.insert(path, read);
    lock.unlock();
    ReadResult result = readRegularFile(path, maxBytes);
    lock.relock();
    read->result = result;
    read->done = true;
    reads->running.remove(path);
    reads->done.wakeAll();
    return result;
}

int folderListingError(const QString& folder)
{
#ifdef Q_OS_UNIX
    DIR* listing = ::opendir(QFile::encodeName(folder).constData());
    if (!listing)
        return errno;
    ::closedir(listing);
    return 0;
#else
    return QFileInfo(folder).isReadable() ? 0 : EACCES;
#endif
}

}  // namespace tessera
