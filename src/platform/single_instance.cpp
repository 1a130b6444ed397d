#include "single_instance.h"

#include <QByteArray>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace pindle {

namespace {

// A message is "PNDL", a 32-bit length and the arguments as a QDataStream QStringList; the
// reply is one byte. The limit keeps a stray client from making the instance buffer much.
constexpr char kMagic[4] = {'P', 'N', 'D', 'L'};
constexpr quint32 kMaxMessageBytes = 64 * 1024;
constexpr char kAccepted = 'k';

QString socketPath(const QString& folder) {
    return folder + QStringLiteral("/instance.socket");
}
QString lockPath(const QString& folder) {
    return folder + QStringLiteral("/instance.lock");
}

QByteArray encode(const QStringList& arguments) {
    QByteArray body;
    QDataStream stream(&body, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    stream << arguments;
    QByteArray message(kMagic, sizeof kMagic);
    QDataStream header(&message, QIODevice::Append);
    header << static_cast<quint32>(body.size());
    return message + body;
}

} // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent)
    , m_folder(std::move(folder)) {}

SingleInstance::~SingleInstance() {
    if (m_server) {
        m_server->close();
    }
}

QString SingleInstance::runtimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) {
        return runtime + QStringLiteral("/pindle");
    }
    return QDir::tempPath() + QStringLiteral("/pindle-") + QString::number(::getuid());
}

bool SingleInstance::makePrivateFolder() {
    const QByteArray path = QFile::encodeName(m_folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        m_warning = QStringLiteral("cannot create %1: %2").arg(m_folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // In a shared temporary folder someone else could have made it first: only a real folder of
    // ours that nobody else can enter will do.
    struct stat info = {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 077) != 0) {
        m_warning = QStringLiteral("%1 is not a private folder of this user").arg(m_folder);
        return false;
    }
    return true;
}

SingleInstance::Outcome SingleInstance::start(const QStringList& arguments, int handOverTimeoutMs) {
    if (!makePrivateFolder()) {
        return Outcome::primary;
    }
    m_lock = std::make_unique<QLockFile>(lockPath(m_folder));
    // Age alone never makes a lock stale: Pindle holds it for days. A dead or reused pid does.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        listen();
        return Outcome::primary;
    }
    if (m_lock->error() != QLockFile::LockFailedError) {
        m_warning = QStringLiteral("cannot use the lock file in %1").arg(m_folder);
        m_lock.reset();
        return Outcome::primary;
    }
    if (handOver(arguments, handOverTimeoutMs)) {
        return Outcome::handedOver;
    }
    qint64 pid = 0;
    QString host;
    QString application;
    m_lock->getLockInfo(&pid, &host, &application);
    m_warning = QStringLiteral("another Pindle (pid %1) is running but does not answer").arg(pid);
    return Outcome::failed;
}

void SingleInstance::listen() {
    const QString path = socketPath(m_folder);
    // The lock is ours, so a socket file still there was left by a crashed instance.
    QLocalServer::removeServer(path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) {
        m_warning = QStringLiteral("cannot listen on %1: %2").arg(path, m_server->errorString());
        delete m_server;
        m_server = nullptr;
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this]() {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket]() { readFrom(socket); });
        }
    });
}

void SingleInstance::readFrom(QLocalSocket* socket) {
    if (socket->bytesAvailable() < static_cast<qint64>(sizeof kMagic + sizeof(quint32))) {
        return;
    }
    const QByteArray head = socket->peek(sizeof kMagic + sizeof(quint32));
    quint32 length = 0;
    QDataStream lengthStream(head.mid(sizeof kMagic));
    lengthStream >> length;
    if (!head.startsWith(QByteArray(kMagic, sizeof kMagic)) || length > kMaxMessageBytes) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < static_cast<qint64>(head.size() + length)) {
        return;
    }
    socket->read(head.size());
    const QByteArray body = socket->read(length);
    QDataStream stream(body);
    stream.setVersion(QDataStream::Qt_6_4);
    QStringList arguments;
    stream >> arguments;
    if (stream.status() != QDataStream::Ok) {
        socket->abort();
        return;
    }
    socket->write(&kAccepted, 1);
    socket->flush();
    socket->disconnectFromServer();
    emit launched(arguments);
}

bool SingleInstance::handOver(const QStringList& arguments, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    const QByteArray message = encode(arguments);
    // The running instance may hold the lock before it listens: try until the deadline.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath(m_folder));
        if (socket.waitForConnected(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 1000)))) {
            socket.write(message);
            while (socket.bytesToWrite() > 0 &&
                   socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
            }
            while (socket.bytesAvailable() < 1 && socket.state() == QLocalSocket::ConnectedState &&
                   socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            }
            char reply = 0;
            if (socket.read(&reply, 1) == 1 && reply == kAccepted) {
                return true;
            }
        }
        QThread::msleep(100);
    }
    return false;
}

} // namespace pindle
