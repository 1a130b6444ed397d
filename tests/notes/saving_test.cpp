// What the store model test does not reach: saving under failures at every step (faked, and on real
// full and read-only file systems), permissions, links, unreadable and hand-made documents,
// canonically equal text, observers, and the folder watcher's part in external changes.
#include "notes/file_system.h"
#include "notes/folder_watcher.h"
#include "pindle/testing/manual_time.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "pindle/testing/forwarding_file_system.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>
#include <set>

namespace pindle {
namespace {

using namespace std::chrono_literals;
using testing::readFile;
using testing::TestFolder;
using testing::writeFile;

// Fails the Nth call (counted from arm()) with a chosen errno, once or from then on, and can cut
// every write short.
class FaultyFileSystem final : public testing::ForwardingFileSystem {
public:
    int calls = 0;
    int failAt = 0; // 0: never
    int error = 0;
    bool persistent = false;
    bool shortWrites = false;
    std::set<std::string> refused; // calls that always fail with EPERM, as link() where there are no links
    std::vector<std::string> log;

    void arm(int at, int err, bool fromThenOn) {
        calls = 0;
        failAt = at;
        error = err;
        persistent = fromThenOn;
        log.clear();
    }
    void disarm() { failAt = 0; }
    long count(const std::string& call) const { return std::count(log.begin(), log.end(), call); }

    ssize_t write(int fd, const void* d, size_t n) override {
        if (intercept("write")) {
            return -1;
        }
        return real().write(fd, d, shortWrites && n > 1 ? n / 2 : n);
    }

protected:
    bool intercept(const char* call) override {
        ++calls;
        log.emplace_back(call);
        if (refused.contains(call)) {
            errno = EPERM;
            return true;
        }
        // unlink is the clean-up path: failing it would test the fake, not the save.
        if (failAt == 0 || std::strcmp(call, "unlink") == 0 || (persistent ? calls < failAt : calls != failAt)) {
            return false;
        }
        errno = error;
        return true;
    }
};

mode_t permissionsOf(const std::filesystem::path& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class SavingTest : public ::testing::Test {
protected:
    TestFolder folder;
    ManualTime time;
    FaultyFileSystem fs;
    std::filesystem::path file = folder / "Pindle" / "notes.json";

    std::unique_ptr<Store> makeStore() { return std::make_unique<Store>(StoreServices{time, time, fs}, file); }
};

struct Fault {
    const char* name;
    int error;
    bool persistent;
    bool retried; // EINTR: the call is made again and the save goes through
};

class SaveFaults : public SavingTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(SaveFaults, EveryFailingCallLeavesTheOldDocumentOrTheNewOneNeverAPartOrAStrayFile) {
    const auto store = makeStore();
    store->updateActiveText("saved before");
    store->flush();
    std::string before = readFile(file);

    // Count the calls one save makes, then fail each of them in turn.
    fs.arm(0, 0, false);
    store->flush();
    const int callsPerSave = fs.calls;
    // A look at the document and for conflict copies first; then the data and the rename reach the
    // disk before a save counts as done; the lstat before the open makes sure only a regular file
    // is replaced.
    ASSERT_EQ(fs.log,
              (std::vector<std::string>{"lstat", "lstat", "lstat", "listFolder", "lstat", "lstat", "open", "fchmod",
                                        "write", "fsync", "fstat", "close", "rename", "open", "fsync", "close"}));

    for (int k = 1; k <= callsPerSave; ++k) {
        SCOPED_TRACE("failing call " + std::to_string(k) + " of " + std::to_string(callsPerSave));
        store->updateActiveText("typed while failing " + std::to_string(k));
        fs.arm(k, GetParam().error, GetParam().persistent);
        store->flush();
        fs.disarm();
        const std::string now = readFile(file);
        const std::string expected = encodeDocument(store->notes(), store->activeId(), store->history());
        EXPECT_TRUE(now == before || now == expected) << "a partial document: " << now;
        EXPECT_TRUE(!GetParam().retried || (now == expected && store->lastWriteStatus().ok()))
            << "EINTR from " << fs.log[static_cast<std::size_t>(k - 1)];
        if (now != expected) {
            EXPECT_FALSE(store->lastWriteStatus().ok()) << "a failed save reported as success";
        }
        EXPECT_EQ(namesIn(file.parent_path()), std::vector<std::string>{"notes.json"});
        EXPECT_EQ(store->activeNote()->text, "typed while failing " + std::to_string(k));

        // Only while failing a timer tries again, and the first retry after the fault cleared
        // writes everything; then nothing is left to wake up for.
        EXPECT_EQ(time.pendingCount(), store->lastWriteStatus().ok() ? 0u : 1u);
        time.advance(Store::kFirstRetryDelay);
        EXPECT_EQ(time.pendingCount(), 0u);
        EXPECT_TRUE(store->lastWriteStatus().ok());
        EXPECT_EQ(readFile(file), expected);
        EXPECT_EQ(namesIn(file.parent_path()), std::vector<std::string>{"notes.json"});

        store->updateActiveText("saved before");
        store->flush();
        before = readFile(file);
    }
}

INSTANTIATE_TEST_SUITE_P(Errors, SaveFaults,
                         ::testing::Values(Fault{"noSpaceOnce", ENOSPC, false, false},
                                           Fault{"ioErrorFromThenOn", EIO, true, false},
                                           Fault{"interruptedOnce", EINTR, false, true}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(SavingTest, ShortWritesStillWriteEverything) {
    const auto store = makeStore();
    store->updateActiveText(std::string(100000, 'x'));
    fs.shortWrites = true;
    store->flush();
    EXPECT_TRUE(store->lastWriteStatus().ok());
    EXPECT_EQ(readFile(file), encodeDocument(store->notes(), store->activeId(), store->history()));
}

TEST_F(SavingTest, FilesArePrivateWhateverTheUmask) {
    const mode_t saved = umask(0);
    const auto target = folder / "deep" / "Pindle" / "notes.json";
    Store store(StoreServices{time, time, fs}, target);
    umask(saved);
    EXPECT_EQ(permissionsOf(target), 0600u);
    EXPECT_EQ(permissionsOf(target.parent_path()), 0700u);
    EXPECT_EQ(permissionsOf(folder / "deep"), 0700u);
    // Folders that exist already are the user's business.
    std::filesystem::create_directories(file.parent_path());
    std::filesystem::permissions(file.parent_path(), std::filesystem::perms(0755));
    makeStore();
    EXPECT_EQ(permissionsOf(file.parent_path()), 0755u);
}

// What stands where the document is (or where its link points). Only a regular file, or nothing,
// is read and replaced; a FIFO must not hang the start, and nothing else is ever replaced, moved
// or set aside, not even by root.
struct InPlace {
    const char* name;
    std::function<bool(const std::filesystem::path& at)> make; // false: cannot be made here
    bool viaLink;
    bool writable;
};

class DocumentInPlace : public SavingTest, public ::testing::WithParamInterface<InPlace> {};

TEST_P(DocumentInPlace, OnlyARegularFileOrNothingIsReadAndReplaced) {
    const auto target = GetParam().viaLink ? folder / "elsewhere" / "my-notes.json" : file;
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::create_directories(file.parent_path());
    if (!GetParam().make(target)) {
        GTEST_SKIP() << "cannot make a " << GetParam().name << " here";
    }
    if (GetParam().viaLink) {
        std::filesystem::create_symlink(target, file);
    }
    struct stat before {};
    lstat(target.c_str(), &before);
    const auto store = makeStore();
    EXPECT_EQ(store->notes().size(), 1u);
    store->updateActiveText("typed");
    store->flush();
    EXPECT_EQ(store->lastWriteStatus().ok(), GetParam().writable);
    struct stat after {};
    ASSERT_EQ(lstat(target.c_str(), &after), 0);
    EXPECT_EQ(std::filesystem::is_symlink(file), GetParam().viaLink);
    if (GetParam().writable) {
        EXPECT_NE(readFile(target).find("typed"), std::string::npos);
    } else {
        EXPECT_EQ(store->lastWriteStatus().kind, FileStatus::Kind::notAFile);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_rdev, before.st_rdev);
        EXPECT_EQ(namesIn(file.parent_path()), std::vector<std::string>{"notes.json"});

        // What was typed is kept for the user all the same, in a private file of their own.
        const char* home = std::getenv("HOME");
        const std::string savedHome = home != nullptr ? home : "";
        setenv("HOME", folder.path().c_str(), 1);
        const auto copy = store->keepEmergencyCopy();
        setenv("HOME", savedHome.c_str(), 1);
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->parent_path(), folder.path());
        EXPECT_EQ(readFile(*copy), encodeDocument(store->notes(), store->activeId(), store->history()));
        EXPECT_EQ(permissionsOf(*copy), 0600u);
    }
}

const auto kMakeNode = [](mode_t type, dev_t device) {
    return [type, device](const std::filesystem::path& at) { return mknod(at.c_str(), type | 0600, device) == 0; };
};
const auto kMakeFolder = [](const std::filesystem::path& at) { return std::filesystem::create_directory(at); };
const auto kMakeNothing = [](const std::filesystem::path&) { return true; };
const auto kMakeDocument = [](const std::filesystem::path& at) {
    writeFile(at, R"({"notes":[]})");
    return true;
};

INSTANTIATE_TEST_SUITE_P(Kinds, DocumentInPlace,
                         ::testing::Values(InPlace{"fifo", kMakeNode(S_IFIFO, 0), false, false},
                                           InPlace{"device", kMakeNode(S_IFCHR, makedev(1, 3)), false, false},
                                           InPlace{"folder", kMakeFolder, false, false},
                                           InPlace{"linkToFifo", kMakeNode(S_IFIFO, 0), true, false},
                                           InPlace{"linkToDevice", kMakeNode(S_IFCHR, makedev(1, 3)), true, false},
                                           InPlace{"linkToNothing", kMakeNothing, true, true},
                                           InPlace{"linkToDocument", kMakeDocument, true, true}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(SavingTest, AnUnreadableDocumentIsSetAsideBeforeItIsReplaced) {
    std::filesystem::create_directories(file.parent_path());
    const std::string damaged = R"({"notes":[{"id":"a","text":"precious"}]})";
    writeFile(file, damaged);
    auto store = makeStore();
    EXPECT_EQ(store->notes().size(), 1u);
    EXPECT_EQ(readFile(file), damaged) << "untouched at start";
    EXPECT_EQ(namesIn(file.parent_path()).size(), 1u);

    store->updateActiveText("new start");
    store->flush();
    const auto names = namesIn(file.parent_path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "notes.json");
    EXPECT_TRUE(names[1].starts_with("notes.json.unreadable-")) << names[1];
    EXPECT_EQ(names[1].size(), std::string("notes.json.unreadable-20261206-103700").size());
    EXPECT_EQ(readFile(file.parent_path() / names[1]), damaged);
    store->flush();
    EXPECT_EQ(namesIn(file.parent_path()).size(), 2u) << "set aside once only";

    // The same second again: the earlier copy is never overwritten.
    store.reset();
    writeFile(file, "also damaged");
    store = makeStore();
    store->flush();
    const auto after = namesIn(file.parent_path());
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(readFile(file.parent_path() / names[1]), damaged);
    EXPECT_EQ(readFile(file.parent_path() / (names[1] + "-2")), "also damaged");
}

// Where hard links are refused the unreadable document is moved aside instead; where that fails
// too, it is not replaced.
TEST_F(SavingTest, WithoutHardLinksTheUnreadableDocumentIsMovedAsideOrKept) {
    std::filesystem::create_directories(file.parent_path());
    writeFile(file, "damaged");
    const auto store = makeStore();
    fs.refused = {"link", "renameNoReplace"}; // only the copy fails: the save itself would work
    store->flush();
    EXPECT_FALSE(store->lastWriteStatus().ok());
    EXPECT_EQ(readFile(file), "damaged");
    fs.refused = {"link"};
    store->flush();
    EXPECT_TRUE(store->lastWriteStatus().ok());
    const auto names = namesIn(file.parent_path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(readFile(file.parent_path() / names[1]), "damaged");
    EXPECT_EQ(readFile(file), encodeDocument(store->notes(), store->activeId(), store->history()));
}

TEST_F(SavingTest, StaleTemporaryFilesGoAtStartAndAVanishedFolderComesBack) {
    std::filesystem::create_directories(file.parent_path());
    writeFile(file.parent_path() / ".notes.json.tmp-abc12345", "half a save");
    writeFile(file.parent_path() / "keep.txt", "mine");
    const auto store = makeStore();
    EXPECT_EQ(namesIn(file.parent_path()), (std::vector<std::string>{"keep.txt", "notes.json"}));

    std::filesystem::remove_all(file.parent_path());
    store->updateActiveText("still here");
    store->flush();
    EXPECT_TRUE(store->lastWriteStatus().ok());
    EXPECT_NE(readFile(file).find("still here"), std::string::npos);
}

TEST_F(SavingTest, CanonicallyEqualTextChangesNothingAndObserversHearChangesOnceMade) {
    const auto store = makeStore();
    store->updateActiveText("caf\u00E9");
    time.advance(1s);
    const double stamped = store->activeNote()->updatedAt;
    store->updateActiveText("cafe\u0301");
    EXPECT_EQ(store->activeNote()->updatedAt, stamped);
    EXPECT_EQ(time.pendingCount(), 0u);

    std::vector<StoreChange> heard;
    bool sawNewState = false;
    const auto id = store->observe([&](StoreChange change) {
        heard.push_back(change);
        sawNewState = sawNewState || store->activeId() == store->notes().back().id;
    });
    store->setConfirmingDelete(false);
    store->addNote();
    EXPECT_EQ(heard, (std::vector{StoreChange::confirmingDelete, StoreChange::confirmingDelete, StoreChange::notes,
                                  StoreChange::activeId}));
    EXPECT_TRUE(sawNewState);
    store->unobserve(id);
    store->requestEditorFocus();
    EXPECT_EQ(heard.size(), 4u);
}

TEST_F(SavingTest, ARepeatedIdInAHandEditedDocumentIsRenewedSoThatEveryNoteCanBeSelected) {
    std::filesystem::create_directories(file.parent_path());
    writeFile(file, encodePayload({{{"a", "#f2545b", "one", 1, 1}, {"a", "#f79256", "two", 2, 2}}, "a"}));
    const auto store = makeStore();
    ASSERT_EQ(store->notes().size(), 2u);
    EXPECT_EQ(store->activeId(), "a");
    EXPECT_NE(store->notes()[1].id, "a");
    store->select(std::int64_t{1});
    EXPECT_EQ(store->activeNote()->text, "two");
}

TEST_F(SavingTest, EmptyFileAndEmptyListStartFreshAndAreNotKeptAside) {
    std::filesystem::create_directories(file.parent_path());
    for (const std::string& content : {std::string(), std::string(R"({"notes":[]})")}) {
        writeFile(file, content);
        const auto store = makeStore();
        ASSERT_EQ(store->notes().size(), 1u);
        EXPECT_EQ(store->notes()[0].color, "#f2545b");
        EXPECT_EQ(readFile(file), content) << "untouched until the next save";
        store->flush();
        EXPECT_EQ(decodePayload(readFile(file))->notes, store->notes());
        EXPECT_EQ(namesIn(file.parent_path()), std::vector<std::string>{"notes.json"});
    }
}

// Another program writing the document while Pindle runs, told by the folder watcher: bursts,
// half-written documents, conflict copies. (The merge rules are in merge_test; untold changes and
// the long run in store_model_test.) ReportedChanges stands in for inotify.
class ReportedChanges final : public FolderWatcher {
public:
    void watch(const std::vector<std::filesystem::path>& folders, Changed changed) override {
        watched = folders;
        report = std::move(changed);
    }
    std::vector<std::filesystem::path> watched;
    Changed report;
};

class ExternalChange : public ::testing::Test {
protected:
    testing::TestFolder folder;
    std::filesystem::path file = folder / "notes.json";
    ManualTime time;
    FaultyFileSystem fs;
    ReportedChanges watcher;
    Store store{StoreServices{time, time, fs, &watcher}, file};

    // What a sync engine does: a new file beside the document, renamed over it.
    void replaceDocument(const Payload& payload) {
        writeFile(folder / ".syncthing.notes.json.tmp", encodePayload(payload));
        std::filesystem::rename(folder / ".syncthing.notes.json.tmp", file);
    }
    Payload laptopVersion() {
        Payload payload = decodePayload(readFile(file)).value();
        payload.notes.push_back({"6f1c2b7e-8a4d-4c1e-9f00-0123456789ab", "#5b8def", "written on my laptop, synced here",
                                 1'700'000'000'000, 1'700'000'000'000});
        return payload;
    }
    std::vector<std::string> texts(const std::vector<Note>& notes) {
        std::vector<std::string> result;
        for (const Note& note : notes) {
            result.push_back(note.text);
        }
        return result;
    }
};

TEST_F(ExternalChange, TextTypedOnAMachineThatNeverSawOurSaveIsKeptBesideIt) {
    store.updateActiveText("typed here");
    time.advance(Store::kSaveDelay);
    // The other machine typed into the note as it was before: its history says so.
    Payload there = decodePayload(readFile(file)).value();
    const std::string id = there.notes[0].id;
    ASSERT_EQ(there.history.at(id), (History{versionHash(id, "typed here"), versionHash(id, "")}));
    there.notes[0].text = "typed there";
    there.history[id] = {versionHash(id, "typed there"), versionHash(id, "")};
    replaceDocument(there);
    watcher.report("notes.json");
    time.advance(Store::kSettleDelay);
    EXPECT_EQ(texts(decodePayload(readFile(file))->notes), (std::vector<std::string>{"typed here", "typed there"}));
}

TEST_F(ExternalChange, ANoteTheOtherMachineNeverSawStaysAndOneItDeletedGoes) {
    store.addNote();
    store.updateActiveText("deleted there");
    store.flush();
    testing::TestFolder elsewhere;
    std::filesystem::copy_file(file, elsewhere / "notes.json");
    {
        Store there{StoreServices{time, time, fs, nullptr}, elsewhere / "notes.json"};
        there.deleteActiveNote();
        there.flush();
    }
    store.addNote();
    store.updateActiveText("added here");
    store.flush();
    std::filesystem::rename(elsewhere / "notes.json", file); // put in place, no conflict copy
    watcher.report("notes.json");
    time.advance(Store::kSettleDelay);
    EXPECT_EQ(texts(decodePayload(readFile(file))->notes), (std::vector<std::string>{"", "added here"}));
}

TEST_F(ExternalChange, TheWatcherBringsChangesInOnceAndIgnoresOurOwnSaves) {
    EXPECT_EQ(watcher.watched, std::vector<std::filesystem::path>{folder.path()});
    store.updateActiveText("local words");
    time.advance(Store::kSaveDelay);
    fs.log.clear();
    for (const char* name : {".notes.json.tmp-abc", "notes.json", "notes.json"}) {
        watcher.report(name); // what our own save looks like
    }
    time.advance(1s);
    EXPECT_EQ(fs.count("read"), 0) << "our own save was read back as a change";

    replaceDocument(laptopVersion());
    fs.log.clear();
    watcher.report(".syncthing.notes.json.tmp");
    watcher.report("notes.json");
    time.advance(49ms); // a burst settles for 50 ms
    EXPECT_EQ(store.notes().size(), 1u) << "one look for a burst, after it settles";
    time.advance(1ms);
    EXPECT_EQ(store.notes().size(), 2u);
    EXPECT_EQ(fs.count("rename"), 0) << "the document already holds everything";
}

TEST_F(ExternalChange, AHalfWrittenDocumentIsNeitherMergedNorSetAsideAndSavesWaitForIt) {
    store.updateActiveText("local words");
    time.advance(Store::kSaveDelay);
    const std::string whole = encodePayload(laptopVersion());
    writeFile(file, whole.substr(0, whole.size() / 2));
    watcher.report("notes.json");
    time.advance(Store::kSettleDelay);
    store.updateActiveText("local words, more");
    fs.log.clear();
    time.advance(Store::kSaveDelay);
    EXPECT_EQ(fs.count("rename"), 0) << "wrote over a document an engine is still writing";

    writeFile(file, whole); // the engine finishes
    watcher.report("notes.json");
    time.advance(Store::kSettleDelay);
    EXPECT_EQ(texts(decodePayload(readFile(file))->notes),
              (std::vector<std::string>{"local words, more", "written on my laptop, synced here"}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "something set aside";

    // One that never becomes readable is set aside, not written over, once the hold is over.
    writeFile(file, "{\"notes\" : [");
    store.updateActiveText("local words, last");
    time.advance(Store::kSaveDelay);
    EXPECT_FALSE(decodePayload(readFile(file)));
    time.advance(Store::kUnreadableHold);
    EXPECT_EQ(decodePayload(readFile(file))->notes.at(0).text, "local words, last");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2) << "nothing set aside";
}

TEST_F(ExternalChange, ConflictCopiesAreMergedAndRemovedOnlyOnceSaved) {
    Payload copy = decodePayload(readFile(file)).value();
    copy.notes[0].text = "typed on the laptop meanwhile";
    const auto syncthing = folder / "notes.sync-conflict-20261206-194512-ABCD2EF.json";
    const auto unreadable = folder / "notes (conflicted copy 2026-12-06 194512).json";
    writeFile(syncthing, encodePayload(copy));
    writeFile(unreadable, "{");
    store.updateActiveText("typed here");

    fs.refused = {"rename"};
    watcher.report(syncthing.filename().string());
    time.advance(Store::kSettleDelay);
    EXPECT_EQ(texts(store.notes()), (std::vector<std::string>{"typed here", "typed on the laptop meanwhile"}));
    EXPECT_TRUE(std::filesystem::exists(syncthing)) << "removed before the merge was saved";

    fs.refused.clear();
    store.flush();
    EXPECT_FALSE(std::filesystem::exists(syncthing));
    EXPECT_TRUE(std::filesystem::exists(unreadable));
    EXPECT_EQ(decodePayload(readFile(file))->notes.size(), 2u);
}

// On a real full disk and a real read-only file system: run_real_faults.sh runs these in a private
// mount namespace and passes the mount point in PINDLE_FAULT_MOUNT.
// Fills the disk to the last byte, or makes it read-only; and undoes that.
void fillDisk(const std::filesystem::path& mount, bool fill) {
    if (!fill) {
        std::filesystem::remove(mount / "filler");
        return;
    }
    const int fd = ::open((mount / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
}

void makeReadOnly(const std::filesystem::path& mount, bool readOnly) {
    ASSERT_EQ(::mount(nullptr, mount.c_str(), nullptr, MS_REMOUNT | (readOnly ? MS_RDONLY : 0), nullptr), 0);
}

const struct {
    const char* folder;
    void (*fault)(const std::filesystem::path&, bool);
    int error;
} kFaults[] = {{"full", fillDisk, ENOSPC}, {"readonly", makeReadOnly, EROFS}};

TEST(RealFileSystemFaults, AFullOrReadOnlyDiskKeepsTheOldDocumentAndTheNextSaveWritesEverything) {
    const char* mount = std::getenv("PINDLE_FAULT_MOUNT");
    if (mount == nullptr) {
        GTEST_SKIP() << "needs a private tmpfs (run_real_faults.sh)";
    }
    for (const auto& fault : kFaults) {
        SCOPED_TRACE(fault.folder);
        const auto file = std::filesystem::path(mount) / fault.folder / "notes.json";
        ManualTime time;
        Store store(StoreServices{time, time, PosixFileSystem::instance()}, file);
        store.updateActiveText("kept");
        store.flush();
        const std::string before = testing::readFile(file);

        fault.fault(mount, true);
        store.updateActiveText(std::string(std::size_t{64} * 1024, 'x'));
        store.flush();
        EXPECT_EQ(store.lastWriteStatus().error, fault.error);
        EXPECT_EQ(testing::readFile(file), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1) << "a stray file";

        fault.fault(mount, false);
        store.flush();
        EXPECT_TRUE(store.lastWriteStatus().ok());
        EXPECT_EQ(testing::readFile(file), encodeDocument(store.notes(), store.activeId(), store.history()));
    }
}

} // namespace
} // namespace pindle
