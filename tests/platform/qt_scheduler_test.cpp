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
    void runsTasksOnceInDeadlineOrderAfterTheirWholeDelay() {
        QtScheduler scheduler;
        QElapsedTimer clock;
        clock.start();
        std::vector<int> ran;
        qint64 lastRanAfter = -1;
        scheduler.schedule(300ms, [&] {
            ran.push_back(2);
            lastRanAfter = clock.elapsed();
        });
        scheduler.schedule(400us, [&] { ran.push_back(3); }); // rounded up: never early
        scheduler.schedule(0ms, [&] { ran.push_back(1); });
        scheduler.schedule(-5s, [&] { ran.push_back(0); });
        QVERIFY(ran.empty()); // never inside schedule()
        QTRY_COMPARE(ran, (std::vector<int>{1, 0, 3, 2}));
        QVERIFY2(lastRanAfter >= 300, qPrintable(QString::number(lastRanAfter)));
        QCOMPARE(scheduler.pendingCount(), std::size_t{0});
    }

    void cancelledTasksNeverRunAndStaleIdsAreHarmless() {
        QtScheduler scheduler;
        std::vector<int> ran;
        const auto cancelled = scheduler.schedule(20ms, [&] { ran.push_back(0); });
        const auto kept = scheduler.schedule(40ms, [&] { ran.push_back(1); });
        scheduler.cancel(cancelled);
        scheduler.cancel(cancelled);
        scheduler.cancel(987654);
        QTRY_COMPARE(ran, std::vector<int>{1});
        scheduler.cancel(kept);
        // A task may cancel another that is due in the same turn of the loop.
        Scheduler::TaskId victim = 0;
        scheduler.schedule(0ms, [&] { scheduler.cancel(victim); });
        victim = scheduler.schedule(0ms, [&] { ran.push_back(2); });
        QTest::qWait(60);
        QCOMPARE(ran, std::vector<int>{1});
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::QtSchedulerTest)
#include "qt_scheduler_test.moc"
