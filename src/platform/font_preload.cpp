#include "font_preload.h"

#include <QFontDatabase>
#include <QStringList>

namespace pindle {

FontPreload::FontPreload()
    : m_thread([] { QFontDatabase::families(); }) {}

FontPreload::~FontPreload() {
    m_thread.join();
}

} // namespace pindle
