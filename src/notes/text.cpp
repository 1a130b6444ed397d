#include "text.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
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

// Walks extended grapheme clusters. Runs of ASCII are split without asking utf8proc: between two
// ASCII characters the only joined pair is CR LF.
class GraphemeCursor {
public:
    explicit GraphemeCursor(std::string_view s)
        : m_s(s) {}

    bool next(std::size_t& begin, std::size_t& end) {
        const std::size_t size = m_s.size();
        if (m_pos >= size) {
            return false;
        }
        begin = m_pos;
        const auto c = static_cast<unsigned char>(m_s[m_pos]);
        if (isAscii(c)) {
            const bool last = m_pos + 1 >= size;
            if (!last && c == '\r' && m_s[m_pos + 1] == '\n') {
                m_pos += 2;
                m_state = 0;
                end = m_pos;
                return true;
            }
            if (last || isAscii(static_cast<unsigned char>(m_s[m_pos + 1]))) {
                m_pos += 1;
                m_state = 0;
                end = m_pos;
                return true;
            }
        }
        Scalar previous = decodeAt(m_s, m_pos);
        m_pos += previous.length;
        while (m_pos < size) {
            const Scalar following = decodeAt(m_s, m_pos);
            if (utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(previous.value),
                                                 static_cast<utf8proc_int32_t>(following.value), &m_state)) {
                break;
            }
            previous = following;
            m_pos += following.length;
        }
        end = m_pos;
        return true;
    }

private:
    std::string_view m_s;
    std::size_t m_pos = 0;
    utf8proc_int32_t m_state = 0;
};

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
    for (const char c : s) {
        if (!isAscii(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
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

std::string firstLine(std::string_view text) {
    constexpr std::size_t kNone = std::string_view::npos;
    std::size_t contentBegin = kNone;
    std::size_t contentEnd = 0;
    GraphemeCursor cursor(text);
    std::size_t begin = 0;
    std::size_t end = 0;
    while (cursor.next(begin, end)) {
        if (end - begin == 1 && text[begin] == '\n') {
            if (contentBegin != kNone) {
                break;
            }
            continue;
        }
        if (!wholeGraphemeIn(text, begin, end, isTitleSpace)) {
            if (contentBegin == kNone) {
                contentBegin = begin;
            }
            contentEnd = end;
        }
    }
    if (contentBegin == kNone) {
        return {};
    }
    return std::string(text.substr(contentBegin, contentEnd - contentBegin));
}

bool isBlank(std::string_view text) {
    GraphemeCursor cursor(text);
    std::size_t begin = 0;
    std::size_t end = 0;
    while (cursor.next(begin, end)) {
        if (!wholeGraphemeIn(text, begin, end, isBlankSpace)) {
            return false;
        }
    }
    return true;
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    const std::size_t shorter = std::min(a.size(), b.size());
    std::size_t prefix = 0;
    while (prefix < shorter && a[prefix] == b[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
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
    GraphemeCursor cursor(text);
    std::size_t begin = 0;
    std::size_t end = 0;
    while (cursor.next(begin, end)) {
        ++counts.characters;
        const bool space = isWhiteSpaceProperty(decodeAt(text, begin).value);
        if (!space && !inWord) {
            ++counts.words;
        }
        inWord = !space;
    }
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
