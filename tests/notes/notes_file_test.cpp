// The notes document: its exact written form, its strict reading, the fuzzer's seeds and sizes
// nobody types.
#include "document_round_trip.h"
#include "notes/file_system.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "pindle/testing/manual_time.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace pindle {
namespace {

const Note kNote{"0b9e8a4c-3f1d-4e2a-9c7b-5d6e7f8a9b0c", "#f2545b", "", 1700000000000.0, 1700000000000.0};

TEST(NotesFileWriting, OneNoteIsTwelveLinesByteForByte) {
    const std::string expected = "{\n"
                                 "  \"activeId\" : \"0b9e8a4c-3f1d-4e2a-9c7b-5d6e7f8a9b0c\",\n"
                                 "  \"notes\" : [\n"
                                 "    {\n"
                                 "      \"color\" : \"#f2545b\",\n"
                                 "      \"createdAt\" : 1700000000000,\n"
                                 "      \"id\" : \"0b9e8a4c-3f1d-4e2a-9c7b-5d6e7f8a9b0c\",\n"
                                 "      \"text\" : \"\",\n"
                                 "      \"updatedAt\" : 1700000000000\n"
                                 "    }\n"
                                 "  ]\n"
                                 "}";
    EXPECT_EQ(encodePayload({{kNote}, kNote.id}), expected);
}

TEST(NotesFileWriting, EscapesAsJsonWithTheSlashEscapedAndUnicodeAsIs) {
    Note note = kNote;
    note.text = "a/b \"q\" \\ \n\t\r\b\f \x01\x1f \x7f caf\u00E9 \U0001F600";
    note.updatedAt = 1700000000123.5;
    const std::string written = encodePayload({{note, kNote}, kNote.id});
    EXPECT_NE(written.find(R"("text" : "a\/b \"q\" \\ \n\t\r\b\f \u0001\u001f )"
                           "\x7f caf\u00E9 \U0001F600\""),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("\"updatedAt\" : 1700000000123.5\n"), std::string::npos);
    EXPECT_NE(written.find("    },\n    {\n"), std::string::npos); // comma between elements only

    const auto read = decodePayload(written);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->notes.size(), 2u);
    EXPECT_EQ(read->notes[0].text, note.text);
    EXPECT_EQ(read->notes[0].updatedAt, note.updatedAt);
    EXPECT_EQ(read->activeId, kNote.id);
}

TEST(NotesFileWriting, MalformedUtf8NeverMakesAnUnreadableDocument) {
    Note note = kNote;
    note.text = "ok \xC3 \xED\xA0\x80 \xF8";
    const auto read = decodePayload(encodePayload({{note}, kNote.id}));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->notes[0].text, "ok \uFFFD \uFFFD\uFFFD\uFFFD \uFFFD");
}

struct DecodeCase {
    const char* name;
    std::string json;
    bool readable;
};

// Hostile documents (nesting, 1e999, surrogates, bad UTF-8, BOM, NUL, truncation) are in the fuzz
// corpus, which the corpus replay test reads.
class NotesFileReading : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(NotesFileReading, IsStrictAboutShapeAndLenientAboutTheRest) {
    EXPECT_EQ(decodePayload(GetParam().json).has_value(), GetParam().readable) << GetParam().json;
}

const std::string kGood = R"({"id":"x","color":"#fff","text":"t","createdAt":1,"updatedAt":2.5})";

INSTANTIATE_TEST_SUITE_P(
    Documents, NotesFileReading,
    ::testing::Values(
        DecodeCase{"minimal", R"({"notes":[]})", true},
        DecodeCase{"anyOrderAndSpacing", "{ \"notes\" : [ " + kGood + " ] ,\n\"activeId\":\"x\" }", true},
        DecodeCase{"nullActiveId", R"({"activeId":null,"notes":[)" + kGood + "]}", true},
        DecodeCase{"unknownMembersIgnored",
                   R"({"v":2,"notes":[{"extra":[1],"id":"x","color":"c","text":"","createdAt":1,"updatedAt":1}]})",
                   true},
        DecodeCase{"notesMissing", R"({"activeId":"x"})", false}, DecodeCase{"notesNotArray", R"({"notes":{}})", false},
        DecodeCase{"activeIdNumber", R"({"activeId":1,"notes":[]})", false},
        DecodeCase{"noteLacksUpdatedAt", R"({"notes":[{"id":"x","color":"c","text":"","createdAt":1}]})", false},
        DecodeCase{"noteTextNull", R"({"notes":[{"id":"x","color":"c","text":null,"createdAt":1,"updatedAt":1}]})",
                   false},
        DecodeCase{"timestampAsString", R"({"notes":[{"id":"x","color":"c","text":"","createdAt":"1","updatedAt":1}]})",
                   false},
        DecodeCase{"noteNotObject", R"({"notes":[1]})", false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(NotesFileLocation, FollowsXdgDataHome) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string restore = saved != nullptr ? saved : "";
    setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(defaultDocumentPath(), "/data/home/Pindle/notes.json");
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(defaultDocumentPath(), "/home/someone/.local/share/Pindle/notes.json");
    if (saved != nullptr) {
        setenv("XDG_DATA_HOME", restore.c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }
}

// The fuzzer's seed corpus: "good-" documents load, "bad-" ones are refused, and every accepted one
// survives the round trip through the file.
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
