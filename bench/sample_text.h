#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace pindle::bench {

enum class Lines { many, one };

// Reproducible prose for the benchmarks: a dozen words a line (or one line), and with `mixed`
// one word in ten not ASCII (accents, CJK, a combining mark, an emoji with a modifier).
inline std::string sampleText(std::size_t bytes, bool mixed, Lines lines = Lines::many) {
    static const std::vector<std::string> ascii = {"note", "the",      "groceries", "meeting", "tomorrow",
                                                   "call", "remember", "and",       "ideas",   "draft"};
    static const std::vector<std::string> other = {"caf\u00E9", "\u65E5\u672C\u8A9E", "na\u0308ive",
                                                   "\U0001F44D\U0001F3FD", "\u00FCber"};
    std::mt19937 random(42);
    std::string text;
    text.reserve(bytes + 32);
    std::size_t word = 0;
    while (text.size() < bytes) {
        const bool special = mixed && random() % 10 == 0;
        text += special ? other[random() % other.size()] : ascii[random() % ascii.size()];
        text += lines == Lines::many && ++word % 12 == 0 ? '\n' : ' ';
    }
    return text;
}

} // namespace pindle::bench
