#include "wayland_session.h"

#include <QByteArray>
#include <QtGlobal>

namespace pindle {

bool isWaylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qgetenv("XDG_SESSION_TYPE").trimmed().toLower() == QByteArrayLiteral("wayland");
}

} // namespace pindle
