#!/usr/bin/python3
"""End-to-end tests of `pindle` with the desktop services around it: a tray that starts after
Pindle, a StatusNotifierItem host (there first, or coming later), the desktop portal's global
shortcuts on a Wayland session (and the X11 fallback without them), and the portal's light or dark
preference. Each test runs on its own virtual X11 desktop with a private D-Bus session bus and
stand-in services (fake_desktop_services.py).

    desktop_e2e.py PINDLE_BINARY [TestName ...]
"""

import importlib.util
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, holds_for, wait_for  # noqa: E402

try:
    import dbus
except ImportError:  # reported by main()
    dbus = None

PINDLE = None
CONTROL = "org.pindle.test.Control"
PORTAL = "org.freedesktop.portal.Desktop"
WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
# A Wayland display that is named but not there: Pindle must still come up, through XWayland.
WAYLAND_SESSION = {"WAYLAND_DISPLAY": "wayland-pindle-test", "XDG_SESSION_TYPE": "wayland"}
# Only the login manager's word for it, as autostart may see before the compositor's variables.
WAYLAND_SESSION_TYPE = {"XDG_SESSION_TYPE": "wayland"}


class DesktopServicesTest(unittest.TestCase):
    tray = None

    def setUp(self):
        self.desktop = Desktop(PINDLE, tray=self.tray)
        self.bus = dbus.bus.BusConnection(self.desktop.start_session_bus())

    def tearDown(self):
        result = self._outcome.result
        failed = any(test is self for test, _ in result.failures + result.errors)
        if failed:
            print("\nscreenshot:", self.desktop.screenshot("at-end.png"), file=sys.stderr)
        self.bus.close()
        self.desktop.close(keep=failed)

    def control(self, name):
        """The stand-in services' control interface, reached through one of their bus names."""
        return dbus.Interface(self.bus.get_object(name, "/org/pindle/test"), CONTROL)

    def pixel(self, x, y):
        """(r, g, b) of the screen at (x, y)."""
        out = subprocess.run(["import", "-window", "root", "-crop", f"1x1+{x}+{y}", "-depth", "8", "rgb:-"],
                             env=self.desktop.env, capture_output=True, check=True).stdout
        return tuple(out[:3])

    def picture(self, x, y, w, h):
        return subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "rgb:-"],
                              env=self.desktop.env, capture_output=True, check=True).stdout


class LateTrayTest(DesktopServicesTest):
    def test_the_icon_docks_in_a_tray_that_starts_after_pindle(self):
        d = self.desktop
        d.start_pindle()
        self.assertTrue(holds_for(lambda: d.tray_icon() is None, 0.5))
        # The login order where the tray comes last.
        d.start_tray()
        wait_for(d.tray_icon, timeout=10, what="the icon to dock in the late tray")

        # The tray lays its icons out again once one has docked: click where it comes to rest.
        def settled():
            icon = d.tray_icon()
            return icon if icon and holds_for(lambda: d.tray_icon() == icon, 0.3) else None
        ix, iy, iw, ih = wait_for(settled, what="the icon to settle")
        d.click_tray_icon()
        wait_for(d.panel_active, timeout=10, what="the panel to open from the late tray")
        x, y, w, h = d.panel_geometry()
        self.assertEqual((x + w, y), (Desktop.WIDTH - 8, iy + ih + 6))


class StatusNotifierTest(DesktopServicesTest):
    def item(self):
        """Pindle's StatusNotifierItem, once it has registered with the watcher."""
        items = wait_for(lambda: list(self.control(WATCHER).Items()), what="Pindle to register its item")
        self.assertEqual(len(items), 1, items)
        name, path = items[0].split("/", 1)
        return self.bus.get_object(name, "/" + path)

    def test_the_item_registers_shows_the_icon_and_toggles_the_panel(self):
        d = self.desktop
        d.start_fake_services("--watcher")
        d.start_pindle(wait_for_tray_icon=False)
        item = self.item()
        properties = item.GetAll(ITEM, dbus_interface="org.freedesktop.DBus.Properties")
        self.assertEqual(properties["Title"], "Pindle")
        self.assertEqual(properties["Status"], "Active")
        self.assertEqual(properties["ToolTip"][2], "Pindle")
        # The icon goes as pixels, drawn in code: some of them must be opaque.
        pixmaps = properties["IconPixmap"]
        self.assertTrue(pixmaps, "no icon")
        width, height, argb = pixmaps[0]
        self.assertEqual(len(argb), width * height * 4)
        self.assertTrue(any(argb[i] for i in range(0, len(argb), 4)), "the icon is fully transparent")
        # No XEmbed icon besides it.
        self.assertIsNone(d.tray_icon())

        # A host passes clicks on: Activate toggles, ContextMenu brings up the menu.
        item.Activate(dbus.Int32(1200), dbus.Int32(10), dbus_interface=ITEM)
        wait_for(d.panel_active, what="Activate to open the panel")
        d.xdotool("type", "--delay", "5", "from the item")
        time.sleep(0.3)
        item.Activate(dbus.Int32(1200), dbus.Int32(10), dbus_interface=ITEM)
        wait_for(lambda: not d.panel_shown(), what="a second Activate to close the panel")
        self.assertIn("from the item", d.read_document())

        item.ContextMenu(dbus.Int32(1200), dbus.Int32(10), dbus_interface=ITEM)

        def menu():
            for window in d.pindle_windows():
                info = d.window_info(window)
                if info and info[4] and 100 <= info[2] < 300:
                    return info
            return None
        wait_for(menu, what="the context menu")

    def toggles(self, item):
        """Activate on `item` opens the panel and a second one closes it."""
        d = self.desktop
        item.Activate(dbus.Int32(1200), dbus.Int32(10), dbus_interface=ITEM)
        wait_for(d.panel_active, what="Activate to open the panel")
        time.sleep(0.3)  # past the reopen suppression
        item.Activate(dbus.Int32(1200), dbus.Int32(10), dbus_interface=ITEM)
        wait_for(lambda: not d.panel_shown(), what="a second Activate to close the panel")

    def test_the_item_registers_with_a_host_that_starts_after_pindle(self):
        d = self.desktop
        # The login order where the desktop's panel comes up last: first no watcher at all...
        d.start_pindle(wait_for_tray_icon=False)
        self.assertTrue(holds_for(lambda: d.pindle.poll() is None, 0.5), "Pindle ended without a tray")
        d.start_fake_services("--watcher")
        self.toggles(self.item())
        self.assertIsNone(d.tray_icon())

    def test_the_item_registers_once_the_watcher_has_a_host(self):
        d = self.desktop
        # ...then a watcher that runs before the host that shows the items registers with it.
        d.start_fake_services("--watcher", "--no-host")
        d.start_pindle(wait_for_tray_icon=False)
        self.assertTrue(holds_for(lambda: d.pindle.poll() is None, 0.5), "Pindle ended without a tray")
        self.control(WATCHER).SetHost(True)
        self.toggles(self.item())

    def test_the_item_comes_back_when_the_host_restarts(self):
        d = self.desktop
        watcher = d.start_fake_services("--watcher")
        d.start_pindle(wait_for_tray_icon=False)
        first = self.item().bus_name
        # The panel or the whole desktop shell restarting takes the watcher with it.
        d.stop(watcher)
        d.start_fake_services("--watcher")
        self.assertEqual(self.item().bus_name, first)


class WaylandHotKeyTest(DesktopServicesTest):
    def start_on_wayland(self, *services, session=WAYLAND_SESSION):
        d = self.desktop
        if services:
            d.start_fake_services(*services)
        d.env.update(session)
        d.start_pindle(wait_for_tray_icon=False)
        d.open_other_window()

    def test_the_portal_binds_ctrl_shift_y_and_its_presses_toggle_the_panel(self):
        d = self.desktop
        self.start_on_wayland("--shortcuts", "--settings", session=WAYLAND_SESSION_TYPE)
        portal = self.control(PORTAL)

        def bound():
            sessions = portal.Shortcuts()
            return [(name, properties) for shortcuts in sessions.values() for name, properties in shortcuts.items()]
        shortcuts = wait_for(bound, what="Pindle to bind its shortcut")
        self.assertEqual(len(shortcuts), 1, shortcuts)
        name, properties = shortcuts[0]
        self.assertEqual(properties["preferred_trigger"], "CTRL+SHIFT+y")
        self.assertTrue(properties["description"])

        self.assertTrue(portal.Press(name))
        wait_for(d.panel_active, what="the portal's Activated to open the panel")
        time.sleep(0.3)  # past the reopen suppression
        self.assertTrue(portal.Press(name))
        wait_for(lambda: not d.panel_shown(), what="a second press to close the panel")

        # The portal has the combination: Pindle does not grab it on the X server as well.
        time.sleep(0.3)
        d.xdotool("key", "ctrl+shift+y")
        self.assertTrue(holds_for(lambda: not d.panel_shown(), 0.5), "Pindle grabbed the key on X11 too")

    def test_without_the_portal_the_x11_grab_takes_over(self):
        d = self.desktop
        # A portal without global shortcuts (the Settings part only), as on many desktops today.
        self.start_on_wayland("--settings")
        d.xdotool("key", "ctrl+shift+y")
        wait_for(d.panel_active, what="the X11 hot key to open the panel")
        time.sleep(0.3)
        d.xdotool("key", "ctrl+shift+y")
        wait_for(lambda: not d.panel_shown(), what="the X11 hot key to close the panel")


class ColorSchemeTest(DesktopServicesTest):
    tray = "right"

    def editor_pixel(self):
        x, y, w, h = self.desktop.panel_geometry()
        return self.pixel(x + w // 2, y + h // 2)

    def icon_picture(self):
        return self.picture(*self.desktop.tray_icon())

    def test_the_panel_and_the_icon_follow_the_portal_live(self):
        d = self.desktop
        d.start_fake_services("--settings", "--color-scheme", "1")
        d.start_pindle()
        d.click_tray_icon()
        wait_for(d.panel_active, what="the panel")
        wait_for(lambda: max(self.editor_pixel()) < 80, what="a dark editor")
        d.screenshot("dark.png")
        d.xdotool("key", "Escape")
        wait_for(lambda: not d.panel_shown(), what="the panel to close")
        dark_icon = self.icon_picture()

        # The user switches while the panel is open.
        time.sleep(0.3)
        d.click_tray_icon()
        wait_for(d.panel_active, what="the panel")
        settings = self.control(PORTAL)
        settings.SetSetting("org.freedesktop.appearance", "color-scheme", dbus.UInt32(2, variant_level=1))
        wait_for(lambda: min(self.editor_pixel()) > 200, what="the editor to turn light while shown")
        d.screenshot("light.png")
        d.xdotool("key", "Escape")
        wait_for(lambda: not d.panel_shown(), what="the panel to close")
        self.assertNotEqual(self.icon_picture(), dark_icon, "the tray icon was not drawn for the light scheme")

        settings.SetSetting("org.freedesktop.appearance", "color-scheme", dbus.UInt32(1, variant_level=1))
        wait_for(lambda: self.icon_picture() == dark_icon, what="the tray icon to be drawn dark again")


def main():
    global PINDLE
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    # The stand-in services run on GLib's main loop.
    if dbus is None or importlib.util.find_spec("gi") is None:
        print("SKIP: python3-dbus or python3-gi is not installed (scripts/install-deps installs them)",
              file=sys.stderr)
        return 77
    PINDLE = os.path.abspath(sys.argv[1])
    argv = [sys.argv[0], "-v", *sys.argv[2:]]
    program = unittest.main(argv=argv, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
