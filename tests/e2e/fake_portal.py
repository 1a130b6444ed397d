#!/usr/bin/python3
"""A stand-in for the desktop portal, on the session bus named by DBUS_SESSION_BUS_ADDRESS: its
Settings (light or dark) and GlobalShortcuts, the part no portal here implements. Each interface is
offered only when asked for:

    fake_portal.py --ready-fd FD [--settings] [--color-scheme N] [--shortcuts]

Writes "ready" to FD once its name is owned. Tests steer it through the interface
org.pindle.test.Control at /org/pindle/test on the same connection (see Control below).
Answers like the real services do, including the details clients get wrong: Settings.Read wraps
its value in a second variant, and a request's Response goes out before the call's reply, so a
client that subscribes after calling never hears it.
"""

import argparse
import os
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

PORTAL_NAME = "org.freedesktop.portal.Desktop"
PORTAL_PATH = "/org/freedesktop/portal/desktop"
SETTINGS = "org.freedesktop.portal.Settings"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
REQUEST = "org.freedesktop.portal.Request"
SESSION = "org.freedesktop.portal.Session"
PROPERTIES = "org.freedesktop.DBus.Properties"
CONTROL = "org.pindle.test.Control"


def sender_path_part(sender):
    return sender[1:].replace(".", "_")


class PropertiesIntrospected(dbus.service.Object):
    """Lists its properties in its introspection data, as real services do: Qt's D-Bus interfaces
    read properties only when they are declared there."""

    properties = {}  # interface -> {name: D-Bus type}

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, in_signature="", out_signature="s",
                         path_keyword="object_path", connection_keyword="connection")
    def Introspect(self, object_path, connection):
        xml = super().Introspect(object_path, connection)
        for interface, properties in self.properties.items():
            declared = "".join(f'    <property name="{name}" type="{kind}" access="read"/>\n'
                               for name, kind in properties.items())
            xml = xml.replace(f'<interface name="{interface}">\n', f'<interface name="{interface}">\n{declared}', 1)
        return xml


class Request(dbus.service.Object):
    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, response, results):
        pass


class Session(dbus.service.Object):
    def __init__(self, portal, path):
        super().__init__(portal.bus, path)
        self.portal = portal
        self.path = path

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        self.portal.sessions.pop(self.path, None)
        self.remove_from_connection()


class Portal(PropertiesIntrospected):
    def __init__(self, bus, settings, shortcuts):
        super().__init__(bus, PORTAL_PATH)
        self.bus = bus
        self.interfaces = {}
        if settings is not None:
            self.interfaces[SETTINGS] = {"version": dbus.UInt32(2)}
        if shortcuts:
            self.interfaces[SHORTCUTS] = {"version": dbus.UInt32(1)}
        self.properties = {interface: {"version": "u"} for interface in self.interfaces}
        self.settings = settings if settings is not None else {}
        self.sessions = {}  # session path -> {shortcut id: properties}

    def _offered(self, interface):
        if interface not in self.interfaces:
            raise dbus.exceptions.DBusException(f"No such interface “{interface}”",
                                                name="org.freedesktop.DBus.Error.UnknownMethod")

    def _respond(self, sender, options, results):
        """Sends Response on the request's path, before the caller gets the path back."""
        token = str(options.get("handle_token", "t"))
        path = f"{PORTAL_PATH}/request/{sender_path_part(sender)}/{token}"
        request = Request(self.bus, path)
        request.Response(dbus.UInt32(0), dbus.Dictionary(results, signature="sv"))
        request.remove_from_connection()
        return dbus.ObjectPath(path)

    # -- org.freedesktop.DBus.Properties ---------------------------------------------------------

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        self._offered(interface)
        return self.interfaces[interface][name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        self._offered(interface)
        return self.interfaces[interface]

    # -- org.freedesktop.portal.Settings ---------------------------------------------------------

    def _lookup(self, namespace, key):
        self._offered(SETTINGS)
        if (namespace, key) not in self.settings:
            raise dbus.exceptions.DBusException("Requested setting not found",
                                                name="org.freedesktop.portal.Error.NotFound")
        return self.settings[(namespace, key)]

    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v")
    def Read(self, namespace, key):
        # The original method's quirk, kept by every portal: the value arrives inside a second
        # variant.
        value = self._lookup(namespace, key)
        return value.__class__(value, variant_level=2)

    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v")
    def ReadOne(self, namespace, key):
        return self._lookup(namespace, key)

    @dbus.service.method(SETTINGS, in_signature="as", out_signature="a{sa{sv}}")
    def ReadAll(self, namespaces):
        self._offered(SETTINGS)
        result = {}
        for (namespace, key), value in self.settings.items():
            if not namespaces or namespace in namespaces:
                result.setdefault(namespace, dbus.Dictionary({}, signature="sv"))[key] = value
        return dbus.Dictionary(result, signature="sa{sv}")

    @dbus.service.signal(SETTINGS, signature="ssv")
    def SettingChanged(self, namespace, key, value):
        pass

    # -- org.freedesktop.portal.GlobalShortcuts --------------------------------------------------

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        self._offered(SHORTCUTS)
        token = str(options.get("session_handle_token", f"s{len(self.sessions)}"))
        path = f"{PORTAL_PATH}/session/{sender_path_part(sender)}/{token}"
        self.sessions[path] = {}
        Session(self, path)
        return self._respond(sender, options, {"session_handle": dbus.String(path, variant_level=1)})

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent_window, options, sender=None):
        self._offered(SHORTCUTS)
        if str(session) not in self.sessions:
            raise dbus.exceptions.DBusException("Invalid session", name="org.freedesktop.portal.Error.NotFound")
        bound = {str(name): {str(k): v for k, v in properties.items()} for name, properties in shortcuts}
        self.sessions[str(session)] = bound
        described = dbus.Array([dbus.Struct((name, dbus.Dictionary(
            {"description": properties.get("description", ""),
             "trigger_description": properties.get("preferred_trigger", "")}, signature="sv")))
            for name, properties in bound.items()], signature="(sa{sv})")
        return self._respond(sender, options, {"shortcuts": described})

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session, shortcut, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Deactivated(self, session, shortcut, timestamp, options):
        pass


class Control(dbus.service.Object):
    """What the tests ask of the stand-ins."""

    def __init__(self, bus, portal):
        super().__init__(bus, "/org/pindle/test")
        self.portal = portal

    @dbus.service.method(CONTROL, in_signature="ssv", out_signature="")
    def SetSetting(self, namespace, key, value):
        self.portal.settings[(namespace, key)] = value
        self.portal.SettingChanged(namespace, key, value)

    @dbus.service.method(CONTROL, in_signature="", out_signature="a{sa{sa{sv}}}")
    def Shortcuts(self):
        """The shortcuts bound in each open session."""
        return dbus.Dictionary({path: dbus.Dictionary(bound, signature="sa{sv}")
                                for path, bound in self.portal.sessions.items()}, signature="sa{sa{sv}}")

    @dbus.service.method(CONTROL, in_signature="s", out_signature="b")
    def Press(self, shortcut):
        """A press and release of `shortcut` in every session that bound it."""
        pressed = False
        for path, bound in self.portal.sessions.items():
            if shortcut in bound:
                options = dbus.Dictionary({}, signature="sv")
                self.portal.Activated(dbus.ObjectPath(path), shortcut, dbus.UInt64(1), options)
                self.portal.Deactivated(dbus.ObjectPath(path), shortcut, dbus.UInt64(2), options)
                pressed = True
        return pressed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ready-fd", type=int, required=True)
    parser.add_argument("--settings", action="store_true", help="offer the Settings portal")
    parser.add_argument("--color-scheme", type=int, help="org.freedesktop.appearance color-scheme")
    parser.add_argument("--shortcuts", action="store_true", help="offer the GlobalShortcuts portal")
    options = parser.parse_args()

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    settings = None
    if options.settings:
        settings = {}
        if options.color_scheme is not None:
            settings[("org.freedesktop.appearance", "color-scheme")] = dbus.UInt32(options.color_scheme)
    portal = Portal(bus, settings, options.shortcuts)
    name = dbus.service.BusName(PORTAL_NAME, bus)  # noqa: F841 (owned while it lives)
    Control(bus, portal)
    os.write(options.ready_fd, b"ready\n")
    os.close(options.ready_fd)
    GLib.MainLoop().run()


if __name__ == "__main__":
    sys.exit(main())
