#include "panel_window.h"

#include "platform/desktop_integration.h"
#include "platform/view/appearance.h"

#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <cmath>

namespace pindle {

namespace {

// Room for the shadow, which falls a little downwards.
constexpr QMargins kShadowMargins(16, 12, 16, 22);
constexpr double kShadowBlur = 14;
constexpr double kShadowDy = 4;
constexpr double kShadowAlpha = 0.3;

QPainterPath roundedPath(const QRectF& rect) {
    return continuousRoundedRect(rect, PanelWindow::kCornerRadius);
}

QRegion roundedRegion(const QRect& rect) {
    return {roundedPath(QRectF(rect)).toFillPolygon().toPolygon()};
}

} // namespace

// One corner of the card, laid over the content: cuts the content's corner away with an
// antialiased edge and lets the frame (shadow, transparency) show through the cut. Painted after
// the content, into the same translucent backing store.
class PanelWindow::Corner final : public QWidget {
public:
    Corner(PanelWindow* window, Qt::Corner corner)
        : QWidget(window)
        , m_window(window)
        , m_corner(corner) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

    void place(const QRect& card) {
        const int side = static_cast<int>(std::ceil(kCornerRadius));
        const int left =
            m_corner == Qt::TopLeftCorner || m_corner == Qt::BottomLeftCorner ? card.left() : card.right() + 1 - side;
        const int top =
            m_corner == Qt::TopLeftCorner || m_corner == Qt::TopRightCorner ? card.top() : card.bottom() + 1 - side;
        setGeometry(left, top, side, side);
        m_card = QRectF(card).translated(-left, -top);
        raise();
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath outside;
        outside.addRect(QRectF(rect()));
        outside = outside.subtracted(roundedPath(m_card));
        // Keep of the content only what lies inside the rounded card...
        painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        painter.fillPath(outside, Qt::black);
        // ...and put the frame beneath whatever that left transparent.
        painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
        painter.drawPixmap(
            QPoint(0, 0), m_window->m_frame,
            QRect(pos() * m_window->m_frame.devicePixelRatio(), size() * m_window->m_frame.devicePixelRatio()));
    }

private:
    PanelWindow* m_window;
    Qt::Corner m_corner;
    QRectF m_card;
};

PanelWindow::PanelWindow(QWidget* content, QSize contentSize, DesktopIntegration& desktop)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_content(content)
    , m_contentSize(contentSize)
    , m_desktop(desktop) {
    setWindowTitle(QStringLiteral("Pindle"));
    setObjectName(QStringLiteral("pindlePanel"));
    // Chosen before the native window exists, so a translucent (ARGB) visual is picked; without
    // a compositor the whole window is painted opaque instead.
    setAttribute(Qt::WA_TranslucentBackground);
    m_content->setParent(this);
    m_content->setFixedSize(m_contentSize);
    for (Qt::Corner corner : {Qt::TopLeftCorner, Qt::TopRightCorner, Qt::BottomLeftCorner, Qt::BottomRightCorner}) {
        m_corners.push_back(new Corner(this, corner));
    }
    applyCompositing(m_desktop.compositing());
}

void PanelWindow::applyCompositing(bool compositing) {
    m_compositing = compositing;
    m_margins = compositing ? kShadowMargins : QMargins();
    const QSize outer = m_contentSize.grownBy(m_margins);
    setFixedSize(outer);
    m_content->move(m_margins.left(), m_margins.top());
    // With a compositor the corners are cut with antialiasing and the shadow shows through; a
    // window without one can only be shaped on whole pixels.
    const QRect card(QPoint(m_margins.left(), m_margins.top()), m_contentSize);
    for (Corner* corner : m_corners) {
        corner->place(card);
        corner->setVisible(compositing);
    }
    if (compositing) {
        clearMask();
    } else {
        setMask(roundedRegion(QRect(QPoint(0, 0), outer)));
    }
    renderFrame();
    update();
}

void PanelWindow::renderFrame() {
    // Without a compositor there is no shadow to keep, and the card is quicker drawn than a
    // window-sized pixmap is kept (0.7 MB at 360x520, four times that at double scale).
    if (!m_compositing) {
        m_frame = QPixmap();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    m_frame = QPixmap(size() * ratio);
    m_frame.setDevicePixelRatio(ratio);
    m_frame.fill(Qt::transparent);
    QPainter painter(&m_frame);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card(QPointF(m_margins.left(), m_margins.top()), QSizeF(m_contentSize));
    painter.setOpacity(kShadowAlpha);
    painter.drawImage(QPointF(0, 0),
                      softShadow(roundedPath(card.translated(0, kShadowDy)), size(), ratio, kShadowBlur));
    painter.setOpacity(1);
    paintCard(painter);
}

void PanelWindow::paintCard(QPainter& painter) const {
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card(QPointF(m_margins.left(), m_margins.top()), QSizeF(m_contentSize));
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawPath(roundedPath(card));
    // A hairline keeps the card apart from a background of the same colour.
    QColor edge = palette().color(QPalette::WindowText);
    edge.setAlphaF(0.18f);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(roundedPath(card.adjusted(0.5, 0.5, -0.5, -0.5)));
}

void PanelWindow::moveContentTo(QPointF origin) {
    const QPoint topLeft(static_cast<int>(std::lround(origin.x())), static_cast<int>(std::lround(origin.y())));
    move(topLeft - QPoint(m_margins.left(), m_margins.top()));
}

QRect PanelWindow::contentGeometry() const {
    return {pos() + QPoint(m_margins.left(), m_margins.top()), m_contentSize};
}

void PanelWindow::present() {
    const bool compositing = m_desktop.compositing();
    if (compositing != m_compositing) {
        // Keep the content where placement put it.
        const QPoint contentTopLeft = pos() + QPoint(m_margins.left(), m_margins.top());
        applyCompositing(compositing);
        move(contentTopLeft - QPoint(m_margins.left(), m_margins.top()));
    }
    m_desktop.prepareToShow(this, m_margins);
    show();
    raise();
    activateWindow();
    // Hidden and shown again before the platform reported the focus going elsewhere, the window
    // still counts as the focus window: no activation follows, and the widgets would be left
    // without keyboard focus. Complete the activation here.
    if (QGuiApplication::focusWindow() == windowHandle() && QApplication::activeWindow() != this) {
        QApplication::setActiveWindow(this);
    }
    m_desktop.shown(this);
}

void PanelWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (!m_compositing) {
        painter.fillRect(event->rect(), palette().color(QPalette::Window));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        paintCard(painter);
        return;
    }
    if (!qFuzzyCompare(m_frame.devicePixelRatio(), devicePixelRatioF())) {
        renderFrame();
    }
    painter.drawPixmap(0, 0, m_frame);
}

void PanelWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::ActivationChange: {
        const bool active = isActiveWindow();
        const bool lost = m_wasActive && !active;
        m_wasActive = active;
        if (lost && isVisible()) {
            emit deactivated();
        }
        break;
    }
    case QEvent::PaletteChange:
        renderFrame();
        update();
        break;
    default:
        break;
    }
}

} // namespace pindle
