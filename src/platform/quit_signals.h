#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>

class QSocketNotifier;

namespace pindle {

// Turns SIGTERM, SIGINT and SIGHUP into quitRequested() on the GUI thread. The signal handler
// only writes one byte into a socket pair (async-signal-safe); the event loop reads it and
// emits, so the quit runs like any other: the store is flushed on the way out.
//
// Before it emits, every input event the display server sent before the signal is dispatched:
// a marker event goes to the server and back, and the loop runs until it has handled the marker,
// so keys typed just before the signal are in the note however long each takes.
//
// catchEarly() installs the handlers at the very start of the process; until install() (called
// right before the event loop starts) a quit signal ends the process at once, exit status 0:
// nothing has been changed in memory yet, and a start that hangs or takes long must not make the
// process deaf to quit requests. One instance per process; a second install() fails.
class QuitSignals final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // Async-signal-safe handlers for the quit signals, ending the process until install(). False
    // when the socket pair or a handler cannot be set up. Idempotent.
    static bool catchEarly();

    // From now on the event loop handles quit signals. False (and nothing installed) when the
    // socket pair or a handler cannot be set up, or another instance installed already.
    bool install();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // `signalNumber` is the signal that asked for the quit.
    void quitRequested(int signalNumber);

private:
    void drain();
    // Runs the loop until every event the display server sent before now is dispatched.
    void dispatchInputSentSoFar();

    QSocketNotifier* m_notifier = nullptr;
    bool m_draining = false;
    std::uint32_t m_markerWindow = 0;
    std::uint32_t m_markerSerial = 0;
    bool m_markerSeen = false;
};

} // namespace pindle
