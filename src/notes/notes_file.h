#pragma once

#include "note.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pindle {

class FileSystem;

// What a note's text descends from, as the document records it beside the note ("history", which
// other programs ignore): the hash of the version itself (versionHash), then those of the versions
// saved before it, newest first, at most kHistoryLength. Two machines editing one note through a
// sync engine tell from it whether the other's text grew out of theirs or beside it. A history
// whose first hash is not its note's own (another program changed the text) is no history.
using History = std::vector<std::uint64_t>;
using Histories = std::unordered_map<std::string, History>; // by note id
inline constexpr std::size_t kHistoryLength = 32;

// The notes deleted here or taken as deleted from another machine's document, latest first, at
// most kHistoryLength: the hashes (hashDocument) of their ids. The document records them
// ("deleted", which other programs ignore, written only when not empty), so that another machine
// tells a note deleted here from one this machine never held.
using Deletions = std::vector<std::uint64_t>;

// The hash of one version of a note: its id and its text; the second form from hashDocument() of each.
std::uint64_t versionHash(std::string_view id, std::string_view text);
std::uint64_t versionHash(std::uint64_t idHash, std::uint64_t textHash);

// The notes document: the ordered notes, the id of the active one, the notes' histories and the
// notes deleted lately.
struct Payload {
    std::vector<Note> notes;
    std::optional<std::string> activeId;
    Histories history = {};
    Deletions deleted = {};
};

// Documents larger than this are unreadable: it keeps a hostile file (a 100 GB sparse one) from
// filling the memory. Pindle never writes a larger document (a save that would is refused), so
// every document it wrote reads back. Values nested deeper than kMaxDocumentDepth are never part
// of a note: they are skipped unread, not built, whatever their depth.
inline constexpr std::size_t kMaxDocumentBytes = std::size_t{512} * 1024 * 1024;
inline constexpr int kMaxDocumentDepth = 8;

// The exact written form: sorted keys, two-space indentation, " : ", "\/", non-ASCII as is,
// whole timestamps as plain integers, no newline at the end.
std::string encodePayload(const Payload& payload);
std::string encodeDocument(const std::vector<Note>& notes, const std::optional<std::string>& activeId,
                           const Histories& history = {}, const Deletions& deleted = {});

// Strict reading: "notes" must be an array of complete note objects, "activeId" a string, null
// or absent; other members are ignored. Anything else (including invalid UTF-8, a byte order
// mark, NUL bytes, non-finite numbers, excessive size or depth) gives nullopt. Never throws.
std::optional<Payload> decodePayload(std::string_view bytes);

// "<data home>/Pindle/notes.json": $XDG_DATA_HOME when set and absolute, else ~/.local/share.
std::filesystem::path defaultDocumentPath();

// Why a save or read did not happen; `error` is the errno of the call that failed. `notAFile`:
// something other than a regular file (a FIFO, a socket, a device, a folder) stands where the
// document is, or where a link to it points; Pindle neither reads it nor replaces it.
struct FileStatus {
    enum class Kind { ok, missing, failed, notAFile };
    Kind kind = Kind::ok;
    int error = 0;
    bool ok() const { return kind == Kind::ok; }
};

// Who the document on disk is: enough to tell, without reading it, that it is still the version
// Pindle last read or wrote. A sync engine's atomic replace gives a new inode, an in-place write a
// new size or modification time; `hash` (of the bytes) tells a real change from a mere touch.
struct DocumentStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0; // st_mtim in nanoseconds; a rename keeps it
    friend bool operator==(const DocumentStamp&, const DocumentStamp&) = default;
};

struct DocumentIdentity {
    DocumentStamp stamp;
    std::uint64_t hash = 0;
    friend bool operator==(const DocumentIdentity&, const DocumentIdentity&) = default;
};

// A 64-bit hash of the document's bytes (FNV-1a).
std::uint64_t hashDocument(std::string_view bytes);

// Reads and replaces the document crash-safely. Owns no state beyond its path; the store keeps
// one for its whole life.
class NotesFile {
public:
    NotesFile(std::filesystem::path path, FileSystem& fileSystem);

    const std::filesystem::path& path() const { return m_path; }

    // Creates the document's folder and its missing parents, each 0700. Existing folders are
    // left as they are.
    FileStatus createFolder();

    // Removes temporary files that an interrupted save left beside the document.
    void removeStaleTemporaryFiles();

    // Whether something (file, link, folder) exists at the path.
    bool exists();

    // The whole document. `missing` when there is none, `notAFile` when it is no regular file
    // (checked before it is opened, and opened without blocking, so a FIFO never hangs the read),
    // `failed` when it cannot be read (or is over kMaxDocumentBytes), with its bytes otherwise;
    // `identity`, when given, is filled in from the same open file.
    FileStatus read(std::string& bytes, DocumentIdentity* identity = nullptr);

    // The stamp of the document (through a symlink), or nullopt when there is none.
    std::optional<DocumentStamp> stamp();

    // Replaces the document with `bytes`: a 0600 temporary file in the target's folder, written
    // fully, fsynced and closed, renamed over the document, then the folder fsynced. A symlinked
    // document is written through to its target when that is a regular file or does not exist;
    // anything else is left alone (`notAFile`). On any failure before the rename the temporary
    // file is removed and the document is untouched.
    // `identity`, when given, is set to what was written once the save has succeeded.
    FileStatus replace(std::string_view bytes, DocumentIdentity* identity = nullptr);

    // The folders whose entries tell of a change to the document: its own and, when it is a
    // symlink, its target's.
    std::vector<std::filesystem::path> watchedFolders();

    // The file name of the document, or of its target when it is a symlink.
    std::string targetName();

    // Conflict copies a sync engine left beside the document (see isConflictCopyName), as full
    // paths in name order. Empty when the folder cannot be listed.
    std::vector<std::string> conflictCopies();
    // Reads a conflict copy as read() does the document.
    FileStatus readOther(const std::string& path, std::string& bytes);
    FileStatus remove(const std::string& path);

    // Keeps the existing document as "notes.json.unreadable-YYYYMMDD-HHMMSS" (or with "-2", "-3"…
    // appended when that name is taken) in the same folder, never overwriting anything. Only a
    // regular file is kept aside; anything else gives `notAFile`.
    FileStatus setAsideUnreadable(std::chrono::system_clock::time_point now);

private:
    std::string resolveTarget();
    // The type bits of what `target` names without following a link; 0 when nothing is there,
    // nullopt (errno set) when it cannot be told.
    std::optional<mode_t> typeOf(const std::string& target);
    FileStatus readPath(const std::string& path, std::string& bytes, DocumentIdentity* identity);

    std::filesystem::path m_path;
    FileSystem& m_fs;
};

// Writes `bytes` to a new 0600 file of the user's own, for a quit whose last save failed: in the
// home folder, else the runtime folder, else /tmp, named "pindle-unsaved-notes-YYYYMMDD-HHMMSS.json"
// (with "-2", "-3"… when taken), never replacing anything. The path written, or nullopt.
std::optional<std::filesystem::path> writeEmergencyCopy(FileSystem& fileSystem, std::string_view bytes,
                                                        std::chrono::system_clock::time_point now);

} // namespace pindle
