#!/usr/bin/python3
"""The real `pindle` in the real bar of each desktop of desktop.py's DESKTOPS, driven with xdotool
(DesktopMatrix): the icon in a bar started after Pindle; the panel by the bar centred on the icon,
with its window hints, corners, shadow and highlighted icon; a click after Ctrl+W opens it, a
second closes it, a right click shows the menu whose "Quit Pindle" quits with the text on disk.
LaunchTest (openbox): --show-panel waits for the icon to dock; typing is written as X goes away.

    desktops_e2e.py PINDLE_BINARY DESKTOP [TestName ...]
"""

import os
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import DESKTOPS, WIDTH, DesktopTest, wait_for, wait_steady  # noqa: E402

import dbus  # noqa: E402


class DesktopMatrix(DesktopTest):
    def test_in_the_bar(self):
        d, row = self.desktop, self.desktop.profile
        # Pindle first, the bar after it, as autostart may have it.
        d.stop(d.tray)
        d.start_pindle(wait_for_tray_icon=False)
        d.start_bar()
        icon = wait_steady(d.tray_icon, timeout=15, what="the icon to settle in the bar")
        plain = d.picture(*icon)
        ax, ay, aw, ah = d.work_area()

        d.click_tray_icon()
        wait_for(d.panel_active, what="a click to open the panel")
        x, y, w, h = d.panel_geometry()
        gap = y - ay if d.edge == "top" else (ay + ah) - (y + h)
        if row.get("anchor", "icon") == "icon":
            centre = min(max(icon[0] + icon[2] / 2 - w / 2, ax + 8), ax + aw - 8 - w)
        else:  # No usable anchor: the top centre of the area left by the bar.
            centre = ax + aw / 2 - w / 2
        print(f"\n{self.desktop_kind}: icon {icon}, work area {(ax, ay, aw, ah)}, card {(x, y, w, h)}: "
              f"{gap} px from the bar, {ax + aw - x - w} px from the right edge", file=sys.stderr)
        self.assertEqual((w, h, gap), (360, 520, 6 if d.edge == "top" else 8))
        self.assertLessEqual(abs(x - centre), 1)
        # On every workspace, out of taskbars and pagers, above other windows, as the X11 window
        # managers keep the hints (sway's XWayland keeps only its own states).
        if d.wayland != "sway":
            states = d.xprop(d.panel(), "_NET_WM_STATE")
            for state in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_ABOVE"):
                self.assertIn(state, states)
            self.assertEqual(d.xprop(d.panel(), "_NET_WM_DESKTOP"), str(0xFFFFFFFF))
        if row["tray"] == "xembed":
            wait_for(lambda: d.picture(*icon) != plain, what="the icon highlighted while the panel is shown")
        # The card's corners and, under a compositor, its shadow, read against the desktop once the
        # panel is closed again (not the caret: it blinks).
        shadowed = d.panel_window_geometry()[:4] != (x, y, w, h)  # the window has shadow margins
        framed = wait_steady(lambda: self.frame(x, y, w, h), 0.3, what="the panel to be drawn")
        d.xdotool("type", "--delay", "10", "on the desktop")
        wait_for(lambda: "on the desktop" in d.read_document(), what="the text in notes.json")

        # Closed with Ctrl+W, the next plain click opens rather than showing the menu.
        d.xdotool("key", "ctrl+w")
        wait_for(lambda: not d.panel_shown(), what="Ctrl+W to close the panel")
        time.sleep(0.3)  # past the quarter second in which a click does not reopen
        d.click_tray_icon()
        wait_for(d.panel_active, what="a click after Ctrl+W to open the panel")
        time.sleep(0.3)
        d.click_tray_icon()
        wait_for(lambda: not d.panel_shown(), what="a second click to close the panel")
        if row["tray"] == "xembed":
            wait_for(lambda: d.picture(*icon) == plain, what="the plain icon")
        hidden = self.frame(x, y, w, h)
        for corner, (shown, behind) in enumerate(zip(framed[:4], hidden)):
            self.assertLessEqual(max(abs(a - b) for a, b in zip(shown, behind)), 24, f"corner {corner} is not cut round")
        # A shadow is seen only against a desktop lighter than black (not an X11 root without a wallpaper).
        if shadowed and min(hidden[4]) >= 16:
            self.assertLess(max(framed[4]), min(hidden[4]) - 2, "no shadow under the card")
        if row.get("compositor_off"):
            # The compositor goes while Pindle runs: the next opening is a plain card, as placed.
            d.x(row["compositor_off"], check=True)
            time.sleep(1)
        time.sleep(0.3)

        # A right click on the open panel's icon: the panel closes, the menu shows.
        d.click_tray_icon()
        wait_for(d.panel_active, what="the panel")
        if row.get("compositor_off"):
            self.assertEqual(d.panel_window_geometry()[:4], (x, y, w, h))
        beside = self.menu_area(icon)
        before = d.picture(*beside)
        d.click_tray_icon(button=3)
        wait_for(lambda: not d.panel_shown(), what="a right click to close the panel")
        if d.wayland:
            # The menu is the bar's, beyond xdotool's reach: "Quit Pindle" is chosen as the bar does.
            _, menu = d.status_notifier_item()
            _, (_, _, children) = menu.GetLayout(0, -1, ["label"])
            (quit_item,) = [i for i, p, _ in children if str(p.get("label", "")).replace("&", "") == "Quit Pindle"]
            menu.Event(quit_item, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0))
        else:
            wait_for(lambda: d.picture(*beside) != before, what="the menu")
            d.xdotool("key", "Up", "Return")
        self.assertEqual(d.pindle.wait(10), 0)
        self.assertIn("on the desktop", d.read_document())

    def frame(self, x, y, w, h):
        """The pixels of the card's four corners, and one 4 px below the middle of its bottom edge."""
        picture = self.desktop.picture(x, y, w, h + 6)
        return [picture[(py * w + px) * 3:(py * w + px) * 3 + 3]
                for px, py in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1), (w // 2, h + 4))]

    def menu_area(self, icon):
        """The part of the screen a menu of the icon covers: beside it, towards the screen."""
        x = min(max(icon[0] - 100, 0), WIDTH - 260)
        _, ay, _, ah = self.desktop.work_area()
        return (x, ay, 260, 60) if self.desktop.edge == "top" else (x, ay + ah - 60, 260, 60)


class LaunchTest(DesktopTest):
    def test_shown_at_launch_by_the_docked_icon_and_written_when_the_x_server_goes(self):
        d = self.desktop
        d.start_pindle("--show-panel", wait_for_tray_icon=False)
        wait_for(d.panel_active, what="the panel")
        x, y, w, h = d.panel_geometry()
        self.assertEqual((x + w, y), (WIDTH - 8, d.work_area()[1] + 6))
        d.xdotool("type", "--delay", "5", "lastwords")
        # Typed 0.1 s before, inside the save pause: keys the server has sent but Qt has not yet
        # handled when the connection breaks are dropped by Qt itself.
        time.sleep(0.1)
        d.xvfb.kill()
        d.pindle.wait(5)
        self.assertIn("lastwords", d.read_document())


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    DesktopTest.PINDLE, DesktopTest.desktop_kind = os.path.abspath(sys.argv.pop(1)), sys.argv.pop(1)
    missing = [p for p in DESKTOPS[DesktopTest.desktop_kind]["needs"] if not (shutil.which(p) or os.path.exists(p))]
    if missing:
        sys.exit(print("SKIP: not installed:", *missing, "(scripts/install-deps installs them)", file=sys.stderr) or 77)
    sys.exit(not unittest.main(argv=[sys.argv[0], "-v", *sys.argv[1:]], exit=False).result.wasSuccessful())
