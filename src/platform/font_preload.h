#pragma once

#include <thread>

namespace pindle {

// Fills Qt's font database on a thread of its own while the GUI thread goes on starting up.
// Reading the desktop's font configuration is the largest single cost of the first text on
// screen, and nothing before the panel's first layout needs it. Qt guards the database with a
// lock: a font look-up on the GUI thread meanwhile waits for the fill instead of doing it again.
// Make it once the application object exists; it waits for its thread when destroyed, which must
// come before the application object goes.
class FontPreload final {
public:
    FontPreload();
    ~FontPreload();
    FontPreload(const FontPreload&) = delete;
    FontPreload& operator=(const FontPreload&) = delete;

private:
    std::thread m_thread;
};

} // namespace pindle
