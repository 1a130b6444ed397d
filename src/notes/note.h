#pragma once

#include <string>
#include <vector>

namespace pindle {

class Clock;

// One note: a value record. `id` is its identity (a lower-case version 4 UUID for notes made
// here; any text for notes read from a file), `color` the "#rrggbb" text that marks it, and the
// timestamps are milliseconds since 1970 (whole numbers for notes made here).
struct Note {
    std::string id;
    std::string color;
    std::string text;
    double createdAt = 0;
    double updatedAt = 0;

    // A new empty note coloured by Palette::next(existing), both timestamps the clock's now in
    // whole milliseconds. Does not add it anywhere.
    static Note make(const std::vector<Note>& existing, const Clock& clock);

    // The first line (split at lone line feeds) that is not empty once spaces and tabs are
    // trimmed from both ends, trimmed; empty when there is none.
    std::string firstLine() const;
    // True when the text holds nothing but white space and line breaks.
    bool isBlank() const;

    // Field by field; texts by canonical equivalence.
    friend bool operator==(const Note& a, const Note& b);
};

// A fresh random (version 4) UUID in canonical lower-case form.
std::string makeUuid();

} // namespace pindle
