#include "single_instance.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace pindle {

namespace {

// A message is "PNDL", a 32-bit big-endian length and the arguments as a QDataStream QStringList;
// the reply is one byte. The limit keeps a stray client from making the instance buffer much.
constexpr char kMagic[4] = {'P', 'N', 'D', 'L'};
constexpr int kHeaderBytes = sizeof kMagic + sizeof(quint32);
constexpr quint32 kMaxMessageBytes = 64 * 1024;
constexpr char kAccepted = 'k';
constexpr char kTooLarge = 'L';
// A launch sends its few bytes at once; a connection still short of a message after this is
// half-open or hostile, and is closed so that such connections cannot pile up.
constexpr int kReadDeadlineMs = 2000;
// Connections served at once; more wait in the listening socket's backlog.
constexpr int kMaxConnections = 16;
constexpr int kBacklog = 16;
// After a failed accept() (out of file descriptors) the pending connection stays queued, and the
// socket would report it readable again at once: listening resumes after this pause instead.
constexpr int kAcceptRetryMs = 250;
constexpr int kConnectRetryMs = 20;
const QString kShowPanel = QStringLiteral("--show-panel");

QString socketPath(const QString& folder) {
    return folder + QStringLiteral("/instance.socket");
}

QByteArray encode(const QStringList& arguments) {
    QByteArray body;
    QDataStream stream(&body, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    stream << arguments;
    QByteArray message(kMagic, sizeof kMagic);
    char length[sizeof(quint32)];
    qToBigEndian(static_cast<quint32>(body.size()), length);
    message.append(length, sizeof length);
    return message + body;
}

QString lastError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Makes `path` and every missing folder above it, each new one private (0700) whatever the umask.
bool makeFolders(const QByteArray& path) {
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray prefix = slash < 0 ? path : path.left(slash);
        if (::mkdir(prefix.constData(), 0700) == 0) {
            ::chmod(prefix.constData(), 0700);
        } else if (errno != EEXIST) {
            return false;
        }
        if (slash < 0) {
            return true;
        }
    }
}

// Names the process that holds a lock, for the messages of the ones that do not get it.
void writeHolder(int fd) {
    const QByteArray holder = QStringLiteral("pid %1 on %2\n")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(QSysInfo::machineHostName())
                                  .toUtf8();
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written =
            ::pwrite(fd, holder.constData(), static_cast<std::size_t>(holder.size()), 0);
    }
}

bool addressOf(const QString& path, sockaddr_un& address) {
    const QByteArray name = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    return true;
}

bool waitFor(int fd, short events, const QDeadlineTimer& deadline) {
    pollfd entry{fd, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

// Sends `message` over a connected socket and returns the one-byte reply, or 0 when none came
// before the deadline or the other side closed.
char exchange(int fd, const QByteArray& message, const QDeadlineTimer& deadline) {
    for (qsizetype sent = 0; sent < message.size();) {
        const ssize_t n =
            ::send(fd, message.constData() + sent, static_cast<std::size_t>(message.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
        } else if (n < 0 && errno != EINTR && (errno != EAGAIN || !waitFor(fd, POLLOUT, deadline))) {
            return 0;
        }
    }
    char reply = 0;
    while (waitFor(fd, POLLIN, deadline)) {
        const ssize_t n = ::read(fd, &reply, 1);
        if (n == 1) {
            return reply;
        }
        if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            break;
        }
    }
    return 0;
}

} // namespace

// One client of the socket, from accept() until its message is answered or its time is up.
class SingleInstance::Connection final : public QObject {
public:
    Connection(SingleInstance* owner, int fd)
        : QObject(owner)
        , m_owner(owner)
        , m_fd(fd)
        , m_notifier(fd, QSocketNotifier::Read, this) {
        ++m_owner->m_connections;
        connect(&m_notifier, &QSocketNotifier::activated, this, &Connection::read);
        QTimer::singleShot(kReadDeadlineMs, this, &Connection::finish);
    }

    ~Connection() override {
        m_notifier.setEnabled(false);
        ::close(m_fd);
        if (--m_owner->m_connections < kMaxConnections && m_owner->m_listener) {
            m_owner->m_listener->setEnabled(true);
        }
    }

private:
    void read() {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                m_received.append(buffer, n);
                if (decide()) {
                    return;
                }
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                // The end before a whole message, or an error: nothing to answer.
                if (n == 0 || errno != EAGAIN) {
                    finish();
                }
                return;
            }
        }
    }

    // True once the connection is done with: answered, refused or dropped.
    bool decide() {
        if (m_received.size() < kHeaderBytes) {
            return false;
        }
        const auto length = qFromBigEndian<quint32>(m_received.constData() + sizeof kMagic);
        if (!m_received.startsWith(QByteArray(kMagic, sizeof kMagic))) {
            finish();
            return true;
        }
        if (length > kMaxMessageBytes) {
            // Said rather than just hung up on, so the launch can tell its user.
            reply(kTooLarge);
            finish();
            return true;
        }
        if (m_received.size() < kHeaderBytes + static_cast<qsizetype>(length)) {
            return false;
        }
        QDataStream stream(m_received.mid(kHeaderBytes, length));
        stream.setVersion(QDataStream::Qt_6_4);
        QStringList arguments;
        stream >> arguments;
        if (stream.status() == QDataStream::Ok) {
            reply(kAccepted);
            SingleInstance* owner = m_owner;
            finish();
            emit owner->launched(arguments);
        } else {
            finish();
        }
        return true;
    }

    void reply(char answer) const { [[maybe_unused]] const ssize_t sent = ::send(m_fd, &answer, 1, MSG_NOSIGNAL); }

    void finish() {
        m_notifier.setEnabled(false);
        deleteLater();
    }

    SingleInstance* m_owner;
    int m_fd;
    QSocketNotifier m_notifier;
    QByteArray m_received;
};

SingleInstance::SingleInstance(QString folder, QString notesFolder, QObject* parent)
    : QObject(parent)
    , m_folder(std::move(folder))
    , m_notesFolder(std::move(notesFolder)) {}

SingleInstance::~SingleInstance() {
    delete m_listener;
    m_listener = nullptr;
    qDeleteAll(findChildren<Connection*>(Qt::FindDirectChildrenOnly));
    if (m_listenFd >= 0) {
        // Removed while the lock is still held, so it is never the socket of a newer instance.
        ::unlink(QFile::encodeName(socketPath(m_folder)).constData());
        ::close(m_listenFd);
    }
    for (const int fd : {m_lockFd, m_notesLockFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

QString SingleInstance::runtimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) {
        return runtime + QStringLiteral("/pindle");
    }
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache)) {
        QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty() || !QDir::isAbsolutePath(home)) {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry != nullptr ? QFile::decodeName(entry->pw_dir) : QString();
        }
        cache = home + QStringLiteral("/.cache");
    }
    return cache + QStringLiteral("/pindle");
}

bool SingleInstance::makePrivateFolder() {
    const QByteArray path = QFile::encodeName(m_folder);
    if (!makeFolders(path)) {
        m_warning = QStringLiteral("cannot create %1: %2").arg(m_folder, lastError());
        return false;
    }
    // Only a real folder of ours that nobody else can enter will do: one that someone else made
    // or can write to could hold their socket in place of ours.
    struct stat info = {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 077) != 0) {
        m_warning = QStringLiteral("%1 is not a private folder of this user").arg(m_folder);
        return false;
    }
    return true;
}

bool SingleInstance::lockNotesFolder() {
    if (m_notesFolder.isEmpty()) {
        return true;
    }
    const QByteArray folder = QFile::encodeName(m_notesFolder);
    // A folder that cannot hold the lock cannot hold the notes either: the saves will say so.
    if (!makeFolders(folder)) {
        return true;
    }
    m_notesLockFd = ::open((folder + "/.notes.lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_notesLockFd < 0) {
        return true;
    }
    if (::flock(m_notesLockFd, LOCK_EX | LOCK_NB) == 0) {
        writeHolder(m_notesLockFd);
        return true;
    }
    if (errno == EWOULDBLOCK) {
        m_warning = QStringLiteral("the notes in %1 are open in another Pindle (%2)")
                        .arg(m_notesFolder, holderOf(m_notesLockFd));
        return false;
    }
    // A file system without locks (some network mounts): nothing to hold.
    ::close(m_notesLockFd);
    m_notesLockFd = -1;
    return true;
}

QString SingleInstance::holderOf(int fd) const {
    char holder[256] = {};
    const ssize_t n = ::pread(fd, holder, sizeof holder - 1, 0);
    return n > 0 ? QString::fromUtf8(holder, n).trimmed() : QStringLiteral("unknown pid");
}

SingleInstance::Outcome SingleInstance::start(const QStringList& arguments, int handOverTimeoutMs) {
    // Without the hand-over the notes lock still keeps a second writer out.
    const auto unguarded = [this] { return lockNotesFolder() ? Outcome::primary : Outcome::failed; };
    if (!makePrivateFolder()) {
        return unguarded();
    }
    const QByteArray lock = QFile::encodeName(m_folder + QStringLiteral("/instance.lock"));
    m_lockFd = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lockFd >= 0 && ::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) {
        if (!lockNotesFolder()) {
            return Outcome::failed;
        }
        writeHolder(m_lockFd);
        listen();
        return Outcome::primary;
    }
    if (m_lockFd < 0 || errno != EWOULDBLOCK) {
        m_warning = QStringLiteral("cannot use the lock file in %1: %2").arg(m_folder, lastError());
        return unguarded();
    }
    if (handOver(arguments, handOverTimeoutMs)) {
        return Outcome::handedOver;
    }
    if (m_warning.isEmpty()) {
        m_warning = QStringLiteral("another Pindle (%1) is running but does not answer").arg(holderOf(m_lockFd));
    }
    return Outcome::failed;
}

void SingleInstance::listen() {
    const QString path = socketPath(m_folder);
    sockaddr_un address;
    if (!addressOf(path, address)) {
        m_warning = QStringLiteral("cannot listen on %1: the path is too long for a socket").arg(path);
        return;
    }
    // The lock is ours, so a socket file still there was left by a crashed instance.
    ::unlink(address.sun_path);
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(address.sun_path, 0600) != 0 || ::listen(m_listenFd, kBacklog) != 0) {
        m_warning = QStringLiteral("cannot listen on %1: %2").arg(path, lastError());
        if (m_listenFd >= 0) {
            ::close(m_listenFd);
            m_listenFd = -1;
        }
        return;
    }
    m_listener = new QSocketNotifier(m_listenFd, QSocketNotifier::Read, this);
    connect(m_listener, &QSocketNotifier::activated, this, &SingleInstance::acceptPending);
}

void SingleInstance::acceptPending() {
    while (m_connections < kMaxConnections) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            new Connection(this, fd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            m_listener->setEnabled(false);
            QTimer::singleShot(kAcceptRetryMs, this, [this] {
                if (m_connections < kMaxConnections) {
                    m_listener->setEnabled(true);
                }
            });
        }
        return;
    }
    // Full: the rest wait in the backlog until a connection ends (see ~Connection).
    m_listener->setEnabled(false);
}

bool SingleInstance::handOver(const QStringList& arguments, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray message = encode(arguments);
    QString leftOut;
    if (message.size() > kHeaderBytes + static_cast<qsizetype>(kMaxMessageBytes)) {
        // The running instance opens its panel for any later launch, and of the arguments only
        // "--show-panel" means anything to it: rather than be refused, hand over just that.
        QStringList essential{arguments.value(0)};
        if (arguments.mid(1).contains(kShowPanel)) {
            essential << kShowPanel;
        }
        leftOut = QStringLiteral("%1 bytes of arguments are more than the running Pindle takes (%2); handed over: %3")
                      .arg(message.size())
                      .arg(kMaxMessageBytes)
                      .arg(essential.join(QLatin1Char(' ')));
        message = encode(essential);
    }
    sockaddr_un address;
    if (!addressOf(socketPath(m_folder), address)) {
        m_warning = QStringLiteral("the socket path in %1 is too long").arg(m_folder);
        return false;
    }
    // The running instance may hold the lock before it listens: try until the deadline.
    while (!deadline.hasExpired()) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        char reply = 0;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            reply = exchange(fd, message, deadline);
        }
        ::close(fd);
        if (reply == kAccepted) {
            m_warning = leftOut;
            return true;
        }
        if (reply == kTooLarge) {
            m_warning = QStringLiteral("the running Pindle (%1) refused %2 bytes of arguments")
                            .arg(holderOf(m_lockFd))
                            .arg(message.size());
            return false;
        }
        QThread::msleep(static_cast<unsigned long>(std::clamp<qint64>(deadline.remainingTime(), 0, kConnectRetryMs)));
    }
    return false;
}

} // namespace pindle
