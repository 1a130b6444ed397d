#include "button_styles.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "platform/view/appearance.h"
#include "platform/view/symbols.h"
#include "platform/view/view_colors.h"

namespace pindle {

namespace {

constexpr double kHoverBackgroundAlpha = 0.08;
constexpr double kPressedOpacity = 0.6;
constexpr double kSymbolWeight = 1.15; // medium

constexpr double kDestructiveFontPixels = 11;
constexpr double kDestructivePaddingX = 9;
constexpr double kDestructivePaddingY = 3;
constexpr double kDestructiveRadius = 5;
constexpr double kDestructivePressedOpacity = 0.75;

} // namespace

HoverCircleButton::HoverCircleButton(Symbol symbol, double symbolSize, int side, double cornerRadius, HoverTint tint,
                                     HitArea hitArea, QWidget* parent)
    : HoverButton(side, hitArea, parent)
    , m_symbol(symbol)
    , m_symbolSize(symbolSize)
    , m_cornerRadius(cornerRadius)
    , m_tint(tint) {}

void HoverCircleButton::setOpacity(double opacity) {
    if (opacity != m_opacity) {
        m_opacity = opacity;
        update();
    }
}

void HoverCircleButton::paintEvent(QPaintEvent* /*event*/) {
    const ViewColors colors = ViewColors::from(palette());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_opacity * (isDown() ? kPressedOpacity : 1.0));
    if (hovering()) {
        QPainterPath background;
        background.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
        painter.fillPath(background, ViewColors::faded(colors.primary, kHoverBackgroundAlpha));
    }
    QColor foreground = colors.secondary;
    if (hovering()) {
        foreground = m_tint == HoverTint::red ? colors.red : colors.primary;
    }
    const QPointF centre = QRectF(rect()).center();
    const QPainterPath symbol =
        m_symbol == Symbol::plus ? plusSymbol(centre, m_symbolSize) : xmarkSymbol(centre, m_symbolSize);
    strokeSymbol(painter, symbol, foreground, m_symbolSize, kSymbolWeight);
}

DestructiveButton::DestructiveButton(const QString& text, QWidget* parent)
    : QAbstractButton(parent) {
    setText(text);
    setFocusPolicy(Qt::NoFocus);
    setFont(logicalFont(this, kDestructiveFontPixels, QFont::Medium));
}

QColor DestructiveButton::fill() {
    return colorFromHex("#e0403a");
}

QSize DestructiveButton::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text()) + 2 * kDestructivePaddingX)),
            static_cast<int>(std::ceil(metrics.height() + 2 * kDestructivePaddingY))};
}

void DestructiveButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isDown() ? kDestructivePressedOpacity : 1.0);
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), kDestructiveRadius, kDestructiveRadius);
    painter.fillPath(background, fill());
    painter.setPen(Qt::white);
    painter.drawText(QRectF(rect()), Qt::AlignCenter | Qt::TextSingleLine, text());
}

} // namespace pindle
