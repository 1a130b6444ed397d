#pragma once

#include <QDBusConnection>

#include <functional>

class QString;
class QUrl;

namespace pindle {

// Shows `filePath` selected in the desktop's file manager (org.freedesktop.FileManager1
// ShowItems on `bus`). When no file manager answers (no session bus, no such service, an error
// or no reply within a few seconds), `openFolder` is called with the URL of the file's folder.
// Returns at once; the answer is awaited on the event loop.
void revealInFileManager(const QString& filePath, const QDBusConnection& bus,
                         std::function<void(const QUrl&)> openFolder);

// The same on the session bus, falling back to QDesktopServices::openUrl.
void revealInFileManager(const QString& filePath);

} // namespace pindle
