#include "tooltips/tooltip_layout.h"

#include <optional>
#include <ostream>

#include <gtest/gtest.h>

namespace pindle {

// Found by argument-dependent lookup, so failures name the edge instead of printing its bytes.
static void PrintTo(HorizontalEdge edge, std::ostream* out) {
    *out << (edge == HorizontalEdge::leading ? "leading" : "trailing");
}

namespace {

constexpr double kPanelWidth = 360;
constexpr double kPanelHeight = 520;

struct PlacementCase {
    const char* name;
    TooltipRect anchor;
    double width;
    double height;
    double x;
    HorizontalEdge arrow;
    double y;
};

std::ostream& operator<<(std::ostream& out, const PlacementCase& c) {
    return out << c.name;
}

class TooltipPlacement : public testing::TestWithParam<PlacementCase> {};

TEST_P(TooltipPlacement, PlacesBubbleInsideThePanel) {
    const PlacementCase& c = GetParam();
    const TooltipLayout::Placement placement = TooltipLayout::x(c.anchor, c.width, kPanelWidth);
    EXPECT_DOUBLE_EQ(placement.x, c.x);
    EXPECT_EQ(placement.arrow, c.arrow);
    EXPECT_DOUBLE_EQ(TooltipLayout::y(c.anchor, c.height, kPanelHeight), c.y);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TooltipPlacement,
    testing::Values(
        // The worked examples: a dot on the rail, the delete button, a button in the top-right
        // corner, a source at the bottom, and a wide bubble that fits on neither side.
        PlacementCase{"rail_dot", {8, 100, 30, 30}, 80, 26, 46, HorizontalEdge::leading, 102},
        PlacementCase{"right_edge", {330, 100, 22, 22}, 70, 26, 252, HorizontalEdge::trailing, 98},
        PlacementCase{"top_right_corner", {310, 2, 22, 22}, 40, 26, 262, HorizontalEdge::trailing, 6},
        PlacementCase{"bottom_edge", {8, 500, 30, 16}, 200, 26, 46, HorizontalEdge::leading, 488},
        PlacementCase{"fits_neither_side", {150, 100, 30, 30}, 190, 26, 6, HorizontalEdge::trailing, 102},
        // Not yet measured: a zero-size bubble stays right of its anchor while that edge allows.
        PlacementCase{"unmeasured", {8, 100, 30, 30}, 0, 0, 46, HorizontalEdge::leading, 115},
        PlacementCase{"unmeasured_at_right_edge", {320, 100, 30, 30}, 0, 0, 312, HorizontalEdge::trailing, 115},
        // Right edge exactly 6 from the panel's edge still fits on the right (46 + 308 = 354).
        PlacementCase{"right_fit_at_bound", {8, 100, 30, 30}, 308, 26, 46, HorizontalEdge::leading, 102},
        PlacementCase{"right_fit_past_bound", {8, 100, 30, 30}, 309, 26, 6, HorizontalEdge::trailing, 102},
        // The left-hand x is raised to the margin when it is 6 or less.
        PlacementCase{"left_exactly_at_margin", {300, 100, 30, 30}, 286, 26, 6, HorizontalEdge::trailing, 102},
        PlacementCase{"left_just_inside", {300, 100, 30, 30}, 285, 26, 7, HorizontalEdge::trailing, 102},
        // Vertical clamps: taller than the panel less its margins pins the top; a zero height is
        // centred but kept 6 inside both edges.
        PlacementCase{"taller_than_panel", {8, 300, 30, 30}, 80, 515, 46, HorizontalEdge::leading, 6},
        PlacementCase{"zero_height_at_top", {8, 0, 30, 4}, 80, 0, 46, HorizontalEdge::leading, 6},
        PlacementCase{"zero_height_at_bottom", {8, 516, 30, 4}, 80, 0, 46, HorizontalEdge::leading, 514},
        PlacementCase{"near_bottom", {8, 490, 30, 30}, 80, 40, 46, HorizontalEdge::leading, 474}),
    [](const testing::TestParamInfo<PlacementCase>& testInfo) { return std::string(testInfo.param.name); });

TEST(TooltipTransition, DependsOnPresenceOnly) {
    using Transition = TooltipLayout::Transition;
    const TooltipTarget a{"New note", {8, 100, 30, 30}};
    const TooltipTarget b{"Delete note", {330, 6, 22, 22}};
    const std::optional<TooltipTarget> none;

    EXPECT_EQ(TooltipLayout::transition(none, none), Transition::hide);
    EXPECT_EQ(TooltipLayout::transition(a, none), Transition::hide);
    EXPECT_EQ(TooltipLayout::transition(none, a), Transition::showAfterDelay);
    EXPECT_EQ(TooltipLayout::transition(a, b), Transition::showNow);
    // An equal request still replaces at once: that is how a shown bubble follows its source.
    EXPECT_EQ(TooltipLayout::transition(a, a), Transition::showNow);
}

} // namespace
} // namespace pindle
