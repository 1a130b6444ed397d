#pragma once

#include "hot_key_service.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <map>
#include <vector>

class QDBusMessage;

namespace pindle {

// System-wide hot keys through the desktop portal (org.freedesktop.portal.GlobalShortcuts), the
// only way on a Wayland session, where X11 grabs see only keys typed into X11 windows.
//
// The portal works asynchronously and may ask the user first, so a registration is accepted at
// once and bound in the background. Should the desktop refuse (a request answered with anything
// but success, or a binding that leaves the shortcut out), the refusal is reported through the
// refusal handler and the registration is gone. A session the desktop closes is created and
// bound again. Each request listens for its one answer and stops listening once it has it.
class PortalHotKeyService final : public QObject, public HotKeyService, protected QDBusContext {
    Q_OBJECT

public:
    // Whether `bus` offers the GlobalShortcuts portal (asks it, waiting at most a second).
    static bool available(const QDBusConnection& bus);

    explicit PortalHotKeyService(QDBusConnection bus, QObject* parent = nullptr);
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
    void sessionClosed();

private: // NOLINT(readability-redundant-access-specifiers): ends what moc reads as slots
    QString nextRequestToken();
    QString requestPath(const QString& token) const;
    void createSession();
    void bindShortcuts();
    void closeSession();
    void refuseAll();
    // Listens for the answer to the request made with `token`, or (`listen` false) stops.
    void listenForResponse(const QString& path, const char* slot, bool listen);
    void listenForClosed(bool listen);

    QDBusConnection m_bus;
    PressHandler m_handler;
    std::map<QString, std::pair<HotKeyId, HotKeyCombination>> m_shortcuts;
    QString m_session;
    bool m_creating = false;
    std::uint32_t m_requests = 0;
};

} // namespace pindle
