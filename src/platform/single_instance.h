#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;

namespace pindle {

// One running Pindle per user, and one writer per notes folder.
//
// The first process takes a lock in a private (0700) folder of the user's runtime directory and
// listens on a Unix socket beside it; a later process finds the lock taken, hands its arguments
// over the socket, waits until the running one confirms, and leaves. The running process also
// holds a lock in the notes folder itself, so that two sessions sharing one home (two logins, a
// home on NFS) never both write the notes. Both are flock() locks, which end with the process
// that holds them: a crashed instance leaves nothing that blocks the next.
//
// The socket is served from the event loop without threads; a connection gets a deadline for its
// message, and the server keeps listening through failed accepts (out of file descriptors).
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        // This process is the running instance (also when the runtime folder could not be made
        // private or the socket not opened: then it runs without the hand-over, see warning()).
        primary,
        // The running instance took the arguments; this process should exit with status 0.
        // warning() may still say what was left out.
        handedOver,
        // Another instance holds the lock but did not take the arguments, or another process
        // writes the notes folder; see warning().
        failed,
    };

    // `folder` holds the lock and the socket (runtimeFolder() by default); `notesFolder`, when
    // given, is the folder of the notes document, locked for as long as this object lives.
    explicit SingleInstance(QString folder = runtimeFolder(), QString notesFolder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Claims the instance or hands `arguments` to the one that runs. Blocks for at most
    // `handOverTimeoutMs` when another instance runs (it may still be starting up). A primary
    // answers later launches from the event loop of the thread that called this.
    Outcome start(const QStringList& arguments, int handOverTimeoutMs = 5000);

    // Why the guard is off, why the hand-over failed or what it left out; empty otherwise.
    QString warning() const { return m_warning; }

    // $XDG_RUNTIME_DIR/pindle when XDG_RUNTIME_DIR is set and absolute, else a folder of the
    // user's own: $XDG_CACHE_HOME/pindle, or ~/.cache/pindle. Never the shared temporary folder,
    // where another user could make the folder first.
    static QString runtimeFolder();

signals:
    // A later launch handed over its arguments (the program name first).
    void launched(const QStringList& arguments);

private:
    class Connection;

    bool lockNotesFolder();
    bool makePrivateFolder();
    void listen();
    void acceptPending();
    bool handOver(const QStringList& arguments, int timeoutMs);
    QString holderOf(int fd) const;

    QString m_folder;
    QString m_notesFolder;
    QString m_warning;
    int m_lockFd = -1;
    int m_notesLockFd = -1;
    int m_listenFd = -1;
    QSocketNotifier* m_listener = nullptr;
    int m_connections = 0;
};

} // namespace pindle
