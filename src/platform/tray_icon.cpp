#include "tray_icon.h"

#include <QGuiApplication>
#include <QIcon>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <algorithm>

namespace pindle {

namespace {

QColor opposite(const QColor& color) {
    return color.lightnessF() > 0.5 ? QColor(0, 0, 0) : QColor(255, 255, 255);
}

class TrayIconEngine final : public QIconEngine {
public:
    explicit TrayIconEngine(bool highlighted)
        : m_highlighted(highlighted) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        paintTrayIcon(*painter, QRectF(rect), m_highlighted, QGuiApplication::palette());
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) override {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        pixmap.setDevicePixelRatio(scale);
        QPainter painter(&pixmap);
        paintTrayIcon(painter, QRectF(QPointF(0, 0), QSizeF(size)), m_highlighted, QGuiApplication::palette());
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
    }

    QIconEngine* clone() const override { return new TrayIconEngine(m_highlighted); }
    QString key() const override { return QStringLiteral("pindle-tray"); }

private:
    bool m_highlighted;
};

} // namespace

void paintTrayIcon(QPainter& painter, const QRectF& bounds, bool highlighted, const QPalette& palette) {
    const qreal side = std::min(bounds.width(), bounds.height());
    if (side <= 0) {
        return;
    }
    const QRectF square(bounds.center().x() - side / 2, bounds.center().y() - side / 2, side, side);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);

    QColor glyph = palette.color(QPalette::Active, QPalette::WindowText);
    if (highlighted) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette.color(QPalette::Active, QPalette::Highlight));
        painter.drawRoundedRect(square, side * 0.2, side * 0.2);
        glyph = palette.color(QPalette::Active, QPalette::HighlightedText);
    }

    // Circles on a 2x2 grid inside a margin, with gaps wide enough to stay apart at 16 px.
    const qreal margin = side * (highlighted ? 0.2 : 0.12);
    const qreal cell = (side - 2 * margin) / 2;
    const qreal radius = cell * 0.37;
    QPainterPath dots;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            const QPointF centre(square.left() + margin + cell * (column + 0.5),
                                 square.top() + margin + cell * (row + 0.5));
            dots.addEllipse(centre, radius, radius);
        }
    }

    if (!highlighted) {
        // The halo keeps the glyph visible on a panel of the glyph's own tone.
        QColor halo = opposite(glyph);
        halo.setAlphaF(0.85f);
        painter.setPen(QPen(halo, std::max<qreal>(1.0, side / 20), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(dots);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(glyph);
    painter.drawPath(dots);
    painter.restore();
}

QIcon trayIcon(bool highlighted) {
    return QIcon(new TrayIconEngine(highlighted));
}

} // namespace pindle
