#pragma once

class QIcon;
class QPainter;
class QRectF;
class QPalette;

namespace pindle {

// Pindle's tray icon, drawn on demand at whatever size and pixel ratio the tray asks for, so it
// is crisp at any scale: a 2x2 grid of filled circles in one colour with a thin halo of the
// opposite tone, readable on light and dark panels. The highlighted variant, shown while the
// panel is open, sits on a rounded plate in the selection colour. Colours come from the
// application palette when the icon is drawn, so a theme change is followed.
QIcon trayIcon(bool highlighted);

// Draws the icon into `bounds` (the largest centred square is used).
void paintTrayIcon(QPainter& painter, const QRectF& bounds, bool highlighted, const QPalette& palette);

} // namespace pindle
