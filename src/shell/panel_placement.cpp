#include "panel_placement.h"

#include <algorithm>

namespace pindle {

QPointF panelOrigin(const QRectF& given, const QSizeF& panelSize, const std::optional<ScreenArea>& screen) {
    const qreal w = panelSize.width();
    const qreal h = panelSize.height();
    const bool above = screen && given.center().y() > screen->geometry.center().y();

    // A point inside a bar (where a StatusNotifierItem host reports its click) or an icon that
    // ends short of the bar's edge reaches to that edge, so the panel keeps its distance from the
    // bar rather than from the pointer.
    QRectF anchor = given;
    if (screen && anchor.bottom() < screen->available.top()) {
        anchor.setBottom(screen->available.top());
    } else if (screen && anchor.top() > screen->available.bottom()) {
        anchor.setTop(screen->available.bottom());
    }

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

QRectF fallbackAnchor(const ScreenArea& screen) {
    const QRectF& area = screen.available;
    const bool barsOnlyBelow = area.top() <= screen.geometry.top() && area.bottom() < screen.geometry.bottom();
    return {area.center().x(), barsOnlyBelow ? area.bottom() : area.top(), 0, 0};
}

} // namespace pindle
