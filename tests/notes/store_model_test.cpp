// 100,000 random operations on the real store, checked after each one against a plain model of
// what the store should hold, of when it saves and of what the document on disk should hold.
#include "notes/file_system.h"
#include "pindle/testing/manual_time.h"
#include "notes/notes_file.h"
#include "notes/palette.h"
#include "notes/store.h"
#include "pindle/testing/forwarding_file_system.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>

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
    friend bool operator==(const ModelNote&, const ModelNote&) = default;
};

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

// What the store should do, written as plainly as possible.
struct Model {
    Snapshot state;
    Snapshot saved;
    bool confirming = false;
    std::optional<std::chrono::system_clock::time_point> typingSaveDue;
    int saves = 0;

    void save() {
        saved = state;
        typingSaveDue.reset();
        ++saves;
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
        snapshot.notes.push_back({note.id, note.color, note.text});
    }
    return snapshot;
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
            ASSERT_FALSE(store->notes().empty());
            const Note& added = store->notes().back();
            ASSERT_EQ(added.createdAt, wholeMillisecondsSinceEpoch(time.now()));
            ASSERT_TRUE(added.text.empty());
            model.confirming = false;
            model.state.notes.push_back({added.id, colour, ""});
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
                model.typingSaveDue = time.now() + std::chrono::milliseconds(300);
            }
        } else if (operation < 68) {
            described = "delete";
            const std::size_t i = model.activeIndex();
            store->deleteActiveNote();
            model.state.notes.erase(model.state.notes.begin() + static_cast<std::ptrdiff_t>(i));
            if (model.state.notes.empty()) {
                ASSERT_EQ(store->notes().size(), 1u);
                model.state.notes.push_back({store->notes()[0].id, "#f2545b", ""});
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
        } else if (operation < 97) {
            const auto by = std::chrono::milliseconds(chance(400));
            described = "advance " + std::to_string(by.count()) + " ms";
            const auto end = time.now() + by;
            time.advance(by);
            if (model.typingSaveDue && *model.typingSaveDue <= end) {
                model.save();
            }
        } else {
            described = "restart";
            store.reset();
            store = std::make_unique<Store>(StoreServices{time, time, fs}, file);
            model.state = model.saved;
            model.confirming = false;
            model.typingSaveDue.reset();
        }

        SCOPED_TRACE("step " + std::to_string(step) + ": " + described);
        ASSERT_FALSE(store->notes().empty());
        ASSERT_NE(store->activeNote(), nullptr);
        ASSERT_EQ(snapshotOf(store->notes(), store->activeId()), model.state);
        ASSERT_EQ(store->confirmingDelete(), model.confirming);
        ASSERT_EQ(fs.renames, model.saves) << "each change is saved once, typing 0.3 s after it pauses";
        if (step % 50 == 0 || described == "restart") {
            const auto disk = decodePayload(testing::readFile(file));
            ASSERT_TRUE(disk.has_value());
            ASSERT_EQ(snapshotOf(disk->notes, disk->activeId.value_or("")), model.saved);
        }
    }
}

} // namespace
} // namespace pindle
