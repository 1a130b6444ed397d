// 100,000 random operations on the real store, each checked against a plain model of what the
// store holds, when it saves and what the document holds. A sync engine writes the document and
// conflict copies now and then, told or not, sometimes half-written first: the store merges first.
#include "notes/file_system.h"
#include "notes/merge.h"
#include "pindle/testing/manual_time.h"
#include "notes/notes_file.h"
#include "notes/palette.h"
#include "notes/store.h"
#include "pindle/testing/forwarding_file_system.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>

namespace pindle {
namespace {

using namespace std::chrono_literals;

// Counts the saves (the rename that publishes each). Durability is not what this test is about:
// skipping fsync keeps 100,000 operations fast.
class CountingFileSystem final : public testing::ForwardingFileSystem {
public:
    int fsync(int /*fd*/) override { return 0; }
    int renames = 0;

protected:
    bool intercept(const char* call) override {
        renames += std::string_view(call) == "rename" ? 1 : 0;
        return false;
    }
};

struct ModelNote {
    std::string id;
    std::string color;
    std::string text;
    double updatedAt = 0; // not compared: only whether a note changed since the last common version
    friend bool operator==(const ModelNote& a, const ModelNote& b) {
        return a.id == b.id && a.color == b.color && a.text == b.text;
    }
};

bool sameVersion(const ModelNote& a, const ModelNote& b) {
    return a == b && a.updatedAt == b.updatedAt;
}

struct Snapshot {
    std::vector<ModelNote> notes;
    std::string activeId;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

void PrintTo(const Snapshot& snapshot, std::ostream* out) {
    *out << "active " << snapshot.activeId << " of";
    for (const ModelNote& note : snapshot.notes) {
        *out << " [" << note.id.substr(0, 8) << " " << note.color << " " << ::testing::PrintToString(note.text) << "]";
    }
}

// A change another program made on disk that the store has not looked at yet.
struct External {
    enum Kind { add, change, remove, copy } kind;
    ModelNote note;                     // the note added, or the id and new text of the one changed or removed
    std::vector<std::string> diskOrder; // of the version written
};

// What the store should do, written as plainly as possible.
struct Model {
    Snapshot state;
    Snapshot saved; // the last common version
    Snapshot disk;
    bool confirming = false;
    std::optional<std::chrono::system_clock::time_point> typingSaveDue;
    int saves = 0;
    std::optional<External> unseen;
    std::vector<ModelNote> copyNotes; // the conflict copy's notes

    void save() {
        look();
        saved = disk = state;
        typingSaveDue.reset();
        ++saves;
    }
    ModelNote* find(const std::string& id) {
        const auto at = std::find_if(state.notes.begin(), state.notes.end(), [&](auto& n) { return n.id == id; });
        return at == state.notes.end() ? nullptr : &*at;
    }
    void insertAfterPredecessor(const ModelNote& note, const std::vector<std::string>& order) {
        auto at = state.notes.begin();
        for (auto k = std::find(order.begin(), order.end(), note.id); k != order.begin();) {
            if (const ModelNote* before = find(*--k)) {
                at = state.notes.begin() + (before - state.notes.data()) + 1;
                break;
            }
        }
        state.notes.insert(at, note);
    }
    void insertConflict(const ModelNote& mine, const ModelNote& theirs) {
        const std::string id = conflictNoteId(mine.id, theirs.text);
        if (find(id) == nullptr) {
            const auto at = state.notes.begin() + (&mine - state.notes.data()) + 1;
            state.notes.insert(at, {id, mine.color, theirs.text, theirs.updatedAt});
        }
    }
    // Typed in since the last common version (a note added here counts too).
    bool changedHere(const ModelNote& mine) const {
        return std::none_of(saved.notes.begin(), saved.notes.end(), [&](auto& n) { return sameVersion(n, mine); });
    }
    // The store looks at the disk (told by the watcher, or before a save) and merges; true when
    // the merge has to be saved.
    bool look() {
        if (!unseen) {
            return false;
        }
        const External change = *std::exchange(unseen, std::nullopt);
        ModelNote* mine = find(change.note.id);
        const std::size_t activeAt = activeIndex();
        switch (change.kind) {
        case External::add:
            insertAfterPredecessor(change.note, change.diskOrder);
            break;
        case External::change:
            if (mine == nullptr) {
                insertAfterPredecessor(change.note, change.diskOrder); // deleted here, changed there
            } else if (mine->text == change.note.text) {
                mine->updatedAt = std::max(mine->updatedAt, change.note.updatedAt);
            } else if (changedHere(*mine)) {
                insertConflict(*mine, change.note);
            } else {
                *mine = change.note;
            }
            break;
        case External::remove:
            if (mine != nullptr && !changedHere(*mine)) {
                state.notes.erase(state.notes.begin() + (mine - state.notes.data()));
                if (find(state.activeId) == nullptr) {
                    state.activeId = state.notes[std::min(activeAt, state.notes.size() - 1)].id;
                    confirming = false;
                }
            }
            break;
        case External::copy:
            mergeCopy(change.diskOrder);
            return true; // a merged copy is removed only after a save
        }
        saved = disk;
        return !std::equal(state.notes.begin(), state.notes.end(), disk.notes.begin(), disk.notes.end(), sameVersion);
    }
    bool holds(const std::string& text) const {
        return std::any_of(state.notes.begin(), state.notes.end(), [&](const auto& n) { return n.text == text; });
    }
    // A copy holds the document as it was, with one note's text changed: it adds, never removes.
    void mergeCopy(const std::vector<std::string>& copyOrder) {
        std::vector<ModelNote> copy;
        for (const auto& id : copyOrder) {
            copy.push_back(*std::find_if(copyNotes.begin(), copyNotes.end(), [&](auto& n) { return n.id == id; }));
        }
        for (const ModelNote& theirs : copy) {
            const ModelNote* mine = find(theirs.id);
            const auto base =
                std::find_if(disk.notes.begin(), disk.notes.end(), [&](auto& n) { return n.id == theirs.id; });
            if (mine != nullptr && mine->text != theirs.text &&
                (base == disk.notes.end() || base->text != theirs.text) && !holds(theirs.text)) {
                insertConflict(*mine, theirs);
            }
        }
        for (const ModelNote& theirs : copy) {
            if (find(theirs.id) == nullptr && !Note{theirs.id, "", theirs.text, 0, 0}.isBlank() &&
                !holds(theirs.text)) {
                insertAfterPredecessor(theirs, copyOrder);
            }
        }
    }
    std::size_t activeIndex() const {
        for (std::size_t i = 0; i < state.notes.size(); ++i) {
            if (state.notes[i].id == state.activeId) {
                return i;
            }
        }
        return state.notes.size();
    }
    std::string leastUsedColour() const {
        std::string best;
        std::size_t bestCount = SIZE_MAX;
        for (const auto colour : Palette::colors) {
            const auto uses = static_cast<std::size_t>(std::count_if(
                state.notes.begin(), state.notes.end(), [&](const ModelNote& n) { return n.color == colour; }));
            if (uses < bestCount) {
                best = colour;
                bestCount = uses;
            }
        }
        return best;
    }
};

Snapshot snapshotOf(const std::vector<Note>& notes, const std::string& activeId) {
    Snapshot snapshot{{}, activeId};
    for (const Note& note : notes) {
        snapshot.notes.push_back({note.id, note.color, note.text, note.updatedAt});
    }
    return snapshot;
}

// Another program writes the document (or a conflict copy beside it): a note added, a note's text
// changed, a note removed, atomically or in place, sometimes after a half-written version.
template <typename Chance>
std::string externalWrite(const testing::TestFolder& folder, const std::filesystem::path& file, ManualTime& time,
                          Chance& chance, int step, Model& model, const std::function<void()>& midWrite) {
    Payload written = decodePayload(testing::readFile(file)).value();
    const std::string word = " ext" + std::to_string(step);
    const double now = wholeMillisecondsSinceEpoch(time.now()) + 7;
    const std::size_t i = chance(static_cast<unsigned>(written.notes.size()));
    Note& target = written.notes[i];
    External change{External::add, {}, {}};
    std::string described;
    // Adding when there are few notes and removing when there are many keeps the list short.
    switch (written.notes.size() > 12 && chance(4) == 0 ? 2 : chance(4)) {
    case 0: {
        const Note added{makeUuid(), std::string(Palette::colors[chance(8)]), word, now, now};
        written.notes.push_back(added);
        change = {External::add, {added.id, added.color, added.text, now}, {}};
        described = "external add";
        break;
    }
    case 1:
        target.text += word;
        target.updatedAt = now;
        change = {External::change, {target.id, target.color, target.text, now}, {}};
        described = "external change";
        break;
    case 2:
        if (written.notes.size() > 1) {
            change = {External::remove, {target.id, target.color, target.text}, {}};
            written.deleted.insert(written.deleted.begin(), hashDocument(target.id)); // as Pindle records it
            written.notes.erase(written.notes.begin() + static_cast<std::ptrdiff_t>(i));
            described = "external remove";
            break;
        }
        [[fallthrough]];
    default: {
        target.text += word;
        target.updatedAt = now;
        char name[64];
        std::snprintf(name, sizeof name, "notes.sync-conflict-20261206-%06d-ABCDEFG.json", step % 1000000);
        testing::writeFile(folder / name, encodePayload(written));
        model.copyNotes = snapshotOf(written.notes, "").notes;
        change = {External::copy, {}, {}};
        for (const Note& note : written.notes) {
            change.diskOrder.push_back(note.id);
        }
        model.unseen = change;
        return "external conflict copy";
    }
    }
    for (const Note& note : written.notes) {
        change.diskOrder.push_back(note.id);
    }
    const std::string bytes = encodePayload(written);
    if (chance(4) == 0) {
        testing::writeFile(file, bytes.substr(0, bytes.size() / 2));
        midWrite();
        described += ", half-written first";
    }
    if (chance(2) == 0) {
        testing::writeFile(file, bytes);
        described += ", in place";
    } else {
        testing::writeFile(folder / ".engine.tmp", bytes);
        std::filesystem::rename(folder / ".engine.tmp", file);
    }
    model.disk = snapshotOf(written.notes, written.activeId.value_or(""));
    model.unseen = change;
    return described;
}

TEST(StoreModel, RandomOperationsMatchTheModelAndRestartsRestoreTheLastSave) {
    const unsigned seed = 20261206;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto chance = [&](unsigned n) { return static_cast<unsigned>(random() % n); };

    testing::TestFolder folder;
    const auto file = folder / "notes.json";
    ManualTime time;
    CountingFileSystem fs;
    auto store = std::make_unique<Store>(StoreServices{time, time, fs}, file);

    Model model;
    model.state = snapshotOf(store->notes(), store->activeId());
    model.save();

    const std::array<std::string, 6> pieces = {"a", " ", "\n", "\u00E9", "\U0001F600", "word"};
    // Sanitizer builds run a tenth of the steps (PINDLE_MODEL_STEPS); the plain build all of them.
    const char* stepsSetting = std::getenv("PINDLE_MODEL_STEPS");
    const int steps = stepsSetting != nullptr ? std::atoi(stepsSetting) : 100'000;
    for (int step = 0; step < steps; ++step) {
        const unsigned operation = chance(100);
        std::string described;
        if (operation < 12) {
            const auto index =
                static_cast<std::int64_t>(chance(static_cast<unsigned>(model.state.notes.size() + 2))) - 1;
            described = "select index " + std::to_string(index);
            store->select(index);
            if (index >= 0 && static_cast<std::size_t>(index) < model.state.notes.size() &&
                model.state.notes[static_cast<std::size_t>(index)].id != model.state.activeId) {
                model.confirming = false;
                model.state.activeId = model.state.notes[static_cast<std::size_t>(index)].id;
                model.save();
            }
        } else if (operation < 18) {
            described = "select unknown id";
            store->select(std::string_view("not-a-note"));
        } else if (operation < 26) {
            described = "add";
            const std::string colour = model.leastUsedColour();
            store->addNote();
            const Note& added = store->notes().back();
            ASSERT_EQ(added.createdAt, wholeMillisecondsSinceEpoch(time.now()));
            model.confirming = false;
            model.state.notes.push_back({added.id, colour, "", added.updatedAt});
            model.state.activeId = added.id;
            model.save();
        } else if (operation < 60) {
            described = "type";
            const std::size_t i = model.activeIndex();
            std::string text = model.state.notes[i].text;
            if (!text.empty() && chance(4) == 0) {
                // Backspacing: cut at a character boundary, as an editor does.
                std::size_t cut = chance(static_cast<unsigned>(text.size()));
                while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0U) == 0x80U) {
                    --cut;
                }
                text.resize(cut);
            } else {
                text += pieces[chance(static_cast<unsigned>(pieces.size()))];
            }
            store->updateActiveText(text);
            if (text != model.state.notes[i].text) {
                ASSERT_EQ(store->activeNote()->updatedAt, wholeMillisecondsSinceEpoch(time.now()));
                model.state.notes[i].text = text;
                model.state.notes[i].updatedAt = wholeMillisecondsSinceEpoch(time.now());
                model.typingSaveDue = time.now() + std::chrono::milliseconds(300);
            }
        } else if (operation < 68) {
            described = "delete";
            const std::size_t i = model.activeIndex();
            store->deleteActiveNote();
            model.state.notes.erase(model.state.notes.begin() + static_cast<std::ptrdiff_t>(i));
            if (model.state.notes.empty()) {
                model.state.notes.push_back({store->notes()[0].id, "#f2545b", "", store->notes()[0].updatedAt});
            }
            model.state.activeId = model.state.notes[std::min(i, model.state.notes.size() - 1)].id;
            model.confirming = false;
            model.save();
        } else if (operation < 74) {
            const bool value = chance(2) == 0;
            described = "confirming " + std::to_string(value);
            store->setConfirmingDelete(value);
            model.confirming = value;
        } else if (operation < 78) {
            described = "flush";
            store->flush();
            model.save();
        } else if (operation < 94) {
            const auto by = std::chrono::milliseconds(chance(400));
            described = "advance " + std::to_string(by.count()) + " ms";
            const auto end = time.now() + by;
            time.advance(by);
            if (model.typingSaveDue && *model.typingSaveDue <= end) {
                model.save();
            }
        } else if (operation < 97) {
            if (model.unseen) {
                continue; // one change at a time that the store has not seen
            }
            // Sometimes the store looks while the engine is still writing: nothing to merge yet.
            described = externalWrite(folder, file, time, chance, step, model, [&] {
                if (chance(2) == 0) {
                    store->checkForExternalChanges();
                }
            });
            if (chance(2) == 0) {
                described += ", told";
                store->checkForExternalChanges();
                if (model.look()) {
                    model.save();
                }
            }
        } else {
            described = "restart";
            store.reset();
            store = std::make_unique<Store>(StoreServices{time, time, fs}, file);
            model.state = model.disk;
            if (model.find(model.state.activeId) == nullptr) {
                model.state.activeId = model.state.notes.front().id;
            }
            model.saved = model.disk;
            model.confirming = false;
            model.typingSaveDue.reset();
            if (model.unseen && model.unseen->kind != External::copy) {
                model.unseen.reset();
            }
            if (model.look()) {
                model.save(); // copies left while Pindle was not running
            }
        }

        SCOPED_TRACE("step " + std::to_string(step) + ": " + described);
        ASSERT_NE(store->activeNote(), nullptr);
        ASSERT_EQ(snapshotOf(store->notes(), store->activeId()), model.state);
        ASSERT_EQ(store->confirmingDelete(), model.confirming);
        ASSERT_EQ(fs.renames, model.saves) << "each change is saved once, typing 0.3 s after it pauses";
        if (step % 50 == 0 || described == "restart") {
            const auto disk = decodePayload(testing::readFile(file));
            ASSERT_TRUE(disk.has_value());
            ASSERT_EQ(snapshotOf(disk->notes, disk->activeId.value_or("")), model.disk);
            // Merged copies are gone once saved; nothing was set aside.
            if (!model.unseen) {
                ASSERT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
            }
        }
    }
}

} // namespace
} // namespace pindle
