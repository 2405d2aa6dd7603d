#include "files/OutputFile.h"

#include "files/FileErrors.h"
#include "files/Files.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessera {
namespace {

// Bytes gathered before one write(2): PNG hands over 8 KB at a time.
constexpr qsizetype kChunk = 1 << 20;

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Where a path that leads to nothing would be created: through any dangling links to the last one's
// target. Empty with `error` set on a loop.
QByteArray creationPath(const QByteArray& path, int& error)
{
    QByteArray at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(at.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return at;
        char buffer[PATH_MAX];
        const ssize_t length = ::readlink(at.constData(), buffer, sizeof buffer);
        if (length < 0 || length == static_cast<ssize_t>(sizeof buffer)) {
            error = length < 0 ? errno : ENAMETOOLONG;
            return {};
        }
        const QByteArray next(buffer, length);
        at = next.startsWith('/') ? next : folderOf(at) + '/' + next;
    }
    error = ELOOP;
    return {};
}

// Removes the partial files of `name` in `folder` that no running writer holds.
void removeAbandonedPartials(const QByteArray& folder, const QByteArray& name)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const QString target = QFile::decodeName(name);
    const QByteArray prefix = '.' + name + '.';
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray entryName(entry->d_name);
        if (entryName.startsWith(prefix) && entryName.endsWith(".part")
            && partialTargetName(QFile::decodeName(entryName)) == target)
            removeAbandonedPartial(QFile::decodeName(folder + '/' + entryName));
    }
    ::closedir(dir);
}

void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

OutputFile::OutputFile(const QString& path, Kind kind) : path_(path), kind_(kind) {}

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::fail(int error, const QString& why)
{
    if (failed_)
        return false;
    failed_ = true;
    error_ = error;
    setErrorString(why.isEmpty() ? fileErrorText(error) : why);
    return false;
}

bool OutputFile::open(OpenMode mode)
{
    if (isOpen() || (mode & ReadOnly) || !(mode & WriteOnly))
        return false;
    failed_ = false;
    error_ = 0;
    written_ = 0;
    setErrorString({});
    if (!resolve())
        return false;
    if (targetKind_ == Target::Regular && (!mayReplace() || isAnInput()))
        return false;
    if (!(targetKind_ == Target::Stream ? openStream() : createPartial()))
        return false;
    return QIODevice::open(WriteOnly);
}

bool OutputFile::resolve()
{
    const QByteArray name = QFile::encodeName(path_);
    struct stat st {};
    if (kind_ == Kind::CreateNew) {
        if (::lstat(name.constData(), &st) == 0)
            return fail(EEXIST);
        target_ = name;
        targetKind_ = Target::Missing;
        return true;
    }
    if (::stat(name.constData(), &st) != 0) {
        if (errno != ENOENT)
            return fail(errno);
        int error = 0;
        target_ = creationPath(name, error);
        targetKind_ = Target::Missing;
        return error == 0 || fail(error);
    }
    if (S_ISDIR(st.st_mode))
        return fail(EISDIR);
    target_ = name;
    if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
        targetKind_ = Target::Stream;
        return true;
    }
    if (!S_ISREG(st.st_mode))
        return fail(0, QStringLiteral("这是一个特殊文件（块设备或套接字），不能写入"));
    char real[PATH_MAX];
    if (!::realpath(name.constData(), real))
        return fail(errno);
    target_ = real;
    targetKind_ = Target::Regular;
    oldMode_ = st.st_mode & 07777;
    oldOwner_ = st.st_uid;
    oldGroup_ = st.st_gid;
    oldDevice_ = st.st_dev;
    oldInode_ = st.st_ino;
    return true;
}

bool OutputFile::mayReplace()
{
    // Root may write anything; a file without any write bit is still the user's "do not change".
    if ((oldMode_ & 0222) == 0)
        return fail(EACCES);
    if (::geteuid() != 0 && ::faccessat(AT_FDCWD, target_.constData(), W_OK, AT_EACCESS) != 0)
        return fail(errno);
    return true;
}

bool OutputFile::isAnInput()
{
    if (!inputs_)
        return false;
    for (const QString& input : inputs_()) {
        struct stat st {};
        if (!input.isEmpty() && ::stat(QFile::encodeName(input).constData(), &st) == 0 && st.st_dev == oldDevice_
            && st.st_ino == oldInode_)
            return !fail(0, QStringLiteral("它就是输入文件“%1”，不能覆盖").arg(input));
    }
    return false;
}

bool OutputFile::openStream()
{
    // Non-blocking, so that a FIFO nobody reads is refused instead of waiting for a reader.
    fd_ = ::open(target_.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0)
        return fail(errno, errno == ENXIO ? QStringLiteral("没有程序在读取这个管道") : QString());
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail(errno);
    return true;
}

bool OutputFile::createPartial()
{
    const QByteArray folder = folderOf(target_);
    const QString name = QFile::decodeName(nameOf(target_));
    if (kind_ == Kind::Replace)
        removeAbandonedPartials(folder, nameOf(target_));
    // Private until it is complete when it replaces a file; the old file's bits come at commit.
    const mode_t mode = targetKind_ == Target::Regular ? 0600 : 0666;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QByteArray partial = folder + '/' + QFile::encodeName(partialFileName(name));
        const int fd = ::open(partial.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return fail(errno);
        }
        // A cleanup that took the lock between open and flock has removed the name: try another.
        struct stat mine {}, there {};
        const bool kept = (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) && ::fstat(fd, &mine) == 0
            && ::lstat(partial.constData(), &there) == 0 && sameFile(mine, there);
        if (kept) {
            fd_ = fd;
            partial_ = partial;
            return true;
        }
        ::close(fd);
    }
    return fail(EEXIST);
}

qint64 OutputFile::writeData(const char* data, qint64 size)
{
    if (failed_ || fd_ < 0)
        return -1;
    buffer_.append(data, static_cast<qsizetype>(size));
    if (buffer_.size() >= kChunk && !flushBuffer())
        return -1;
    written_ += size;
    return size;
}

bool OutputFile::flushBuffer()
{
    const int error = writeFully(fd_, buffer_.constData(), buffer_.size());
    buffer_.clear();
    return error == 0 || fail(error);
}

bool OutputFile::prepare()
{
    if (!isOpen() || failed_)
        return false;
    if (!prepared_)
        prepared_ = flushBuffer() && (targetKind_ == Target::Stream || settlePartial());
    return prepared_;
}

bool OutputFile::commit()
{
    if (!isOpen())
        return false;
    bool done = !failed_ && (prepared_ || flushBuffer());
    if (done && targetKind_ == Target::Stream) {
        done = ::close(std::exchange(fd_, -1)) == 0 || fail(errno);
    } else if (done) {
        done = finishPartial();
    }
    discard();
    return done;
}

bool OutputFile::settlePartial()
{
    if (targetKind_ == Target::Regular) {
        // Only root may give the file back to its owner; otherwise it stays the user's own.
        if (oldOwner_ != ::geteuid() || oldGroup_ != ::getegid()) {
            [[maybe_unused]] const int given = ::fchown(fd_, oldOwner_, oldGroup_);
        }
        if (::fchmod(fd_, oldMode_) != 0)
            return fail(errno);
    }
    if (kind_ == Kind::Replace && ::fsync(fd_) != 0)
        return fail(errno);
    return true;
}

bool OutputFile::finishPartial()
{
    if (!prepared_ && !settlePartial())
        return false;
    // Closing releases the lock: a duplicate keeps it until the rename is done, while the close
    // still reports what the file system found.
    const int keeper = ::dup(fd_);
    const bool closed = ::close(std::exchange(fd_, -1)) == 0 || fail(errno);
    int renamed = 0;
    if (closed)
        renamed = kind_ == Kind::Replace
            ? (::rename(partial_.constData(), target_.constData()) == 0 ? 0 : errno)
            : renameWithoutReplacing(QFile::decodeName(partial_), QFile::decodeName(target_));
    if (closed && renamed == 0)
        partial_.clear();
    if (keeper >= 0)
        ::close(keeper);
    if (!closed || (renamed != 0 && !fail(renamed)))
        return false;
    if (kind_ == Kind::Replace)
        syncFolder(folderOf(target_));
    return true;
}

void OutputFile::discard()
{
    buffer_.clear();
    prepared_ = false;
    if (!partial_.isEmpty())
        ::unlink(std::exchange(partial_, {}).constData());
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (isOpen())
        QIODevice::close();
}

int renameWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
#if defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    return renameWithoutReplacingByLink(from, to);
}

int renameWithoutReplacingByLink(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
    // A hard link fails on an existing target.
    if (::link(source.constData(), target.constData()) == 0) {
        if (::unlink(source.constData()) == 0)
            return 0;
        // The old name stays: the new one goes again, and the file is only where it was.
        const int error = errno;
        ::unlink(target.constData());
        return error;
    }
    if (errno == EEXIST || errno == ENOENT || errno == EXDEV)
        return errno;
    // Nor hard links: test, then rename.
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0)
        return EEXIST;
    return ::rename(source.constData(), target.constData()) == 0 ? 0 : errno;
}

int writeFully(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t put = ::write(fd, data, static_cast<size_t>(std::min<qint64>(size, kChunk)));
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

bool removeAbandonedPartial(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat held {}, now {};
    const bool removed = ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
        && ::lstat(name.constData(), &now) == 0 && sameFile(held, now) && ::unlink(name.constData()) == 0;
    ::close(fd);
    return removed;
}

}  // namespace tessera
