#include "appearance.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QWidget>

namespace pindle {

namespace {

// Relative luminance of an sRGB colour (WCAG), 0 for black to 1 for white.
double luminance(const QColor& color) {
    const auto linear = [](float channel) {
        const double c = channel;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

// Three box blurs in a row are within a few percent of a Gaussian; each pass costs the same
// whatever the radius. The box widths follow the usual rule for a standard deviation `sigma`.
std::array<int, 3> boxRadii(double sigma) {
    const double ideal = std::sqrt(12 * sigma * sigma / 3 + 1);
    int lower = static_cast<int>(std::floor(ideal));
    if (lower % 2 == 0) {
        --lower;
    }
    const int upper = lower + 2;
    const double m = std::round((12 * sigma * sigma - 3.0 * lower * lower - 12.0 * lower - 9) / (-4.0 * lower - 4));
    std::array<int, 3> radii{};
    for (int i = 0; i < 3; ++i) {
        radii[static_cast<std::size_t>(i)] = ((i < m ? lower : upper) - 1) / 2;
    }
    return radii;
}

// One box pass over `count` values `stride` apart, edges treated as transparent.
void boxPass(const std::uint8_t* in, std::uint8_t* out, int count, std::ptrdiff_t stride, int radius) {
    const int width = 2 * radius + 1;
    int sum = 0;
    for (int i = 0; i < std::min(radius, count); ++i) {
        sum += in[i * stride];
    }
    for (int i = 0; i < count; ++i) {
        if (i + radius < count) {
            sum += in[(i + radius) * stride];
        }
        if (i - radius - 1 >= 0) {
            sum -= in[(i - radius - 1) * stride];
        }
        out[i * stride] = static_cast<std::uint8_t>((sum + width / 2) / width);
    }
}

} // namespace

bool isDark(const QPalette& palette) {
    return luminance(palette.color(QPalette::Active, QPalette::WindowText)) >
           luminance(palette.color(QPalette::Active, QPalette::Window));
}

bool isDarkAppearance() {
    return isDark(QGuiApplication::palette());
}

QColor contrastingColor(const QColor& color) {
    // Equal contrast ratios against black and white meet at a luminance of about 0.18.
    const double l = luminance(color);
    return (l + 0.05) * (l + 0.05) > 0.05 * 1.05 ? QColor(0, 0, 0) : QColor(255, 255, 255);
}

QFont logicalFont(const QWidget* widget, double pixels, QFont::Weight weight) {
    QFont font = QApplication::font();
    const int dpi = widget != nullptr ? widget->logicalDpiY() : 96;
    font.setPointSizeF(pixels * 72.0 / (dpi > 0 ? dpi : 96));
    font.setWeight(weight);
    font.setItalic(false);
    return font;
}

void setLogicalFont(QWidget* widget, double pixels, QFont::Weight weight) {
    const QFont font = logicalFont(widget, pixels, weight);
    if (widget->font() != font) {
        widget->setFont(font);
    }
}

QPainterPath continuousRoundedRect(const QRectF& rect, double radius) {
    // Each corner is one cubic that starts 1.28 radii from the corner, with its handles pulled
    // towards the corner so that the curve's middle sits where a circular arc's would.
    const double reach = std::min(radius * 1.28, std::min(rect.width(), rect.height()) / 2);
    const double handle = reach * 0.277;
    const double l = rect.left();
    const double r = rect.right();
    const double t = rect.top();
    const double b = rect.bottom();

    QPainterPath path;
    path.moveTo(l + reach, t);
    path.lineTo(r - reach, t);
    path.cubicTo(r - handle, t, r, t + handle, r, t + reach);
    path.lineTo(r, b - reach);
    path.cubicTo(r, b - handle, r - handle, b, r - reach, b);
    path.lineTo(l + reach, b);
    path.cubicTo(l + handle, b, l, b - handle, l, b - reach);
    path.lineTo(l, t + reach);
    path.cubicTo(l, t + handle, l + handle, t, l + reach, t);
    path.closeSubpath();
    return path;
}

QImage softShadow(const QPainterPath& outline, QSize size, qreal pixelRatio, double blurRadius) {
    QImage coverage((QSizeF(size) * pixelRatio).toSize(), QImage::Format_Alpha8);
    coverage.setDevicePixelRatio(pixelRatio);
    coverage.fill(0);
    {
        QPainter painter(&coverage);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawPath(outline);
    }
    const int width = coverage.width();
    const int height = coverage.height();
    const auto bytesPerLine = static_cast<std::ptrdiff_t>(coverage.bytesPerLine());
    std::vector<std::uint8_t> scratch(static_cast<std::size_t>(bytesPerLine) * static_cast<std::size_t>(height));
    std::uint8_t* bits = coverage.bits();
    for (const int radius : boxRadii(blurRadius / 2 * pixelRatio)) {
        if (radius < 1) {
            continue;
        }
        for (std::ptrdiff_t y = 0; y < height; ++y) {
            boxPass(bits + y * bytesPerLine, scratch.data() + y * bytesPerLine, width, 1, radius);
        }
        for (int x = 0; x < width; ++x) {
            boxPass(scratch.data() + x, bits + x, height, bytesPerLine, radius);
        }
    }
    QImage shadow(coverage.size(), QImage::Format_ARGB32_Premultiplied);
    shadow.setDevicePixelRatio(pixelRatio);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* alpha = coverage.constScanLine(y);
        auto* row = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < width; ++x) {
            row[x] = qRgba(0, 0, 0, alpha[x]);
        }
    }
    return shadow;
}

} // namespace pindle
