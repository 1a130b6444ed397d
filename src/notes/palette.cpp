#include "palette.h"

#include "note.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace pindle::Palette {

std::string_view next(const std::vector<Note>& notes) {
    std::array<std::size_t, colors.size()> counts{};
    for (const Note& note : notes) {
        const auto* match = std::find(colors.begin(), colors.end(), note.color);
        if (match != colors.end()) {
            ++counts[static_cast<std::size_t>(match - colors.begin())];
        }
    }
    // min_element keeps the first of equal counts: the earliest colour wins a tie.
    const auto* const least = std::min_element(counts.begin(), counts.end());
    return colors[static_cast<std::size_t>(least - counts.begin())];
}

} // namespace pindle::Palette
