#include "hover_button.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>

namespace pindle {

HoverButton::HoverButton(int side, HitArea hitArea, QWidget* parent)
    : QAbstractButton(parent)
    , m_side(side)
    , m_hitArea(hitArea == HitArea::inscribedCircle ? QRegion(0, 0, side, side, QRegion::Ellipse)
                                                    : QRegion(0, 0, side, side)) {
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(side, side);
    // The mask makes the platform's enter, leave and clicks (and with them the tooltip) follow the
    // hit area; everything drawn lies inside it.
    if (hitArea == HitArea::inscribedCircle) {
        setMask(m_hitArea);
    }
}

QSize HoverButton::sizeHint() const {
    return {m_side, m_side};
}

bool HoverButton::hitButton(const QPoint& pos) const {
    return m_hitArea.contains(pos);
}

void HoverButton::enterEvent(QEnterEvent* event) {
    setHovering(true);
    QAbstractButton::enterEvent(event);
}

void HoverButton::leaveEvent(QEvent* event) {
    setHovering(false);
    QAbstractButton::leaveEvent(event);
}

void HoverButton::hideEvent(QHideEvent* event) {
    // A hidden button is entered anew when it shows again under the pointer.
    setHovering(false);
    QAbstractButton::hideEvent(event);
}

void HoverButton::setHovering(bool hovering) {
    if (hovering != m_hovering) {
        m_hovering = hovering;
        update();
    }
}

void recheckPointer(QWidget* widget) {
    QWidget* top = widget->window();
    QWindow* window = top->windowHandle();
    if (!top->isVisible() || window == nullptr) {
        return;
    }
    const QPoint global = QCursor::pos();
    const QPointF local = window->mapFromGlobal(QPointF(global));
    if (!QRectF(QPointF(0, 0), QSizeF(window->size())).contains(local)) {
        return;
    }
    // A pointer move to where the pointer already is: the window works out which widget is under
    // it and sends the leave and enter events that the move of the widgets did not.
    QMouseEvent move(QEvent::MouseMove, local, local, QPointF(global), Qt::NoButton, QGuiApplication::mouseButtons(),
                     QGuiApplication::keyboardModifiers());
    QCoreApplication::sendEvent(window, &move);
}

} // namespace pindle
