#!/usr/bin/python3
"""Abuse suites for the real `pindle` on a private desktop (tests/e2e/desktop.py): killed while
typing, ended or closed in every way right after a keystroke, launched twice at once. No word that
reached the disk may be lost and the document must always parse.

    stress.py PINDLE_BINARY kill-loop|endings|two-instances [--rounds N] [--seed S]
"""

import argparse
import glob
import json
import os
import random
import signal
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import Desktop, holds_for, wait_for  # noqa: E402


def active_text(desktop):
    """The active note's text; fails when the document does not parse or names no note."""
    document = json.loads(desktop.read_document())
    return next(n["text"] for n in document["notes"] if n["id"] == document["activeId"])


def leftovers(desktop):
    return glob.glob(os.path.join(os.path.dirname(desktop.document()), ".notes.json.tmp-*"))


def open_panel(desktop, launch=False):
    """Opens the panel by a launch with --show-panel or a click on the icon; the caret to the end."""
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
    assert not leftovers(desktop), "temporary files left"
    words = [f"c{number}"] + [rng.choice(["note", "kill", "save", "disk"]) for _ in range(rng.randint(5, 30))]
    delay = str(rng.randint(5, 40))
    # Now and then a pause long enough for a save to start when the kill comes. A word per call:
    # killing xdotool mid-word could leave a key held down in the X server.
    pauses = [rng.choice([0, 0, 0, 0.28, 0.3, 0.32, 0.4]) for _ in words]
    stop = threading.Event()

    def type_words():
        for word, pause in zip(words, pauses):
            if not stop.wait(pause):
                desktop.x(["xdotool", "type", "--delay", delay, word + " "])

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


def click_away(desktop, then_on_the_icon=False):
    """A click in the other window, then one on the icon 50 ms later in the same xdotool run (a look-up
    in between could stretch the gap past the quarter second in which a click does not reopen)."""
    x, y, w, h = desktop.tray_icon()
    icon = ["sleep", "0.05", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1"] if then_on_the_icon else []
    desktop.xdotool("mousemove", "200", "600", "click", "1", *icon)


def launch_on_one_long_word(desktop):
    """Started anew with --show-panel on a note of one 100 KB word: keys go in while it may be busy."""
    if desktop.pindle:
        desktop.stop(desktop.pindle)
    document = json.loads(desktop.read_document())
    next(n for n in document["notes"] if n["id"] == document["activeId"])["text"] = "x" * 100_000
    with open(desktop.document(), "w", encoding="utf-8") as f:
        json.dump(document, f)
    open_panel(desktop, launch=True)


# Name, ending, whether Pindle keeps running (the panel only closes), how the panel is opened.
# SIGINT and SIGHUP take SIGTERM's path (tests/platform/event_sources_test), the menu's Quit Ctrl+Q's
# (quit from the menu: tests/e2e/desktops_e2e.py).
ENDINGS = [
    ("SIGTERM", lambda d: d.pindle.send_signal(signal.SIGTERM), False, open_panel),
    ("ctrlq", lambda d: d.xdotool("key", "ctrl+q"), False, open_panel),
    ("Escape", lambda d: d.xdotool("key", "Escape"), True, open_panel),
    ("clickaway", click_away, True, open_panel),
    ("clickawayicon", lambda d: click_away(d, then_on_the_icon=True), True, open_panel),
    ("longword", lambda d: d.pindle.send_signal(signal.SIGTERM), False, launch_on_one_long_word),
]


def endings_round(desktop, number, rng):
    """Every way of ending or closing, within 0.3 s of the last keystroke: the typed word is on disk,
    written at once on a close, well before the typing pause would have; a click on the icon right
    after a click elsewhere closed the panel does not reopen it."""
    if number == 0:
        desktop.open_other_window()
    for name, end, closes, opening in ENDINGS:
        word = f"r{number}{name}"
        if opening is open_panel and (not desktop.pindle or desktop.pindle.poll() is not None):
            desktop.start_pindle()
        opening(desktop)
        desktop.xdotool("type", "--delay", "1", " " + word)
        end(desktop)
        if closes:
            # Closing writes at once, right after the window goes: timed from when it is seen gone,
            # not from the click, which a busy window manager may take a while to pass on.
            wait_for(lambda: not desktop.panel_shown(), timeout=5, interval=0.005, what=f"{name} to close the panel")
            wait_for(lambda: word in desktop.read_document(), timeout=0.15, interval=0.005, what=f"{word} on closing")
            assert holds_for(lambda: not desktop.panel_shown(), 0.5), f"{name}: the panel opened again"
        else:
            assert desktop.pindle.wait(10) == 0, f"{name}: exit status {desktop.pindle.returncode}"
            assert word in active_text(desktop), f"{name}: {word!r} is not on disk"


def two_instances_round(desktop, number, rng):
    """Two launches at the same moment: exactly one keeps running, the other hands over."""
    launches = [desktop.spawn([desktop.pindle_binary], f"launch-{number}-{i}") for i in range(2)]
    try:
        loser = wait_for(lambda: next((p for p in launches if p.poll() is not None), None), timeout=10,
                         what="one launch to hand over")
        winner = launches[1 - launches.index(loser)]
        assert loser.returncode == 0, f"the second launch exited {loser.returncode}"
        assert holds_for(lambda: winner.poll() is None, 0.05), f"the first launch exited {winner.returncode}"
        json.loads(desktop.read_document())
    finally:
        for process in launches:
            desktop.stop(process, timeout=10)


SUITES = {"kill-loop": (kill_round, "bare"), "endings": (endings_round, "openbox"),
          "two-instances": (two_instances_round, "bare")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("suite", choices=SUITES)
    parser.add_argument("--rounds", "--cycles", type=int, default=10)
    parser.add_argument("--seed", type=int, default=1)
    arguments = parser.parse_args()
    one_round, kind = SUITES[arguments.suite]
    rng = random.Random(arguments.seed)
    failed, started = 0, time.monotonic()
    desktop = Desktop(arguments.binary, kind)
    try:
        for number in range(arguments.rounds + (arguments.suite == "kill-loop")):
            try:
                if number < arguments.rounds:
                    one_round(desktop, number, rng)
                else:  # one last restart: the leftovers of the last kill are cleaned up too
                    open_panel(desktop, launch=True)
                    assert not leftovers(desktop), "temporary files left after the last restart"
            except Exception as error:  # noqa: BLE001 (a round's failure is counted, the next runs)
                failed += 1
                print(f"FAIL round {number}: {error!r}", file=sys.stderr)
                if desktop.pindle:
                    desktop.stop(desktop.pindle, signal.SIGKILL)
    finally:
        desktop.close(keep=failed > 0)
    print(f"{arguments.suite}: {failed} of {arguments.rounds} rounds failed, {time.monotonic() - started:.1f} s")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
