#include "quit_signals.h"

#include <QDeadlineTimer>
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

// How long the quit waits at most for the display server to answer; only a server that stopped
// answering takes this long.
constexpr int kMarkerTimeoutMs = 2000;

// [0] is written by the handler, [1] read by the event loop.
int g_pipe[2] = {-1, -1};
// Set once the event loop reads the pipe; before that a quit signal ends the process.
volatile sig_atomic_t g_loopListens = 0;
bool g_installed = false;

extern "C" void onQuitSignal(int signalNumber) {
    if (g_loopListens == 0) {
        ::_exit(0);
    }
    const int savedErrno = errno;
    const auto byte = static_cast<char>(signalNumber);
    // A full pipe means a quit is already on its way; the byte may be dropped.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = savedErrno;
}

void restoreDefaults() {
    for (int signalNumber : kQuitSignals) {
        (void)std::signal(signalNumber, SIG_DFL);
    }
}

xcb_connection_t* x11Connection() {
    // qobject_cast, not qGuiApp: the application may be a plain QCoreApplication.
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const auto* x11 = gui != nullptr ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

} // namespace

QuitSignals::QuitSignals(QObject* parent)
    : QObject(parent) {}

QuitSignals::~QuitSignals() {
    if (!m_notifier) {
        return;
    }
    QCoreApplication::instance()->removeNativeEventFilter(this);
    g_loopListens = 0;
    restoreDefaults();
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
    g_installed = false;
}

bool QuitSignals::catchEarly() {
    if (g_pipe[0] != -1) {
        return true;
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
            restoreDefaults();
            ::close(g_pipe[0]);
            ::close(g_pipe[1]);
            g_pipe[0] = g_pipe[1] = -1;
            return false;
        }
    }
    return true;
}

bool QuitSignals::install() {
    if (m_notifier || g_installed || !catchEarly()) {
        return false;
    }
    g_installed = true;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::drain);
    QCoreApplication::instance()->installNativeEventFilter(this);
    g_loopListens = 1;
    return true;
}

void QuitSignals::drain() {
    if (m_draining) {
        return;
    }
    char bytes[16];
    ssize_t count = 0;
    int last = 0;
    while ((count = ::read(g_pipe[1], bytes, sizeof bytes)) > 0) {
        last = static_cast<unsigned char>(bytes[count - 1]);
    }
    if (last == 0) {
        return;
    }
    m_draining = true;
    // Typing that reached the display server before the signal must not be lost: it is applied
    // before the quit writes the notes.
    dispatchInputSentSoFar();
    m_draining = false;
    emit quitRequested(last);
}

void QuitSignals::dispatchInputSentSoFar() {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) {
        QCoreApplication::processEvents();
        return;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    if (m_markerWindow == 0 && screen != nullptr) {
        m_markerWindow = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, m_markerWindow, screen->root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    }
    // The server handles requests in order: the marker comes back behind every event it sent
    // before it read this request.
    xcb_client_message_event_t marker = {};
    marker.response_type = XCB_CLIENT_MESSAGE;
    marker.format = 32;
    marker.window = m_markerWindow;
    marker.type = XCB_ATOM_NONE;
    marker.data.data32[0] = ++m_markerSerial;
    m_markerSeen = false;
    xcb_send_event(connection, 0, m_markerWindow, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&marker));
    xcb_flush(connection);

    QTimer wake;
    wake.start(50); // wakes the waiting loop now and then to check the deadline
    const QDeadlineTimer deadline(kMarkerTimeoutMs);
    while (!m_markerSeen && !deadline.hasExpired() && xcb_connection_has_error(connection) == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    // The input events handled with the marker are queued for delivery to the widgets: deliver
    // them, and what they post in turn.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

bool QuitSignals::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) {
    if (m_markerWindow == 0 || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) {
        return false;
    }
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->window != m_markerWindow) {
        return false;
    }
    if (client->data.data32[0] == m_markerSerial) {
        m_markerSeen = true;
    }
    return true;
}

} // namespace pindle
