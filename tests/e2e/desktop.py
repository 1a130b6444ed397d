"""A throw-away X11 desktop for end-to-end tests: Xvfb on a display number of its own, openbox,
optionally a trayer system tray, and private data and runtime folders for Pindle."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time


class TimeoutError_(AssertionError):
    pass


def wait_for(condition, timeout=5.0, interval=0.02, what="condition"):
    """Polls `condition` until it returns something truthy; fails after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError_(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def holds_for(condition, duration, interval=0.02):
    """True when `condition` stays truthy for the whole `duration`."""
    deadline = time.monotonic() + duration
    while time.monotonic() < deadline:
        if not condition():
            return False
        time.sleep(interval)
    return True


class Desktop:
    WIDTH = 1280
    HEIGHT = 800
    TRAY_HEIGHT = 24

    def __init__(self, pindle, tray="right"):
        self.pindle_binary = pindle
        self.root = tempfile.mkdtemp(prefix="pindle-e2e-")
        self.data_home = os.path.join(self.root, "data")
        self.runtime = os.path.join(self.root, "runtime")
        os.makedirs(self.data_home)
        os.makedirs(self.runtime, mode=0o700)
        self.children = []
        self.pindle = None
        self._start_x()
        self.env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM", "SESSION_MANAGER"):
            self.env.pop(name, None)
        self.env.update(DISPLAY=self.display, XDG_DATA_HOME=self.data_home, XDG_RUNTIME_DIR=self.runtime,
                        XDG_CONFIG_HOME=os.path.join(self.root, "config"))
        try:
            self._spawn(["openbox", "--sm-disable"], "openbox")
            # The work area is the last thing openbox sets up before it manages windows.
            wait_for(lambda: "window id #" in self.x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]) and
                     "=" in self.x(["xprop", "-root", "_NET_WORKAREA"]), what="openbox")
            self.tray = None
            if tray:
                self.start_tray(tray)
        except BaseException:
            self.close(keep=True)
            raise

    # -- processes -------------------------------------------------------------------------------

    def _start_x(self):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{self.WIDTH}x{self.HEIGHT}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 10
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            xvfb.kill()
            raise RuntimeError("Xvfb did not start")
        self.xvfb = xvfb
        self.display = ":" + number.decode().strip()

    def _spawn(self, argv, name, pass_fds=()):
        with open(os.path.join(self.root, name + ".log"), "ab") as log:
            process = subprocess.Popen(argv, env=self.env, stdout=log, stderr=log, start_new_session=True,
                                       pass_fds=pass_fds)
        self.children.append(process)
        return process

    def start_tray(self, align="right"):
        if self.tray:
            self.stop(self.tray)
        self.tray = self._spawn(["trayer", "--edge", "top", "--align", align, "--widthtype", "request",
                                 "--height", str(self.TRAY_HEIGHT), "--SetDockType", "true",
                                 "--SetPartialStrut", "true", "--transparent", "false"], "trayer")
        wait_for(lambda: self.x(["xprop", "-root", "_NET_WORKAREA"]).count(f", {self.TRAY_HEIGHT}, ") > 0,
                 what="the tray's strut")

    def start_session_bus(self):
        """A private D-Bus session bus for everything started from now on; its address."""
        read_end, write_end = os.pipe()
        self._spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--print-address={write_end}"],
                    "dbus-daemon", pass_fds=(write_end,))
        os.close(write_end)
        address = b""
        deadline = time.monotonic() + 10
        while not address.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 256)
            if not chunk:
                break
            address += chunk
        os.close(read_end)
        if not address.strip():
            raise RuntimeError("dbus-daemon did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address.decode().strip()
        return self.env["DBUS_SESSION_BUS_ADDRESS"]

    def start_fake_services(self, *options):
        """tests/e2e/fake_desktop_services.py with `options` on the private session bus, once
        its names are owned."""
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fake_desktop_services.py")
        with open(os.path.join(self.root, "fake-services.log"), "ab") as log:
            process = subprocess.Popen(["/usr/bin/python3", script, *options], env=self.env,
                                       stdout=subprocess.PIPE, stderr=log, start_new_session=True)
        self.children.append(process)
        line = process.stdout.readline()
        process.stdout.close()
        if not line.startswith(b"ready"):
            raise RuntimeError(f"the fake desktop services did not start: {line!r}")
        return process

    def stop(self, process, sig=signal.SIGTERM, timeout=5):
        if process.poll() is None:
            process.send_signal(sig)
            try:
                process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        return process.returncode

    def start_pindle(self, *arguments, wait_for_tray_icon=None):
        with open(os.path.join(self.root, "pindle.log"), "ab") as log:
            self.pindle = subprocess.Popen([self.pindle_binary, *arguments], env=self.env, stdout=log, stderr=log)
        self.children.append(self.pindle)
        if wait_for_tray_icon is None:
            wait_for_tray_icon = self.tray is not None
        if wait_for_tray_icon:
            wait_for(self.tray_icon, what="the tray icon")
        else:
            # Listening for later launches comes right before the event loop starts.
            socket = os.path.join(self.runtime, "pindle", "instance.socket")
            wait_for(lambda: os.path.exists(socket), what="Pindle to start")
        return self.pindle

    def run_pindle(self, *arguments, timeout=10):
        return subprocess.run([self.pindle_binary, *arguments], env=self.env, capture_output=True, timeout=timeout)

    def close(self, keep=False):
        for process in reversed(self.children):
            if process.poll() is None:
                process.kill()
                process.wait()
        if self.xvfb.poll() is None:
            self.xvfb.kill()
            self.xvfb.wait()
        if keep or os.environ.get("PINDLE_E2E_KEEP"):
            print("logs kept in", self.root, file=sys.stderr)
        else:
            shutil.rmtree(self.root, ignore_errors=True)

    # -- X11 queries -----------------------------------------------------------------------------

    def x(self, argv, check=False):
        result = subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=10)
        if check and result.returncode != 0:
            raise AssertionError(f"{argv} failed: {result.stderr}")
        return result.stdout

    def xdotool(self, *arguments):
        return self.x(["xdotool", *arguments], check=True)

    def window_info(self, window):
        """(x, y, width, height, viewable) of a window in root coordinates, or None."""
        out = self.x(["xwininfo", "-id", str(window)])
        if not out:
            return None
        field = lambda name: int(re.search(name + r":\s+(-?\d+)", out).group(1))
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"),
                "IsViewable" in out)

    def pindle_windows(self):
        """Pindle's named windows, the tray icon embedded in the tray included (which xdotool's
        search does not find)."""
        tree = self.x(["xwininfo", "-root", "-tree"])
        return [str(int(m.group(1), 16)) for m in re.finditer(r'(0x[0-9a-f]+) "Pindle": \("pindle" "Pindle"\)', tree)]

    def panel(self):
        """The panel's window id (shown or not), once it exists."""
        for window in self.pindle_windows():
            info = self.window_info(window)
            if info and info[2] >= 300:
                return window
        return None

    def panel_geometry(self):
        """The panel's rectangle when it is shown, else None."""
        window = self.panel()
        info = self.window_info(window) if window else None
        return info[:4] if info and info[4] else None

    def panel_shown(self):
        return self.panel_geometry() is not None

    def panel_active(self):
        window = self.panel()
        return window is not None and self.panel_shown() and self.x(["xdotool", "getactivewindow"]).strip() == window

    def tray_icon(self):
        """(x, y, width, height) of Pindle's icon in the tray, once it is docked and shown."""
        for window in self.pindle_windows():
            info = self.window_info(window)
            if info and info[4] and info[2] < 100 and info[0] >= 0:
                return info[:4]
        return None

    def click_tray_icon(self, button=1):
        x, y, w, h = self.tray_icon()
        self.xdotool("mousemove", str(x + w // 2), str(y + h // 2), "click", str(button))

    def open_other_window(self, text="another program"):
        """A small xmessage window at the lower left, focused."""
        process = self._spawn(["xmessage", "-geometry", "320x120+80+560", text], "xmessage")
        window = wait_for(lambda: self.x(["xdotool", "search", "--onlyvisible", "--class", "xmessage"]).split(),
                          what="the other window")[0]
        self.xdotool("windowactivate", "--sync", window)
        return process, window

    def screenshot(self, name):
        path = os.path.join(self.root, name)
        self.x(["import", "-window", "root", path])
        return path

    def document(self):
        return os.path.join(self.data_home, "Pindle", "notes.json")

    def read_document(self):
        try:
            with open(self.document(), encoding="utf-8") as f:
                return f.read()
        except FileNotFoundError:
            return ""
