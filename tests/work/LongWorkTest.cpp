#include "work/LongWork.h"

#include <QSemaphore>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

// Work that waits on the worker thread until the test lets it go (or it is cancelled), then
// counts to `steps`.
struct GatedWork {
    std::shared_ptr<QSemaphore> gate = std::make_shared<QSemaphore>();
    std::function<int(Progress&)> counting(int steps)
    {
        return [gate = gate, steps](Progress& progress) {
            while (!gate->tryAcquire(1, 5)) {
                if (progress.cancelled())
                    return -1;
            }
            progress.start(steps);
            int done = 0;
            for (; done < steps && !progress.cancelled(); ++done)
                progress.advance(1);
            return done;
        };
    }
};

}  // namespace

TEST(LongWork, AppliesTheResultOnTheGuiThreadAndRunsHeldCommandsAfterIt)
{
    LongWork work;
    GatedWork gated;
    QStringList log;
    QList<bool> busy;
    QObject::connect(&work, &LongWork::busyChanged, [&](bool b) { busy << b; });
    ASSERT_TRUE(work.run<int>(gated.counting(5), [&](int n) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        log << QStringLiteral("done %1").arg(n);
    }));
    EXPECT_TRUE(work.busy());
    // A second piece of work is refused; commands wait for the first.
    EXPECT_FALSE(work.run<int>(gated.counting(1), [&](int) { log << QStringLiteral("never"); }));
    work.whenIdle([&] { log << QStringLiteral("first command"); });
    work.whenIdle([&] { log << QStringLiteral("second command"); });
    EXPECT_TRUE(log.isEmpty());
    gated.gate->release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !work.busy(); }, 5000));
    EXPECT_EQ(log, (QStringList{QStringLiteral("done 5"), QStringLiteral("first command"),
                                QStringLiteral("second command")}));
    EXPECT_EQ(busy, (QList<bool>{true, false}));
    // Idle: a command runs at once.
    work.whenIdle([&] { log << QStringLiteral("now"); });
    EXPECT_EQ(log.last(), QStringLiteral("now"));
}

TEST(LongWork, ACommandQueuedBehindWorkCanStartMoreWorkThatTheNextCommandWaitsFor)
{
    LongWork work;
    GatedWork first, second;
    QStringList log;
    work.run<int>(first.counting(1), [&](int) { log << QStringLiteral("first"); });
    work.whenIdle([&] { work.run<int>(second.counting(1), [&](int) { log << QStringLiteral("second"); }); });
    work.whenIdle([&] { log << QStringLiteral("command"); });
    first.gate->release();
    second.gate->release();
    work.waitForIdle();
    EXPECT_EQ(log, (QStringList{QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("command")}));
}

TEST(LongWork, CancelStopsTheWorkAndDropsItsResultAndTheHeldCommands)
{
    LongWork work;
    GatedWork gated;
    std::shared_ptr<const WorkProgress> progress;
    QObject::connect(&work, &LongWork::started, [&](std::shared_ptr<const WorkProgress> p) { progress = p; });
    bool applied = false, commanded = false;
    work.run<int>(gated.counting(10), [&](int) { applied = true; });
    work.whenIdle([&] { commanded = true; });
    work.cancelAndWait();  // returns although the gate never opens
    EXPECT_FALSE(work.busy());
    QTest::qWait(20);  // the worker's own finish notice arrives and is ignored
    EXPECT_FALSE(applied);
    EXPECT_FALSE(commanded);
    ASSERT_TRUE(progress);
    EXPECT_TRUE(progress->cancelled());
}

TEST(LongWork, TheNoticeOfCancelledWorkDoesNotEndTheNextWork)
{
    // Cancelled work that was waited for still has its finish notice queued. Its progress is
    // freed last here, so the next work's is likely made at the same address.
    LongWork work;
    std::shared_ptr<const WorkProgress> held;
    QObject::connect(&work, &LongWork::started, [&](std::shared_ptr<const WorkProgress> p) { held = std::move(p); });
    GatedWork first;
    work.run<int>(first.counting(1), [](int) {});
    work.cancelAndWait();
    QThread::msleep(20);  // the worker lets go of the first work
    held.reset();
    auto gate = std::make_shared<QSemaphore>();
    bool applied = false;
    ASSERT_TRUE(work.run<int>([gate](Progress&) { return int(gate->tryAcquire(1, 500)); },
                              [&](int) { applied = true; }));
    QTest::qWait(20);  // the first work's notice arrives
    EXPECT_TRUE(work.busy());
    EXPECT_FALSE(applied);
    gate->release();
    work.waitForIdle();
    EXPECT_TRUE(applied);
}

TEST(LongWork, ItsDestructorAppliesNoResult)
{
    GatedWork gated;
    bool applied = false;
    {
        LongWork work;
        work.run<int>(gated.counting(10), [&](int) { applied = true; }, LongWork::WhenCancelled::Apply);
    }  // the work is stopped and joined, and what it did is not applied
    EXPECT_FALSE(applied);
}
