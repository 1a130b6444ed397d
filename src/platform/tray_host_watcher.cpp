#include "tray_host_watcher.h"

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace pindle {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kWatcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kHostRegistered = QStringLiteral("StatusNotifierHostRegistered");
// Long enough for a desktop shell that is busy starting up.
constexpr int kAskTimeoutMs = 5000;

class DesktopTrayHostWatcher final : public TrayHostWatcher, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    DesktopTrayHostWatcher(QDBusConnection bus, xcb_connection_t* x11)
        : m_bus(std::move(bus))
        , m_x11(x11) {}

    ~DesktopTrayHostWatcher() override { stop(); }

    void start() override {
        watchTraySelections();
        if (!m_appeared) {
            watchStatusNotifierHost();
        }
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override {
        if (m_appeared || eventType != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != m_xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY) {
            return false;
        }
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->owner != XCB_NONE && isTraySelection(notify->selection)) {
            // Not from inside Qt's event dispatch: the receiver goes on to make windows.
            QMetaObject::invokeMethod(this, &DesktopTrayHostWatcher::appeared, Qt::QueuedConnection);
        }
        // Qt follows selections of its own (the clipboard's, the compositing manager's): the event
        // goes on to it.
        return false;
    }

private:
    // Connected by name to the watcher's signal.
    Q_SLOT void hostRegistered() { appeared(); }

    void watchStatusNotifierHost() {
        if (!m_bus.isConnected()) {
            return;
        }
        // Listen before asking, so a host that registers in between is not missed. The watcher
        // itself may start later (or start again, when the desktop shell restarts): each time it
        // does, it is asked again.
        m_bus.connect(kWatcherService, kWatcherPath, kWatcherInterface, kHostRegistered, this, SLOT(hostRegistered()));
        m_watcherName = new QDBusServiceWatcher(kWatcherService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(m_watcherName, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& newOwner) {
                    if (!newOwner.isEmpty()) {
                        askWatcher();
                    }
                });
        askWatcher();
    }

    void askWatcher() {
        QDBusMessage get = QDBusMessage::createMethodCall(
            kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << kWatcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
        // Only a watcher that runs counts: asking must not have D-Bus start one.
        get.setAutoStartService(false);
        auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(get, kAskTimeoutMs), this);
        connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *finished;
            // No watcher yet, or one without a host: its signals tell when that changes.
            if (!reply.isError() && reply.value().variant().toBool()) {
                appeared();
            }
        });
    }

    void watchTraySelections() {
        if (!m_x11) {
            return;
        }
        const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(m_x11, &xcb_xfixes_id);
        const bool notified = xfixes && xfixes->present;
        if (notified) {
            // The protocol wants the version agreed before any other XFixes request.
            std::free(xcb_xfixes_query_version_reply(
                m_x11, xcb_xfixes_query_version(m_x11, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr));
            m_xfixesFirstEvent = xfixes->first_event;
        }
        // Qt docks its icon on one screen of the display; a display with several X screens is
        // rare, and a tray on any of them is taken as the sign (Qt then finds its own).
        std::vector<xcb_intern_atom_cookie_t> atomCookies;
        std::vector<xcb_window_t> roots;
        int screen = 0;
        for (auto it = xcb_setup_roots_iterator(xcb_get_setup(m_x11)); it.rem; xcb_screen_next(&it), ++screen) {
            const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
            atomCookies.push_back(xcb_intern_atom(m_x11, 0, static_cast<std::uint16_t>(name.size()), name.c_str()));
            roots.push_back(it.data->root);
        }
        for (std::size_t i = 0; i < atomCookies.size(); ++i) {
            xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(m_x11, atomCookies[i], nullptr);
            if (atom) {
                m_traySelections.push_back({roots[i], atom->atom});
                std::free(atom);
            }
        }
        if (notified) {
            for (const auto& [root, selection] : m_traySelections) {
                xcb_xfixes_select_selection_input(m_x11, root, selection,
                                                  XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
            }
            qApp->installNativeEventFilter(this);
            m_filtering = true;
        }
        // Asked after subscribing, so a tray that starts in between is seen one way or the other.
        std::vector<xcb_get_selection_owner_cookie_t> ownerCookies;
        for (const auto& selection : m_traySelections) {
            ownerCookies.push_back(xcb_get_selection_owner(m_x11, selection.atom));
        }
        bool owned = false;
        for (const xcb_get_selection_owner_cookie_t& cookie : ownerCookies) {
            if (xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(m_x11, cookie, nullptr)) {
                owned = owned || owner->owner != XCB_NONE;
                std::free(owner);
            }
        }
        if (owned) {
            appeared();
        }
    }

    bool isTraySelection(xcb_atom_t atom) const {
        return std::ranges::any_of(m_traySelections, [atom](const auto& selection) { return selection.atom == atom; });
    }

    void appeared() {
        if (m_appeared) {
            return;
        }
        m_appeared = true;
        stop();
        emit trayAppeared();
    }

    void stop() {
        if (m_bus.isConnected()) {
            m_bus.disconnect(kWatcherService, kWatcherPath, kWatcherInterface, kHostRegistered, this,
                             SLOT(hostRegistered()));
        }
        delete m_watcherName;
        m_watcherName = nullptr;
        // Without the application the X connection is gone as well.
        if (m_filtering && qApp) {
            qApp->removeNativeEventFilter(this);
            for (const auto& [root, selection] : m_traySelections) {
                xcb_xfixes_select_selection_input(m_x11, root, selection, 0);
            }
            xcb_flush(m_x11);
        }
        m_filtering = false;
    }

    struct TraySelection {
        xcb_window_t root;
        xcb_atom_t atom;
    };

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_watcherName = nullptr;
    xcb_connection_t* m_x11;
    std::vector<TraySelection> m_traySelections;
    std::uint8_t m_xfixesFirstEvent = 0;
    bool m_filtering = false;
    bool m_appeared = false;
};

} // namespace

std::unique_ptr<TrayHostWatcher> createTrayHostWatcher() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return std::make_unique<DesktopTrayHostWatcher>(QDBusConnection::sessionBus(), x11 ? x11->connection() : nullptr);
}

} // namespace pindle

#include "tray_host_watcher.moc"
