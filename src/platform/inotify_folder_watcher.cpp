#include "inotify_folder_watcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <cstring>

namespace pindle {

namespace {

// Every way a file in the folder can come to hold other bytes, or go.
constexpr std::uint32_t kEvents =
    IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB;

} // namespace

InotifyFolderWatcher::InotifyFolderWatcher(QObject* parent)
    : QObject(parent)
    , m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (m_fd < 0) {
        return; // no watching: the store still compares before every save
    }
    m_notifier = new QSocketNotifier(static_cast<qintptr>(m_fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InotifyFolderWatcher::readEvents);
}

InotifyFolderWatcher::~InotifyFolderWatcher() {
    if (m_fd >= 0) {
        delete m_notifier;
        ::close(m_fd);
    }
}

void InotifyFolderWatcher::watch(const std::vector<std::filesystem::path>& folders, Changed changed) {
    m_changed = std::move(changed);
    if (m_fd < 0) {
        return;
    }
    for (const auto& [descriptor, folder] : m_folders) {
        inotify_rm_watch(m_fd, descriptor);
    }
    m_folders.clear();
    for (const auto& folder : folders) {
        const int descriptor = inotify_add_watch(m_fd, folder.c_str(), kEvents | IN_ONLYDIR);
        if (descriptor >= 0) {
            m_folders[descriptor] = folder.string();
        }
    }
}

void InotifyFolderWatcher::readEvents() {
    alignas(inotify_event) std::array<char, 16384> buffer{};
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return; // EAGAIN: all read
        }
        for (ssize_t at = 0; at < n;) {
            inotify_event event{};
            std::memcpy(&event, buffer.data() + at, sizeof event);
            const char* name = buffer.data() + at + static_cast<ssize_t>(sizeof event);
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (!m_changed) {
                continue;
            }
            if ((event.mask & IN_Q_OVERFLOW) != 0U) {
                m_changed(std::string());
            } else if (event.len > 0 && m_folders.contains(event.wd)) {
                m_changed(std::string(name));
            }
        }
    }
}

} // namespace pindle
