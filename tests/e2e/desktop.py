#!/usr/bin/python3
"""The one private desktop of every end-to-end, stress, packaging and benchmark run: a display
(Xvfb, or sway or GNOME Shell headless with XWayland), a window manager, a tray or a real panel, a
hermetic session bus, private folders, condition waits; logs and a screenshot kept on failure.

    desktop.py [--desktop NAME] [--screenshot PNG] COMMAND [ARGUMENT ...]

runs COMMAND on a fresh desktop NAME (default "bare": openbox, no tray), with --screenshot taken
once it has run 2 s, and exits with its status.
"""

import argparse
import contextlib
import json
import os
import pwd
import re
import select
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


def wait_for(condition, timeout=5.0, interval=0.02, what="condition"):
    """Polls `condition` until it returns something truthy, and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def holds_for(condition, duration, interval=0.02):
    deadline = time.monotonic() + duration
    while time.monotonic() < deadline:
        if not condition():
            return False
        time.sleep(interval)
    return True


def wait_steady(query, duration=0.5, timeout=10.0, what="a steady value"):
    def steady():
        value = query()
        return value if value and holds_for(lambda: query() == value, duration) else None
    return wait_for(steady, timeout, what=what)


# --- The desktops ----------------------------------------------------------------------------------
# wm: the window manager; bar: the command of the panel holding the tray, config: the file written
# for it ({edge}, {Edge}: where the bar is, {p}: that as xfce4-panel numbers it); tray: how Pindle's
# icon shows ("xembed" a window of Pindle's, "sni" drawn by the bar); services: D-Bus services the
# bus may start; wayland: the compositor Pindle reaches through XWayland; anchor "centre": nothing
# tells the panel where the icon is; needs: the programs the row runs.

XFCE_PANEL = """<?xml version="1.0" encoding="UTF-8"?><channel name="xfce4-panel" version="1.0">
<property name="configver" type="int" value="2"/><property name="panels" type="array"><value type="int" value="1"/>
<property name="panel-1" type="empty"><property name="position" type="string" value="p={p};x=0;y=0"/>
<property name="length" type="uint" value="100"/><property name="size" type="uint" value="30"/>
<property name="position-locked" type="bool" value="true"/>
<property name="plugin-ids" type="array"><value type="int" value="1"/><value type="int" value="2"/></property>
</property></property><property name="plugins" type="empty"><property name="plugin-1" type="string" value="separator">
<property name="expand" type="bool" value="true"/><property name="style" type="uint" value="0"/></property>
<property name="plugin-2" type="string" value="systray"/></property></channel>"""
LXQT_PANEL = ("[General]\n__userfile__=true\npanels=panel1\n[panel1]\nplugins=statusnotifier\nposition={Edge}\n"
              "panelSize=32\niconSize=22\nwidth=100\nwidth-percent=true\ndesktop=0\n[statusnotifier]\n"
              "type=statusnotifier\nalignment=Right\n")
TINT2 = ("panel_items = S\npanel_position = {edge} right horizontal\npanel_size = 100% 30\npanel_background_id = 1\n"
         "strut_policy = follow_size\npanel_layer = top\nrounded = 0\nborder_width = 0\n"
         "background_color = #202020 100\nsystray_padding = 4 3 4\nsystray_icon_size = 22\n")
LXPANEL = ("Global {{\nedge={edge}\nwidthtype=percent\nwidth=100\nheight=28\nsetdocktype=1\nsetpartialstrut=1\n"
           "iconsize=22\n}}\nPlugin {{\ntype=space\nexpand=1\n}}\nPlugin {{\ntype=tray\n}}\n")
WAYBAR = '{{"layer": "top", "position": "top", "height": 30, "modules-right": ["tray"], "tray": {{"icon-size": 20}}}}'
OPENBOX = ["openbox", "--sm-disable"]
XFCE = dict(wm=["xfwm4", "--compositor=on"], bar=["xfce4-panel", "--disable-wm-check"], tray="sni",
            config=("config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml", XFCE_PANEL),
            services=["org.xfce.Xfconf"], env={"XDG_CURRENT_DESKTOP": "XFCE"}, needs=["xfwm4", "xfce4-panel"])

DESKTOPS = {
    "bare": dict(wm=OPENBOX, bar=None, needs=["openbox"]),
    "openbox": dict(wm=OPENBOX, tray="xembed", needs=["openbox", "trayer"],
                    bar=["trayer", "--edge", "{edge}", "--align", "right", "--widthtype", "request", "--height", "24",
                         "--SetDockType", "true", "--SetPartialStrut", "true", "--transparent", "false"]),
    "xfce-top": dict(XFCE, compositor_off=["xfconf-query", "-c", "xfwm4", "-p", "/general/use_compositing", "-s",
                                           "false"]),
    "xfce-bottom": dict(XFCE, edge="bottom"),
    "lxqt": dict(wm=OPENBOX, bar=["lxqt-panel"], config=("config/lxqt/panel.conf", LXQT_PANEL), edge="bottom",
                 tray="sni", env={"XDG_CURRENT_DESKTOP": "LXQt"}, needs=["openbox", "lxqt-panel"]),
    "lxpanel": dict(wm=OPENBOX, bar=["lxpanel", "--profile", "pindle"], tray="xembed", needs=["openbox", "lxpanel"],
                    config=("config/lxpanel/pindle/panels/panel", LXPANEL)),
    "tint2": dict(wm=OPENBOX, bar=["tint2", "-c", "{config}"], config=("tint2rc", TINT2), edge="bottom",
                  tray="xembed", needs=["openbox", "tint2"]),
    # The AppIndicator extension of GNOME Shell (Debian's uuid), enabled on the running shell.
    "gnome": dict(wayland="gnome", tray="sni", anchor="centre", env={"XDG_CURRENT_DESKTOP": "GNOME"},
                  needs=["gnome-shell", "/usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com"],
                  bar=["gdbus", "call", "--session", "--dest", "org.gnome.Shell", "--object-path", "/org/gnome/Shell",
                       "--method", "org.gnome.Shell.Extensions.EnableExtension", "ubuntu-appindicators@ubuntu.com"]),
    "sway": dict(wayland="sway", bar=["waybar", "-c", "{config}", "-s", "/dev/null"], config=("waybar.json", WAYBAR),
                 tray="sni", anchor="centre", env={"XDG_CURRENT_DESKTOP": "sway"}, needs=["sway", "waybar", "grim"]),
}

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:dir={root}</listen><servicedir>{root}/services</servicedir>
<auth>EXTERNAL</auth><policy context="default"><allow user="*"/><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
"""
TEST_USER = "pindle-e2e"
WATCHER = "org.kde.StatusNotifierWatcher"
SNI = "org.kde.StatusNotifierItem"


class Desktop:
    """A desktop of kind `desktop` (a key of DESKTOPS) with its bar started, `pindle` the program
    its start_pindle runs."""

    def __init__(self, pindle=None, desktop="openbox"):
        self.profile = DESKTOPS[desktop]
        self.edge = self.profile.get("edge", "top")
        self.wayland = self.profile.get("wayland")
        self.root = tempfile.mkdtemp(prefix=f"pindle-{desktop}-")
        os.chmod(self.root, 0o755)
        # sway refuses to run as root, and XWayland lets in only the user that started it: a system
        # user of the harness's own runs the Wayland side, from a copy of the program it can reach.
        self.user = self._test_user() if self.wayland and os.geteuid() == 0 else None
        self.pindle_binary = shutil.copy(pindle, self.root) if pindle and self.user else pindle
        self.data_home, self.runtime = os.path.join(self.root, "data"), os.path.join(self.root, "runtime")
        for folder in ("data", "runtime", "config", "cache", "services"):
            os.makedirs(os.path.join(self.root, folder), mode=0o700)
            if self.user and folder != "services":
                os.chown(os.path.join(self.root, folder), self.user.pw_uid, self.user.pw_gid)
        # Pindle's icons, as a package installs them, for the bars that look them up by name.
        for kind, name in (("scalable", "pindle.svg"), ("symbolic", "pindle-symbolic.svg")):
            os.makedirs(os.path.join(self.root, "share/icons/hicolor", kind, "apps"))
            shutil.copy(os.path.join(HERE, "../../packaging/icons", name),
                        os.path.join(self.root, "share/icons/hicolor", kind, "apps"))
        self.children, self.pindle, self.tray, self.xvfb, self.icon, self.bar_before, self._bus = [], *[None] * 6
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("WAYLAND_", "DBUS_", "QT_", "XDG_", "SWAYSOCK", "SESSION_MANAGER"))}
        self.env.update(XDG_DATA_HOME=self.data_home, XDG_RUNTIME_DIR=self.runtime, HOME=self.root,
                        XDG_CONFIG_HOME=os.path.join(self.root, "config"), XDG_CACHE_HOME=os.path.join(self.root, "cache"),
                        XDG_DATA_DIRS=f"{self.root}/share:/usr/local/share:/usr/share", GSETTINGS_BACKEND="memory",
                        NO_AT_BRIDGE="1", **self.profile.get("env", {}))
        try:
            self.env["DBUS_SESSION_BUS_ADDRESS"] = self._start_bus(self.root, self.profile.get("services", []))
            if self.wayland == "gnome":
                self._start_gnome()
            elif self.wayland == "sway":
                self._start_sway()
            else:
                self._start_x()
            if self.profile["bar"]:
                self.start_bar()
        except BaseException:
            self.close(keep=True)
            raise

    # -- processes ---------------------------------------------------------------------------------

    def spawn(self, argv, name, pass_fds=(), as_user=True):
        """Starts `argv` in a process group of its own, its output in the log `name`.log."""
        with open(os.path.join(self.root, name + ".log"), "ab") as log:
            process = subprocess.Popen(argv, env=self.env, stdout=log, stderr=log, start_new_session=True,
                                       pass_fds=pass_fds, preexec_fn=self._as_user if as_user else None)
        self.children.append(process)
        return process

    def _read_line(self, argv, name, as_user=True):
        """Starts `argv`, which writes one line to the fd given as {fd} when ready: returns the line."""
        read_end, write_end = os.pipe()
        self.spawn([a.format(fd=write_end) for a in argv], name, (write_end,), as_user)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            line = pipe.readline().strip() if select.select([pipe], [], [], 10)[0] else ""
        if not line:
            raise RuntimeError(f"{name} did not start (log in {self.root})")
        return line

    def _as_user(self):
        if self.user:
            os.setgid(self.user.pw_gid)
            os.setuid(self.user.pw_uid)

    @staticmethod
    def _test_user():
        # Made on first use; once there, useradd only says so.
        subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", TEST_USER],
                       capture_output=True)
        return pwd.getpwnam(TEST_USER)

    def write(self, name, text):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        if self.user:
            os.chown(path, self.user.pw_uid, self.user.pw_gid)
        return path

    def _start_bus(self, root, services=()):
        """A bus that starts only the services named, never whatever portals, file managers or
        input methods the machine has installed. Returns its address."""
        for name in services:
            shutil.copy(f"/usr/share/dbus-1/services/{name}.service", os.path.join(root, "services"))
        config = self.write(os.path.join(root, "bus.conf"), BUS_CONFIG.format(root=root))
        return self._read_line(["dbus-daemon", "--config-file", config, "--nofork", "--nopidfile",
                                "--print-address={fd}"], "dbus-daemon", as_user=False)

    def _start_x(self):
        # PINDLE_DISPLAYS=FIRST-LAST keeps to a range of display numbers; else Xvfb picks a free one.
        first, _, last = os.environ.get("PINDLE_DISPLAYS", "").partition("-")
        for number in range(int(first), int(last) + 1) if first else [None]:
            if number is not None and os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            try:
                self.display = ":" + self._read_line(
                    ["Xvfb", *([f":{number}"] if number is not None else []), "-displayfd", "{fd}", "-screen", "0",
                     f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp", "-noreset"], "xvfb")
                break
            except RuntimeError:
                continue
        else:
            raise RuntimeError(f"no free display in {first}-{last}")
        self.xvfb = self.children[-1]
        self.env["DISPLAY"] = self.display
        self.spawn(self.profile["wm"], "wm")
        # The work area is the last thing openbox sets up before it manages windows.
        wait_for(lambda: "window id #" in self.x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]) and
                 "=" in self.x(["xprop", "-root", "_NET_WORKAREA"]), timeout=10, what="the window manager")

    def _start_gnome(self):
        """gnome-shell headless (unsafe mode, for its screenshots), Pindle on its XWayland."""
        # Where systemd runs, the shell asks logind on the system bus: a private bus stands in.
        os.makedirs(os.path.join(self.root, "system", "services"))
        self.env["DBUS_SYSTEM_BUS_ADDRESS"] = self._start_bus(os.path.join(self.root, "system"))
        self.env.update(XDG_SESSION_TYPE="wayland", WAYLAND_DISPLAY="wayland-0")
        self.spawn(["gnome-shell", "--unsafe-mode", "--headless", "--virtual-monitor", f"{WIDTH}x{HEIGHT}",
                    "--wayland"], "gnome-shell")
        log = os.path.join(self.root, "gnome-shell.log")
        self.display = self.env["DISPLAY"] = wait_for(
            lambda: (re.findall(r"public X11 display (:\d+)", self.read(log)) or [None])[0], 30, what="gnome-shell")
        self.env["XAUTHORITY"] = wait_for(lambda: next((os.path.join(self.runtime, n) for n in os.listdir(self.runtime)
                                                         if n.startswith(".mutter-Xwaylandauth")), None), what="XWayland")
        # Out of the overview it starts in, without banners, and the clock hidden, so the bar changes
        # only by the icons.
        script = ("Main.messageTray.bannerBlocked = true; Main.panel.statusArea.dateMenu.hide(); Main.overview.hide(); "
                  "!Main.layoutManager._startingUp && !Main.overview.visible")

        def ready():  # the shell's interface comes some time after its display
            with contextlib.suppress(dbus.DBusException):
                return self.shell().Eval(script)[1] == "true"
        wait_for(ready, timeout=30, what="the desktop")

    def _start_sway(self):
        config = self.write("sway.conf", f"output HEADLESS-1 resolution {WIDTH}x{HEIGHT} position 0 0\n"
                            "xwayland enable\nseat seat0 hide_cursor 0\n")
        self.env.update(WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman",
                        XDG_SESSION_TYPE="wayland")
        self.spawn(["sway", "-c", config], "sway")
        self.env["SWAYSOCK"] = wait_for(lambda: next((os.path.join(self.runtime, n) for n in os.listdir(self.runtime)
                                                       if n.startswith("sway-ipc")), None), timeout=10, what="sway")
        self.env["WAYLAND_DISPLAY"] = "wayland-1"
        # sway hands its XWayland display to what it starts.
        shown = os.path.join(self.runtime, "display")
        self.x(["swaymsg", "exec", f"echo $DISPLAY > {shown}"], check=True)
        self.display = self.env["DISPLAY"] = wait_for(lambda: self.read(shown).strip(), what="XWayland")

    def start_bar(self):
        """Starts the desktop's bar (again) and waits until it holds its place on the screen."""
        if self.tray:
            self.stop(self.tray)
        edges = dict(edge=self.edge, Edge=self.edge.capitalize(), p=6 if self.edge == "top" else 8)
        name, template = self.profile.get("config", (None, None))
        config = name and self.write(name, template.format(**edges))
        self.tray = self.spawn([a.format(config=config, **edges) for a in self.profile["bar"]], "bar")
        if self.wayland:
            wait_for(lambda: self.work_area()[1] > 0, timeout=15, what="the bar")
        else:
            wait_for(lambda: self.work_area() != (0, 0, WIDTH, HEIGHT), timeout=15, what="the bar's strut")
        # Drawn and settled: what the bar looks like without Pindle's icon, the first time.
        settled = wait_steady(lambda: self.picture(*self.bar_rect()), what="the bar to settle")
        self.bar_before = self.bar_before or settled

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
        """Starts Pindle; returns once its icon is in the tray (by default where there is one), else
        once it listens for later launches, right before its event loop starts."""
        self.pindle = self.spawn([self.pindle_binary, *arguments], "pindle")
        if wait_for_tray_icon is None:
            wait_for_tray_icon = self.tray is not None
        if wait_for_tray_icon:
            wait_for(self.tray_icon, timeout=10, what="the tray icon")
        else:
            socket = os.path.join(self.runtime, "pindle", "instance.socket")
            wait_for(lambda: os.path.exists(socket), timeout=10, what="Pindle to start")
        return self.pindle

    def close(self, keep=False):
        if self._bus:
            self._bus.close()
        # Pindle first, so it can write its notes while the display is still there.
        if self.pindle:
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
        """Runs a client of the desktop (xprop, xdotool, swaymsg…); returns what it printed."""
        result = subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=10, preexec_fn=self._as_user)
        if check and result.returncode != 0:
            raise AssertionError(f"{argv} failed: {result.stderr}")
        return result.stdout

    def xdotool(self, *arguments):
        return self.x(["xdotool", *arguments], check=True)

    def xprop(self, window, name):
        return self.x(["xprop", "-id", str(window), name]).split("=", 1)[-1].strip()

    def bus(self):
        if not self._bus:
            self._bus = dbus.bus.BusConnection(self.env["DBUS_SESSION_BUS_ADDRESS"])
        return self._bus

    def shell(self, name="org.gnome.Shell"):
        """GNOME Shell's D-Bus interface `name` (org.gnome.Shell.Screenshot: its screenshots)."""
        return dbus.Interface(self.bus().get_object(name, "/" + name.replace(".", "/")), name)

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
            out = subprocess.run(["grim", "-g", f"{x},{y} {w}x{h}", "-t", "ppm", "-"], env=self.env,
                                 preexec_fn=self._as_user, capture_output=True, check=True).stdout
            return out[len(out) - w * h * 3:]
        return subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "-depth", "8", "rgb:-"],
                              env=self.env, capture_output=True, check=True).stdout

    def window_info(self, window):
        """(x, y, width, height, viewable) of a window in root coordinates, or None."""
        out = self.x(["xwininfo", "-id", str(window)])
        if not out:
            return None
        field = lambda name: int(re.search(name + r":\s+(-?\d+)", out).group(1))  # noqa: E731
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"),
                "IsViewable" in out)

    def pindle_windows(self):
        """Pindle's named windows, with their (x, y, width, height, viewable); the tray icon embedded
        in the tray included."""
        tree = self.x(["xwininfo", "-root", "-tree"])
        windows = (str(int(m.group(1), 16)) for m in re.finditer(r'(0x[0-9a-f]+) "Pindle": \("pindle" "Pindle"\)', tree))
        return [(window, info) for window in windows if (info := self.window_info(window))]

    def panel(self):
        """The panel's window id (shown or not), once it exists."""
        return next((window for window, info in self.pindle_windows() if info[2] >= 300), None)

    def panel_window_geometry(self):
        info = (panel := self.panel()) and self.window_info(panel)
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
            return next((info[:4] for _, info in self.pindle_windows() if info[4] and info[2] < 100 and info[0] >= 0),
                        None)
        # The panel's shadow may reach over the bar: where the icon is, is learnt while it is hidden.
        if self.bar_before is None or (self.panel_window_geometry() and self.icon):
            return self.icon if self.bar_before else None
        bx, by, bw, bh = self.bar_rect()
        now = self.picture(*self.bar_rect())
        changed = [i // 3 for i in range(0, min(len(now), len(self.bar_before)), 3)
                   if now[i:i + 3] != self.bar_before[i:i + 3]]
        if len(changed) < 12:
            return None
        xs, ys = [i % bw for i in changed], [i // bw for i in changed]
        self.icon = (bx + min(xs), by + min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
        return self.icon

    def click_tray_icon(self, button=1):
        x, y, w, h = wait_for(self.tray_icon, what="the tray icon")
        if not self.wayland:
            return self.xdotool("mousemove", str(x + w // 2), str(y + h // 2), "click", str(button))
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
        watcher = self.bus().get_object(WATCHER, "/StatusNotifierWatcher")
        (item,) = watcher.Get(WATCHER, "RegisteredStatusNotifierItems", dbus_interface=dbus.PROPERTIES_IFACE)
        # "NAME/PATH", or "NAME@/PATH" as GNOME's AppIndicator extension lists them.
        name, _, path = item.replace("@/", "/").partition("/")
        item = self.bus().get_object(name, "/" + (path or "StatusNotifierItem"))
        menu_path = item.Get(SNI, "Menu", dbus_interface=dbus.PROPERTIES_IFACE)
        return item, dbus.Interface(self.bus().get_object(name, menu_path), "com.canonical.dbusmenu")

    def open_other_window(self):
        """A small xmessage window at the lower left, focused."""
        self.spawn(["xmessage", "-geometry", "320x120+80+560", "another program"], "xmessage")
        window = wait_for(lambda: self.x(["xdotool", "search", "--onlyvisible", "--class", "xmessage"]).split(),
                          what="the other window")[0]
        self.xdotool("windowactivate", "--sync", window)

    def screenshot(self, name):
        path = os.path.join(self.root, name)
        subprocess.run(["convert", "-size", f"{WIDTH}x{HEIGHT}", "-depth", "8", "rgb:-", path],
                       input=self.picture(0, 0, WIDTH, HEIGHT), check=True)
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
    """A test on a desktop of its own, kept with its logs and a screenshot of the end on failure."""

    PINDLE, desktop_kind = None, "openbox"

    def setUp(self):
        self.desktop = Desktop(self.PINDLE, self.desktop_kind)

    def tearDown(self):
        result = self._outcome.result
        failed = any(test is self for test, _ in result.failures + result.errors)
        try:
            if failed:  # the display may be gone with what failed: the desktop is closed all the same
                print("\nscreenshot:", self.desktop.screenshot("at-end.png"), file=sys.stderr)
        finally:
            self.desktop.close(keep=failed)


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
        process = subprocess.Popen(args.command, env=dict(desktop.env, QT_QPA_PLATFORM=os.environ.get(
            "QT_QPA_PLATFORM", "xcb")))
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
