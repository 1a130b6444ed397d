// The merge rules, one table row per rule, and the names of sync engines' conflict copies.
#include "notes/merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <sstream>

namespace pindle {
namespace {

// "a=one b=" is note a holding "one" and note b holding nothing; "a~two" is the conflict note that
// holds "two" beside note a; "a=3<2<1" is note a holding "3" with the history 3, 2, 1; "-b" records
// note b as deleted.
std::vector<Note> notes(const std::string& shorthand, Histories* history = nullptr, Deletions* deleted = nullptr) {
    std::vector<Note> result;
    std::istringstream words(shorthand);
    for (std::string word; words >> word;) {
        if (word[0] == '-') {
            deleted == nullptr ? void() : deleted->push_back(hashDocument(word.substr(1)));
            continue;
        }
        const auto mark = word.find_first_of("=~");
        const std::string id = word.substr(0, mark);
        std::istringstream versions(word.substr(mark + 1));
        std::string text;
        std::getline(versions, text, '<');
        result.push_back({word[mark] == '~' ? conflictNoteId(id, text) : id, "#5b8def", text, 1, 1});
        for (std::string version = text; history != nullptr && word.find('<') != std::string::npos;) {
            (*history)[id].push_back(versionHash(id, version));
            if (!std::getline(versions, version, '<')) {
                break;
            }
        }
    }
    return result;
}

std::string describe(const std::vector<Note>& merged) {
    std::string out;
    for (const Note& note : merged) {
        std::string id = note.id;
        for (const char owner : std::string("abcdmnz")) {
            if (note.id == conflictNoteId(std::string(1, owner), note.text)) {
                id = std::string(1, owner) + "~";
            }
        }
        out += (out.empty() ? "" : " ") + id + (id.ends_with('~') ? "" : "=") + note.text;
    }
    return out;
}

std::vector<std::string> sortedTexts(const std::vector<Note>& merged) {
    std::vector<std::string> texts;
    for (const Note& note : merged) {
        texts.push_back(note.text);
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

struct Row {
    const char* rule;
    MergeSource source;
    const char* base;
    const char* local;
    const char* other;
    const char* expected;
};

constexpr auto kDocument = MergeSource::document;
constexpr auto kCopy = MergeSource::conflictCopy;

const Row kRows[] = {
    {"added there", kDocument, "a=1", "a=1", "a=1 n=new", "a=1 n=new"},
    {"added on both sides, theirs in their order", kDocument, "a=1 b=2", "a=1 b=2 c=3", "n=0 a=1 m=m b=2",
     "n=0 a=1 m=m b=2 c=3"},
    {"changed there only", kDocument, "a=1 b=2", "a=1 b=2", "a=1 b=two", "a=1 b=two"},
    {"deleted there, unchanged here", kDocument, "a=1 b=2", "a=1 b=2", "a=1", "a=1"},
    {"deleted there, changed here", kDocument, "a=1 b=2", "a=1 b=two", "a=1", "a=1 b=two"},
    {"changed on both sides", kDocument, "a=1 b=2", "a=mine b=2", "a=theirs b=2", "a=mine a~theirs b=2"},
    {"changed alike on both sides", kDocument, "a=1", "a=same", "a=same", "a=same"},
    {"same id added on both sides", kDocument, "", "z=mine", "z=theirs", "z=mine z~theirs"},
    {"everything deleted there", kDocument, "a=1", "a=1", "", ""},
    {"copy: a note the document lacks", kCopy, "a=1", "a=1", "a=1 c=lost", "a=1 c=lost"},
    {"copy: deletes nothing", kCopy, "a=1 b=2", "a=1 b=2", "a=1", "a=1 b=2"},
    {"copy: brings back a note deleted here", kCopy, "a=1 b=2", "a=1", "a=1 b=2", "a=1 b=2"},
    {"copy: overwrites nothing, its text beside", kCopy, "a=new", "a=new", "a=old", "a=new a~old"},
    {"copy: the version the document holds", kCopy, "a=1", "a=typed", "a=1", "a=typed"},
    {"copy: blank or known texts add nothing", kCopy, "a=1", "a=1", "a=1 d= m=1", "a=1"},
    {"copy: a conflict note made before", kCopy, "a=3", "a=2 a~1", "a=1", "a=2 a~1"},
    {"copy: an earlier text the note grew out of", kCopy, "a=3<2<1", "a=3<2<1", "a=2", "a=3"},
    // Histories: another machine's text grew out of ours, or beside it although ours is the base.
    {"grew out of ours", kDocument, "a=1", "a=1<0", "a=2<1<0", "a=2"},
    {"grew beside ours", kDocument, "a=1", "a=1<0", "a=2<0", "a=1 a~2"},
    {"grew beside ours: their lack deletes nothing", kDocument, "a=1 b=2", "a=1<0 b=2", "a=2<0 -b", "a=1 a~2 b=2"},
    {"recorded as deleted there goes, else deletes nothing", kDocument, "a=1 b=2 c=3", "a=1<0 b=2 c=3", "a=1<0 -c",
     "a=1 b=2"},
    {"deletions recorded alone: deletes nothing", kDocument, "a=1 b=2", "a=1 b=2", "a=1 -c", "a=1 b=2"},
    {"both keep the other's text: they settle alike", kDocument, "a=1<0 a~2", "a=1<0 a~2", "a=2<0 a~1", "a=2 a~1"},
    {"their text grew out of a conflict note's", kDocument, "a=1 a~2", "a=1 a~2", "a=3<2<1 a~2", "a=3"},
    {"a later conflict note stands for an earlier", kDocument, "a=d<0 a~1", "a=d<0 a~1", "a=3<1<0", "a=d a~3"},
};

class MergeRule : public ::testing::TestWithParam<Row> {};

TEST_P(MergeRule, KeepsEveryWordAndIsTheSameInBothOrders) {
    const Row& row = GetParam();
    Histories local;
    Histories other;
    Deletions deleted;
    const auto merged = mergeNotes(notes(row.base), notes(row.local, &local), notes(row.other, &other, &deleted),
                                   row.source, local, other, deleted);
    EXPECT_EQ(describe(merged), row.expected);
    // Whichever machine merges, the same texts survive; only their places differ. Where both hold
    // both texts, the places too. (Two rows have one side hold what the other cannot have.)
    const std::string rule = row.rule;
    if (row.source == MergeSource::document && !rule.ends_with("deletes nothing") && !rule.ends_with("note's")) {
        const auto mirrored = mergeNotes(notes(row.base), notes(row.other), notes(row.local), row.source, other, local);
        EXPECT_EQ(sortedTexts(mirrored), sortedTexts(merged));
        if (rule.starts_with("both keep")) {
            EXPECT_EQ(describe(mirrored), row.expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, MergeRule, ::testing::ValuesIn(kRows), [](const auto& row) {
    std::string name;
    for (const char c : std::string(row.param.rule)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
});

TEST(MergeRule, AnOlderVersionKnownHereIsNoChangeThere) {
    Histories local;
    const auto mine = notes("a=2<1", &local);
    local["b"] = {versionHash("b", "2"), versionHash("b", "1")}; // deleted here
    EXPECT_EQ(describe(mergeNotes(notes("a=2 b=2"), mine, notes("a=1 b=1"), kDocument, local)), "a=2");
}

// Both machines name a conflict note alike: its id follows from the note's id and the kept text.
TEST(MergeRule, ConflictNotesHaveStableVersion4Ids) {
    const std::string id = conflictNoteId("a", "theirs");
    EXPECT_NE(id, conflictNoteId("a", "theirs!"));
    EXPECT_NE(id, conflictNoteId("b", "theirs"));
    EXPECT_TRUE(std::regex_match(id, std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")))
        << id;
}

TEST(ConflictCopyName, MatchesTheThreeEnginesAndNothingElse) {
    const std::pair<const char*, bool> names[] = {
        {"notes.sync-conflict-20261206-194512-ABCD2EF.json", true},
        {"notes (conflicted copy 2026-12-06 194512).json", true},
        {"notes (Jane's conflicted copy 2026-12-06).json", true},
        {"notes (Jane's conflicted copy 2026-12-06 (1)).json", true},
        {"notes.json", false},
        {".syncthing.notes.json.tmp", false},
        {"notes.json.unreadable-20261206-194512", false},
        {"other.sync-conflict-20261206-194512-ABCD2EF.json", false},
        {"notes.sync-conflict-2026126-194512-ABCD2EF.json", false},
    };
    for (const auto& [name, isCopy] : names) {
        EXPECT_EQ(isConflictCopyName(name, "notes.json"), isCopy) << name;
    }
}

} // namespace
} // namespace pindle
