// Another program writing the document while Pindle runs, told by the folder watcher: bursts,
// half-written documents, conflict copies. (The merge rules are in merge_test; untold changes and
// the long run in store_model_test.)
#include "notes/folder_watcher.h"
#include "pindle/testing/manual_time.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "pindle/testing/forwarding_file_system.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <utility>

namespace pindle {
namespace {

using namespace std::chrono_literals;
using testing::readFile;
using testing::writeFile;

class CountingFileSystem final : public testing::ForwardingFileSystem {
public:
    int renames = 0;
    int reads = 0;
    bool failNextRename = false;

protected:
    bool intercept(const char* call) override {
        const bool rename = std::string_view(call) == "rename";
        renames += rename ? 1 : 0;
        reads += std::string_view(call) == "read" ? 1 : 0;
        if (rename && std::exchange(failNextRename, false)) {
            errno = ENOSPC;
            return true;
        }
        return false;
    }
};

// Stands in for inotify: the test says which name changed.
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
    CountingFileSystem fs;
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
    const int readsBefore = fs.reads;
    for (const char* name : {".notes.json.tmp-abc", "notes.json", "notes.json"}) {
        watcher.report(name); // what our own save looks like
    }
    time.advance(1s);
    EXPECT_EQ(fs.reads, readsBefore) << "our own save was read back as a change";

    replaceDocument(laptopVersion());
    fs.renames = 0;
    watcher.report(".syncthing.notes.json.tmp");
    watcher.report("notes.json");
    time.advance(49ms); // a burst settles for 50 ms
    EXPECT_EQ(store.notes().size(), 1u) << "one look for a burst, after it settles";
    time.advance(1ms);
    EXPECT_EQ(store.notes().size(), 2u);
    EXPECT_EQ(fs.renames, 0) << "the document already holds everything";
}

TEST_F(ExternalChange, AHalfWrittenDocumentIsNeitherMergedNorSetAsideAndSavesWaitForIt) {
    store.updateActiveText("local words");
    time.advance(Store::kSaveDelay);
    const std::string whole = encodePayload(laptopVersion());
    writeFile(file, whole.substr(0, whole.size() / 2));
    watcher.report("notes.json");
    time.advance(Store::kSettleDelay);
    store.updateActiveText("local words, more");
    fs.renames = 0;
    time.advance(Store::kSaveDelay);
    EXPECT_EQ(fs.renames, 0) << "wrote over a document an engine is still writing";

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

    fs.failNextRename = true;
    watcher.report(syncthing.filename().string());
    time.advance(Store::kSettleDelay);
    EXPECT_EQ(texts(store.notes()), (std::vector<std::string>{"typed here", "typed on the laptop meanwhile"}));
    EXPECT_TRUE(std::filesystem::exists(syncthing)) << "removed before the merge was saved";

    store.flush();
    EXPECT_FALSE(std::filesystem::exists(syncthing));
    EXPECT_TRUE(std::filesystem::exists(unreadable));
    EXPECT_EQ(decodePayload(readFile(file))->notes.size(), 2u);
}

} // namespace
} // namespace pindle
