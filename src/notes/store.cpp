#include "store.h"

#include "file_system.h"
#include "folder_watcher.h"
#include "merge.h"
#include "text.h"

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace pindle {

namespace {

// The ids of `notes`, to ask of many notes at once whether they are still there.
std::unordered_set<std::string_view> idsOf(const std::vector<Note>& notes) {
    std::unordered_set<std::string_view> ids;
    ids.reserve(notes.size());
    for (const Note& note : notes) {
        ids.insert(note.id);
    }
    return ids;
}

} // namespace

Store::Store(StoreServices services, std::optional<std::filesystem::path> fileURL)
    : m_services(services)
    , m_file(fileURL ? std::move(*fileURL) : defaultDocumentPath(), services.fileSystem)
    , m_alive(std::make_shared<Store*>(this)) {
    m_file.createFolder();
    m_file.removeStaleTemporaryFiles();
    load();
    watchFolders();
    // Conflict copies left while Pindle was not running.
    checkForExternalChanges();
}

Store::~Store() = default;

void Store::notify(StoreChange change) {
    // A copy: an observer may unobserve (or observe) while being told.
    const auto observers = m_observers;
    for (const auto& [id, observer] : observers) {
        observer(change);
    }
}

Store::ObserverId Store::observe(std::function<void(StoreChange)> observer) {
    const ObserverId id = m_nextObserverId++;
    m_observers.emplace_back(id, std::move(observer));
    return id;
}

void Store::unobserve(ObserverId id) {
    std::erase_if(m_observers, [id](const auto& entry) { return entry.first == id; });
}

void Store::setConfirmingDelete(bool value) {
    m_confirmingDelete = value;
    notify(StoreChange::confirmingDelete);
}

const Note* Store::activeNote() const {
    const auto index = activeIndex();
    return index ? &m_notes[*index] : nullptr;
}

std::optional<std::size_t> Store::activeIndex() const {
    for (std::size_t i = 0; i < m_notes.size(); ++i) {
        if (text::canonicallyEqual(m_notes[i].id, m_activeId)) {
            return i;
        }
    }
    return std::nullopt;
}

void Store::select(std::string_view id) {
    if (text::canonicallyEqual(id, m_activeId)) {
        return;
    }
    const auto match = std::find_if(m_notes.begin(), m_notes.end(),
                                    [id](const Note& note) { return text::canonicallyEqual(note.id, id); });
    if (match == m_notes.end()) {
        return;
    }
    m_confirmingDelete = false;
    notify(StoreChange::confirmingDelete);
    m_activeId = match->id;
    notify(StoreChange::activeId);
    scheduleSave(true);
}

void Store::select(std::int64_t index) {
    if (index < 0 || static_cast<std::uint64_t>(index) >= m_notes.size()) {
        return;
    }
    // A copy: select(id) compares against the list it may be changing.
    const std::string id = m_notes[static_cast<std::size_t>(index)].id;
    select(std::string_view(id));
}

void Store::addNote() {
    m_confirmingDelete = false;
    notify(StoreChange::confirmingDelete);
    m_notes.push_back(Note::make(m_notes, m_services.clock));
    notify(StoreChange::notes);
    m_activeId = m_notes.back().id;
    notify(StoreChange::activeId);
    scheduleSave(true);
}

void Store::updateActiveText(std::string_view newText) {
    const auto index = activeIndex();
    if (!index) {
        return;
    }
    Note& note = m_notes[*index];
    if (text::canonicallyEqual(note.text, newText)) {
        return;
    }
    note.text.assign(newText);
    note.updatedAt = wholeMillisecondsSinceEpoch(m_services.clock.now());
    notify(StoreChange::notes);
    scheduleSave(false);
}

void Store::deleteActiveNote() {
    const auto index = activeIndex();
    if (!index) {
        return;
    }
    recordDeleted(m_notes[*index].id);
    m_notes.erase(m_notes.begin() + static_cast<std::ptrdiff_t>(*index));
    notify(StoreChange::notes);
    if (m_notes.empty()) {
        m_notes.push_back(Note::make(m_notes, m_services.clock));
        notify(StoreChange::notes);
    }
    m_activeId = m_notes[std::min(*index, m_notes.size() - 1)].id;
    notify(StoreChange::activeId);
    m_confirmingDelete = false;
    notify(StoreChange::confirmingDelete);
    scheduleSave(true);
}

void Store::requestEditorFocus() {
    ++m_focusToken;
    notify(StoreChange::focusToken);
}

void Store::scheduleSave(bool immediate) {
    if (m_saveWork) {
        m_services.scheduler.cancel(*m_saveWork);
        m_saveWork.reset();
    }
    if (immediate) {
        write();
        return;
    }
    std::weak_ptr<Store*> alive = m_alive;
    m_saveWork = m_services.scheduler.schedule(kSaveDelay, [alive] {
        if (const auto store = alive.lock()) {
            (*store)->write();
        }
    });
}

void Store::flush() {
    if (m_saveWork) {
        m_services.scheduler.cancel(*m_saveWork);
        m_saveWork.reset();
    }
    write(true);
}

void Store::watchFolders() {
    if (m_services.folderWatcher == nullptr) {
        return;
    }
    std::weak_ptr<Store*> alive = m_alive;
    m_services.folderWatcher->watch(m_file.watchedFolders(), [alive](const std::string& name) {
        if (const auto store = alive.lock()) {
            (*store)->folderChanged(name);
        }
    });
}

void Store::folderChanged(const std::string& name) {
    // Our own temporary files, a sync engine's and everything else in the folder are not news.
    const std::string documentName = m_file.path().filename().string();
    const std::string targetName = m_file.targetName();
    if (!name.empty() && name != documentName && name != targetName && !isConflictCopyName(name, targetName)) {
        return;
    }
    if (m_checkWork) {
        return; // one look for the whole burst
    }
    std::weak_ptr<Store*> alive = m_alive;
    m_checkWork = m_services.scheduler.schedule(kSettleDelay, [alive] {
        if (const auto store = alive.lock()) {
            (*store)->m_checkWork.reset();
            (*store)->checkForExternalChanges();
        }
    });
}

void Store::checkForExternalChanges() {
    if (m_checkWork) {
        m_services.scheduler.cancel(*m_checkWork);
        m_checkWork.reset();
    }
    if (absorbExternalChanges() == DiskState::merged) {
        scheduleSave(true);
    }
}

Store::DiskState Store::absorbExternalChanges() {
    bool documentMerged = false;
    bool needsSave = false;
    const auto stamp = m_file.stamp();
    if (!stamp) {
        // Gone (removed by hand or by a sync engine): the notes in memory bring it back at once.
        needsSave = m_known.has_value();
        m_known.reset();
    } else if (!m_known || *stamp != m_known->stamp) {
        std::string bytes;
        DocumentIdentity identity;
        const FileStatus read = m_file.read(bytes, &identity);
        if (read.kind == FileStatus::Kind::missing) {
            needsSave = m_known.has_value();
            m_known.reset();
        } else if (read.kind == FileStatus::Kind::notAFile) {
            return DiskState::unchanged; // nothing to merge; the save will not replace it either
        } else if (!read.ok()) {         // NOLINT(bugprone-branch-clone): unreadable, as bytes that do not decode
            return DiskState::unreadable;
        } else if (m_known && identity.hash == m_known->hash) {
            m_known = identity; // the same bytes, touched or rewritten
        } else if (auto document = decodePayload(bytes)) {
            const std::vector<Note> previousBase = std::exchange(m_base, std::move(document->notes));
            documentMerged = true;
            Histories merged;
            adoptMerged(mergeNotes(previousBase, m_notes, m_base, MergeSource::document, m_history, document->history,
                                   document->deleted, &merged));
            for (const std::uint64_t id : document->deleted) {
                // Passed on, so that a third machine that still holds the note lets it go too.
                if (m_deleted.size() < kHistoryLength &&
                    std::find(m_deleted.begin(), m_deleted.end(), id) == m_deleted.end()) {
                    m_deleted.push_back(id);
                }
            }
            adoptHistory(std::move(merged));
            m_known = identity;
            m_unreadableDocumentOnDisk = false;
            m_unreadableSince.reset();
        } else {
            return DiskState::unreadable;
        }
    }
    for (const std::string& path : m_file.conflictCopies()) {
        if (std::find(m_mergedCopies.begin(), m_mergedCopies.end(), path) != m_mergedCopies.end()) {
            continue;
        }
        std::string bytes;
        std::optional<Payload> copy;
        if (m_file.readOther(path, bytes).ok()) {
            copy = decodePayload(bytes);
        }
        if (!copy) {
            continue; // unreadable copies are left alone
        }
        // Against the document as it is now: what the copy holds beyond that is what it adds.
        Histories merged;
        adoptMerged(mergeNotes(m_base, m_notes, copy->notes, MergeSource::conflictCopy, m_history, {}, {}, &merged));
        adoptHistory(std::move(merged));
        m_mergedCopies.push_back(path);
    }
    needsSave = needsSave || !m_mergedCopies.empty() || (documentMerged && m_notes != m_base);
    return needsSave ? DiskState::merged : DiskState::unchanged;
}

void Store::adoptHistory(Histories merged) {
    // A note the merge kept has the history it came with; one deleted elsewhere or here keeps its
    // own for a while (see extendHistory).
    const auto present = idsOf(m_notes);
    for (auto& entry : m_history) {
        if (!present.contains(entry.first)) {
            merged.emplace(entry.first, std::move(entry.second));
        }
    }
    m_history = std::move(merged);
}

void Store::extendHistory() {
    std::unordered_map<std::string_view, const Note*> base;
    for (const Note& note : m_base) {
        base.emplace(note.id, &note);
    }
    for (const Note& note : m_notes) {
        const std::uint64_t self = versionHash(note.id, note.text);
        History& history = m_history[note.id];
        if (history.empty()) {
            // Changed here since it was read or written without one: it grew out of that version.
            const auto known = base.find(note.id);
            if (known == base.end() || known->second->text == note.text) {
                m_history.erase(note.id);
                continue;
            }
            history.push_back(versionHash(note.id, known->second->text));
        } else if (history.front() == self) {
            continue;
        }
        history.insert(history.begin(), self);
        if (history.size() > kHistoryLength) {
            history.resize(kHistoryLength);
        }
    }
    // Deleted notes' histories: a few are enough for the versions still on their way back.
    std::size_t deleted = 0;
    const auto present = idsOf(m_notes);
    std::erase_if(m_history,
                  [&](const auto& entry) { return !present.contains(entry.first) && ++deleted > kHistoryLength; });
}

void Store::recordDeleted(std::string_view id) {
    const std::uint64_t hash = hashDocument(id);
    std::erase(m_deleted, hash);
    m_deleted.insert(m_deleted.begin(), hash);
    if (m_deleted.size() > kHistoryLength) {
        m_deleted.resize(kHistoryLength);
    }
}

void Store::adoptMerged(std::vector<Note> merged) {
    if (merged.empty()) {
        merged.push_back(Note::make(merged, m_services.clock)); // every note deleted elsewhere
    }
    if (merged == m_notes) {
        return;
    }
    const auto kept = idsOf(merged);
    for (const Note& note : m_notes) {
        if (!kept.contains(note.id)) {
            recordDeleted(note.id);
        }
    }
    const std::size_t activeAt = activeIndex().value_or(0);
    m_notes = std::move(merged);
    notify(StoreChange::notes);
    if (!activeIndex()) {
        // The active note was deleted elsewhere: its neighbour takes over, as after a delete here.
        m_activeId = m_notes[std::min(activeAt, m_notes.size() - 1)].id;
        notify(StoreChange::activeId);
        m_confirmingDelete = false;
        notify(StoreChange::confirmingDelete);
    }
}

void Store::load() {
    const bool existed = m_file.exists();
    std::string bytes;
    DocumentIdentity identity;
    const FileStatus read = m_file.read(bytes, &identity);
    std::optional<Payload> document;
    if (read.ok()) {
        document = decodePayload(bytes);
        m_known = identity;
    }
    // A document we cannot read is kept aside before the first save replaces it; an empty file
    // holds nothing worth keeping.
    m_unreadableDocumentOnDisk = existed && !document && !(read.ok() && bytes.empty());

    m_notes = document ? std::move(document->notes) : std::vector<Note>{};
    // A document edited by hand may repeat an id. Selection goes by id, so the later note would
    // be out of reach: it gets an id of its own (written with the next save).
    for (std::size_t i = 1; i < m_notes.size(); ++i) {
        const auto earlier = m_notes.begin() + static_cast<std::ptrdiff_t>(i);
        if (std::any_of(m_notes.begin(), earlier,
                        [&](const Note& note) { return text::canonicallyEqual(note.id, m_notes[i].id); })) {
            m_notes[i].id = makeUuid();
        }
    }
    m_base = m_notes;
    if (document) {
        m_history = std::move(document->history);
        m_deleted = std::move(document->deleted);
    }
    notify(StoreChange::notes);
    if (m_notes.empty()) {
        m_notes.push_back(Note::make(m_notes, m_services.clock));
        notify(StoreChange::notes);
    }
    const bool activeIdKnown =
        document && document->activeId && std::any_of(m_notes.begin(), m_notes.end(), [&](const Note& note) {
            return text::canonicallyEqual(note.id, *document->activeId);
        });
    m_activeId = activeIdKnown ? *document->activeId : m_notes.front().id;
    notify(StoreChange::activeId);
    if (!existed) {
        write();
    }
}

void Store::write(bool force) {
    m_saveWork.reset();
    // Never write over a version we have not seen: merge it first. One that cannot be read (a
    // sync engine mid-write) gets a moment to become readable; its next change brings a look.
    const DiskState disk = absorbExternalChanges();
    if (disk == DiskState::unreadable && !force && !m_unreadableDocumentOnDisk) {
        const auto now = m_services.clock.now();
        if (!m_unreadableSince) {
            m_unreadableSince = now;
        }
        const auto waited = now - *m_unreadableSince;
        if (waited < kUnreadableHold) {
            std::weak_ptr<Store*> alive = m_alive;
            m_saveWork = m_services.scheduler.schedule(kUnreadableHold - waited, [alive] {
                if (const auto store = alive.lock()) {
                    (*store)->write();
                }
            });
            return;
        }
    }
    if (disk == DiskState::unreadable) {
        // Still unreadable after the hold, or a close or quit that cannot wait: whoever wrote it
        // keeps it, set aside as an unreadable document is at start, before ours takes its place.
        m_unreadableDocumentOnDisk = true;
    }
    const FileStatus status = attemptWrite();
    const bool changed = status.kind != m_lastWrite.kind || status.error != m_lastWrite.error;
    m_lastWrite = status;
    if (status.ok()) {
        m_retryDelay = kFirstRetryDelay;
    } else {
        // Typing that is not on disk must not wait for the next keystroke to be tried again.
        std::weak_ptr<Store*> alive = m_alive;
        m_saveWork = m_services.scheduler.schedule(m_retryDelay, [alive] {
            if (const auto store = alive.lock()) {
                (*store)->write();
            }
        });
        m_retryDelay = std::min(m_retryDelay * 2, kLastRetryDelay);
    }
    if (changed) {
        notify(StoreChange::saveStatus);
    }
}

FileStatus Store::attemptWrite() {
    if (m_unreadableDocumentOnDisk) {
        const FileStatus aside = m_file.setAsideUnreadable(m_services.clock.now());
        if (!aside.ok()) {
            return aside; // never replace a document we could not keep a copy of
        }
        m_unreadableDocumentOnDisk = false;
    }
    extendHistory();
    const std::string document = encodeDocument(m_notes, m_activeId, m_history, m_deleted);
    if (document.size() > kMaxDocumentBytes) {
        return {FileStatus::Kind::failed, EFBIG}; // it could never be read back
    }
    DocumentIdentity written;
    const FileStatus status = m_file.replace(document, &written);
    if (status.ok()) {
        m_known = written;
        m_base = m_notes;
        m_unreadableSince.reset();
        for (const std::string& copy : m_mergedCopies) {
            m_file.remove(copy);
        }
        m_mergedCopies.clear();
    }
    return status;
}

std::optional<std::filesystem::path> Store::keepEmergencyCopy() {
    return writeEmergencyCopy(m_services.fileSystem, encodeDocument(m_notes, m_activeId, m_history, m_deleted),
                              m_services.clock.now());
}

} // namespace pindle
