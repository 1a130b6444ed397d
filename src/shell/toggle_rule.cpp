#include "toggle_rule.h"

namespace pindle {

ToggleAction toggleAction(bool panelVisible, std::chrono::system_clock::time_point now,
                          std::chrono::system_clock::time_point lastClose) {
    if (panelVisible) {
        return ToggleAction::close;
    }
    const auto sinceClose = now - lastClose;
    if (sinceClose >= std::chrono::system_clock::duration::zero() && sinceClose < kReopenSuppression) {
        return ToggleAction::stayClosed;
    }
    return ToggleAction::open;
}

} // namespace pindle
