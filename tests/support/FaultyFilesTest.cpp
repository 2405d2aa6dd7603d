#include "support/FaultyFiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

using namespace tessera;

// Background work reads through the failure list while the test's thread keeps changing it: every
// read either succeeds with the file's bytes or fails with a reason that was injected, and a
// failure added before the worker is told so is seen by its next read.
TEST(FaultyFiles, FailuresMayChangeWhileAnotherThreadReads)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.tlp"));
    FaultyFiles files;
    ASSERT_TRUE(files.writeFileAtomic(path, "A"));

    std::atomic<bool> lastAdded{false};
    std::atomic<int> reads{0}, wrong{0};
    bool sawLast = false;
    std::thread worker([&] {
        for (;;) {
            const bool last = lastAdded.load(std::memory_order_acquire);
            const ReadResult read = files.readFile(path);
            if (last) {
                sawLast = !read.ok && read.error == QStringLiteral("最后");
                return;
            }
            const bool injected = read.error.startsWith(QStringLiteral("注入")) || read.error == QStringLiteral("最后");
            if (read.ok ? read.data != "A" : !injected)
                ++wrong;
            ++reads;
        }
    });
    for (int round = 0; round < 200 || reads < 1000; ++round) {
        files.clearFailures();
        if (round % 2 == 1)
            files.failWhen(FaultyFiles::Op::Read, [&](const QString& p) { return p == path; },
                           QStringLiteral("注入%1").arg(round));
        // Many failures on other paths, so that the list grows and moves while it is read.
        for (int i = 0; i < 50; ++i)
            files.failWhen(FaultyFiles::Op::Read, [i](const QString& p) { return p.endsWith(QString::number(i)); });
        std::this_thread::yield();
    }
    files.clearFailures();
    files.failWhen(FaultyFiles::Op::Read, [&](const QString& p) { return p == path; }, QStringLiteral("最后"));
    lastAdded.store(true, std::memory_order_release);
    worker.join();

    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(sawLast);
}

// A failure being matched on the worker is not dropped under it: clearing the list waits until the
// match has returned, and the read fails with that failure's reason.
TEST(FaultyFiles, ClearingWaitsForAMatchInProgress)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.tlp"));
    FaultyFiles files;
    ASSERT_TRUE(files.writeFileAtomic(path, "A"));

    std::mutex m;
    std::condition_variable changed;
    bool entered = false, go = false, cleared = false;
    std::atomic<bool> matching{false}, droppedWhileMatching{false};
    struct Witness {
        std::atomic<bool>& matching;
        std::atomic<bool>& dropped;
        ~Witness() { dropped = matching.load(); }
    };
    auto witness = std::make_shared<Witness>(Witness{matching, droppedWhileMatching});
    files.failWhen(FaultyFiles::Op::Read, [&, witness](const QString&) {
        matching = true;
        std::unique_lock hold(m);
        entered = true;
        changed.notify_all();
        changed.wait(hold, [&] { return go; });
        matching = false;
        return true;
    }, QStringLiteral("之前"));
    witness.reset();

    ReadResult first;
    std::thread worker([&] { first = files.readFile(path); });
    {
        std::unique_lock hold(m);
        changed.wait(hold, [&] { return entered; });
    }
    std::thread clearer([&] {
        files.clearFailures();
        files.failWhen(FaultyFiles::Op::Read, [](const QString&) { return true; }, QStringLiteral("之后"));
        const std::lock_guard hold(m);
        cleared = true;
        changed.notify_all();
    });
    bool clearedDuringMatch = false;
    {
        // Give an unguarded list every chance to be cleared now; a guarded one cannot be.
        std::unique_lock hold(m);
        clearedDuringMatch = changed.wait_for(hold, std::chrono::milliseconds(200), [&] { return cleared; });
        go = true;
        changed.notify_all();
    }
    worker.join();
    clearer.join();

    EXPECT_FALSE(clearedDuringMatch);
    EXPECT_FALSE(droppedWhileMatching);
    EXPECT_EQ(first.error, QStringLiteral("之前"));
    EXPECT_EQ(files.readFile(path).error, QStringLiteral("之后"));
}
