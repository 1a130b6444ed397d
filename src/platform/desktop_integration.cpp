#include "desktop_integration.h"

#include "sway_ipc.h"
#include "wayland_session.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QMargins>
#include <QWidget>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

namespace pindle {

namespace {

constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
constexpr std::uint32_t kNetWmStateAdd = 1;
// Source indication "application" in EWMH client messages.
constexpr std::uint32_t kSourceApplication = 1;

class NoDesktopIntegration final : public DesktopIntegration {
public:
    bool compositing() const override { return false; }
    void prepareToShow(QWidget* /*window*/, const QMargins& /*shadow*/) override {}
    void shown(QWidget* /*window*/) override {}
};

class X11DesktopIntegration final : public DesktopIntegration {
public:
    explicit X11DesktopIntegration(xcb_connection_t* connection)
        : m_connection(connection) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_root = screen->root;
        m_netWmState = atom("_NET_WM_STATE");
        m_sticky = atom("_NET_WM_STATE_STICKY");
        m_skipTaskbar = atom("_NET_WM_STATE_SKIP_TASKBAR");
        m_skipPager = atom("_NET_WM_STATE_SKIP_PAGER");
        m_desktop = atom("_NET_WM_DESKTOP");
        m_frameExtents = atom("_GTK_FRAME_EXTENTS");
        // The manager of screen 0; Pindle's panel lives on the default screen.
        m_compositorSelection = atom("_NET_WM_CM_S0");
    }

    bool compositing() const override {
        if (m_compositorSelection == XCB_ATOM_NONE) {
            return false;
        }
        auto cookie = xcb_get_selection_owner(m_connection, m_compositorSelection);
        auto* reply = xcb_get_selection_owner_reply(m_connection, cookie, nullptr);
        const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
        std::free(reply);
        return owned;
    }

    void prepareToShow(QWidget* window, const QMargins& shadow) override {
        const auto id = static_cast<xcb_window_t>(window->winId());
        if (shadow.isNull()) {
            xcb_delete_property(m_connection, id, m_frameExtents);
        } else {
            const std::array<std::uint32_t, 4> extents{
                static_cast<std::uint32_t>(shadow.left()), static_cast<std::uint32_t>(shadow.right()),
                static_cast<std::uint32_t>(shadow.top()), static_cast<std::uint32_t>(shadow.bottom())};
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, id, m_frameExtents, XCB_ATOM_CARDINAL, 32,
                                static_cast<std::uint32_t>(extents.size()), extents.data());
        }
        // Qt merges its own states into this property when it maps the window.
        const std::array<xcb_atom_t, 3> states{m_sticky, m_skipTaskbar, m_skipPager};
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, id, m_netWmState, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(states.size()), states.data());
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, id, m_desktop, XCB_ATOM_CARDINAL, 32, 1,
                            &kAllDesktops);
        xcb_flush(m_connection);
    }

    void shown(QWidget* window) override {
        const auto id = static_cast<xcb_window_t>(window->winId());
        sendToRoot(id, m_netWmState, {kNetWmStateAdd, m_sticky, m_skipTaskbar, kSourceApplication, 0});
        sendToRoot(id, m_netWmState, {kNetWmStateAdd, m_skipPager, 0, kSourceApplication, 0});
        sendToRoot(id, m_desktop, {kAllDesktops, kSourceApplication, 0, 0, 0});
        xcb_flush(m_connection);
    }

private:
    xcb_atom_t atom(const char* name) const {
        auto cookie = xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
        auto* reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return result;
    }

    void sendToRoot(xcb_window_t window, xcb_atom_t type, std::array<std::uint32_t, 5> data) {
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = type;
        std::memcpy(event.data.data32, data.data(), sizeof event.data.data32);
        xcb_send_event(m_connection, 0, m_root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    xcb_atom_t m_netWmState;
    xcb_atom_t m_sticky;
    xcb_atom_t m_skipTaskbar;
    xcb_atom_t m_skipPager;
    xcb_atom_t m_desktop;
    xcb_atom_t m_frameExtents;
    xcb_atom_t m_compositorSelection;
};

// The panel on XWayland under sway: sway centres floating X11 windows whatever position they ask
// for, so each time the panel is shown sway is told where it goes: at once when sway has it in its
// tree already, else as soon as sway has mapped it and made it float (which centres it). The work
// area comes from sway too.
class SwayDesktopIntegration final : public DesktopIntegration {
public:
    SwayDesktopIntegration(std::unique_ptr<DesktopIntegration> x11, std::unique_ptr<SwayIpc> sway)
        : m_x11(std::move(x11))
        , m_sway(std::move(sway)) {
        QObject::connect(m_sway.get(), &SwayIpc::windowPlaced, m_sway.get(), [this](quint32 window, bool floating) {
            if (m_pending && m_pending->first == window) {
                m_sway->moveWindow(window, m_pending->second);
                if (floating) {
                    m_pending.reset();
                    m_sway->watchWindows(false);
                }
            }
        });
    }

    bool compositing() const override { return m_x11->compositing(); }

    void prepareToShow(QWidget* window, const QMargins& shadow) override {
        m_x11->prepareToShow(window, shadow);
        m_pending.reset();
        // Listening before the window maps, so sway's placing it is not missed.
        m_sway->watchWindows(!window->isVisible());
    }

    void shown(QWidget* window) override {
        m_x11->shown(window);
        const auto id = static_cast<quint32>(window->winId());
        if (m_sway->moveWindow(id, window->pos())) {
            m_sway->watchWindows(false);
        } else {
            m_pending = std::pair{id, window->pos()};
        }
    }

    std::optional<QRect> workArea() override { return m_sway->focusedWorkArea(); }

private:
    std::unique_ptr<DesktopIntegration> m_x11;
    std::unique_ptr<SwayIpc> m_sway;
    // The window shown but not yet in sway's tree, and where it goes.
    std::optional<std::pair<quint32, QPoint>> m_pending;
};

} // namespace

std::unique_ptr<DesktopIntegration> createDesktopIntegration() {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>(); x11 && x11->connection()) {
            auto integration = std::make_unique<X11DesktopIntegration>(x11->connection());
            if (auto sway = isWaylandSession() ? SwayIpc::connectToSession() : nullptr) {
                return std::make_unique<SwayDesktopIntegration>(std::move(integration), std::move(sway));
            }
            return integration;
        }
    }
    return std::make_unique<NoDesktopIntegration>();
}

void whenGlobalMenuAvailable(QObject* context, std::function<void()> available) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) {
        return;
    }
    auto* call = new QDBusPendingCallWatcher(
        bus.interface()->asyncCall(QStringLiteral("NameHasOwner"), QStringLiteral("com.canonical.AppMenu.Registrar")),
        context);
    QObject::connect(call, &QDBusPendingCallWatcher::finished, context,
                     [available = std::move(available)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         const QDBusPendingReply<bool> reply = *finished;
                         if (!reply.isError() && reply.value()) {
                             available();
                         }
                     });
}

} // namespace pindle
