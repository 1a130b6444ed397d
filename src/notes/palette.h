#pragma once

#include <array>
#include <string_view>
#include <vector>

namespace pindle {

struct Note;

// The eight note colours, in the order they are handed out.
namespace Palette {

inline constexpr std::array<std::string_view, 8> colors = {"#f2545b", "#f79256", "#e8c547", "#5ec26a",
                                                           "#3fc1c9", "#5b8def", "#9d7cf4", "#f27cb1"};

// The least-used palette colour among `notes` (exact, case-sensitive matches only); ties go to
// the earliest colour in `colors`.
std::string_view next(const std::vector<Note>& notes);

} // namespace Palette
} // namespace pindle
