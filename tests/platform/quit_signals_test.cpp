// SIGTERM, SIGINT and SIGHUP become an orderly quit request on the event loop.

#include "platform/quit_signals.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

namespace pindle {

class QuitSignalsTest : public QObject {
    Q_OBJECT

private slots:
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
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::QuitSignalsTest)
#include "quit_signals_test.moc"
