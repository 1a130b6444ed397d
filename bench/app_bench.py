#!/usr/bin/python3
"""App-level benchmarks of the real `pindle` on a private virtual X11 desktop (Xvfb, openbox,
trayer): cold start and memory beside a bare Qt program, closing with Escape, opening the panel
with the hot key, idle wake-ups, and (with --panel-bench) the keystroke suite of bench/panel_bench
on the same desktop.

    app_bench.py PINDLE --baseline QT_BASELINE [--panel-bench PANEL_BENCH] [--runs N]
                 [--idle-seconds S] [--json FILE]

Every figure is a list of samples; bench/bench_table.py turns them into the report. Nothing here
asserts a time: the machine may be busy, and the numbers are for reading, with their spread.

How each figure is taken:
- long word: a note that is one word of 100 KB, 1 MiB or 10 MiB (a pasted blob): the panel shown
  and focused after a cold start, then from SIGTERM right behind 20 typed keys to the exit, and
  how many of those keys are not on disk.
- cold start: from just before the fork and exec of `pindle --show-panel` to the panel's window
  mapped on screen (the window manager's frame around it mapped), for a fresh data folder (whose
  first start writes the document) and for documents holding one 10 KB or 1 MB note, run for run
  in turn with bench/qt_baseline (a tray icon and a frameless 360x520 tool window, nothing else:
  the floor for a Qt program) measured the same way; resident (VmRSS), proportional (PSS) and private (USS: Private_Clean + Private_Dirty) memory 2 s
  after the window was mapped. Each Pindle run is set against the baseline run beside it: the
  ratio of the start times and the difference of resident memory.
- Escape: with a 10 MB note in the panel, from the Escape key press to the panel's frame
  unmapped (the save that follows may take longer, but not before the panel is gone).
- panel open: from the hot key press (sent with XTest, as xdotool does, but without starting a
  process in between) to the panel mapped and the window manager's active window; the first open
  after start (the panel exists, never shown) and later ones.
- idle: wake-ups per second of all the process's threads (voluntary and involuntary context
  switches in /proc/PID/task/*/status), one sample per second, with the panel hidden and with it
  shown and left alone.
"""

import argparse
import ctypes
import json
import os
import random
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from desktop import Desktop, wait_for  # noqa: E402

# --- Xlib through ctypes ----------------------------------------------------------------------------

CREATE_NOTIFY, MAP_NOTIFY, UNMAP_NOTIFY, REPARENT_NOTIFY, PROPERTY_NOTIFY = 16, 19, 18, 21, 28
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
PROPERTY_CHANGE_MASK = 1 << 22
XA_WINDOW = 33


class _Any(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong)]


class _Map(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class _Reparent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("parent", ctypes.c_ulong), ("x", ctypes.c_int), ("y", ctypes.c_int),
                ("override_redirect", ctypes.c_int)]


class _Property(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("atom", ctypes.c_ulong),
                ("time", ctypes.c_ulong), ("state", ctypes.c_int)]


class _Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xany", _Any), ("xmap", _Map), ("xreparent", _Reparent),
                ("xproperty", _Property), ("pad", ctypes.c_long * 24)]


def _xlib():
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XPending.argtypes = [ctypes.c_void_p]
    x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_Event)]
    x.XConnectionNumber.argtypes = [ctypes.c_void_p]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x.XFree.argtypes = [ctypes.c_void_p]
    x.XKeysymToKeycode.restype = ctypes.c_ubyte
    x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x.XGetWindowProperty.argtypes = [
        ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long, ctypes.c_int, ctypes.c_ulong,
        ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
    return x


class WindowWatch:
    """Records, with the monotonic time of arrival, what happens to top-level windows: reparenting
    (a window manager taking a window into its frame), mapping, unmapping, and every change of the
    window manager's active window. Runs on a thread of its own with a connection of its own."""

    def __init__(self, display):
        self.x = _xlib()
        self.display = self.x.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError("cannot open the display " + display)
        self.root = self.x.XDefaultRootWindow(self.display)
        self.active_atom = self.x.XInternAtom(self.display, b"_NET_ACTIVE_WINDOW", 0)
        self.x.XSelectInput(self.display, self.root, SUBSTRUCTURE_NOTIFY_MASK | PROPERTY_CHANGE_MASK)
        self.x.XSync(self.display, 0)
        self.events = []
        self.lock = threading.Lock()
        self.stopping = False
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _active_window(self):
        kind, fmt = ctypes.c_ulong(), ctypes.c_int()
        count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        status = self.x.XGetWindowProperty(self.display, self.root, self.active_atom, 0, 1, 0, XA_WINDOW,
                                           ctypes.byref(kind), ctypes.byref(fmt), ctypes.byref(count),
                                           ctypes.byref(after), ctypes.byref(data))
        window = 0
        if status == 0 and data.value:
            if count.value >= 1:
                window = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[0]
            self.x.XFree(data)
        return window

    def _run(self):
        fd = self.x.XConnectionNumber(self.display)
        event = _Event()
        while not self.stopping:
            if not self.x.XPending(self.display):
                select.select([fd], [], [], 0.05)
                continue
            self.x.XNextEvent(self.display, ctypes.byref(event))
            now = time.monotonic_ns()
            record = None
            if event.type == MAP_NOTIFY:
                record = ("map", event.xmap.window, 0)
            elif event.type == UNMAP_NOTIFY:
                record = ("unmap", event.xmap.window, 0)
            elif event.type == REPARENT_NOTIFY:
                record = ("reparent", event.xreparent.window, event.xreparent.parent)
            elif event.type == PROPERTY_NOTIFY and event.xproperty.atom == self.active_atom:
                record = ("active", self._active_window(), 0)
            if record:
                with self.lock:
                    self.events.append((now, *record))

    def mark(self):
        """The index from which later queries look."""
        with self.lock:
            return len(self.events)

    def shown(self, window, since):
        """When `window` was mapped on screen after event `since`: its frame's map after the
        window manager took it in, or its own map when no frame holds it. None when not yet."""
        window = int(window)
        frame = None
        with self.lock:
            events = self.events[since:]
        for t, kind, w, parent in events:
            if kind == "reparent" and w == window:
                frame = parent if parent != self.root else None
            elif kind == "map" and (w == frame or (frame is None and w == window)):
                return t
        return None

    def hidden(self, window, since):
        """When `window` (its frame, if the window manager gave it one) was unmapped after event
        `since`; None when not yet."""
        window = int(window)
        with self.lock:
            events = list(self.events)
        frame = None
        for t, kind, w, parent in events[:since]:
            if kind == "reparent" and w == window:
                frame = parent if parent != self.root else None
        for t, kind, w, _ in events[since:]:
            if kind == "unmap" and w in (window, frame):
                return t
        return None

    def activated(self, window, since):
        window = int(window)
        with self.lock:
            events = self.events[since:]
        for t, kind, w, _ in events:
            if kind == "active" and w == window:
                return t
        return None

    def close(self):
        self.stopping = True
        self.thread.join()
        self.x.XCloseDisplay(self.display)


class Keyboard:
    """Key presses through the XTest extension, which is how xdotool types."""

    def __init__(self, display):
        self.x = _xlib()
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.display = self.x.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError("cannot open the display " + display)

    def _code(self, keysym):
        return self.x.XKeysymToKeycode(self.display, keysym)

    def chord(self, modifiers, key):
        """Holds `modifiers` (keysyms), presses and releases `key`, lets go; returns the monotonic
        time right before the key's press went out."""
        for m in modifiers:
            self.xtst.XTestFakeKeyEvent(self.display, self._code(m), 1, 0)
        self.x.XSync(self.display, 0)
        started = time.monotonic_ns()
        self.xtst.XTestFakeKeyEvent(self.display, self._code(key), 1, 0)
        self.x.XFlush(self.display)
        self.xtst.XTestFakeKeyEvent(self.display, self._code(key), 0, 0)
        for m in reversed(modifiers):
            self.xtst.XTestFakeKeyEvent(self.display, self._code(m), 0, 0)
        self.x.XSync(self.display, 0)
        return started

    def close(self):
        self.x.XCloseDisplay(self.display)


CONTROL_L, SHIFT_L, KEY_Y, KEY_K, ESCAPE = 0xFFE3, 0xFFE1, 0x79, 0x6B, 0xFF1B

# --- The desktop and the runs -------------------------------------------------------------------


def make_text(size, lines=True):
    """Prose of about `size` bytes, a dozen words a line (or one line), one word in ten not ASCII."""
    ascii_words = ["note", "the", "groceries", "meeting", "tomorrow", "call", "remember", "and", "ideas", "draft"]
    other = ["caf\u00e9", "\u65e5\u672c\u8a9e", "na\u0308ive", "\U0001f44d\U0001f3fd", "\u00fcber"]
    rng = random.Random(42)
    parts, total, word = [], 0, 0
    while total < size:
        w = rng.choice(other) if rng.random() < 0.1 else rng.choice(ascii_words)
        word += 1
        w += "\n" if lines and word % 12 == 0 else " "
        parts.append(w)
        total += len(w.encode())
    return "".join(parts)


class Runner:
    def __init__(self, desktop, pindle):
        self.desktop = desktop
        self.pindle = pindle
        self.watch = WindowWatch(desktop.display)
        self.keyboard = Keyboard(desktop.display)
        self.process = None
        self.binary = pindle
        self.folder = None

    def close(self):
        self.stop()
        self.keyboard.close()
        self.watch.close()

    def _fresh_env(self, document_text=None):
        self.folder = tempfile.mkdtemp(prefix="run-", dir=self.desktop.root)
        env = dict(self.desktop.env)
        env.update(XDG_DATA_HOME=os.path.join(self.folder, "data"),
                   XDG_RUNTIME_DIR=os.path.join(self.folder, "runtime"),
                   XDG_CONFIG_HOME=os.path.join(self.folder, "config"))
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        if document_text is not None:
            os.makedirs(os.path.join(env["XDG_DATA_HOME"], "Pindle"))
            note = {"color": "#f2545b", "createdAt": 1_700_000_000_000, "id": "8c1f6a2e-0d7b-4c55-9a43-3f1e2b6d7a90",
                    "text": document_text, "updatedAt": 1_700_000_000_000}
            with open(os.path.join(env["XDG_DATA_HOME"], "Pindle", "notes.json"), "w", encoding="utf-8") as f:
                json.dump({"activeId": note["id"], "notes": [note]}, f, indent=2, sort_keys=True)
        return env

    def start(self, *arguments, document_text=None, binary=None):
        """Starts pindle (or `binary`) with fresh folders; returns the monotonic time right before
        the fork."""
        env = self._fresh_env(document_text)
        log = open(os.path.join(self.folder, "pindle.log"), "ab")
        self.binary = binary or self.pindle
        started = time.monotonic_ns()
        self.process = subprocess.Popen([self.binary, *arguments], env=env, stdout=log, stderr=log)
        log.close()
        self.runtime = env["XDG_RUNTIME_DIR"]
        return started

    def wait_ready(self):
        socket = os.path.join(self.runtime, "pindle", "instance.socket")
        wait_for(lambda: os.path.exists(socket), timeout=10, what="Pindle to start")
        if self.desktop.tray:
            wait_for(self.desktop.tray_icon, timeout=10, what="the tray icon")

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None

    def panel_window(self):
        """Pindle's panel, or the baseline program's window."""
        if self.binary == self.pindle:
            return wait_for(self.desktop.panel, timeout=10, what="the panel window")
        name = re.escape(os.path.basename(self.binary))
        pattern = re.compile(r'(0x[0-9a-f]+) "[^"]*": \("' + name + r'" "[^"]*"\)\s+(\d+)x')

        def find():
            tree = self.desktop.x(["xwininfo", "-root", "-tree"])
            return next((str(int(m.group(1), 16)) for m in pattern.finditer(tree) if int(m.group(2)) >= 300), None)
        return wait_for(find, timeout=10, what="the baseline window")

    def wait_shown(self, since, focused):
        window = self.panel_window()

        def done():
            shown = self.watch.shown(window, since)
            if shown is None:
                return None
            if not focused:
                return shown
            active = self.watch.activated(window, since)
            return max(shown, active) if active is not None else None
        return wait_for(done, timeout=10, interval=0.01, what="the panel to be shown")

    def memory(self):
        """(VmRSS, Pss, USS) of the running process in MiB; USS is what only it holds."""
        pid = self.process.pid
        with open(f"/proc/{pid}/status") as f:
            rss = next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))
        fields = {}
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                parts = line.split()
                if len(parts) == 3 and parts[2] == "kB":
                    fields[parts[0].rstrip(":")] = int(parts[1])
        uss = fields["Private_Clean"] + fields["Private_Dirty"]
        return rss / 1024, fields["Pss"] / 1024, uss / 1024

    def context_switches(self):
        """Context switches so far, per thread id."""
        counts = {}
        task = f"/proc/{self.process.pid}/task"
        for tid in os.listdir(task):
            try:
                with open(os.path.join(task, tid, "status")) as f:
                    total = 0
                    for line in f:
                        if line.startswith(("voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:")):
                            total += int(line.split()[1])
                counts[tid] = total
            except FileNotFoundError:
                pass  # the thread ended meanwhile
        return counts

    def wake_ups(self, seconds):
        """Wake-ups in each of `seconds` one-second windows."""
        samples = []
        before = self.context_switches()
        next_tick = time.monotonic() + 1
        for _ in range(seconds):
            time.sleep(max(0.0, next_tick - time.monotonic()))
            next_tick += 1
            now = self.context_switches()
            samples.append(sum(max(0, count - before.get(tid, 0)) for tid, count in now.items()))
            before = now
        return samples

    def press_hot_key(self):
        return self.keyboard.chord([CONTROL_L, SHIFT_L], KEY_Y)

    def close_panel(self):
        self.keyboard.chord([], ESCAPE)
        wait_for(lambda: not self.desktop.panel_shown(), timeout=5, what="the panel to close")


def ms(nanoseconds):
    return nanoseconds / 1e6


def cold_start(runner, baseline, runs, results):
    megabyte = make_text(1 << 20)
    kinds = [("Qt baseline", baseline, None), ("fresh data folder", None, None),
             ("10 KB note", None, make_text(10 << 10)), ("1 MB note", None, megabyte)]
    # One run of each unrecorded first, so the binaries and their libraries are in the page cache.
    for i in range(runs + 1):
        measured = {}
        for name, binary, text in kinds:
            mark = runner.watch.mark()
            arguments = () if binary else ("--show-panel",)
            started = runner.start(*arguments, document_text=text, binary=binary)
            shown = runner.wait_shown(mark, focused=False)
            time.sleep(2)
            measured[name] = (ms(shown - started), *runner.memory())
            runner.stop()
        if i == 0:
            continue
        base = measured["Qt baseline"]
        for name, (start, rss, pss, uss) in measured.items():
            results.setdefault(f"cold start, {name}", []).append(start)
            results.setdefault(f"resident memory, {name}", []).append(rss)
            results.setdefault(f"proportional memory (PSS), {name}", []).append(pss)
            results.setdefault(f"private memory (USS), {name}", []).append(uss)
            print(f"  cold start, {name}: {start:.1f} ms, RSS {rss:.1f} MiB, USS {uss:.1f} MiB", file=sys.stderr)
            if name != "Qt baseline":
                results.setdefault(f"cold start / baseline, {name}", []).append(start / base[0])
                results.setdefault(f"resident memory - baseline, {name}", []).append(rss - base[1])
                results.setdefault(f"private memory - baseline, {name}", []).append(uss - base[3])


def escape_close(runner, runs, results):
    text = make_text(10 << 20)
    for _ in range(runs):
        mark = runner.watch.mark()
        runner.start("--show-panel", document_text=text)
        window = runner.wait_shown(mark, focused=True) and runner.panel_window()
        time.sleep(0.5)
        mark = runner.watch.mark()
        pressed = runner.keyboard.chord([], ESCAPE)
        hidden = wait_for(lambda: runner.watch.hidden(window, mark), timeout=10, interval=0.01,
                          what="the panel to be unmapped")
        results.setdefault("Escape to panel unmapped, 10 MB note", []).append(ms(hidden - pressed))
        runner.stop()


def blob(size):
    """One word of `size` bytes, as a pasted base64 blob is (no "k" in it)."""
    letters = "ABCDEFGHIJLMNOPQRSTUVWXYZabcdefghijlmnopqrstuvwxyz0123456789+/"
    rng = random.Random(7)
    return "".join(rng.choice(letters) for _ in range(size))


def long_word(runner, runs, results):
    """A note that is one long word: the panel shown and focused after a cold start; then 20 keys
    and SIGTERM right behind them: the time to exit, and how many keys are not on disk after it."""
    for label, size in (("100 KB", 100 << 10), ("1 MiB", 1 << 20), ("10 MiB", 10 << 20)):
        text = blob(size)
        for _ in range(runs):
            mark = runner.watch.mark()
            started = runner.start("--show-panel", document_text=text)
            shown = runner.wait_shown(mark, focused=True)
            for _ in range(20):
                runner.keyboard.chord([], KEY_K)
            quit_at = time.monotonic_ns()
            runner.process.send_signal(signal.SIGTERM)
            runner.process.wait(120)
            exited = time.monotonic_ns()
            with open(os.path.join(runner.folder, "data", "Pindle", "notes.json"), encoding="utf-8") as f:
                saved = json.load(f)["notes"][0]["text"]
            lost = 20 - (len(saved) - len(saved.lstrip("k")))
            results.setdefault(f"long word {label}, panel shown", []).append(ms(shown - started))
            results.setdefault(f"long word {label}, quit", []).append(ms(exited - quit_at))
            results.setdefault(f"long word {label}, keys lost", []).append(lost)
            print(f"  long word {label}: shown {ms(shown - started):.0f} ms, quit {ms(exited - quit_at):.0f} ms,"
                  f" {lost} keys lost (load {os.getloadavg()[0]:.1f})", file=sys.stderr)
            runner.stop()


def panel_open(runner, runs, reopens, results):
    for _ in range(runs):
        runner.start()
        runner.wait_ready()
        time.sleep(0.5)
        for i in range(reopens + 1):
            mark = runner.watch.mark()
            pressed = runner.press_hot_key()
            shown = runner.wait_shown(mark, focused=True)
            name = "panel open, first after start" if i == 0 else "panel open, again"
            results.setdefault(name, []).append(ms(shown - pressed))
            time.sleep(0.2)
            runner.close_panel()
            time.sleep(0.4)  # past the reopen suppression
        runner.stop()


def idle(runner, seconds, results):
    runner.start("--show-panel")
    runner.wait_ready()
    window = runner.panel_window()
    wait_for(lambda: runner.watch.shown(window, 0), timeout=10, what="the panel")
    runner.close_panel()
    time.sleep(2)
    results["idle wake-ups/s, panel hidden"] = runner.wake_ups(seconds)
    mark = runner.watch.mark()
    runner.press_hot_key()
    runner.wait_shown(mark, focused=True)
    time.sleep(2)
    results["idle wake-ups/s, panel shown"] = runner.wake_ups(seconds)
    runner.stop()


def panel_bench(desktop, binary, results):
    out = os.path.join(desktop.root, "panel-bench.json")
    env = dict(desktop.env, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=desktop.runtime)
    subprocess.run([binary, "--json", out], env=env, check=True, timeout=900, stdout=sys.stderr)
    with open(out) as f:
        data = json.load(f)
    for case in data["cases"]:
        results[f"keystroke to repaint, {case['name']}"] = case["total"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("pindle")
    parser.add_argument("--baseline", required=True, help="bench/qt_baseline, the bare Qt program to compare with")
    parser.add_argument("--panel-bench", help="bench/panel_bench, run on the same desktop first")
    parser.add_argument("--runs", type=int, default=10, help="cold starts of each kind, and starts for the hot key")
    parser.add_argument("--reopens", type=int, default=5, help="hot key opens after the first, per start")
    parser.add_argument("--idle-seconds", type=int, default=30)
    parser.add_argument("--json", help="where to write the samples")
    parser.add_argument("--only", default="start,escape,longword,open,idle",
                        help="the app suites to run, comma-separated (default: all)")
    args = parser.parse_args()
    only = set(args.only.split(","))

    results = {}
    # The machine may be shared: the load before and after tells how far to trust the figures.
    load_before = os.getloadavg()
    print("load average before: " + ", ".join(f"{v:.2f}" for v in load_before), file=sys.stderr)
    desktop = Desktop(os.path.abspath(args.pindle), "openbox")
    try:
        if args.panel_bench:
            print("== keystroke (panel_bench)", file=sys.stderr)
            panel_bench(desktop, args.panel_bench, results)
        runner = Runner(desktop, os.path.abspath(args.pindle))
        try:
            if "start" in only:
                print("== cold start and memory", file=sys.stderr)
                cold_start(runner, os.path.abspath(args.baseline), args.runs, results)
            if "escape" in only:
                print("== Escape with a 10 MB note", file=sys.stderr)
                escape_close(runner, args.runs, results)
            if "longword" in only:
                print("== one long word", file=sys.stderr)
                long_word(runner, max(1, args.runs // 3), results)
            if "open" in only:
                print("== panel open", file=sys.stderr)
                panel_open(runner, args.runs, args.reopens, results)
            if "idle" in only:
                print(f"== idle, {args.idle_seconds} s hidden and {args.idle_seconds} s shown", file=sys.stderr)
                idle(runner, args.idle_seconds, results)
        finally:
            runner.close()
    finally:
        desktop.close()
    output = json.dumps({"load before": load_before, "load": os.getloadavg(), "samples": results}, indent=1)
    if args.json:
        with open(args.json, "w") as f:
            f.write(output)
    else:
        print(output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
