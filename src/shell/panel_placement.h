#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace pindle {

// Gap between the anchor and the panel's near edge, in logical pixels.
inline constexpr qreal kDropDistance = 6;
// The panel keeps this far inside the screen's available area.
inline constexpr qreal kScreenMargin = 8;

// A screen as placement sees it: its whole geometry and the part left by panels and docks.
struct ScreenArea {
    QRectF geometry;
    QRectF available;
};

// Where the panel's top-left corner goes (global logical coordinates, y downwards) when it
// opens at `anchor` (the tray icon's rectangle, or a point as an empty rectangle).
//
// An anchor that lies wholly above or below the screen's available area (in a bar's strut)
// first reaches to the area's edge. The panel is centred on the anchor and its top edge sits
// kDropDistance below the anchor's bottom edge. When the anchor's centre lies in the lower half of `screen` (a tray at
// the bottom of the screen) the panel opens above it instead, its bottom edge kDropDistance above the anchor's top.
// Then, in this order: the left edge is kept kScreenMargin inside the available area; the right edge too, unless the
// area is too narrow, where the left margin wins; for a panel below its anchor the bottom edge is kept kScreenMargin
// above the area's bottom (not against the top, so the top stays near the anchor); for a panel above its anchor the
// bottom edge is kept inside as well and then the top edge kScreenMargin below the area's top, which wins on a screen
// too short for both. Without a screen the unclamped candidate is returned. Values are not rounded.
QPointF panelOrigin(const QRectF& given, const QSizeF& panelSize, const std::optional<ScreenArea>& screen);

// Where the panel opens when nothing tells where the tray icon is (no tray, the hot key before
// any click, a tray click on a Wayland session): the middle of the available area's edge that a
// bar borders. That is the bottom edge when bars take only the bottom of the screen, else the top.
QRectF fallbackAnchor(const ScreenArea& screen);

} // namespace pindle
