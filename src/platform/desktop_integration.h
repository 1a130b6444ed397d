#pragma once

#include <QRect>

#include <functional>
#include <memory>
#include <optional>

class QMargins;
class QObject;
class QWidget;

namespace pindle {

// What the shell needs from the window manager for its floating panel. The X11 implementation
// speaks EWMH; elsewhere (Wayland without XWayland, the offscreen platform of the tests) the
// calls do nothing and no compositing is assumed.
class DesktopIntegration {
public:
    DesktopIntegration() = default;
    DesktopIntegration(const DesktopIntegration&) = delete;
    DesktopIntegration& operator=(const DesktopIntegration&) = delete;
    virtual ~DesktopIntegration() = default;

    // Whether a compositing manager runs now, so translucent windows (rounded corners, shadow)
    // are drawn as such.
    virtual bool compositing() const = 0;

    // Call before every show of `window` (a native top-level): shown on every virtual desktop,
    // left out of taskbars and pagers. The window manager drops these hints while the window is
    // hidden, so they are set again each time. `shadow` is the transparent margin the window
    // draws its shadow in (none without compositing): the window manager is told, so it places
    // and keeps on screen the card, not the shadow (_GTK_FRAME_EXTENTS, which xfwm4, mutter and
    // KWin honour for client-side shadows).
    virtual void prepareToShow(QWidget* window, const QMargins& shadow) = 0;

    // Call right after `window` was shown, for window managers that only honour the hints as
    // requests on a mapped window.
    virtual void shown(QWidget* window) = 0;

    // The screen's area left by the bars, where the compositor knows it and the X11 screen does
    // not (XWayland has no work area); none to take Qt's available geometry.
    virtual std::optional<QRect> workArea() { return std::nullopt; }
};

std::unique_ptr<DesktopIntegration> createDesktopIntegration();

// Calls `available` from the event loop once the session bus answers that the desktop shows
// application menus in its own bar (a com.canonical.AppMenu.Registrar runs), and never when it
// does not. Asks without blocking; the answer is dropped when `context` is gone.
void whenGlobalMenuAvailable(QObject* context, std::function<void()> available);

} // namespace pindle
