#include "sway_ipc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace pindle {

namespace {

constexpr char kMagic[] = "i3-ipc";
constexpr int kMagicSize = 6;
constexpr int kHeaderSize = kMagicSize + 8;
constexpr quint32 kRunCommand = 0;
constexpr quint32 kGetWorkspaces = 1;
constexpr quint32 kSubscribe = 2;
constexpr quint32 kWindowEvent = 0x80000000U | 3;
constexpr int kTimeoutMs = 250;

// Header fields are in the host's byte order.
QByteArray message(quint32 type, const QByteArray& payload) {
    QByteArray bytes(kMagic, kMagicSize);
    const quint32 fields[2] = {static_cast<quint32>(payload.size()), type};
    bytes.append(reinterpret_cast<const char*>(fields), sizeof fields);
    return bytes + payload;
}

// Takes one whole message off the front of `buffer`: its type and payload.
std::optional<std::pair<quint32, QByteArray>> takeMessage(QByteArray& buffer) {
    if (buffer.size() < kHeaderSize) {
        return std::nullopt;
    }
    quint32 fields[2];
    std::memcpy(fields, buffer.constData() + kMagicSize, sizeof fields);
    if (buffer.size() - kHeaderSize < static_cast<qsizetype>(fields[0])) {
        return std::nullopt;
    }
    QByteArray payload = buffer.mid(kHeaderSize, fields[0]);
    buffer.remove(0, kHeaderSize + fields[0]);
    return std::pair{fields[1], payload};
}

int connectTo(const QString& path) {
    const QByteArray name = path.toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || static_cast<size_t>(name.size()) >= sizeof address.sun_path) {
        return -1;
    }
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends a request on `fd` and waits for its answer (events do not come on a connection that has
// not subscribed to any). Closes `fd` and sets it to -1 when sway does not answer in time, as a
// late answer would be taken for the next request's.
std::optional<QJsonDocument> exchange(int& fd, quint32 type, const QByteArray& payload) {
    const QByteArray bytes = message(type, payload);
    bool ok = fd >= 0 && ::send(fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    QByteArray buffer;
    while (ok) {
        if (auto reply = takeMessage(buffer)) {
            if (reply->first == type) {
                return QJsonDocument::fromJson(reply->second);
            }
            break;
        }
        pollfd readable{fd, POLLIN, 0};
        char chunk[4096];
        const ssize_t got = ::poll(&readable, 1, kTimeoutMs) == 1 ? ::recv(fd, chunk, sizeof chunk, 0) : -1;
        ok = got > 0;
        buffer.append(chunk, ok ? got : 0);
    }
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    return std::nullopt;
}

} // namespace

std::unique_ptr<SwayIpc> SwayIpc::connectToSession() {
    const QString path = qEnvironmentVariable("SWAYSOCK");
    const int requests = connectTo(path);
    return requests >= 0 ? std::unique_ptr<SwayIpc>(new SwayIpc(path, requests)) : nullptr;
}

SwayIpc::SwayIpc(QString path, int requests)
    : m_path(std::move(path))
    , m_requests(requests) {}

SwayIpc::~SwayIpc() {
    watchWindows(false);
    if (m_requests >= 0) {
        ::close(m_requests);
    }
}

std::optional<QJsonDocument> SwayIpc::request(quint32 type, const QByteArray& payload) {
    // A connection given up on is opened again.
    if (m_requests < 0) {
        m_requests = connectTo(m_path);
    }
    return exchange(m_requests, type, payload);
}

std::optional<QRect> SwayIpc::focusedWorkArea() {
    const auto workspaces = request(kGetWorkspaces, {});
    if (!workspaces) {
        return std::nullopt;
    }
    for (const QJsonValue workspace : workspaces->array()) {
        if (workspace[QLatin1String("focused")].toBool()) {
            const QJsonValue rect = workspace[QLatin1String("rect")];
            const QRect area(rect[QLatin1String("x")].toInt(), rect[QLatin1String("y")].toInt(),
                             rect[QLatin1String("width")].toInt(), rect[QLatin1String("height")].toInt());
            return area.isEmpty() ? std::nullopt : std::optional(area);
        }
    }
    return std::nullopt;
}

bool SwayIpc::moveWindow(quint32 window, QPoint topLeft) {
    const QByteArray command =
        QStringLiteral("[id=%1] move absolute position %2 %3").arg(window).arg(topLeft.x()).arg(topLeft.y()).toUtf8();
    const auto results = request(kRunCommand, command);
    return results && !results->array().isEmpty() && results->array().at(0)[QLatin1String("success")].toBool();
}

bool SwayIpc::watchWindows(bool on) {
    if (!on) {
        if (m_eventNotifier) {
            // Possibly called from the notifier's own signal.
            m_eventNotifier->setEnabled(false);
            m_eventNotifier->deleteLater();
            m_eventNotifier = nullptr;
        }
        if (m_events >= 0) {
            ::close(m_events);
            m_events = -1;
        }
        m_eventBuffer.clear();
        return true;
    }
    if (m_events >= 0) {
        return true;
    }
    // Events come on a connection of their own, so they never mix with the answers to requests.
    m_events = connectTo(m_path);
    const auto subscribed = exchange(m_events, kSubscribe, QByteArrayLiteral(R"(["window"])"));
    if (!subscribed || !subscribed->object()[QLatin1String("success")].toBool()) {
        watchWindows(false);
        return false;
    }
    m_eventNotifier = new QSocketNotifier(m_events, QSocketNotifier::Read, this);
    connect(m_eventNotifier, &QSocketNotifier::activated, this, &SwayIpc::readEvents);
    return true;
}

void SwayIpc::readEvents() {
    char chunk[4096];
    const ssize_t got = ::recv(m_events, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got <= 0) {
        if (got == 0) {
            watchWindows(false);
        }
        return;
    }
    m_eventBuffer.append(chunk, got);
    while (auto event = takeMessage(m_eventBuffer)) {
        if (event->first != kWindowEvent) {
            continue;
        }
        const QJsonObject change = QJsonDocument::fromJson(event->second).object();
        const QString what = change[QLatin1String("change")].toString();
        if (what == QLatin1String("new") || what == QLatin1String("floating")) {
            const auto window = change[QLatin1String("container")][QLatin1String("window")].toInteger();
            emit windowPlaced(static_cast<quint32>(window), what == QLatin1String("floating"));
        }
    }
}

} // namespace pindle
