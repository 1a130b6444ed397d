#include "text.h"

#include <utf8proc.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace pindle::text {

namespace {

struct Scalar {
    char32_t value;
    std::size_t length;
};

// Decodes the scalar at `pos`. A malformed sequence reads as U+FFFD and consumes one byte.
Scalar decodeAt(std::string_view s, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    // Two- and three-byte forms inline (letters, CJK); the rest through utf8proc's checks.
    if (lead >= 0xC2 && lead < 0xE0 && pos + 1 < s.size()) {
        const auto b1 = static_cast<unsigned char>(s[pos + 1]);
        if ((b1 & 0xC0U) == 0x80U) {
            return {static_cast<char32_t>(((lead & 0x1FU) << 6U) | (b1 & 0x3FU)), 2};
        }
    } else if (lead >= 0xE1 && lead < 0xED && pos + 2 < s.size()) {
        const auto b1 = static_cast<unsigned char>(s[pos + 1]);
        const auto b2 = static_cast<unsigned char>(s[pos + 2]);
        if ((b1 & 0xC0U) == 0x80U && (b2 & 0xC0U) == 0x80U) {
            return {static_cast<char32_t>(((lead & 0x0FU) << 12U) | ((b1 & 0x3FU) << 6U) | (b2 & 0x3FU)), 3};
        }
    }
    utf8proc_int32_t cp = 0;
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(s.data() + pos);
    const utf8proc_ssize_t n = utf8proc_iterate(bytes, static_cast<utf8proc_ssize_t>(s.size() - pos), &cp);
    if (n <= 0 || cp < 0) {
        return {0xFFFD, 1};
    }
    return {static_cast<char32_t>(cp), static_cast<std::size_t>(n)};
}

bool isAscii(unsigned char c) {
    return c < 0x80;
}

// Walks extended grapheme clusters. Runs of plain ASCII go to `onAsciiRun(begin, end)` without
// asking utf8proc: between two ASCII characters the only joined pair is CR LF, so the run's
// reader treats the LF of a CR LF as a byte that continues the CR. Everything else (and an ASCII
// character that a following mark may extend) goes to `onGrapheme(begin, end)`. Either callback
// returns false to stop the walk. A long run comes in parts of at most kAsciiPart bytes, so a
// walk that stops early (a title, a blankness test) never scans a whole pasted blob first.
constexpr std::size_t kAsciiPart = 4096;

template <typename OnAsciiRun, typename OnGrapheme>
void walkGraphemes(std::string_view s, OnAsciiRun onAsciiRun, OnGrapheme onGrapheme) {
    const std::size_t size = s.size();
    std::size_t pos = 0;
    utf8proc_int32_t state = 0;
    while (pos < size) {
        // The ASCII run from here, less a last character that a non-ASCII follower may join.
        const std::size_t limit = std::min(size, pos + kAsciiPart);
        std::size_t run = pos;
        // Eight bytes at a time while no high bit is set.
        while (run + 8 <= limit) {
            std::uint64_t chunk = 0;
            std::memcpy(&chunk, s.data() + run, sizeof chunk);
            if ((chunk & 0x8080808080808080ULL) != 0) {
                break;
            }
            run += 8;
        }
        while (run < limit && isAscii(static_cast<unsigned char>(s[run]))) {
            ++run;
        }
        if (run < size && run > pos && !isAscii(static_cast<unsigned char>(s[run]))) {
            --run;
            if (run > pos && s[run] == '\n' && s[run - 1] == '\r') {
                --run; // keep CR LF together for the slow path
            }
        }
        if (run > pos) {
            if (!onAsciiRun(pos, run)) {
                return;
            }
            pos = run;
            state = 0;
            continue;
        }
        // One cluster through utf8proc, whose state carries across neighbouring clusters
        // (regional indicator pairs, emoji sequences).
        const std::size_t begin = pos;
        if (s[pos] == '\r' && pos + 1 < size && s[pos + 1] == '\n') {
            pos += 2;
            state = 0;
        } else {
            Scalar previous = decodeAt(s, pos);
            pos += previous.length;
            while (pos < size) {
                const Scalar following = decodeAt(s, pos);
                if (utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(previous.value),
                                                     static_cast<utf8proc_int32_t>(following.value), &state)) {
                    break;
                }
                previous = following;
                pos += following.length;
            }
        }
        if (!onGrapheme(begin, pos)) {
            return;
        }
    }
}

// The LF of a CR LF: part of the cluster the CR started.
bool continuesCrLf(std::string_view s, std::size_t k) {
    return k > 0 && s[k] == '\n' && s[k - 1] == '\r';
}

utf8proc_category_t categoryOf(char32_t cp) {
    return utf8proc_category(static_cast<utf8proc_int32_t>(cp));
}

// Zs plus tab: what titles are trimmed of.
bool isTitleSpace(char32_t cp) {
    if (cp < 0x80) {
        return cp == ' ' || cp == '\t';
    }
    return categoryOf(cp) == UTF8PROC_CATEGORY_ZS;
}

// Zs, Zl, Zp, tab to carriage return, and NEL: what a blank note holds nothing but.
bool isBlankSpace(char32_t cp) {
    if (cp < 0x80) {
        return cp == ' ' || (cp >= 0x09 && cp <= 0x0D);
    }
    if (cp == 0x85) {
        return true;
    }
    const auto category = categoryOf(cp);
    return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL || category == UTF8PROC_CATEGORY_ZP;
}

// White_Space among ASCII: tab to carriage return, and space.
constexpr bool isAsciiWhiteSpace(unsigned char c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

// Sixteen ASCII bytes at a time, as the lanes of a vector (SSE2 on x86-64, NEON on ARM): a
// comparison leaves -1 in a lane where it holds and 0 where not.
using Lanes = unsigned char __attribute__((vector_size(16)));
using LaneMask = signed char __attribute__((vector_size(16)));

LaneMask lanesWhiteSpace(Lanes bytes) {
    return (bytes == ' ') | ((bytes >= 0x09) & (bytes <= 0x0D));
}

// Counts the ASCII run [begin, end) of `s` into `counts`: every byte is a character except the
// LF of a CR LF, and a word starts at every byte that is not white space after one that is (or
// after the run's start, when `inWord` is false). `inWord` is left as the run ends.
void countAsciiRun(std::string_view s, std::size_t begin, std::size_t end, Counts& counts, bool& inWord) {
    bool previousSpace = !inWord;
    bool previousCr = begin > 0 && s[begin - 1] == '\r';
    const auto countByte = [&](std::size_t k) {
        const auto c = static_cast<unsigned char>(s[k]);
        const bool space = isAsciiWhiteSpace(c);
        counts.characters += static_cast<std::size_t>(!(c == '\n' && previousCr));
        counts.words += static_cast<std::size_t>(!space && previousSpace);
        previousSpace = space;
        previousCr = c == '\r';
    };
    if (begin == end) {
        return;
    }
    // The first byte on its own: its predecessor is not part of the run. Each later block is set
    // against the same sixteen bytes one earlier. Word starts and joined LFs are summed lane by
    // lane, and the lanes added up before any of them can reach 256.
    countByte(begin);
    constexpr int kBlocksPerSum = 255;
    std::size_t k = begin + 1;
    while (k + 16 <= end) {
        Lanes wordStarts{};
        Lanes joinedLineFeeds{};
        const std::size_t from = k;
        for (int block = 0; block < kBlocksPerSum && k + 16 <= end; ++block, k += 16) {
            Lanes bytes;
            Lanes before;
            std::memcpy(&bytes, s.data() + k, sizeof bytes);
            std::memcpy(&before, s.data() + k - 1, sizeof before);
            wordStarts -= reinterpret_cast<Lanes>(~lanesWhiteSpace(bytes) & lanesWhiteSpace(before));
            joinedLineFeeds -= reinterpret_cast<Lanes>((bytes == '\n') & (before == '\r'));
        }
        counts.characters += k - from;
        for (int lane = 0; lane < 16; ++lane) {
            counts.words += wordStarts[lane];
            counts.characters -= joinedLineFeeds[lane];
        }
        previousSpace = isAsciiWhiteSpace(static_cast<unsigned char>(s[k - 1]));
        previousCr = s[k - 1] == '\r';
    }
    for (; k < end; ++k) {
        countByte(k);
    }
    inWord = !previousSpace;
}

// The Unicode White_Space property.
bool isWhiteSpaceProperty(char32_t cp) {
    if (cp < 0x80) {
        return cp == ' ' || (cp >= 0x09 && cp <= 0x0D);
    }
    return cp == 0x85 || cp == 0xA0 || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 ||
           cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

// A grapheme belongs to a trimming class when every scalar in it does (so CR LF is a line break
// and a space carrying a combining mark is not white space).
template <typename Predicate>
bool wholeGraphemeIn(std::string_view s, std::size_t begin, std::size_t end, Predicate inClass) {
    for (std::size_t pos = begin; pos < end;) {
        const Scalar scalar = decodeAt(s, pos);
        if (!inClass(scalar.value)) {
            return false;
        }
        pos += scalar.length;
    }
    return true;
}

// True when canonical decomposition cannot reorder anything across `pos`: the scalar there
// decomposes to something that starts with a starter. Cutting both texts at such a point lets
// the shared prefix and suffix go unnormalized.
bool isStableBoundary(std::string_view s, std::size_t pos) {
    if (pos == 0 || pos >= s.size()) {
        return true;
    }
    const auto lead = static_cast<unsigned char>(s[pos]);
    if (isAscii(lead)) {
        return true;
    }
    if ((lead & 0xC0) == 0x80) {
        return false; // inside a sequence
    }
    const Scalar scalar = decodeAt(s, pos);
    utf8proc_int32_t decomposed[8];
    int boundclass = 0;
    const utf8proc_ssize_t n = utf8proc_decompose_char(static_cast<utf8proc_int32_t>(scalar.value), decomposed, 8,
                                                       UTF8PROC_DECOMPOSE, &boundclass);
    if (n <= 0) {
        return false;
    }
    return utf8proc_get_property(decomposed[0])->combining_class == 0;
}

bool isAllAscii(std::string_view s) {
    return std::ranges::all_of(s, [](const char c) { return isAscii(static_cast<unsigned char>(c)); });
}

struct FreeDeleter {
    void operator()(utf8proc_uint8_t* p) const { std::free(p); }
};

// Canonical decomposition, or nullopt for malformed UTF-8.
std::optional<std::string> decomposed(std::string_view s) {
    utf8proc_uint8_t* out = nullptr;
    const utf8proc_ssize_t n =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(s.data()), static_cast<utf8proc_ssize_t>(s.size()), &out,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_DECOMPOSE));
    std::unique_ptr<utf8proc_uint8_t, FreeDeleter> owner(out);
    if (n < 0) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
}

} // namespace

std::string firstLine(std::string_view text, std::size_t enough) {
    constexpr std::size_t kNone = std::string_view::npos;
    std::size_t contentBegin = kNone;
    std::size_t contentEnd = 0;
    // Returns false once the first line with content has ended, or once `enough` of it is known:
    // what follows can only make it longer.
    const auto take = [&](std::size_t begin, std::size_t end, bool lineFeed, bool space) {
        if (lineFeed) {
            return contentBegin == kNone;
        }
        if (!space) {
            if (contentBegin == kNone) {
                contentBegin = begin;
            }
            contentEnd = end;
            return contentEnd - contentBegin < enough;
        }
        return true;
    };
    walkGraphemes(
        text,
        [&](std::size_t begin, std::size_t end) {
            for (std::size_t k = begin; k < end; ++k) {
                const char c = text[k];
                const bool going = continuesCrLf(text, k) ? take(k, k + 1, false, false)
                                                          : take(k, k + 1, c == '\n', c == ' ' || c == '\t');
                if (!going) {
                    return false;
                }
            }
            return true;
        },
        [&](std::size_t begin, std::size_t end) {
            const bool lineFeed = end - begin == 1 && text[begin] == '\n';
            return take(begin, end, lineFeed, wholeGraphemeIn(text, begin, end, isTitleSpace));
        });
    if (contentBegin == kNone) {
        return {};
    }
    return std::string(text.substr(contentBegin, contentEnd - contentBegin));
}

bool isBlank(std::string_view text) {
    bool blank = true;
    walkGraphemes(
        text,
        [&](std::size_t begin, std::size_t end) {
            std::size_t k = begin;
            while (k < end && isBlankSpace(static_cast<unsigned char>(text[k]))) {
                ++k;
            }
            blank = k == end;
            return blank;
        },
        [&](std::size_t begin, std::size_t end) {
            blank = wholeGraphemeIn(text, begin, end, isBlankSpace);
            return blank;
        });
    return blank;
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    const std::size_t shorter = std::min(a.size(), b.size());
    // Shared prefix and suffix, a machine word at a time first.
    std::size_t prefix = 0;
    while (prefix + 8 <= shorter && std::memcmp(a.data() + prefix, b.data() + prefix, 8) == 0) {
        prefix += 8;
    }
    while (prefix < shorter && a[prefix] == b[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix + 8 <= shorter - prefix &&
           std::memcmp(a.data() + a.size() - suffix - 8, b.data() + b.size() - suffix - 8, 8) == 0) {
        suffix += 8;
    }
    while (suffix < shorter - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
        ++suffix;
    }
    std::size_t cut = prefix;
    while (cut > 0 && !(isStableBoundary(a, cut) && isStableBoundary(b, cut))) {
        --cut;
    }
    while (suffix > 0 && !(isStableBoundary(a, a.size() - suffix) && isStableBoundary(b, b.size() - suffix))) {
        --suffix;
    }
    const std::string_view middleA = a.substr(cut, a.size() - suffix - cut);
    const std::string_view middleB = b.substr(cut, b.size() - suffix - cut);
    if (isAllAscii(middleA) && isAllAscii(middleB)) {
        return false; // ASCII is its own decomposition, and the middles differ
    }
    const auto decomposedA = decomposed(middleA);
    const auto decomposedB = decomposed(middleB);
    if (!decomposedA || !decomposedB) {
        return false;
    }
    return *decomposedA == *decomposedB;
}

Counts count(std::string_view text) {
    Counts counts;
    bool inWord = false;
    walkGraphemes(
        text,
        [&](std::size_t begin, std::size_t end) {
            countAsciiRun(text, begin, end, counts, inWord);
            return true;
        },
        [&](std::size_t begin, std::size_t) {
            const bool space = isWhiteSpaceProperty(decodeAt(text, begin).value);
            ++counts.characters;
            counts.words += static_cast<std::size_t>(!space && !inWord);
            inWord = !space;
            return true;
        });
    return counts;
}

std::string countLabel(std::string_view text) {
    const Counts counts = count(text);
    if (counts.words == 0) {
        return {};
    }
    std::string label = std::to_string(counts.words);
    label += counts.words == 1 ? " word" : " words";
    label += " \u00B7 ";
    label += std::to_string(counts.characters);
    label += counts.characters == 1 ? " char" : " chars";
    return label;
}

} // namespace pindle::text
