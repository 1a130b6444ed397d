#include "tooltips/tooltip_layout.h"

#include <gtest/gtest.h>

namespace pindle {
namespace {

constexpr auto leading = HorizontalEdge::leading;
constexpr auto trailing = HorizontalEdge::trailing;

// Placement in a 360 x 520 panel: the worked examples, then the edges of each clamp.
TEST(TooltipLayout, PlacesTheBubbleBesideItsAnchorInsideThePanel) {
    struct Case {
        const char* name;
        TooltipRect anchor;
        double width, height, x;
        HorizontalEdge arrow;
        double y;
    };
    const Case cases[] = {
        {"rail dot", {8, 100, 30, 30}, 80, 26, 46, leading, 102},
        {"right edge", {330, 100, 22, 22}, 70, 26, 252, trailing, 98},
        {"top right corner", {310, 2, 22, 22}, 40, 26, 262, trailing, 6},
        {"bottom edge", {8, 500, 30, 16}, 200, 26, 46, leading, 488},
        {"fits neither side", {150, 100, 30, 30}, 190, 26, 6, trailing, 102},
        // Not yet measured: a zero-size bubble stays right of its anchor while that edge allows.
        {"unmeasured", {8, 100, 30, 30}, 0, 0, 46, leading, 115},
        {"unmeasured at right edge", {320, 100, 30, 30}, 0, 0, 312, trailing, 115},
        // A right edge exactly 6 from the panel's still fits (46 + 308 = 354).
        {"right fit at bound", {8, 100, 30, 30}, 308, 26, 46, leading, 102},
        {"right fit past bound", {8, 100, 30, 30}, 309, 26, 6, trailing, 102},
        // The left-hand x is raised to the margin when it is 6 or less.
        {"left exactly at margin", {300, 100, 30, 30}, 286, 26, 6, trailing, 102},
        {"left just inside", {300, 100, 30, 30}, 285, 26, 7, trailing, 102},
        // Taller than the panel less its margins pins the top; a zero height stays 6 inside.
        {"taller than panel", {8, 300, 30, 30}, 80, 515, 46, leading, 6},
        {"zero height at top", {8, 0, 30, 4}, 80, 0, 46, leading, 6},
        {"zero height at bottom", {8, 516, 30, 4}, 80, 0, 46, leading, 514},
        {"near bottom", {8, 490, 30, 30}, 80, 40, 46, leading, 474},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TooltipLayout::Placement placement = TooltipLayout::x(c.anchor, c.width, 360);
        EXPECT_DOUBLE_EQ(placement.x, c.x);
        EXPECT_EQ(placement.arrow, c.arrow);
        EXPECT_DOUBLE_EQ(TooltipLayout::y(c.anchor, c.height, 520), c.y);
    }
}

TEST(TooltipLayout, TransitionDependsOnPresenceOnly) {
    using enum TooltipLayout::Transition;
    const TooltipTarget a{"New note", {8, 100, 30, 30}};
    const TooltipTarget b{"Delete note", {330, 6, 22, 22}};
    EXPECT_EQ(TooltipLayout::transition(std::nullopt, std::nullopt), hide);
    EXPECT_EQ(TooltipLayout::transition(a, std::nullopt), hide);
    EXPECT_EQ(TooltipLayout::transition(std::nullopt, a), showAfterDelay);
    EXPECT_EQ(TooltipLayout::transition(a, b), showNow);
    // An equal request still replaces at once: that is how a shown bubble follows its source.
    EXPECT_EQ(TooltipLayout::transition(a, a), showNow);
}

} // namespace
} // namespace pindle
