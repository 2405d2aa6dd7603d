// The real files. Nothing here ever overwrites an existing file except writeFileAtomic,
// which replaces its target as a whole or not at all; every file is written through OutputFile.
#include "files/FileErrors.h"
#include "files/OutputFile.h"
#include "files/LocalFiles.h"
#include "files/OpenFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dirent.h>
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

#ifdef Q_OS_UNIX
// Fills what a stat of `name` says (the link itself first, then what it leads to); true when it
// leads somewhere, so that its identity is known.
bool statPath(const QByteArray& name, FileLook& look)
{
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return false;
    look.present = true;
    look.link = S_ISLNK(st.st_mode);
    if (look.link && ::stat(name.constData(), &st) != 0)
        return false;
    look.regular = S_ISREG(st.st_mode);
    look.device = static_cast<std::uint64_t>(st.st_dev);
    look.inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

// Reads the head of an open regular file.
void readHeadOf(int fd, FileLook& look)
{
    look.headSize = 0;
    while (look.headSize < static_cast<int>(look.head.size())) {
        const ssize_t got = ::read(fd, look.head.data() + look.headSize, look.head.size() - look.headSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            look.headSize = -1;
        if (got <= 0)
            return;
        look.headSize += static_cast<int>(got);
    }
}

// One stat of the name in its folder, the link itself; false when the path is to be looked at
// by its whole text instead (a link, a refusal).
bool lookRelative(int folder, QStringView name, FileLook& look)
{
    look = {};
    struct stat st {};
    if (::fstatat(folder, QFile::encodeName(name.toString()).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (S_ISLNK(st.st_mode))
        return false;
    look.present = true;
    look.regular = S_ISREG(st.st_mode);
    look.device = static_cast<std::uint64_t>(st.st_dev);
    look.inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

// The head of a regular file found there: opened without following a link (one that has taken
// its place is not read), without blocking, and where the user owns it without touching its
// access time (no inode write for a look).
void readHeadRelative(int folder, QStringView name, FileLook& look)
{
    const QByteArray encoded = QFile::encodeName(name.toString());
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
    int fd = ::openat(folder, encoded.constData(), kFlags | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::openat(folder, encoded.constData(), kFlags);
    if (fd < 0)
        return;
    readHeadOf(fd, look);
    ::close(fd);
}
#endif

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

FileResult LocalFiles::renameIn(OpenFolders& folders, const QString& from, const QString& to)
{
#if defined(Q_OS_UNIX) && defined(RENAME_NOREPLACE)
    const auto [fromFolder, fromName] = splitPath(from);
    const auto [toFolder, toName] = splitPath(to);
    const int source = fromName.isEmpty() ? -1 : folders.descriptor(fromFolder);
    const int target = toName.isEmpty() || source < 0 ? -1 : folders.descriptor(toFolder);
    if (target >= 0) {
        if (::renameat2(source, QFile::encodeName(fromName.toString()).constData(), target,
                        QFile::encodeName(toName.toString()).constData(), RENAME_NOREPLACE) == 0)
            return FileResult::success();
        // Another file system, or one that cannot refuse by itself: the whole way below.
        if (const int error = errno; error != EXDEV && error != EINVAL && error != ENOSYS) {
            if (FileResult checked = checkSource(from); !checked)
                return checked;
            return FileResult::failure(fileErrorText(error));
        }
    }
#else
    Q_UNUSED(folders);
#endif
    return renameFile(from, to);
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
    FileLook look;
    const bool known = statPath(encodedPath(path), look);
    status.present = look.present;
    status.link = look.link;
    status.regular = look.regular;
    if (known)
        status.identity = QStringLiteral("%1:%2").arg(look.device).arg(look.inode);
#else
    const QFileInfo info(path);
    status.link = info.isSymLink();
    status.present = info.exists() || status.link;
    status.regular = info.isFile();
    status.identity = info.canonicalFilePath();
#endif
    return status;
}

void LocalFiles::lookAt(std::span<const QString> paths, std::span<FileLook> looks)
{
#ifdef Q_OS_UNIX
    OpenFolders folders;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const auto [folder, name] = splitPath(paths[i]);
        const int fd = name.isEmpty() ? -1 : folders.descriptor(folder);
        if (fd < 0 || !lookRelative(fd, name, looks[i])) {
            looks[i] = {};
            if (!paths[i].isEmpty())
                statPath(encodedPath(paths[i]), looks[i]);
        }
    }
#else
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const FileStatus status = fileStatus(paths[i]);
        looks[i] = {};
        looks[i].present = status.present;
        looks[i].link = status.link;
        looks[i].regular = status.regular;
        looks[i].inode = qHash(status.identity);
    }
#endif
}

void LocalFiles::readHeads(std::span<const QString> paths, std::span<FileLook> looks)
{
#ifdef Q_OS_UNIX
    OpenFolders folders;
#endif
    for (std::size_t i = 0; i < paths.size(); ++i) {
        FileLook& look = looks[i];
        look.headSize = -1;
        if (!look.regular)
            continue;
#ifdef Q_OS_UNIX
        if (!look.link) {
            const auto [folder, name] = splitPath(paths[i]);
            if (const int fd = folders.descriptor(folder); fd >= 0 && !name.isEmpty()) {
                readHeadRelative(fd, name, look);
                continue;
            }
        }
#endif
        if (const ReadResult head = readHead(paths[i], look.head.size()); head.ok) {
            look.headSize = static_cast<int>(head.data.size());
            std::memcpy(look.head.data(), head.data.constData(), head.data.size());
        }
    }
}

QString LocalFiles::realFolder(const QString& folder)
{
    return QFileInfo(folder).canonicalFilePath();
}

QStringList LocalFiles::fileNames(const QString& folder)
{
#ifdef Q_OS_UNIX
    // Unsorted, and a stat only for an entry that the listing says may be a link to a folder.
    QStringList names;
    DIR* listing = ::opendir(encodedPath(folder).constData());
    if (!listing)
        return names;
    while (const dirent* entry = ::readdir(listing)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 || entry->d_type == DT_DIR)
            continue;
        struct stat st {};
        if ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
            && ::fstatat(::dirfd(listing), name, &st, 0) == 0 && S_ISDIR(st.st_mode))
            continue;
        names << QFile::decodeName(name);
    }
    ::closedir(listing);
    return names;
#else
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);
#endif
}

}  // namespace tessera
