// What the store model test does not reach: canonically equal text, observers and loading
// hand-made documents.
#include "notes/file_system.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "pindle/testing/manual_time.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

namespace pindle {
namespace {

using namespace std::chrono_literals;
using testing::readFile;
using testing::writeFile;

class StoreTest : public ::testing::Test {
protected:
    testing::TestFolder folder;
    ManualTime time;
    std::filesystem::path file = folder / "notes.json";

    std::unique_ptr<Store> makeStore() {
        return std::make_unique<Store>(StoreServices{time, time, PosixFileSystem::instance()}, file);
    }
};

TEST_F(StoreTest, CanonicallyEqualTextChangesNothingAndObserversHearChangesOnceMade) {
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

TEST_F(StoreTest, ARepeatedIdInAHandEditedDocumentIsRenewedSoThatEveryNoteCanBeSelected) {
    writeFile(file, encodePayload({{{"a", "#f2545b", "one", 1, 1}, {"a", "#f79256", "two", 2, 2}}, "a"}));
    const auto store = makeStore();
    ASSERT_EQ(store->notes().size(), 2u);
    EXPECT_EQ(store->activeId(), "a");
    EXPECT_NE(store->notes()[1].id, "a");
    store->select(std::int64_t{1});
    EXPECT_EQ(store->activeNote()->text, "two");
}

TEST_F(StoreTest, EmptyFileAndEmptyListStartFreshAndAreNotKeptAside) {
    for (const std::string& content : {std::string(), std::string(R"({"notes":[]})")}) {
        writeFile(file, content);
        const auto store = makeStore();
        ASSERT_EQ(store->notes().size(), 1u);
        EXPECT_EQ(store->notes()[0].color, "#f2545b");
        EXPECT_EQ(readFile(file), content) << "untouched until the next save";
        store->flush();
        EXPECT_EQ(decodePayload(readFile(file))->notes, store->notes());
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
    }
}

} // namespace
} // namespace pindle
