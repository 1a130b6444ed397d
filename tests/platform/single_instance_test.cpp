// One instance per user: claiming, handing over, stale locks, hostile clients and folders.

#include "platform/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pindle {

namespace {

// Hands over from another thread, as a second process would, while the test's loop serves.
SingleInstance::Outcome handOverFromAnotherThread(const QString& folder, const QStringList& arguments,
                                                  int timeoutMs = 5000) {
    SingleInstance::Outcome outcome = SingleInstance::Outcome::primary;
    bool done = false;
    std::thread second([&] {
        SingleInstance other(folder);
        outcome = other.start(arguments, timeoutMs);
        done = true;
    });
    while (!done) {
        QTest::qWait(10);
    }
    second.join();
    return outcome;
}

qint64 deadPid() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void aSecondLaunchHandsItsArgumentsToTheFirst() {
        QTemporaryDir root;
        const QString folder = root.path() + "/pindle";
        SingleInstance first(folder);
        QSignalSpy launched(&first, &SingleInstance::launched);
        QCOMPARE(first.start({"pindle"}), SingleInstance::Outcome::primary);
        QVERIFY(first.warning().isEmpty());
        QCOMPARE(QFileInfo(folder).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

        const QStringList arguments{"pindle", "--show-panel", "ünïcode ✓"};
        QCOMPARE(handOverFromAnotherThread(folder, arguments), SingleInstance::Outcome::handedOver);
        QTRY_COMPARE(launched.size(), 1);
        QCOMPARE(launched[0][0].toStringList(), arguments);

        QCOMPARE(handOverFromAnotherThread(folder, {"pindle"}), SingleInstance::Outcome::handedOver);
        QTRY_COMPARE(launched.size(), 2);
    }

    void aLockLeftByACrashedInstanceDoesNotBlock() {
        QTemporaryDir root;
        const QString folder = root.path() + "/pindle";
        QVERIFY(QDir().mkdir(folder));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // What a killed instance leaves: its lock naming a pid that is gone, and its socket file.
        QFile lock(folder + "/instance.lock");
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(deadPid()) + "\npindle\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        QFile socket(folder + "/instance.socket");
        QVERIFY(socket.open(QIODevice::WriteOnly));
        socket.close();

        SingleInstance next(folder);
        QSignalSpy launched(&next, &SingleInstance::launched);
        QCOMPARE(next.start({"pindle"}), SingleInstance::Outcome::primary);
        QVERIFY(next.warning().isEmpty());
        QCOMPARE(handOverFromAnotherThread(folder, {"pindle", "x"}), SingleInstance::Outcome::handedOver);
        QTRY_COMPARE(launched.size(), 1);
    }

    void aLockHolderThatDoesNotAnswerIsAFailureNotAHandOver() {
        QTemporaryDir root;
        const QString folder = root.path() + "/pindle";
        SingleInstance first(folder);
        QCOMPARE(first.start({"pindle"}), SingleInstance::Outcome::primary);
        // The holder is alive but its socket is gone (hung, or never listened).
        QVERIFY(QFile::remove(folder + "/instance.socket"));
        SingleInstance second(folder);
        QCOMPARE(second.start({"pindle"}, 300), SingleInstance::Outcome::failed);
        QVERIFY(second.warning().contains(QString::number(QCoreApplication::applicationPid())));
    }

    void garbageOnTheSocketIsDroppedAndServingGoesOn() {
        QTemporaryDir root;
        const QString folder = root.path() + "/pindle";
        SingleInstance first(folder);
        QSignalSpy launched(&first, &SingleInstance::launched);
        QCOMPARE(first.start({"pindle"}), SingleInstance::Outcome::primary);

        for (const QByteArray& junk : {QByteArray("GET / HTTP/1.0\r\n\r\n"), QByteArray("PNDL\xff\xff\xff\xff", 8)}) {
            QLocalSocket client;
            client.connectToServer(folder + "/instance.socket");
            QVERIFY(client.waitForConnected(1000));
            client.write(junk);
            client.flush();
            QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
        }
        QCOMPARE(launched.size(), 0);
        QCOMPARE(handOverFromAnotherThread(folder, {"pindle"}), SingleInstance::Outcome::handedOver);
        QTRY_COMPARE(launched.size(), 1);
    }

    void aFolderOthersCanEnterTurnsTheGuardOff() {
        QTemporaryDir root;
        const QString folder = root.path() + "/pindle";
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
        SingleInstance instance(folder);
        QCOMPARE(instance.start({"pindle"}), SingleInstance::Outcome::primary);
        QVERIFY(!instance.warning().isEmpty());
        QVERIFY(!QFile::exists(folder + "/instance.socket"));
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::SingleInstanceTest)
#include "single_instance_test.moc"
