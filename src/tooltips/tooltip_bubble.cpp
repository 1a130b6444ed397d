#include "tooltip_bubble.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QTextLayout>
#include <QTransform>

#include "platform/view/appearance.h"

namespace pindle {

namespace {

// Room around the body for what is drawn outside it: the arrow reaches about 4.7 px beyond the
// side, and the shadow three blur sigmas (9 px) beyond the outline, shifted 3 px down.
constexpr int kMarginX = 14;
constexpr int kMarginTop = 7;
constexpr int kMarginBottom = 12;

constexpr qsizetype kMaxLaidOutCharacters = 512;

QString chopTrailingSpace(QString line) {
    while (!line.isEmpty() && line.back().isSpace()) {
        line.chop(1);
    }
    return line;
}

} // namespace

QColor tooltipBackground(bool dark) {
    return dark ? QColor::fromRgbF(0.227F, 0.227F, 0.235F) : QColor::fromRgbF(0.173F, 0.173F, 0.184F);
}

TooltipBubble::TooltipBubble(QWidget* parent)
    : TooltipBubble(QString(), HorizontalEdge::leading, parent) {}

TooltipBubble::TooltipBubble(QString text, HorizontalEdge arrowEdge, QWidget* parent)
    : QWidget(parent)
    , m_text(std::move(text))
    , m_arrowEdge(arrowEdge) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    relayout();
}

void TooltipBubble::setText(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    relayout();
}

void TooltipBubble::setArrowEdge(HorizontalEdge edge) {
    if (edge == m_arrowEdge) {
        return;
    }
    m_arrowEdge = edge;
    m_shadow = QImage();
    update();
}

QPoint TooltipBubble::bodyOffset() const {
    return {kMarginX, kMarginTop};
}

void TooltipBubble::setOpacity(double opacity) {
    opacity = std::clamp(opacity, 0.0, 1.0);
    if (opacity == m_opacity) {
        return;
    }
    m_opacity = opacity;
    update();
}

bool TooltipBubble::isDark() const {
    return isDarkAppearance();
}

QSize TooltipBubble::sizeHint() const {
    return m_bodySize + QSize(2 * kMarginX, kMarginTop + kMarginBottom);
}

void TooltipBubble::relayout() {
    m_font = logicalFont(this, kTextPixelSize);
    const QFontMetricsF metrics(m_font);

    // Line breaks in the text are honoured; everything else wraps at 190 px, and whatever does
    // not fit on the second line is cut at its end.
    // Two lines of 190 px never hold more than a few hundred characters; laying out only those
    // keeps a tooltip made from a very long line cheap.
    QString text = chopTrailingSpace(m_text.left(kMaxLaidOutCharacters));
    const bool truncated = m_text.size() > kMaxLaidOutCharacters;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);

    m_lines.clear();
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(kMaxTextWidth);
        if (m_lines.size() == kMaxLines - 1) {
            QString rest = text.mid(line.textStart());
            const bool more = truncated || layout.createLine().isValid() || rest.contains(QChar::LineSeparator);
            if (more) {
                // Cut at the first explicit break; the ellipsis marks that text is missing.
                const auto breakAt = rest.indexOf(QChar::LineSeparator);
                if (breakAt >= 0) {
                    rest = chopTrailingSpace(rest.left(breakAt)) + QChar(u'\u2026');
                }
                m_lines << metrics.elidedText(rest, Qt::ElideRight, kMaxTextWidth);
            } else {
                m_lines << chopTrailingSpace(rest);
            }
            break;
        }
        m_lines << chopTrailingSpace(text.mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator));
    }
    layout.endLayout();
    if (m_lines.isEmpty()) {
        m_lines << QString();
    }

    double textWidth = 0;
    for (const QString& line : std::as_const(m_lines)) {
        textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    }
    const auto lineCount = static_cast<double>(m_lines.size());
    const double textHeight = lineCount * metrics.lineSpacing() - metrics.leading();
    const QSize body(static_cast<int>(std::ceil(std::min(textWidth, double{kMaxTextWidth}))) + 2 * kPaddingX,
                     static_cast<int>(std::ceil(textHeight)) + 2 * kPaddingY);

    m_shadow = QImage();
    const bool changed = body != m_bodySize;
    m_bodySize = body;
    resize(sizeHint());
    update();
    if (changed) {
        emit bodySizeChanged(m_bodySize);
    }
}

QPainterPath TooltipBubble::outline() const {
    const QRectF body(bodyOffset(), m_bodySize);
    QPainterPath path = continuousRoundedRect(body, kCornerRadius);
    // Where the arrow overlaps the body the two fill as one, not as a hole.
    path.setFillRule(Qt::WindingFill);

    // The square's centre sits just inside the arrow side, at the body's vertical middle; turned
    // by 45 degrees its corner points outwards at the anchor.
    const double centreX =
        m_arrowEdge == HorizontalEdge::leading ? body.left() + kArrowInset : body.right() - kArrowInset;
    const QPainterPath square =
        continuousRoundedRect(QRectF(-kArrowSide / 2, -kArrowSide / 2, kArrowSide, kArrowSide), kArrowRadius);
    QTransform transform;
    transform.translate(centreX, body.center().y());
    transform.rotate(45);
    path.addPath(transform.map(square));
    return path.simplified();
}

const QImage& TooltipBubble::shadow() {
    const double ratio = devicePixelRatioF();
    if (m_shadow.size() != (QSizeF(size()) * ratio).toSize() || m_shadow.devicePixelRatio() != ratio) {
        m_shadow = softShadow(outline().translated(0, kShadowDy), size(), ratio, kShadowRadius);
    }
    return m_shadow;
}

bool TooltipBubble::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ApplicationPaletteChange:
    case QEvent::PaletteChange:
    case QEvent::ThemeChange:
        update();
        break;
    case QEvent::ApplicationFontChange:
    case QEvent::ScreenChangeInternal:
        relayout();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TooltipBubble::paintEvent(QPaintEvent* /*event*/) {
    if (m_opacity <= 0) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_opacity * kShadowAlpha);
    painter.drawImage(QPointF(0, 0), shadow());

    painter.setOpacity(m_opacity);
    const QColor fill = tooltipBackground(isDark());
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(outline());

    painter.setPen(Qt::white);
    painter.setFont(m_font);
    const QFontMetricsF metrics(m_font);
    const QPointF origin = QPointF(bodyOffset()) + QPointF(kPaddingX, kPaddingY);
    for (int i = 0; i < m_lines.size(); ++i) {
        const double baseline = origin.y() + metrics.ascent() + i * metrics.lineSpacing();
        painter.drawText(QPointF(origin.x(), baseline), m_lines.at(i));
    }
}

} // namespace pindle
