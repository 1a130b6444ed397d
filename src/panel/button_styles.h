#pragma once

#include <QAbstractButton>

#include "hover_button.h"

namespace pindle {

// The quiet style of the panel's small icon buttons: a secondary-coloured symbol that turns primary
// (or the tint) under the pointer, over a faint rounded background that only shows while hovered;
// the whole button dims to 60 % while pressed. Never animates.
class HoverCircleButton : public HoverButton {
    Q_OBJECT
public:
    enum class Symbol { plus, xmark };
    enum class HoverTint { primary, red };

    // `side` is the square box in logical pixels, `symbolSize` the symbol's nominal size.
    HoverCircleButton(Symbol symbol, double symbolSize, int side, double cornerRadius, HoverTint tint, HitArea hitArea,
                      QWidget* parent = nullptr);

    // Opacity of the whole button on top of the pressed dimming (the header fades its button).
    void setOpacity(double opacity);
    double opacity() const { return m_opacity; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Symbol m_symbol;
    double m_symbolSize;
    double m_cornerRadius;
    HoverTint m_tint;
    double m_opacity = 1.0;
};

// The loud style of the one confirming button: white medium text on a red rounded rectangle,
// 75 % opacity while pressed, no hover effect.
class DestructiveButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit DestructiveButton(const QString& text, QWidget* parent = nullptr);

    static QColor fill();
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace pindle
