// Replays the fuzzer's seed corpus: "good-" documents load, "bad-" ones are refused, and every
// accepted one survives the round trip through the file.
#include "document_round_trip.h"
#include "notes/file_system.h"
#include "pindle/testing/manual_time.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

namespace pindle {
namespace {

TEST(FuzzCorpus, SeedsLoadOrAreRefusedAsNamedAndSurviveTheRoundTrip) {
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PINDLE_FUZZ_CORPUS)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const std::string bytes = testing::readFile(entry.path());
        fuzz::checkDocumentRoundTrip(bytes);
        if (name.starts_with("good-")) {
            EXPECT_TRUE(decodePayload(bytes).has_value());
        } else if (name.starts_with("bad-")) {
            EXPECT_FALSE(decodePayload(bytes).has_value());
        }
        ++seen;
    }
    EXPECT_GE(seen, 20);
}

TEST(FuzzCorpus, AHundredMegabyteDocumentStartsFreshAndIsKept) {
    testing::TestFolder folder;
    const auto file = folder / "notes.json";
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, 100 << 20), 0); // sparse: cheap to make, 100 MB to read
        ::close(fd);
    }
    ManualTime time;
    Store store(StoreServices{time, time, PosixFileSystem::instance()}, file);
    EXPECT_EQ(store.notes().size(), 1u);
    store.flush();
    int kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        kept +=
            entry.path().filename().string().starts_with("notes.json.unreadable-") && entry.file_size() == (100u << 20);
    }
    EXPECT_EQ(kept, 1);
}

} // namespace
} // namespace pindle
