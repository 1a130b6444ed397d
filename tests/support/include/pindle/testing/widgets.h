#pragma once

#include <QColor>
#include <QPalette>
#include <QRect>

class QWidget;

namespace pindle::testing {

// Qt's own light palette, and a dark one of the kind a dark desktop theme hands to Qt.
QPalette lightPalette();
QPalette darkPalette();

// Synthetic pointer entering (or leaving) `widget`.
void hover(QWidget* widget, bool inside);
void click(QWidget* widget);
// `widget`'s rectangle in `panel`'s coordinates.
QRect boxOf(const QWidget* widget, const QWidget* panel);
// Each of the red, green and blue channels within `tolerance`.
bool near(const QColor& actual, const QColor& expected, int tolerance);

} // namespace pindle::testing
