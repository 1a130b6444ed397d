#pragma once

#include "color_scheme.h"

#include <optional>

#include <QDBusConnection>
#include <QObject>
#include <QPalette>

class QDBusMessage;
class QDBusPendingCallWatcher;

namespace pindle {

// Keeps the application palette in step with the desktop's light or dark preference, as the
// desktop portal publishes it (org.freedesktop.portal.Settings, org.freedesktop.appearance
// color-scheme), live when the user switches. Where the portal or the setting is missing, the
// application palette stays as the desktop theme made it. GUI thread only; needs the
// QApplication.
class DesktopColorScheme final : public QObject {
    Q_OBJECT

public:
    explicit DesktopColorScheme(QDBusConnection bus, QObject* parent = nullptr);

    // Takes the application palette as it is now as the desktop's, listens for changes and asks
    // the portal for the current value. Returns at once; the answer is applied when it arrives.
    void start();

    // The preference the portal reported last; none before its answer, or without the setting.
    std::optional<ColorScheme> scheme() const { return m_scheme; }

signals:
    // The application palette has just changed to follow the desktop.
    void schemeChanged(pindle::ColorScheme scheme);

private:
    // Connected by name to the portal's signal.
    Q_SLOT void settingChanged(const QDBusMessage& message);
    void readFinished(QDBusPendingCallWatcher* watcher);
    void apply(ColorScheme scheme);

    QDBusConnection m_bus;
    QPalette m_desktopPalette;
    std::optional<ColorScheme> m_scheme;
    // A change signalled while the first read is under way is newer than the read's answer.
    bool m_changedWhileReading = false;
};

} // namespace pindle
