#pragma once

#include <QFont>

class QWidget;

namespace pindle {

// The desktop's interface font at `pixels` logical pixels (fractions allowed) and `weight`.
// Qt point sizes scale with the screen's logical dpi, so the size is converted through the dpi of
// `widget`'s screen: 13.5 px is 10.125 pt at 96 dpi.
QFont logicalFont(const QWidget* widget, double pixels, QFont::Weight weight = QFont::Normal);

} // namespace pindle
