#include "quit_signals.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <xcb/xcb.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <sys/socket.h>
#include <unistd.h>

namespace pindle {

namespace {

constexpr std::array<int, 3> kQuitSignals{SIGTERM, SIGINT, SIGHUP};

// How long input that was on its way before the signal gets to reach the editor.
constexpr int kInputGraceMs = 50;

// Waits until the display server has handed over every event it queued for us before now: a
// key typed just before the signal is then among the events the loop still dispatches.
void syncWithDisplayServer() {
    // qobject_cast, not qGuiApp: the application may be a plain QCoreApplication.
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const auto* x11 = gui != nullptr ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection != nullptr) {
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
}

// [0] is written by the handler, [1] read by the event loop.
int g_pipe[2] = {-1, -1};

extern "C" void onQuitSignal(int signalNumber) {
    const int savedErrno = errno;
    const auto byte = static_cast<char>(signalNumber);
    // A full pipe means a quit is already on its way; the byte may be dropped.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject* parent)
    : QObject(parent) {}

QuitSignals::~QuitSignals() {
    if (!m_notifier) {
        return;
    }
    for (int signalNumber : kQuitSignals) {
        std::signal(signalNumber, SIG_DFL);
    }
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

bool QuitSignals::install() {
    if (m_notifier || g_pipe[0] != -1) {
        return false;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : kQuitSignals) {
        if (::sigaction(signalNumber, &action, nullptr) != 0) {
            for (int installed : kQuitSignals) {
                std::signal(installed, SIG_DFL);
            }
            ::close(g_pipe[0]);
            ::close(g_pipe[1]);
            g_pipe[0] = g_pipe[1] = -1;
            return false;
        }
    }
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::drain);
    return true;
}

void QuitSignals::drain() {
    char bytes[16];
    ssize_t count = 0;
    int last = 0;
    while ((count = ::read(g_pipe[1], bytes, sizeof bytes)) > 0) {
        last = bytes[count - 1];
    }
    if (last != 0) {
        // Typing that reached the display server before the signal must not be lost: fetch it,
        // let the loop dispatch it, then quit (which writes the notes).
        syncWithDisplayServer();
        QTimer::singleShot(kInputGraceMs, this, [this, last] { emit quitRequested(last); });
    }
}

} // namespace pindle
