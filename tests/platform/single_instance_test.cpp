// One instance per user: claiming, handing over, stale locks, hostile clients and folders.

#include "platform/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pindle {

namespace {

// Hands over from another thread, as a second process would, while the test's loop serves.
SingleInstance::Outcome handOver(const QString& folder, const QStringList& arguments = {"pindle"}) {
    SingleInstance::Outcome outcome = SingleInstance::Outcome::failed;
    std::atomic<bool> done = false;
    std::thread second([&] {
        outcome = SingleInstance(folder).start(arguments, 5000);
        done = true;
    });
    while (!done) {
        QTest::qWait(10);
    }
    second.join();
    return outcome;
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_folder;

private slots:
    void init() { m_folder = m_root.path() + "/" + QTest::currentTestFunction(); }

    void aSecondLaunchHandsItsArgumentsToTheFirst() {
        SingleInstance first(m_folder);
        QSignalSpy launched(&first, &SingleInstance::launched);
        QCOMPARE(first.start({"pindle"}), SingleInstance::Outcome::primary);
        QVERIFY(first.warning().isEmpty());
        QCOMPARE(QFileInfo(m_folder).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

        const QStringList arguments{"pindle", "--show-panel", "ünïcode ✓"};
        QCOMPARE(handOver(m_folder, arguments), SingleInstance::Outcome::handedOver);
        QTRY_COMPARE(launched.size(), 1);
        QCOMPARE(launched[0][0].toStringList(), arguments);

        // Garbage on the socket is dropped, and serving goes on.
        for (const QByteArray& junk : {QByteArray("GET / HTTP/1.0\r\n\r\n"), QByteArray("PNDL\xff\xff\xff\xff", 8)}) {
            QLocalSocket client;
            client.connectToServer(m_folder + "/instance.socket");
            QVERIFY(client.waitForConnected(1000));
            client.write(junk);
            client.flush();
            QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
        }
        QCOMPARE(handOver(m_folder), SingleInstance::Outcome::handedOver);
        QTRY_COMPARE(launched.size(), 2);

        // A holder that is alive but does not answer (hung, or its socket gone) is a failure,
        // not a hand-over.
        QVERIFY(QFile::remove(m_folder + "/instance.socket"));
        SingleInstance third(m_folder);
        QCOMPARE(third.start({"pindle"}, 300), SingleInstance::Outcome::failed);
        QVERIFY(third.warning().contains(QString::number(QCoreApplication::applicationPid())));
    }

    void aLockLeftByACrashedInstanceDoesNotBlock() {
        QVERIFY(QDir().mkdir(m_folder));
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // What a killed instance leaves: its lock naming a pid that is gone, and its socket file.
        const pid_t dead = ::fork();
        if (dead == 0) {
            ::_exit(0);
        }
        ::waitpid(dead, nullptr, 0);
        QFile lock(m_folder + "/instance.lock");
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(dead) + "\npindle\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        QFile socket(m_folder + "/instance.socket");
        QVERIFY(socket.open(QIODevice::WriteOnly));
        socket.close();

        SingleInstance next(m_folder);
        QSignalSpy launched(&next, &SingleInstance::launched);
        QCOMPARE(next.start({"pindle"}), SingleInstance::Outcome::primary);
        QVERIFY(next.warning().isEmpty());
        QCOMPARE(handOver(m_folder), SingleInstance::Outcome::handedOver);
        QTRY_COMPARE(launched.size(), 1);
    }

    void aFolderOthersCanEnterTurnsTheGuardOff() {
        QVERIFY(QDir().mkdir(m_folder));
        QVERIFY(::chmod(QFile::encodeName(m_folder).constData(), 0777) == 0);
        SingleInstance instance(m_folder);
        QCOMPARE(instance.start({"pindle"}), SingleInstance::Outcome::primary);
        QVERIFY(!instance.warning().isEmpty());
        QVERIFY(!QFile::exists(m_folder + "/instance.socket"));
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::SingleInstanceTest)
#include "single_instance_test.moc"
