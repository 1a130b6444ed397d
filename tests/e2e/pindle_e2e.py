#!/usr/bin/python3
"""End-to-end tests of the real `pindle` on a virtual X11 desktop (Xvfb, openbox, trayer), driven
with xdotool. Each test gets its own display, data folder and runtime folder. The other endings
right after typing (SIGINT, SIGHUP, Ctrl+Q, the menu's Quit) are in tests/stress.

    pindle_e2e.py PINDLE_BINARY [TestName ...]
"""

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

    def open_from_tray(self):
        self.desktop.click_tray_icon()
        wait_for(self.desktop.panel_active, what="the panel to open and take the focus")

    def wait_closed(self):
        wait_for(lambda: not self.desktop.panel_shown(), timeout=3, interval=0.005, what="the panel to close")

    def type_and_wait_saved(self, text):
        self.desktop.xdotool("type", "--delay", "20", text)
        wait_for(lambda: text in self.desktop.read_document(), timeout=3, what=f"{text!r} in notes.json")

    def shot(self, name):
        """A screenshot to look at, kept with PINDLE_E2E_KEEP=1."""
        path = self.desktop.screenshot(name)
        if os.environ.get("PINDLE_E2E_KEEP"):
            print("\nscreenshot:", path, file=sys.stderr)

    def icon_picture(self):
        x, y, w, h = self.desktop.tray_icon()
        return subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "rgb:-"],
                              env=self.desktop.env, capture_output=True, check=True).stdout


class TrayTest(PindleTest):
    def test_tray_click_opens_the_panel_under_the_icon_and_highlights_it(self):
        d = self.desktop
        d.start_pindle()
        # Icon near the right edge: the panel's right edge ends 8 px inside the screen.
        ix, iy, iw, ih = d.tray_icon()
        plain = self.icon_picture()
        self.open_from_tray()
        self.assertEqual(d.panel_geometry(), (Desktop.WIDTH - 8 - 360, iy + ih + 6, 360, 520))
        self.assertNotEqual(self.icon_picture(), plain, "the icon is not highlighted while the panel is shown")
        self.shot("right.png")
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

    def test_the_context_menu_closes_the_panel_and_lets_go_of_the_icon(self):
        d = self.desktop
        d.start_pindle()
        self.open_from_tray()
        d.click_tray_icon(button=3)
        self.wait_closed()

        def menu():
            infos = (d.window_info(window) for window in d.pindle_windows())
            return next((info[:4] for info in infos if info and info[4] and 100 <= info[2] < 300), None)
        _, my, _, _ = wait_for(menu, what="the context menu")
        _, iy, _, ih = d.tray_icon()
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


class TypingAndClosingTest(PindleTest):
    def test_typed_text_is_saved_after_the_pause(self):
        self.desktop.start_pindle()
        self.open_from_tray()
        self.type_and_wait_saved("milk and eggs")
        self.assertTrue(self.desktop.panel_shown())

    def test_escape_ctrl_w_and_a_click_elsewhere_close_and_write_at_once(self):
        d = self.desktop
        d.start_pindle()
        d.open_other_window()
        for text, close in (("first", ["key", "Escape"]), ("second", ["key", "ctrl+w"]),
                            ("third", ["mousemove", "200", "600", "click", "1"])):
            self.open_from_tray()
            d.xdotool("type", "--delay", "5", text)
            d.xdotool(*close)
            self.wait_closed()
            # The close hides and then writes; the deferred save would come only 0.3 s after the last key.
            wait_for(lambda: text in d.read_document(), timeout=0.1, interval=0.005, what=f"{text!r} after {close}")
            time.sleep(0.3)

    def test_a_click_right_after_a_focus_loss_close_does_not_reopen(self):
        d = self.desktop
        d.start_pindle()
        d.open_other_window()
        self.open_from_tray()
        d.xdotool("mousemove", "200", "600", "click", "1")
        self.wait_closed()
        d.click_tray_icon()
        self.assertTrue(holds_for(lambda: not d.panel_shown(), 0.6), "the click reopened the panel")
        self.open_from_tray()


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
        self.type_and_wait_saved("numlock")


class KeyCommandTest(PindleTest):
    def test_ctrl_2_selects_the_second_note(self):
        d = self.desktop
        ids = [f"0b8a9c1e-8a52-4a36-9f3b-0d7d1f6a1c0{i}" for i in range(3)]
        notes = [{"color": "#f2545b", "createdAt": 1_700_000_000_000, "id": i, "text": i[-1],
                  "updatedAt": 1_700_000_000_000} for i in ids]
        os.makedirs(os.path.dirname(d.document()), exist_ok=True)
        with open(d.document(), "w", encoding="utf-8") as f:
            json.dump({"activeId": ids[0], "notes": notes}, f)
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
    def test_sigterm_right_after_typing_keeps_the_text(self):
        d = self.desktop
        pindle = d.start_pindle("--show-panel")
        wait_for(d.panel_active, what="the panel")
        d.xdotool("type", "--delay", "5", "sigterm")
        pindle.send_signal(signal.SIGTERM)
        self.assertEqual(pindle.wait(5), 0)
        self.assertIn("sigterm", d.read_document())

    def test_the_x_server_going_away_still_writes(self):
        d = self.desktop
        pindle = d.start_pindle("--show-panel")
        wait_for(d.panel_active, what="the panel")
        d.xdotool("type", "--delay", "5", "lastwords")
        # Typed 0.1 s before, inside the save pause: keys the server has sent but Qt has not yet
        # handled when the connection breaks are dropped by Qt itself.
        time.sleep(0.1)
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
    program = unittest.main(argv=[sys.argv[0], "-v", *sys.argv[2:]], exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
