#pragma once

#include <QString>

class QWidget;

namespace pindle {

// Makes `view` a tooltip source: while the pointer rests on it, the panel's tooltip overlay shows
// `text` beside it. Calling it again changes the text; an empty text makes it no source at all.
void tooltip(QWidget* view, const QString& text);

// The text `view` was given by tooltip(), or an empty string.
QString tooltipText(const QWidget* view);

} // namespace pindle
