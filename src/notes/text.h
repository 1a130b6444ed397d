#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Unicode text rules of the notes core. Texts are UTF-8; "characters" are extended grapheme
// clusters. Malformed UTF-8 is read as one U+FFFD per bad byte, never rejected.
namespace pindle::text {

// The note title: see Note::firstLine. With `enough`, a title longer than that many bytes may come
// back cut short, though never shorter than `enough` (for views that show only its start).
std::string firstLine(std::string_view text, std::size_t enough = std::string_view::npos);

// See Note::isBlank.
bool isBlank(std::string_view text);

// Unicode canonical equivalence (equal after canonical decomposition). Cheap when the texts share
// most of their bytes, as consecutive versions of a note being typed do.
bool canonicallyEqual(std::string_view a, std::string_view b);

struct Counts {
    std::size_t words = 0;      // maximal runs of characters that are not white space
    std::size_t characters = 0; // extended grapheme clusters, white space included
};

// Words and characters as the footer shows them. A character is white space when its first
// scalar has the Unicode White_Space property.
Counts count(std::string_view text);

// "2 words · 11 chars", "1 word · 1 char"; empty when there are no words.
std::string countLabel(std::string_view text);

} // namespace pindle::text
