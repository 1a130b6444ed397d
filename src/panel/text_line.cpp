#include "text_line.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPainter>

#include "platform/view/view_colors.h"

namespace pindle {

TextLine::TextLine(Tone tone, QWidget* parent)
    : QWidget(parent)
    , m_tone(tone) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TextLine::setText(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void TextLine::setTone(Tone tone) {
    if (tone != m_tone) {
        m_tone = tone;
        update();
    }
}

int TextLine::naturalWidth() const {
    return static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(m_text)));
}

QSize TextLine::sizeHint() const {
    return {naturalWidth(), static_cast<int>(std::ceil(QFontMetricsF(font()).height()))};
}

void TextLine::paintEvent(QPaintEvent* /*event*/) {
    if (m_text.isEmpty()) {
        return;
    }
    const ViewColors colors = ViewColors::from(palette());
    QColor color = colors.primary;
    if (m_tone == Tone::secondary) {
        color = colors.secondary;
    } else if (m_tone == Tone::tertiary) {
        color = colors.tertiary;
    } else if (m_tone == Tone::alert) {
        color = ViewColors::faded(colors.red, colors.tertiary.alphaF());
    }
    QPainter painter(this);
    painter.setPen(color);
    const QFontMetricsF metrics(font());
    const QString shown = metrics.elidedText(m_text, Qt::ElideRight, width());
    painter.drawText(QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

} // namespace pindle
