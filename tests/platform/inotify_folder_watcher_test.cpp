// InotifyFolderWatcher on a real event loop and real folders.

#include "platform/inotify_folder_watcher.h"

#include <QTemporaryDir>
#include <QTest>

#include <fstream>

namespace pindle {

class InotifyFolderWatcherTest : public QObject {
    Q_OBJECT

private slots:
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

QTEST_GUILESS_MAIN(pindle::InotifyFolderWatcherTest)
#include "inotify_folder_watcher_test.moc"
