#!/usr/bin/python3
"""Runs a command on a private virtual X11 desktop (Xvfb and openbox, no tray) and exits with
its status.

    on_virtual_desktop.py COMMAND [ARGUMENT ...]
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop  # noqa: E402


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    desktop = Desktop(pindle=None, tray=None)
    try:
        env = dict(desktop.env, QT_QPA_PLATFORM="xcb")
        return subprocess.run(sys.argv[1:], env=env, timeout=300).returncode
    finally:
        desktop.close()


if __name__ == "__main__":
    sys.exit(main())
