#include "tooltip_overlay.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QChildEvent>
#include <QEasingCurve>
#include <QEvent>
#include <QPropertyAnimation>

#include "tooltips/tooltip_bubble.h"
#include "tooltips/tooltip_source.h"

namespace pindle {

TooltipOverlay::TooltipOverlay(Scheduler& scheduler, std::optional<TooltipTarget> pinnedTooltip, QWidget* panelRoot)
    : QWidget(panelRoot)
    , m_scheduler(scheduler)
    , m_pinnedTooltip(std::move(pinnedTooltip))
    , m_root(panelRoot) {
    Q_ASSERT(panelRoot);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(panelRoot->rect());

    m_bubble = new TooltipBubble(this);
    m_bubble->hide();
    connect(m_bubble, &TooltipBubble::bodySizeChanged, this, [this] { syncMeasuredSize(); });

    m_fade = new QPropertyAnimation(m_bubble, "opacity", this);
    m_fade->setDuration(kFadeMilliseconds);
    m_fade->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_fade, &QPropertyAnimation::finished, this, [this] {
        if (m_fade->endValue().toDouble() <= 0) {
            m_bubble->hide();
        }
    });

    watch(panelRoot);
    raise();

    if (m_pinnedTooltip) {
        refreshBubble();
        m_bubble->setOpacity(1);
        m_bubble->show();
    }
}

TooltipOverlay::~TooltipOverlay() {
    // The scheduler outlives us; nothing it still holds may call back into a dead overlay.
    if (m_tooltipDelay != 0) {
        m_scheduler.cancel(m_tooltipDelay);
    }
    if (m_updateTask != 0) {
        m_scheduler.cancel(m_updateTask);
    }
}

TooltipOverlay::State TooltipOverlay::state() const {
    if (m_tooltip) {
        return State::showing;
    }
    return m_tooltipDelay != 0 ? State::waiting : State::idle;
}

bool TooltipOverlay::isBubbleVisible() const {
    return !m_bubble->isHidden();
}

QRect TooltipOverlay::bubbleBody() const {
    return {m_bubble->pos() + m_bubble->bodyOffset(), m_bubble->bodySize()};
}

double TooltipOverlay::bubbleTargetOpacity() const {
    return isFading() ? m_fade->endValue().toDouble() : m_bubble->opacity();
}

bool TooltipOverlay::isFading() const {
    return m_fade->state() == QAbstractAnimation::Running;
}

// --- Sources -------------------------------------------------------------------------------------

void TooltipOverlay::watch(QWidget* widget) {
    if (widget == this) {
        return;
    }
    widget->installEventFilter(this);
    if (widget->underMouse()) {
        m_hovered.emplace_back(widget);
    }
    for (QObject* child : widget->children()) {
        if (child->isWidgetType()) {
            watch(static_cast<QWidget*>(child));
        }
    }
}

bool TooltipOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    const auto forget = [this, widget] {
        std::erase_if(m_hovered, [widget](const QPointer<QWidget>& hovered) { return hovered == widget; });
    };

    switch (event->type()) {
    case QEvent::ChildAdded: {
        // Children are announced while they are still being constructed, so only the filter is
        // installed here; whether they are sources is read when the pointer enters them.
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType() && child != this) {
            watch(static_cast<QWidget*>(child));
            if (widget == m_root) {
                raise();
            }
        }
        break;
    }
    case QEvent::Enter:
        // The pointer is at one point, so the hovered widgets form one chain down the tree, and
        // entries arrive from the outside in. An entry keeps only the widget's ancestors, which
        // also drops a widget whose leave got lost (a window entered afresh sends none).
        std::erase_if(m_hovered, [widget](const QPointer<QWidget>& hovered) {
            return hovered.isNull() || !hovered->isAncestorOf(widget);
        });
        m_hovered.emplace_back(widget);
        requestUpdate();
        break;
    case QEvent::Leave:
    case QEvent::Hide:
        // A hidden widget no longer has the pointer; it is entered anew once it shows again.
        forget();
        requestUpdate();
        break;
    case QEvent::Resize:
        if (widget == m_root) {
            setGeometry(m_root->rect());
            placeBubble();
        }
        [[fallthrough]];
    case QEvent::Move:
    case QEvent::Show:
    case QEvent::ChildRemoved:
    case QEvent::DynamicPropertyChange:
        // Something moved, appeared, went away or changed its text: a hovered source's request
        // may be different now.
        if (!m_hovered.empty()) {
            requestUpdate();
        }
        break;
    default:
        break;
    }
    return false;
}

void TooltipOverlay::requestUpdate() {
    // One combined update per pass of the event loop, so that the leave from one source and the
    // entry into its neighbour, delivered for the same pointer move, arrive together.
    if (m_updateTask != 0) {
        return;
    }
    m_updateTask = m_scheduler.schedule(Scheduler::Duration{0}, [this] {
        m_updateTask = 0;
        publish();
    });
}

void TooltipOverlay::publish() {
    std::optional<TooltipTarget> request = combinedRequest();
    if (request == m_request) {
        return;
    }
    m_request = request;
    showTooltip(request);
}

bool TooltipOverlay::isPresentSource(const QWidget* widget) const {
    return widget && m_root && !tooltipText(widget).isEmpty() && widget->isVisible() &&
           (widget == m_root || m_root->isAncestorOf(widget));
}

std::optional<TooltipTarget> TooltipOverlay::combinedRequest() const {
    // m_hovered runs down the tree, so the last present source is the last one in tree order.
    const auto found = std::find_if(m_hovered.rbegin(), m_hovered.rend(),
                                    [this](const QPointer<QWidget>& hovered) { return isPresentSource(hovered); });
    if (found == m_hovered.rend()) {
        return std::nullopt;
    }
    return requestFor(*found);
}

TooltipTarget TooltipOverlay::requestFor(const QWidget* source) const {
    const QPointF origin = source == m_root ? QPointF(0, 0) : source->mapTo(m_root, QPointF(0, 0));
    return {tooltipText(source).toStdString(),
            {origin.x(), origin.y(), double(source->width()), double(source->height())}};
}

// --- Showing -------------------------------------------------------------------------------------

void TooltipOverlay::showTooltip(const std::optional<TooltipTarget>& next) {
    if (m_tooltipDelay != 0) {
        m_scheduler.cancel(m_tooltipDelay);
        m_tooltipDelay = 0;
    }
    switch (TooltipLayout::transition(m_tooltip, next)) {
    case TooltipLayout::Transition::hide:
        if (m_tooltip) {
            m_tooltip.reset();
            fadeOut();
        }
        break;
    case TooltipLayout::Transition::showNow:
        m_tooltip = next;
        if (!m_pinnedTooltip) {
            // Straight from one bubble to the next: no fade, and an interrupted fade-in ends now.
            m_fade->stop();
            m_bubble->setOpacity(1);
            m_bubble->show();
        }
        refreshBubble();
        break;
    case TooltipLayout::Transition::showAfterDelay:
        m_tooltipDelay = m_scheduler.schedule(TooltipLayout::delay, [this, next] {
            m_tooltipDelay = 0;
            m_tooltip = next;
            refreshBubble();
            fadeIn();
        });
        break;
    }
}

const std::optional<TooltipTarget>& TooltipOverlay::drawnRequest() const {
    return m_pinnedTooltip ? m_pinnedTooltip : m_tooltip;
}

void TooltipOverlay::refreshBubble() {
    const std::optional<TooltipTarget>& request = drawnRequest();
    if (!request) {
        return;
    }
    // Placed first with the size measured last; setting the text measures the new body and,
    // when its size differs, places the bubble again before anything is painted.
    placeBubble();
    m_bubble->setText(QString::fromStdString(request->text));
    syncMeasuredSize();
}

void TooltipOverlay::syncMeasuredSize() {
    if (!drawnRequest()) {
        return;
    }
    const QSizeF measured = m_bubble->bodySize();
    if (measured != m_tooltipSize) {
        m_tooltipSize = measured;
        placeBubble();
    }
}

void TooltipOverlay::placeBubble() {
    const std::optional<TooltipTarget>& request = drawnRequest();
    if (!request) {
        return; // a fading-out bubble stays where it was
    }
    const auto placement = TooltipLayout::x(request->rect, m_tooltipSize.width(), width());
    const double y = TooltipLayout::y(request->rect, m_tooltipSize.height(), height());
    m_bubble->setArrowEdge(placement.arrow);
    const QPoint body(static_cast<int>(std::lround(placement.x)), static_cast<int>(std::lround(y)));
    m_bubble->move(body - m_bubble->bodyOffset());
}

void TooltipOverlay::fadeIn() {
    if (m_pinnedTooltip) {
        return; // the pinned bubble stays as it is
    }
    m_fade->stop();
    m_bubble->setOpacity(0);
    m_bubble->show();
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    m_fade->start();
}

void TooltipOverlay::fadeOut() {
    if (m_pinnedTooltip || m_bubble->isHidden()) {
        return;
    }
    m_fade->stop();
    m_fade->setStartValue(m_bubble->opacity());
    m_fade->setEndValue(0.0);
    m_fade->start();
}

} // namespace pindle
