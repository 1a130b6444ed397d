#pragma once

#include <QAbstractButton>
#include <QRegion>

namespace pindle {

// The panel's own buttons (the rail's dots and "plus", the header's "xmark"): a square box with
// one hit area, which is where the pointer counts for everything. A click, the hover state and a
// tooltip all start only inside it, so hover feedback never promises a click that would miss.
// Takes no keyboard focus, so a click leaves the focus where it was.
class HoverButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class HitArea { inscribedCircle, wholeBox };

    // `side` is the box in logical pixels.
    HoverButton(int side, HitArea hitArea, QWidget* parent = nullptr);

    // True while the pointer is inside the hit area.
    bool hovering() const { return m_hovering; }

    QSize sizeHint() const override;

protected:
    bool hitButton(const QPoint& pos) const override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setHovering(bool hovering);

    int m_side;
    QRegion m_hitArea;
    bool m_hovering = false;
};

// Widgets that move under a resting pointer (the rail scrolls, "plus" moves down a row) get no
// enter or leave from the platform. Call this after moving widgets inside `widget`'s window: the
// pointer's place is looked at again, and whatever it left or entered hears so, tooltips included.
void recheckPointer(QWidget* widget);

} // namespace pindle
