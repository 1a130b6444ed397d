#include "desktop_color_scheme.h"

#include <utility>

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace pindle {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");
// Long enough for a portal that D-Bus has to start first.
constexpr int kReadTimeoutMs = 5000;

} // namespace

DesktopColorScheme::DesktopColorScheme(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus)) {}

void DesktopColorScheme::start() {
    m_desktopPalette = QApplication::palette();
    if (!m_bus.isConnected()) {
        return;
    }
    // Listen before asking, so a switch between the question and the answer is not lost.
    m_bus.connect(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("SettingChanged"), this,
                  SLOT(settingChanged(QDBusMessage)));
    m_changedWhileReading = false;
    // Read, not ReadOne: every portal version has it (the answer comes wrapped in a second
    // variant, which colorSchemeFromSetting unwraps).
    QDBusMessage read =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("Read"));
    read << kAppearance << kColorScheme;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(read, kReadTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &DesktopColorScheme::readFinished);
}

void DesktopColorScheme::readFinished(QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    const QDBusPendingReply<QDBusVariant> reply = *watcher;
    // No portal, no Settings interface or no such setting: the desktop theme's palette stands.
    if (reply.isError() || m_changedWhileReading) {
        return;
    }
    apply(colorSchemeFromSetting(QVariant::fromValue(reply.value())));
}

void DesktopColorScheme::settingChanged(const QDBusMessage& message) {
    // (s namespace, s key, v value)
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 3 || arguments[0].toString() != kAppearance || arguments[1].toString() != kColorScheme) {
        return;
    }
    m_changedWhileReading = true;
    apply(colorSchemeFromSetting(arguments[2]));
}

void DesktopColorScheme::apply(ColorScheme scheme) {
    if (m_scheme == scheme) {
        return;
    }
    m_scheme = scheme;
    QApplication::setPalette(paletteForScheme(scheme, m_desktopPalette));
    emit schemeChanged(scheme);
}

} // namespace pindle
