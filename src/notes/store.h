#pragma once

#include "note.h"
#include "notes_file.h"
#include "scheduler.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pindle {

class FileSystem;

// What the store needs from the outside world. All three must outlive the store.
struct StoreServices {
    Scheduler& scheduler;
    Clock& clock;
    FileSystem& fileSystem;
};

// Which published property an assignment touched.
enum class StoreChange { notes, activeId, confirmingDelete, focusToken, saveStatus };

// The single source of truth for the notes: the ordered list, the active note, the delete
// confirmation and the editor focus request. Keeps the notes document in step: structural changes
// are written at once, text edits 0.3 s after the last one. Main thread only.
//
// Observers are told after every assignment to a published property (one call per assignment,
// also when the value did not change), with the store already in its new state.
class Store {
public:
    static constexpr std::chrono::milliseconds kSaveDelay{300};
    // While saves fail, the store tries again after these pauses, doubling from the first to the
    // last; every change tries at once (after kSaveDelay). Once a save succeeds no timer is left.
    static constexpr std::chrono::milliseconds kFirstRetryDelay{1000};
    static constexpr std::chrono::milliseconds kLastRetryDelay{60000};

    // Loads the document at `fileURL`, or at defaultDocumentPath() when none is given. After
    // construction `notes` is never empty and `activeId` names one of them.
    explicit Store(StoreServices services, std::optional<std::filesystem::path> fileURL = std::nullopt);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const std::vector<Note>& notes() const { return m_notes; }
    const std::string& activeId() const { return m_activeId; }
    bool confirmingDelete() const { return m_confirmingDelete; }
    void setConfirmingDelete(bool value);
    std::int64_t focusToken() const { return m_focusToken; }

    const Note* activeNote() const;
    std::optional<std::size_t> activeIndex() const;

    // No-ops when nothing matches or the note is already active.
    void select(std::string_view id);
    void select(std::int64_t index);
    void addNote();
    // Replaces the active note's text (the whole text). An unchanged text does nothing.
    void updateActiveText(std::string_view text);
    void deleteActiveNote();
    void requestEditorFocus();
    void scheduleSave(bool immediate = false);
    // Cancels a pending save and writes now, whether or not anything was pending.
    void flush();

    using ObserverId = std::uint64_t;
    ObserverId observe(std::function<void(StoreChange)> observer);
    void unobserve(ObserverId id);

    // For a quit whose last save failed: the whole state in a new private file of the user's own
    // (see writeEmergencyCopy). The path written, or nullopt.
    std::optional<std::filesystem::path> keepEmergencyCopy();

    const std::filesystem::path& fileURL() const { return m_file.path(); }
    // The outcome of the most recent write: what the panel shows while saves fail. Observers hear
    // StoreChange::saveStatus when it changes.
    const FileStatus& lastWriteStatus() const { return m_lastWrite; }
    // How many writes were attempted (successful or not).
    std::uint64_t writeCount() const { return m_writeCount; }

private:
    void load();
    void write();
    FileStatus attemptWrite();
    void notify(StoreChange change);

    StoreServices m_services;
    NotesFile m_file;
    std::vector<Note> m_notes;
    std::string m_activeId;
    bool m_confirmingDelete = false;
    std::int64_t m_focusToken = 0;

    std::optional<Scheduler::TaskId> m_saveWork;
    // An existing document that could not be read waits to be set aside before the first save.
    bool m_unreadableDocumentOnDisk = false;
    FileStatus m_lastWrite;
    std::chrono::milliseconds m_retryDelay = kFirstRetryDelay;
    std::uint64_t m_writeCount = 0;

    std::vector<std::pair<ObserverId, std::function<void(StoreChange)>>> m_observers;
    ObserverId m_nextObserverId = 1;
    // Held weakly by a queued deferred save, which does nothing once the store is gone.
    std::shared_ptr<Store*> m_alive;
};

} // namespace pindle
