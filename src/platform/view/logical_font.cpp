#include "logical_font.h"

#include <QApplication>
#include <QWidget>

namespace pindle {

QFont logicalFont(const QWidget* widget, double pixels, QFont::Weight weight) {
    QFont font = QApplication::font();
    const int dpi = widget != nullptr ? widget->logicalDpiY() : 96;
    font.setPointSizeF(pixels * 72.0 / (dpi > 0 ? dpi : 96));
    font.setWeight(weight);
    return font;
}

} // namespace pindle
