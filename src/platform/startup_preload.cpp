#include "startup_preload.h"

#include <QDBusConnection>
#include <QFontDatabase>
#include <QStringList>

namespace pindle {

StartupPreload::StartupPreload()
    : m_fonts([] { QFontDatabase::families(); })
    , m_sessionBus([] { QDBusConnection::sessionBus(); }) {}

StartupPreload::~StartupPreload() {
    m_sessionBus.join();
    m_fonts.join();
}

} // namespace pindle
