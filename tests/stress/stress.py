#!/usr/bin/python3
"""Abuse suites for the real `pindle` on a private desktop (tests/e2e/desktop.py): killed while
typing, ended in every way right after a keystroke, launched twice at once. No word that reached
the disk may be lost and the document must always parse.

    stress.py PINDLE_BINARY kill-loop|endings|two-instances [--rounds N] [--seed S]

Prints 'N passed, N failed' last and exits non-zero on any failure.
"""

import argparse
import glob
import json
import os
import random
import signal
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import Desktop, wait_for  # noqa: E402


def active_text(desktop):
    """The active note's text; fails when the document does not parse or names no note."""
    document = json.loads(desktop.read_document())
    return next(n["text"] for n in document["notes"] if n["id"] == document["activeId"])


def open_panel(desktop, launch=False):
    """Opens the panel, with a launch of Pindle with --show-panel or a click on its icon, and puts
    the caret at the end of the note."""
    if launch:
        desktop.start_pindle("--show-panel")
    elif not desktop.panel_active():
        time.sleep(0.3)  # a close refuses reopening for a quarter second
        desktop.click_tray_icon()
    wait_for(desktop.panel_active, timeout=10, what="the panel")
    desktop.xdotool("key", "ctrl+End")


def kill_round(desktop, number, rng):
    """SIGKILL at a random moment while typing: what was on disk just before survives, the text is
    a prefix of what was typed, and no temporary file outlives the restart."""
    open_panel(desktop, launch=True)
    base = active_text(desktop) if desktop.read_document() else ""
    assert not glob.glob(os.path.join(os.path.dirname(desktop.document()), ".notes.json.tmp-*")), "temporary files left"
    words = [f"c{number}"] + [rng.choice(["note", "kill", "save", "disk"]) for _ in range(rng.randint(5, 30))]
    delay = str(rng.randint(5, 40))
    # Now and then a pause long enough for a save to start when the kill comes. A word per call:
    # killing xdotool mid-word could leave a key held down in the X server.
    pauses = [rng.choice([0, 0, 0, 0.28, 0.3, 0.32, 0.4]) for _ in words]
    stop = threading.Event()

    def type_words():
        for word, pause in zip(words, pauses):
            if not stop.wait(pause):
                subprocess.run(["xdotool", "type", "--delay", delay, word + " "], env=desktop.env, capture_output=True)

    typist = threading.Thread(target=type_words)
    typist.start()
    time.sleep(rng.uniform(0.05, 2.5))
    seen = active_text(desktop)
    desktop.pindle.kill()
    desktop.pindle.wait()
    stop.set()
    typist.join()
    after = active_text(desktop)
    assert after.startswith(seen), f"lost saved text: had {seen[-60:]!r}, now {after[-60:]!r}"
    assert after.startswith(base) and (base + " ".join(words) + " ").startswith(after), f"not as typed: {after[-80:]!r}"


def quit_from_menu(desktop):
    desktop.click_tray_icon(button=3)
    wait_for(lambda: len(desktop.x(["xdotool", "search", "--onlyvisible", "--class", "pindle"]).split()) > 1,
             what="the context menu")
    desktop.xdotool("key", "Up", "Return")


ENDINGS = {
    "SIGTERM": lambda d: d.pindle.send_signal(signal.SIGTERM),
    "SIGINT": lambda d: d.pindle.send_signal(signal.SIGINT),
    "SIGHUP": lambda d: d.pindle.send_signal(signal.SIGHUP),
    "ctrlq": lambda d: d.xdotool("key", "ctrl+q"),
    "QuitPindle": quit_from_menu,
    "panelclose": lambda d: d.xdotool("key", "Escape"),
    "longword": lambda d: d.pindle.send_signal(signal.SIGTERM),
}


def launch_on_one_long_word(desktop):
    """Pindle started anew, its panel shown at launch on a note that is one 100 KB word (a pasted
    blob): the keys go in the moment the panel is there, while it may still be busy."""
    if desktop.pindle and desktop.pindle.poll() is None:
        desktop.stop(desktop.pindle)
    document = json.loads(desktop.read_document())
    next(n for n in document["notes"] if n["id"] == document["activeId"])["text"] = "x" * 100_000
    with open(desktop.document(), "w", encoding="utf-8") as f:
        json.dump(document, f)
    open_panel(desktop, launch=True)


# Rows that start Pindle their own way.
LAUNCHES = {"longword": launch_on_one_long_word}


def endings_round(desktop, number, rng):
    """Every way of ending, within 0.3 s of the last keystroke: the typed word is on disk."""
    for name, end in ENDINGS.items():
        word = f"r{number}{name}"
        if name in LAUNCHES:
            LAUNCHES[name](desktop)
        elif not desktop.pindle or desktop.pindle.poll() is not None:
            desktop.start_pindle()
        open_panel(desktop)
        desktop.xdotool("type", "--delay", "1", " " + word)
        end(desktop)
        if name == "panelclose":
            # Closing writes at once, well before the typing pause would have.
            wait_for(lambda: word in desktop.read_document(), timeout=0.25, interval=0.005, what=f"{word} on closing")
        else:
            assert desktop.pindle.wait(10) == 0, f"{name}: exit status {desktop.pindle.returncode}"
            assert word in active_text(desktop), f"{name}: {word!r} is not on disk"


def running_pindles(desktop):
    """Live pindle processes of this desktop, told apart by their private runtime folder."""
    found = []
    for exe in glob.glob("/proc/[0-9]*/exe"):
        try:
            with open(exe.replace("exe", "environ"), "rb") as env, open(exe.replace("exe", "stat")) as stat:
                if (os.path.basename(os.readlink(exe)).startswith("pindle") and stat.read().rsplit(")", 1)[1].split()[0] != "Z"
                        and f"XDG_RUNTIME_DIR={desktop.runtime}".encode() in env.read().split(b"\0")):
                    found.append(int(exe.split("/")[2]))
        except OSError:
            continue
    return found


def two_instances_round(desktop, number, rng):
    """Two launches at the same moment: exactly one keeps running, the other hands over."""
    launches = [subprocess.Popen([desktop.pindle_binary], env=desktop.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE) for _ in range(2)]
    try:
        loser = wait_for(lambda: next((p for p in launches if p.poll() is not None), None), timeout=10,
                         what="one launch to hand over")
        winner = launches[1 - launches.index(loser)]
        assert loser.returncode == 0, f"the second launch exited {loser.returncode}: {loser.stderr.read()!r}"
        time.sleep(0.05)
        assert running_pindles(desktop) == [winner.pid] and winner.poll() is None, running_pindles(desktop)
        json.loads(desktop.read_document())
    finally:
        for process in launches:
            if process.poll() is None:
                process.terminate()
                process.wait(10)


SUITES = {"kill-loop": (kill_round, None), "endings": (endings_round, "right"), "two-instances": (two_instances_round, None)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("suite", choices=SUITES)
    parser.add_argument("--rounds", "--cycles", type=int, default=10)
    parser.add_argument("--seed", type=int, default=1)
    arguments = parser.parse_args()
    one_round, tray = SUITES[arguments.suite]
    rng = random.Random(arguments.seed)
    passed = failed = 0
    started = time.monotonic()
    desktop = Desktop(arguments.binary, tray=tray)
    try:
        for number in range(arguments.rounds):
            try:
                one_round(desktop, number, rng)
                passed += 1
            except (AssertionError, StopIteration, ValueError, subprocess.TimeoutExpired) as error:
                failed += 1
                print(f"FAIL round {number}: {error}", file=sys.stderr)
                if desktop.pindle and desktop.pindle.poll() is None:
                    desktop.pindle.kill()
                    desktop.pindle.wait()
        if arguments.suite == "kill-loop":
            # One last restart: the leftovers of the last kill are cleaned up too.
            open_panel(desktop, launch=True)
            if glob.glob(os.path.join(os.path.dirname(desktop.document()), ".notes.json.tmp-*")):
                failed += 1
                print("FAIL temporary files left after the last restart", file=sys.stderr)
    finally:
        desktop.close(keep=failed > 0)
    print(f"{arguments.suite}: {time.monotonic() - started:.1f} s", file=sys.stderr)
    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
