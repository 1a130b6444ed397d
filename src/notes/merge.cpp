#include "merge.h"

#include "text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <regex>
#include <unordered_map>
#include <unordered_set>

namespace pindle {

namespace {

using Index = std::unordered_map<std::string_view, const Note*>;

Index indexById(const std::vector<Note>& notes) {
    Index index;
    for (const Note& note : notes) {
        index.emplace(note.id, &note); // a duplicate id keeps its first note, as look-ups do
    }
    return index;
}

const Note* find(const Index& index, std::string_view id) {
    const auto found = index.find(id);
    return found == index.end() ? nullptr : found->second;
}

bool sameContent(const Note& a, const Note& b) {
    return a.color == b.color && text::canonicallyEqual(a.text, b.text);
}

// The later of two versions that differ only in their timestamps: the same choice on every
// machine, whichever side it calls local.
const Note& later(const Note& a, const Note& b) {
    if (a.updatedAt != b.updatedAt) {
        return a.updatedAt > b.updatedAt ? a : b;
    }
    return a.createdAt >= b.createdAt ? a : b;
}

bool holds(const History* history, std::uint64_t hash) {
    return history != nullptr && std::find(history->begin(), history->end(), hash) != history->end();
}

const History* findHistory(const Histories& histories, const std::string& id) {
    const auto found = histories.find(id);
    return found == histories.end() || found->second.empty() ? nullptr : &found->second;
}

// Of two texts both machines hold, the one the note keeps once they agree: the later, the
// greater text when both are as late.
const Note& settled(const Note& a, const Note& b) {
    if (a.updatedAt != b.updatedAt) {
        return a.updatedAt > b.updatedAt ? a : b;
    }
    return a.text >= b.text ? a : b;
}

class Merge {
public:
    Merge(const std::vector<Note>& base, const std::vector<Note>& local, const std::vector<Note>& other,
          MergeSource source, const Histories& localHistory, const Histories& otherHistory,
          const Deletions& otherDeleted)
        : m_base(indexById(base))
        , m_local(indexById(local))
        , m_localNotes(local)
        , m_otherIndex(indexById(other))
        , m_other(other)
        , m_copy(source == MergeSource::conflictCopy)
        , m_localHistory(localHistory)
        , m_otherHistory(otherHistory)
        , m_otherDeleted(otherDeleted)
        , m_recordsDeletions(!otherDeleted.empty() ||
                             std::any_of(otherHistory.begin(), otherHistory.end(),
                                         [](const auto& entry) { return !entry.second.empty(); })) {
        for (const Note& note : local) {
            const Note* theirs = find(m_otherIndex, note.id);
            m_concurrent = m_concurrent || (theirs != nullptr && descent(note, *theirs) == Descent::concurrent);
        }
        for (const Note& note : local) {
            mergeLocal(note);
        }
        for (std::size_t i = 0; i < other.size(); ++i) {
            if (find(m_local, other[i].id) == nullptr) {
                mergeOtherOnly(i);
            }
        }
        dropSettledConflictNotes();
    }

    std::vector<Note> result;
    Histories history;

private:
    enum class Descent { unknown, theirsOlder, theirsNewer, concurrent };

    // How the other version of a note stands to ours, as far as the histories tell.
    Descent descent(const Note& mine, const Note& theirs) const {
        const std::uint64_t theirsHash = versionHash(theirs.id, theirs.text);
        if (holds(findHistory(m_localHistory, mine.id), theirsHash)) {
            return Descent::theirsOlder;
        }
        const History* theirsHistory = m_copy ? nullptr : findHistory(m_otherHistory, theirs.id);
        if (theirsHistory == nullptr) {
            return Descent::unknown;
        }
        return holds(theirsHistory, versionHash(mine.id, mine.text)) ? Descent::theirsNewer : Descent::concurrent;
    }

    void mergeLocal(const Note& mine) {
        const Note* base = find(m_base, mine.id);
        const Note* theirs = find(m_otherIndex, mine.id);
        if (theirs == nullptr) {
            // Deleted there: gone too when unchanged here. A copy deletes nothing, nor does a
            // document that grew beside ours, nor one that records its deletions but not this one.
            if (m_copy || m_concurrent || !deletedThere(mine.id) || base == nullptr || !(*base == mine)) {
                pushMine(mine);
            }
            return;
        }
        if (mine == *theirs) {
            pushMine(mine);
            return;
        }
        if (sameContent(mine, *theirs)) {
            const Note& kept = m_copy ? mine : later(mine, *theirs);
            &kept == &mine ? pushMine(mine) : pushTheirs(*theirs);
            return;
        }
        switch (descent(mine, *theirs)) {
        case Descent::theirsOlder:
            pushMine(mine);
            return;
        case Descent::theirsNewer:
            pushTheirs(*theirs);
            return;
        case Descent::concurrent:
            if (find(m_otherIndex, conflictNoteId(mine.id, mine.text)) != nullptr) {
                // They already keep our text beside theirs: both settle on the same arrangement.
                if (&settled(mine, *theirs) == theirs) {
                    pushTheirs(*theirs);
                    return;
                }
            }
            pushMine(mine);
            pushConflict(mine, *theirs);
            return;
        case Descent::unknown:
            break;
        }
        const bool mineChanged = base == nullptr || !(*base == mine);
        const bool theirsChanged = base == nullptr || !(*base == *theirs);
        if (!theirsChanged) {
            pushMine(mine);
        } else if (!mineChanged && !m_copy) {
            pushTheirs(*theirs);
        } else {
            // Changed on both sides (a copy's differing text counts as such: it may be the older
            // one): both texts stay, the other one as a note of its own right after this one.
            pushMine(mine);
            pushConflict(mine, *theirs);
        }
    }

    // Whether the other document lacks a note because it was deleted there, not because that
    // machine never held it; a document that records no deletions cannot tell.
    bool deletedThere(std::string_view id) const {
        return !m_recordsDeletions ||
               std::find(m_otherDeleted.begin(), m_otherDeleted.end(), hashDocument(id)) != m_otherDeleted.end();
    }

    void pushConflict(const Note& mine, const Note& theirs) {
        Note conflict{conflictNoteId(mine.id, theirs.text), mine.color, theirs.text, theirs.createdAt,
                      theirs.updatedAt};
        if (find(m_local, conflict.id) == nullptr && find(m_otherIndex, conflict.id) == nullptr &&
            !(m_copy && holdsText(conflict.text))) {
            // What it grew out of as the other side's note, so that a later one can stand for it.
            const History* grown = m_copy ? nullptr : findHistory(m_otherHistory, theirs.id);
            History lineage{versionHash(conflict.id, conflict.text)};
            if (grown != nullptr) {
                lineage.insert(lineage.end(), grown->begin(),
                               grown->begin() +
                                   static_cast<std::ptrdiff_t>(std::min(grown->size(), kHistoryLength - 1)));
            }
            push(std::move(conflict), grown != nullptr ? &lineage : nullptr);
        }
    }

    void mergeOtherOnly(std::size_t i) {
        const Note& theirs = m_other[i];
        if (m_copy) {
            // A copy brings back whatever the document lacks, unless it adds nothing readable.
            if (theirs.isBlank() || holdsText(theirs.text)) {
                return;
            }
        } else if (const Note* base = find(m_base, theirs.id);
                   (base != nullptr && *base == theirs) ||
                   holds(findHistory(m_localHistory, theirs.id), versionHash(theirs.id, theirs.text))) {
            return; // deleted here: unchanged there, or after this version
        }
        // After the nearest note that precedes it there and is already in the result.
        std::size_t position = 0;
        for (std::size_t k = i; k-- > 0;) {
            const auto at =
                std::find_if(result.begin(), result.end(), [&](const Note& note) { return note.id == m_other[k].id; });
            if (at != result.end()) {
                position = static_cast<std::size_t>(at - result.begin()) + 1;
                break;
            }
        }
        if (m_ids.insert(theirs.id).second) {
            result.insert(result.begin() + static_cast<std::ptrdiff_t>(position), theirs);
            if (const History* kept = m_copy ? nullptr : findHistory(m_otherHistory, theirs.id)) {
                history[theirs.id] = *kept;
            }
        }
    }

    // A conflict note is one whose id is conflictNoteId(note, its text). Once this merge brings a
    // note (its own, or a later conflict note of it) that text, or a text grown out of it, it keeps
    // nothing that note does not: it goes, on both machines alike; so does one the other side
    // brings that is held already.
    void dropSettledConflictNotes() {
        std::vector<std::uint64_t> textHashes;
        std::vector<std::uint64_t> idHashes;
        std::unordered_map<std::uint64_t, std::vector<std::size_t>> heldBy; // a version: the notes grown out of it
        for (std::size_t i = 0; i < result.size(); ++i) {
            textHashes.push_back(hashDocument(result[i].text));
            idHashes.push_back(hashDocument(result[i].id));
            if (const History* grown = findHistory(history, result[i].id)) {
                for (const std::uint64_t version : *grown) {
                    heldBy[version].push_back(i);
                }
            }
        }
        const auto changedHere = [&](std::size_t i) {
            const Note* before = find(m_local, result[i].id);
            return before == nullptr || !(*before == result[i]);
        };
        std::vector<bool> drop(result.size(), false);
        for (std::size_t x = 0; x < result.size(); ++x) {
            const bool local = find(m_local, result[x].id) != nullptr;
            const auto standsFor = [&](std::size_t y) { return y != x && !drop[y] && (!local || changedHere(y)); };
            for (std::size_t n = 0; n < result.size() && !drop[x]; ++n) {
                if (n == x) {
                    continue;
                }
                bool held = standsFor(n) && textHashes[n] == textHashes[x] && result[n].text == result[x].text;
                if (const auto holders = heldBy.find(versionHash(idHashes[n], textHashes[x]));
                    holders != heldBy.end()) {
                    held = held || std::any_of(holders->second.begin(), holders->second.end(), standsFor);
                }
                drop[x] = held && result[x].id == conflictNoteId(result[n].id, result[x].text);
            }
        }
        std::size_t at = 0;
        std::erase_if(result, [&](const Note& note) {
            if (drop[at++]) {
                history.erase(note.id);
                return true;
            }
            return false;
        });
    }

    void pushMine(const Note& mine) { push(mine, findHistory(m_localHistory, mine.id)); }
    void pushTheirs(const Note& theirs) { push(theirs, m_copy ? nullptr : findHistory(m_otherHistory, theirs.id)); }

    void push(Note note, const History* noteHistory) {
        if (m_ids.insert(note.id).second) {
            if (noteHistory != nullptr) {
                history[note.id] = *noteHistory;
            }
            result.push_back(std::move(note));
        }
    }

    bool holdsText(std::string_view text) const {
        const auto same = [&](const Note& note) { return text::canonicallyEqual(note.text, text); };
        return std::any_of(result.begin(), result.end(), same) ||
               std::any_of(m_localNotes.begin(), m_localNotes.end(), same);
    }

    Index m_base;
    Index m_local;
    const std::vector<Note>& m_localNotes;
    Index m_otherIndex;
    const std::vector<Note>& m_other;
    bool m_copy;
    const Histories& m_localHistory;
    const Histories& m_otherHistory;
    const Deletions& m_otherDeleted;
    bool m_recordsDeletions;
    bool m_concurrent = false;
    std::unordered_set<std::string> m_ids;
};

// FNV-1a over `bytes`, continuing from both hashes at once: two independent chains keep the
// processor busy where one would wait for each multiply.
void feed(std::array<std::uint64_t, 2>& hashes, std::string_view bytes) {
    constexpr std::uint64_t kPrime = 0x100000001b3ULL;
    std::uint64_t first = hashes[0];
    std::uint64_t second = hashes[1];
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        first = (first ^ byte) * kPrime;
        second = (second ^ byte) * kPrime;
    }
    hashes = {first, second};
}

// A SplitMix64 finaliser, for a good spread.
std::uint64_t finish(std::uint64_t hash) {
    hash ^= hash >> 30U;
    hash *= 0xbf58476d1ce4e5b9ULL;
    hash ^= hash >> 27U;
    hash *= 0x94d049bb133111ebULL;
    return hash ^ (hash >> 31U);
}

} // namespace

std::vector<Note> mergeNotes(const std::vector<Note>& base, const std::vector<Note>& local,
                             const std::vector<Note>& other, MergeSource source, const Histories& localHistory,
                             const Histories& otherHistory, const Deletions& otherDeleted, Histories* mergedHistory) {
    Merge merge(base, local, other, source, localHistory, otherHistory, otherDeleted);
    if (mergedHistory != nullptr) {
        *mergedHistory = std::move(merge.history);
    }
    return std::move(merge.result);
}

std::string conflictNoteId(std::string_view id, std::string_view noteText) {
    // Two FNV-1a hashes of the id, a NUL and the text, fed piece by piece: a note of megabytes is
    // hashed at every start and save, and is not copied for it.
    std::array<std::uint64_t, 2> halves = {0xcbf29ce484222325ULL, 0x84222325cbf29ce4ULL};
    feed(halves, id);
    feed(halves, std::string_view("\0", 1));
    feed(halves, noteText);
    halves = {finish(halves[0]), finish(halves[1])};
    std::array<unsigned char, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<unsigned char>(halves[i / 8] >> (8 * (i % 8)));
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0FU) | 0x40U); // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3FU) | 0x80U); // RFC 4122 variant
    constexpr char kHex[] = "0123456789abcdef";
    std::string uuid;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            uuid += '-';
        }
        uuid += kHex[bytes[i] >> 4U];
        uuid += kHex[bytes[i] & 0x0FU];
    }
    return uuid;
}

bool isConflictCopyName(std::string_view name, std::string_view documentName) {
    const auto dot = documentName.rfind('.');
    const std::string_view stem = documentName.substr(0, dot);
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : documentName.substr(dot);
    if (name.size() <= documentName.size() || !name.starts_with(stem) || !name.ends_with(extension)) {
        return false;
    }
    static const std::regex kMarks(R"(\.sync-conflict-\d{8}-\d{6}-[A-Z0-9]{7})"                // Syncthing
                                   R"(| \(conflicted copy \d{4}-\d{2}-\d{2} \d{6}\))"          // Nextcloud
                                   R"(| \(.+conflicted copy \d{4}-\d{2}-\d{2}( \(\d+\))?\))"); // Dropbox
    const std::string_view mark = name.substr(stem.size(), name.size() - stem.size() - extension.size());
    return std::regex_match(mark.begin(), mark.end(), kMarks);
}

} // namespace pindle
