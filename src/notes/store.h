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
class FolderWatcher;

// What the store needs from the outside world. All must outlive the store. Without a folder
// watcher, changes that other programs make to the document are still found before every save.
struct StoreServices {
    Scheduler& scheduler;
    Clock& clock;
    FileSystem& fileSystem;
    FolderWatcher* folderWatcher = nullptr;
};

// Which published property an assignment touched.
enum class StoreChange { notes, activeId, confirmingDelete, focusToken, saveStatus };

// The single source of truth for the notes: the ordered list, the active note, the delete
// confirmation and the editor focus request. Keeps the notes document in step: structural changes
// are written at once, text edits 0.3 s after the last one. Main thread only.
//
// Observers are told after every assignment to a published property (one call per assignment,
// also when the value did not change), with the store already in its new state.
//
// Other programs (a sync engine above all) may change the document while Pindle runs. The store
// remembers who the document was when it last read or wrote it, and the notes it held then (the
// last common version). When the folder watcher reports a change, and before every save, it
// compares; a changed document is merged into the notes (see mergeNotes) and the result saved at
// once, so nothing on disk is ever written over unseen. Conflict copies that sync engines leave
// beside the document are merged the same way and removed once the merge is durably saved. A
// document that is unreadable while Pindle runs (an engine mid-write) is neither merged nor set
// aside: saves wait up to kUnreadableHold for the next change; one still unreadable then is set aside
// (as at start, never overwritten) before the notes in memory are written.
class Store {
public:
    static constexpr std::chrono::milliseconds kSaveDelay{300};
    // While saves fail, the store tries again after these pauses, doubling from the first to the
    // last; every change tries at once (after kSaveDelay). Once a save succeeds no timer is left.
    static constexpr std::chrono::milliseconds kFirstRetryDelay{1000};
    static constexpr std::chrono::milliseconds kLastRetryDelay{60000};
    // How long after a reported change the folder is looked at: one look for a burst of events.
    static constexpr std::chrono::milliseconds kSettleDelay{50};
    static constexpr std::chrono::milliseconds kUnreadableHold{2000};

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
    // Cancels a pending save and writes now, whether or not anything was pending (also over a
    // document that is unreadable at the moment).
    void flush();
    // Looks at the document and its conflict copies now and merges what other programs changed;
    // a merge is saved at once. The folder watcher's reports end here.
    void checkForExternalChanges();

    using ObserverId = std::uint64_t;
    ObserverId observe(std::function<void(StoreChange)> observer);
    void unobserve(ObserverId id);

    // For a quit whose last save failed: the whole state in a new private file of the user's own
    // (see writeEmergencyCopy). The path written, or nullopt.
    std::optional<std::filesystem::path> keepEmergencyCopy();

    const std::filesystem::path& fileURL() const { return m_file.path(); }
    // The notes' histories as the next save writes them beside the notes.
    const Histories& history() const { return m_history; }
    // The notes deleted lately, as the next save records them.
    const Deletions& deleted() const { return m_deleted; }
    // The outcome of the most recent write: what the panel shows while saves fail. Observers hear
    // StoreChange::saveStatus when it changes.
    const FileStatus& lastWriteStatus() const { return m_lastWrite; }

private:
    enum class DiskState { unchanged, merged, unreadable };

    void load();
    void write(bool force = false);
    FileStatus attemptWrite();
    void notify(StoreChange change);
    void watchFolders();
    void folderChanged(const std::string& name);
    DiskState absorbExternalChanges();
    void adoptMerged(std::vector<Note> merged);

    StoreServices m_services;
    NotesFile m_file;
    std::vector<Note> m_notes;
    std::string m_activeId;
    bool m_confirmingDelete = false;
    std::int64_t m_focusToken = 0;

    std::optional<Scheduler::TaskId> m_saveWork;
    // An existing document that could not be read waits to be set aside before the first save.
    bool m_unreadableDocumentOnDisk = false;
    // The document as Pindle last read or wrote it (none when it was missing), and its notes: the
    // last common version of every merge.
    std::optional<DocumentIdentity> m_known;
    std::vector<Note> m_base;
    // Each note's history as last read or written (see History), and those of a few notes deleted
    // here, so that an older version of one coming back from another machine stays deleted.
    Histories m_history;
    void adoptHistory(Histories merged);
    void extendHistory();
    // The notes deleted here or taken as deleted from another machine's document (see Deletions).
    Deletions m_deleted;
    void recordDeleted(std::string_view id);
    // Conflict copies already merged, removed after the next durable save.
    std::vector<std::string> m_mergedCopies;
    std::optional<Scheduler::TaskId> m_checkWork;
    // Since when the document has been unreadable, while it is.
    std::optional<std::chrono::system_clock::time_point> m_unreadableSince;
    FileStatus m_lastWrite;
    std::chrono::milliseconds m_retryDelay = kFirstRetryDelay;

    std::vector<std::pair<ObserverId, std::function<void(StoreChange)>>> m_observers;
    ObserverId m_nextObserverId = 1;
    // Held weakly by a queued deferred save, which does nothing once the store is gone.
    std::shared_ptr<Store*> m_alive;
};

} // namespace pindle
