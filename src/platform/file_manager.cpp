#include "file_manager.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace pindle {

namespace {

// Long enough for a file manager that D-Bus has to start first.
constexpr int kReplyTimeoutMs = 5000;

} // namespace

void revealInFileManager(const QString& filePath, const QDBusConnection& bus,
                         std::function<void(const QUrl&)> openFolder) {
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(filePath).absolutePath());
    if (!bus.isConnected()) {
        openFolder(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(filePath).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kReplyTimeoutMs), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [watcher, folder, openFolder = std::move(openFolder)]() {
                         if (watcher->isError()) {
                             openFolder(folder);
                         }
                         watcher->deleteLater();
                     });
}

void revealInFileManager(const QString& filePath) {
    revealInFileManager(filePath, QDBusConnection::sessionBus(),
                        [](const QUrl& folder) { QDesktopServices::openUrl(folder); });
}

} // namespace pindle
