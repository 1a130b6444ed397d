// What the notes core costs: per keystroke on large notes, and loading and saving large documents.
#include "notes/file_system.h"
#include "pindle/testing/manual_time.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "notes/text.h"
#include "sample_text.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

using namespace pindle;

// Every benchmark reports the spread of its repetitions beside the median.
benchmark::internal::Benchmark* withSpread(benchmark::internal::Benchmark* b) {
    return b
        ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
        ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
}

// The whole core cost of one keystroke: the store's comparison and update, then what the panel
// recomputes from the new text (counts, title, blankness).
void keystroke(benchmark::State& state) {
    const auto bytes = static_cast<std::size_t>(state.range(0));
    const bool mixed = state.range(1) != 0;
    const auto folder = std::filesystem::temp_directory_path() / "pindle-bench-keystroke";
    std::filesystem::remove_all(folder);
    ManualTime time;
    Store store(StoreServices{time, time, PosixFileSystem::instance()}, folder / "notes.json");
    std::string text = bench::sampleText(bytes, mixed);
    store.updateActiveText(text);
    const std::size_t at = text.size() / 2;
    bool typed = false;
    for (auto _ : state) {
        // Typing a letter in the middle of the note, then deleting it again, so the size holds.
        if (typed) {
            text.erase(at, 1);
        } else {
            text.insert(at, 1, 'k');
        }
        typed = !typed;
        store.updateActiveText(text);
        const std::string& stored = store.activeNote()->text;
        benchmark::DoNotOptimize(text::countLabel(stored));
        benchmark::DoNotOptimize(text::firstLine(stored));
        benchmark::DoNotOptimize(text::isBlank(stored));
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(keystroke)->Apply([](auto* b) { withSpread(b); }) -> ArgsProduct({{1 << 10, 100 << 10, 1 << 20}, {0, 1}})
    -> ArgNames({"bytes", "mixed"}) -> Unit(benchmark::kMicrosecond);

template <typename Measure> void textFunction(benchmark::State& state, Measure measure) {
    const std::string text = bench::sampleText(static_cast<std::size_t>(state.range(0)), true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(measure(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
void countLabel(benchmark::State& state) {
    textFunction(state, [](const std::string& t) { return text::countLabel(t); });
}
void firstLine(benchmark::State& state) {
    // A note whose first line is the whole text: the worst case for the title.
    std::string text = bench::sampleText(static_cast<std::size_t>(state.range(0)), true);
    std::replace(text.begin(), text.end(), '\n', ' ');
    for (auto _ : state) {
        benchmark::DoNotOptimize(text::firstLine(text));
    }
}
void isBlankWhiteSpace(benchmark::State& state) {
    // Only white space: the worst case for blankness.
    const std::string text(static_cast<std::size_t>(state.range(0)), ' ');
    for (auto _ : state) {
        benchmark::DoNotOptimize(text::isBlank(text));
    }
}
void canonicalCompare(benchmark::State& state) {
    const std::string a = bench::sampleText(static_cast<std::size_t>(state.range(0)), true);
    std::string b = a;
    b.insert(b.size() / 2, "\u00E9");
    for (auto _ : state) {
        benchmark::DoNotOptimize(text::canonicallyEqual(a, b));
    }
}
BENCHMARK(countLabel)->Apply([](auto* b) {
                         withSpread(b);
                     }) -> Arg(1 << 10) -> Arg(100 << 10) -> Arg(1 << 20) -> Unit(benchmark::kMicrosecond);
BENCHMARK(firstLine)->Apply([](auto* b) { withSpread(b); }) -> Arg(1 << 10) -> Arg(100 << 10) -> Arg(1 << 20)
    -> Unit(benchmark::kMicrosecond);
BENCHMARK(isBlankWhiteSpace)->Apply([](auto* b) {
                                withSpread(b);
                            }) -> Arg(1 << 10) -> Arg(100 << 10) -> Arg(1 << 20) -> Unit(benchmark::kMicrosecond);
BENCHMARK(canonicalCompare)->Apply([](auto* b) {
                               withSpread(b);
                           }) -> Arg(1 << 10) -> Arg(100 << 10) -> Arg(1 << 20) -> Unit(benchmark::kMicrosecond);

// 10 MB documents: 2,000 notes of 5 KB, or one note of 10 MB.
Payload makeDocument(bool oneLargeNote) {
    ManualTime time;
    Payload payload;
    const int count = oneLargeNote ? 1 : 2000;
    const std::size_t size = oneLargeNote ? 10u << 20 : 5u << 10;
    for (int i = 0; i < count; ++i) {
        Note note = Note::make(payload.notes, time);
        note.text = bench::sampleText(size, true);
        payload.notes.push_back(std::move(note));
    }
    payload.activeId = payload.notes.front().id;
    return payload;
}

void loadDocument(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "pindle-bench-load";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    {
        std::ofstream out(folder / "notes.json", std::ios::binary);
        out << encodePayload(makeDocument(state.range(0) != 0));
    }
    ManualTime time;
    for (auto _ : state) {
        Store store(StoreServices{time, time, PosixFileSystem::instance()}, folder / "notes.json");
        benchmark::DoNotOptimize(store.notes().size());
    }
    std::filesystem::remove_all(folder);
}

void saveDocument(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "pindle-bench-save";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    {
        std::ofstream out(folder / "notes.json", std::ios::binary);
        out << encodePayload(makeDocument(state.range(0) != 0));
    }
    ManualTime time;
    Store store(StoreServices{time, time, PosixFileSystem::instance()}, folder / "notes.json");
    for (auto _ : state) {
        store.flush(); // encode, write, fsync, rename, fsync the folder
    }
    if (!store.lastWriteStatus().ok()) {
        state.SkipWithError("save failed");
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(loadDocument)->Apply([](auto* b) {
                           withSpread(b);
                       }) -> Arg(0) -> Arg(1) -> ArgName("oneLargeNote") -> Unit(benchmark::kMillisecond);
BENCHMARK(saveDocument)->Apply([](auto* b) {
                           withSpread(b);
                       }) -> Arg(0) -> Arg(1) -> ArgName("oneLargeNote") -> Unit(benchmark::kMillisecond);

} // namespace
