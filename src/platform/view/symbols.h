#pragma once

#include <QPainterPath>
#include <QPointF>

class QColor;
class QPainter;

namespace pindle {

// The two small symbols the panel shows, as open strokes centred on a point. `size` is the nominal
// glyph size in logical pixels (the font size the symbol stands beside).
QPainterPath plusSymbol(QPointF centre, double size);
QPainterPath xmarkSymbol(QPointF centre, double size);

// Strokes a symbol path with round caps; `weight` scales the stroke like a font weight would
// (1.0 regular, about 1.15 medium).
void strokeSymbol(QPainter& painter, const QPainterPath& path, const QColor& color, double size, double weight);

} // namespace pindle
