#!/usr/bin/python3
"""Two real Syncthings sync two Pindles' folders over 127.0.0.1 alone; each Pindle, on a desktop of
its own, is typed into: one side, then both at once into different notes and into the same note.
Both documents must end identical, holding every word, with no conflict copies. Exits 77 when
Syncthing cannot start. PINDLE_SYNC_PORTS=FIRST: four ports from FIRST on.

    sync_e2e.py PINDLE_BINARY
"""

import json
import os
import re
import socket
import subprocess
import sys
import threading
import time
import urllib.request
import xml.etree.ElementTree as ET

from desktop import Desktop, wait_for

WORDS = 8  # per side and phase


def port(n):
    if "PINDLE_SYNC_PORTS" in os.environ:
        return int(os.environ["PINDLE_SYNC_PORTS"]) + n
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Syncthing:
    OPTIONS = {"globalAnnounceEnabled": "false", "localAnnounceEnabled": "false", "relaysEnabled": "false",
               "natEnabled": "false", "urAccepted": "-1", "autoUpgradeIntervalH": "0", "startBrowser": "false",
               "crashReportingEnabled": "false", "announceLANAddresses": "false"}

    def __init__(self, desktop, n):
        self.desktop, self.home = desktop, os.path.join(desktop.root, "syncthing")
        self.folder = os.path.join(desktop.data_home, "Pindle")
        self.gui, self.listen = port(2 * n), port(2 * n + 1)
        subprocess.run(["syncthing", "generate", f"--home={self.home}", "--no-default-folder"], check=True,
                       capture_output=True, timeout=60)
        self.id = subprocess.run(["syncthing", "serve", f"--home={self.home}", "--device-id"], check=True,
                                 capture_output=True, text=True, timeout=30).stdout.strip()

    def start(self, peer):
        path = os.path.join(self.home, "config.xml")
        config = ET.parse(path)
        root = config.getroot()
        for name, value in dict(self.OPTIONS, listenAddress=f"tcp://127.0.0.1:{self.listen}").items():
            root.find("options/" + name).text = value
        root.find("gui/address").text, root.find("gui/apikey").text = f"127.0.0.1:{self.gui}", "pindle"
        ET.SubElement(ET.SubElement(root, "device", id=peer.id), "address").text = f"tcp://127.0.0.1:{peer.listen}"
        # Rescans a second after a change; a pull that gave up on a changing file is tried again soon.
        folder = ET.SubElement(root, "folder", id="pindle", path=self.folder, type="sendreceive",
                               rescanIntervalS="3600", fsWatcherEnabled="true", fsWatcherDelayS="1")
        ET.SubElement(folder, "pullerPauseS").text = "2"
        for member in (self.id, peer.id):
            ET.SubElement(folder, "device", id=member)
        config.write(path)
        self.desktop.write("data/Pindle/.stignore", ".notes.json.tmp-*\n.notes.lock\n")
        self.desktop.spawn(["syncthing", "serve", f"--home={self.home}", "--no-browser", "--no-restart",
                            "--no-upgrade"], "syncthing")

    def connected(self, peer):
        request = urllib.request.Request(f"http://127.0.0.1:{self.gui}/rest/system/connections",
                                         headers={"X-API-Key": "pindle"})
        try:
            with urllib.request.urlopen(request, timeout=2) as response:
                return json.load(response)["connections"].get(peer.id, {}).get("connected")
        except OSError:
            return False


def main():
    sides, ok = [], False
    try:
        sides = [Desktop(os.path.abspath(sys.argv[1])) for _ in range(2)]
        try:
            engines = [Syncthing(d, n) for n, d in enumerate(sides)]
            engines[0].start(engines[1])
            engines[1].start(engines[0])
            wait_for(lambda: engines[0].connected(engines[1]) and engines[1].connected(engines[0]), timeout=60,
                     interval=0.5, what="the two Syncthing instances to connect")
        except (OSError, subprocess.SubprocessError, AssertionError) as error:
            print(f"SKIP: Syncthing could not start: {error}", file=sys.stderr)
            ok = True
            return 77
        a, b = sides
        # One machine first, as a user sets up the second: its notes arrive before Pindle starts.
        now = int(time.time() * 1000)
        seed = [{"color": "#f2545b", "createdAt": now, "id": f"5e3d0c7a-1b2c-4d5e-8f90-0a1b2c3d4e5{i}",
                 "text": text, "updatedAt": now} for i, text in enumerate(("first", "second"))]
        a.write("data/Pindle/notes.json", json.dumps({"activeId": seed[0]["id"], "notes": seed}))
        a.start_pindle()
        wait_for(lambda: "second" in b.read_document(), timeout=60, interval=0.2, what="the first sync")
        b.start_pindle()
        for d in sides:
            d.click_tray_icon()
            wait_for(d.panel_active, what="the panel")
        typed = ([], [])

        def type_words(side, word, note):
            sides[side].xdotool("key", f"ctrl+{note}", "ctrl+End")
            for n in range(WORDS):
                sides[side].xdotool("type", "--delay", "30", f" {word}{n}")
                typed[side].append(f"{word}{n}")
                time.sleep(0.4)

        def at_once(*runs):
            threads = [threading.Thread(target=type_words, args=run) for run in runs]
            _ = [t.start() for t in threads] + [t.join() for t in threads]

        type_words(0, "apple", 1)
        wait_for(lambda: f"apple{WORDS - 1}" in b.read_document(), timeout=60, interval=0.2, what="A's words on B")
        at_once((0, "ant", 1), (1, "bee", 2))
        at_once((0, "cat", 1), (1, "dog", 1))
        for d in sides:
            d.xdotool("key", "Escape")  # closing the panel saves at once
        ended = time.monotonic()
        words = set(typed[0] + typed[1])

        def converged():
            texts = [d.read_document() for d in sides]
            return texts[0] == texts[1] and words <= set(re.findall(r"[a-z]+\d", texts[0]))

        wait_for(lambda: converged() and not time.sleep(3) and converged(), timeout=90, interval=0.5,
                 what="both documents to hold every word and agree")
        leftovers = [n for d in sides for n in os.listdir(os.path.dirname(d.document())) if "conflict" in n]
        print(f"typed: A {len(typed[0])} words, B {len(typed[1])}, all on both sides, converged "
              f"{time.monotonic() - ended - 3:.1f} s after typing ended; conflict copies left: {leftovers}")
        ok = not leftovers
        return 0 if ok else 1
    finally:
        for d in sides:
            d.close(keep=not ok)


if __name__ == "__main__":
    sys.exit(main())
