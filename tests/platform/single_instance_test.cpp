// One instance per user and one writer per notes folder: claiming, handing over, stale locks,
// hostile clients and folders, running out of file descriptors.

#include "platform/single_instance.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <future>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace pindle {

namespace {

using Outcome = SingleInstance::Outcome;

// A launch from another thread, as a second process makes it, while the test's loop serves: its
// outcome and warning.
std::pair<Outcome, QString> launch(const QString& folder, const QStringList& arguments = {"pindle"}) {
    auto second = std::async(std::launch::async, [&] {
        SingleInstance instance(folder);
        const Outcome outcome = instance.start(arguments, 5000);
        return std::pair{outcome, instance.warning()};
    });
    while (second.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        QTest::qWait(10);
    }
    return second.get();
}

// A raw, non-blocking client of the instance socket, as a stray program would make; -1 when
// none can be made or the socket takes no more.
int connectTo(const QString& folder) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, QFile::encodeName(folder + "/instance.socket").constData());
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_folder;

private slots:
    void init() { m_folder = m_root.path() + "/" + QTest::currentTestFunction(); }

    void aSecondLaunchHandsItsArgumentsToTheFirst() {
        auto first = std::make_unique<SingleInstance>(m_folder);
        QSignalSpy launched(first.get(), &SingleInstance::launched);
        QCOMPARE(first->start({"pindle"}), Outcome::primary);
        QVERIFY(first->warning().isEmpty());
        QCOMPARE(QFileInfo(m_folder).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

        const QStringList arguments{"pindle", "--show-panel", "ünïcode ✓"};
        QCOMPARE(launch(m_folder, arguments).first, Outcome::handedOver);
        QTRY_COMPARE(launched.size(), 1);
        QCOMPARE(launched[0][0].toStringList(), arguments);

        // Garbage on the socket is dropped, an oversized message refused, a client that sends
        // nothing (half-open) dropped after its deadline; and serving goes on.
        for (const QByteArray& junk :
             {QByteArray("GET / HTTP/1.0\r\n\r\n"), QByteArray("PNDL\xff\xff\xff\xff", 8), QByteArray("PNDL\0\0", 6)}) {
            const int client = connectTo(m_folder);
            QVERIFY(client >= 0 && ::send(client, junk.constData(), std::size_t(junk.size()), 0) == junk.size());
            char reply; // a refusal byte may come before the hang-up
            QVERIFY2(QTest::qWaitFor([&] { return ::recv(client, &reply, 1, 0) == 0; }), junk.constData());
            ::close(client);
        }
        // Clients until no descriptor is left, so that the instance's accept() fails for them.
        rlimit saved{};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
        const int lowestFree = ::dup(0);
        ::close(lowestFree);
        const rlimit low{static_cast<rlim_t>(lowestFree + 8), saved.rlim_max};
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &low) == 0);
        std::vector<int> clients;
        for (int client; (client = connectTo(m_folder)) >= 0;) {
            clients.push_back(client);
        }
        QTest::qWait(300);
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &saved) == 0 && !clients.empty());
        std::for_each(clients.begin(), clients.end(), ::close);

        // Over 64 KiB of arguments: the running instance still hears of the launch and of
        // "--show-panel", the only argument it acts on, and the launch says what it left out.
        const auto [outcome, warning] = launch(m_folder, {"pindle", QString(40000, 'x'), "--show-panel"});
        QCOMPARE(outcome, Outcome::handedOver);
        QTRY_COMPARE(launched.size(), 2);
        QCOMPARE(launched[1][0].toStringList(), (QStringList{"pindle", "--show-panel"}));
        QVERIFY2(warning.contains("handed over: pindle --show-panel"), qPrintable(warning));

        // A holder that is alive but does not answer (hung, or its socket gone) is a failure,
        // not a hand-over.
        QVERIFY(QFile::remove(m_folder + "/instance.socket"));
        SingleInstance third(m_folder);
        QCOMPARE(third.start({"pindle"}, 300), Outcome::failed);
        QVERIFY(third.warning().contains(QString::number(QCoreApplication::applicationPid())));

        // What a killed instance leaves, its lock file and socket file, blocks nothing.
        first.reset();
        for (const char* name : {"/instance.lock", "/instance.socket"}) {
            QFile file(m_folder + name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("pid 999999 on elsewhere\n") > 0);
        }
        SingleInstance next(m_folder);
        QCOMPARE(next.start({"pindle"}), Outcome::primary);
        QVERIFY(next.warning().isEmpty());
        QCOMPARE(launch(m_folder).first, Outcome::handedOver);
    }

    void aFolderOthersCanEnterTurnsTheGuardOff() {
        for (const mode_t mode : {mode_t{0701}, mode_t{0710}}) { // others, or the group
            const QString folder = m_folder + QString::number(mode);
            QVERIFY(QDir().mkdir(folder) && ::chmod(QFile::encodeName(folder).constData(), mode) == 0);
            SingleInstance instance(folder);
            QCOMPARE(instance.start({"pindle"}), Outcome::primary);
            QVERIFY(!instance.warning().isEmpty());
            QVERIFY(!QFile::exists(folder + "/instance.socket"));
        }
    }

    void neverTwoWritersOfOneNotesFolder() {
        // Without a runtime directory the guard lives in a folder of the user's own, not in the
        // shared temporary folder, where another user could make it first and switch it off.
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_folder + "/cache"));
        QCOMPARE(SingleInstance::runtimeFolder(), m_folder + "/cache/pindle");

        // Two sessions sharing one home (separate runtime folders, one notes folder): the second
        // does not run; once the first has ended, the next one does.
        const QString notes = m_folder + "/notes";
        auto first = std::make_unique<SingleInstance>(m_folder + "/one", notes);
        QCOMPARE(first->start({"pindle"}), Outcome::primary);
        SingleInstance second(m_folder + "/two", notes);
        QCOMPARE(second.start({"pindle"}), Outcome::failed);
        QVERIFY(second.warning().contains(QString::number(QCoreApplication::applicationPid())));
        first.reset();
        QCOMPARE(SingleInstance(m_folder + "/three", notes).start({"pindle"}), Outcome::primary);
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::SingleInstanceTest)
#include "single_instance_test.moc"
