#include "session_end.h"

#include <QGuiApplication>
#include <QSessionManager>

#include <cstdlib>

namespace pindle {

namespace {

SessionEnd* g_armed = nullptr;
std::function<void()>* g_exitFlush = nullptr;
bool g_hookRegistered = false;

extern "C" void flushAtExit() {
    if (g_exitFlush && *g_exitFlush) {
        // Nothing may escape from an exit handler.
        try {
            (*g_exitFlush)();
        } catch (...) {
        }
    }
}

} // namespace

SessionEnd::SessionEnd(std::function<void()> flush, QObject* parent)
    : QObject(parent)
    , m_flush(std::move(flush)) {
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &SessionEnd::commitData, Qt::DirectConnection);
    connect(qGuiApp, &QGuiApplication::saveStateRequest, this, &SessionEnd::saveState, Qt::DirectConnection);
    if (!g_armed) {
        g_armed = this;
        g_exitFlush = &m_flush;
        if (!g_hookRegistered) {
            g_hookRegistered = std::atexit(flushAtExit) == 0;
        }
    }
}

SessionEnd::~SessionEnd() {
    if (g_armed == this) {
        g_armed = nullptr;
        g_exitFlush = nullptr;
    }
}

void SessionEnd::commitData(QSessionManager& manager) {
    manager.setRestartHint(QSessionManager::RestartNever);
    m_flush();
}

void SessionEnd::saveState(QSessionManager& manager) {
    manager.setRestartHint(QSessionManager::RestartNever);
    m_flush();
}

} // namespace pindle
