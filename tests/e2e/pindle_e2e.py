#!/usr/bin/python3
"""End-to-end tests of the real `pindle` on a virtual X11 desktop (Xvfb, openbox, trayer), driven
with xdotool. Each test gets its own display, data folder and runtime folder.

    pindle_e2e.py PINDLE_BINARY [TestName ...]
"""

import ctypes
import json
import os
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, holds_for, wait_for  # noqa: E402

PINDLE = None
PANEL_WIDTH, PANEL_HEIGHT = 360, 520


def note(identifier, text, color="#f2545b", at=1_700_000_000_000):
    return {"color": color, "createdAt": at, "id": identifier, "text": text, "updatedAt": at}


class X11Grabber:
    """Another program holding Ctrl+Shift+Y: a raw Xlib client grabbing it on the root window."""

    def __init__(self, display):
        self.xlib = ctypes.CDLL("libX11.so.6")
        self.xlib.XOpenDisplay.restype = ctypes.c_void_p
        self.xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.xlib.XDefaultRootWindow.restype = ctypes.c_ulong
        self.xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.xlib.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.xlib.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.xlib.XGrabKey.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int,
                                       ctypes.c_int, ctypes.c_int]
        self.xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.xlib.XOpenDisplay(display.encode())
        assert self.display, "cannot open the display"
        root = self.xlib.XDefaultRootWindow(self.display)
        keycode = self.xlib.XKeysymToKeycode(self.display, 0x79)
        control_shift = 0x4 | 0x1
        self.xlib.XGrabKey(self.display, keycode, control_shift, root, 0, 1, 1)
        self.xlib.XSync(self.display, 0)

    def close(self):
        self.xlib.XCloseDisplay(self.display)


class PindleTest(unittest.TestCase):
    tray = "right"

    def setUp(self):
        self.desktop = Desktop(PINDLE, tray=self.tray)

    def tearDown(self):
        # On failure keep the folder with the logs and a screenshot of the end.
        result = self._outcome.result
        failed = any(test is self for test, _ in result.failures + result.errors)
        if failed:
            print("\nscreenshot:", self.desktop.screenshot("at-end.png"), file=sys.stderr)
        self.desktop.close(keep=failed)

    # Helpers ---------------------------------------------------------------------------------

    def open_from_tray(self):
        self.desktop.click_tray_icon()
        wait_for(self.desktop.panel_active, what="the panel to open and take the focus")

    def wait_closed(self, timeout=3):
        wait_for(lambda: not self.desktop.panel_shown(), timeout=timeout, interval=0.005, what="the panel to close")

    def wait_document_contains(self, text, timeout=3):
        wait_for(lambda: text in self.desktop.read_document(), timeout=timeout, what=f"{text!r} in notes.json")

    def shot(self, name):
        """A screenshot to look at, kept with PINDLE_E2E_KEEP=1."""
        path = self.desktop.screenshot(name)
        if os.environ.get("PINDLE_E2E_KEEP"):
            print("\nscreenshot:", path, file=sys.stderr)

    def icon_picture(self):
        x, y, w, h = self.desktop.tray_icon()
        return subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "rgb:-"],
                              env=self.desktop.env, capture_output=True, check=True).stdout

    def seed(self, notes, active):
        folder = os.path.dirname(self.desktop.document())
        os.makedirs(folder, exist_ok=True)
        with open(self.desktop.document(), "w", encoding="utf-8") as f:
            json.dump({"activeId": active, "notes": notes}, f, indent=2, sort_keys=True)


class TrayTest(PindleTest):
    def test_tray_click_opens_the_panel_under_the_icon_and_highlights_it(self):
        d = self.desktop
        d.start_pindle()

        # Icon near the right edge: the panel's right edge ends 8 px inside the screen.
        ix, iy, iw, ih = d.tray_icon()
        plain = self.icon_picture()
        self.open_from_tray()
        x, y, w, h = d.panel_geometry()
        self.assertEqual((w, h), (PANEL_WIDTH, PANEL_HEIGHT))
        self.assertEqual(x + w, Desktop.WIDTH - 8)
        self.assertEqual(y, iy + ih + 6)
        self.assertNotEqual(self.icon_picture(), plain, "the icon is not highlighted while the panel is shown")
        self.shot("right.png")

        # A second click on the icon closes it again and takes the highlight off.
        d.click_tray_icon()
        self.wait_closed()
        wait_for(lambda: self.icon_picture() == plain, what="the plain icon")

        # Icon in the middle of the top edge: the panel is centred under it.
        d.start_tray("center")
        wait_for(lambda: d.tray_icon() and abs(d.tray_icon()[0] - Desktop.WIDTH // 2) < 40, what="the icon to move")
        time.sleep(0.3)  # past the reopen suppression
        ix, iy, iw, ih = d.tray_icon()
        self.open_from_tray()
        x, y, w, h = d.panel_geometry()
        self.assertLessEqual(abs((x + w / 2) - (ix + iw / 2)), 1)
        self.assertEqual(y, iy + ih + 6)
        self.shot("centre.png")

    def test_show_panel_at_launch_waits_for_the_icon_to_dock(self):
        d = self.desktop
        d.start_pindle("--show-panel")
        wait_for(d.panel_active, what="the panel")
        ix, iy, iw, ih = d.tray_icon()
        x, y, w, h = d.panel_geometry()
        self.assertEqual((x + w, y), (Desktop.WIDTH - 8, iy + ih + 6))

    def test_the_context_menu_closes_the_panel_first_and_quits(self):
        d = self.desktop
        pindle = d.start_pindle()
        self.open_from_tray()
        d.xdotool("type", "--delay", "5", "via the menu")
        d.click_tray_icon(button=3)
        self.wait_closed()
        self.assertIn("via the menu", d.read_document())

        def menu():
            for window in d.pindle_windows():
                info = d.window_info(window)
                if info and info[4] and 100 <= info[2] < 300:
                    return info[:4]
            return None
        mx, my, mw, mh = wait_for(menu, what="the context menu")
        ix, iy, iw, ih = d.tray_icon()
        self.assertGreaterEqual(my, iy + ih)
        self.shot("menu.png")
        # Dismissed, the menu lets go of the icon: a left click toggles again. Ctrl with the left
        # button brings the menu back.
        d.xdotool("key", "Escape")
        wait_for(lambda: not menu(), what="the menu to close")
        time.sleep(0.3)
        self.open_from_tray()
        time.sleep(0.5)  # not a double click with the click that opened it
        x, y, w, h = d.tray_icon()
        d.xdotool("mousemove", str(x + w // 2), str(y + h // 2), "keydown", "ctrl", "click", "1", "keyup", "ctrl")
        self.wait_closed()
        wait_for(menu, what="the context menu after Ctrl+click")

        # The last item is "Quit Pindle".
        d.xdotool("key", "Up")
        d.xdotool("key", "Return")
        self.assertEqual(pindle.wait(5), 0)


class TypingAndClosingTest(PindleTest):
    def test_typed_text_is_saved_after_the_pause(self):
        d = self.desktop
        d.start_pindle()
        self.open_from_tray()
        d.xdotool("type", "--delay", "20", "milk and eggs")
        self.wait_document_contains("milk and eggs")
        self.assertTrue(d.panel_shown())

    def test_escape_ctrl_w_and_a_click_elsewhere_close_and_write_at_once(self):
        d = self.desktop
        d.start_pindle()
        _, other = d.open_other_window()
        for text, close in (("first", ["key", "Escape"]), ("second", ["key", "ctrl+w"]), ("third", None)):
            self.open_from_tray()
            d.xdotool("type", "--delay", "5", text)
            if close:
                d.xdotool(*close)
            else:
                d.xdotool("mousemove", "200", "600", "click", "1")
            self.wait_closed()
            # Read the moment the panel is gone: the close wrote it, not the later deferred save.
            self.assertIn(text, d.read_document(), f"closing with {close or 'a click elsewhere'}")
            time.sleep(0.3)

    def test_a_click_right_after_a_focus_loss_close_does_not_reopen(self):
        d = self.desktop
        d.start_pindle()
        _, other = d.open_other_window()
        self.open_from_tray()
        d.xdotool("mousemove", "200", "600", "click", "1")
        self.wait_closed()
        d.click_tray_icon()
        self.assertTrue(holds_for(lambda: not d.panel_shown(), 0.6), "the click reopened the panel")
        d.click_tray_icon()
        wait_for(d.panel_active, what="a later click to open the panel")


class HotKeyTest(PindleTest):
    def test_ctrl_shift_y_toggles_from_another_window_also_with_num_lock(self):
        d = self.desktop
        d.start_pindle()
        _, other = d.open_other_window()
        d.xdotool("key", "ctrl+shift+y")
        wait_for(d.panel_active, what="the hot key to open the panel")
        time.sleep(0.3)
        d.xdotool("key", "ctrl+shift+y")
        self.wait_closed()

        d.xdotool("key", "Num_Lock")
        d.xdotool("windowactivate", "--sync", other)
        time.sleep(0.3)
        d.xdotool("key", "ctrl+shift+y")
        wait_for(d.panel_active, what="the hot key with Num Lock on")
        d.xdotool("type", "numlock")
        self.wait_document_contains("numlock")

    def test_hot_key_follows_a_layout_change(self):
        d = self.desktop
        d.start_pindle()
        _, other = d.open_other_window()
        # German layout: "y" moves to the key that was "z".
        d.x(["setxkbmap", "de"], check=True)
        time.sleep(0.3)
        d.xdotool("key", "ctrl+shift+y")
        wait_for(d.panel_active, what="the hot key on the new layout")

    def test_a_hot_key_taken_by_another_program_leaves_pindle_working(self):
        d = self.desktop
        grabber = X11Grabber(d.display)
        try:
            d.start_pindle()
            _, other = d.open_other_window()
            d.xdotool("key", "ctrl+shift+y")
            self.assertTrue(holds_for(lambda: not d.panel_shown(), 0.5), "the other program's key opened the panel")
            self.open_from_tray()
        finally:
            grabber.close()


class KeyCommandTest(PindleTest):
    def test_ctrl_2_selects_the_second_note(self):
        ids = ["0b8a9c1e-8a52-4a36-9f3b-0d7d1f6a1c01", "0b8a9c1e-8a52-4a36-9f3b-0d7d1f6a1c02",
               "0b8a9c1e-8a52-4a36-9f3b-0d7d1f6a1c03"]
        self.seed([note(ids[0], "one"), note(ids[1], "two", "#f79256"), note(ids[2], "three", "#e8c547")], ids[0])
        d = self.desktop
        d.start_pindle()
        self.open_from_tray()
        d.xdotool("key", "ctrl+2")
        wait_for(lambda: json.loads(d.read_document())["activeId"] == ids[1], what="the second note to be active")
        d.xdotool("key", "ctrl+5")
        self.assertTrue(d.panel_shown())
        self.assertEqual(json.loads(d.read_document())["activeId"], ids[1])

    def test_caps_lock_stops_the_ctrl_commands_but_not_escape(self):
        d = self.desktop
        d.start_pindle()
        self.open_from_tray()
        d.xdotool("key", "Caps_Lock")
        d.xdotool("key", "ctrl+w")
        self.assertTrue(holds_for(d.panel_shown, 0.4), "Ctrl+W with Caps Lock closed the panel")
        d.xdotool("key", "Escape")
        self.wait_closed()


class EndingTest(PindleTest):
    def test_quit_signals_write_the_last_typing(self):
        d = self.desktop
        for sig, text in ((signal.SIGTERM, "sigterm"), (signal.SIGINT, "sigint"), (signal.SIGHUP, "sighup")):
            pindle = d.start_pindle("--show-panel")
            wait_for(d.panel_active, what="the panel")
            d.xdotool("type", "--delay", "5", text)
            pindle.send_signal(sig)
            self.assertEqual(pindle.wait(5), 0, f"exit status after {sig.name}")
            self.assertIn(text, d.read_document(), f"text typed before {sig.name}")

    def test_ctrl_q_quits_and_writes(self):
        d = self.desktop
        pindle = d.start_pindle("--show-panel")
        wait_for(d.panel_active, what="the panel")
        d.xdotool("type", "--delay", "5", "bye")
        d.xdotool("key", "ctrl+q")
        self.assertEqual(pindle.wait(5), 0)
        self.assertIn("bye", d.read_document())

    def test_the_x_server_going_away_still_writes(self):
        d = self.desktop
        pindle = d.start_pindle("--show-panel")
        wait_for(d.panel_active, what="the panel")
        d.xdotool("type", "--delay", "5", "lastwords")
        d.xvfb.kill()
        pindle.wait(5)
        self.assertIn("lastwords", d.read_document())


class NoTrayTest(PindleTest):
    tray = None

    def test_a_second_launch_opens_the_running_panel_at_the_fallback_anchor(self):
        d = self.desktop
        first = d.start_pindle()
        self.assertTrue(holds_for(lambda: not d.panel_shown(), 0.3))
        second = d.run_pindle()
        self.assertEqual(second.returncode, 0, second.stderr)
        wait_for(d.panel_active, what="the first instance's panel")
        x, y, w, h = d.panel_geometry()
        self.assertLessEqual(abs(x + w / 2 - Desktop.WIDTH / 2), 1)
        self.assertEqual(y, 6)
        self.assertIsNone(first.poll())

        # With --show-panel too, and the panel already open: it stays open.
        self.assertEqual(d.run_pindle("--show-panel").returncode, 0)
        self.assertTrue(holds_for(d.panel_shown, 0.3))

        # A crash leaves the lock file behind; the next start is not blocked by it.
        first.kill()
        first.wait()
        again = d.start_pindle()
        self.assertTrue(holds_for(lambda: again.poll() is None, 0.5), "the start after a crash gave up")
        self.assertEqual(d.run_pindle().returncode, 0)
        wait_for(d.panel_active, what="the panel of the instance started after the crash")


def main():
    global PINDLE
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    PINDLE = os.path.abspath(sys.argv[1])
    argv = [sys.argv[0], "-v", *sys.argv[2:]]
    program = unittest.main(argv=argv, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
