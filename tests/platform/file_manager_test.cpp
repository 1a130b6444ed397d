// Revealing notes.json: FileManager1 ShowItems on a private session bus, and the fallback.

#include "platform/file_manager.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTest>
#include <QUrl>

namespace pindle {

// Stands in for the desktop's file manager on the test bus.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;
    QString startupId;

public slots:
    void ShowItems(const QStringList& uris, const QString& startup) {
        shown += uris;
        startupId = startup;
    }
};

class FileManagerTest : public QObject {
    Q_OBJECT

private:
    QProcess m_bus;
    QString m_address;

private slots:
    void initTestCase() {
        m_bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        if (!m_bus.waitForStarted(5000)) {
            QSKIP("dbus-daemon is not installed");
        }
        QVERIFY(m_bus.waitForReadyRead(5000));
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
        QVERIFY(!m_address.isEmpty());
    }

    void cleanupTestCase() {
        m_bus.kill();
        m_bus.waitForFinished();
    }

    void asksTheFileManagerToSelectTheFile() {
        QDBusConnection service = QDBusConnection::connectToBus(m_address, QStringLiteral("service"));
        QVERIFY(service.isConnected());
        FakeFileManager manager;
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));

        QDBusConnection client = QDBusConnection::connectToBus(m_address, QStringLiteral("client"));
        QList<QUrl> opened;
        revealInFileManager(QStringLiteral("/home/ann/.local/share/Pindle/notes.json"), client,
                            [&](const QUrl& folder) { opened << folder; });
        QTRY_COMPARE(manager.shown, QStringList{"file:///home/ann/.local/share/Pindle/notes.json"});
        QTest::qWait(50);
        QVERIFY(opened.isEmpty());

        service.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }

    void opensTheFolderWhenNoFileManagerAnswers() {
        QDBusConnection client = QDBusConnection::connectToBus(m_address, QStringLiteral("lonely"));
        QVERIFY(client.isConnected());
        QList<QUrl> opened;
        revealInFileManager(QStringLiteral("/data/Pindle/notes.json"), client,
                            [&](const QUrl& folder) { opened << folder; });
        QTRY_COMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/data/Pindle"))});
        QDBusConnection::disconnectFromBus(QStringLiteral("lonely"));

        // No bus at all.
        opened.clear();
        revealInFileManager(
            QStringLiteral("/data/Pindle/notes.json"),
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none")),
            [&](const QUrl& folder) { opened << folder; });
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/data/Pindle"))});
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::FileManagerTest)
#include "file_manager_test.moc"
