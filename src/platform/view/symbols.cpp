#include "symbols.h"

#include <QColor>
#include <QPainter>
#include <QPen>

namespace pindle {

namespace {

// Proportions of the symbols to their nominal size, close to the system symbol set's glyphs: the
// plus is a little wider than the cap height, the cross a little narrower.
constexpr double kPlusArm = 0.44;
constexpr double kXmarkArm = 0.33;
constexpr double kStrokeRatio = 0.115;

} // namespace

QPainterPath plusSymbol(QPointF centre, double size) {
    const double arm = size * kPlusArm;
    QPainterPath path;
    path.moveTo(centre.x() - arm, centre.y());
    path.lineTo(centre.x() + arm, centre.y());
    path.moveTo(centre.x(), centre.y() - arm);
    path.lineTo(centre.x(), centre.y() + arm);
    return path;
}

QPainterPath xmarkSymbol(QPointF centre, double size) {
    const double arm = size * kXmarkArm;
    QPainterPath path;
    path.moveTo(centre.x() - arm, centre.y() - arm);
    path.lineTo(centre.x() + arm, centre.y() + arm);
    path.moveTo(centre.x() + arm, centre.y() - arm);
    path.lineTo(centre.x() - arm, centre.y() + arm);
    return path;
}

void strokeSymbol(QPainter& painter, const QPainterPath& path, const QColor& color, double size, double weight) {
    QPen pen(color);
    pen.setWidthF(size * kStrokeRatio * weight);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.restore();
}

} // namespace pindle
