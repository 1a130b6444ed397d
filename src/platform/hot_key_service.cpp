#include "hot_key_service.h"

#include "portal_hot_key_service.h"
#include "wayland_session.h"
#include "x11_hot_key_service.h"

#include <QDBusConnection>
#include <QGuiApplication>

namespace pindle {

namespace {

class NoHotKeyService final : public HotKeyService {
public:
    void setPressHandler(PressHandler /*handler*/) override {}
    bool registerHotKey(HotKeyId /*id*/, HotKeyCombination /*combination*/) override { return false; }
    void unregisterHotKey(HotKeyId /*id*/) override {}
};

} // namespace

std::unique_ptr<HotKeyService> createHotKeyService() {
    // On a Wayland session Pindle talks to XWayland, whose grabs only see keys typed into X11
    // windows: the portal is the real thing there when the desktop has it.
    if (isWaylandSession() && PortalHotKeyService::available(QDBusConnection::sessionBus())) {
        return std::make_unique<PortalHotKeyService>(QDBusConnection::sessionBus());
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto service = X11HotKeyService::create()) {
            return service;
        }
    }
    return std::make_unique<NoHotKeyService>();
}

} // namespace pindle
