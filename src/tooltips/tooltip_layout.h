#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace pindle {

// A rectangle in the panel's coordinate space: points, origin top-left, y downwards.
struct TooltipRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const TooltipRect&, const TooltipRect&) = default;
};

// One tooltip request: the text to show and the frame of the control that asked for it.
struct TooltipTarget {
    std::string text;
    TooltipRect rect;

    friend bool operator==(const TooltipTarget&, const TooltipTarget&) = default;
};

enum class HorizontalEdge { leading, trailing };

// Tooltip geometry and timing. Pure: no state, no widgets.
struct TooltipLayout {
    static constexpr std::string_view coordinateSpace = "pindle.panel";
    static constexpr double gap = 8;
    static constexpr double margin = 6;
    static constexpr std::chrono::milliseconds delay{110};

    struct Placement {
        double x = 0;
        HorizontalEdge arrow = HorizontalEdge::leading;

        friend bool operator==(const Placement&, const Placement&) = default;
    };

    enum class Transition { hide, showNow, showAfterDelay };

    static Transition transition(const std::optional<TooltipTarget>& from, const std::optional<TooltipTarget>& to);
    static Placement x(const TooltipRect& beside, double width, double in);
    static double y(const TooltipRect& centeringOn, double height, double in);
};

} // namespace pindle
