#include "startup_preload.h"

#include <QDBusConnection>
#include <QFontDatabase>
#include <QStringList>

#include <fontconfig/fontconfig.h>

namespace pindle {

// Qt's font database starts by asking fontconfig for its configuration, which then is the one
// read here: fontconfig keeps one per process.
FontConfigPreload::FontConfigPreload()
    : m_thread([] { FcInit(); }) {}

FontConfigPreload::~FontConfigPreload() {
    wait();
}

void FontConfigPreload::wait() {
    std::call_once(m_joined, [this] { m_thread.join(); });
}

StartupPreload::StartupPreload(FontConfigPreload& fontConfig)
    : m_fonts([&fontConfig] {
        // Two first readers would both read the whole configuration; one of them waits instead.
        fontConfig.wait();
        QFontDatabase::families();
    })
    , m_sessionBus([] { QDBusConnection::sessionBus(); }) {}

StartupPreload::~StartupPreload() {
    m_sessionBus.join();
    m_fonts.join();
}

} // namespace pindle
