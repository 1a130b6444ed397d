#include "tooltip_layout.h"

#include <algorithm>

namespace pindle {

TooltipLayout::Transition TooltipLayout::transition(const std::optional<TooltipTarget>& from,
                                                    const std::optional<TooltipTarget>& to) {
    // Only presence matters: a request equal to the one on screen still replaces it at once, which
    // is what re-places a shown bubble whose source moved.
    if (!to) {
        return Transition::hide;
    }
    if (!from) {
        return Transition::showAfterDelay;
    }
    return Transition::showNow;
}

TooltipLayout::Placement TooltipLayout::x(const TooltipRect& beside, double width, double in) {
    const double right = beside.x + beside.width + gap;
    if (right + width <= in - margin) {
        return {right, HorizontalEdge::leading};
    }
    // The left side is not tested for fit: a bubble too wide for either side is pinned to the left
    // margin and covers part of its anchor rather than leaving the panel.
    const double left = beside.x - gap - width;
    return {left <= margin ? margin : left, HorizontalEdge::trailing};
}

double TooltipLayout::y(const TooltipRect& centeringOn, double height, double in) {
    double lowest = in - height - margin;
    if (lowest <= margin) {
        lowest = margin;
    }
    double centred = centeringOn.y + centeringOn.height / 2 - height / 2;
    if (centred <= margin) {
        centred = margin;
    }
    // When both bounds collide (a bubble taller than the panel less its margins) the top edge wins.
    return std::min(lowest, centred);
}

} // namespace pindle
