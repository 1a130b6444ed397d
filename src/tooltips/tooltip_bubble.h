#pragma once

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "tooltips/tooltip_layout.h"

class QPainterPath;

namespace pindle {

// The fill of every bubble: a dark grey on light desktops and a slightly lighter one on dark
// desktops. Resolved at each paint, so an open bubble follows a theme switch.
QColor tooltipBackground(bool dark);

// The drawn tooltip: white text on a dark rounded body, an arrow on one side and a soft shadow.
//
// The body (the padded text box) is what the overlay places; the widget itself is larger, so that
// the arrow and the shadow can be drawn outside the body. bodyOffset() is where the body's top-left
// corner lies inside the widget, bodySize() its measured size. The bubble never takes the pointer:
// clicks and hover go to whatever lies beneath it. GUI thread only.
class TooltipBubble final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double opacity READ opacity WRITE setOpacity)

public:
    static constexpr double kTextPixelSize = 11.5;
    static constexpr int kMaxTextWidth = 190;
    static constexpr int kMaxLines = 2;
    static constexpr int kPaddingX = 8;
    static constexpr int kPaddingY = 5;
    static constexpr double kCornerRadius = 6;
    static constexpr double kArrowSide = 8;
    static constexpr double kArrowRadius = 1;
    // How far the arrow square's centre lies inside the body edge.
    static constexpr double kArrowInset = 1;
    static constexpr double kShadowAlpha = 0.22;
    static constexpr double kShadowRadius = 6;
    static constexpr double kShadowDy = 3;

    explicit TooltipBubble(QWidget* parent = nullptr);
    TooltipBubble(QString text, HorizontalEdge arrowEdge, QWidget* parent = nullptr);

    // Shown verbatim: no markup, no mnemonics. Line breaks in the text start a new line.
    QString text() const { return m_text; }
    void setText(const QString& text);

    HorizontalEdge arrowEdge() const { return m_arrowEdge; }
    void setArrowEdge(HorizontalEdge edge);

    // The padded text box, in logical pixels: (text width + 16) x (text height + 10).
    QSize bodySize() const { return m_bodySize; }
    // The body's top-left corner inside the widget.
    QPoint bodyOffset() const;
    // The lines as drawn, after wrapping and cutting with an ellipsis.
    QStringList lines() const { return m_lines; }

    // Opacity of the whole bubble, shadow included: 0 (invisible) to 1.
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);

    // Whether the bubble currently draws in its dark-theme fill (the appearance's one rule).
    bool isDark() const;

    QSize sizeHint() const override;

signals:
    // The body size changed: new text, or a font or screen change re-measured it.
    void bodySizeChanged(QSize size);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void relayout();
    QPainterPath outline() const;
    const QImage& shadow();

    QString m_text;
    HorizontalEdge m_arrowEdge = HorizontalEdge::leading;
    double m_opacity = 1;
    QFont m_font;
    QStringList m_lines;
    QSize m_bodySize;
    QImage m_shadow; // cached for the current size, arrow side and pixel ratio
};

} // namespace pindle
