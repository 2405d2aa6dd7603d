#include "BenchSupport.h"

#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "canvas/Canvas.h"
#include "render/TileImages.h"
#include "work/HelperThreads.h"
#include "work/LongWork.h"
#include "support/ScriptedPlatform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

#include <QEventLoop>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <malloc.h>
#include <unistd.h>

namespace tessera::bench {

void report(const char* scenario, double value, const char* unit)
{
    std::printf("%s: %.1f %s\n", scenario, value, unit);
    std::fflush(stdout);
}

double timeMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double bestMs(const std::function<void()>& work, int runs)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, timeMs(work));
    return best;
}

double medianMs(const std::function<void()>& work, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(timeMs(work));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void dropFromPageCache(const QStringList& paths)
{
    for (const QString& path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd < 0)
            continue;
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

int filesInPageCache(const QStringList& paths)
{
    const long page = ::sysconf(_SC_PAGESIZE);
    int cached = 0;
    for (const QString& path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size == 0) {
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        const auto size = static_cast<std::size_t>(st.st_size);
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        ::close(fd);
        if (map == MAP_FAILED)
            continue;
        std::vector<unsigned char> resident((size + static_cast<std::size_t>(page) - 1) / static_cast<std::size_t>(page));
        if (::mincore(map, size, resident.data()) == 0
            && std::any_of(resident.begin(), resident.end(), [](unsigned char r) { return (r & 1) != 0; }))
            ++cached;
        ::munmap(map, size);
    }
    return cached;
}

double runEventLoopUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (done())
            loop.quit();
    });
    tick.start(10);
    if (!done())
        loop.exec();
    return static_cast<double>(longest) / 1e6;
}

namespace {
double statusField(const char* name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(name))
            return line.mid(static_cast<qsizetype>(std::strlen(name))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}
}  // namespace

void importIntoNewMap(MainWindow& window, ScriptedPlatform& platform, int size, const QString& map)
{
    platform.answerYes();
    platform.answerInput(QString::number(size));
    window.newMap();
    platform.answerOpen(map);
    window.findChild<QAction*>(QStringLiteral("ImportDataCommand"))->trigger();
    runEventLoopUntil([&] { return !window.document().work().busy() && !window.canvas().fill().running(); });
}

double residentMb()
{
    ::malloc_trim(0);
    return statusField("VmRSS:");
}

double peakResidentMb()
{
    return statusField("VmHWM:");
}

double limitDecodeMs(const QStringList& paths)
{
    QList<QByteArray> bytes;
    for (const QString& path : paths) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes.append(file.readAll());
    }
    HelperThreads helpers;
    return medianMs([&] {
        std::vector<QImage> images(static_cast<std::size_t>(bytes.size()));
        helpers.forEach(static_cast<int>(bytes.size()), [&](int i) {
            images[static_cast<std::size_t>(i)] = decodeTileImage(bytes[i], QSize(40, 30));
        });
        if (images.empty() || images.front().isNull())
            std::fprintf(stderr, "limit decode failed\n");
    });
}

ChildRun runChild(const QString& program, const QStringList& arguments)
{
    // Started through the small peak_child process: a child's ru_maxrss starts at its parent's
    // high-water mark, so this large process would count its own peak too.
    QTemporaryFile report;
    if (!report.open())
        return {};
    std::vector<QByteArray> owned{QByteArray(PEAK_CHILD), QFile::encodeName(program)};
    for (const QString& a : arguments)
        owned.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, report.handle(), STDOUT_FILENO);
    ChildRun run;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            run.ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            // What the program printed, then peak_child's line: its status, peak in kB and CPU time.
            report.seek(0);
            const QList<QByteArray> last = report.readAll().trimmed().split('\n').constLast().split(' ');
            if (last.size() == 3) {
                run.status = last[0].toInt();
                run.peakMb = last[1].toDouble() / 1024.0;
                run.cpuMs = last[2].toDouble();
            }
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

QStringList writeTileSet(const QString& folder, int count)
{
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << QDir(folder).filePath(QStringLiteral("tile_%1.jpg").arg(i, 6, 10, QLatin1Char('0')));
    // Every tile its own picture, written on every core.
    HelperThreads helpers;
    helpers.forEach(count, [&](int i) {
        QRandomGenerator random(static_cast<quint32>(count * 7919 + i));
        QImage image(400, 300, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, 400, 300);
        gradient.setColorAt(0, QColor::fromHsv(static_cast<int>(random.bounded(360)), 150, 200));
        gradient.setColorAt(1, QColor::fromHsv(static_cast<int>(random.bounded(360)), 200, 120));
        painter.fillRect(image.rect(), gradient);
        for (int s = 0; s < 12; ++s) {
            painter.setPen(QPen(QColor::fromRgb(random.generate()), 1 + random.bounded(6)));
            painter.drawEllipse(QPoint(static_cast<int>(random.bounded(400)), static_cast<int>(random.bounded(300))),
                                static_cast<int>(random.bounded(80)), static_cast<int>(random.bounded(60)));
        }
        painter.setPen(Qt::white);
        painter.drawText(20, 40, QStringLiteral("tile %1").arg(i));
        painter.end();
        QFile file(paths[i]);
        if (file.open(QIODevice::WriteOnly))
            file.write(encodeJpeg(image, 85));
    });
    return paths;
}

}  // namespace tessera::bench
