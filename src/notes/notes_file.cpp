#include "notes_file.h"

#include "file_system.h"
#include "merge.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <random>

namespace pindle {

namespace {

// ---- Writing ----------------------------------------------------------------------------------

// Appends `s` as a JSON string. Malformed UTF-8 (which no editor should hand us) is written as
// U+FFFD rather than producing a document that could never be read back.
void appendString(std::string& out, std::string_view s) {
    constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t i = 0;
    while (i < s.size()) {
        // A run of printable ASCII that needs no escape goes in at once: a pasted blob is one run.
        std::size_t plain = i;
        for (; plain < s.size(); ++plain) {
            const auto b = static_cast<unsigned char>(s[plain]);
            if (b < 0x20 || b >= 0x80 || b == '"' || b == '\\' || b == '/') {
                break;
            }
        }
        out.append(s.data() + i, plain - i);
        i = plain;
        if (i == s.size()) {
            break;
        }
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x80) {
            // Validate one multi-byte sequence.
            std::size_t length = 0;
            std::uint32_t cp = 0;
            if ((c & 0xE0U) == 0xC0U) {
                length = 2;
                cp = c & 0x1FU;
            } else if ((c & 0xF0U) == 0xE0U) {
                length = 3;
                cp = c & 0x0FU;
            } else if ((c & 0xF8U) == 0xF0U) {
                length = 4;
                cp = c & 0x07U;
            }
            bool valid = length != 0 && i + length <= s.size();
            for (std::size_t k = 1; valid && k < length; ++k) {
                const auto next = static_cast<unsigned char>(s[i + k]);
                valid = (next & 0xC0U) == 0x80U;
                cp = (cp << 6U) | (next & 0x3FU);
            }
            if (valid) {
                constexpr std::array<std::uint32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
                valid = cp >= kSmallest[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
            }
            if (valid) {
                out.append(s.substr(i, length));
                i += length;
            } else {
                out += "\xEF\xBF\xBD";
                i += 1;
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4U];
                out += kHex[c & 0x0FU];
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
}

// Whole numbers as plain integers; anything with a fraction in its shortest round-trip form.
void appendNumber(std::string& out, double value) {
    std::array<char, 400> buffer{};
    std::to_chars_result result{};
    if (std::isfinite(value) && value == std::trunc(value)) {
        if (std::fabs(value) < 9.0e15) {
            result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<std::int64_t>(value));
        } else {
            result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
        }
    } else if (std::isfinite(value)) {
        result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    } else {
        out += '0'; // never produced by the clock or by reading; JSON has no spelling for it
        return;
    }
    out.append(buffer.data(), result.ptr);
}

// An array of at most kHistoryLength hashes, each as 16 lower-case hex digits, its elements
// indented by `indent` and its closing bracket two spaces less.
void appendHashes(std::string& out, const std::vector<std::uint64_t>& hashes, std::string_view indent) {
    constexpr char kHex[] = "0123456789abcdef";
    out += '[';
    for (std::size_t i = 0; i < hashes.size() && i < kHistoryLength; ++i) {
        out += i == 0 ? "\n" : ",\n";
        out += indent;
        out += '"';
        for (int shift = 60; shift >= 0; shift -= 4) {
            out += kHex[(hashes[i] >> static_cast<unsigned>(shift)) & 0xFU];
        }
        out += '"';
    }
    out += '\n';
    out += indent.substr(2);
    out += ']';
}

void appendNote(std::string& out, const Note& note, const History* history) {
    out += "    {\n      \"color\" : ";
    appendString(out, note.color);
    out += ",\n      \"createdAt\" : ";
    appendNumber(out, note.createdAt);
    if (history != nullptr && !history->empty()) {
        out += ",\n      \"history\" : ";
        appendHashes(out, *history, "        ");
    }
    out += ",\n      \"id\" : ";
    appendString(out, note.id);
    out += ",\n      \"text\" : ";
    appendString(out, note.text);
    out += ",\n      \"updatedAt\" : ";
    appendNumber(out, note.updatedAt);
    out += "\n    }";
}

// ---- Reading ----------------------------------------------------------------------------------

using Json = nlohmann::json;

// Takes the strings out of `value`: a note's text may be megabytes, and is not copied.
std::optional<Note> decodeNote(Json& value) {
    if (!value.is_object()) {
        return std::nullopt;
    }
    const auto text = [&value](const char* key) -> std::string* {
        const auto found = value.find(key);
        return found != value.end() && found->is_string() ? found->get_ptr<std::string*>() : nullptr;
    };
    const auto number = [&value](const char* key) -> std::optional<double> {
        const auto found = value.find(key);
        if (found == value.end() || !found->is_number()) {
            return std::nullopt;
        }
        const double n = found->get<double>();
        return std::isfinite(n) ? std::optional<double>(n) : std::nullopt;
    };
    const auto* id = text("id");
    const auto* color = text("color");
    const auto* body = text("text");
    const auto createdAt = number("createdAt");
    const auto updatedAt = number("updatedAt");
    if (id == nullptr || color == nullptr || body == nullptr || !createdAt || !updatedAt) {
        return std::nullopt;
    }
    return Note{*id, *color, *body, *createdAt, *updatedAt};
}

// The first kHistoryLength hashes of the array `key` of `value`, 16 lower-case hex digits each.
// Anything else is none, and never makes the document unreadable.
std::vector<std::uint64_t> decodeHashes(const Json& value, const char* key) {
    const auto found = value.find(key);
    if (found == value.end() || !found->is_array()) {
        return {};
    }
    std::vector<std::uint64_t> hashes;
    for (const Json& element : *found) {
        const auto* hex = element.is_string() ? element.get_ptr<const std::string*>() : nullptr;
        std::uint64_t hash = 0;
        if (hex == nullptr || hex->size() != 16 || hex->find_first_not_of("0123456789abcdef") != std::string::npos) {
            return {};
        }
        std::from_chars(hex->data(), hex->data() + hex->size(), hash, 16);
        if (hashes.size() < kHistoryLength) {
            hashes.push_back(hash);
        }
    }
    return hashes;
}

// A note's "history" when it is one: its own version's hash first.
History decodeHistory(const Json& value, const Note& note) {
    History history = decodeHashes(value, "history");
    if (history.empty()) {
        return {};
    }
    return history.front() == versionHash(note.id, note.text) ? history : History{};
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileStatus failure(int error) {
    return {FileStatus::Kind::failed, error};
}

// ".notes.json.tmp-": what the temporary files of a save, and only they, start with. Built by
// appending, which also keeps GCC 12's -Wrestrict false positive on `"." + s` at -O3 quiet.
std::string temporaryPrefix(const std::string& target) {
    std::string prefix(".");
    prefix += nameOf(target);
    prefix += ".tmp-";
    return prefix;
}

// Retries a call interrupted by a signal. Used for every call but close(), which on Linux has
// released the descriptor even when interrupted and must not be repeated.
template <typename Call> auto retryOnInterrupt(Call call) {
    for (;;) {
        auto result = call();
        if (result >= 0 || errno != EINTR) {
            return result;
        }
    }
}

std::string temporarySuffix() {
    static std::mt19937_64 generator{std::random_device{}()};
    constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    for (int i = 0; i < 8; ++i) {
        suffix += kDigits[generator() % 36];
    }
    return suffix;
}

// "YYYYMMDD-HHMMSS" in local time; empty when the time cannot be told.
std::string localStamp(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    std::array<char, 32> stamp{};
    if (localtime_r(&seconds, &local) == nullptr ||
        std::strftime(stamp.data(), stamp.size(), "%Y%m%d-%H%M%S", &local) == 0) {
        return {};
    }
    return stamp.data();
}

// Writes all of `bytes` to a new file at `path` (never an existing one, never through a link),
// 0600, synced. False with the file removed when anything fails.
bool writeNewFile(FileSystem& fs, const std::string& path, std::string_view bytes) {
    const int fd =
        retryOnInterrupt([&] { return fs.open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600); });
    if (fd < 0) {
        return false;
    }
    bool ok = retryOnInterrupt([&] { return fs.fchmod(fd, 0600); }) == 0;
    for (std::size_t written = 0; ok && written < bytes.size();) {
        const ssize_t n =
            retryOnInterrupt([&] { return fs.write(fd, bytes.data() + written, bytes.size() - written); });
        ok = n > 0;
        written += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && retryOnInterrupt([&] { return fs.fsync(fd); }) == 0;
    ok = fs.close(fd) == 0 && ok;
    if (!ok) {
        fs.unlink(path);
    }
    return ok;
}

DocumentStamp stampOf(const struct stat& info) {
    constexpr std::int64_t kNanoseconds = 1'000'000'000;
    return {info.st_dev, info.st_ino, info.st_size,
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * kNanoseconds + info.st_mtim.tv_nsec};
}

} // namespace

std::optional<std::filesystem::path> writeEmergencyCopy(FileSystem& fileSystem, std::string_view bytes,
                                                        std::chrono::system_clock::time_point now) {
    std::vector<std::string> folders;
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] == '/') {
            folders.emplace_back(value);
        }
    }
    folders.emplace_back("/tmp");
    const std::string stamp = localStamp(now);
    for (const std::string& folder : folders) {
        // Only a folder of the user's own, or one anybody may write to where the new file is
        // still private and nobody can swap it (O_EXCL, no links followed).
        struct stat info {};
        if (retryOnInterrupt([&] { return fileSystem.lstat(folder, &info); }) != 0 || !S_ISDIR(info.st_mode) ||
            (info.st_uid != getuid() && (info.st_mode & S_ISVTX) == 0)) {
            continue;
        }
        const std::string base = std::string(folder).append("/pindle-unsaved-notes-").append(stamp);
        for (int n = 1; n < 100; ++n) {
            const std::string path = (n == 1 ? base : base + "-" + std::to_string(n)) + ".json";
            if (writeNewFile(fileSystem, path, bytes)) {
                return path;
            }
            if (errno != EEXIST) {
                break;
            }
        }
    }
    return std::nullopt;
}

std::uint64_t hashDocument(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    return hash;
}

std::uint64_t versionHash(std::string_view id, std::string_view text) {
    return versionHash(hashDocument(id), hashDocument(text));
}

std::uint64_t versionHash(std::uint64_t idHash, std::uint64_t textHash) {
    // The id's and the text's own hashes, mixed (SplitMix64's finaliser): a note's text hashed once
    // serves every id it is compared under.
    std::uint64_t hash = idHash ^ (textHash * 0x9e3779b97f4a7c15ULL);
    hash ^= hash >> 30U;
    hash *= 0xbf58476d1ce4e5b9ULL;
    hash ^= hash >> 27U;
    hash *= 0x94d049bb133111ebULL;
    return hash ^ (hash >> 31U);
}

std::string encodeDocument(const std::vector<Note>& notes, const std::optional<std::string>& activeId,
                           const Histories& history, const Deletions& deleted) {
    std::size_t estimate = 64;
    for (const Note& note : notes) {
        estimate += note.text.size() + note.id.size() + 160;
    }
    std::string out;
    out.reserve(estimate + estimate / 16);
    out += "{\n";
    if (activeId) {
        out += "  \"activeId\" : ";
        appendString(out, *activeId);
        out += ",\n";
    }
    if (!deleted.empty()) {
        out += "  \"deleted\" : ";
        appendHashes(out, deleted, "    ");
        out += ",\n";
    }
    out += "  \"notes\" : [";
    for (std::size_t i = 0; i < notes.size(); ++i) {
        out += i == 0 ? "\n" : ",\n";
        const auto found = history.find(notes[i].id);
        appendNote(out, notes[i], found == history.end() ? nullptr : &found->second);
    }
    out += notes.empty() ? "]\n}" : "\n  ]\n}";
    return out;
}

std::string encodePayload(const Payload& payload) {
    return encodeDocument(payload.notes, payload.activeId, payload.history, payload.deleted);
}

std::optional<Payload> decodePayload(std::string_view bytes) {
    // JSON text never holds a raw NUL; the parser would take one for the end of the input.
    if (bytes.size() > kMaxDocumentBytes || bytes.starts_with("\xEF\xBB\xBF") ||
        bytes.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    try {
        // Deeper values can only be members Pindle ignores: dropped as they are parsed (the parser
        // keeps its own nesting on the heap), so no depth is too much and none builds a deep tree.
        const Json::parser_callback_t guard = [](int depth, Json::parse_event_t, Json&) {
            return depth <= kMaxDocumentDepth;
        };
        Json document = Json::parse(bytes.begin(), bytes.end(), guard);
        if (!document.is_object()) {
            return std::nullopt;
        }
        const auto notes = document.find("notes");
        if (notes == document.end() || !notes->is_array()) {
            return std::nullopt;
        }
        Payload payload;
        payload.notes.reserve(notes->size());
        for (Json& element : *notes) {
            auto note = decodeNote(element);
            if (!note) {
                return std::nullopt;
            }
            if (History history = decodeHistory(element, *note); !history.empty()) {
                payload.history.emplace(note->id, std::move(history)); // a repeated id: the first note's
            }
            payload.notes.push_back(std::move(*note));
        }
        payload.deleted = decodeHashes(document, "deleted");
        const auto activeId = document.find("activeId");
        if (activeId != document.end() && !activeId->is_null()) {
            if (!activeId->is_string()) {
                return std::nullopt;
            }
            payload.activeId = activeId->get<std::string>();
        }
        return payload;
    } catch (...) {
        // Parse errors and allocation failures alike: the document is unreadable.
        return std::nullopt;
    }
}

std::filesystem::path defaultDocumentPath() {
    std::filesystem::path base;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        base = dataHome;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/') {
            const passwd* entry = getpwuid(getuid());
            home = entry != nullptr ? entry->pw_dir : nullptr;
        }
        // With no home folder at all, fall back to the working folder rather than refusing to start.
        base = std::filesystem::path(home != nullptr ? home : ".") / ".local" / "share";
    }
    return base / "Pindle" / "notes.json";
}

NotesFile::NotesFile(std::filesystem::path path, FileSystem& fileSystem)
    : m_path(std::move(path))
    , m_fs(fileSystem) {}

FileStatus NotesFile::createFolder() {
    const std::string folder = folderOf(m_path.string());
    int lastError = 0;
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = slash == std::string::npos ? folder : folder.substr(0, slash);
        if (m_fs.mkdir(prefix, 0700) == 0) {
            // Private whatever the umask: the notes are nobody else's business.
            const int fd = m_fs.open(prefix, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
            if (fd >= 0) {
                m_fs.fchmod(fd, 0700);
                m_fs.close(fd);
            }
            lastError = 0;
        } else {
            lastError = errno == EEXIST ? 0 : errno;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    return lastError == 0 ? FileStatus{} : failure(lastError);
}

std::string NotesFile::resolveTarget() {
    std::string current = m_path.string();
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (retryOnInterrupt([&] { return m_fs.lstat(current, &info); }) != 0 || !S_ISLNK(info.st_mode)) {
            return current;
        }
        std::array<char, 4096> buffer{};
        const ssize_t n = retryOnInterrupt([&] { return m_fs.readlink(current, buffer.data(), buffer.size()); });
        if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) {
            return current;
        }
        std::string target(buffer.data(), static_cast<std::size_t>(n));
        current = target.front() == '/' ? target : folderOf(current).append("/").append(target);
    }
    return current;
}

void NotesFile::removeStaleTemporaryFiles() {
    const std::string target = resolveTarget();
    const std::string prefix = temporaryPrefix(target);
    std::vector<std::string> names;
    if (retryOnInterrupt([&] { return m_fs.listFolder(folderOf(target), names); }) != 0) {
        return;
    }
    for (const std::string& name : names) {
        const std::string path = folderOf(target) + "/" + name;
        if (name.starts_with(prefix) && typeOf(path) == S_IFREG) {
            m_fs.unlink(path);
        }
    }
}

std::optional<mode_t> NotesFile::typeOf(const std::string& target) {
    struct stat info {};
    if (retryOnInterrupt([&] { return m_fs.lstat(target, &info); }) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? std::optional<mode_t>(0) : std::nullopt;
    }
    return info.st_mode & S_IFMT;
}

bool NotesFile::exists() {
    struct stat info {};
    const std::string target = resolveTarget();
    return retryOnInterrupt([&] { return m_fs.lstat(target, &info); }) == 0;
}

FileStatus NotesFile::read(std::string& bytes, DocumentIdentity* identity) {
    return readPath(m_path.string(), bytes, identity);
}

FileStatus NotesFile::readOther(const std::string& path, std::string& bytes) {
    return readPath(path, bytes, nullptr);
}

FileStatus NotesFile::readPath(const std::string& path, std::string& bytes, DocumentIdentity* identity) {
    bytes.clear();
    // Opening a FIFO waits for a writer and opening a device may act on it: only a regular file
    // is opened, and without blocking, in case something else took its place in between.
    const std::string target = path == m_path.string() ? resolveTarget() : path;
    const auto type = typeOf(target);
    if (!type) {
        return failure(errno);
    }
    if (*type == 0) {
        return {FileStatus::Kind::missing, ENOENT};
    }
    if (*type != S_IFREG) {
        return {FileStatus::Kind::notAFile, 0};
    }
    const int fd = retryOnInterrupt(
        [&] { return m_fs.open(target, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC, 0); });
    if (fd < 0) {
        return errno == ENOENT ? FileStatus{FileStatus::Kind::missing, ENOENT} : failure(errno);
    }
    FileStatus status;
    struct stat info {};
    if (retryOnInterrupt([&] { return m_fs.fstat(fd, &info); }) != 0) {
        status = failure(errno);
    } else if (!S_ISREG(info.st_mode)) {
        status = {FileStatus::Kind::notAFile, 0};
    } else if (static_cast<std::size_t>(info.st_size) > kMaxDocumentBytes) {
        status = failure(EFBIG);
    } else {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t filled = 0;
        for (;;) {
            if (filled == bytes.size()) {
                // The file may have grown since fstat; read on, within the cap.
                if (bytes.size() >= kMaxDocumentBytes + 1) {
                    status = failure(EFBIG);
                    break;
                }
                bytes.resize(std::min(bytes.size() * 2 + 4096, kMaxDocumentBytes + 1));
            }
            const ssize_t n =
                retryOnInterrupt([&] { return m_fs.read(fd, bytes.data() + filled, bytes.size() - filled); });
            if (n < 0) {
                status = failure(errno);
                break;
            }
            if (n == 0) {
                break;
            }
            filled += static_cast<std::size_t>(n);
        }
        bytes.resize(filled);
    }
    m_fs.close(fd);
    if (!status.ok()) {
        bytes.clear();
    } else if (identity != nullptr) {
        *identity = {stampOf(info), hashDocument(bytes)};
    }
    return status;
}

FileStatus NotesFile::replace(std::string_view bytes, DocumentIdentity* identity) {
    const std::string target = resolveTarget();
    // Only a regular file (or nothing) is replaced: a device, a FIFO or a folder where the
    // document (or its link's target) should be is somebody's deliberate choice, or an attack.
    const auto type = typeOf(target);
    if (!type) {
        return failure(errno);
    }
    if (*type != 0 && *type != S_IFREG) {
        return {FileStatus::Kind::notAFile, 0};
    }
    const std::string folder = folderOf(target);
    const std::string stem = folder + "/" + temporaryPrefix(target);

    std::string temporary;
    int fd = -1;
    bool recreatedFolder = false;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = stem + temporarySuffix();
        fd = retryOnInterrupt(
            [&] { return m_fs.open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600); });
        if (fd >= 0) {
            break;
        }
        if (errno == ENOENT && !recreatedFolder) {
            // The folder was removed while we ran: make it again and retry.
            recreatedFolder = true;
            NotesFile(target, m_fs).createFolder();
            continue;
        }
        if (errno != EEXIST) {
            return failure(errno);
        }
    }
    if (fd < 0) {
        return failure(EEXIST);
    }

    const auto abandon = [&](int error) {
        m_fs.close(fd);
        m_fs.unlink(temporary);
        return failure(error);
    };
    if (retryOnInterrupt([&] { return m_fs.fchmod(fd, 0600); }) != 0) {
        return abandon(errno);
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n =
            retryOnInterrupt([&] { return m_fs.write(fd, bytes.data() + written, bytes.size() - written); });
        if (n < 0) {
            return abandon(errno);
        }
        if (n == 0) {
            return abandon(ENOSPC);
        }
        written += static_cast<std::size_t>(n);
    }
    if (retryOnInterrupt([&] { return m_fs.fsync(fd); }) != 0) {
        return abandon(errno);
    }
    // The rename below keeps inode and modification time: this is who the document will be.
    struct stat stored {};
    if (retryOnInterrupt([&] { return m_fs.fstat(fd, &stored); }) != 0) {
        return abandon(errno);
    }
    // After a failed close the data may not have reached the disk; an interrupted close on Linux
    // has still released the descriptor, and the data was synced just before.
    if (m_fs.close(fd) != 0 && errno != EINTR) {
        const int error = errno;
        m_fs.unlink(temporary);
        return failure(error);
    }
    if (retryOnInterrupt([&] { return m_fs.rename(temporary, target); }) != 0) {
        const int error = errno;
        m_fs.unlink(temporary);
        return failure(error);
    }
    // Make the rename itself durable.
    const int folderFd = retryOnInterrupt([&] { return m_fs.open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0); });
    if (folderFd < 0) {
        return failure(errno);
    }
    const int synced = retryOnInterrupt([&] { return m_fs.fsync(folderFd); });
    const int syncError = errno;
    m_fs.close(folderFd);
    if (synced != 0) {
        return failure(syncError);
    }
    if (identity != nullptr) {
        *identity = {stampOf(stored), hashDocument(bytes)};
    }
    return {};
}

std::optional<DocumentStamp> NotesFile::stamp() {
    struct stat info {};
    const std::string target = resolveTarget();
    if (retryOnInterrupt([&] { return m_fs.lstat(target, &info); }) != 0) {
        return std::nullopt;
    }
    return stampOf(info);
}

std::vector<std::filesystem::path> NotesFile::watchedFolders() {
    std::vector<std::filesystem::path> folders{folderOf(m_path.string())};
    const std::string target = folderOf(resolveTarget());
    if (target != folders.front()) {
        folders.emplace_back(target);
    }
    return folders;
}

std::string NotesFile::targetName() {
    return nameOf(resolveTarget());
}

std::vector<std::string> NotesFile::conflictCopies() {
    // Sync engines write their copies beside the file they sync: the symlink's target.
    const std::string target = resolveTarget();
    const std::string folder = folderOf(target);
    std::vector<std::string> names;
    if (retryOnInterrupt([&] { return m_fs.listFolder(folder, names); }) != 0) {
        return {};
    }
    std::vector<std::string> copies;
    for (const std::string& name : names) {
        if (isConflictCopyName(name, nameOf(target))) {
            copies.push_back(std::string(folder).append("/").append(name));
        }
    }
    std::sort(copies.begin(), copies.end());
    return copies;
}

FileStatus NotesFile::remove(const std::string& path) {
    if (retryOnInterrupt([&] { return m_fs.unlink(path); }) != 0) {
        return failure(errno);
    }
    return {};
}

FileStatus NotesFile::setAsideUnreadable(std::chrono::system_clock::time_point now) {
    const std::string target = resolveTarget();
    const auto type = typeOf(target);
    if (!type) {
        return failure(errno);
    }
    if (*type == 0) {
        return {}; // it is gone already; nothing left to keep
    }
    if (*type != S_IFREG) {
        return {FileStatus::Kind::notAFile, 0};
    }
    const std::string stamp = localStamp(now);
    if (stamp.empty()) {
        return failure(EINVAL);
    }
    const std::string base = folderOf(target) + "/" + nameOf(m_path.string()) + ".unreadable-" + stamp;

    for (int n = 1; n < 1000; ++n) {
        const std::string aside = n == 1 ? base : base + "-" + std::to_string(n);
        // A hard link keeps the document in place until the save replaces it; where links are not
        // possible, move it without replacing anything.
        if (retryOnInterrupt([&] { return m_fs.link(target, aside); }) == 0 ||
            (errno != EEXIST && retryOnInterrupt([&] { return m_fs.renameNoReplace(target, aside); }) == 0)) {
            return {};
        }
        if (errno == ENOENT) {
            return {}; // it is gone already; nothing left to keep
        }
        if (errno != EEXIST) {
            return failure(errno);
        }
    }
    return failure(EEXIST);
}

} // namespace pindle
