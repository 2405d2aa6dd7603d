#include "files/LocalFiles.h"
#include "files/OpenFolders.h"
#include "files/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessera;

namespace {

class LocalFilesTest : public testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& data)
    {
        ASSERT_TRUE(files.writeFileAtomic(path(name), data));
    }
    QByteArray read(const QString& name) { return files.readFile(path(name)).data; }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    LocalFiles files;
};

}  // namespace

TEST_F(LocalFilesTest, ExistsMatchesPathsAndWildcards)
{
    write(QStringLiteral("1-1.jpg"), "x");
    EXPECT_TRUE(files.exists(path(QStringLiteral("1-1.jpg"))));
    EXPECT_TRUE(files.exists(path(QStringLiteral("*.jpg"))));
    EXPECT_TRUE(files.exists(path(QStringLiteral("1-?.jpg"))));
    EXPECT_FALSE(files.exists(path(QStringLiteral("*.png"))));
    EXPECT_FALSE(files.exists(path(QStringLiteral("2-1.jpg"))));
}

TEST_F(LocalFilesTest, WriteReplacesWholeContentAndLeavesNoTemporaries)
{
    write(QStringLiteral("map.tlp"), QByteArray(10000, 'a'));
    write(QStringLiteral("map.tlp"), "short");
    EXPECT_EQ(read(QStringLiteral("map.tlp")), QByteArray("short"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("map.tlp")});
}

TEST_F(LocalFilesTest, FailedWriteSaysWhyAndLeavesNothingBehind)
{
    const FileResult into_missing_folder =
        files.writeFileAtomic(path(QStringLiteral("no/such/map.tlp")), "x");
    EXPECT_FALSE(into_missing_folder);
    EXPECT_FALSE(into_missing_folder.error.isEmpty());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    EXPECT_FALSE(files.writeFileAtomic(path(QStringLiteral("folder")), "x"));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("folder"))).isDir());
}

TEST_F(LocalFilesTest, ReadRefusesWhatIsNotARegularFileWithoutBlocking)
{
    const ReadResult missing = files.readFile(path(QStringLiteral("missing.tlp")));
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.isEmpty());
    EXPECT_FALSE(files.readFile(dir.path()).ok);
    const QByteArray fifo = QFile::encodeName(path(QStringLiteral("pipe")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_FALSE(files.readFile(path(QStringLiteral("pipe"))).ok);  // would block if opened plainly
}

// A look and its heads give what fileStatus and readHead give, whatever is at the path and in
// whatever order the folders come; listing a folder gives every entry but folders.
TEST_F(LocalFilesTest, LooksAndListingsAgreeWithTheirPlainCalls)
{
    write(QStringLiteral("a.jpg"), "\xFF\xD8\xFF and the rest of a picture");
    write(QStringLiteral(".hidden"), "");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    write(QStringLiteral("sub/b.jpg"), "b");
    const auto link = [&](const char* to, const char* name) {
        ASSERT_EQ(::symlink(to, QFile::encodeName(path(QString::fromLatin1(name))).constData()), 0);
    };
    link("a.jpg", "link.jpg");
    link("nothing", "dangling.jpg");
    link("sub", "folderlink");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe"))).constData(), 0600), 0);
    write(QStringLiteral("locked.jpg"), "\xFF\xD8\xFF locked");
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("locked.jpg"))).constData(), 0), 0);
    const QString names[] = {"a.jpg", "sub/b.jpg", "link.jpg", "folderlink/b.jpg", "dangling.jpg", "pipe",
                             "sub", "sub/", "none.jpg", "no/folder.jpg", "sub/../a.jpg", ".hidden", "locked.jpg", ""};
    std::vector<QString> paths;
    for (int round = 0; round < 3; ++round)
        for (const QString& name : names)
            paths.push_back(name.isEmpty() ? QString() : path(name));
    std::vector<FileLook> looks(paths.size());
    files.lookAt(paths, looks);
    files.readHeads(paths, looks);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i].toStdString());
        const FileStatus status = files.fileStatus(paths[i]);
        EXPECT_EQ(looks[i].present, status.present);
        EXPECT_EQ(looks[i].link, status.link);
        EXPECT_EQ(looks[i].regular, status.regular);
        if (!status.identity.isEmpty()) {
            EXPECT_EQ(QStringLiteral("%1:%2").arg(looks[i].device).arg(looks[i].inode), status.identity);
        }
        const ReadResult head = status.regular ? files.readHead(paths[i], 16) : ReadResult();
        EXPECT_EQ(looks[i].headSize, head.ok ? head.data.size() : -1);
        if (head.ok) {
            EXPECT_EQ(QByteArray(looks[i].head.data(), looks[i].headSize), head.data);
        }
    }
    EXPECT_EQ(looks[0].headSize, 16);
    EXPECT_EQ(looks[2].inode, looks[0].inode);

    QStringList listed = files.fileNames(dir.path());
    listed.sort();
    EXPECT_EQ(listed, QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                                                QDir::Name));
    EXPECT_TRUE(listed.contains(QStringLiteral("dangling.jpg")) && listed.contains(QStringLiteral("pipe")));
    EXPECT_FALSE(listed.contains(QStringLiteral("folderlink")) || listed.contains(QStringLiteral("sub")));
}

TEST_F(LocalFilesTest, ReadGivesEveryByteIncludingZeros)
{
    QByteArray data(200000, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    write(QStringLiteral("bin"), data);
    const ReadResult got = files.readFile(path(QStringLiteral("bin")));
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.data, data);
}

TEST_F(LocalFilesTest, RenameMoveAndCopyNeverOverwrite)
{
    write(QStringLiteral("a.jpg"), "A");
    write(QStringLiteral("b.jpg"), "B");
    for (auto op : {&LocalFiles::renameFile, &LocalFiles::moveFile, &LocalFiles::copyFile}) {
        const FileResult r = (files.*op)(path(QStringLiteral("a.jpg")), path(QStringLiteral("b.jpg")));
        EXPECT_FALSE(r);
        EXPECT_FALSE(r.error.isEmpty());
    }
    OpenFolders folders;
    EXPECT_EQ(files.renameIn(folders, path(QStringLiteral("a.jpg")), path(QStringLiteral("b.jpg"))).error,
              QStringLiteral("目标文件已存在"));
    EXPECT_EQ(read(QStringLiteral("a.jpg")), QByteArray("A"));
    EXPECT_EQ(read(QStringLiteral("b.jpg")), QByteArray("B"));
    EXPECT_EQ(entries().size(), 2);
}

TEST_F(LocalFilesTest, RenameMoveAndCopyDoTheirWork)
{
    write(QStringLiteral("a.jpg"), "A");
    EXPECT_TRUE(files.copyFile(path(QStringLiteral("a.jpg")), path(QStringLiteral("c.jpg"))));
    EXPECT_TRUE(files.renameFile(path(QStringLiteral("a.jpg")), path(QStringLiteral("1-1.jpg"))));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    EXPECT_TRUE(files.moveFile(path(QStringLiteral("c.jpg")), path(QStringLiteral("sub/c.jpg"))));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("1-1.jpg")});
    EXPECT_EQ(read(QStringLiteral("sub/c.jpg")), QByteArray("A"));
    EXPECT_FALSE(files.renameFile(path(QStringLiteral("gone.jpg")), path(QStringLiteral("x.jpg"))));

    // Through held folders: across more folders than are held at once, and back.
    OpenFolders folders;
    QString at = path(QStringLiteral("1-1.jpg"));
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("f%1").arg(i)));
        const QString next = path(QStringLiteral("f%1/%2-1.jpg").arg(i).arg(i));
        ASSERT_TRUE(files.renameIn(folders, at, next)) << i;
        at = next;
    }
    ASSERT_TRUE(files.renameIn(folders, at, path(QStringLiteral("f0/back.jpg"))));
    EXPECT_EQ(read(QStringLiteral("f0/back.jpg")), QByteArray("A"));
    EXPECT_EQ(files.renameIn(folders, path(QStringLiteral("gone.jpg")), path(QStringLiteral("x.jpg"))).error,
              QStringLiteral("源文件不存在"));
    EXPECT_FALSE(files.renameIn(folders, path(QStringLiteral("f0/back.jpg")), path(QStringLiteral("none/x.jpg"))));
    EXPECT_EQ(read(QStringLiteral("f0/back.jpg")), QByteArray("A"));
}

TEST_F(LocalFilesTest, MoveWorksAcrossFileSystems)
{
    QTemporaryDir other(QStringLiteral("/dev/shm/tessera-XXXXXX"));
    struct stat here {}, there {};
    if (!other.isValid() || ::stat(QFile::encodeName(dir.path()).constData(), &here) != 0
        || ::stat(QFile::encodeName(other.path()).constData(), &there) != 0
        || here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    write(QStringLiteral("a.jpg"), QByteArray(100000, 'z'));
    const QString target = other.filePath(QStringLiteral("a.jpg"));
    ASSERT_TRUE(files.moveFile(path(QStringLiteral("a.jpg")), target));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("a.jpg"))));
    EXPECT_EQ(files.readFile(target).data, QByteArray(100000, 'z'));
    EXPECT_EQ(QDir(other.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    OpenFolders folders;
    ASSERT_TRUE(files.renameIn(folders, target, path(QStringLiteral("b.jpg"))));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(read(QStringLiteral("b.jpg")), QByteArray(100000, 'z'));
}

namespace {

// A tiny tmpfs of our own; skipped where mounting is not allowed.
// Without RENAME_NOREPLACE a rename links the new name and removes the old one. When the old name
// cannot go (its folder is read-only to the user), the rename fails and the file stays only there.
TEST_F(LocalFilesTest, ALinkedRenameThatCannotRemoveTheOldNameFails)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("from")) && QDir(dir.path()).mkpath(QStringLiteral("to")));
    write(QStringLiteral("from/a.jpg"), "A");
    const QByteArray from = QFile::encodeName(path(QStringLiteral("from/a.jpg")));
    const QByteArray to = QFile::encodeName(path(QStringLiteral("to/a.jpg")));
    // An ordinary user may link the file and write "to", but not remove anything from "from".
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(from.constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("to"))).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("from"))).constData(), 0555), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        const int error = renameWithoutReplacingByLink(QFile::decodeName(from), QFile::decodeName(to));
        ::_exit(error == 0 ? 98 : error);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    ::chmod(QFile::encodeName(path(QStringLiteral("from"))).constData(), 0755);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), EACCES);
    EXPECT_EQ(read(QStringLiteral("from/a.jpg")), QByteArray("A"));
    EXPECT_FALSE(QFile::exists(QFile::decodeName(to)));
}

class SmallDisk : public LocalFilesTest {
protected:
    void SetUp() override
    {
        mountPoint = QFile::encodeName(path(QStringLiteral("disk")));
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("disk")));
        if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a small tmpfs here";
        mounted = true;
    }
    void TearDown() override
    {
        if (mounted)
            ::umount(mountPoint.constData());
    }
    QString onDisk(const char* name) const { return QDir(QFile::decodeName(mountPoint)).filePath(QString::fromLatin1(name)); }
    QStringList diskEntries() const
    {
        return QDir(QFile::decodeName(mountPoint)).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // Says why in Chinese, and names no file: the caller names the user's.
    static void expectReason(const FileResult& result, const QString& reason)
    {
        EXPECT_FALSE(result);
        EXPECT_EQ(result.error, reason);
    }

    QByteArray mountPoint;
    bool mounted = false;
};

}  // namespace

TEST_F(SmallDisk, FullReadOnlyAndImmutableAreSaidInWordsAndLeaveNoPartialFiles)
{
    write(QStringLiteral("big.jpg"), QByteArray(200000, 'b'));
    expectReason(files.writeFileAtomic(onDisk("map.tlp"), QByteArray(200000, 'm')), QStringLiteral("磁盘空间不足"));
    expectReason(files.copyFile(path(QStringLiteral("big.jpg")), onDisk("1-1.jpg")), QStringLiteral("磁盘空间不足"));
    expectReason(files.moveFile(path(QStringLiteral("big.jpg")), onDisk("1-1.jpg")), QStringLiteral("磁盘空间不足"));
    EXPECT_TRUE(diskEntries().isEmpty());
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("big.jpg"))));

    // A file that cannot be changed (chattr +i).
    ASSERT_TRUE(files.writeNewFile(onDisk("a.jpg"), "A"));
    const int fd = ::open(QFile::encodeName(onDisk("a.jpg")).constData(), O_RDONLY);
    int flags = 0;
    const bool immutable = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0
        && (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (immutable) {
        expectReason(files.renameFile(onDisk("a.jpg"), onDisk("b.jpg")), QStringLiteral("文件不可更改"));
        expectReason(files.removeFile(onDisk("a.jpg")), QStringLiteral("文件不可更改"));
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0)
        ::close(fd);

    ASSERT_EQ(::mount("tmpfs", mountPoint.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    write(QStringLiteral("small.jpg"), "s");
    expectReason(files.copyFile(path(QStringLiteral("small.jpg")), onDisk("1-2.jpg")), QStringLiteral("文件系统只读"));
    expectReason(files.writeFileAtomic(onDisk("a.jpg"), "new"), QStringLiteral("文件系统只读"));
    expectReason(files.writeNewFile(onDisk("2-2.jpg"), "new"), QStringLiteral("文件系统只读"));
    EXPECT_EQ(diskEntries(), QStringList{QStringLiteral("a.jpg")});
    EXPECT_EQ(files.readFile(onDisk("a.jpg")).data, QByteArray("A"));
}
