#pragma once

#include <chrono>

namespace pindle {

// After any close the panel refuses to open for this long, so the click or key press that made
// it lose the focus does not reopen it at once.
inline constexpr std::chrono::milliseconds kReopenSuppression{250};

enum class ToggleAction { close, open, stayClosed };

// The toggle of a tray click or the hot key, on the wall clock; `lastClose` is the clock's epoch
// before the first close. Computed on the clock's own ticks, so the quarter second is exact. A
// close that seems to lie in the future (the clock was set back) suppresses nothing, so a clock
// change never locks the panel shut.
ToggleAction toggleAction(bool panelVisible, std::chrono::system_clock::time_point now,
                          std::chrono::system_clock::time_point lastClose);

} // namespace pindle
