#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace pindle {

// Tells when entries in a few folders change: created, written, renamed in or out, removed. The
// app's implementation is InotifyFolderWatcher (no polling: it sleeps until the kernel reports);
// tests call the callback themselves. Callbacks arrive on the thread that drives the scheduler,
// never from inside watch().
class FolderWatcher {
public:
    // The name of the entry that changed, inside one of the watched folders; empty when the
    // watcher lost track (an event queue overflow) and anything may have changed.
    using Changed = std::function<void(const std::string& name)>;

    FolderWatcher() = default;
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;
    virtual ~FolderWatcher() = default;

    // Replaces what was watched before. A folder that cannot be watched is left out silently.
    virtual void watch(const std::vector<std::filesystem::path>& folders, Changed changed) = 0;
};

} // namespace pindle
