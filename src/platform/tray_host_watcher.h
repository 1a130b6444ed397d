#pragma once

#include <QObject>

#include <memory>

namespace pindle {

// Tells when the desktop has a system tray that can take an icon: a StatusNotifierItem host
// registered with the session's StatusNotifierWatcher, or an XEmbed tray owning the X screen's
// _NET_SYSTEM_TRAY_S<n> selection, whichever comes first.
//
// Qt looks for a StatusNotifierItem host only once, when the process makes its first
// QSystemTrayIcon (or asks QSystemTrayIcon::isSystemTrayAvailable()), and keeps that answer: an
// icon made before such a host runs never shows in it. So the icon, and any question about the
// tray, waits for this.
//
// Waiting costs nothing while nothing changes: it listens for D-Bus signals and X events and
// never polls. GUI thread only; needs the QGuiApplication.
class TrayHostWatcher : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts watching. trayAppeared() follows once: from within start() when an XEmbed tray is
    // there already, later from the event loop otherwise (a StatusNotifierItem host takes a
    // D-Bus round trip to find). The watching stops with it.
    virtual void start() = 0;

signals:
    void trayAppeared();
};

// For this session: the session bus's StatusNotifierWatcher and, when the application talks to
// an X server, the tray selection of its default screen.
std::unique_ptr<TrayHostWatcher> createTrayHostWatcher();

} // namespace pindle
