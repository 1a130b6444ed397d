#pragma once

#include <mutex>
#include <thread>

namespace pindle {

// Reads the desktop's font configuration (every file under /etc/fonts and the user's) on a thread
// of its own. That is the largest single cost of the first text on screen and needs nothing of Qt,
// so it goes on while the application object connects to the display, which takes about as long.
// Make it first thing; it waits for its thread when destroyed.
class FontConfigPreload final {
public:
    FontConfigPreload();
    ~FontConfigPreload();
    FontConfigPreload(const FontConfigPreload&) = delete;
    FontConfigPreload& operator=(const FontConfigPreload&) = delete;

    // Returns once the configuration is read; from any thread, any number of times.
    void wait();

private:
    std::thread m_thread;
    std::once_flag m_joined;
};

// Gets what the first frame waits for under way on threads of their own while the GUI thread goes
// on starting up (reading the notes, building the panel):
// - Qt's font database, from the configuration `fontConfig` reads. Qt guards the database with a
//   lock: a font look-up on the GUI thread meanwhile waits for the fill instead of doing it again.
// - The session bus connection. Connecting waits for the bus daemon to answer the handshake,
//   which takes milliseconds to tens of them on a busy login; the tray icon and the desktop's
//   colour scheme need the connection, and whoever asks for it first waits for it. Qt shares one
//   connection per process, so the GUI thread later gets this one, ready or nearly so.
// Make it once the application object exists and the process knows it is the one instance; it
// waits for its threads when destroyed, which must come before the application object goes.
class StartupPreload final {
public:
    explicit StartupPreload(FontConfigPreload& fontConfig);
    ~StartupPreload();
    StartupPreload(const StartupPreload&) = delete;
    StartupPreload& operator=(const StartupPreload&) = delete;

private:
    std::thread m_fonts;
    std::thread m_sessionBus;
};

} // namespace pindle
