#include "dot_button.h"

#include <QPainter>

#include "notes/note.h"
#include "notes/text.h"
#include "platform/view/view_colors.h"
#include "tooltips/tooltip_source.h"

namespace pindle {

namespace {

constexpr double kHaloDiameter = 21;
constexpr double kHaloAlpha = 0.24;
constexpr double kDotDiameter = 15;
constexpr double kRingWidth = 2;
constexpr double kHoveredOpacity = 0.85;
constexpr double kIdleOpacity = 0.6;

} // namespace

QString displayTitle(const Note& note, std::size_t maxBytes) {
    const std::string text = text::firstLine(note.text, maxBytes);
    std::size_t length = std::min(text.size(), maxBytes);
    // Step back over continuation bytes so no character is split.
    while (length < text.size() && length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        --length;
    }
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(length));
}

DotButton::DotButton(QWidget* parent)
    : HoverButton(kSide, HitArea::inscribedCircle, parent) {}

void DotButton::setNote(const Note& note, std::size_t index, bool active) {
    const QString firstLine = displayTitle(note);
    const QString tip = tooltipText(firstLine, index);
    if (tip != m_tooltip) {
        m_tooltip = tip;
        tooltip(this, tip);
    }
    // The number in the name is the position, which changes when notes before this one go.
    const QString name = accessibleText(firstLine, index);
    if (name != accessibleName()) {
        setAccessibleName(name);
    }
    const QColor color = colorFromHex(note.color);
    const bool blank = note.isBlank();
    if (color != m_color || blank != m_blank || active != m_active) {
        m_color = color;
        m_blank = blank;
        m_active = active;
        update();
    }
}

double DotButton::dotOpacity() const {
    if (m_active) {
        return 1.0;
    }
    return hovering() ? kHoveredOpacity : kIdleOpacity;
}

QString DotButton::tooltipText(const QString& firstLine, std::size_t index) {
    if (!firstLine.isEmpty()) {
        return firstLine;
    }
    return QStringLiteral("Empty note %1").arg(index + 1);
}

QString DotButton::accessibleText(const QString& firstLine, std::size_t index) {
    if (!firstLine.isEmpty()) {
        return tr("Note %1: %2").arg(QString::number(index + 1), firstLine);
    }
    return tr("Note %1 (empty)").arg(index + 1);
}

void DotButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    if (m_active) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(ViewColors::faded(m_color, kHaloAlpha));
        painter.drawEllipse(centre, kHaloDiameter / 2, kHaloDiameter / 2);
    }
    painter.setOpacity(dotOpacity());
    if (m_blank) {
        // The stroke lies wholly inside the dot's circle: its outer edge touches the circle.
        QPen pen(m_color);
        pen.setWidthF(kRingWidth);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const double radius = (kDotDiameter - kRingWidth) / 2;
        painter.drawEllipse(centre, radius, radius);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_color);
        painter.drawEllipse(centre, kDotDiameter / 2, kDotDiameter / 2);
    }
}

} // namespace pindle
