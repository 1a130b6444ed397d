#!/usr/bin/python3
"""Checks what installing Pindle puts on a machine: the tree `cmake --install` writes into a
temporary prefix, and the Debian package CPack builds, unpacked into a throw-away root. The
installed program is started on a virtual desktop (tests/e2e/desktop.py) from its installed
menu and autostart entries.

    packaging_test.py BUILD_DIR [TestName ...]

Exits 77 (skipped) when a tool the test needs is missing, saying which.
"""

import configparser
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
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from desktop import Desktop, holds_for, wait_for  # noqa: E402

BUILD = None
SKIP_RETURN_CODE = 77


def run(argv, **options):
    return subprocess.run(argv, capture_output=True, text=True, timeout=120, **options)


class KeptManifest:
    """Installing from the build folder, CMake and CPack overwrite its install_manifest.txt; what
    a real install there listed is put back afterwards."""

    def __enter__(self):
        self.path = os.path.join(BUILD, "install_manifest.txt")
        self.saved = None
        if os.path.exists(self.path):
            with open(self.path, "rb") as manifest:
                self.saved = manifest.read()

    def __exit__(self, *exception):
        if self.saved is None:
            if os.path.exists(self.path):
                os.remove(self.path)
        else:
            with open(self.path, "wb") as manifest:
                manifest.write(self.saved)


def project_version():
    with open(os.path.join(BUILD, "CMakeCache.txt"), encoding="utf-8") as cache:
        return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", cache.read(), re.M).group(1)


def desktop_entry(path):
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    return parser["Desktop Entry"]


class InstalledTree:
    """Checks shared by the prefix install and the unpacked package. `root` is where the tree
    starts, `prefix` the install prefix inside it, `sysconf` the folder autostart lives under."""

    def check_tree(self, root, prefix, sysconf):
        usr = root + prefix
        binary = os.path.join(usr, "bin", "pindle")
        self.assertTrue(os.access(binary, os.X_OK), binary)

        # The menu entry opens the panel; the autostart entry only puts Pindle in the tray.
        menu_path = os.path.join(usr, "share", "applications", "pindle.desktop")
        autostart_path = os.path.join(root + sysconf, "xdg", "autostart", "pindle.desktop")
        for path in (menu_path, autostart_path):
            result = run(["desktop-file-validate", path])
            self.assertEqual((result.returncode, result.stdout + result.stderr), (0, ""), path)
        menu = desktop_entry(menu_path)
        autostart = desktop_entry(autostart_path)
        self.assertEqual(menu["Exec"], "pindle --show-panel")
        self.assertEqual(autostart["Exec"], "pindle")
        self.assertEqual(menu["Type"], "Application")
        self.assertNotEqual(autostart.get("Hidden", "false"), "true")

        # The icon both entries name, as a scalable app icon, and its symbolic variant.
        icons = os.path.join(usr, "share", "icons", "hicolor")
        for entry in (menu, autostart):
            self.assertEqual(entry["Icon"], "pindle")
        for path in (os.path.join(icons, "scalable", "apps", "pindle.svg"),
                     os.path.join(icons, "symbolic", "apps", "pindle-symbolic.svg")):
            svg = ElementTree.parse(path).getroot()
            self.assertEqual(svg.tag, "{http://www.w3.org/2000/svg}svg", path)
            self.assertTrue(svg.get("viewBox"), path)

        # AppStream metainfo that the validator accepts, naming the installed entry and program.
        metainfo_dir = os.path.join(usr, "share", "metainfo")
        (metainfo_name,) = os.listdir(metainfo_dir)
        metainfo = os.path.join(metainfo_dir, metainfo_name)
        result = run(["appstreamcli", "validate", "--no-net", metainfo])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        component = ElementTree.parse(metainfo).getroot()
        self.assertEqual(metainfo_name, component.findtext("id") + ".metainfo.xml")
        self.assertEqual(component.findtext("launchable"), "pindle.desktop")
        self.assertEqual(component.findtext("provides/binary"), "pindle")
        self.assertEqual(component.find("releases/release").get("version"), project_version())

        # Each language there is a .ts file for: its .qm file, found by the installed program, and
        # the entries and the summary in that language.
        summaries = {s.get("{http://www.w3.org/XML/1998/namespace}lang") for s in component.findall("summary")}
        for language in [name[len("pindle_"):-3] for name in os.listdir(TRANSLATIONS) if name.endswith(".ts")]:
            self.assertTrue(os.path.isfile(os.path.join(usr, "share", "pindle", "translations",
                                                        f"pindle_{language}.qm")), language)
            self.assertIn(language, summaries)
            for entry in (menu, autostart):
                self.assertTrue(entry.get(f"GenericName[{language}]") and entry.get(f"Comment[{language}]"), language)
        # English first among the user's languages keeps the program English.
        for languages, complaint in (("", "unbekannte Option --bogus"), ("en_GB:de", "unknown option --bogus")):
            result = run([binary, "--bogus"], env=dict(os.environ, LANGUAGE=languages, LC_ALL="de_DE.UTF-8"))
            self.assertEqual((result.returncode, result.stderr.split(" (")[0]), (2, "pindle: " + complaint))

        with gzip.open(os.path.join(usr, "share", "man", "man1", "pindle.1.gz"), "rt", encoding="utf-8") as page:
            self.assertIn("--show-panel", page.read().replace("\\-", "-"))
        return binary, menu, autostart

    def check_runs(self, binary, menu, autostart):
        """The installed program on a virtual desktop, started as the session and the menu
        would start it."""
        bin_dir = os.path.dirname(binary)
        desktop = Desktop(binary)
        try:
            desktop.env["PATH"] = bin_dir + os.pathsep + desktop.env["PATH"]
            # At login: into the tray, the panel stays closed.
            desktop.start_pindle(*autostart["Exec"].split()[1:])
            self.assertTrue(holds_for(lambda: not desktop.panel_shown(), 0.3))
            # From the menu: the running one opens its panel; the launched one hands over.
            launched = subprocess.run(menu["Exec"].split(), env=desktop.env, capture_output=True, timeout=10)
            self.assertEqual(launched.returncode, 0, launched.stderr)
            wait_for(desktop.panel_active, what="the menu entry to open the panel")
            desktop.xdotool("type", "--delay", "5", "installed")
            wait_for(lambda: "installed" in desktop.read_document(), what="the note to be saved")
            desktop.xdotool("key", "ctrl+q")
            self.assertEqual(desktop.pindle.wait(5), 0)
        finally:
            desktop.close()


class InstallTest(InstalledTree, unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="pindle-install-")

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def install(self, prefix, destdir=None):
        env = dict(os.environ)
        env.pop("DESTDIR", None)
        if destdir:
            env["DESTDIR"] = destdir
        with KeptManifest():
            result = run(["cmake", "--install", BUILD, "--prefix", prefix], env=env)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_a_prefix_install_is_complete_and_starts_from_its_entries(self):
        prefix = os.path.join(self.root, "prefix")
        self.install(prefix)
        binary, menu, autostart = self.check_tree("", prefix, os.path.join(prefix, "etc"))
        self.check_runs(binary, menu, autostart)

    def test_a_system_install_puts_autostart_under_etc(self):
        # Staged with DESTDIR, as distribution builds do.
        self.install("/usr", destdir=self.root)
        self.check_tree(self.root, "/usr", "/etc")
        self.assertFalse(os.path.exists(os.path.join(self.root, "usr", "etc")))


class DebianPackageTest(InstalledTree, unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="pindle-deb-")

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def field(self, deb, name):
        result = run(["dpkg-deb", "--field", deb, name])
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.strip()

    def test_the_package_is_well_formed_installs_and_runs(self):
        out = os.path.join(self.root, "out")
        with KeptManifest():
            result = run(["cpack", "-G", "DEB", "-B", out, "--config", os.path.join(BUILD, "CPackConfig.cmake")])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        (deb,) = [os.path.join(out, name) for name in os.listdir(out) if name.endswith(".deb")]

        self.assertEqual(self.field(deb, "Package"), "pindle")
        self.assertEqual(self.field(deb, "Version"), project_version())
        self.assertEqual(self.field(deb, "Architecture"), run(["dpkg", "--print-architecture"]).stdout.strip())
        self.assertTrue(self.field(deb, "Maintainer"))
        self.assertTrue(self.field(deb, "Description"))
        # Every library the program loads comes from a declared package.
        depends = {re.match(r"[^ (]+", entry.strip()).group(0) for entry in self.field(deb, "Depends").split(",")}
        for package in ("libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6dbus6",
                        "libutf8proc2"):
            self.assertIn(package, depends)
        control = os.path.join(self.root, "control")
        run(["dpkg-deb", "--control", deb, control])
        with open(os.path.join(control, "conffiles"), encoding="utf-8") as conffiles:
            self.assertEqual(conffiles.read().split(), ["/etc/xdg/autostart/pindle.desktop"])

        if shutil.which("lintian"):
            result = run(["lintian", "--fail-on", "error,warning", deb])
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        else:
            print("\nlintian is not installed: the package was not linted", file=sys.stderr)

        listed = run(["dpkg-deb", "--contents", deb]).stdout.splitlines()
        self.assertEqual([line for line in listed if " root/root " not in line], [], "files not owned by root")
        self.assertFalse([line for line in listed if "./usr/local" in line])

        unpacked = os.path.join(self.root, "root")
        dpkg = self.install_with_dpkg(deb, unpacked)
        binary, menu, autostart = self.check_tree(unpacked, "/usr", "/etc")
        self.check_runs(binary, menu, autostart)
        if dpkg:
            # Purged, the package leaves nothing behind but dpkg's own records.
            result = run(dpkg + ["--purge", "pindle"])
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            left = [os.path.join(folder, name) for folder, _, names in os.walk(unpacked) for name in names
                    if not folder.startswith(os.path.join(unpacked, "var", "lib", "dpkg"))]
            self.assertEqual(left, [])

    def install_with_dpkg(self, deb, root):
        """Installs `deb` into `root` with dpkg and its own package database, so its conffiles
        are registered as on a real system; returns the dpkg command for that root. dpkg needs
        root for that; otherwise the package is only unpacked, and None returned."""
        if os.geteuid() != 0:
            print("\nnot root: the package is unpacked, not installed with dpkg", file=sys.stderr)
            result = run(["dpkg-deb", "-x", deb, root])
            self.assertEqual(result.returncode, 0, result.stderr)
            return None
        database = os.path.join(root, "var", "lib", "dpkg")
        for folder in ("info", "updates", "triggers"):
            os.makedirs(os.path.join(database, folder))
        for name in ("status", "available"):
            open(os.path.join(database, name), "w").close()
        # The throw-away root has none of the libraries; the machine running the test does.
        dpkg = ["dpkg", f"--root={root}", "--force-depends"]
        result = run(dpkg + ["--install", deb])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        status = run(dpkg + ["--status", "pindle"]).stdout
        self.assertIn("Status: install ok installed", status)
        self.assertIn("/etc/xdg/autostart/pindle.desktop", status.split("Conffiles:")[1])
        return dpkg


class TranslationTest(unittest.TestCase):
    def test_every_text_in_the_code_has_a_finished_translation_in_every_language(self):
        """lupdate brings a copy of each .ts file up to date with the code: then no message may be
        new, unfinished or gone from the code, and each translation keeps its source's %1, %2."""
        folder = tempfile.mkdtemp(prefix="pindle-ts-")
        self.addCleanup(shutil.rmtree, folder)
        names = [name for name in sorted(os.listdir(TRANSLATIONS)) if name.endswith(".ts")]
        self.assertGreaterEqual(len(names), 8)
        for name in names:
            copy = shutil.copy(os.path.join(TRANSLATIONS, name), folder)
            result = run([os.environ["PINDLE_LUPDATE"], "-locations", "none", os.path.join(HERE, "..", "..", "src"),
                          "-ts", copy])
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            for message in ElementTree.parse(copy).iter("message"):
                source, translation = message.findtext("source"), message.find("translation")
                self.assertEqual((translation.get("type"), bool(translation.text), re.findall(r"%\d", translation.text or "")),
                                 (None, True, re.findall(r"%\d", source)), f"{name}: {source!r}")

def missing_tools():
    needed = ["cmake", "desktop-file-validate", "appstreamcli", "Xvfb", "openbox", "trayer", "xdotool"]
    if "DebianPackageTest" in sys.argv[2:] or len(sys.argv) == 2:
        needed += ["cpack", "dpkg-deb", "dpkg-shlibdeps"]
    return [tool for tool in needed if not shutil.which(tool)]


def main():
    global BUILD
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    BUILD = os.path.abspath(sys.argv[1])
    missing = missing_tools()
    if missing:
        print("SKIP: not installed:", " ".join(missing), "(scripts/install-deps installs them)", file=sys.stderr)
        return SKIP_RETURN_CODE
    argv = [sys.argv[0], "-v", *sys.argv[2:]]
    program = unittest.main(argv=argv, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
