#!/usr/bin/python3
"""The one private desktop every end-to-end, stress, packaging and benchmark run (and scripts/run)
starts Pindle on: a display of its own (Xvfb, or sway headless with XWayland), a window manager, a
tray or a real desktop panel, a hermetic D-Bus session bus, private data and runtime folders,
condition waits, and a screenshot and the logs kept when a test fails.

The desktops are rows of DESKTOPS; a new one is a few lines there.

    desktop.py [--desktop NAME] [--screenshot PNG] COMMAND [ARGUMENT ...]

runs COMMAND on a fresh desktop NAME (default "bare": openbox, no tray) with DISPLAY and the bus
set, writes a screenshot once COMMAND has run 2 s (with --screenshot) and exits with its status.
"""

import argparse
import json
import os
import pwd
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import dbus

HERE = os.path.dirname(os.path.abspath(__file__))
WIDTH, HEIGHT = 1280, 800


class Timeout(AssertionError):
    pass


def wait_for(condition, timeout=5.0, interval=0.02, what="condition"):
    """Polls `condition` until it returns something truthy, and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Timeout(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def holds_for(condition, duration, interval=0.02):
    """True when `condition` stays truthy for the whole `duration`."""
    deadline = time.monotonic() + duration
    while time.monotonic() < deadline:
        if not condition():
            return False
        time.sleep(interval)
    return True


# --- The desktops ----------------------------------------------------------------------------------
# wm: the window manager; bar: the panel holding the tray (a function below, or None); edge: where
# the bar is; tray: how Pindle's icon shows in it ("xembed" a window of Pindle's, "sni" drawn by the
# bar); services: D-Bus services the bus may start; wayland: sway headless with Pindle on XWayland.

XFCE_PANEL = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array"><value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p={p};x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/><value type="int" value="2"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator"><property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/></property>
    <property name="plugin-2" type="string" value="systray"/>
  </property>
</channel>
"""
LXQT_PANEL = """[General]
__userfile__=true
panels=panel1
[panel1]
plugins=statusnotifier
position={edge}
panelSize=32
iconSize=22
width=100
width-percent=true
desktop=0
[statusnotifier]
type=statusnotifier
alignment=Right
"""
TINT2 = """panel_items = S
panel_position = {edge} right horizontal
panel_size = 100% 30
panel_background_id = 1
strut_policy = follow_size
panel_layer = top
rounded = 0
border_width = 0
background_color = #202020 100
systray_padding = 4 3 4
systray_icon_size = 22
"""
LXPANEL = """Global {{
  edge={edge}
  widthtype=percent
  width=100
  height=28
  setdocktype=1
  setpartialstrut=1
  iconsize=22
}}
Plugin {{
  type=space
  expand=1
}}
Plugin {{
  type=tray
}}
"""
WAYBAR = {"layer": "top", "position": "top", "height": 30, "modules-right": ["tray"],
          "tray": {"icon-size": 20, "spacing": 4}}


def trayer(d, align="right"):
    return ["trayer", "--edge", d.edge, "--align", align, "--widthtype", "request", "--height", "24",
            "--SetDockType", "true", "--SetPartialStrut", "true", "--transparent", "false"]


def xfce4_panel(d):
    d.write("config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml",
            XFCE_PANEL.format(p=6 if d.edge == "top" else 8))
    return ["xfce4-panel", "--disable-wm-check"]


def lxqt_panel(d):
    d.write("config/lxqt/panel.conf", LXQT_PANEL.format(edge=d.edge.capitalize()))
    return ["lxqt-panel"]


def tint2(d):
    return ["tint2", "-c", d.write("tint2rc", TINT2.format(edge=d.edge))]


def lxpanel(d):
    d.write("config/lxpanel/pindle/panels/panel", LXPANEL.format(edge=d.edge))
    return ["lxpanel", "--profile", "pindle"]


def appindicator(d):
    """The AppIndicator extension of GNOME Shell (Debian's uuid), enabled on the running shell."""
    return ["gdbus", "call", "--session", "--dest", "org.gnome.Shell", "--object-path", "/org/gnome/Shell",
            "--method", "org.gnome.Shell.Extensions.EnableExtension", "ubuntu-appindicators@ubuntu.com"]


def waybar(d):
    return ["waybar", "-c", d.write("waybar.json", json.dumps(WAYBAR)), "-s", d.write("waybar.css", "")]


DESKTOPS = {
    "bare": dict(wm=["openbox", "--sm-disable"], bar=None),
    "openbox": dict(wm=["openbox", "--sm-disable"], bar=trayer, tray="xembed"),
    "xfce-top": dict(wm=["xfwm4", "--compositor=on"], bar=xfce4_panel, tray="sni",
                     services=["org.xfce.Xfconf"], env={"XDG_CURRENT_DESKTOP": "XFCE"},
                     compositor_off=["xfconf-query", "-c", "xfwm4", "-p", "/general/use_compositing", "-s", "false"]),
    "xfce-bottom": dict(wm=["xfwm4", "--compositor=on"], bar=xfce4_panel, edge="bottom", tray="sni",
                        services=["org.xfce.Xfconf"], env={"XDG_CURRENT_DESKTOP": "XFCE"}),
    "lxqt": dict(wm=["openbox", "--sm-disable"], bar=lxqt_panel, edge="bottom", tray="sni",
                 env={"XDG_CURRENT_DESKTOP": "LXQt"}),
    "lxpanel": dict(wm=["openbox", "--sm-disable"], bar=lxpanel, tray="xembed"),
    "tint2": dict(wm=["openbox", "--sm-disable"], bar=tint2, edge="bottom", tray="xembed"),
    "gnome": dict(wm=None, bar=appindicator, tray="sni", wayland="gnome", anchor="centre",
                  env={"XDG_CURRENT_DESKTOP": "GNOME"}),
    "sway": dict(wm=None, bar=waybar, tray="sni", wayland="sway", anchor="centre", env={"XDG_CURRENT_DESKTOP": "sway"}),
}

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:dir={root}</listen><servicedir>{root}/services</servicedir>
<auth>EXTERNAL</auth><policy context="default"><allow user="*"/><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>
"""
TEST_USER = "pindle-e2e"
WATCHER = "org.kde.StatusNotifierWatcher"
SNI = "org.kde.StatusNotifierItem"


class Desktop:
    """A desktop of kind `desktop` (a key of DESKTOPS). `tray` picks trayer's alignment on "openbox"
    ("right", "center"); `bar=False` starts the desktop without its bar (see start_bar)."""

    WIDTH, HEIGHT = WIDTH, HEIGHT

    def __init__(self, pindle=None, desktop="openbox", tray="right", bar=True, edge=None):
        if tray is None and desktop == "openbox":
            desktop = "bare"
        self.kind = desktop
        self.profile = DESKTOPS[desktop]
        self.edge = edge or self.profile.get("edge", "top")
        self.align = tray or "right"
        self.root = tempfile.mkdtemp(prefix=f"pindle-{desktop}-")
        self.wayland = self.profile.get("wayland", False)
        self.user = self._test_user() if self.wayland and os.geteuid() == 0 else None
        os.chmod(self.root, 0o755)
        # The test user may not reach into the build folder (a clone under /root).
        self.pindle_binary = shutil.copy(pindle, self.root) if pindle and self.user else pindle
        self.data_home = os.path.join(self.root, "data")
        self.runtime = os.path.join(self.root, "runtime")
        os.makedirs(self.data_home)
        os.makedirs(self.runtime, mode=0o700)
        os.makedirs(os.path.join(self.root, "services"))
        self.children = []
        self.buses = []
        self.pindle = self.tray = self.xvfb = self.icon = None
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("WAYLAND_", "DBUS_", "QT_", "XDG_", "SWAYSOCK", "SESSION_MANAGER"))}
        self.env.update(XDG_DATA_HOME=self.data_home, XDG_RUNTIME_DIR=self.runtime,
                        XDG_CONFIG_HOME=os.path.join(self.root, "config"), XDG_CACHE_HOME=os.path.join(self.root, "cache"),
                        GSETTINGS_BACKEND="memory", NO_AT_BRIDGE="1", HOME=self.root,
                        XDG_DATA_DIRS=f"{self.root}/share:/usr/local/share:/usr/share", **self.profile.get("env", {}))
        # Pindle's installed icons, as a package puts them, for the bars that look them up by name.
        icons = os.path.join(HERE, "..", "..", "packaging", "icons")
        for kind in ("scalable", "symbolic"):
            name = "pindle.svg" if kind == "scalable" else "pindle-symbolic.svg"
            os.makedirs(os.path.join(self.root, "share/icons/hicolor", kind, "apps"))
            shutil.copy(os.path.join(icons, name), os.path.join(self.root, "share/icons/hicolor", kind, "apps"))
        try:
            self._start_bus()
            if self.wayland:
                self._start_sway() if self.wayland == "sway" else self._start_gnome()
            else:
                self._start_x()
                self._spawn(self.profile["wm"], "wm")
                # The work area is the last thing openbox sets up before it manages windows.
                wait_for(lambda: "window id #" in self.x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]) and
                         "=" in self.x(["xprop", "-root", "_NET_WORKAREA"]), timeout=10, what="the window manager")
            self.bar_before = None
            if bar and self.profile["bar"]:
                self.start_bar()
        except BaseException:
            self.close(keep=True)
            raise

    # -- processes ---------------------------------------------------------------------------------

    def write(self, name, text):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        if self.user:
            os.chown(path, self.user.pw_uid, self.user.pw_gid)
        return path

    def _as_user(self):
        """On the Wayland desktop, everything but the bus runs as the test user: XWayland lets in
        only the user that started it."""
        if self.user:
            os.setgid(self.user.pw_gid)
            os.setuid(self.user.pw_uid)

    def _test_user(self):
        """sway refuses to run as root: a system user of the harness's own runs the Wayland side."""
        try:
            return pwd.getpwnam(TEST_USER)
        except KeyError:
            subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin",
                            TEST_USER], check=True, capture_output=True)
            return pwd.getpwnam(TEST_USER)

    def _read_line(self, argv, name):
        """Starts `argv`, which writes one line to the fd given as {fd}; returns that line."""
        read_end, write_end = os.pipe()
        self._spawn([a.format(fd=write_end) for a in argv], name, pass_fds=(write_end,))
        os.close(write_end)
        line = b""
        deadline = time.monotonic() + 10
        while not line.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 256)
            if not chunk:
                break
            line += chunk
        os.close(read_end)
        if not line.strip():
            raise RuntimeError(f"{name} did not start (log in {self.root})")
        return line.decode().strip()

    def _start_bus(self):
        """A session bus that starts only the services the desktop names, never whatever portals,
        file managers or input methods the machine has installed."""
        for name in self.profile.get("services", []):
            shutil.copy(f"/usr/share/dbus-1/services/{name}.service", os.path.join(self.root, "services"))
        config = self.write("bus.conf", BUS_CONFIG.format(root=self.root))
        address = self._read_line(["dbus-daemon", "--config-file", config, "--nofork", "--nopidfile",
                                   "--print-address={fd}"], "dbus-daemon")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def _start_x(self):
        # PINDLE_DISPLAYS=FIRST-LAST keeps to a range of display numbers; else Xvfb picks a free one.
        first, _, last = os.environ.get("PINDLE_DISPLAYS", "").partition("-")
        for number in range(int(first), int(last) + 1) if first else [None]:
            if number is not None and os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            argv = ["Xvfb", *([f":{number}"] if number is not None else []), "-displayfd", "{fd}", "-screen", "0",
                    f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp", "-noreset"]
            try:
                self.display = ":" + self._read_line(argv, "xvfb")
                break
            except RuntimeError:
                continue
        else:
            raise RuntimeError(f"no free display in {first}-{last}")
        self.xvfb = self.children[-1]
        self.env["DISPLAY"] = self.display

    def _own_folders(self):
        if self.user:
            for folder in ("runtime", "data", "config", "cache"):
                os.makedirs(os.path.join(self.root, folder), exist_ok=True)
                os.chown(os.path.join(self.root, folder), self.user.pw_uid, self.user.pw_gid)

    def _start_gnome(self):
        """gnome-shell headless (unsafe mode, for its screenshots), Pindle on its XWayland."""
        self._own_folders()
        # Where systemd runs, the shell asks logind on the system bus: a private bus stands in.
        system = os.path.join(self.root, "system")
        os.makedirs(os.path.join(system, "services"))
        config = self.write("system/bus.conf", BUS_CONFIG.format(root=system))
        self.env["DBUS_SYSTEM_BUS_ADDRESS"] = self._read_line(
            ["dbus-daemon", "--config-file", config, "--nofork", "--nopidfile", "--print-address={fd}"], "dbus-daemon")
        self.env.update(XDG_SESSION_TYPE="wayland", WAYLAND_DISPLAY="wayland-0")
        self._spawn(["gnome-shell", "--unsafe-mode", "--headless", "--virtual-monitor", f"{WIDTH}x{HEIGHT}",
                     "--wayland"], "gnome-shell")
        log = os.path.join(self.root, "gnome-shell.log")
        self.display = wait_for(lambda: (re.findall(r"public X11 display (:\d+)", self.read(log)) or [None])[0],
                                timeout=30, what="gnome-shell")
        self.env["DISPLAY"] = self.display
        self.env["XAUTHORITY"] = wait_for(lambda: next((os.path.join(self.runtime, n) for n in os.listdir(self.runtime)
                                                         if n.startswith(".mutter-Xwaylandauth")), None), what="XWayland")
        # Out of the overview it starts in, without banners, and the clock hidden, so the bar changes
        # only by the icons.
        wait_for(lambda: self.shell_eval(
            "Main.messageTray.bannerBlocked = true; Main.panel.statusArea.dateMenu.hide(); Main.overview.hide(); "
            "!Main.layoutManager._startingUp && !Main.overview.visible") == "true", timeout=30, what="the desktop")

    def shell(self, name="org.gnome.Shell"):
        """The shell's D-Bus interface `name` (org.gnome.Shell.Screenshot: its screenshots)."""
        bus = dbus.bus.BusConnection(self.env["DBUS_SESSION_BUS_ADDRESS"])
        self.buses.append(bus)
        return dbus.Interface(bus.get_object(name, "/" + name.replace(".", "/")), name)

    def shell_eval(self, script):
        try:
            return str(self.shell().Eval(script)[1])
        except dbus.DBusException:
            return None

    def _start_sway(self):
        self._own_folders()
        config = self.write("sway.conf", f"output HEADLESS-1 resolution {WIDTH}x{HEIGHT} position 0 0\n"
                            "xwayland enable\nseat seat0 hide_cursor 0\n")
        self.env.update(WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman",
                        XDG_SESSION_TYPE="wayland")
        self._spawn(["sway", "-c", config], "sway")
        socket = wait_for(lambda: next((os.path.join(self.runtime, n) for n in os.listdir(self.runtime)
                                        if n.startswith("sway-ipc")), None), timeout=10, what="sway")
        self.env.update(SWAYSOCK=socket, WAYLAND_DISPLAY="wayland-1")
        # sway hands its XWayland display to what it starts.
        shown = os.path.join(self.runtime, "display")
        self.x(["swaymsg", "exec", f"echo $DISPLAY > {shown}"], check=True)
        self.display = wait_for(lambda: os.path.exists(shown) and self.read(shown).strip(), what="XWayland")
        self.env["DISPLAY"] = self.display

    def _spawn(self, argv, name, pass_fds=()):
        log = open(os.path.join(self.root, name + ".log"), "ab")
        process = subprocess.Popen(argv, env=self.env, stdout=log, stderr=log, start_new_session=True,
                                   pass_fds=pass_fds, preexec_fn=self._as_user if name != "dbus-daemon" else None)
        log.close()
        self.children.append(process)
        return process

    def start_bar(self):
        """Starts the desktop's bar (again) and waits until it holds its place on the screen."""
        if self.tray:
            self.stop(self.tray)
        bar = self.profile["bar"]
        argv = bar(self, self.align) if bar is trayer else bar(self)
        self.tray = self._spawn(argv, "bar")
        if self.wayland:
            wait_for(lambda: self.work_area()[1] > 0, timeout=15, what="the bar")
        else:
            wait_for(lambda: self.work_area() != (0, 0, WIDTH, HEIGHT), timeout=15, what="the bar's strut")
        # Drawn and settled: what the bar looks like without Pindle's icon, the first time.
        settled = wait_for(lambda: (lambda s: s if holds_for(lambda: self.bar_picture() == s, 0.5) else None)(
            self.bar_picture()), timeout=10, what="the bar to settle")
        self.bar_before = self.bar_before or settled

    def start_portal(self, *options):
        """tests/e2e/fake_portal.py with `options`, once it owns its name."""
        line = self._read_line(["/usr/bin/python3", os.path.join(HERE, "fake_portal.py"), "--ready-fd", "{fd}",
                                *options], "fake-portal")
        if not line.startswith("ready"):
            raise RuntimeError(f"the portal stand-in did not start: {line!r}")
        return self.children[-1]

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
        log = open(os.path.join(self.root, "pindle.log"), "ab")
        self.pindle = subprocess.Popen([self.pindle_binary, *arguments], env=self.env, stdout=log, stderr=log,
                                       preexec_fn=self._as_user)
        log.close()
        self.children.append(self.pindle)
        if wait_for_tray_icon is None:
            wait_for_tray_icon = self.tray is not None
        if wait_for_tray_icon:
            wait_for(self.tray_icon, timeout=10, what="the tray icon")
        else:
            # Listening for later launches comes right before the event loop starts.
            socket = os.path.join(self.runtime, "pindle", "instance.socket")
            wait_for(lambda: os.path.exists(socket), timeout=10, what="Pindle to start")
        return self.pindle

    def run_pindle(self, *arguments, timeout=10):
        return subprocess.run([self.pindle_binary, *arguments], env=self.env, capture_output=True, timeout=timeout,
                              preexec_fn=self._as_user)

    def close(self, keep=False):
        for bus in self.buses:
            bus.close()
        # Pindle first, so it can write its notes while the display is still there.
        if self.pindle and self.pindle.poll() is None:
            self.stop(self.pindle, timeout=2)
        # Asked to end, X servers remove their sockets and lock files.
        for sig, grace in ((signal.SIGTERM, 1), (signal.SIGKILL, 5)):
            for process in reversed(self.children):
                if process.poll() is None:
                    try:
                        os.killpg(process.pid, sig)
                        process.wait(grace)
                    except (ProcessLookupError, subprocess.TimeoutExpired):
                        pass
        if keep or os.environ.get("PINDLE_E2E_KEEP"):
            print("logs kept in", self.root, file=sys.stderr)
        else:
            shutil.rmtree(self.root, ignore_errors=True)

    # -- queries -----------------------------------------------------------------------------------

    def x(self, argv, check=False):
        result = subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=10, preexec_fn=self._as_user)
        if check and result.returncode != 0:
            raise AssertionError(f"{argv} failed: {result.stderr}")
        return result.stdout

    def xdotool(self, *arguments):
        return self.x(["xdotool", *arguments], check=True)

    def xprop(self, window, name):
        return self.x(["xprop", "-id", str(window), name]).split("=", 1)[-1].strip()

    def work_area(self):
        """(x, y, width, height) of the screen minus the bars."""
        if self.wayland == "sway":
            workspaces = json.loads(self.x(["swaymsg", "-r", "-t", "get_workspaces"]) or "[]")
            rect = next((w["rect"] for w in workspaces if w.get("focused")), None)
            return (rect["x"], rect["y"], rect["width"], rect["height"]) if rect else (0, 0, WIDTH, HEIGHT)
        numbers = re.findall(r"\d+", self.x(["xprop", "-root", "_NET_WORKAREA"]).split("=", 1)[-1])
        return tuple(int(n) for n in numbers[:4]) if len(numbers) >= 4 else (0, 0, WIDTH, HEIGHT)

    def bar_rect(self):
        """The strip of the screen the bar takes."""
        x, y, w, h = self.work_area()
        return (0, 0, WIDTH, y) if self.edge == "top" else (0, y + h, WIDTH, HEIGHT - y - h)

    def picture(self, x, y, w, h):
        """The screen's pixels in the rectangle, as rows of RGB bytes."""
        if self.wayland == "gnome":
            path = os.path.join(self.runtime, "area.png")
            self.shell("org.gnome.Shell.Screenshot").ScreenshotArea(x, y, w, h, False, path)
            return subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
        if self.wayland:
            out = subprocess.run(["grim", "-g", f"{x},{y} {w}x{h}", "-t", "ppm", "-"], env=self.env, preexec_fn=self._as_user,
                                 capture_output=True, check=True).stdout
            return out[len(out) - w * h * 3:]
        return subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "-depth", "8", "rgb:-"],
                              env=self.env, capture_output=True, check=True).stdout

    def bar_picture(self):
        return self.picture(*self.bar_rect())

    def window_info(self, window):
        """(x, y, width, height, viewable) of a window in root coordinates, or None."""
        out = self.x(["xwininfo", "-id", str(window)])
        if not out:
            return None
        field = lambda name: int(re.search(name + r":\s+(-?\d+)", out).group(1))  # noqa: E731
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"),
                "IsViewable" in out)

    def pindle_windows(self):
        """Pindle's named windows, the tray icon embedded in the tray included."""
        tree = self.x(["xwininfo", "-root", "-tree"])
        return [str(int(m.group(1), 16)) for m in re.finditer(r'(0x[0-9a-f]+) "Pindle": \("pindle" "Pindle"\)', tree)]

    def panel(self):
        """The panel's window id (shown or not), once it exists."""
        for window in self.pindle_windows():
            info = self.window_info(window)
            if info and info[2] >= 300:
                return window
        return None

    def panel_window_geometry(self):
        info = self.window_info(self.panel()) if self.panel() else None
        return info if info and info[4] else None

    def panel_geometry(self):
        """The card's rectangle (the window without its shadow margins) when shown, else None."""
        info = self.panel_window_geometry()
        if not info:
            return None
        x, y, w, h, _ = info
        extents = [int(n) for n in re.findall(r"\d+", self.xprop(self.panel(), "_GTK_FRAME_EXTENTS"))]
        left, right, top, bottom = extents if len(extents) == 4 else (0, 0, 0, 0)
        return (x + left, y + top, w - left - right, h - top - bottom)

    def panel_shown(self):
        return self.panel_geometry() is not None

    def panel_active(self):
        window = self.panel()
        return window is not None and self.panel_shown() and self.x(["xdotool", "getactivewindow"]).strip() == window

    def tray_icon(self):
        """(x, y, width, height) of Pindle's icon in the bar, once shown: its window in an XEmbed
        tray, else the part of the bar that changed since Pindle started."""
        if self.profile.get("tray") == "xembed":
            for window in self.pindle_windows():
                info = self.window_info(window)
                if info and info[4] and info[2] < 100 and info[0] >= 0:
                    return info[:4]
            return None
        # The panel's shadow may reach over the bar: where the icon is, is learnt while it is hidden.
        if self.bar_before is None or (self.panel_window_geometry() and self.icon):
            return self.icon if self.bar_before else None
        bx, by, bw, bh = self.bar_rect()
        now = self.bar_picture()
        changed = [i // 3 for i in range(0, min(len(now), len(self.bar_before)), 3)
                   if now[i:i + 3] != self.bar_before[i:i + 3]]
        if len(changed) < 12:
            return None
        xs = [i % bw for i in changed]
        ys = [i // bw for i in changed]
        self.icon = (bx + min(xs), by + min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
        return self.icon

    def click(self, x, y, button=1, modifiers=()):
        keys = [a for m in modifiers for a in ("keydown", m)]
        self.xdotool("mousemove", str(x), str(y), *keys, "click", str(button),
                     *[a for m in modifiers for a in ("keyup", m)])

    def click_tray_icon(self, button=1, modifiers=()):
        x, y, w, h = wait_for(self.tray_icon, what="the tray icon")
        if not self.wayland:
            return self.click(x + w // 2, y + h // 2, button, modifiers)
        # Headless sway has no pointer: the bar's calls are made as waybar makes them on a click,
        # Activate with the point in its own widget, or showing the item's menu. XWayland's pointer
        # stays where it last crossed an X11 window, far from the bar.
        self.xdotool("mousemove", "40", str(HEIGHT - 40))
        item, menu = self.status_notifier_item()
        if button == 1:
            item.Activate(dbus.Int32(w // 2), dbus.Int32(h // 2), dbus_interface=SNI)
        else:
            menu.AboutToShow(0)
            menu.Event(0, "opened", dbus.Int32(0, variant_level=1), dbus.UInt32(0))

    def status_notifier_item(self):
        """Pindle's StatusNotifierItem, as the watcher lists it, and its exported menu."""
        bus = dbus.bus.BusConnection(self.env["DBUS_SESSION_BUS_ADDRESS"])
        self.buses.append(bus)
        watcher = bus.get_object(WATCHER, "/StatusNotifierWatcher")
        (item,) = watcher.Get(WATCHER, "RegisteredStatusNotifierItems", dbus_interface=dbus.PROPERTIES_IFACE)
        # "NAME/PATH", or "NAME@/PATH" as GNOME's AppIndicator extension lists them.
        name, _, path = item.replace("@/", "/").partition("/")
        item = bus.get_object(name, "/" + (path or "StatusNotifierItem"))
        menu_path = item.Get(SNI, "Menu", dbus_interface=dbus.PROPERTIES_IFACE)
        return item, dbus.Interface(bus.get_object(name, menu_path), "com.canonical.dbusmenu")

    def open_other_window(self, text="another program"):
        """A small xmessage window at the lower left, focused."""
        process = self._spawn(["xmessage", "-geometry", "320x120+80+560", text], "xmessage")
        window = wait_for(lambda: self.x(["xdotool", "search", "--onlyvisible", "--class", "xmessage"]).split(),
                          what="the other window")[0]
        self.xdotool("windowactivate", "--sync", window)
        return process, window

    def screenshot(self, name):
        path = os.path.join(self.root, name)
        if self.wayland == "gnome":
            self.shell("org.gnome.Shell.Screenshot").Screenshot(False, False, os.path.join(self.runtime, name))
            shutil.copy(os.path.join(self.runtime, name), path)
        elif self.wayland:
            with open(path, "wb") as f:
                f.write(subprocess.run(["grim", "-"], env=self.env, capture_output=True, preexec_fn=self._as_user).stdout)
        else:
            self.x(["import", "-window", "root", path])
        return path

    def document(self):
        return os.path.join(self.data_home, "Pindle", "notes.json")

    @staticmethod
    def read(path):
        if not os.path.exists(path):
            return ""
        with open(path, encoding="utf-8") as f:
            return f.read()

    def read_document(self):
        return self.read(self.document())


class DesktopTest(unittest.TestCase):
    """A test on its own desktop (`desktop`, `tray` as Desktop takes them): kept with its logs and a
    screenshot of the end when it fails."""

    PINDLE = None
    desktop_kind = "openbox"
    tray = "right"

    def setUp(self):
        self.desktop = Desktop(self.PINDLE, self.desktop_kind, tray=self.tray)

    def tearDown(self):
        result = self._outcome.result
        failed = any(test is self for test, _ in result.failures + result.errors)
        if failed:
            print("\nscreenshot:", self.desktop.screenshot("at-end.png"), file=sys.stderr)
        self.desktop.close(keep=failed)

    def shot(self, name):
        """A screenshot to look at, kept with PINDLE_E2E_KEEP=1."""
        path = self.desktop.screenshot(name)
        if os.environ.get("PINDLE_E2E_KEEP"):
            print("\nscreenshot:", path, file=sys.stderr)


def run_tests(doc):
    """unittest's main for a suite script taking PINDLE_BINARY first."""
    if len(sys.argv) < 2:
        print(doc, file=sys.stderr)
        return 2
    DesktopTest.PINDLE = os.path.abspath(sys.argv[1])
    program = unittest.main(argv=[sys.argv[0], "-v", *sys.argv[2:]], exit=False)
    return 0 if program.result.wasSuccessful() else 1


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("--desktop", default="bare", choices=sorted(DESKTOPS))
    parser.add_argument("--screenshot")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    if not args.command:
        parser.error("no command")
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    desktop = Desktop(desktop=args.desktop)
    try:
        platform = os.environ.get("QT_QPA_PLATFORM", "xcb")
        process = subprocess.Popen(args.command, env=dict(desktop.env, QT_QPA_PLATFORM=platform))
        if args.screenshot:
            time.sleep(2)
            shutil.copy(desktop.screenshot("shot.png"), args.screenshot)
            print(f"{args.command[0]} runs on {desktop.display}; screenshot: {args.screenshot}", file=sys.stderr)
        return process.wait()
    except (KeyboardInterrupt, SystemExit):
        process.terminate()
        return process.wait()
    finally:
        desktop.close()


if __name__ == "__main__":
    sys.exit(main())
