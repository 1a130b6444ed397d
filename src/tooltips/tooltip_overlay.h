#pragma once

#include <optional>
#include <vector>

#include <QPointer>
#include <QRect>
#include <QSizeF>
#include <QWidget>

#include "notes/scheduler.h"
#include "tooltips/tooltip_layout.h"

class QPropertyAnimation;

namespace pindle {

class TooltipBubble;

// The panel's tooltip layer: a pointer-transparent child covering the whole panel root, above all
// of its other children, that draws at most one TooltipBubble.
//
// Every descendant of the root that was marked with tooltip() is a source. While the pointer rests
// on a source it requests a bubble with its text beside its frame, measured from the root's
// top-left corner. All changes within one pass of the event loop are combined into one request,
// where the last present request in widget-tree order (depth first, children in order) wins. The
// first bubble after a pause waits TooltipLayout::delay and fades in; a new request while a bubble
// shows replaces it at once; no request fades it out. A source that is hidden, destroyed or taken
// out of the root stops requesting. `pinnedTooltip`, when given, is drawn from the start and
// whatever the pointer does (for previews and tests).
//
// The delay and the combining run on `scheduler`, which must outlive the overlay. GUI thread only.
class TooltipOverlay final : public QWidget {
    Q_OBJECT

public:
    enum class State { idle, waiting, showing };

    static constexpr int kFadeMilliseconds = 120;

    TooltipOverlay(Scheduler& scheduler, std::optional<TooltipTarget> pinnedTooltip, QWidget* panelRoot);
    ~TooltipOverlay() override;

    // The request whose bubble is on screen (or fading in), not counting the pinned one.
    const std::optional<TooltipTarget>& tooltip() const { return m_tooltip; }
    State state() const;

    // Read-only views of what is drawn, for tests and previews.
    const TooltipBubble& bubble() const { return *m_bubble; }
    // True while the bubble is on screen, fading out included.
    bool isBubbleVisible() const;
    // The bubble's body in the panel root's coordinates.
    QRect bubbleBody() const;
    // The opacity the bubble is heading for: the end of a running fade, else its opacity now.
    double bubbleTargetOpacity() const;
    bool isFading() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QWidget* widget);
    void requestUpdate();
    void publish();
    std::optional<TooltipTarget> combinedRequest() const;
    TooltipTarget requestFor(const QWidget* source) const;
    bool isPresentSource(const QWidget* widget) const;

    void showTooltip(const std::optional<TooltipTarget>& next);
    const std::optional<TooltipTarget>& drawnRequest() const;
    void refreshBubble();
    void placeBubble();
    void syncMeasuredSize();
    void fadeIn();
    void fadeOut();

    Scheduler& m_scheduler;
    const std::optional<TooltipTarget> m_pinnedTooltip;
    QPointer<QWidget> m_root;
    TooltipBubble* m_bubble = nullptr;
    QPropertyAnimation* m_fade = nullptr;

    std::optional<TooltipTarget> m_tooltip;
    QSizeF m_tooltipSize{0, 0};
    // The pending delayed show; 0 when none is pending.
    Scheduler::TaskId m_tooltipDelay = 0;

    // Widgets the pointer is inside now, sources or not (a widget marked while hovered counts
    // too): one chain from the outermost down to the one under the pointer.
    std::vector<QPointer<QWidget>> m_hovered;
    // The combined request last handed to showTooltip(), to skip updates that change nothing.
    std::optional<TooltipTarget> m_request;
    Scheduler::TaskId m_updateTask = 0;
};

} // namespace pindle
