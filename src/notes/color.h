#pragma once

#include <string_view>

namespace pindle {

// A display colour as sRGB fractions from 0 to 1. The panel turns it into its toolkit's colour.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double opacity = 1;

    // "#rrggbb" or "rrggbb", hexadecimal digits in any case. Anything else (short forms, alpha,
    // "0x", a doubled "#") gives `fallback`. Never fails.
    static Color fromHex(std::string_view text);

    // The first palette colour, "#f2545b", to three decimals.
    static constexpr Color fallback() { return {0.949, 0.329, 0.357, 1.0}; }

    friend bool operator==(const Color&, const Color&) = default;
};

} // namespace pindle
