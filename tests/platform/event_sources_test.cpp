// The sources of events on a real Qt event loop: QtScheduler's timers (order, delay,
// cancellation), the quit signals, inotify on real folders.

#include "platform/inotify_folder_watcher.h"
#include "platform/qt_scheduler.h"
#include "platform/quit_signals.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fstream>
#include <vector>

using namespace std::chrono_literals;

namespace pindle {

class EventSourcesTest : public QObject {
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

    void eachQuitSignalArrivesOnTheLoopInsteadOfKilling() {
        QuitSignals quitSignals;
        QVERIFY(quitSignals.install());
        QVERIFY(!QuitSignals().install());
        QSignalSpy requested(&quitSignals, &QuitSignals::quitRequested);
        for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
            QVERIFY(std::raise(signalNumber) == 0);
            QCOMPARE(requested.size(), 0); // through the loop, not from inside the handler
            QTRY_COMPARE(requested.size(), 1);
            QCOMPARE(requested.takeFirst()[0].toInt(), signalNumber);
        }
    }

    void reportsNamesThatChangeInTheWatchedFoldersOnly() {
        QTemporaryDir root;
        const std::filesystem::path a = root.filePath("a").toStdString(), b = root.filePath("b").toStdString();
        QVERIFY(std::filesystem::create_directories(a) && std::filesystem::create_directories(b));
        InotifyFolderWatcher watcher;
        QStringList names;
        const auto record = [&](const std::string& name) { names << QString::fromStdString(name); };
        watcher.watch({a}, record);

        std::ofstream(b / "elsewhere") << "x";
        std::ofstream(a / ".tmp") << "new version";
        std::filesystem::rename(a / ".tmp", a / "notes.json"); // an atomic replace
        QTRY_VERIFY(names.contains("notes.json"));
        QVERIFY(!names.contains("elsewhere"));

        watcher.watch({b}, record);
        names.clear();
        std::ofstream(a / "notes.json") << "in place";
        std::ofstream(b / "other.json") << "y";
        QTRY_VERIFY(names.contains("other.json"));
        QVERIFY(!names.contains("notes.json"));
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::EventSourcesTest)
#include "event_sources_test.moc"
