#pragma once

class QPalette;
class QVariant;

namespace pindle {

// The desktop's light or dark preference.
enum class ColorScheme { light, dark };

// What the desktop portal's org.freedesktop.appearance color-scheme value asks for: 1 is dark,
// anything else (0 for no preference, 2 for light, a value from a newer desktop, a value of the
// wrong type) light. Variants nested in the value are unwrapped first, as Settings.Read sends its
// answer inside a second variant.
ColorScheme colorSchemeFromSetting(const QVariant& value);

// The tone `palette` has, by the appearance's one rule (isDark).
ColorScheme schemeOf(const QPalette& palette);

// The application palette for `scheme`. The desktop's own palette when it already has that tone,
// so the desktop theme stays as it is; otherwise Pindle's light or dark palette, keeping the
// desktop's selection colours so its accent survives the switch.
QPalette paletteForScheme(ColorScheme scheme, const QPalette& desktop);

} // namespace pindle
