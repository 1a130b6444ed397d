#include "store.h"

#include "file_system.h"
#include "text.h"

#include <algorithm>
#include <cerrno>

namespace pindle {

Store::Store(StoreServices services, std::optional<std::filesystem::path> fileURL)
    : m_services(services)
    , m_file(fileURL ? std::move(*fileURL) : defaultDocumentPath(), services.fileSystem)
    , m_alive(std::make_shared<Store*>(this)) {
    m_file.createFolder();
    m_file.removeStaleTemporaryFiles();
    load();
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
    scheduleSave(true);
}

void Store::load() {
    const bool existed = m_file.exists();
    std::string bytes;
    const FileStatus read = m_file.read(bytes);
    std::optional<Payload> document;
    if (read.ok()) {
        document = decodePayload(bytes);
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

void Store::write() {
    m_saveWork.reset();
    ++m_writeCount;
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
    const std::string document = encodeDocument(m_notes, m_activeId);
    if (document.size() > kMaxDocumentBytes) {
        return {FileStatus::Kind::failed, EFBIG}; // it could never be read back
    }
    return m_file.replace(document);
}

std::optional<std::filesystem::path> Store::keepEmergencyCopy() {
    return writeEmergencyCopy(m_services.fileSystem, encodeDocument(m_notes, m_activeId), m_services.clock.now());
}

} // namespace pindle
