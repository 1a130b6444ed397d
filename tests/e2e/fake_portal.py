#!/usr/bin/python3
"""A stand-in for the desktop portal on the session bus of DBUS_SESSION_BUS_ADDRESS: Settings (light
or dark) and GlobalShortcuts, which no portal installable here implements for a test. Tests steer it
through org.pindle.test.Control on the portal's object. Like the real ones, Settings.Read wraps its
value in a second variant and a request's Response goes out before the call's reply.

    fake_portal.py [--settings] [--color-scheme N] [--shortcuts]
"""

import argparse

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

PATH = "/org/freedesktop/portal/desktop"
SETTINGS = "org.freedesktop.portal.Settings"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
CONTROL = "org.pindle.test.Control"
NO_OPTIONS = dbus.Dictionary({}, signature="sv")


class Request(dbus.service.Object):
    @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
    def Response(self, response, results):
        pass


class Session(dbus.service.Object):
    def __init__(self, portal, path):
        super().__init__(portal.bus, path)
        self.portal, self.path = portal, path

    @dbus.service.method("org.freedesktop.portal.Session", in_signature="", out_signature="")
    def Close(self):
        self.portal.closed.append(self.path)
        self.portal.sessions.pop(self.path, None)
        self.remove_from_connection()

    @dbus.service.signal("org.freedesktop.portal.Session", signature="a{sv}")
    def Closed(self, details):
        pass


class Portal(dbus.service.Object):
    def __init__(self, bus, settings, shortcuts):
        super().__init__(bus, PATH)
        self.bus, self.settings, self.shortcuts = bus, settings, shortcuts
        self.sessions, self.session_objects = {}, {}  # session path -> {shortcut id: properties}, its object
        self.closed, self.reads, self.refuse, self.switch = [], 0, False, None

    def _respond(self, sender, options, results, answer=0):
        path = f"{PATH}/request/{sender[1:].replace('.', '_')}/{options.get('handle_token', 't')}"
        request = Request(self.bus, path)
        request.Response(dbus.UInt32(answer), dbus.Dictionary(results, signature="sv"))
        request.remove_from_connection()
        return dbus.ObjectPath(path)

    def _refuse_without_shortcuts(self):
        if not self.shortcuts:
            raise dbus.exceptions.DBusException(SHORTCUTS, name="org.freedesktop.DBus.Error.UnknownMethod")

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if (interface, name) != (SHORTCUTS, "version"):
            raise dbus.exceptions.DBusException(interface, name="org.freedesktop.DBus.Error.UnknownProperty")
        self._refuse_without_shortcuts()
        return dbus.UInt32(1)

    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v")
    def Read(self, namespace, key):
        self.reads += 1
        if self.settings is None or (namespace, key) not in self.settings:
            raise dbus.exceptions.DBusException("not found", name="org.freedesktop.portal.Error.NotFound")
        value = self.settings[(namespace, key)]
        if self.switch is not None:  # switched while the question was on its way: the signal comes first
            self.SetSetting(namespace, key, self.switch)
            self.switch = None
        return value.__class__(value, variant_level=2)

    @dbus.service.signal(SETTINGS, signature="ssv")
    def SettingChanged(self, namespace, key, value):
        pass

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        self._refuse_without_shortcuts()
        path = f"{PATH}/session/{sender[1:].replace('.', '_')}/{options.get('session_handle_token', 's')}"
        self.sessions[path], self.session_objects[path] = {}, Session(self, path)
        return self._respond(sender, options, {"session_handle": dbus.String(path, variant_level=1)})

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent_window, options, sender=None):
        bound = {str(name): {str(k): v for k, v in properties.items()} for name, properties in shortcuts}
        self.sessions[str(session)] = bound
        described = dbus.Array([dbus.Struct((name, dbus.Dictionary(
            {"description": p.get("description", ""), "trigger_description": p.get("preferred_trigger", "")},
            signature="sv"))) for name, p in bound.items()], signature="(sa{sv})")
        return self._respond(sender, options, {"shortcuts": described}, 1 if self.refuse else 0)

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session, shortcut, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Deactivated(self, session, shortcut, timestamp, options):
        pass

    # -- what the tests ask ----------------------------------------------------------------------

    @dbus.service.method(CONTROL, in_signature="ssv", out_signature="")
    def SetSetting(self, namespace, key, value):
        self.settings[(namespace, key)] = value
        self.SettingChanged(namespace, key, value)

    @dbus.service.method(CONTROL, in_signature="s", out_signature="b")
    def Press(self, shortcut):
        """A press and release of `shortcut` in every session that bound it."""
        sessions = [dbus.ObjectPath(path) for path, bound in self.sessions.items() if shortcut in bound]
        for path in sessions:
            self.Activated(path, shortcut, dbus.UInt64(1), NO_OPTIONS)
            self.Deactivated(path, shortcut, dbus.UInt64(2), NO_OPTIONS)
        return bool(sessions)

    @dbus.service.method(CONTROL, in_signature="os", out_signature="")
    def Activate(self, session, shortcut):
        """An activation as sent, whoever bound what."""
        self.Activated(session, shortcut, dbus.UInt64(1), NO_OPTIONS)

    @dbus.service.method(CONTROL, in_signature="o", out_signature="")
    def EndSession(self, path):
        """The desktop ends a session."""
        self.sessions.pop(str(path), None)
        self.session_objects.pop(str(path)).Closed(NO_OPTIONS)

    @dbus.service.method(CONTROL, in_signature="b", out_signature="")
    def Refuse(self, refuse):
        self.refuse = bool(refuse)

    @dbus.service.method(CONTROL, in_signature="v", out_signature="")
    def SwitchDuringNextRead(self, value):
        """The next Read answers with the value it finds but first announces `value`."""
        self.switch = value

    @dbus.service.method(CONTROL, in_signature="", out_signature="as")
    def Bindings(self):
        """Each bound shortcut as "session id preferred-trigger"."""
        return dbus.Array([f"{path} {name} {p.get('preferred_trigger', '')}" for path, bound in self.sessions.items()
                           for name, p in bound.items()], signature="s")

    @dbus.service.method(CONTROL, in_signature="", out_signature="as")
    def ClosedSessions(self):
        return dbus.Array(self.closed, signature="s")

    @dbus.service.method(CONTROL, in_signature="", out_signature="u")
    def Reads(self):
        return dbus.UInt32(self.reads)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--settings", action="store_true")
    parser.add_argument("--color-scheme", type=int)
    parser.add_argument("--shortcuts", action="store_true")
    options = parser.parse_args()
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    settings = {} if options.settings else None
    if options.settings and options.color_scheme is not None:
        settings[("org.freedesktop.appearance", "color-scheme")] = dbus.UInt32(options.color_scheme)
    Portal(bus, settings, options.shortcuts)
    name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)  # noqa: F841 (owned while it lives)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
