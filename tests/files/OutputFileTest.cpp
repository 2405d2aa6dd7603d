// The one way the program writes a file: whole or not at all, never over what must stay.
#include "files/OutputFile.h"
#include "files/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessera;

namespace {

class OutputFileTest : public testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray name8(const QString& name) const { return QFile::encodeName(path(name)); }
    QByteArray bytes(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }
    void put(const QString& name, const QByteArray& data, mode_t mode = 0644)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        file.close();
        ASSERT_EQ(::chmod(name8(name).constData(), mode), 0);
    }
    mode_t modeOf(const QString& name) const
    {
        struct stat st {};
        return ::lstat(name8(name).constData(), &st) == 0 ? st.st_mode : 0;
    }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
    }
    QStringList partials() const
    {
        QStringList found;
        for (const QString& name : entries())
            if (!partialTargetName(name).isEmpty())
                found << name;
        return found;
    }
    // Writes `data` to `name`; the reason it was not written, empty when it was.
    QString write(const QString& name, const QByteArray& data, const QStringList& inputs = {})
    {
        OutputFile file(path(name));
        file.setInputs([&inputs] { return inputs; });
        if (file.open() && file.write(data) == data.size() && file.commit())
            return {};
        return file.errorString().isEmpty() ? QStringLiteral("(no reason)") : file.errorString();
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(OutputFileTest, ReplacesWhatALinkLeadsToKeepingItsPermissionBits)
{
    put(QStringLiteral("map.tlp"), "old", 0640);
    ASSERT_EQ(::symlink("map.tlp", name8(QStringLiteral("link.tlp")).constData()), 0);
    ASSERT_EQ(::symlink("made.tlp", name8(QStringLiteral("dangling.tlp")).constData()), 0);
    EXPECT_EQ(write(QStringLiteral("link.tlp"), "new"), QString());
    EXPECT_EQ(write(QStringLiteral("dangling.tlp"), "made"), QString());
    EXPECT_EQ(bytes(QStringLiteral("map.tlp")), QByteArray("new"));
    EXPECT_EQ(modeOf(QStringLiteral("map.tlp")), S_IFREG | 0640);
    EXPECT_EQ(bytes(QStringLiteral("made.tlp")), QByteArray("made"));
    EXPECT_TRUE(S_ISLNK(modeOf(QStringLiteral("link.tlp"))));
    EXPECT_TRUE(S_ISLNK(modeOf(QStringLiteral("dangling.tlp"))));
    EXPECT_EQ(entries(), (QStringList{"dangling.tlp", "link.tlp", "made.tlp", "map.tlp"}));
}

TEST_F(OutputFileTest, NeverReplacesAReadOnlyFileAnInputOrAFolder)
{
    // A file without a write bit, as root too.
    put(QStringLiteral("locked.tlp"), "old", 0444);
    EXPECT_EQ(write(QStringLiteral("locked.tlp"), "new"), QStringLiteral("没有写入权限"));
    EXPECT_EQ(bytes(QStringLiteral("locked.tlp")), QByteArray("old"));
    EXPECT_EQ(modeOf(QStringLiteral("locked.tlp")), S_IFREG | 0444);

    // An input, under another name: a symbolic and a hard link to it.
    put(QStringLiteral("map.tlp"), "map");
    const QString input = path(QStringLiteral("map.tlp"));
    ASSERT_EQ(::symlink("map.tlp", name8(QStringLiteral("picture.png")).constData()), 0);
    ASSERT_EQ(::link(name8(QStringLiteral("map.tlp")).constData(), name8(QStringLiteral("same.png")).constData()), 0);
    for (const QString& name : {QStringLiteral("picture.png"), QStringLiteral("same.png")})
        EXPECT_EQ(write(name, "picture", {QStringLiteral("/no/such.jpg"), input}),
                  QStringLiteral("它就是输入文件“%1”，不能覆盖").arg(input));
    EXPECT_EQ(bytes(QStringLiteral("map.tlp")), QByteArray("map"));

    // The inputs are looked at only when the output is there already.
    int asked = 0;
    OutputFile fresh(path(QStringLiteral("new.png")));
    fresh.setInputs([&] { return ++asked, QStringList{input}; });
    ASSERT_TRUE(fresh.open());
    EXPECT_TRUE(fresh.commit());
    EXPECT_EQ(asked, 0);

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    EXPECT_EQ(write(QStringLiteral("folder"), "x"), QStringLiteral("这是一个文件夹"));
    EXPECT_EQ(write(QStringLiteral("none/map.tlp"), "x"), QStringLiteral("文件或文件夹不存在"));
    OutputFile existing(path(QStringLiteral("new.png")), OutputFile::Kind::CreateNew);
    EXPECT_FALSE(existing.open());
    EXPECT_EQ(existing.errorString(), QStringLiteral("目标文件已存在"));
    EXPECT_TRUE(partials().isEmpty());
}

TEST_F(OutputFileTest, AFailedWriteKeepsItsErrnoAndTheOldFile)
{
    // A file size limit makes write(2) fail with EFBIG: once on the way (a large picture), and once
    // only when the last buffered bytes go out at the commit (a small one).
    put(QStringLiteral("out.jpg"), "old");
    for (const qsizetype size : {qsizetype(5000), qsizetype(3 << 20)}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit limit{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, SIG_IGN);
            OutputFile file(path(QStringLiteral("out.jpg")));
            const bool open = file.open();
            for (qsizetype done = 0; done < size; done += 1000)
                file.write(QByteArray(1000, 'x'));
            const bool committed = open && file.commit();
            ::_exit(committed ? 0 : file.error() == EFBIG && file.errorString() == QStringLiteral("文件太大") ? 1 : 2);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << size << " bytes: status " << status;
        EXPECT_EQ(bytes(QStringLiteral("out.jpg")), QByteArray("old"));
        EXPECT_EQ(entries(), QStringList{QStringLiteral("out.jpg")});
    }
}

TEST_F(OutputFileTest, FifosAndDevicesAreWrittenThroughAndStayWhatTheyAre)
{
    ASSERT_EQ(::mkfifo(name8(QStringLiteral("pipe")).constData(), 0644), 0);
    // Nobody reads: refused at once instead of waiting.
    EXPECT_EQ(write(QStringLiteral("pipe"), "lost"), QStringLiteral("没有程序在读取这个管道"));
    const int reader = ::open(name8(QStringLiteral("pipe")).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(write(QStringLiteral("pipe"), "through"), QString());
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 7);
    EXPECT_STREQ(got, "through");
    ::close(reader);
    EXPECT_TRUE(S_ISFIFO(modeOf(QStringLiteral("pipe"))));

    // A character device of our own (root only): /dev/null's numbers.
    if (::mknod(name8(QStringLiteral("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_EQ(write(QStringLiteral("null"), "gone"), QString());
        EXPECT_TRUE(S_ISCHR(modeOf(QStringLiteral("null"))));
    }
    EXPECT_TRUE(partials().isEmpty());
}

TEST_F(OutputFileTest, TheNextWriterRemovesAKilledOnesPartialFileButNotARunningOnes)
{
    put(QStringLiteral("map.png"), "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        OutputFile file(path(QStringLiteral("map.png")));
        if (file.open() && file.write("half") == 4)
            ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const QStringList killed = partials();
    ASSERT_EQ(killed.size(), 1);

    OutputFile running(path(QStringLiteral("map.png")));
    ASSERT_TRUE(running.open());
    const QStringList held = partials();
    ASSERT_EQ(held.size(), 1);  // the killed one's went
    EXPECT_NE(held, killed);
    EXPECT_FALSE(removeAbandonedPartial(path(held.constFirst())));
    EXPECT_EQ(write(QStringLiteral("map.png"), "new"), QString());
    EXPECT_EQ(partials(), held);
    running.discard();
    EXPECT_EQ(bytes(QStringLiteral("map.png")), QByteArray("new"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("map.png")});
}
