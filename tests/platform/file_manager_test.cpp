// Revealing notes.json: FileManager1 ShowItems on a private session bus (tests/e2e/desktop.py), else
// opening the folder.

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
    Q_SLOT void ShowItems(const QStringList& uris, const QString& /*startupId*/) { shown += uris; }
};

class FileManagerTest : public QObject {
    Q_OBJECT

private slots:
    void selectsTheFileInTheFileManagerElseOpensTheFolder() {
        const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QDBusConnection service = QDBusConnection::connectToBus(address, "service");
        FakeFileManager manager;
        QVERIFY(service.registerObject("/org/freedesktop/FileManager1", &manager, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService("org.freedesktop.FileManager1"));
        const QDBusConnection client = QDBusConnection::connectToBus(address, "client");
        QList<QUrl> opened;
        const auto openFolder = [&](const QUrl& folder) { opened << folder; };
        const QString notes = "/home/ann/.local/share/Pindle/notes.json";
        revealInFileManager(notes, client, openFolder);
        QTRY_COMPARE(manager.shown, QStringList{"file://" + notes});
        QTest::qWait(50);
        QVERIFY(opened.isEmpty());

        // No file manager on the bus, and no bus at all.
        const QList<QUrl> folder{QUrl::fromLocalFile("/home/ann/.local/share/Pindle")};
        QVERIFY(service.unregisterService("org.freedesktop.FileManager1"));
        revealInFileManager(notes, client, openFolder);
        QTRY_COMPARE(opened, folder);
        opened.clear();
        revealInFileManager(notes, QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none"), openFolder);
        QCOMPARE(opened, folder);
    }
};

} // namespace pindle

QTEST_GUILESS_MAIN(pindle::FileManagerTest)
#include "file_manager_test.moc"
