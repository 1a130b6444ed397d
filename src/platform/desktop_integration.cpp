#include "desktop_integration.h"

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
    void prepareToShow(QWidget*, const QMargins&) override {}
    void shown(QWidget*) override {}
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

} // namespace

std::unique_ptr<DesktopIntegration> createDesktopIntegration() {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>(); x11 && x11->connection()) {
            return std::make_unique<X11DesktopIntegration>(x11->connection());
        }
    }
    return std::make_unique<NoDesktopIntegration>();
}

} // namespace pindle
