#pragma once

#include <thread>

namespace pindle {

// Gets what the first frame waits for under way on threads of their own while the GUI thread goes
// on starting up (reading the notes, building the panel):
// - Qt's font database. Reading the desktop's font configuration is the largest single cost of
//   the first text on screen, and nothing before the panel's first layout needs it. Qt guards the
//   database with a lock: a font look-up on the GUI thread meanwhile waits for the fill instead
//   of doing it again.
// - The session bus connection. Connecting waits for the bus daemon to answer the handshake,
//   which takes milliseconds to tens of them on a busy login; the tray icon and the desktop's
//   colour scheme need the connection, and whoever asks for it first waits for it. Qt shares one
//   connection per process, so the GUI thread later gets this one, ready or nearly so.
// Make it once the application object exists and the process knows it is the one instance; it
// waits for its threads when destroyed, which must come before the application object goes.
class StartupPreload final {
public:
    StartupPreload();
    ~StartupPreload();
    StartupPreload(const StartupPreload&) = delete;
    StartupPreload& operator=(const StartupPreload&) = delete;

private:
    std::thread m_fonts;
    std::thread m_sessionBus;
};

} // namespace pindle
