#pragma once

#include <QMargins>
#include <QPixmap>
#include <QPointF>
#include <QSize>
#include <QWidget>

#include <vector>

class QPainter;

namespace pindle {

class DesktopIntegration;

// The one window: a frameless tool window that stays on top, on every virtual desktop, out of
// taskbars and pagers, and shows the panel's content as a card with corners of radius 10. Where
// a compositing manager runs, the card is drawn with antialiased corners and a soft shadow in a
// transparent margin around it; where none runs, the window is the card itself, opaque, its
// corners cut by a window shape. It takes the keyboard focus when shown and reports losing it.
// Never a Qt::Popup: a popup grabs the pointer and keyboard and would break typing elsewhere.
class PanelWindow final : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal kCornerRadius = 10;

    // Takes over `content` as a child, at `contentSize` (fixed from then on). `desktop` must
    // outlive the window.
    PanelWindow(QWidget* content, QSize contentSize, DesktopIntegration& desktop);

    QWidget* content() const { return m_content; }
    QSize contentSize() const { return m_contentSize; }

    // Moves the window so the content's top-left corner lands on `origin` (global logical
    // pixels). Windows sit on whole pixels, so this is where the fraction goes.
    void moveContentTo(QPointF origin);
    // The content's rectangle in global coordinates.
    QRect contentGeometry() const;

    // Shows the window in front and asks for the keyboard focus.
    void present();

signals:
    // The window was active and no longer is (a click elsewhere, another window in front).
    void deactivated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class Corner;

    void applyCompositing(bool compositing);
    void renderFrame();
    // The card's fill and hairline.
    void paintCard(QPainter& painter) const;

    QWidget* m_content;
    QSize m_contentSize;
    DesktopIntegration& m_desktop;
    bool m_compositing = false;
    bool m_wasActive = false;
    QMargins m_margins;
    QPixmap m_frame;
    std::vector<Corner*> m_corners;
};

} // namespace pindle
