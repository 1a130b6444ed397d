// Revealing notes.json: FileManager1 ShowItems on a private session bus (tests/e2e/desktop.py), and
// the fallback of opening the folder.

#include "platform/file_manager.h"

#include <QDBusConnection>
#include <QTest>
#include <QUrl>

namespace pindle {

// Stands in for the desktop's file manager.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;

public slots:
    void ShowItems(const QStringList& uris, const QString& /*startupId*/) { shown += uris; }
};

class FileManagerTest : public QObject {
    Q_OBJECT

private slots:
    void selectsTheFileInTheFileManagerElseOpensTheFolder() {
        const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("service"));
        FakeFileManager manager;
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        const QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("client"));
        QList<QUrl> opened;
        const auto openFolder = [&](const QUrl& folder) { opened << folder; };
        revealInFileManager(QStringLiteral("/home/ann/.local/share/Pindle/notes.json"), client, openFolder);
        QTRY_COMPARE(manager.shown, QStringList{"file:///home/ann/.local/share/Pindle/notes.json"});
        QTest::qWait(50);
        QVERIFY(opened.isEmpty());

        // No file manager on the bus, and no bus at all.
        QVERIFY(service.unregisterService(QStringLiteral("org.freedesktop.FileManager1")));
        const QList<QUrl> folder{QUrl::fromLocalFile(QStringLiteral("/data/Pindle"))};
        revealInFileManager(QStringLiteral("/data/Pindle/notes.json"), client, openFolder);
        QTRY_COMPARE(opened, folder);
        opened.clear();
        revealInFileManager(
            QStringLiteral("/data/Pindle/notes.json"),
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none")),
            openFolder);
        QCOMPARE(opened, folder);
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::FileManagerTest)
#include "file_manager_test.moc"
