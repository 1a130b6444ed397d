#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace pindle {

// One running Pindle per user. The first process takes a lock file and listens on a local
// socket, both in a private (0700) folder of the user's runtime directory; a later process finds
// the lock taken, hands its arguments over the socket, waits until the running one confirms, and
// leaves. A lock left behind by a crashed process (its pid gone or reused by another program) is
// taken over.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        // This process is the running instance (also when the folder could not be made private
        // or the socket not opened: then it just runs without the guard, see warning()).
        primary,
        // The running instance took the arguments; this process should exit with status 0.
        handedOver,
        // Another instance holds the lock but did not take the arguments; see warning().
        failed,
    };

    // `folder` holds the lock and the socket; runtimeFolder() by default.
    explicit SingleInstance(QString folder = runtimeFolder(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Claims the instance or hands `arguments` to the one that runs. Blocks for at most
    // `handOverTimeoutMs` when another instance runs (it may still be starting up).
    Outcome start(const QStringList& arguments, int handOverTimeoutMs = 5000);

    // Why the guard is off, or why the hand-over failed; empty otherwise.
    QString warning() const { return m_warning; }

    // $XDG_RUNTIME_DIR/pindle when XDG_RUNTIME_DIR is set and absolute, else
    // <temp>/pindle-<uid>.
    static QString runtimeFolder();

signals:
    // A later launch handed over its arguments (the program name first).
    void launched(const QStringList& arguments);

private:
    bool makePrivateFolder();
    void listen();
    bool handOver(const QStringList& arguments, int timeoutMs);
    void readFrom(QLocalSocket* socket);

    QString m_folder;
    QString m_warning;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace pindle
