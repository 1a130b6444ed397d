#pragma once

#include <string_view>

#include <QColor>

class QPalette;

namespace pindle {

struct Color;

// The colours the panel draws with, all taken from (or derived from) one QPalette so that they
// follow the desktop's light or dark theme. Compute them at paint time from the widget's
// palette; nothing here is cached.
struct ViewColors {
    QColor window;    // rail background
    QColor base;      // pane background, under the editor
    QColor separator; // the one-pixel divider
    QColor primary;   // strongest text and icons
    QColor secondary; // dimmer: titles, idle icons
    QColor tertiary;  // faintest: placeholder, counts
    QColor red;       // the standard red, brighter in dark themes
    bool dark = false;

    // Text colours derive from QPalette::Text, so they stay readable on Base.
    static ViewColors from(const QPalette& palette);

    // `color` at `alpha` (0..1) times its own alpha.
    static QColor faded(QColor color, double alpha);
};

// A note colour as the toolkit's colour (sRGB, rounded to the nearest 8-bit step).
QColor toQColor(const Color& color);

// "#rrggbb" text through the note colour conversion, with its fallback for malformed text.
QColor colorFromHex(std::string_view hex);

} // namespace pindle
