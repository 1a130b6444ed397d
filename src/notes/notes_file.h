#pragma once

#include "note.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pindle {

class FileSystem;

// The notes document: the ordered notes and the id of the active one.
struct Payload {
    std::vector<Note> notes;
    std::optional<std::string> activeId;
};

// Documents larger than this are unreadable, as are JSON values nested deeper than
// kMaxDocumentDepth: both are far beyond anything Pindle writes.
inline constexpr std::size_t kMaxDocumentBytes = std::size_t{64} * 1024 * 1024;
inline constexpr int kMaxDocumentDepth = 64;

// The exact written form: sorted keys, two-space indentation, " : ", "\/", non-ASCII as is,
// whole timestamps as plain integers, no newline at the end.
std::string encodePayload(const Payload& payload);
std::string encodeDocument(const std::vector<Note>& notes, const std::optional<std::string>& activeId);

// Strict reading: "notes" must be an array of complete note objects, "activeId" a string, null
// or absent; other members are ignored. Anything else (including invalid UTF-8, a byte order
// mark, NUL bytes, non-finite numbers, excessive size or depth) gives nullopt. Never throws.
std::optional<Payload> decodePayload(std::string_view bytes);

// "<data home>/Pindle/notes.json": $XDG_DATA_HOME when set and absolute, else ~/.local/share.
std::filesystem::path defaultDocumentPath();

// Why a save or read did not happen; `error` is the errno of the call that failed.
struct FileStatus {
    enum class Kind { ok, missing, failed };
    Kind kind = Kind::ok;
    int error = 0;
    bool ok() const { return kind == Kind::ok; }
};

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

    // The whole document. `missing` when there is none, `failed` when it cannot be read (or is
    // over kMaxDocumentBytes), with its bytes otherwise.
    FileStatus read(std::string& bytes);

    // Replaces the document with `bytes`: a 0600 temporary file in the target's folder, written
    // fully, fsynced and closed, renamed over the document, then the folder fsynced. A symlinked
    // document is written through to its target. On any failure before the rename the temporary
    // file is removed and the document is untouched.
    FileStatus replace(std::string_view bytes);

    // Keeps the existing document as "notes.json.unreadable-YYYYMMDD-HHMMSS" (or with "-2", "-3"…
    // appended when that name is taken) in the same folder, never overwriting anything.
    FileStatus setAsideUnreadable(std::chrono::system_clock::time_point now);

private:
    std::string resolveTarget();

    std::filesystem::path m_path;
    FileSystem& m_fs;
};

} // namespace pindle
