#include "color_scheme.h"

#include "platform/view/appearance.h"

#include <QDBusVariant>
#include <QPalette>
#include <QVariant>

namespace pindle {

namespace {

constexpr int kMaxVariantNesting = 8;

QVariant unwrapped(QVariant value) {
    // A bounded loop: a malicious or broken peer could nest variants without end.
    for (int depth = 0; depth < kMaxVariantNesting && value.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth) {
        value = value.value<QDBusVariant>().variant();
    }
    return value;
}

bool isIntegral(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// Every role a widget paints with, for all three colour groups.
void setRole(QPalette& palette, QPalette::ColorRole role, const QColor& color, const QColor& disabled) {
    palette.setColor(QPalette::Active, role, color);
    palette.setColor(QPalette::Inactive, role, color);
    palette.setColor(QPalette::Disabled, role, disabled);
}

void setRole(QPalette& palette, QPalette::ColorRole role, const QColor& color) {
    setRole(palette, role, color, color);
}

QPalette lightPalette() {
    QPalette palette;
    const QColor text(0x1d, 0x1d, 0x1f);
    const QColor disabledText(0x9a, 0x9a, 0x9c);
    setRole(palette, QPalette::Window, QColor(0xf2, 0xf2, 0xf4));
    setRole(palette, QPalette::WindowText, text, disabledText);
    setRole(palette, QPalette::Base, QColor(0xff, 0xff, 0xff), QColor(0xf2, 0xf2, 0xf4));
    setRole(palette, QPalette::AlternateBase, QColor(0xf7, 0xf7, 0xf9));
    setRole(palette, QPalette::Text, text, disabledText);
    setRole(palette, QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    setRole(palette, QPalette::Button, QColor(0xf7, 0xf7, 0xf9));
    setRole(palette, QPalette::ButtonText, text, disabledText);
    setRole(palette, QPalette::BrightText, QColor(0xff, 0xff, 0xff));
    setRole(palette, QPalette::Light, QColor(0xff, 0xff, 0xff));
    setRole(palette, QPalette::Midlight, QColor(0xe6, 0xe6, 0xe9));
    setRole(palette, QPalette::Mid, QColor(0xc6, 0xc6, 0xc9));
    setRole(palette, QPalette::Dark, QColor(0x9f, 0x9f, 0xa3));
    setRole(palette, QPalette::Shadow, QColor(0x00, 0x00, 0x00));
    setRole(palette, QPalette::ToolTipBase, QColor(0xff, 0xff, 0xff));
    setRole(palette, QPalette::ToolTipText, text);
    setRole(palette, QPalette::Highlight, QColor(0x30, 0x7b, 0xe8), QColor(0xc6, 0xc6, 0xc9));
    setRole(palette, QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    setRole(palette, QPalette::Link, QColor(0x1a, 0x5f, 0xd0));
    setRole(palette, QPalette::LinkVisited, QColor(0x7a, 0x3d, 0xc4));
    return palette;
}

QPalette darkPalette() {
    QPalette palette;
    const QColor text(0xec, 0xec, 0xee);
    const QColor disabledText(0x74, 0x74, 0x78);
    setRole(palette, QPalette::Window, QColor(0x2a, 0x2a, 0x2d));
    setRole(palette, QPalette::WindowText, text, disabledText);
    setRole(palette, QPalette::Base, QColor(0x1e, 0x1e, 0x20), QColor(0x2a, 0x2a, 0x2d));
    setRole(palette, QPalette::AlternateBase, QColor(0x26, 0x26, 0x29));
    setRole(palette, QPalette::Text, text, disabledText);
    setRole(palette, QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    setRole(palette, QPalette::Button, QColor(0x36, 0x36, 0x3a));
    setRole(palette, QPalette::ButtonText, text, disabledText);
    setRole(palette, QPalette::BrightText, QColor(0xff, 0xff, 0xff));
    setRole(palette, QPalette::Light, QColor(0x4a, 0x4a, 0x4f));
    setRole(palette, QPalette::Midlight, QColor(0x3c, 0x3c, 0x40));
    setRole(palette, QPalette::Mid, QColor(0x48, 0x48, 0x4c));
    setRole(palette, QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    setRole(palette, QPalette::Shadow, QColor(0x00, 0x00, 0x00));
    setRole(palette, QPalette::ToolTipBase, QColor(0x36, 0x36, 0x3a));
    setRole(palette, QPalette::ToolTipText, text);
    setRole(palette, QPalette::Highlight, QColor(0x3d, 0x84, 0xf0), QColor(0x48, 0x48, 0x4c));
    setRole(palette, QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    setRole(palette, QPalette::Link, QColor(0x6a, 0xa8, 0xff));
    setRole(palette, QPalette::LinkVisited, QColor(0xb4, 0x8c, 0xf2));
    return palette;
}

} // namespace

ColorScheme colorSchemeFromSetting(const QVariant& value) {
    const QVariant plain = unwrapped(value);
    return isIntegral(plain) && plain.toLongLong() == 1 ? ColorScheme::dark : ColorScheme::light;
}

ColorScheme schemeOf(const QPalette& palette) {
    return isDark(palette) ? ColorScheme::dark : ColorScheme::light;
}

QPalette paletteForScheme(ColorScheme scheme, const QPalette& desktop) {
    if (schemeOf(desktop) == scheme) {
        return desktop;
    }
    QPalette palette = scheme == ColorScheme::dark ? darkPalette() : lightPalette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Active, role, desktop.color(QPalette::Active, role));
        palette.setColor(QPalette::Inactive, role, desktop.color(QPalette::Inactive, role));
    }
    return palette;
}

} // namespace pindle
