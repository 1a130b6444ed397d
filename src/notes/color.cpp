#include "color.h"

#include <cstdint>

namespace pindle {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

Color Color::fromHex(std::string_view text) {
    if (text.starts_with('#')) {
        text.remove_prefix(1);
    }
    if (text.size() != 6) {
        return fallback();
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) {
            return fallback();
        }
        value = (value << 4U) | static_cast<std::uint32_t>(digit);
    }
    return {static_cast<double>((value >> 16U) & 0xFFU) / 255.0, static_cast<double>((value >> 8U) & 0xFFU) / 255.0,
            static_cast<double>(value & 0xFFU) / 255.0, 1.0};
}

} // namespace pindle
