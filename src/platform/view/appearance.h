#pragma once

#include <QFont>
#include <QImage>
#include <QPainterPath>

class QPalette;
class QRectF;
class QSize;
class QWidget;

namespace pindle {

// How Pindle looks on this desktop, decided here once for the panel, the tooltips, the window and
// the tray icon: light or dark, fonts in logical pixels, the rounded card and its soft shadow.

// A palette is dark when its text is lighter than its window. The tone is what the text says, not
// how bright the window is: a mid-grey window with black text is a light theme.
bool isDark(const QPalette& palette);
// The same for the application's palette now.
bool isDarkAppearance();
// Black or white, whichever stands out more against `color` (a halo around a glyph of that colour).
QColor contrastingColor(const QColor& color);

// The desktop's interface font at `pixels` logical pixels (fractions allowed) and `weight`.
// Qt point sizes scale with the screen's logical dpi, so the size is converted through the dpi of
// `widget`'s screen (96 without one): 13.5 px is 10.125 pt at 96 dpi.
QFont logicalFont(const QWidget* widget, double pixels, QFont::Weight weight = QFont::Normal);
// Gives `widget` that font unless it has it already: setting an equal font again still sends the
// widget and all its children a font change, and a text editor lays its document out anew.
void setLogicalFont(QWidget* widget, double pixels, QFont::Weight weight = QFont::Normal);

// A card's outline: a rectangle whose corners curve continuously into the edges, the curve
// starting a little further along each edge than a circular arc of `radius` would.
QPainterPath continuousRoundedRect(const QRectF& rect, double radius);

// The soft shadow of `outline`: an image of `size` logical pixels at `pixelRatio`, black, whose
// alpha is the outline's coverage blurred over about `blurRadius` logical pixels (a close
// approximation of a Gaussian of standard deviation blurRadius / 2). `outline` is in the image's
// coordinates, offset as the shadow should fall; draw the image under the shape at the shadow's
// opacity.
QImage softShadow(const QPainterPath& outline, QSize size, qreal pixelRatio, double blurRadius);

} // namespace pindle
