#include "EditingFixture.h"

#include "files/Files.h"

#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessera;

namespace {

// The window shown with a new 5 × 5 map.
void showNewMap(ScriptedPlatform& platform, MainWindow& window)
{
    window.show();
    platform.answerYes();
    platform.answerInput(QStringLiteral("5"));
    window.newMap();
}

}  // namespace

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
        MapDocument mapDocument(platform);
        MainWindow window(platform, mapDocument);
        showNewMap(platform, window);
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

// The floating image of a move or a swap: the tile the canvas shows when it has it, else a blank
// at once and the tile when a cell loader has read it. The GUI thread reads no tile file, so a
// read that hangs leaves only the blank.
TEST(HungTileReadTest, TheFloatingImageIsNeverReadOnTheGuiThread)
{
    QTemporaryDir dir;
    const QString gate = dir.filePath(QStringLiteral("gate"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(gate).constData(), 0600), 0);
    const QString red = dir.filePath(QStringLiteral("red.jpg")), slow = dir.filePath(QStringLiteral("slow.jpg"));
    ASSERT_TRUE(writeSolidImage(red, kRed));
    ASSERT_TRUE(writeSolidImage(slow, kBlue));
    const auto guiReads = std::make_shared<std::atomic<int>>(0);
    int opened = -1;
    {
        ScriptedPlatform platform;
        MapDocument mapDocument(platform);
        MainWindow window(platform, mapDocument);
        showNewMap(platform, window);
        // `slow` is read once the gate has a writer; on the GUI thread a read is only counted.
        window.canvas().cache().setReader([guiReads, gate, slow](const QString& path) {
            if (QThread::currentThread() == qApp->thread()) {
                ++*guiReads;
                return ReadResult{};
            }
            if (path == slow) {
                const int fd = ::open(QFile::encodeName(gate).constData(), O_RDONLY);
                if (fd >= 0)
                    ::close(fd);
            }
            return readRegularFile(path);
        });
        QWidget* canvas = window.findChild<QWidget*>(QStringLiteral("EditCanvas"));
        auto* follow = window.findChild<QLabel*>(QStringLiteral("FollowImage"));
        const auto floating = [&] { return QColor(follow->pixmap().toImage().pixel(follow->pixmap().rect().center())); };
        const auto place = [&](const QString& path, int row, int column) {
            window.tools().chooseFile(path);
            QTest::mouseClick(canvas, Qt::LeftButton, {}, cellRect(row, column).center());
        };
        place(red, 1, 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.canvas().picture().newestTile(1, 1) == red; }));
        place(slow, 2, 2);  // its tile waits at the gate

        // A tile the canvas shows floats at once.
        QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("MoveToolRadio")), Qt::LeftButton);
        QTest::mousePress(canvas, Qt::LeftButton, {}, cellRect(1, 1).center());
        ASSERT_TRUE(follow->isVisible());
        EXPECT_TRUE(near(floating().rgb(), kRed));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, cellRect(4, 4).center());
        EXPECT_EQ(window.document().grid().cellText(4, 4), red);

        // One the canvas does not show yet: a blank, the editor answering, then the tile.
        QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("SwapToolRadio")), Qt::LeftButton);
        QTest::mousePress(canvas, Qt::LeftButton, {}, cellRect(2, 2).center());
        ASSERT_TRUE(follow->isVisible());
        EXPECT_EQ(floating(), kCanvasFill);
        bool answered = false;
        QTimer::singleShot(0, &window, [&] { answered = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }));
        EXPECT_EQ(floating(), kCanvasFill);
        opened = ::open(QFile::encodeName(gate).constData(), O_RDWR | O_NONBLOCK);  // lets every read through
        ASSERT_GE(opened, 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return near(floating().rgb(), kBlue); }));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, cellRect(3, 3).center());
        EXPECT_EQ(window.document().grid().cellText(3, 3), slow);
        window.canvas().waitForCells();
        EXPECT_EQ(*guiReads, 0);
    }
    ::close(opened);
}
