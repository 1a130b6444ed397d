#pragma once

namespace pindle {

// Whether the process runs in a Wayland session: WAYLAND_DISPLAY names the compositor, or the
// login manager set XDG_SESSION_TYPE to "wayland" (autostart may run before the compositor's
// variables reach every environment). Reads the process environment; callable before the
// QGuiApplication exists.
bool isWaylandSession();

} // namespace pindle
