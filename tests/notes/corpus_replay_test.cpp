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

TEST(FuzzCorpus, WhatPindleWritesReadsBackAndAHugeFileIsKeptUnread) {
    testing::TestFolder folder;
    const auto file = folder / "notes.json";
    ManualTime time;
    {
        // Every byte escaped: 33 MB of text make a 66 MB document.
        Store store(StoreServices{time, time, PosixFileSystem::instance()}, file);
        store.updateActiveText(std::string(33u << 20, '"'));
        store.flush();
        ASSERT_TRUE(store.lastWriteStatus().ok());
    }
    EXPECT_EQ(Store(StoreServices{time, time, PosixFileSystem::instance()}, file).activeNote()->text.size(), 33u << 20);

    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, off_t{100} << 30), 0); // sparse: cheap to make, 100 GB to read
        ::close(fd);
    }
    Store store(StoreServices{time, time, PosixFileSystem::instance()}, file);
    EXPECT_EQ(store.notes().size(), 1u);
    store.flush();
    int kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        kept += entry.path().filename().string().starts_with("notes.json.unreadable-") &&
                entry.file_size() == (std::uintmax_t{100} << 30);
    }
    EXPECT_EQ(kept, 1);
}

} // namespace
} // namespace pindle
