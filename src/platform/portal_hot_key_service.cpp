#include "portal_hot_key_service.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QStringList>

#include <utility>

namespace pindle {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString kResponse = QStringLiteral("Response");
constexpr int kCallTimeoutMs = 5000;

// One entry of the portal's a(sa{sv}) shortcut list.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QString shortcutId(HotKeyId id) {
    return QStringLiteral("pindle-%1-%2").arg(id.signature, 8, 16, QLatin1Char('0')).arg(id.id);
}

} // namespace

} // namespace pindle

Q_DECLARE_METATYPE(pindle::PortalShortcut)

namespace pindle {

bool PortalHotKeyService::available(const QDBusConnection& bus) {
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kShortcutsInterface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

PortalHotKeyService::PortalHotKeyService(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    m_bus.connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(activated(QDBusMessage)));
}

PortalHotKeyService::~PortalHotKeyService() {
    closeSession();
}

void PortalHotKeyService::setPressHandler(PressHandler handler) {
    m_handler = std::move(handler);
}

QString PortalHotKeyService::triggerText(HotKeyCombination combination) {
    QStringList parts;
    if (combination.modifiers & kHotKeyControl) {
        parts << QStringLiteral("CTRL");
    }
    if (combination.modifiers & kHotKeyAlt) {
        parts << QStringLiteral("ALT");
    }
    if (combination.modifiers & kHotKeyShift) {
        parts << QStringLiteral("SHIFT");
    }
    if (combination.modifiers & kHotKeySuper) {
        parts << QStringLiteral("LOGO");
    }
    // Keysyms of printable Latin-1 characters are their code points.
    parts << (combination.keysym >= 0x20 && combination.keysym <= 0xff
                  ? QString(QChar(static_cast<char16_t>(combination.keysym)))
                  : QString::number(combination.keysym, 16));
    return parts.join(QLatin1Char('+'));
}

bool PortalHotKeyService::registerHotKey(HotKeyId id, HotKeyCombination combination) {
    m_shortcuts[shortcutId(id)] = {id, combination};
    if (m_session.isEmpty()) {
        createSession();
    } else {
        bindShortcuts();
    }
    return true;
}

void PortalHotKeyService::unregisterHotKey(HotKeyId id) {
    if (m_shortcuts.erase(shortcutId(id)) == 0) {
        return;
    }
    // The portal binds a session's shortcuts as a whole: start over with what is left.
    closeSession();
    if (!m_shortcuts.empty()) {
        createSession();
    }
}

QString PortalHotKeyService::nextRequestToken() {
    return QStringLiteral("pindle%1").arg(++m_requests);
}

QString PortalHotKeyService::requestPath(const QString& token) const {
    // The portal names its request objects after the caller's unique bus name and the token.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

void PortalHotKeyService::createSession() {
    if (m_creating) {
        return;
    }
    m_creating = true;
    const QString token = nextRequestToken();
    // Listen before asking: the answer may come before the call returns.
    listenForResponse(requestPath(token), SLOT(sessionCreated(uint, QVariantMap)), true);
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsInterface,
                                                       QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("session_handle_token"), token}};
    m_bus.asyncCall(call, kCallTimeoutMs);
}

void PortalHotKeyService::listenForResponse(const QString& path, const char* slot, bool listen) {
    // One match rule per request on the bus, removed with its answer.
    if (listen) {
        m_bus.connect(kPortalService, path, kRequestInterface, kResponse, this, slot);
    } else {
        m_bus.disconnect(kPortalService, path, kRequestInterface, kResponse, this, slot);
    }
}

void PortalHotKeyService::listenForClosed(bool listen) {
    if (listen) {
        m_bus.connect(kPortalService, m_session, kSessionInterface, QStringLiteral("Closed"), this,
                      SLOT(sessionClosed()));
    } else {
        m_bus.disconnect(kPortalService, m_session, kSessionInterface, QStringLiteral("Closed"), this,
                         SLOT(sessionClosed()));
    }
}

void PortalHotKeyService::sessionCreated(uint response, const QVariantMap& results) {
    listenForResponse(message().path(), SLOT(sessionCreated(uint, QVariantMap)), false);
    m_creating = false;
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    const QString session =
        handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path() : handle.toString();
    if (response != 0 || session.isEmpty()) {
        refuseAll();
        return;
    }
    m_session = session;
    listenForClosed(true);
    if (!m_shortcuts.empty()) {
        bindShortcuts();
    }
}

void PortalHotKeyService::sessionClosed() {
    // The desktop ended the session (the portal restarted, the user revoked it): the shortcuts
    // are unbound. A fresh session binds them again.
    listenForClosed(false);
    m_session.clear();
    if (!m_shortcuts.empty()) {
        createSession();
    }
}

void PortalHotKeyService::refuseAll() {
    // Nothing stays bound; whoever registered hears so, once per registration.
    closeSession();
    const auto refused = std::exchange(m_shortcuts, {});
    for (const auto& [name, entry] : refused) {
        reportRefusal(entry.first);
    }
}

void PortalHotKeyService::bindShortcuts() {
    QList<PortalShortcut> shortcuts;
    for (const auto& [name, entry] : m_shortcuts) {
        shortcuts.push_back({name,
                             {{QStringLiteral("description"), tr("Show or hide the Pindle panel")},
                              {QStringLiteral("preferred_trigger"), triggerText(entry.second)}}});
    }
    const QString token = nextRequestToken();
    listenForResponse(requestPath(token), SLOT(shortcutsBound(uint, QVariantMap)), true);
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsInterface,
                                                       QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token}};
    m_bus.asyncCall(call, kCallTimeoutMs);
}

void PortalHotKeyService::shortcutsBound(uint response, const QVariantMap& results) {
    listenForResponse(message().path(), SLOT(shortcutsBound(uint, QVariantMap)), false);
    if (response != 0) {
        refuseAll();
        return;
    }
    // The shortcuts the desktop bound, when it lists them: one it left out is refused.
    const QVariant listed = results.value(QStringLiteral("shortcuts"));
    if (!listed.isValid()) {
        return;
    }
    QStringList bound;
    for (const PortalShortcut& shortcut : qdbus_cast<QList<PortalShortcut>>(listed)) {
        bound << shortcut.id;
    }
    for (auto it = m_shortcuts.begin(); it != m_shortcuts.end();) {
        if (bound.contains(it->first)) {
            ++it;
            continue;
        }
        const HotKeyId id = it->second.first;
        it = m_shortcuts.erase(it);
        reportRefusal(id);
    }
}

void PortalHotKeyService::activated(const QDBusMessage& message) {
    // (o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || arguments[0].value<QDBusObjectPath>().path() != m_session || m_session.isEmpty()) {
        return;
    }
    const auto found = m_shortcuts.find(arguments[1].toString());
    if (found != m_shortcuts.end() && m_handler) {
        m_handler(found->second.first);
    }
}

void PortalHotKeyService::closeSession() {
    if (m_session.isEmpty()) {
        return;
    }
    listenForClosed(false);
    m_bus.asyncCall(
        QDBusMessage::createMethodCall(kPortalService, m_session, kSessionInterface, QStringLiteral("Close")));
    m_session.clear();
}

} // namespace pindle
