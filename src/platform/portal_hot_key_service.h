#pragma once

#include "hot_key_service.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <map>
#include <vector>

class QDBusMessage;

namespace pindle {

// System-wide hot keys through the desktop portal (org.freedesktop.portal.GlobalShortcuts), the
// only way on a Wayland session, where X11 grabs see only keys typed into X11 windows. The portal
// works asynchronously and may ask the user first, so a registration is accepted at once and
// bound in the background; if the desktop refuses, no presses ever arrive.
class PortalHotKeyService final : public QObject, public HotKeyService {
    Q_OBJECT

public:
    // Whether `bus` offers the GlobalShortcuts portal (asks it, waiting at most a second).
    static bool available(const QDBusConnection& bus);

    explicit PortalHotKeyService(const QDBusConnection& bus, QObject* parent = nullptr);
    ~PortalHotKeyService() override;

    void setPressHandler(PressHandler handler) override;
    bool registerHotKey(HotKeyId id, HotKeyCombination combination) override;
    void unregisterHotKey(HotKeyId id) override;

    // The trigger text the portal understands, e.g. "CTRL+SHIFT+y".
    static QString triggerText(HotKeyCombination combination);

private slots:
    void sessionCreated(uint response, const QVariantMap& results);
    void shortcutsBound(uint response, const QVariantMap& results);
    void activated(const QDBusMessage& message);

private:
    QString nextRequestToken();
    QString requestPath(const QString& token) const;
    void createSession();
    void bindShortcuts();
    void closeSession();

    QDBusConnection m_bus;
    PressHandler m_handler;
    std::map<QString, std::pair<HotKeyId, HotKeyCombination>> m_shortcuts;
    QString m_session;
    bool m_creating = false;
    std::uint32_t m_requests = 0;
};

} // namespace pindle
