#include "shell/toggle_rule.h"

#include <gtest/gtest.h>

namespace pindle {
namespace {

using namespace std::chrono_literals;
using TimePoint = std::chrono::system_clock::time_point;

TEST(ToggleRule, ClosesWhenShownAndRefusesToOpenForAQuarterSecondAfterAClose) {
    // A realistic wall-clock time: as seconds in a double its last bits are too coarse for an
    // exact quarter second, which the rule must not depend on.
    const TimePoint closedAt{1'700'000'000'123'456'789ns};
    const TimePoint never{};
    const struct {
        bool visible;
        TimePoint now, lastClose;
        ToggleAction expected;
    } cases[] = {
        {true, closedAt + 10ms, closedAt, ToggleAction::close},
        {true, closedAt, never, ToggleAction::close},
        {false, closedAt, never, ToggleAction::open},
        {false, closedAt, closedAt, ToggleAction::stayClosed},
        {false, closedAt + 249'999'999ns, closedAt, ToggleAction::stayClosed},
        {false, closedAt + 250ms, closedAt, ToggleAction::open},
        {false, closedAt + 3s, closedAt, ToggleAction::open},
        // The clock was set back past the close: no lock-out until it catches up.
        {false, closedAt - 1h, closedAt, ToggleAction::open},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toggleAction(c.visible, c.now, c.lastClose), c.expected)
            << "visible " << c.visible << ", " << (c.now - c.lastClose).count() << " ticks after the close";
    }
}

} // namespace
} // namespace pindle
