#pragma once

#include "notes/folder_watcher.h"

#include <QObject>

#include <string>
#include <unordered_map>

class QSocketNotifier;

namespace pindle {

// The app's FolderWatcher: inotify on the watched folders, read through a QSocketNotifier on the
// GUI thread. It costs nothing while nothing changes (no timer, no polling). An atomic replace by
// rename shows as the new name moving in, which is why folders are watched and not the file.
class InotifyFolderWatcher final : public QObject, public FolderWatcher {
    Q_OBJECT

public:
    explicit InotifyFolderWatcher(QObject* parent = nullptr);
    ~InotifyFolderWatcher() override;

    void watch(const std::vector<std::filesystem::path>& folders, Changed changed) override;

private:
    void readEvents();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    std::unordered_map<int, std::string> m_folders; // watch descriptor -> folder
    Changed m_changed;
};

} // namespace pindle
