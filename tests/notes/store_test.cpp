// What the store model test does not reach: canonically equal text, observers, focus requests and
// loading hand-made documents.
#include "notes/file_system.h"
#include "pindle/testing/manual_time.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "pindle/testing/forwarding_file_system.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

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

TEST_F(StoreTest, ObserversHearEveryAssignmentAfterItTookEffect) {
    const auto store = makeStore();
    const auto token = store->focusToken();
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
    EXPECT_EQ(store->focusToken(), token + 1) << "only a request moves the focus token";
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
