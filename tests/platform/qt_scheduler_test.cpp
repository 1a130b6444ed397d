// QtScheduler on a real event loop: order, delay, cancellation.

#include "platform/qt_scheduler.h"

#include <QElapsedTimer>
#include <QTest>

#include <vector>

using namespace std::chrono_literals;

namespace pindle {

class QtSchedulerTest : public QObject {
    Q_OBJECT

private slots:
    void runsTasksOnceInDeadlineOrderAndNeverInsideSchedule() {
        QtScheduler scheduler;
        std::vector<int> ran;
        const auto first = scheduler.schedule(60ms, [&] { ran.push_back(2); });
        const auto second = scheduler.schedule(0ms, [&] { ran.push_back(1); });
        scheduler.schedule(-5s, [&] { ran.push_back(0); });
        QVERIFY(first != 0 && second != 0 && first != second);
        QVERIFY(ran.empty());
        QTRY_COMPARE(ran.size(), std::size_t{3});
        QCOMPARE(ran, (std::vector<int>{1, 0, 2}));
        QCOMPARE(scheduler.pendingCount(), std::size_t{0});
    }

    void waitsTheWholeDelay() {
        QtScheduler scheduler;
        QElapsedTimer clock;
        qint64 ranAfter = -1;
        clock.start();
        scheduler.schedule(300ms, [&] { ranAfter = clock.elapsed(); });
        QTRY_VERIFY(ranAfter >= 0);
        QVERIFY2(ranAfter >= 300, qPrintable(QString::number(ranAfter)));
    }

    void cancelledTasksNeverRunAndStaleIdsAreHarmless() {
        QtScheduler scheduler;
        int cancelledRuns = 0;
        int keptRuns = 0;
        const auto cancelled = scheduler.schedule(20ms, [&] { ++cancelledRuns; });
        const auto kept = scheduler.schedule(40ms, [&] { ++keptRuns; });
        scheduler.cancel(cancelled);
        scheduler.cancel(cancelled);
        scheduler.cancel(987654);
        QTRY_COMPARE(keptRuns, 1);
        scheduler.cancel(kept);
        QTest::qWait(60);
        QCOMPARE(cancelledRuns, 0);
        QCOMPARE(keptRuns, 1);

        // A task may cancel another that is due in the same turn of the loop.
        int victimRuns = 0;
        Scheduler::TaskId victim = 0;
        scheduler.schedule(0ms, [&] { scheduler.cancel(victim); });
        victim = scheduler.schedule(0ms, [&] { ++victimRuns; });
        QTest::qWait(30);
        QCOMPARE(victimRuns, 0);
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::QtSchedulerTest)
#include "qt_scheduler_test.moc"
