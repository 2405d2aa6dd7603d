#include "EditingFixture.h"

#include "files/Files.h"

#include <QTimer>

#include <atomic>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessera;

// A tile whose read hangs (as on a hung network file system): the click is placed at once, the
// editor goes on answering and placing, and the window still goes away.
TEST(HungTileReadTest, TheEditorAnswersAndClosesWhileAReadHangs)
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString hung = dir.filePath(QStringLiteral("hung.jpg"));
    const QString red = dir.filePath(QStringLiteral("red.jpg"));
    ASSERT_TRUE(writeSolidImage(hung, kGreen));
    ASSERT_TRUE(writeSolidImage(red, kRed));
    // The read of `hung` waits on the pipe until a writer comes: a real blocked system call.
    struct Read {
        std::atomic<bool> started{false};
        std::atomic<bool> ended{false};
    };
    const auto read = std::make_shared<Read>();
    {
        ScriptedPlatform platform;
        MainWindow window(platform);
        window.show();
        platform.answerYes();
        platform.answerText(QStringLiteral("5"));
        window.newMap();
        window.canvas().cache().setReader([read, pipe, hung](const QString& path) {
            if (path != hung)
                return readRegularFile(path);
            read->started = true;
            const int fd = ::open(QFile::encodeName(pipe).constData(), O_RDONLY);
            if (fd >= 0)
                ::close(fd);
            read->ended = true;
            return ReadResult{};
        });
        QWidget* canvas = window.findChild<QWidget*>(QStringLiteral("EditCanvas"));
        window.tools().chooseFile(hung);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, cellRect(1, 1).center());
        EXPECT_EQ(window.document().grid().cellText(1, 1), hung);
        ASSERT_TRUE(QTest::qWaitFor([&] { return read->started.load(); }));
        bool answered = false;
        QTimer::singleShot(0, &window, [&] { answered = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }));
        window.tools().chooseFile(red);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, cellRect(2, 2).center());
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.canvas().picture().newestTile(2, 2) == red; }));
        EXPECT_TRUE(window.canvas().picture().newestTile(1, 1).isEmpty());
        EXPECT_FALSE(read->ended);
    }
    // The window went with the read still blocked; now let it end.
    const int writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
    EXPECT_GE(writer, 0);
    ::close(writer);
    EXPECT_TRUE(QTest::qWaitFor([&] { return read->ended.load(); }));
}
