#include "tooltip_source.h"

#include <QVariant>
#include <QWidget>

namespace pindle {

namespace {
constexpr const char* kTooltipProperty = "pindleTooltip";
}

void tooltip(QWidget* view, const QString& text) {
    view->setProperty(kTooltipProperty, text.isEmpty() ? QVariant() : QVariant(text));
}

QString tooltipText(const QWidget* view) {
    return view->property(kTooltipProperty).toString();
}

} // namespace pindle
