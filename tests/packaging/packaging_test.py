#!/usr/bin/python3
"""What installing Pindle puts on a machine: the tree `cmake --install` writes into a prefix, and
the Debian package CPack builds, installed with dpkg into a throw-away root and started on a private
desktop (tests/e2e/desktop.py) from its menu and autostart entries. TranslationTest checks every .ts
file against the code. Exits 77 (skipped) when a tool is missing.

    packaging_test.py BUILD_DIR [TestName ...]
"""

import configparser
import contextlib
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
TRANSLATIONS = os.path.join(HERE, "..", "..", "translations")
LANGUAGES = [name[len("pindle_"):-3] for name in sorted(os.listdir(TRANSLATIONS)) if name.endswith(".ts")]
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from desktop import Desktop, holds_for, wait_for  # noqa: E402

BUILD = None


def run(argv, **options):
    return subprocess.run(argv, capture_output=True, text=True, timeout=120, **options)


@contextlib.contextmanager
def kept_manifest():
    """CMake and CPack overwrite the build folder's install_manifest.txt, which `make uninstall`
    relies on: what a real install there listed is put back."""
    path = os.path.join(BUILD, "install_manifest.txt")
    kept = os.path.exists(path) and shutil.copy(path, path + ".kept")
    try:
        yield
    finally:
        if kept:
            os.replace(kept, path)
        elif os.path.exists(path):
            os.remove(path)


def project_version():
    with open(os.path.join(BUILD, "CMakeCache.txt"), encoding="utf-8") as cache:
        return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", cache.read(), re.M).group(1)


def desktop_entry(path):
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    return parser["Desktop Entry"]


class Packaging(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="pindle-packaging-")
        self.addCleanup(shutil.rmtree, self.root, True)

    def ok(self, argv, **options):
        result = run(argv, **options)
        self.assertEqual(result.returncode, 0, f"{argv}: {result.stdout}{result.stderr}")
        return result.stdout

    def check_tree(self, root, prefix, sysconf):
        """The installed tree under `root`; returns the program and the menu and autostart entries."""
        usr = root + prefix
        binary = os.path.join(usr, "bin", "pindle")
        self.assertTrue(os.access(binary, os.X_OK), binary)
        # The menu entry opens the panel; the autostart entry only puts Pindle in the tray.
        entries = [os.path.join(usr, "share/applications/pindle.desktop"),
                   os.path.join(root + sysconf, "xdg/autostart/pindle.desktop")]
        for path in entries:
            result = run(["desktop-file-validate", path])
            self.assertEqual((result.returncode, result.stdout + result.stderr), (0, ""), path)
        menu, autostart = map(desktop_entry, entries)
        self.assertEqual((menu["Exec"], menu["Type"], autostart["Exec"], autostart.get("Hidden", "false")),
                         ("pindle --show-panel", "Application", "pindle", "false"))
        self.assertEqual((menu["Icon"], autostart["Icon"]), ("pindle", "pindle"))
        for path in ("scalable/apps/pindle.svg", "symbolic/apps/pindle-symbolic.svg"):
            svg = ElementTree.parse(os.path.join(usr, "share/icons/hicolor", path)).getroot()
            self.assertEqual((svg.tag, bool(svg.get("viewBox"))), ("{http://www.w3.org/2000/svg}svg", True), path)

        # AppStream metainfo that the validator accepts, naming the installed entry and program.
        (metainfo,) = [os.path.join(usr, "share/metainfo", n) for n in os.listdir(os.path.join(usr, "share/metainfo"))]
        self.ok(["appstreamcli", "validate", "--no-net", metainfo])
        component = ElementTree.parse(metainfo).getroot()
        self.assertEqual(os.path.basename(metainfo), component.findtext("id") + ".metainfo.xml")
        self.assertEqual((component.findtext("launchable"), component.findtext("provides/binary"),
                          component.find("releases/release").get("version")),
                         ("pindle.desktop", "pindle", project_version()))

        # Each language with a .ts file: its .qm file, and the entries and the summary in it.
        summaries = {s.get("{http://www.w3.org/XML/1998/namespace}lang") for s in component.findall("summary")}
        for language in LANGUAGES:
            self.assertTrue(os.path.isfile(os.path.join(usr, f"share/pindle/translations/pindle_{language}.qm")))
            self.assertIn(language, summaries)
            for entry in (menu, autostart):
                self.assertTrue(entry.get(f"GenericName[{language}]") and entry.get(f"Comment[{language}]"), language)
        with gzip.open(os.path.join(usr, "share/man/man1/pindle.1.gz"), "rt", encoding="utf-8") as page:
            self.assertIn("--show-panel", page.read().replace("\\-", "-"))
        return binary, menu, autostart

    def check_runs(self, binary, menu, autostart):
        """Started as autostart and then the menu would, and answering on the command line alone."""
        d = Desktop(binary)
        try:
            d.env["PATH"] = os.path.dirname(binary) + os.pathsep + d.env["PATH"]
            d.start_pindle(*autostart["Exec"].split()[1:])
            self.assertTrue(holds_for(lambda: not d.panel_shown(), 0.3), "autostart opened the panel")
            empty = os.path.join(d.root, "untouched")
            os.makedirs(empty)
            refused = ":%d" % next(n for n in range(900, 999) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
            no_display = "pindle: cannot start without a graphical session"
            # The translations are found where they were installed; English first among the user's
            # languages keeps it English.
            german = dict(LANGUAGE="", LC_ALL="de_DE.UTF-8")
            for arguments, env, status, stdout, stderr in [
                    (["--help"], {}, 0, "--show-panel", ""), (["--show-panel", "--version"], {}, 0, "Pindle ", ""),
                    (["--show-panel", "--Show-Panel"], {}, 2, "", "pindle: unknown option --Show-Panel"),
                    (["--bogus"], german, 2, "", "pindle: unbekannte Option --bogus"),
                    (["--bogus"], dict(german, LANGUAGE="en_GB:de"), 2, "", "pindle: unknown option --bogus"),
                    (["--help"], dict(DISPLAY=""), 0, "Ctrl+Shift+Y", ""), ([], dict(DISPLAY=""), 1, "", no_display),
                    (["--show-panel"], dict(DISPLAY=refused), 1, "", no_display)]:
                # The running copy's runtime folder: a launch that went on would reach it.
                result = run([binary, *arguments], env=dict(d.env, XDG_DATA_HOME=empty, HOME=empty, **env))
                self.assertEqual(result.returncode, status, (arguments, result.stderr))
                self.assertIn(stdout, result.stdout, arguments)
                self.assertTrue(result.stderr.startswith(stderr) and result.stderr.count("\n") == bool(stderr),
                                result.stderr)
                self.assertEqual(os.listdir(empty), [], arguments)
            # From the menu: the running one opens its panel; the launched one hands over.
            self.assertEqual(run(menu["Exec"].split(), env=d.env).returncode, 0)
            wait_for(d.panel_active, what="the menu entry to open the panel")
            d.xdotool("type", "--delay", "5", "installed")
            wait_for(lambda: "installed" in d.read_document(), what="the note to be saved")
            d.xdotool("key", "ctrl+q")
            self.assertEqual(d.pindle.wait(5), 0)
        finally:
            d.close()


class InstallTest(Packaging):
    def test_a_prefix_install_is_complete(self):
        # A system install (/usr, /etc), staged with DESTDIR as distribution builds do, is the package's.
        prefix = os.path.join(self.root, "prefix")
        with kept_manifest():
            self.ok(["cmake", "--install", BUILD, "--prefix", prefix],
                    env={k: v for k, v in os.environ.items() if k != "DESTDIR"})
        self.check_tree("", prefix, os.path.join(prefix, "etc"))


class DebianPackageTest(Packaging):
    def test_the_package_is_well_formed_installs_runs_and_purges(self):
        out = os.path.join(self.root, "out")
        with kept_manifest():
            self.ok(["cpack", "-G", "DEB", "-B", out, "--config", os.path.join(BUILD, "CPackConfig.cmake")])
        (deb,) = [os.path.join(out, name) for name in os.listdir(out) if name.endswith(".deb")]
        field = lambda name: self.ok(["dpkg-deb", "--field", deb, name]).strip()  # noqa: E731
        self.assertEqual((field("Package"), field("Version"), field("Architecture")),
                         ("pindle", project_version(), run(["dpkg", "--print-architecture"]).stdout.strip()))
        self.assertTrue(field("Maintainer") and field("Description"))
        # Every library the program loads comes from a declared package.
        depends = {re.match(r"[^ (]+", entry.strip()).group(0) for entry in field("Depends").split(",")}
        self.assertLessEqual({"libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6dbus6",
                              "libutf8proc2"}, depends)
        self.ok(["dpkg-deb", "--control", deb, os.path.join(self.root, "control")])
        with open(os.path.join(self.root, "control", "conffiles"), encoding="utf-8") as conffiles:
            self.assertEqual(conffiles.read().split(), ["/etc/xdg/autostart/pindle.desktop"])
        if shutil.which("lintian"):
            self.ok(["lintian", "--fail-on", "error,warning", deb])
        listed = self.ok(["dpkg-deb", "--contents", deb]).splitlines()
        self.assertEqual([line for line in listed if " root/root " not in line or "./usr/local" in line], [])

        unpacked = os.path.join(self.root, "root")
        if os.geteuid() != 0:
            # dpkg needs root for a database of its own: the package is only unpacked.
            print("\nnot root: the package is unpacked, not installed with dpkg", file=sys.stderr)
            self.ok(["dpkg-deb", "-x", deb, unpacked])
            return self.check_runs(*self.check_tree(unpacked, "/usr", "/etc"))
        database = os.path.join(unpacked, "var/lib/dpkg")
        for folder in ("info", "updates", "triggers"):
            os.makedirs(os.path.join(database, folder))
        for name in ("status", "available"):
            open(os.path.join(database, name), "w").close()
        # The throw-away root has none of the libraries; the machine running the test does.
        dpkg = ["dpkg", f"--root={unpacked}", "--force-depends"]
        self.ok(dpkg + ["--install", deb])
        status = self.ok(dpkg + ["--status", "pindle"])
        self.assertIn("Status: install ok installed", status)
        self.assertIn("/etc/xdg/autostart/pindle.desktop", status.split("Conffiles:")[1])
        self.check_runs(*self.check_tree(unpacked, "/usr", "/etc"))
        # Purged, the package leaves nothing behind but dpkg's own records.
        self.ok(dpkg + ["--purge", "pindle"])
        self.assertEqual([os.path.join(folder, name) for folder, _, names in os.walk(unpacked) for name in names
                          if not folder.startswith(database)], [])


class TranslationTest(unittest.TestCase):
    def test_every_text_in_the_code_has_a_finished_translation_in_every_language(self):
        """lupdate brings a copy of each .ts file up to date with the code: then no message may be
        new, unfinished or gone from the code, and each translation keeps its source's %1, %2."""
        folder = tempfile.mkdtemp(prefix="pindle-ts-")
        self.addCleanup(shutil.rmtree, folder)
        self.assertGreaterEqual(len(LANGUAGES), 8)
        for language in LANGUAGES:
            copy = shutil.copy(os.path.join(TRANSLATIONS, f"pindle_{language}.ts"), folder)
            result = run([os.environ["PINDLE_LUPDATE"], "-locations", "none", os.path.join(HERE, "../../src"), "-ts", copy])
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            for message in ElementTree.parse(copy).iter("message"):
                source, translation = message.findtext("source"), message.find("translation")
                self.assertEqual((translation.get("type"), bool(translation.text), re.findall(r"%\d", translation.text or "")),
                                 (None, True, re.findall(r"%\d", source)), f"{language}: {source!r}")


def main():
    global BUILD
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    BUILD = os.path.abspath(sys.argv[1])
    needed = ["cmake", "desktop-file-validate", "appstreamcli", "Xvfb", "openbox", "trayer", "xdotool"]
    if "DebianPackageTest" in sys.argv[2:] or len(sys.argv) == 2:
        needed += ["cpack", "dpkg-deb", "dpkg-shlibdeps"]
    missing = [tool for tool in needed if not shutil.which(tool)]
    if missing:
        print("SKIP: not installed:", " ".join(missing), "(scripts/install-deps installs them)", file=sys.stderr)
        return 77
    program = unittest.main(argv=[sys.argv[0], "-v", *sys.argv[2:]], exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
