// The note record, the colours and the Unicode rules behind titles and counts; the notes document:
// its exact written form, its strict reading, the fuzzer's seeds and sizes nobody types.
#include "document_round_trip.h"
#include "notes/color.h"
#include "notes/file_system.h"
#include "notes/note.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "notes/text.h"
#include "pindle/testing/manual_time.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <regex>
#include <set>
#include <tuple>

namespace pindle {
namespace {

struct TitleCase {
    const char* name;
    std::string text;
    std::string title;
    bool blank;
};

class TitleAndBlankness : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleAndBlankness, FollowsTheTrimmingClasses) {
    const Note note{"id", "#f2545b", GetParam().text, 0, 0};
    EXPECT_EQ(note.firstLine(), GetParam().title);
    EXPECT_EQ(note.isBlank(), GetParam().blank);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TitleAndBlankness,
    ::testing::Values(TitleCase{"empty", "", "", true},
                      TitleCase{"firstNonBlankLine", "\n\n   \n  word  \nmore words", "word", false},
                      TitleCase{"tabsTrimmedInnerSpacesKept", "\t two  words \t\nnext", "two  words", false},
                      TitleCase{"crlfIsNotALineBreak", "  one\r\ntwo\r\n", "one\r\ntwo\r\n", false},
                      TitleCase{"loneCarriageReturnSplitsNothing", "a\rb\nc", "a\rb", false},
                      TitleCase{"spacesTabsAndLineFeedsOnly", " \t\n \n\t", "", true},
                      TitleCase{"noBreakSpaceOnly", "\u00A0", "", true},
                      TitleCase{"ideographicSpaceTrimmed", "\u3000title\u3000", "title", false},
                      TitleCase{"lineSeparatorIsBlankButNotTrimmedFromTitles", "\u2028", "\u2028", true},
                      TitleCase{"carriageReturnsAndNelAreBlank", "\r\n\r\u0085\v\f", "\r\n\r\u0085\v\f", true},
                      TitleCase{"spaceWithCombiningMarkIsContent", " \u0301", " \u0301", false},
                      TitleCase{"emojiTitle", "\n\U0001F469\u200D\U0001F4BB notes", "\U0001F469\u200D\U0001F4BB notes",
                                false},
                      TitleCase{"malformedUtf8IsContent", "\xFF", "\xFF", false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct CountCase {
    const char* name;
    std::string text;
    std::string label;
};

class CountLabel : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountLabel, CountsWordsAndGraphemes) {
    EXPECT_EQ(text::countLabel(GetParam().text), GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CountLabel,
    ::testing::Values(CountCase{"empty", "", ""}, CountCase{"onlySpaces", "   ", ""},
                      CountCase{"greeting", "Hello world", "2 words \u00B7 11 chars"},
                      CountCase{"oneLetter", "a", "1 word \u00B7 1 char"},
                      CountCase{"emojiWithModifiersIsOneChar", "\U0001F44D\U0001F3FD", "1 word \u00B7 1 char"},
                      CountCase{"familyEmojiIsOneChar", "\U0001F468\u200D\U0001F469\u200D\U0001F467",
                                "1 word \u00B7 1 char"},
                      CountCase{"flagsPairUp", "\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7", "1 word \u00B7 2 chars"},
                      CountCase{"combiningAccentCountsOnce", "e\u0301te\u0301", "1 word \u00B7 3 chars"},
                      CountCase{"crlfCountsOnce", "a\r\nb", "2 words \u00B7 3 chars"},
                      CountCase{"noRunsOfEmptyWords", "  a \t\n\n b  ", "2 words \u00B7 11 chars"},
                      CountCase{"unicodeWhiteSpaceSeparates", "a\u00A0b\u3000c\u2029d", "4 words \u00B7 7 chars"},
                      CountCase{"zeroWidthSpaceIsNotWhiteSpace", "a\u200Bb", "1 word \u00B7 3 chars"},
                      CountCase{"markAfterALongRun", std::string(4096, 'x') + "\u0301", "1 word \u00B7 4096 chars"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// Long texts take the eight-bytes-at-a-time path for their ASCII runs: every alignment of white
// space, CR LF pairs and non-ASCII characters against those blocks must count as the rules say.
TEST(Counts, LongTextsCountLikeTheRulesSay) {
    struct Unit {
        std::string bytes;
        bool space;
    };
    // ASCII first: most picks come from these, so runs grow long enough to cross blocks.
    const std::vector<Unit> units = {{"a", false},     {"x", false},         {"!", false},      {"\x1f", false},
                                     {" ", true},      {"\t", true},         {"\n", true},      {"\r", true},
                                     {"\v", true},     {"\f", true},         {"\u00E9", false}, {"\u00A0", true},
                                     {"\u3000", true}, {"\U0001F44D", false}};
    constexpr std::size_t kAsciiUnits = 10;
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        std::size_t words = 0;
        std::size_t characters = 0;
        bool inWord = false;
        bool afterCr = false;
        // Now and then a long ASCII text, which is counted in parts and many blocks at a time.
        const bool longAscii = round % 16 == 0;
        const std::size_t length = random() % (longAscii ? 9000 : 90);
        for (std::size_t i = 0; i < length; ++i) {
            const Unit& unit = units[random() % (!longAscii && random() % 4 == 0 ? units.size() : kAsciiUnits)];
            text += unit.bytes;
            characters += afterCr && unit.bytes == "\n" ? 0U : 1U; // CR LF is one character
            words += !unit.space && !inWord ? 1U : 0U;
            inWord = !unit.space;
            afterCr = unit.bytes == "\r";
        }
        const text::Counts counts = text::count(text);
        ASSERT_EQ(counts.words, words) << ::testing::PrintToString(text);
        ASSERT_EQ(counts.characters, characters) << ::testing::PrintToString(text);
    }
}

TEST(CanonicalEquivalence, ComparesDecomposedFormsOnly) {
    const std::string x(5000, 'x');
    const std::tuple<std::string, std::string, bool> pairs[] = {
        {"caf\u00E9", "cafe\u0301", true},
        {x + "\u00E9" + x, x + "e\u0301" + x, true},
        {"a\u0301\u0323", "a\u0323\u0301", true}, // marks reorder by combining class
        {"\uAC00", "\u1100\u1161", true},
        {"cafe", "caf\u00E9", false},
        {"a", "ab", false},
        {"\u00E9", "\u00E8", false},
        {"\uFB01", "fi", false}, // compatibility forms are not canonical ones
    };
    for (const auto& [a, b, equal] : pairs) {
        EXPECT_EQ(text::canonicallyEqual(a, b), equal) << a << " / " << b;
    }
    // Notes compare by canonical text and by version.
    const Note precomposed{"id", "#f2545b", "caf\u00E9", 1, 2};
    EXPECT_EQ(precomposed, (Note{"id", "#f2545b", "cafe\u0301", 1, 2}));
    EXPECT_NE(precomposed, (Note{"id", "#f2545b", "cafe\u0301", 1, 3}));
    EXPECT_NE(precomposed, (Note{"id", "#f2545b", "tea", 1, 2}));
}

TEST(Note, MakeGivesAnEmptyNoteWithAFreshIdAndTheNextColour) {
    ManualTime time(std::chrono::system_clock::time_point{std::chrono::microseconds{1'700'000'000'123'500}});
    const Note first = Note::make({}, time);
    EXPECT_EQ(first.color, "#f2545b");
    EXPECT_EQ(first.text, "");
    EXPECT_EQ(first.createdAt, 1'700'000'000'124.0); // .5 ms rounds away from zero
    EXPECT_EQ(first.updatedAt, first.createdAt);
    EXPECT_TRUE(
        std::regex_match(first.id, std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")))
        << first.id;
    EXPECT_EQ(Note::make({first}, time).color, "#f79256");

    std::set<std::string> ids;
    for (int i = 0; i < 1000; ++i) {
        ids.insert(makeUuid());
    }
    EXPECT_EQ(ids.size(), 1000u);
}

TEST(Color, ReadsSixHexDigitsOrFallsBack) {
    EXPECT_EQ(Color::fromHex("#5b8def"), (Color{91 / 255.0, 141 / 255.0, 239 / 255.0, 1}));
    EXPECT_EQ(Color::fromHex("E0403A"), (Color{224 / 255.0, 64 / 255.0, 58 / 255.0, 1}));
    for (const char* bad : {"", "#", "#fff", "#f2545g", "##f2545b", "#f2545b80", "0xf2545b", "#f2545b "}) {
        EXPECT_EQ(Color::fromHex(bad), Color::fallback()) << bad;
    }
    EXPECT_EQ(Color::fallback(), (Color{0.949, 0.329, 0.357, 1}));
}

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
// corpus, which FuzzCorpus below replays.
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
