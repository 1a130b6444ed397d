#!/usr/bin/python3
"""Abuse suites for the real `pindle` on a private virtual desktop: it is killed while typing,
asked to end in every way right after a keystroke, and launched twice at once. Each suite checks
that no word that reached the disk is lost and that the document always parses.

    stress.py PINDLE_BINARY kill-loop [--cycles N] [--seed S]
    stress.py PINDLE_BINARY endings [--rounds N]
    stress.py PINDLE_BINARY two-instances [--rounds N]

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


class Failure(AssertionError):
    pass


def load_document(desktop):
    """The parsed document; fails when it is missing or does not parse."""
    raw = desktop.read_document()
    try:
        return json.loads(raw)
    except ValueError as error:
        raise Failure(f"notes.json does not parse ({error}): {raw[:200]!r}")


def active_text(document):
    for note in document["notes"]:
        if note["id"] == document["activeId"]:
            return note["text"]
    raise Failure("activeId names no note")


def leftover_temporary_files(desktop):
    return glob.glob(os.path.join(os.path.dirname(desktop.document()), ".notes.json.tmp-*"))


def open_panel_at_end(desktop):
    """Starts Pindle with its panel shown and the caret at the end of the note."""
    desktop.start_pindle("--show-panel", wait_for_tray_icon=False)
    wait_for(desktop.panel_active, timeout=10, what="the panel to open and take the focus")
    desktop.xdotool("key", "ctrl+End")


def kill_loop(binary, cycles, seed):
    """SIGKILL at random moments while typing; after every restart the document parses, keeps
    everything that was on disk before the kill, and no temporary file is left."""
    rng = random.Random(seed)
    passed = failed = 0
    desktop = Desktop(binary, tray=None)
    try:
        for cycle in range(cycles):
            try:
                open_panel_at_end(desktop)
                # Everything before this cycle is what the restart found on disk.
                document = load_document(desktop) if desktop.read_document() else None
                base = active_text(document) if document else ""
                leftovers = leftover_temporary_files(desktop)
                if leftovers:
                    raise Failure(f"temporary files left after a restart: {leftovers}")

                words = [f"c{cycle}"] + [rng.choice(["note", "kill", "save", "word", "disk"])
                                         for _ in range(rng.randint(5, 30))]
                burst = " ".join(words) + " "
                delay = str(rng.randint(5, 40))
                # Now and then a pause long enough for a save to start while the kill may come.
                pauses = [rng.choice([0, 0, 0, 0.28, 0.3, 0.32, 0.4]) for _ in words]
                # Typed a word per xdotool call: killing xdotool itself mid-word could leave a key
                # held down in the X server, which would swallow that key's next press.
                stop = threading.Event()

                def type_words():
                    for word, pause in zip(words, pauses):
                        if stop.wait(pause):
                            return
                        subprocess.run(["xdotool", "type", "--delay", delay, word + " "], env=desktop.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)

                typist = threading.Thread(target=type_words)
                typist.start()
                time.sleep(rng.uniform(0.05, 2.5))
                # What a reader sees on disk just before the kill must survive it.
                seen = active_text(load_document(desktop))
                desktop.pindle.send_signal(signal.SIGKILL)
                desktop.pindle.wait()
                stop.set()
                typist.join()

                after = active_text(load_document(desktop))
                if not after.startswith(seen):
                    raise Failure(f"cycle {cycle}: lost saved text: had {seen[-60:]!r}, now {after[-60:]!r}")
                if not (after.startswith(base) and (base + burst).startswith(after)):
                    raise Failure(f"cycle {cycle}: text is not what was typed: {after[-80:]!r}")
                passed += 1
            except (Failure, AssertionError) as error:
                failed += 1
                print(f"FAIL {error}", file=sys.stderr)
                if desktop.pindle and desktop.pindle.poll() is None:
                    desktop.pindle.kill()
                    desktop.pindle.wait()
        # One last restart: the leftovers of the last kill are cleaned up too.
        open_panel_at_end(desktop)
        print(f"kill-loop: {len(active_text(load_document(desktop)))} characters survived {cycles} kills",
              file=sys.stderr)
        if leftover_temporary_files(desktop):
            failed += 1
            print("FAIL temporary files left after the last restart", file=sys.stderr)
    finally:
        desktop.close(keep=failed > 0)
    return passed, failed


def quit_from_tray_menu(desktop):
    desktop.click_tray_icon(button=3)
    wait_for(lambda: desktop.x(["xdotool", "search", "--onlyvisible", "--class", "pindle"]).split().__len__() > 1,
             what="the context menu")
    desktop.xdotool("key", "Up", "Return")


ENDINGS = {
    "SIGTERM": lambda d: d.pindle.send_signal(signal.SIGTERM),
    "SIGINT": lambda d: d.pindle.send_signal(signal.SIGINT),
    "SIGHUP": lambda d: d.pindle.send_signal(signal.SIGHUP),
    "ctrl+q": lambda d: d.xdotool("key", "ctrl+q"),
    "Quit Pindle": quit_from_tray_menu,
    "panel close": lambda d: d.xdotool("key", "Escape"),
}


def endings(binary, rounds):
    """Every way of ending, within 0.3 s of the last keystroke: the typed word is on disk."""
    passed = failed = 0
    desktop = Desktop(binary, tray="right")
    try:
        for round_number in range(rounds):
            for name, end in ENDINGS.items():
                word = f"r{round_number}{name.replace(' ', '').replace('+', '')}"
                try:
                    if not desktop.pindle or desktop.pindle.poll() is not None:
                        desktop.start_pindle()
                    if not desktop.panel_active():
                        time.sleep(0.3)  # a close refuses reopening for a quarter second
                        desktop.click_tray_icon()
                        wait_for(desktop.panel_active, timeout=10, what="the panel")
                    desktop.xdotool("key", "ctrl+End")
                    desktop.xdotool("type", "--delay", "1", " " + word)
                    typed_at = time.monotonic()
                    end(desktop)
                    if time.monotonic() - typed_at > 0.3:
                        print(f"note: {name} reached Pindle {time.monotonic() - typed_at:.2f} s after typing",
                              file=sys.stderr)
                    if name == "panel close":
                        wait_for(lambda: not desktop.panel_shown(), what="the panel to close")
                        # Closing writes at once, well before the typing pause would have.
                        wait_for(lambda: word in desktop.read_document(), timeout=0.25, interval=0.005,
                                 what=f"{word!r} on disk right after closing")
                    else:
                        code = desktop.pindle.wait(10)
                        if code != 0:
                            raise Failure(f"{name}: exit status {code}")
                        if word not in active_text(load_document(desktop)):
                            raise Failure(f"{name}: {word!r} is not on disk")
                    passed += 1
                except (Failure, AssertionError, subprocess.TimeoutExpired) as error:
                    failed += 1
                    print(f"FAIL round {round_number} {name}: {error}", file=sys.stderr)
                    if desktop.pindle.poll() is None:
                        desktop.pindle.kill()
                        desktop.pindle.wait()
    finally:
        desktop.close(keep=failed > 0)
    return passed, failed


def pindle_processes(desktop):
    """Live pindle processes of this desktop, told apart by their private runtime folder."""
    found = []
    for exe in glob.glob("/proc/[0-9]*/exe"):
        pid = int(exe.split("/")[2])
        try:
            if not os.path.basename(os.readlink(exe)).startswith("pindle"):
                continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                environment = f.read().split(b"\0")
            with open(f"/proc/{pid}/stat") as f:
                zombie = f.read().rsplit(")", 1)[1].split()[0] == "Z"
        except OSError:
            continue
        if not zombie and f"XDG_RUNTIME_DIR={desktop.runtime}".encode() in environment:
            found.append(pid)
    return sorted(found)


def two_instances(binary, rounds):
    """Two launches at the same moment: exactly one keeps running, the other hands over."""
    passed = failed = 0
    desktop = Desktop(binary, tray=None)
    try:
        for round_number in range(rounds):
            launches = [subprocess.Popen([binary], env=desktop.env, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.PIPE) for _ in range(2)]
            try:
                wait_for(lambda: any(p.poll() is not None for p in launches), timeout=10,
                         what="one of the two launches to hand over")
                loser = next(p for p in launches if p.poll() is not None)
                winner = next(p for p in launches if p is not loser)
                if loser.returncode != 0:
                    raise Failure(f"the second launch exited {loser.returncode}: {loser.stderr.read()!r}")
                time.sleep(0.05)
                running = pindle_processes(desktop)
                if winner.poll() is not None or running != [winner.pid]:
                    raise Failure(f"expected one running instance ({winner.pid}), found {running}")
                load_document(desktop)
                passed += 1
            except (Failure, AssertionError, StopIteration) as error:
                failed += 1
                print(f"FAIL round {round_number}: {error}", file=sys.stderr)
            finally:
                for process in launches:
                    if process.poll() is None:
                        process.send_signal(signal.SIGTERM)
                        process.wait(10)
    finally:
        desktop.close(keep=failed > 0)
    return passed, failed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("suite", choices=["kill-loop", "endings", "two-instances"])
    parser.add_argument("--cycles", type=int, default=10)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--seed", type=int, default=1)
    arguments = parser.parse_args()
    started = time.monotonic()
    if arguments.suite == "kill-loop":
        passed, failed = kill_loop(arguments.binary, arguments.cycles, arguments.seed)
    elif arguments.suite == "endings":
        passed, failed = endings(arguments.binary, arguments.rounds)
    else:
        passed, failed = two_instances(arguments.binary, arguments.rounds)
    print(f"{arguments.suite}: {time.monotonic() - started:.1f} s", file=sys.stderr)
    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
