#include "panel_placement.h"

#include <algorithm>

namespace pindle {

QPointF panelOrigin(const QRectF& anchor, const QSizeF& panelSize, const std::optional<ScreenArea>& screen) {
    const qreal w = panelSize.width();
    const qreal h = panelSize.height();
    const bool above = screen && anchor.center().y() > screen->geometry.center().y();

    qreal x = anchor.center().x() - w * 0.5;
    qreal y = above ? anchor.top() - kDropDistance - h : anchor.bottom() + kDropDistance;
    if (!screen) {
        return {x, y};
    }

    const QRectF& area = screen->available;
    x = std::max(x, area.left() + kScreenMargin);
    const qreal limit = std::max(area.right() - w - kScreenMargin, area.left() + kScreenMargin);
    x = std::min(x, limit);
    y = std::min(y, area.bottom() - h - kScreenMargin);
    if (above) {
        y = std::max(y, area.top() + kScreenMargin);
    }
    return {x, y};
}

} // namespace pindle
