// The store: its operations, its observers and when it writes.
#include "notes/file_system.h"
#include "pindle/testing/manual_time.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "pindle/testing/forwarding_file_system.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace pindle {
namespace {

using namespace std::chrono_literals;
using testing::readFile;
using testing::TestFolder;
using testing::writeFile;

// Counts completed document replacements (the rename that publishes a save).
class CountingFileSystem final : public testing::ForwardingFileSystem {
public:
    int renames = 0;

protected:
    bool intercept(const char* call) override {
        renames += std::string_view(call) == "rename" ? 1 : 0;
        return false;
    }
};

class StoreTest : public ::testing::Test {
protected:
    TestFolder folder;
    ManualTime time;
    CountingFileSystem fs;
    std::filesystem::path file = folder / "Pindle" / "notes.json";

    std::unique_ptr<Store> makeStore() { return std::make_unique<Store>(StoreServices{time, time, fs}, file); }
    Payload onDisk() const { return decodePayload(readFile(file)).value_or(Payload{}); }
};

TEST_F(StoreTest, FirstStartCreatesAPrivateFolderAndWritesOneEmptyNote) {
    const auto store = makeStore();
    ASSERT_EQ(store->notes().size(), 1u);
    EXPECT_EQ(store->notes()[0].color, "#f2545b");
    EXPECT_EQ(store->activeId(), store->notes()[0].id);
    struct stat info {};
    ASSERT_EQ(stat(file.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    const Payload disk = onDisk();
    ASSERT_EQ(disk.notes.size(), 1u);
    EXPECT_EQ(disk.notes[0], store->notes()[0]);
    EXPECT_EQ(disk.activeId, store->activeId());
    EXPECT_EQ(fs.renames, 1);
}

TEST_F(StoreTest, TypingIsWrittenOnce0Point3SecondsAfterTheLastChange) {
    const auto store = makeStore();
    fs.renames = 0;
    for (const char* text : {"h", "he", "hel", "hell", "hello"}) {
        store->updateActiveText(text);
        time.advance(100ms);
    }
    EXPECT_EQ(fs.renames, 0);
    time.advance(199ms);
    EXPECT_EQ(fs.renames, 0);
    time.advance(1ms);
    EXPECT_EQ(fs.renames, 1);
    EXPECT_EQ(onDisk().notes[0].text, "hello");
    time.advance(10s);
    EXPECT_EQ(fs.renames, 1);
}

TEST_F(StoreTest, AStructuralChangeWritesPendingTypingOnce) {
    const auto store = makeStore();
    store->addNote();
    const std::string second = store->activeId();
    store->select(std::int64_t{0});
    fs.renames = 0;
    store->updateActiveText("draft");
    time.advance(100ms);
    store->select(second);
    EXPECT_EQ(fs.renames, 1);
    EXPECT_EQ(onDisk().notes[0].text, "draft");
    EXPECT_EQ(onDisk().activeId, second);
    time.advance(1s);
    EXPECT_EQ(fs.renames, 1);

    store->flush();
    EXPECT_EQ(fs.renames, 2) << "flush writes even with nothing pending";
}

TEST_F(StoreTest, UnchangedTextChangesNothing) {
    const auto store = makeStore();
    store->updateActiveText("caf\u00E9");
    time.advance(1s);
    const double stamped = store->activeNote()->updatedAt;
    time.advance(5s);
    store->updateActiveText("caf\u00E9");
    store->updateActiveText("cafe\u0301"); // canonically the same text
    EXPECT_EQ(store->activeNote()->updatedAt, stamped);
    EXPECT_EQ(time.pendingCount(), 0u);
}

TEST_F(StoreTest, SelectIgnoresTheActiveNoteAndUnknownTargets) {
    const auto store = makeStore();
    store->addNote();
    store->setConfirmingDelete(true);
    fs.renames = 0;
    store->select(store->activeId());
    store->select(std::string_view("no such note"));
    store->select(std::int64_t{-1});
    store->select(std::int64_t{2});
    EXPECT_EQ(fs.renames, 0);
    EXPECT_TRUE(store->confirmingDelete());
    store->select(std::int64_t{0});
    EXPECT_EQ(store->activeId(), store->notes()[0].id);
    EXPECT_FALSE(store->confirmingDelete());
    EXPECT_EQ(fs.renames, 1);
}

TEST_F(StoreTest, AddNoteAppendsTheLeastUsedColourWithoutTouchingFocus) {
    const auto store = makeStore();
    store->addNote(); // "#f79256"
    store->setConfirmingDelete(true);
    const auto token = store->focusToken();
    store->addNote();
    ASSERT_EQ(store->notes().size(), 3u);
    EXPECT_EQ(store->notes()[2].color, "#e8c547");
    EXPECT_EQ(store->activeId(), store->notes()[2].id);
    EXPECT_FALSE(store->confirmingDelete());
    EXPECT_EQ(store->focusToken(), token);
    EXPECT_EQ(onDisk().notes.size(), 3u);
    store->requestEditorFocus();
    store->requestEditorFocus();
    EXPECT_EQ(store->focusToken(), token + 2);
}

struct DeleteCase {
    const char* name;
    int active;
    std::vector<std::string> remaining;
    std::string nowActive;
};

class DeleteNeighbour : public StoreTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteNeighbour, ActivatesTheFollowingNoteOrTheNewLast) {
    const auto store = makeStore();
    store->updateActiveText("A");
    store->addNote();
    store->updateActiveText("B");
    store->addNote();
    store->updateActiveText("C");
    store->select(std::int64_t{GetParam().active});
    store->setConfirmingDelete(true);
    store->deleteActiveNote();
    std::vector<std::string> texts;
    for (const Note& note : store->notes()) {
        texts.push_back(note.text);
    }
    EXPECT_EQ(texts, GetParam().remaining);
    EXPECT_EQ(store->activeNote()->text, GetParam().nowActive);
    EXPECT_FALSE(store->confirmingDelete());
    EXPECT_EQ(onDisk().notes.size(), 2u);
    EXPECT_EQ(onDisk().activeId, store->activeId());
}

INSTANTIATE_TEST_SUITE_P(Positions, DeleteNeighbour,
                         ::testing::Values(DeleteCase{"middle", 1, {"A", "C"}, "C"},
                                           DeleteCase{"last", 2, {"A", "B"}, "B"},
                                           DeleteCase{"first", 0, {"B", "C"}, "B"}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(StoreTest, DeletingTheOnlyNoteLeavesAFreshFirstColouredNote) {
    const auto store = makeStore();
    store->addNote();
    store->deleteActiveNote(); // leaves the first, "#f2545b"
    store->updateActiveText("x");
    store->deleteActiveNote();
    ASSERT_EQ(store->notes().size(), 1u);
    EXPECT_EQ(store->notes()[0].color, "#f2545b");
    EXPECT_EQ(store->notes()[0].text, "");
    EXPECT_EQ(store->activeId(), store->notes()[0].id);
    EXPECT_EQ(onDisk().notes.size(), 1u);
    EXPECT_EQ(time.pendingCount(), 0u) << "the pending typing save was folded into the delete";
}

TEST_F(StoreTest, ObserversHearEveryAssignmentAfterItTookEffect) {
    const auto store = makeStore();
    std::vector<StoreChange> heard;
    bool sawNewState = false;
    const auto id = store->observe([&](StoreChange change) {
        heard.push_back(change);
        if (change == StoreChange::activeId) {
            sawNewState = store->activeId() == store->notes().back().id;
        }
    });
    store->setConfirmingDelete(false);
    store->setConfirmingDelete(false);
    store->addNote();
    EXPECT_EQ(heard, (std::vector{StoreChange::confirmingDelete, StoreChange::confirmingDelete,
                                  StoreChange::confirmingDelete, StoreChange::notes, StoreChange::activeId}));
    EXPECT_TRUE(sawNewState);
    store->unobserve(id);
    store->requestEditorFocus();
    EXPECT_EQ(heard.size(), 5u);
}

TEST_F(StoreTest, ADeferredSaveOutlivingTheStoreDoesNothing) {
    auto store = makeStore();
    store->updateActiveText("unsaved");
    store.reset();
    fs.renames = 0;
    time.advance(1s);
    EXPECT_EQ(fs.renames, 0);
    EXPECT_EQ(onDisk().notes[0].text, "");
}

TEST_F(StoreTest, LoadingKeepsOrderAndFallsBackToTheFirstNote) {
    std::filesystem::create_directories(file.parent_path());
    const Note a{"a", "#f2545b", "one", 1, 1};
    const Note b{"b", "#f79256", "two", 2, 2};
    const Note c{"c", "#e8c547", "three", 3, 3};
    for (const std::optional<std::string>& activeId :
         {std::optional<std::string>{}, std::optional<std::string>{"zz"}}) {
        writeFile(file, encodePayload({{a, b, c}, activeId}));
        const auto store = makeStore();
        EXPECT_EQ(store->notes(), (std::vector{a, b, c}));
        EXPECT_EQ(store->activeId(), "a");
    }
    writeFile(file, encodePayload({{a, b, c}, "c"}));
    EXPECT_EQ(makeStore()->activeId(), "c");
}

TEST_F(StoreTest, ARepeatedIdInAHandEditedDocumentIsRenewedSoThatEveryNoteCanBeSelected) {
    std::filesystem::create_directories(file.parent_path());
    writeFile(file, encodePayload({{{"a", "#f2545b", "one", 1, 1}, {"a", "#f79256", "two", 2, 2}}, "a"}));
    const auto store = makeStore();
    ASSERT_EQ(store->notes().size(), 2u);
    EXPECT_EQ(store->activeId(), "a");
    EXPECT_NE(store->notes()[1].id, "a");
    store->select(std::int64_t{1});
    EXPECT_EQ(store->activeNote()->text, "two");
}

TEST_F(StoreTest, EmptyFileAndEmptyListStartFreshWithoutWriting) {
    std::filesystem::create_directories(file.parent_path());
    for (const std::string& content : {std::string(), std::string(R"({"notes":[]})")}) {
        writeFile(file, content);
        fs.renames = 0;
        const auto store = makeStore();
        ASSERT_EQ(store->notes().size(), 1u);
        EXPECT_EQ(store->notes()[0].color, "#f2545b");
        EXPECT_EQ(readFile(file), content) << "untouched until the next save";
        EXPECT_EQ(fs.renames, 0);
        store->flush();
        EXPECT_EQ(onDisk().notes, store->notes());
    }
    // An empty file is nothing worth keeping aside.
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
        EXPECT_EQ(entry.path().filename(), "notes.json");
    }
}

} // namespace
} // namespace pindle
