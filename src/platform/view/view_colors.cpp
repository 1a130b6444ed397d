#include "view_colors.h"

#include <algorithm>
#include <cmath>

#include <QPalette>

#include "appearance.h"
#include "notes/color.h"

namespace pindle {

namespace {

// Label alphas for the dimmer text tones: secondary stays comfortably readable for titles, tertiary
// is a hint colour that still passes for small footer text.
constexpr double kSecondaryAlpha = 0.55;
constexpr double kTertiaryAlpha = 0.34;

int toByte(double fraction) {
    return static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * 255.0));
}

} // namespace

ViewColors ViewColors::from(const QPalette& palette) {
    ViewColors colors;
    colors.window = palette.color(QPalette::Active, QPalette::Window);
    colors.base = palette.color(QPalette::Active, QPalette::Base);
    colors.dark = isDark(palette);
    colors.primary = palette.color(QPalette::Active, QPalette::Text);
    colors.secondary = faded(colors.primary, kSecondaryAlpha);
    colors.tertiary = faded(colors.primary, kTertiaryAlpha);
    colors.separator = palette.color(QPalette::Active, QPalette::Mid);
    // A palette whose Mid equals one of the backgrounds would make the divider vanish.
    if (colors.separator == colors.window || colors.separator == colors.base) {
        colors.separator = faded(colors.primary, 0.2);
    }
    colors.red = colors.dark ? QColor(0xff, 0x45, 0x3a) : QColor(0xff, 0x3b, 0x30);
    return colors;
}

QColor ViewColors::faded(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(color.alphaF() * alpha));
    return color;
}

QColor toQColor(const Color& color) {
    return {toByte(color.red), toByte(color.green), toByte(color.blue), toByte(color.opacity)};
}

QColor colorFromHex(std::string_view hex) {
    return toQColor(Color::fromHex(hex));
}

} // namespace pindle
