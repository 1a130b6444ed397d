#pragma once

#include <QObject>

class QSocketNotifier;

namespace pindle {

// Turns SIGTERM, SIGINT and SIGHUP into quitRequested() on the GUI thread. The signal handler
// only writes one byte into a socket pair (async-signal-safe); the event loop reads it and
// emits, so the quit runs like any other: the store is flushed on the way out. Before it emits,
// input the display server had already queued is fetched and given a moment to be dispatched,
// so a key typed just before the signal is saved too. One instance per process; a second
// install() fails.
class QuitSignals final : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // False (and nothing installed) when the socket pair or a handler cannot be set up.
    bool install();

signals:
    // `signalNumber` is the signal that asked for the quit.
    void quitRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace pindle
